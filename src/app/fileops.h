// File operations of the workflow that must never lose a user's file.
#pragma once

#include <string>

namespace tw::app {

// True when both paths name the same file (the same inode, or the same path once resolved when
// one of them does not exist).
bool SameFile(const std::string& a, const std::string& b);

// True when the file exists and holds at least one byte.
bool IsNonEmptyFile(const std::string& path);

bool FileExists(const std::string& path);

// Removes a file when it exists; never throws.
void RemoveFile(const std::string& path);

// Copies source to target through a temporary beside the target and a rename, replacing an
// existing target. Throws tw::FileError; refuses to copy a file onto itself, which would
// destroy it.
void CopyFileReplacing(const std::string& source, const std::string& target);

// A file of the working folder that is removed when the scope ends, whatever happens.
class TTempFile {
 public:
  explicit TTempFile(std::string path) : FPath(std::move(path)) {}
  ~TTempFile() { RemoveFile(FPath); }
  TTempFile(const TTempFile&) = delete;
  TTempFile& operator=(const TTempFile&) = delete;
  const std::string& Path() const { return FPath; }

 private:
  std::string FPath;
};

// A folder of its own for one run's working files, made with a unique name ("run-XXXXXX")
// inside a parent folder so that runs side by side never meet; removed whole, with whatever it
// holds, when the scope ends. While it lives the folder is locked (flock on the folder itself),
// so that a run killed before it could remove its folder leaves one that nobody holds: the next
// run removes it (RemoveAbandonedWorkFolders). Throws tw::FileError when it cannot be made.
class TWorkFolder {
 public:
  explicit TWorkFolder(const std::string& parent);
  ~TWorkFolder();
  TWorkFolder(const TWorkFolder&) = delete;
  TWorkFolder& operator=(const TWorkFolder&) = delete;
  const std::string& Path() const { return FPath; }  // ends with "/"

 private:
  std::string FPath;
  int FLock = -1;  // the folder, open and locked for the folder's life
};

// Removes the working folders of the parent that no live TWorkFolder holds: those of runs that
// were killed (or of programs that did not lock them). A folder whose run still lives is never
// touched, in this process or another. Returns how many were removed.
int RemoveAbandonedWorkFolders(const std::string& parent);

}  // namespace tw::app
