// The classes and interfaces of a compile: each in a file of its own (a.b.C in a/b/C.as under a
// folder of the class path), read when a script or another class names it, and put in the order
// they must be defined in (a class after the class it extends and the interfaces it implements).
#pragma once

#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "asc/ast.h"
#include "asc/scopes.h"

namespace tw::asc {

class TClassTable final : public TClassFinder {
 public:
  // Files read are added to `names` (their positions carry their index there).
  TClassTable(std::vector<std::filesystem::path> classPath, TSourceNames& names);
  ~TClassTable() override;

  // The imports of a program, for the names of its file.
  void AddImports(const TProgram& program);
  // Every type annotation of a program must name a built-in class or one of the class path.
  void CheckTypes(const TProgram& program);

  std::optional<std::string> FindClass(const std::string& name, TSourcePos where) override;

  // Resolves the classes read (and those their methods name in turn) for a player version.
  void ResolveAll(int version);
  // The classes read, each after those it depends on.
  std::vector<const SClass*> Ordered() const;

 private:
  struct TEntry;
  struct TFileContext {
    std::string Package;                 // "a.b" for a.b.C
    std::vector<std::string> Classes;    // import a.b.C
    std::vector<std::string> Packages;   // import a.b.*
  };

  std::optional<std::filesystem::path> FileOf(const std::string& qualified) const;
  void Load(const std::string& qualified, const std::filesystem::path& file, TSourcePos where);
  std::string Require(const TTypeRef& type, bool wantInterface);
  void Order(const std::string& name, std::vector<const SClass*>& out,
             std::set<std::string>& done) const;

  std::vector<std::filesystem::path> FClassPath;
  TSourceNames& FNames;
  std::map<std::string, std::unique_ptr<TEntry>> FClasses;
  std::vector<TEntry*> FInOrderRead;
  std::map<uint16_t, TFileContext> FFiles;
  std::set<std::string> FLoading;
};

}  // namespace tw::asc
