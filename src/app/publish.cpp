#include "app/publish.h"

#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <filesystem>
#include <iterator>
#include <map>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

#include "app/engines.h"
#include "app/fileops.h"
#include "app/paths.h"
#include "app/playlist.h"

namespace tw::app {
namespace fs = std::filesystem;

namespace {

// Counts the messages of a run on their way to the real host.
class TCountingHost : public THost {
 public:
  explicit TCountingHost(THost& host) : FHost(host) {}
  int Errors = 0;
  void ProgressChanged(const TProgressState& state) override { FHost.ProgressChanged(state); }
  void ProcessMessages() override { FHost.ProcessMessages(); }
  bool CancelRequested() override { return FHost.CancelRequested(); }
  void ClearCancel() override { FHost.ClearCancel(); }
  void ShowError(const std::string& text) override {
    ++Errors;
    FHost.ShowError(text);
  }
  void ShowWarning(const std::string& text) override { FHost.ShowWarning(text); }
  void ShowResult(const TPublishResult& result) override { FHost.ShowResult(result); }
  void ShowMusicPage() override { FHost.ShowMusicPage(); }

 private:
  THost& FHost;
};

std::string Quoted(std::string_view s) { return "\"" + std::string(s) + "\""; }

// The re-encoded song k, in the run's working folder.
std::string TempName(const std::string& workFolder, int k) {
  return workFolder + "encode" + std::to_string(k) + ".mp3";
}

bool WritesSongFiles(const TConvertOption& o) {
  return o.PublishOption == TPublishOption::PlayerAndMusicFiles && !o.OnlyFlashPlayer;
}

bool Reencodes(const TConvertOption& o) {
  return o.Reencode && !(o.PublishOption == TPublishOption::PlayerAndMusicFiles && o.OnlyFlashPlayer);
}

// MP3 song files copied from the songs themselves.
bool CopiesSongsAsTheyAre(const TConvertOption& o) {
  return WritesSongFiles(o) && o.MusicFormat == TMusicFormat::MP3 && !Reencodes(o);
}

// The per-song movie of the music-files option.
std::string PerSongSwfName(const std::string& song) { return SongFileName(song, TMusicFormat::SWF); }

std::string ShippedRuffleFolder() { return ProgramFolder() + std::string(kRuffleFolder); }

// The emulator's files as the result names them, beside the pages. Without shipped files the
// script alone is named, and is reported missing.
std::vector<std::string> RuffleResultNames(const TConvertOption& o) {
  if (o.Ruffle != TRuffleMode::Copy) return {};
  std::vector<std::string> names = ShippedRuffleFiles();
  if (names.empty()) names.emplace_back(kRuffleScript);
  for (std::string& name : names) name.insert(0, kRuffleFolder);
  return names;
}

// A file's identity, for files that exist.
std::optional<std::pair<dev_t, ino_t>> FileId(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  return std::make_pair(st.st_dev, st.st_ino);
}

// The plan's file of a kind made from song k (0: the player's own files), or none.
TOutputFile* PlannedFile(std::vector<TOutputFile>& plan, TOutputKind kind, int song) {
  for (TOutputFile& file : plan)
    if (file.Kind == kind && file.Song == song) return &file;
  return nullptr;
}

// The songs by their 1-based place (the first is none).
std::vector<const TMusicFileList*> SongsByPlace(const TConvertOption& o) {
  std::vector<const TMusicFileList*> songs(1, nullptr);
  for (const TMusicFileList* song = o.Music.get(); song; song = song->Next.get())
    songs.push_back(song);
  return songs;
}

// Before anything is written: the output name must stay inside the output folder, and no file
// of the plan may be one of the songs, or be made twice from different sources without a word.
// The working files need no check: they live in a folder of the run's own, made after this.
bool CheckBeforeWriting(const TConvertOption& o, std::vector<TOutputFile>& plan, TRunContext& ctx) {
  const std::string& f = o.OutputFolder;
  const std::string& b = o.OutputName;
  if (b.find('/') != std::string::npos || b == "." || b == "..") {
    ctx.ReportError("The output name " + Quoted(b) +
                    " must be a plain file name, without \"/\"; nothing was written.");
    return false;
  }

  // Every file the run writes, by name in the output folder and by identity.
  std::map<std::string, std::string> ownNames;  // a file of the player's -> what it is
  for (const TOutputFile& file : plan)
    if (file.Song == 0)
      ownNames[file.Name] =
          file.Kind == TOutputKind::Emulator ? "a file of the emulator" : "the player's own file";
  std::map<std::pair<dev_t, ino_t>, std::string> written;  // existing file -> its path
  auto addWritten = [&](const std::string& path) {
    if (auto id = FileId(path)) written.emplace(*id, path);
  };
  for (const auto& [name, what] : ownNames) addWritten(f + name);

  const std::vector<const TMusicFileList*> songs = SongsByPlace(o);
  std::map<std::string, const TMusicFileList*> outputs;  // song output name -> first song
  for (const TOutputFile& file : plan) {
    if (file.Song == 0) continue;
    const TMusicFileList* song = songs.at(static_cast<size_t>(file.Song));
    const std::string& p = song->FileName;
    const std::string& name = file.Name;
    if (auto own = ownNames.find(name); own != ownNames.end()) {
      ctx.ReportError("The song " + Quoted(p) + " would be published as " + Quoted(name) +
                      ", which is " + own->second +
                      "; rename the song or choose another output name. Nothing was written.");
      return false;
    }
    addWritten(f + name);
    auto [it, first] = outputs.emplace(name, song);
    if (first || SameFile(it->second->FileName, p)) continue;
    // A song copied as it is may lie in the output folder under its own name (see below);
    // another song of that name would then replace it: the user's own file.
    for (const std::string* own : {&it->second->FileName, &p}) {
      if (!CopiesSongsAsTheyAre(o) || !SameFile(*own, f + name)) continue;
      ctx.ReportError("The songs " + Quoted(it->second->FileName) + " and " + Quoted(p) +
                      " are both published as " + Quoted(name) + ", which is " + Quoted(*own) +
                      " itself; rename one of them or choose another output folder. Nothing "
                      "was written.");
      return false;
    }
    ctx.Host.ShowWarning("Warning: The songs " + Quoted(it->second->FileName) + " and " +
                           Quoted(p) + " are both published as " + Quoted(name) +
                           "; the later one replaces the earlier.");
  }

  for (size_t k = 1; k < songs.size(); ++k) {
    const std::string& p = songs[k]->FileName;
    const auto id = FileId(p);
    if (!id) continue;  // a missing song is reported when its turn comes
    const auto hit = written.find(*id);
    if (hit == written.end()) continue;
    // Copying an MP3 song onto itself leaves it as it is: the one overlap that is harmless.
    const TOutputFile* songFile = PlannedFile(plan, TOutputKind::SongFile, static_cast<int>(k));
    const bool ownCopy =
        CopiesSongsAsTheyAre(o) && songFile && SameFile(hit->second, f + songFile->Name);
    if (ownCopy) continue;
    ctx.ReportError("The song " + Quoted(p) + " is also " + Quoted(hit->second) +
                    ", which this run would overwrite; move the song or choose another output "
                    "folder. Nothing was written.");
    return false;
  }
  return true;
}

// Steps 2 to 7 for one song: re-encode, then make the files the plan has from it (its song file,
// or its own movie). The re-encoded song goes to the run's folder, where the stage movie looks
// for it; the song's other working files to ctx's.
void PublishSong(const TMusicFileList& song, int k, const TConvertOption& o,
                 const TStageSettings& stage, TMovieMakers& makers, std::vector<TOutputFile>& plan,
                 TCountingHost& host, TRunContext& ctx, const std::string& runFolder) {
  const std::string& p = song.FileName;
  const std::string t = TempName(runFolder, k);
  const std::string name = ExtractFileName(p);
  const std::string count = std::to_string(k) + "/" + std::to_string(o.MusicCount);

  if (!FileExists(p)) {
    ctx.Progress.SetFilesPosition(k, count);
    // The single player reports it when it takes its songs.
    if (o.PublishOption != TPublishOption::SinglePlayer)
      ctx.ReportError("Cannot open file " + Quoted(p) + ": No such file or directory");
    return;
  }

  if (Reencodes(o)) {
    ctx.Progress.StartSong(k, "Reencoding " + Quoted(name) + ":");
    ctx.Progress.SetFilesPosition(k, count);
    try {
      EncodeMp3(p, t, o, ctx);
    } catch (const ECancelled&) {
      throw;
    } catch (const std::exception& e) {
      RemoveFile(t);
      ctx.ReportError(e.what());
    }
  }
  ctx.Checkpoint();

  ctx.Progress.StartSong(k, "Converting " + Quoted(name) + ":");
  ctx.Progress.SetFilesPosition(k, count);

  if (TOutputFile* file = PlannedFile(plan, TOutputKind::SongFile, k)) {
    const std::string source = IsNonEmptyFile(t) ? t : p;
    const std::string songFile = o.OutputFolder + file->Name;
    const int errors = host.Errors;
    try {
      bool made = false;
      switch (o.MusicFormat) {
        case TMusicFormat::SWF: made = makers.WriteMusicMovieFile(source, songFile, o, true, ctx); break;
        case TMusicFormat::FLV:
          made = ConvertToFlv(source, songFile, o, true, ctx) == TEngineResult::Done;
          break;
        case TMusicFormat::MP3:
          if (!SameFile(source, songFile)) CopyFileReplacing(source, songFile);
          made = true;
          break;
      }
      file->Written = made && host.Errors == errors;
    } catch (const ECancelled&) {
      throw;
    } catch (const std::exception& e) {
      ctx.ReportError(e.what());
    }
  }

  if (TOutputFile* movie = PlannedFile(plan, TOutputKind::Player, k)) {
    const std::unique_ptr<TMusicFileList> node = song.CopyNode();
    makers.BuildStageMovie(stage, o.OutputFolder + movie->Name, true, node.get(), runFolder, false,
                           o, ctx);
    movie->Written = FileExists(o.OutputFolder + movie->Name);
  }
  ctx.Progress.EndSong(k);
}

// ---- Songs at work side by side ----

// What the songs at work on their threads would show, kept for the run's thread, which alone
// talks to the host: it puts their progress together and shows their messages in song order.
struct TSongBoard {
  struct TMessage {
    bool Warning = false;
    std::string Text;
  };
  struct TSong {
    TProgressState State;  // the song's own view of the progress window
    bool Started = false;
    bool Done = false;
    std::vector<TMessage> Messages;  // not shown yet
  };

