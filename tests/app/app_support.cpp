#include "app/app_support.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "app/fileops.h"
#include "app/paths.h"
#include "util/files.h"

namespace tw::test {
namespace fs = std::filesystem;

EnvGuard::EnvGuard(const char* name, const std::string& value) : FName(name) {
  if (const char* old = std::getenv(name)) {
    FHad = true;
    FOld = old;
  }
  ::setenv(name, value.c_str(), 1);
}

EnvGuard::~EnvGuard() {
  if (FHad) ::setenv(FName.c_str(), FOld.c_str(), 1);
  else ::unsetenv(FName.c_str());
}

UserFolders::UserFolders()
    : FDocs("XDG_DOCUMENTS_DIR", (FDir / "Documents").string()),
      FConfig("XDG_CONFIG_HOME", (FDir / "config").string()),
      FHome("HOME", (FDir / "home").string()) {}

std::vector<std::string> UserFolders::Files() const {
  std::vector<std::string> files;
  for (const auto& e : fs::recursive_directory_iterator(FDir.path()))
    if (e.is_regular_file()) files.push_back(fs::relative(e.path(), FDir.path()).string());
  std::sort(files.begin(), files.end());
  return files;
}

std::vector<std::string> UserFolders::WorkEntries() const {
  std::vector<std::string> names;
  std::error_code ec;
  for (fs::directory_iterator it(Work(), ec), end; !ec && it != end; it.increment(ec))
    names.push_back(it->path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<std::string> RecordingHost::SingleFileTexts() const {
  std::vector<std::string> texts;
  for (const auto& p : Progress)
    if (p.Visible && !p.SingleFile.empty() && (texts.empty() || texts.back() != p.SingleFile))
      texts.push_back(p.SingleFile);
  return texts;
}

int RecordingHost::Count(std::string_view part) const {
  return static_cast<int>(std::count_if(Errors.begin(), Errors.end(), [&](const std::string& e) {
    return e.find(part) != std::string::npos;
  }));
}

void RecordingMovieMakers::BuildStageMovie(const app::TStageSettings& settings,
                                           const std::string& target, bool withMusic,
                                           const app::TMusicFileList* music,
                                           const std::string& folder, bool,
                                           const app::TConvertOption&, app::TRunContext& ctx) {
  StageCall call{target, withMusic, {}, {}, folder, settings.Width, settings.Height};
  std::string marker = "stage movie\n";
  if (withMusic) {
    size_t index = 0;
    for (const app::TMusicFileList* s = music; s; s = s->Next.get(), ++index) {
      if (index > 0) ctx.Checkpoint();
      const std::string encoded = folder + "encode" + std::to_string(s->Position) + ".mp3";
      const std::string source = app::IsNonEmptyFile(encoded) ? encoded : s->FileName;
      call.Songs.push_back(source);
      call.Positions.push_back(s->Position);
      marker += source + "\n";
      if (OnStageSong) OnStageSong(index, source);
    }
    if (music) ctx.Checkpoint();
  }
  StageCalls.push_back(call);
  WriteFileAtomic(target, std::span(reinterpret_cast<const uint8_t*>(marker.data()), marker.size()));
}

bool RecordingMovieMakers::WriteMusicMovieFile(const std::string& source, const std::string& target,
                                               const app::TConvertOption&, bool,
                                               app::TRunContext&) {
  MusicCalls.push_back({source, target});
  const std::string marker = "music movie of " + source + "\n";
  WriteFileAtomic(target, std::span(reinterpret_cast<const uint8_t*>(marker.data()), marker.size()));
  return true;
}

void MakeSong(const fs::path& path, double seconds, bool small) {
  const std::string length = std::to_string(seconds);
  if (path.extension() == ".wav" || path.extension() == ".WAV") {
    // A long song is ten seconds of tone repeated: synthesising it whole takes sox a while.
    std::vector<std::string> cmd = {"sox", "-n", "-r", small ? "8000" : "44100", "-c",
                                    small ? "1" : "2", "-b", "16", path.string(), "synth"};
    if (seconds > 20) {
      const int repeats = static_cast<int>(seconds / 10) - 1;
      cmd.insert(cmd.end(), {"10", "sine", "440", "repeat", std::to_string(repeats)});
    } else {
      cmd.insert(cmd.end(), {length, "sine", "440"});
    }
    auto r = RunCommand(cmd);
    ASSERT_EQ(r.status, 0) << r.err;
    return;
  }
  const fs::path wav = path.string() + ".tmp.wav";
  auto r = RunCommand({"sox", "-n", "-r", "44100", "-c", "2", "-b", "16", wav.string(), "synth",
                       length, "sine", "330"});
  ASSERT_EQ(r.status, 0) << r.err;
  r = RunCommand({"lame", "--silent", "-b", "64", wav.string(), path.string()});
  fs::remove(wav);
  ASSERT_EQ(r.status, 0) << r.err;
}

void MakeSong44(const fs::path& path, double seconds) {
  const std::string ext = path.extension().string();
  if (ext != ".mp3" && ext != ".MP3") {
    MakeSong(path, seconds);
    return;
  }
  const fs::path wav = path.string() + ".tmp.wav";
  auto r = RunCommand({"sox", "-n", "-r", "44100", "-c", "2", "-b", "16", wav.string(), "synth",
                       std::to_string(seconds), "sine", "330"});
  ASSERT_EQ(r.status, 0) << r.err;
  r = RunCommand({"lame", "--silent", "-b", "64", "--resample", "44.1", wav.string(),
                  path.string()});
  fs::remove(wav);
  ASSERT_EQ(r.status, 0) << r.err;
}

void Ffmpeg(std::vector<std::string> args) {
  args.insert(args.begin(), {"ffmpeg", "-v", "error", "-y"});
  const CommandResult r = RunCommand(args);
  ASSERT_EQ(r.status, 0) << r.err;
}

std::vector<std::string> FlatColour(const std::string& rgba, int width, int height) {
  return {"-f", "lavfi", "-i",
          "color=c=0x" + rgba + ":s=" + std::to_string(width) + "x" + std::to_string(height) +
              ":d=1:r=1,format=rgba"};
}

std::vector<std::string> FolderFiles(const fs::path& folder) {
  std::vector<std::string> files;
  if (!fs::is_directory(folder)) return files;
  for (const auto& e : fs::directory_iterator(folder))
    if (e.is_regular_file()) files.push_back(e.path().filename().string());
  std::sort(files.begin(), files.end());
  return files;
}

std::string ReadText(const fs::path& path) {
  const auto bytes = ReadWholeFile(path);
  return std::string(bytes.begin(), bytes.end());
}

app::TStageFolders BundledStageFolders() {
  return {(ProgramDir() / "player/").string(), (ProgramDir() / "preloader/").string()};
}

StageFixture::StageFixture(int width, int height) {
  s.TemplateName = "compact.swf";
  s.Template = info.get();
  s.Width = width;
  s.Height = height;
  s.BackgroundColor = 0x336699;
  s.FrameRate = 24;
  options.FrameRate = 24;
}

}  // namespace tw::test
