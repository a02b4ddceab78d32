// The publish run with the movie makers stood in for, and without real engines: what it makes,
// in which order, under which names, and what it never does to the user's files.
#include <signal.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <thread>

#include "app/app_support.h"
#include "app/engines.h"
#include "app/fileops.h"
#include "app/paths.h"
#include "app/publish.h"

namespace tw::test {
namespace {
namespace fs = std::filesystem;
using namespace tw::app;
using Names = std::vector<std::string>;

fs::path Script(const fs::path& dir, const std::string& name, const std::string& body) {
  const fs::path path = dir / name;
  std::ofstream(path) << "#!/bin/sh\n" << body;
  fs::permissions(path, fs::perms::owner_all);
  return path;
}

struct PublishFixture : ::testing::Test {
  UserFolders user;
  TempDir songs;   // where the songs lie
  TempDir out;     // the output folder
  TempDir noBin;   // a PATH without engines
  EnvGuard path{"PATH", noBin.path().string()};
  RecordingHost host;
  RecordingMovieMakers makers;
  TProject project = MakeDefaultProject();

  // A song file with recognisable bytes (the run only copies it or hands it on here).
  std::string Song(const std::string& name, const std::string& bytes = "") {
    const fs::path p = songs / name;
    fs::create_directories(p.parent_path());
    std::ofstream(p) << (bytes.empty() ? "song " + name : bytes);
    TMP3Info& info = project.Music.emplace_back();
    info.Path = p.string();
    return p.string();
  }
  void Options(TPublishOption option, TMusicFormat format, bool reencode) {
    project.PublishOption = option;
    project.MusicFormat = format;
    project.Reencode = reencode;
    project.OutputFolder = out.path().string();
  }
  TPublishOutcome Run() { return PublishRun(project, host, makers); }
  Names OutFiles() const { return FolderFiles(out.path()); }
};

TEST_F(PublishFixture, NoSongs) {
  Options(TPublishOption::PlayerAndMusicFiles, TMusicFormat::MP3, true);
  const TPublishOutcome r = Run();
  EXPECT_EQ(r.Status, TRunStatus::NoMusic);
  EXPECT_EQ(host.Errors, Names{"Please add music file!"});
  EXPECT_EQ(host.MusicPageShown, 1);
  EXPECT_TRUE(host.Progress.empty());
  EXPECT_TRUE(host.Results.empty());
  EXPECT_EQ(OutFiles(), Names{});
  EXPECT_EQ(user.Files(), Names{});
}

TEST_F(PublishFixture, PlayerAndMusicFilesAsMp3Copies) {
  const std::string a = Song("My Song.mp3");
  Song("b.wav");
  Options(TPublishOption::PlayerAndMusicFiles, TMusicFormat::MP3, false);
  project.OutputName = "  Site Player.SWF ";
  const TPublishOutcome r = Run();
  ASSERT_EQ(r.Status, TRunStatus::Finished) << ::testing::PrintToString(host.Errors);
  EXPECT_TRUE(host.Errors.empty()) << ::testing::PrintToString(host.Errors);
  ASSERT_EQ(host.Results.size(), 1u);
  const TPublishResult& res = host.Results[0];
  EXPECT_EQ(res.Files, (Names{"Site Player.html", "Site Player.swf", "Site Player.xml",
                              "My_Song.mp3", "b.mp3"}));
  EXPECT_EQ(res.Folder, out.path().string() + "/");
  EXPECT_EQ(res.Name, "Site Player");
  EXPECT_EQ(res.Option, TPublishOption::PlayerAndMusicFiles);
  EXPECT_NE(res.EmbedCode.find("src=\"Site%20Player.swf\""), std::string::npos);
  EXPECT_EQ(OutFiles(), (Names{"My_Song.mp3", "Site Player.html", "Site Player.swf",
                               "Site Player.xml", "b.mp3"}));
  EXPECT_EQ(ReadText(out / "My_Song.mp3"), "song My Song.mp3");
  EXPECT_EQ(ReadText(out / "b.mp3"), "song b.wav");  // a WAV copied as it is: the name says mp3
  ASSERT_EQ(makers.StageCalls.size(), 1u);
  EXPECT_EQ(makers.StageCalls[0].Target, out.path().string() + "/Site Player.swf");
  EXPECT_FALSE(makers.StageCalls[0].WithMusic);
  EXPECT_TRUE(makers.MusicCalls.empty());
  EXPECT_EQ(user.Files(), Names{});  // no temporaries left in the working folder
  // The progress window: opened, the songs one by one, the two generating stages, closed.
  ASSERT_FALSE(host.Progress.empty());
  const TProgressState& first = host.Progress.front();
  EXPECT_EQ(first.SingleFile, "Converting:");
  EXPECT_EQ(first.SingleProcessing, "0%");
  EXPECT_EQ(first.Files, "Converting files:");
  EXPECT_EQ(first.FilesProcessing, "0/2");
  EXPECT_EQ(first.FilesMax, 2);
  EXPECT_EQ(host.SingleFileTexts(),
            (Names{"Converting:", "Converting \"My Song.mp3\":", "Converting \"b.wav\":"}));
  Names stages;
  for (const auto& s : host.Progress)
    if (s.Visible && (stages.empty() || stages.back() != s.Files + "|" + s.FilesProcessing))
      stages.push_back(s.Files + "|" + s.FilesProcessing);
  EXPECT_EQ(stages, (Names{"Converting files:|0/2", "Converting files:|1/2", "Converting files:|2/2",
                           "Generating Flash player ... |", "Generating HTML page ... |"}));
  // Each song has its own line while it is at work, and none is left when the songs are done.
  std::vector<std::vector<TSongProgress>> running;
  for (const auto& s : host.Progress)
    if (running.empty() || running.back() != s.Running) running.push_back(s.Running);
  EXPECT_EQ(running, (std::vector<std::vector<TSongProgress>>{
                         {},
                         {{1, "Converting \"My Song.mp3\":", 0}},
                         {},
                         {{2, "Converting \"b.wav\":", 0}},
                         {}}));
  for (const auto& s : host.Progress) {
    if (s.Files.starts_with("Generating")) {
      EXPECT_TRUE(s.Running.empty());
    }
  }
  EXPECT_FALSE(host.Progress.back().Visible);
}

TEST_F(PublishFixture, ResultFilesOfEveryOption) {
  struct Case {
    const char* name;
    TPublishOption option;
    TMusicFormat format;
    bool onlyPlayer;
    Names files;
    Names written;   // the output folder afterwards (movies are the stand-in's markers)
    const char* embedSrc;
  } cases[] = {
      {"player and SWF music movies", TPublishOption::PlayerAndMusicFiles, TMusicFormat::SWF, false,
       {"player.html", "player.swf", "player.xml", "My_Song.swf", "b.swf"},
       {"My_Song.swf", "b.swf", "player.html", "player.swf", "player.xml"}, "player.swf"},
      {"only the Flash player", TPublishOption::PlayerAndMusicFiles, TMusicFormat::FLV, true,
       {"player.html", "player.swf", "player.xml"},
       {"player.html", "player.swf", "player.xml"}, "player.swf"},
      {"single player", TPublishOption::SinglePlayer, TMusicFormat::MP3, false,
       {"player.html", "player.swf"}, {"player.html", "player.swf"}, "player.swf"},
      {"music files", TPublishOption::MusicFiles, TMusicFormat::MP3, false,
       {"My_Song.swf", "My_Song.html", "b.swf", "b.html"},
       {"My_Song.html", "My_Song.swf", "b.html", "b.swf"}, "My_Song.swf"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(out.path());
    fs::create_directory(out.path());
    project.Music.clear();
    host = RecordingHost{};
    makers = RecordingMovieMakers{};
    Song("My Song.mp3");
    Song("b.wav");
    Options(c.option, c.format, true);  // re-encoding on, lame missing: the songs' own files
    project.OnlyFlashPlayer = c.onlyPlayer;
    const TPublishOutcome r = Run();
    ASSERT_EQ(r.Status, TRunStatus::Finished);
    ASSERT_EQ(host.Results.size(), 1u);
    EXPECT_EQ(host.Results[0].Files, c.files);
    EXPECT_EQ(OutFiles(), c.written);
    EXPECT_NE(host.Results[0].EmbedCode.find("src=\"" + std::string(c.embedSrc) + "\""),
              std::string::npos);
    // Re-encoding was wanted wherever songs are made: the missing encoder says so once a song.
    EXPECT_EQ(host.Count("Lame encoding engine"), c.onlyPlayer ? 0 : 2);
    EXPECT_EQ(user.Files(), Names{});
  }
}

TEST_F(PublishFixture, MusicFilesBuildOneMovieAndPagePerSong) {
  Song("My Song.mp3");
  Song("b.wav");
  Options(TPublishOption::MusicFiles, TMusicFormat::SWF, false);
  project.Transparent = true;
  project.DefaultSize = false;
  project.Width = 640;
  project.Height = 48;
  ASSERT_EQ(Run().Status, TRunStatus::Finished);
  ASSERT_EQ(makers.StageCalls.size(), 2u);
  EXPECT_EQ(makers.StageCalls[1].Target, out.path().string() + "/b.swf");
  EXPECT_TRUE(makers.StageCalls[1].WithMusic);
  EXPECT_EQ(makers.StageCalls[1].Positions, std::vector<int32_t>{2});
  EXPECT_TRUE(makers.StageCalls[1].Folder.starts_with(user.Work() + "run-"));  // the run's own
  const std::string page = ReadText(out / "b.html");
  EXPECT_NE(page.find("<embed src=\"b.swf\""), std::string::npos) << page;
  EXPECT_NE(page.find("WMODE=\"transparent\" width=\"640\" height=\"48\""), std::string::npos);
}

TEST_F(PublishFixture, EveryPageLinksTheEmulator) {
  Song("My Song.mp3");
  Song("b.wav");
  Options(TPublishOption::MusicFiles, TMusicFormat::SWF, false);
  project.Ruffle = TRuffleMode::Link;
  project.RuffleUrl = " https://cdn.example.org/ruffle.js ";
  ASSERT_EQ(Run().Status, TRunStatus::Finished);
  EXPECT_EQ(host.Results.at(0).Files, (Names{"My_Song.swf", "My_Song.html", "b.swf", "b.html"}));
  for (const char* page : {"My_Song.html", "b.html"}) {
    SCOPED_TRACE(page);
    EXPECT_NE(ReadText(out / page).find("</title>\r\n<script src=\"https://cdn.example.org/"
                                        "ruffle.js\"></script>\r\n</head>"),
              std::string::npos);
  }
  EXPECT_EQ(host.Errors, Names{});
}

// This test program has no emulator beside it: the page still names the script, and the run
// says what is missing and marks it in the result, instead of publishing a silent page.
TEST_F(PublishFixture, CopyingAnEmulatorThatIsNotInstalled) {
  ASSERT_FALSE(fs::exists(ProgramFolder() + "ruffle"));
  EXPECT_EQ(ShippedRuffleFiles(), Names{});
  Song("a.mp3");
  Options(TPublishOption::SinglePlayer, TMusicFormat::SWF, false);
  project.Ruffle = TRuffleMode::Copy;
  ASSERT_EQ(Run().Status, TRunStatus::Finished);
  EXPECT_EQ(host.Results.at(0).Files, (Names{"player.html", "player.swf", "ruffle/ruffle.js"}));
  EXPECT_EQ(host.Count("The Ruffle emulator is not installed beside the program"), 1);
  EXPECT_FALSE(fs::exists(out / "ruffle"));
  EXPECT_NE(ReadText(out / "player.html").find("<script src=\"ruffle/ruffle.js\"></script>"),
            std::string::npos);
}

TEST_F(PublishFixture, PlaylistListsEverySongEvenWithOnlyThePlayer) {
  Song("My Song.mp3");
  Song("b.wav");
  Options(TPublishOption::PlayerAndMusicFiles, TMusicFormat::FLV, true);
  project.OnlyFlashPlayer = true;
  project.UseFullUrl = true;
  project.FullUrl = "http://example.org/m";
  ASSERT_EQ(Run().Status, TRunStatus::Finished);
  const std::string xml = ReadText(out / "player.xml");
  EXPECT_NE(xml.find("<file>http://example.org/m/My_Song.flv</file>"), std::string::npos) << xml;
  EXPECT_NE(xml.find("<file>http://example.org/m/b.flv</file>"), std::string::npos) << xml;
  EXPECT_TRUE(host.Errors.empty());  // nothing was re-encoded, so nothing was missed
}

// The re-encoded songs live in the run's own working folder: files of those names in the output
// folder are the user's, and stay as they are, with re-encoding and without.
TEST_F(PublishFixture, EncodeFilesInTheOutputFolderAreTheUsers) {
  TempDir bin;
  Script(bin.path(), "lame", "for last; do :; done\nprintf 'encoded' > \"$last\"\n");
  EnvGuard withLame("PATH", bin.path().string());
  for (const char* s : {"a.mp3", "b.mp3", "c.mp3"}) Song(s);
  for (const bool reencode : {false, true}) {
    SCOPED_TRACE(reencode ? "re-encoding" : "as they are");
    Options(TPublishOption::PlayerAndMusicFiles, TMusicFormat::MP3, reencode);
    std::ofstream(out / "encode2.mp3") << "the user's";
    ASSERT_EQ(Run().Status, TRunStatus::Finished) << ::testing::PrintToString(host.Errors);
    EXPECT_EQ(ReadText(out / "encode2.mp3"), "the user's");
    EXPECT_EQ(ReadText(out / "b.mp3"), reencode ? "encoded" : "song b.mp3");
    EXPECT_EQ(user.WorkEntries(), Names{});
  }
}

// Each run keeps its working files in a folder of its own inside the user's working folder, and
// that folder goes whole however the run ends: finished, cancelled, failed, or left by an
// exception nobody expected.
TEST_F(PublishFixture, TheRunsOwnWorkingFolderGoesWithIt) {
  struct Ending : RecordingMovieMakers {
    std::function<void(TRunContext&)> then;
    std::string folder;
    void BuildStageMovie(const TStageSettings& settings, const std::string& target, bool withMusic,
                         const TMusicFileList* music, const std::string& work, bool preview,
                         const TConvertOption& options, TRunContext& ctx) override {
      RecordingMovieMakers::BuildStageMovie(settings, target, withMusic, music, work, preview,
                                            options, ctx);
      folder = work;
      std::ofstream(work + "left.tmp") << "a working file";
      fs::create_directory(work + "sub");
      if (then) then(ctx);
    }
  };
  struct Case {
    const char* name;
    std::function<void(TRunContext&)> then;
    TRunStatus status;
  } cases[] = {
      {"finished", nullptr, TRunStatus::Finished},
      {"cancelled", [this](TRunContext&) { host.Cancel = true; }, TRunStatus::Cancelled},
      {"failed", [](TRunContext&) { throw std::runtime_error("Template file is damaged"); },
       TRunStatus::Failed},
      {"unexpected exception", [](TRunContext&) { throw 42; }, TRunStatus::Failed},
  };
  Song("a.mp3");
  Options(TPublishOption::SinglePlayer, TMusicFormat::MP3, false);
  std::set<std::string> folders;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    host = RecordingHost{};
    Ending ending;
    ending.then = c.then;
    try {
      EXPECT_EQ(PublishRun(project, host, ending).Status, c.status);
    } catch (int) {
      EXPECT_STREQ(c.name, "unexpected exception");
    }
    ASSERT_FALSE(ending.folder.empty());
    EXPECT_TRUE(ending.folder.starts_with(user.Work() + "run-")) << ending.folder;
    folders.insert(ending.folder);
    EXPECT_EQ(user.WorkEntries(), Names{});
  }
  EXPECT_EQ(folders.size(), 4u);  // a new one for every run
}

TEST_F(PublishFixture, EmptyReencodedFileFallsBackToTheSource) {
  // A fake encoder that "succeeds" with an empty file.
  TempDir bin;
  Script(bin.path(), "lame", "for last; do :; done\n: > \"$last\"\n");
  EnvGuard withLame("PATH", bin.path().string());
  Song("a.mp3", "the original");
  Options(TPublishOption::PlayerAndMusicFiles, TMusicFormat::MP3, true);
  ASSERT_EQ(Run().Status, TRunStatus::Finished);
  EXPECT_EQ(ReadText(out / "a.mp3"), "the original");
  EXPECT_EQ(host.SingleFileTexts(),
            (Names{"Converting:", "Reencoding \"a.mp3\":", "Converting \"a.mp3\":"}));
  EXPECT_FALSE(fs::exists(out / "encode1.mp3"));
}

TEST_F(PublishFixture, FailedEncoderIsReportedAndTheSongMadeFromItsSource) {
  TempDir bin;
  Script(bin.path(), "lame", "for last; do :; done\nprintf 'half' > \"$last\"\necho 'bad input' >&2\nexit 1\n");
  EnvGuard withLame("PATH", bin.path().string());
  Song("a.mp3", "the original");
  Options(TPublishOption::PlayerAndMusicFiles, TMusicFormat::MP3, true);
  ASSERT_EQ(Run().Status, TRunStatus::Finished);
  EXPECT_EQ(ReadText(out / "a.mp3"), "the original");
  EXPECT_EQ(host.Errors, Names{"Error: lame failed on \"a.mp3\" (exit status 1): bad input"});
}

TEST_F(PublishFixture, MissingEnginesGiveTwoMessagesPerSongAndTheRunFinishes) {
  Song("a.wav");
  Song("b.wav");
  Options(TPublishOption::PlayerAndMusicFiles, TMusicFormat::FLV, true);
  const TPublishOutcome r = Run();
  EXPECT_EQ(r.Status, TRunStatus::Finished);
  EXPECT_EQ(host.Errors, (Names{std::string(kLameMissing), std::string(kFfmpegMissing),
                                std::string(kLameMissing), std::string(kFfmpegMissing)}));
  EXPECT_EQ(OutFiles(), (Names{"player.html", "player.swf", "player.xml"}));
  ASSERT_EQ(host.Results.size(), 1u);
  EXPECT_EQ(r.EngineRuns, 0);
  EXPECT_EQ(user.Files(), Names{});
}

TEST_F(PublishFixture, MissingEncoderMakesTheMusicMovieFromTheSource) {
  const std::string a = Song("a.wav");
  Options(TPublishOption::PlayerAndMusicFiles, TMusicFormat::SWF, true);
  ASSERT_EQ(Run().Status, TRunStatus::Finished);
  EXPECT_EQ(host.Errors, Names{std::string(kLameMissing)});
  ASSERT_EQ(makers.MusicCalls.size(), 1u);
  EXPECT_EQ(makers.MusicCalls[0].Source, a);
  EXPECT_EQ(makers.MusicCalls[0].Target, out.path().string() + "/a.swf");
}

TEST_F(PublishFixture, ASongThatNoLongerExists) {
  Song("a.mp3");
  const std::string gone = Song("gone.mp3");
  Song("c.mp3");
  fs::remove(gone);
  Options(TPublishOption::PlayerAndMusicFiles, TMusicFormat::MP3, false);
  ASSERT_EQ(Run().Status, TRunStatus::Finished);
  EXPECT_EQ(host.Errors, Names{"Error: Cannot open file \"" + gone + "\": No such file or directory"});
  EXPECT_EQ(OutFiles(), (Names{"a.mp3", "c.mp3", "player.html", "player.swf", "player.xml"}));
}

TEST_F(PublishFixture, OutputFolderThatCannotBeMadeFallsBackToTheWorkingFolder) {
  Song("a.mp3");
  Options(TPublishOption::SinglePlayer, TMusicFormat::MP3, false);
  project.OutputFolder = (out / "deeper" / "still").string();
  ASSERT_EQ(Run().Status, TRunStatus::Finished);
  EXPECT_EQ(host.Results[0].Folder, user.Work() + "output/");
  EXPECT_EQ(FolderFiles(user.Work() + "output/"), (Names{"player.html", "player.swf"}));
  EXPECT_EQ(OutFiles(), Names{});
}

TEST_F(PublishFixture, NamesWithSpacesQuotesAndNonAsciiLetters) {
  Song("Motörhead \"Ace\" & Co.mp3");
  Song("Ünïcödé Sóng.wav");
  Options(TPublishOption::PlayerAndMusicFiles, TMusicFormat::MP3, false);
  project.OutputName = "Mein \"Spieler\" & Co.swf";
  ASSERT_EQ(Run().Status, TRunStatus::Finished);
  EXPECT_EQ(OutFiles(), (Names{"Mein \"Spieler\" & Co.html", "Mein \"Spieler\" & Co.swf",
                               "Mein \"Spieler\" & Co.xml", "Motörhead_\"Ace\"_&_Co.mp3",
                               "Ünïcödé_Sóng.mp3"}));
  const std::string page = ReadText(out / "Mein \"Spieler\" & Co.html");
  EXPECT_NE(page.find("<embed src=\"Mein%20%22Spieler%22%20%26%20Co.swf\""), std::string::npos)
      << page;
  const std::string xml = ReadText(out / "Mein \"Spieler\" & Co.xml");
  EXPECT_NE(xml.find("<file>Motörhead_\"Ace\"_&amp;_Co.mp3</file>"), std::string::npos) << xml;
  EXPECT_NE(xml.find("<title>Ünïcödé Sóng</title>"), std::string::npos) << xml;
}

TEST_F(PublishFixture, OutputNameMustStayInTheOutputFolder) {
  Song("a.mp3");
  for (const char* name : {"../escape.swf", "sub/player", "/tmp/abs", "..", "."}) {
    SCOPED_TRACE(name);
    host = RecordingHost{};
    Options(TPublishOption::PlayerAndMusicFiles, TMusicFormat::MP3, false);
    project.OutputFolder = (out / "inner").string();
    project.OutputName = name;
    EXPECT_EQ(Run().Status, TRunStatus::Refused);
    ASSERT_EQ(host.Errors.size(), 1u);
    EXPECT_TRUE(host.Errors[0].starts_with("Error: The output name ")) << host.Errors[0];
    EXPECT_TRUE(host.Progress.empty());
  }
  // Nothing was written anywhere: not beside the output folder, not inside it.
  EXPECT_EQ(OutFiles(), Names{});
  EXPECT_EQ(FolderFiles(out / "inner"), Names{});
  EXPECT_EQ(user.Files(), Names{});
}

TEST_F(PublishFixture, CopyingASongOntoItselfLeavesItIntact) {
  Options(TPublishOption::PlayerAndMusicFiles, TMusicFormat::MP3, false);
  std::ofstream(out / "song.mp3") << "the only copy";
  TMP3Info& info = project.Music.emplace_back();
  info.Path = (out / "song.mp3").string();
  ASSERT_EQ(Run().Status, TRunStatus::Finished) << ::testing::PrintToString(host.Errors);
  EXPECT_EQ(ReadText(out / "song.mp3"), "the only copy");
  EXPECT_TRUE(host.Errors.empty()) << ::testing::PrintToString(host.Errors);

  // Re-encoding would replace the user's original by its re-encoding: refused.
  project.Reencode = true;
  host = RecordingHost{};
  EXPECT_EQ(Run().Status, TRunStatus::Refused);
  ASSERT_EQ(host.Errors.size(), 1u);
  EXPECT_NE(host.Errors[0].find("which this run would overwrite"), std::string::npos);
  EXPECT_EQ(ReadText(out / "song.mp3"), "the only copy");
}

TEST_F(PublishFixture, DangersToTheSongsAreReportedBeforeAnythingIsWritten) {
  struct Case {
    const char* name;
    TPublishOption option;
    TMusicFormat format;
    std::string songInOut;  // a song lying in the output folder under this name ("" = none)
    std::string songName;   // else a song of this name elsewhere
    const char* message;
  } cases[] = {
      {"a song published as the player's own file", TPublishOption::PlayerAndMusicFiles,
       TMusicFormat::SWF, "", "player.mp3", "which is the player's own file"},
      {"a song published as the playlist", TPublishOption::PlayerAndMusicFiles, TMusicFormat::MP3,
       "", "player.xml.mp3", ""},
      // The re-encoded songs are no longer made in the output folder: their names are free.
      {"a song published under a temporary name", TPublishOption::PlayerAndMusicFiles,
       TMusicFormat::MP3, "", "encode1.wav", ""},
      {"a song of a temporary name in the output folder", TPublishOption::SinglePlayer,
       TMusicFormat::MP3, "encode1.mp3", "", ""},
      {"a song that is the page of a music file", TPublishOption::MusicFiles, TMusicFormat::MP3,
       "a.html", "", "which this run would overwrite"},
      {"a song that is the player", TPublishOption::SinglePlayer, TMusicFormat::MP3, "player.swf",
       "", "which this run would overwrite"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(out.path());
    fs::create_directory(out.path());
    project.Music.clear();
    host = RecordingHost{};
    Options(c.option, c.format, false);
    Song("a.mp3");
    std::string victim;
    if (!c.songInOut.empty()) {
      victim = (out / c.songInOut).string();
      std::ofstream(victim) << "precious";
      project.Music.emplace_back().Path = victim;
    } else {
      Song(c.songName);
    }
    EXPECT_EQ(Run().Status, c.message[0] ? TRunStatus::Refused : TRunStatus::Finished);
    if (!victim.empty()) {
      EXPECT_EQ(ReadText(victim), "precious");
    }
    if (!c.message[0]) continue;  // "player.xml.mp3" becomes "player.xml.mp3": no clash
    ASSERT_EQ(host.Errors.size(), 1u);
    EXPECT_NE(host.Errors[0].find(c.message), std::string::npos) << host.Errors[0];
    EXPECT_TRUE(host.Progress.empty());
    EXPECT_EQ(OutFiles(), victim.empty() ? Names{} : Names{c.songInOut});
    if (!victim.empty()) {
      EXPECT_EQ(ReadText(victim), "precious");
    }
  }
}

TEST_F(PublishFixture, TwoSongsOfOneNameOverwriteWithAWarning) {
  Song("one/x.mp3", "first");
  Song("two/x.mp3", "second");
  Song("one/y.mp3");
  project.Music.push_back(project.Music[2]);  // the same file twice: no warning for it
  Options(TPublishOption::PlayerAndMusicFiles, TMusicFormat::MP3, false);
  ASSERT_EQ(Run().Status, TRunStatus::Finished);
  ASSERT_EQ(host.Warnings.size(), 1u);
  EXPECT_NE(host.Warnings[0].find("are both published as \"x.mp3\"; the later one replaces the "
                                  "earlier."),
            std::string::npos)
      << host.Warnings[0];
  EXPECT_EQ(ReadText(out / "x.mp3"), "second");
}

TEST_F(PublishFixture, ASongInTheOutputFolderIsNeverReplacedByAnotherOfItsName) {
  // Either order: the song elsewhere would be copied over the one in the output folder.
  for (const bool ownFirst : {true, false}) {
    SCOPED_TRACE(ownFirst ? "the output folder's song first" : "the output folder's song last");
    fs::remove_all(out.path());
    fs::create_directory(out.path());
    project.Music.clear();
    host = RecordingHost{};
    Options(TPublishOption::PlayerAndMusicFiles, TMusicFormat::MP3, false);
    const std::string own = (out / "x.mp3").string();
    std::ofstream(own) << "the only copy";
    if (ownFirst) project.Music.emplace_back().Path = own;
    const std::string other = Song("other/x.mp3", "another song");
    if (!ownFirst) project.Music.emplace_back().Path = own;
    EXPECT_EQ(Run().Status, TRunStatus::Refused);
    ASSERT_EQ(host.Errors.size(), 1u) << ::testing::PrintToString(host.Errors);
    EXPECT_NE(host.Errors[0].find("\"" + own + "\""), std::string::npos) << host.Errors[0];
    EXPECT_NE(host.Errors[0].find("\"" + other + "\""), std::string::npos) << host.Errors[0];
    EXPECT_NE(host.Errors[0].find("Nothing was written."), std::string::npos) << host.Errors[0];
    EXPECT_TRUE(host.Progress.empty());
    EXPECT_EQ(OutFiles(), Names{"x.mp3"});
    EXPECT_EQ(ReadText(own), "the only copy");
  }
}

TEST_F(PublishFixture, CancelBetweenSongsKeepsWhatWasWritten) {
  for (const char* s : {"a.mp3", "b.mp3", "c.mp3"}) Song(s);
  Options(TPublishOption::PlayerAndMusicFiles, TMusicFormat::MP3, false);
  std::ofstream(out / "encode2.mp3") << "the user's";
  host.OnMessages = [](RecordingHost& h) {
    if (!h.Progress.empty() && h.Progress.back().SingleFile == "Converting \"b.mp3\":") h.Cancel = true;
  };
  EXPECT_EQ(Run().Status, TRunStatus::Cancelled);
  EXPECT_TRUE(host.Results.empty());
  EXPECT_FALSE(host.Progress.back().Visible);
  // a.mp3 was written; b.mp3 was written before the next checkpoint noticed the Cancel; the
  // user's own file of a temporary's name stays.
  EXPECT_EQ(OutFiles(), (Names{"a.mp3", "b.mp3", "encode2.mp3"}));
  EXPECT_EQ(user.WorkEntries(), Names{});
  EXPECT_TRUE(makers.StageCalls.empty());
}

TEST_F(PublishFixture, CancelWhileTheSinglePlayerTakesItsSongs) {
  for (const char* s : {"a.mp3", "b.mp3", "c.mp3"}) Song(s);
  Options(TPublishOption::SinglePlayer, TMusicFormat::MP3, false);
  makers.OnStageSong = [&](size_t index, const std::string&) {
    if (index == 1) host.Cancel = true;
  };
  EXPECT_EQ(Run().Status, TRunStatus::Cancelled);
  EXPECT_TRUE(host.Results.empty());
  // No player with songs missing, no page for it.
  EXPECT_EQ(OutFiles(), Names{});
  EXPECT_TRUE(makers.StageCalls.empty());
}

TEST_F(PublishFixture, CancelBetweenThePagesOfMusicFiles) {
  for (const char* s : {"a.mp3", "b.mp3"}) Song(s);
  Options(TPublishOption::MusicFiles, TMusicFormat::MP3, false);
  // Cancel as soon as the first page exists.
  const fs::path firstPage = out / "a.html";
  host.OnMessages = [firstPage](RecordingHost& h) {
    if (fs::exists(firstPage)) h.Cancel = true;
  };
  EXPECT_EQ(Run().Status, TRunStatus::Cancelled);
  EXPECT_EQ(OutFiles(), (Names{"a.html", "a.swf", "b.swf"}));
}

TEST_F(PublishFixture, CancelAfterThePlayerIsBuiltIsHonoured) {
  // Cancel pressed just as the player movie is done: the playlist and the page are not made.
  struct CancelAfterStage : RecordingMovieMakers {
    RecordingHost* host = nullptr;
    void BuildStageMovie(const TStageSettings& settings, const std::string& target, bool withMusic,
                         const TMusicFileList* music, const std::string& folder, bool preview,
                         const TConvertOption& options, TRunContext& ctx) override {
      RecordingMovieMakers::BuildStageMovie(settings, target, withMusic, music, folder, preview,
                                            options, ctx);
      host->Cancel = true;
    }
  } cancelling;
  cancelling.host = &host;
  Song("a.mp3");
  Options(TPublishOption::PlayerAndMusicFiles, TMusicFormat::MP3, false);
  const TPublishOutcome r = PublishRun(project, host, cancelling);
  EXPECT_EQ(r.Status, TRunStatus::Cancelled);
  EXPECT_TRUE(host.Results.empty());
  EXPECT_FALSE(host.Progress.back().Visible);
  EXPECT_EQ(OutFiles(), (Names{"a.mp3", "player.swf"}));
}

TEST_F(PublishFixture, AFailingStepEndsTheRunAndCleansUp) {
  struct Failing : RecordingMovieMakers {
    void BuildStageMovie(const TStageSettings&, const std::string&, bool, const TMusicFileList*,
                         const std::string&, bool, const TConvertOption&, TRunContext&) override {
      throw std::runtime_error("Template file is damaged");
    }
  } failing;
  Song("a.mp3");
  Options(TPublishOption::SinglePlayer, TMusicFormat::MP3, true);
  std::ofstream(out / "encode1.mp3") << "the user's";
  const TPublishOutcome r = PublishRun(project, host, failing);
  EXPECT_EQ(r.Status, TRunStatus::Failed);
  EXPECT_EQ(host.Errors.back(), "Error: Template file is damaged");
  EXPECT_TRUE(host.Results.empty());
  EXPECT_FALSE(host.Progress.back().Visible);
  EXPECT_EQ(OutFiles(), Names{"encode1.mp3"});
  EXPECT_EQ(user.WorkEntries(), Names{});
}

// The process ids named by the files of a folder.
std::vector<pid_t> PidsIn(const fs::path& folder) {
  std::vector<pid_t> pids;
  for (const auto& e : fs::directory_iterator(folder)) pids.push_back(std::stoi(e.path().filename()));
  std::sort(pids.begin(), pids.end());
  return pids;
}

bool ProcessGone(pid_t pid) { return ::kill(pid, 0) == -1 && errno == ESRCH; }

// Songs re-encoded side by side: whatever order they finish in, the run gives what one song after
// another gives: the same files and bytes, the same result, and the messages in song order.
TEST_F(PublishFixture, SongsSideBySideGiveWhatOneAfterAnotherGives) {
  TempDir bin;
  // Takes as long as the song's first word says; fails on a song whose second word says "bad".
  Script(bin.path(), "lame",
         "read wait what < \"$7\"\nsleep \"$wait\"\n"
         "case \"$what\" in bad*) echo \"cannot read $what\" >&2; exit 1;; esac\n"
         "printf 'encoded %s' \"$what\" > \"$8\"\n");
  EnvGuard withLame("PATH", bin.path().string() + ":/usr/bin:/bin");
  Song("a.mp3", "0.6 a");
  Song("b.mp3", "0.4 bad-b");  // fails after d has failed
  Song("c.mp3", "0 c");
  Song("d.mp3", "0 bad-d");
  const std::string gone = Song("e.mp3", "0 e");
  fs::remove(gone);
  Song("f.mp3", "0.2 f");
  Song("again/a.mp3", "0 a-again");  // published as a.mp3 too: it replaces the first, done later
  Options(TPublishOption::PlayerAndMusicFiles, TMusicFormat::MP3, true);

  struct Seen {
    TRunStatus status;
    std::vector<TOutputFile> files;
    Names errors, warnings, result;
    std::map<std::string, std::string> bytes;
  };
  std::optional<Seen> oneByOne;
  for (const int jobs : {1, 2, 4}) {
    SCOPED_TRACE("jobs " + std::to_string(jobs));
    fs::remove_all(out.path());
    fs::create_directory(out.path());
    host = RecordingHost{};
    makers = RecordingMovieMakers{};
    const TPublishOutcome r = PublishRun(project, host, makers, jobs);
    ASSERT_EQ(host.Results.size(), 1u);
    Seen seen{r.Status, r.Files, host.Errors, host.Warnings, host.Results[0].Files, {}};
    for (const std::string& name : OutFiles()) seen.bytes[name] = ReadText(out / name);
    EXPECT_EQ(user.WorkEntries(), Names{});
    EXPECT_EQ(r.EngineRuns, 6);
    // Songs at work side by side each have their line, in song order; none is left for the
    // player's files.
    size_t most = 0;
    for (const TProgressState& s : host.Progress) {
      most = std::max(most, s.Running.size());
      EXPECT_TRUE(std::is_sorted(s.Running.begin(), s.Running.end(),
                                 [](const TSongProgress& x, const TSongProgress& y) {
                                   return x.Number < y.Number;
                                 }));
      if (s.Files.starts_with("Generating")) {
        EXPECT_TRUE(s.Running.empty());
      }
    }
    EXPECT_GE(most, 1u);
    EXPECT_LE(most, static_cast<size_t>(jobs));
    if (jobs > 1) {
      EXPECT_GE(most, 2u);
    }
    if (!oneByOne) {
      oneByOne = seen;
      EXPECT_EQ(seen.errors, (Names{"Error: lame failed on \"b.mp3\" (exit status 1): cannot read bad-b",
                                    "Error: lame failed on \"d.mp3\" (exit status 1): cannot read bad-d",
                                    "Error: Cannot open file \"" + gone + "\": No such file or directory"}));
      EXPECT_EQ(seen.warnings.size(), 1u);
      EXPECT_EQ(seen.bytes, (std::map<std::string, std::string>{{"a.mp3", "encoded a-again"},
                                                                 {"b.mp3", "0.4 bad-b"},
                                                                 {"c.mp3", "encoded c"},
                                                                 {"d.mp3", "0 bad-d"},
                                                                 {"f.mp3", "encoded f"},
                                                                 {"player.html", ReadText(out / "player.html")},
                                                                 {"player.swf", "stage movie\n"},
                                                                 {"player.xml", ReadText(out / "player.xml")}}));
      continue;
    }
    EXPECT_EQ(seen.status, oneByOne->status);
    EXPECT_EQ(seen.files, oneByOne->files);
    EXPECT_EQ(seen.errors, oneByOne->errors);
    EXPECT_EQ(seen.warnings, oneByOne->warnings);
    EXPECT_EQ(seen.result, oneByOne->result);
    EXPECT_EQ(seen.bytes, oneByOne->bytes);
  }
}

// Cancel while three songs are at work: every child is stopped (none is left by its process id),
// the fourth song never starts, nothing half-made stays.
TEST_F(PublishFixture, CancelStopsEverySongAtWork) {
  TempDir bin, pids;
  Script(bin.path(), "lame",
         "touch \"" + pids.path().string() + "/$$\"\nwhile :; do sleep 0.05; done\n");
  EnvGuard withLame("PATH", bin.path().string() + ":/usr/bin:/bin");
  for (const char* s : {"a.mp3", "b.mp3", "c.mp3", "d.mp3"}) Song(s);
  Options(TPublishOption::PlayerAndMusicFiles, TMusicFormat::MP3, true);
  size_t most = 0;
  host.OnMessages = [&](RecordingHost& h) {
    if (!h.Progress.empty()) most = std::max(most, h.Progress.back().Running.size());
    if (PidsIn(pids.path()).size() == 3) h.Cancel = true;
  };
  const TPublishOutcome r = PublishRun(project, host, makers, 3);
  EXPECT_EQ(r.Status, TRunStatus::Cancelled);
  const std::vector<pid_t> children = PidsIn(pids.path());
  ASSERT_EQ(children.size(), 3u);
  for (const pid_t child : children) EXPECT_TRUE(ProcessGone(child)) << child;
  EXPECT_EQ(most, 3u);
  EXPECT_TRUE(host.Results.empty());
  EXPECT_FALSE(host.Progress.back().Visible);
  EXPECT_EQ(OutFiles(), Names{});
  EXPECT_EQ(user.WorkEntries(), Names{});
  EXPECT_TRUE(makers.StageCalls.empty());
}

// A song whose step fails ends the run as it does one song after another: the songs at work
// beside it are stopped, and the run's folder goes.
TEST_F(PublishFixture, AFailingSongAmongSongsAtWorkEndsTheRun) {
  struct FailingSecond : TMovieMakers {
    std::atomic<bool> firstStarted{false}, firstStopped{false};
    void BuildStageMovie(const TStageSettings&, const std::string&, bool,
                         const TMusicFileList* music, const std::string&, bool,
                         const TConvertOption&, TRunContext& ctx) override {
      if (music && music->Position == 2) {
        for (int i = 0; i < 500 && !firstStarted; ++i)
          std::this_thread::sleep_for(std::chrono::milliseconds(10));
        throw std::runtime_error("Template file is damaged");
      }
      firstStarted = true;
      // The first song builds for long: until the run stops it.
      for (int i = 0; i < 500 && !ctx.Cancelled(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      firstStopped = ctx.Cancelled();
      ctx.Checkpoint();
    }
    bool WriteMusicMovieFile(const std::string&, const std::string&, const TConvertOption&, bool,
                             TRunContext&) override {
      return false;
    }
  } failing;
  Song("a.mp3");
  Song("b.mp3");
  Options(TPublishOption::MusicFiles, TMusicFormat::MP3, false);
  const TPublishOutcome r = PublishRun(project, host, failing, 2);
  EXPECT_EQ(r.Status, TRunStatus::Failed);
  EXPECT_EQ(host.Errors, Names{"Error: Template file is damaged"});
  EXPECT_TRUE(failing.firstStopped);
  EXPECT_TRUE(host.Results.empty());
  EXPECT_FALSE(host.Progress.back().Visible);
  EXPECT_EQ(OutFiles(), Names{});
  EXPECT_EQ(user.WorkEntries(), Names{});
}

// A run killed before it could remove its working folder leaves it; the next run removes it, but
// never the folder of a run that still lives, nor anything else of the working folder.
TEST_F(PublishFixture, WorkingFoldersOfKilledRunsGoThoseOfLiveRunsStay) {
  fs::create_directories(user.Work() + "run-k1ll3d/sub");
  std::ofstream(user.Work() + "run-k1ll3d/sub/encode1.mp3") << "left behind";
  std::ofstream(user.Work() + "run-notes") << "the user's";
  fs::create_directories(user.Work() + "run-of-the-mill");
  const TWorkFolder live(user.Work());
  Song("a.mp3");
  Options(TPublishOption::SinglePlayer, TMusicFormat::MP3, false);
  ASSERT_EQ(Run().Status, TRunStatus::Finished);
  Names kept = {fs::path(live.Path()).parent_path().filename().string(), "run-notes",
                "run-of-the-mill"};
  std::sort(kept.begin(), kept.end());
  EXPECT_EQ(user.WorkEntries(), kept);
}

}  // namespace
}  // namespace tw::test