  explicit TSongBoard(int count) : Songs(static_cast<size_t>(count) + 1) {}
  // With Mutex held: the run's thread has something new to show.
  void Notify() {
    Changed = true;
    Wake.notify_all();
  }

  std::mutex Mutex;
  std::condition_variable Wake;
  bool Changed = false;
  std::vector<TSong> Songs;  // by 1-based place
  int Latest = 0;            // the song whose progress changed last
  int Workers = 0;           // threads still taking songs
  std::atomic<int> Next{1};  // the next song to take
  // Set by Cancel, and by a failure that ends the run: every child is stopped, no song starts.
  std::atomic<bool> Stop{false};
  std::exception_ptr Failure;  // of the first song, in song order, that failed
  int FailedSong = 0;
  int EngineRuns = 0;
  double EngineSeconds = 0;
  std::vector<TRunContext::TSpan> EngineSpans;
};

// The host of one song at work on a thread of its own: it keeps what the song shows on the
// board and reads Cancel from it.
class TSongHost : public THost {
 public:
  TSongHost(TSongBoard& board, int song) : FBoard(board), FSong(song) {}
  void ProgressChanged(const TProgressState& state) override {
    std::lock_guard lock(FBoard.Mutex);
    FBoard.Songs[Index()].State = state;
    FBoard.Latest = FSong;
    FBoard.Notify();
  }
  void ProcessMessages() override {}
  bool CancelRequested() override { return FBoard.Stop.load(); }
  void ClearCancel() override {}
  void ShowError(const std::string& text) override { Keep(false, text); }
  void ShowWarning(const std::string& text) override { Keep(true, text); }
  void ShowResult(const TPublishResult&) override {}

