// The music list's operations on the project, and the tag editor's writing into MP3 files,
// with ffprobe's reading of the written tag for a second opinion.
#include <sys/stat.h>

#include <fstream>

#include "app/app_support.h"
#include "app/music_info.h"
#include "app/music_list.h"
#include "app/paths.h"

namespace tw::test {
namespace {
namespace fs = std::filesystem;
using namespace tw::app;

std::vector<std::string> Paths(const TProject& p) {
  std::vector<std::string> paths;
  for (const TMP3Info& s : p.Music) paths.push_back(ExtractFileName(s.Path));
  return paths;
}

TEST(MusicList, AddRemoveAndMove) {
  UserFolders user;
  TempDir dir;
  MakeSong(dir / "a.wav", 1);
  std::ofstream(dir / "b.ogg") << "OggS";
  const std::vector<std::string> added = {(dir / "a.wav").string(), (dir / "b.ogg").string(),
                                          (dir / "a.wav").string()};
  TProject p;
  int messages = 0;
  AddMusicFiles(p, added, [&] { ++messages; });
  EXPECT_EQ(messages, 3);
  ASSERT_EQ(p.Music.size(), 3u);
  // In the order given, the same file twice; the unreadable one by its name alone.
  EXPECT_EQ(p.Music[0].Kind, 1);
  EXPECT_EQ(p.Music[2].Kind, 1);
  EXPECT_EQ(p.Music[1].Path, added[1]);
  EXPECT_EQ(p.Music[1].Mode, "");
  EXPECT_EQ(p.Music[1].Duration, 0);

  for (const auto& name : {"c.wav", "d.wav"}) {
    TMP3Info song;
    song.Path = name;
    p.Music.push_back(song);
  }
  // a.wav b.ogg a.wav c.wav d.wav
  EXPECT_EQ(MoveMusicUp(p, 0), 0u);
  EXPECT_EQ(MoveMusicDown(p, 4), 4u);
  EXPECT_EQ(MoveMusicDown(p, 9), 9u);
  EXPECT_EQ(Paths(p), (std::vector<std::string>{"a.wav", "b.ogg", "a.wav", "c.wav", "d.wav"}));
  EXPECT_EQ(MoveMusicUp(p, 3), 2u);
  EXPECT_EQ(MoveMusicDown(p, 0), 1u);
  EXPECT_EQ(Paths(p), (std::vector<std::string>{"b.ogg", "a.wav", "c.wav", "a.wav", "d.wav"}));

  // The selection, in any order and with repeats; what is not selected stays in order.
  const std::vector<size_t> selected = {4, 0, 4, 2, 17};
  EXPECT_EQ(RemoveMusic(p, selected), 3u);
  EXPECT_EQ(Paths(p), (std::vector<std::string>{"a.wav", "a.wav"}));
  EXPECT_EQ(RemoveMusic(p, {}), 0u);
  EXPECT_EQ(p.Music.size(), 2u);
}

std::string Ffprobe(const fs::path& file, const char* tag) {
  auto r = RunCommand({"ffprobe", "-v", "error", "-show_entries",
                       std::string("format_tags=") + tag, "-of", "default=nw=1:nk=1",
                       file.string()});
  EXPECT_EQ(r.status, 0) << r.err;
  if (!r.out.empty() && r.out.back() == '\n') r.out.pop_back();
  return r.out;
}

TEST(MusicList, EditingTagsWritesMp3sOnly) {
  UserFolders user;
  TempDir dir;
  const fs::path mp3 = dir / "Song.mp3";
  MakeSong(mp3, 1);
  MakeSong(dir / "tone.wav", 1);
  TProject p;
  AddMusicFile(p, mp3.string());
  AddMusicFile(p, (dir / "tone.wav").string());
  ASSERT_EQ(p.Music[0].Title, "Song.mp3");  // untagged: its own name, not the working copy's
  const std::string wavBytes = ReadText(dir / "tone.wav");

  // The window's OK without the box: the project changes, the file does not.
  const std::string untagged = ReadText(mp3);
  EXPECT_TRUE(EditMusicTags(p.Music[0], "Only here", "", "", false));
  EXPECT_EQ(p.Music[0].Title, "Only here");
  EXPECT_EQ(ReadText(mp3), untagged);

  // With the box: ffprobe reads the tag, at most 30 characters of each text.
  std::string error;
  EXPECT_TRUE(EditMusicTags(p.Music[0], "A title longer than thirty characters", "Ärtist",
                            "Album", true, &error))
      << error;
  EXPECT_EQ(p.Music[0].Title, "A title longer than thirty characters");
  EXPECT_EQ(Ffprobe(mp3, "title"), "A title longer than thirty cha");
  EXPECT_EQ(Ffprobe(mp3, "album"), "Album");
  // The tag holds 8-bit text (ffprobe takes ID3v1 bytes as UTF-8, so the bytes are checked).
  const std::string tagged = ReadText(mp3);
  ASSERT_EQ(tagged.size(), untagged.size() + 128);
  EXPECT_EQ(tagged.substr(untagged.size() + 33, 7), std::string("\xC4rtist\0", 7));
  TMP3Info reread;
  ASSERT_TRUE(ReadMusicInfo(mp3.string(), reread));
  EXPECT_EQ(reread.Title, "A title longer than thirty cha");

  // A WAV song: the box is not offered, and asking anyway changes the project, never the file.
  EXPECT_FALSE(CanWriteTag(p.Music[1]));
  EXPECT_TRUE(EditMusicTags(p.Music[1], "Wave", "Maker", "Set", true));
  EXPECT_EQ(p.Music[1].Title, "Wave");
  EXPECT_EQ(p.Music[1].Album, "Set");
  EXPECT_EQ(ReadText(dir / "tone.wav"), wavBytes);

  // A WAV listed without information says "MP3" by its zeros: its file is still never written.
  TMP3Info unread;
  unread.Path = (dir / "tone.wav").string();
  EXPECT_FALSE(WriteMusicTags(unread, &error));
  EXPECT_NE(error.find("only MP3 files carry an ID3 tag"), std::string::npos) << error;
  EXPECT_EQ(ReadText(dir / "tone.wav"), wavBytes);
  EXPECT_EQ(user.Files(), std::vector<std::string>{});  // no working copy left behind
}

TEST(MusicList, ATagWriteThatFailsLeavesTheFile) {
  UserFolders user;
  TempDir dir;
  const fs::path mp3 = dir / "locked.mp3";
  MakeSong(mp3, 1);
  const std::string before = ReadText(mp3);
  TMP3Info song;
  ASSERT_TRUE(ReadMusicInfo(mp3.string(), song));

  // Read-only: refused, also for the superuser, whom the permission bits do not stop.
  fs::permissions(mp3, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  std::string error;
  EXPECT_FALSE(EditMusicTags(song, "New", "", "", true, &error));
  EXPECT_EQ(error, "Cannot write file \"" + mp3.string() + "\": the file is read-only");
  EXPECT_EQ(song.Title, "New");  // the record and the list keep the edited texts
  EXPECT_EQ(ReadText(mp3), before);
  EXPECT_EQ(fs::status(mp3).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);

  // Not an MPEG file at all, and a file that is gone.
  fs::permissions(mp3, fs::perms::owner_read | fs::perms::owner_write);
  const fs::path text = dir / "text.mp3";
  std::ofstream(text) << std::string(3000, 'x');
  song.Path = text.string();
  EXPECT_FALSE(WriteMusicTags(song, &error));
  EXPECT_EQ(error, "Error openning file: " + text.string());
  EXPECT_EQ(ReadText(text), std::string(3000, 'x'));
  song.Path = (dir / "gone.mp3").string();
  EXPECT_FALSE(WriteMusicTags(song, &error));
  EXPECT_EQ(user.Files(), std::vector<std::string>{});

  // Through a link: the file it points to gets the tag, the link stays a link.
  const fs::path link = dir / "link.mp3";
  fs::create_symlink(mp3, link);
  song.Path = link.string();
  ASSERT_TRUE(WriteMusicTags(song, &error)) << error;
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(Ffprobe(mp3, "title"), "New");
  EXPECT_EQ(fs::status(mp3).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);
}

}  // namespace
}  // namespace tw::test
