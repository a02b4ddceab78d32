// tunewright-cli info and tag, run as a program.
#include <sys/stat.h>

#include "audio/audio_fixtures.h"

namespace tw::test {
namespace {

std::string Cli() { return (ProgramDir() / "tunewright-cli").string(); }

size_t Count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

TEST(AudioCli, InfoOnEveryCorpusSong) {
  std::vector<std::string> files;
  for (const auto& e : fs::directory_iterator(CorpusDir() / "audio")) files.push_back(e.path());
  std::sort(files.begin(), files.end());
  CommandLine text = {Cli(), "info", "--frames"};
  text.insert(text.end(), files.begin(), files.end());
  const CommandResult r = RunCommand(text);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Count(r.out, "File:        "), files.size());
  EXPECT_EQ(Count(r.out, "MPEG:        version "), files.size() - 2);
  EXPECT_EQ(Count(r.out, "Format:      1 (PCM)"), 2u);
  // One of them, line by line: a 2.5 s VBR song with an ID3v2.3 tag.
  EXPECT_NE(r.out.find("File:        " +
                       (CorpusDir() / "audio" / "avm2__id3_info__test_audio.mp3").string() +
                       "\nDuration:    0:00:03\nSample rate: 44100 Hz\nBit rate:    VBR\n"
                       "Mode:        Stereo\nTitle:       avm2__id3_info__test_audio.mp3\n"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("MPEG:        version 1, Layer III, joint stereo\n"
                       "Frames:      97 (96 audio)\nFirst frame: byte 194, 417 bytes\n"),
            std::string::npos);
  EXPECT_NE(r.out.find("ID3v2:       version 2.3, 194 bytes, title \"test title\", artist "
                       "\"test artist\", album \"test album\""),
            std::string::npos);

  CommandLine json = {Cli(), "info", "--json", "--frames"};
  json.insert(json.end(), files.begin(), files.end());
  const CommandResult j = RunCommand(json);
  ASSERT_EQ(j.status, 0) << j.err;
  EXPECT_EQ(j.out.front(), '[');
  EXPECT_EQ(Count(j.out, "\"file\": "), files.size());
  EXPECT_EQ(Count(j.out, "\"vbrHeader\": {"), 5u);
  EXPECT_NE(j.out.find("\"title\": \"Clicky\",\n    \"artist\": \"Benjamin Wolsey\",\n"
                       "    \"album\": \"Gnash\""),
            std::string::npos)
      << j.out;
}

TEST(AudioCli, InfoReportsEveryFailure) {
  TempDir dir;
  WriteBytes(dir / "noise.mp3", Bytes(5000, 0x5A));
  WriteBytes(dir / "notes.txt", Bytes(10, 'a'));
  const std::string good = (CorpusDir() / "audio" / "avm1__sound_id3__noid3.mp3").string();
  // Named pipes are no songs: refused at once, never waited on for a writer.
  ASSERT_EQ(::mkfifo((dir / "pipe.wav").c_str(), 0600), 0);
  ASSERT_EQ(::mkfifo((dir / "pipe.mp3").c_str(), 0600), 0);
  const CommandResult r = RunCommand(
      {"timeout", "20", Cli(), "info", (dir / "noise.mp3").string(), good,
       (dir / "notes.txt").string(), (dir / "gone.wav").string(), (dir / "pipe.wav").string(),
       (dir / "pipe.mp3").string()});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("pipe.wav: not a WAV file that can be read"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("Error openning file: " + (dir / "pipe.mp3").string()), std::string::npos)
      << r.err;
  EXPECT_EQ(Count(r.out, "File:        "), 1u);
  EXPECT_NE(
      r.err.find("tunewright-cli: error: Error openning file: " + (dir / "noise.mp3").string()),
      std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find("notes.txt: not an MP3 or WAV file"), std::string::npos);
  EXPECT_NE(r.err.find("gone.wav: not a WAV file that can be read"), std::string::npos);
}

TEST(AudioCli, TagWritesTheId3v1Tag) {
  TempDir dir;
  const fs::path source = MakeAudio(
      "cli-tag.mp3",
      {SoxSignal("{tmp}", 22050, 1, 1), {"lame", "--quiet", "-b", "32", "{tmp}", "{out}"}});
  ASSERT_FALSE(source.empty());
  const fs::path song = dir / "song.mp3";
  fs::copy_file(source, song);
  fs::permissions(song, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  const auto size = fs::file_size(song);

  CommandResult r =
      RunCommand({Cli(), "tag", song.string(), "--title", "Caf\xC3\xA9", "--artist", "An Artist"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(fs::file_size(song), size + 128);
  r = RunCommand({Cli(), "tag", song.string(), "--album", "An Album"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(fs::file_size(song), size + 128);
  r = RunCommand({Cli(), "info", "--json", song.string()});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("\"title\": \"Caf\xC3\xA9\",\n    \"artist\": \"An Artist\",\n"
                       "    \"album\": \"An Album\""),
            std::string::npos)
      << r.out;
  // The song is replaced, its permissions kept, no temporary left behind.
  EXPECT_EQ(fs::status(song).permissions(),
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
  const Bytes bytes = ReadBytes(song);
  EXPECT_EQ(ToHex(Bytes(bytes.end() - 128, bytes.end() - 122)), ToHex(Hex("54 41 47 43 61 66")));
  EXPECT_EQ(bytes[bytes.size() - 128 + 6], 0xE9);
}

TEST(AudioCli, TagThroughALinkWritesTheSongItNames) {
  TempDir dir;
  const fs::path song = dir / "song.mp3", link = dir / "link.mp3";
  fs::copy_file(CorpusFile("audio", "from_gnash__actionscript.all__Sound-v5__click.mp3"), song);
  fs::permissions(song, fs::perms::owner_read | fs::perms::owner_write);
  fs::create_symlink("song.mp3", link);
  const CommandResult r = RunCommand({Cli(), "tag", link.string(), "--title", "Linked"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(fs::read_symlink(link), "song.mp3");
  const Bytes bytes = ReadBytes(song);
  EXPECT_EQ(std::string(bytes.end() - 128 + 3, bytes.end() - 128 + 9), "Linked");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 2);
}

TEST(AudioCli, TagLeavesUnreadableSongsAlone) {
  TempDir dir;
  const Bytes noise(5000, 0x5A);
  WriteBytes(dir / "noise.mp3", noise);
  WriteBytes(dir / "song.wav", noise);
  const fs::path locked = dir / "locked.mp3";
  fs::copy_file(CorpusFile("audio", "from_gnash__actionscript.all__Sound-v5__click.mp3"), locked);
  fs::permissions(locked, fs::perms::owner_read | fs::perms::group_read);
  const Bytes lockedBytes = ReadBytes(locked);
  const struct {
    const char* file;
    const char* error;
  } cases[] = {{"noise.mp3", "Error openning file: "},
               {"song.wav", "only MP3 files carry an ID3 tag"},
               {"gone.mp3", "no such file"},
               {"locked.mp3", "locked.mp3: the file is read-only"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    const CommandResult r = RunCommand({Cli(), "tag", (dir / c.file).string(), "--title", "X"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(c.error), std::string::npos) << r.err;
  }
  EXPECT_EQ(ReadBytes(dir / "noise.mp3"), noise);
  EXPECT_EQ(ReadBytes(dir / "song.wav"), noise);
  EXPECT_EQ(ReadBytes(locked), lockedBytes);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 3);
}

}  // namespace
}  // namespace tw::test