 private:
  size_t Index() const { return static_cast<size_t>(FSong); }
  void Keep(bool warning, const std::string& text) {
    std::lock_guard lock(FBoard.Mutex);
    FBoard.Songs[Index()].Messages.push_back({warning, text});
    FBoard.Notify();
  }
  TSongBoard& FBoard;
  int FSong;
};

// The progress window as the songs at work make it, over the run's own state: song k of N is
// the last song started, the single-file line the song that changed last, and every song at
// work has its line. With the board's mutex held.
TProgressState MergedProgress(const TSongBoard& board, TProgressState state, int count) {
  int position = 0;
  for (size_t k = 1; k < board.Songs.size(); ++k) {
    const TSongBoard::TSong& song = board.Songs[k];
    if (!song.Started) continue;
    position = static_cast<int>(k);
    if (song.Done) continue;
    state.Running.insert(state.Running.end(), song.State.Running.begin(), song.State.Running.end());
  }
  if (position > 0) {
    state.FilesPosition = position;
    state.FilesProcessing = std::to_string(position) + "/" + std::to_string(count);
  }
  if (board.Latest > 0) {
    const TProgressState& latest = board.Songs[static_cast<size_t>(board.Latest)].State;
    state.SingleFile = latest.SingleFile;
    state.SinglePercent = latest.SinglePercent;
    state.SingleProcessing = latest.SingleProcessing.empty() ? "0%" : latest.SingleProcessing;
  }
  return state;
}

// The threads of the songs: however the run's thread leaves, none outlives it; an early leave
// stops the songs at work first.
class TSongThreads {
 public:
  explicit TSongThreads(TSongBoard& board) : FBoard(board) {}
  ~TSongThreads() {
    if (std::any_of(FThreads.begin(), FThreads.end(), [](const std::thread& t) { return t.joinable(); }))
      FBoard.Stop = true;
    Join();
  }
  TSongThreads(const TSongThreads&) = delete;
  TSongThreads& operator=(const TSongThreads&) = delete;
  template <typename F>
  void Start(F work) {
    {
      std::lock_guard lock(FBoard.Mutex);
      ++FBoard.Workers;
    }
    try {
      FThreads.emplace_back(work);
    } catch (...) {
      std::lock_guard lock(FBoard.Mutex);
      --FBoard.Workers;
      throw;
    }
  }
  void Join() {
    for (std::thread& t : FThreads)
      if (t.joinable()) t.join();
  }

