// A song's information and tags as the music list reads them, from corpus files and from songs
// made by sox and lame, with ffprobe's word for comparison.
#include <cmath>
#include <fstream>

#include "app/app_support.h"
#include "app/music_info.h"

namespace tw::test {
namespace {
namespace fs = std::filesystem;
using namespace tw::app;

double Seconds(const TMP3Info& info) { return info.Duration * 86400; }

TEST(MusicInfo, CorpusSongs) {
  UserFolders user;
  struct Case {
    const char* file;
    int kind;
    int sampleRate;
    int bitRate;
    const char* mode;
    double seconds;
    const char* title;
    const char* artist;
    const char* album;
  } cases[] = {
      // Titles come from the ID3v1 tag: this one has an ID3v2 tag only. Without an ID3v1 tag
      // the title is the song's own file name (never the working copy's), at most 30 characters.
      {"avm1__sound_id3__id3.mp3", 0, 44100, 32, "Mono", 1, "avm1__sound_id3__id3.mp3", "", ""},
      {"avm1__sound_id3__noid3.mp3", 0, 44100, 32, "Mono", 1, "avm1__sound_id3__noid3.mp3", "",
       ""},
      // Its ID3v1 title differs from its ID3v2 title ("Clicks").
      {"from_gnash__actionscript.all__Sound-v5__click.mp3", 0, 44100, 32, "Mono", 12, "Clicky",
       "Benjamin Wolsey", "Gnash"},
      {"from_gnash__actionscript.all__Sound-v5__stereo8.mp3", 0, 8000, 24, "Stereo", 7,
       "from_gnash__actionscript.all__", "", ""},
      {"from_gnash__actionscript.all__Sound-v5__brokenchord.wav", 1, 44100, 705600, "Mono", 3, "",
       "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    TMP3Info info;
    const std::string path = CorpusFile("audio", c.file).string();
    ASSERT_TRUE(ReadMusicInfo(path, info));
    EXPECT_EQ(info.Kind, c.kind);
    EXPECT_EQ(info.Path, path);
    EXPECT_EQ(info.SampleRate, c.sampleRate);
    EXPECT_EQ(info.BitRate, c.bitRate);
    EXPECT_EQ(info.Mode, c.mode);
    EXPECT_NEAR(Seconds(info), c.seconds, 0.5);
    EXPECT_EQ(info.Title, c.title);
    EXPECT_EQ(info.Artist, c.artist);
    EXPECT_EQ(info.Album, c.album);
    EXPECT_EQ(info.DataOffset, c.kind == 1 ? 44 : 0);
  }
  EXPECT_EQ(user.Files(), std::vector<std::string>{});  // the working copy "music.mp3" is gone
}

TEST(MusicInfo, SongsMadeByLameAndSox) {
  UserFolders user;
  TempDir dir;
  const fs::path wav = dir / "tone.wav";
  MakeSong(wav, 4);
  const fs::path mp3 = dir / "Tagged Song.MP3";
  auto r = RunCommand({"lame", "--silent", "-b", "96", "--id3v1-only", "--tt", "Tïtle", "--ta",
                       "Ärtist", "--tl", "Album", wav.string(), mp3.string()});
  ASSERT_EQ(r.status, 0) << r.err;

  // lame chooses the sample rate for the bit rate; ffprobe says which.
  r = RunCommand({"ffprobe", "-v", "error", "-show_entries", "stream=sample_rate", "-of",
                  "default=nw=1:nk=1", mp3.string()});
  ASSERT_EQ(r.status, 0) << r.err;
  TMP3Info info;
  ASSERT_TRUE(ReadMusicInfo(mp3.string(), info));
  EXPECT_EQ(info.Kind, 0);
  EXPECT_EQ(info.BitRate, 96);
  EXPECT_EQ(std::to_string(info.SampleRate) + "\n", r.out);
  EXPECT_NEAR(Seconds(info), 4, 1);
  // The tag's Latin-1 bytes arrive as UTF-8.
  EXPECT_EQ(info.Title, "Tïtle");
  EXPECT_EQ(info.Artist, "Ärtist");
  EXPECT_EQ(info.Album, "Album");

  ASSERT_TRUE(ReadMusicInfo(wav.string(), info));
  EXPECT_EQ(info.Kind, 1);
  EXPECT_EQ(info.SampleRate, 44100);
  EXPECT_EQ(info.BitRate, 2 * 44100 * 16);
  EXPECT_EQ(info.Mode, "Stereo");
  EXPECT_NEAR(Seconds(info), 4, 0.01);
  EXPECT_EQ(info.Title, "");  // the tags of the MP3 read before do not stay
  EXPECT_EQ(user.Files(), std::vector<std::string>{});
}

TEST(MusicInfo, WhatCannotBeRead) {
  UserFolders user;
  TempDir dir;
  std::ofstream(dir / "text.mp3") << std::string(3000, 'x');
  std::ofstream(dir / "text.wav") << "RIFF....WAVEnot really";
  std::ofstream(dir / "song.ogg") << "OggS";
  for (const char* name : {"text.mp3", "text.wav", "song.ogg", "missing.mp3", "missing.wav"}) {
    SCOPED_TRACE(name);
    TMP3Info info;
    info.Title = "kept";
    EXPECT_FALSE(ReadMusicInfo((dir / name).string(), info));
    EXPECT_EQ(info.Title, "kept");
  }
  EXPECT_EQ(user.Files(), std::vector<std::string>{});

  // The music list keeps the song's path either way, so that the run can name it.
  TProject project;
  AddMusicFile(project, (dir / "song.ogg").string());
  AddMusicFile(project, CorpusFile("audio", "from_gnash__actionscript.all__Sound-v5__click.mp3").string());
  ASSERT_EQ(project.Music.size(), 2u);
  EXPECT_EQ(project.Music[0].Path, (dir / "song.ogg").string());
  EXPECT_EQ(project.Music[1].Title, "Clicky");
}

}  // namespace
}  // namespace tw::test