 private:
  TSongBoard& FBoard;
  std::vector<std::thread> FThreads;
};

// Steps 2 to 7 for every song, up to jobs songs at once, each with its own working folder inside
// the run's. A Cancel stops every song at work (their children are terminated) and ends the run
// with ECancelled; a song's failure stops the others and ends the run with that failure.
void PublishSongsSideBySide(const TConvertOption& o, int jobs, const TStageSettings& stage,
                            TMovieMakers& makers, std::vector<TOutputFile>& plan,
                            TCountingHost& host, TRunContext& ctx) {
  const std::vector<const TMusicFileList*> songs = SongsByPlace(o);
  const int count = static_cast<int>(songs.size()) - 1;
  const std::string runFolder = ctx.WorkFolder();
  const TProgressState base = ctx.Progress.State();
  TSongBoard board(count);

  // Two songs published under one name: the later one's file replaces the earlier's, as one
  // after another, so the later starts when the earlier is done.
  std::vector<int> after(static_cast<size_t>(count) + 1, 0);
  std::map<std::string, int> lastOfName;
  for (const TOutputFile& file : plan) {
    if (file.Song == 0) continue;
    auto [it, first] = lastOfName.try_emplace(file.Name, file.Song);
    if (first || it->second == file.Song) continue;
    int& earlier = after[static_cast<size_t>(file.Song)];
    earlier = std::max(earlier, it->second);
    it->second = file.Song;
  }

  auto work = [&] {
    for (;;) {
      if (board.Stop) break;
      const int k = board.Next.fetch_add(1);
      if (k > count) break;
      const size_t index = static_cast<size_t>(k);
      {
        std::unique_lock lock(board.Mutex);
        // Songs are taken in order: the earlier one is at work already, and will be done.
        if (const int earlier = after[index]; earlier > 0)
          while (!board.Songs[static_cast<size_t>(earlier)].Done && !board.Stop)
            board.Wake.wait_for(lock, std::chrono::milliseconds(100));
        if (board.Stop) break;
        board.Songs[index].Started = true;
        board.Notify();
      }
      TSongHost songHost(board, k);
      TCountingHost counting(songHost);
      TRunContext songCtx(counting);
      std::exception_ptr failure;
      try {
        const TWorkFolder own(runFolder);
        songCtx.SetWorkFolder(own.Path());
        PublishSong(*songs[index], k, o, stage, makers, plan, counting, songCtx, runFolder);
      } catch (const ECancelled&) {
      } catch (...) {
        failure = std::current_exception();
      }
      std::lock_guard lock(board.Mutex);
      board.Songs[index].Done = true;
      board.EngineRuns += songCtx.EngineRuns;
      board.EngineSeconds += songCtx.EngineSeconds;
      board.EngineSpans.insert(board.EngineSpans.end(), songCtx.EngineSpans.begin(),
                               songCtx.EngineSpans.end());
      if (failure && (!board.Failure || k < board.FailedSong)) {
        board.Failure = failure;
        board.FailedSong = k;
        board.Stop = true;
      }
      board.Notify();
    }
    std::lock_guard lock(board.Mutex);
    --board.Workers;
    board.Notify();
  };

  bool cancelled = false;
  {
    TSongThreads threads(board);
    for (int i = 0; i < std::min(jobs, count); ++i) threads.Start(work);

    size_t shown = 1;  // the first song whose messages may not all have been shown
    std::unique_lock lock(board.Mutex);
    for (;;) {
      // The window's queue runs at least every 20 ms while the songs work, as it did between the
      // frames of a song built on its own thread: it repaints and takes a Cancel at once.
      board.Wake.wait_for(lock, std::chrono::milliseconds(20), [&] { return board.Changed; });
      board.Changed = false;
      const bool finished = board.Workers == 0;
      // A song's messages wait for those of the songs before it.
      std::vector<TSongBoard::TMessage> messages;
      for (; shown < board.Songs.size(); ++shown) {
        TSongBoard::TSong& song = board.Songs[shown];
        std::move(song.Messages.begin(), song.Messages.end(), std::back_inserter(messages));
        song.Messages.clear();
        if (!song.Done && !finished) break;
      }
      TProgressState state = MergedProgress(board, base, count);
      // A message waits for its OK: the songs go on meanwhile.
      lock.unlock();
      for (const TSongBoard::TMessage& m : messages) {
        if (m.Warning) host.ShowWarning(m.Text);
        else host.ShowError(m.Text);
      }
      ctx.Progress.Show(std::move(state));
      if (finished) break;
      ctx.ProcessMessages();
      if (!board.Stop && ctx.Cancelled()) {
        cancelled = true;
        board.Stop = true;
      }
      lock.lock();
    }
    threads.Join();
  }

  ctx.EngineRuns += board.EngineRuns;
  ctx.EngineSeconds += board.EngineSeconds;
  ctx.EngineSpans.insert(ctx.EngineSpans.end(), board.EngineSpans.begin(), board.EngineSpans.end());
  if (board.Failure) std::rethrow_exception(board.Failure);
  if (cancelled) throw ECancelled();
}

// The wall time during which at least one of the spans ran.
double BusySeconds(std::vector<TRunContext::TSpan> spans) {
  std::sort(spans.begin(), spans.end(),
            [](const TRunContext::TSpan& a, const TRunContext::TSpan& b) { return a.Start < b.Start; });
  double seconds = 0;
  std::optional<TRunContext::TSpan> current;
  for (const TRunContext::TSpan& span : spans) {
    if (current && span.Start <= current->End) {
      current->End = std::max(current->End, span.End);
      continue;
    }
    if (current) seconds += std::chrono::duration<double>(current->End - current->Start).count();
    current = span;
  }
  if (current) seconds += std::chrono::duration<double>(current->End - current->Start).count();
  return seconds;
}

// The emulator's files of the plan, from the program's folder. A failure here costs the page its
// emulator, not the run: it is reported and the run goes on.
void CopyRuffleFiles(const TConvertOption& o, std::vector<TOutputFile>& plan, TRunContext& ctx) {
  const std::string from = ShippedRuffleFolder();
  if (!FileExists(from + std::string(kRuffleScript))) {
    ctx.ReportError("The Ruffle emulator is not installed beside the program (" + from +
                    std::string(kRuffleScript) +
                    " is missing); the page cannot play without a Flash plug-in.");
    return;
  }
  std::error_code ec;
  fs::create_directories(o.OutputFolder + std::string(kRuffleFolder), ec);
  for (TOutputFile& file : plan) {
    if (file.Kind != TOutputKind::Emulator) continue;
    ctx.Checkpoint();
    try {
      CopyFileReplacing(from + file.Name.substr(kRuffleFolder.size()), o.OutputFolder + file.Name);
      file.Written = true;
    } catch (const std::exception& e) {
      ctx.ReportError(e.what());
    }
  }
}

}  // namespace

std::vector<TOutputFile> OutputPlan(const TConvertOption& o) {
  std::vector<TOutputFile> plan;
  auto add = [&](std::string name, TOutputKind kind, int song) {
    plan.push_back(TOutputFile{std::move(name), kind, song, false});
  };
  const std::string& b = o.OutputName;
  int k = 0;
  switch (o.PublishOption) {
    case TPublishOption::PlayerAndMusicFiles:
      add(b + ".html", TOutputKind::Page, 0);
      add(b + ".swf", TOutputKind::Player, 0);
      add(b + ".xml", TOutputKind::Playlist, 0);
      if (!o.OnlyFlashPlayer)
        for (const TMusicFileList* s = o.Music.get(); s; s = s->Next.get())
          add(SongFileName(s->FileName, o.MusicFormat), TOutputKind::SongFile, ++k);
      break;
    case TPublishOption::SinglePlayer:
      add(b + ".html", TOutputKind::Page, 0);
      add(b + ".swf", TOutputKind::Player, 0);
      break;
    case TPublishOption::MusicFiles:
      for (const TMusicFileList* s = o.Music.get(); s; s = s->Next.get()) {
        ++k;
        add(PerSongSwfName(s->FileName), TOutputKind::Player, k);
        add(ChangeFileExt(PerSongSwfName(s->FileName), ".html"), TOutputKind::Page, k);
      }
      break;
  }
  for (std::string& name : RuffleResultNames(o)) add(std::move(name), TOutputKind::Emulator, 0);
  return plan;
}

std::vector<std::string> ResultFileNames(const TConvertOption& o) {
  std::vector<std::string> names;
  for (TOutputFile& file : OutputPlan(o)) names.push_back(std::move(file.Name));
  return names;
}

std::vector<std::string> ShippedRuffleFiles() {
  std::vector<std::string> names;
  std::error_code ec;
  for (fs::directory_iterator it(ShippedRuffleFolder(), ec), end; !ec && it != end;
       it.increment(ec)) {
    std::error_code typeError;
    if (it->is_regular_file(typeError)) names.push_back(it->path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

int DefaultJobs() {
  const unsigned cores = std::thread::hardware_concurrency();
  return std::clamp(static_cast<int>(cores), 1, kMaxJobs);
}

TPublishOutcome PublishRun(TProject& project, THost& realHost, TMovieMakers& makers, int jobs) {
  TCountingHost host(realHost);
  TRunContext ctx(host);
  TPublishOutcome outcome;
  std::vector<TOutputFile> plan;
  auto finish = [&](TRunStatus status) {
    outcome.Status = status;
    outcome.Files = plan;
    outcome.Errors = host.Errors;
    outcome.EngineRuns = ctx.EngineRuns;
    outcome.EngineSeconds = ctx.EngineSeconds;
    outcome.EngineBusySeconds = BusySeconds(ctx.EngineSpans);
    return outcome;
  };

  const TConvertOption options = GatherConvertOptions(project);
  if (options.MusicCount == 0) {
    host.ShowError("Please add music file!");
    host.ShowMusicPage();
    return finish(TRunStatus::NoMusic);
  }
  plan = OutputPlan(options);
  if (!CheckBeforeWriting(options, plan, ctx)) return finish(TRunStatus::Refused);

  // The working files of this run, apart from any other run of the user's; the folder goes
  // whole when the run ends, however it ends. Those of runs that were killed go now.
  RemoveAbandonedWorkFolders(UserDataFolder());
  std::optional<TWorkFolder> work;
  try {
    work.emplace(UserDataFolder());
  } catch (const std::exception& e) {
    ctx.ReportError(e.what());
    return finish(TRunStatus::Failed);
  }
  ctx.SetWorkFolder(work->Path());

  const std::string& f = options.OutputFolder;
  const std::string& b = options.OutputName;
  TPublishResult& result = outcome.Result;
  result.Option = options.PublishOption;
  host.ClearCancel();
  ctx.Progress.Open(options.MusicCount);
  result.Folder = f;
  result.Name = b;
  for (const TOutputFile& file : plan) result.Files.push_back(file.Name);

  std::unique_ptr<TStageSettings> stage = GatherStageSettings(project);
  const bool transparent = stage->SolidBackground == 0;
  try {
    if (jobs > 1 && options.MusicCount > 1) {
      PublishSongsSideBySide(options, jobs, *stage, makers, plan, host, ctx);
    } else {
      int k = 0;
      for (const TMusicFileList* song = options.Music.get(); song; song = song->Next.get()) {
        ++k;
        ctx.Checkpoint();
        PublishSong(*song, k, options, *stage, makers, plan, host, ctx, ctx.WorkFolder());
      }
    }
    ctx.Checkpoint();

    ctx.Progress.SetFiles("Generating Flash player ... ", "");
    if (TOutputFile* player = PlannedFile(plan, TOutputKind::Player, 0)) {
      // The single player carries the songs; beside a playlist it finds them by name.
      const bool withMusic = options.PublishOption == TPublishOption::SinglePlayer;
      makers.BuildStageMovie(*stage, f + player->Name, withMusic,
                             withMusic ? options.Music.get() : nullptr,
                             withMusic ? ctx.WorkFolder() : std::string(), false, options, ctx);
      player->Written = FileExists(f + player->Name);
      // A Cancel is honoured up to the last file, not only between the songs.
      ctx.Checkpoint();
    }
    if (TOutputFile* playlist = PlannedFile(plan, TOutputKind::Playlist, 0)) {
      const int errors = host.Errors;
      WritePlaylistFile(f + playlist->Name, options, host);
      playlist->Written = host.Errors == errors;
      ctx.Checkpoint();
    }

    ctx.Progress.SetFiles("Generating HTML page ... ", "");
    const std::string script = RuffleScriptLine(options.Ruffle, options.RuffleUrl);
    if (PlannedFile(plan, TOutputKind::Emulator, 0)) CopyRuffleFiles(options, plan, ctx);
    for (TOutputFile& page : plan) {
      if (page.Kind != TOutputKind::Page) continue;
      // A song that was not there has no movie to show.
      const TOutputFile* movie = PlannedFile(plan, TOutputKind::Player, page.Song);
      if (!movie || !movie->Written) continue;
      ctx.Checkpoint();
      WriteHtmlPage(movie->Name, f + page.Name, transparent, stage->Width, stage->Height, script,
                    ctx.WorkFolder());
      page.Written = true;
      if (result.EmbedCode.empty())
        result.EmbedCode = BuildEmbedCode(movie->Name, transparent, stage->Width, stage->Height);
    }
  } catch (const ECancelled&) {
    ctx.Progress.Close();
    return finish(TRunStatus::Cancelled);
  } catch (const std::exception& e) {
    ctx.Progress.Close();
    ctx.ReportError(e.what());
    return finish(TRunStatus::Failed);
  }

  FreeStageSettings(stage);
  work.reset();
  ctx.Progress.Close();
  host.ShowResult(result);
  return finish(TRunStatus::Finished);
}

}  // namespace tw::app
