// ID3v1 and ID3v2 tags: records built byte by byte for the edge cases, and tags written by lame
// and ffmpeg.
#include "audio/id3.h"

#include "audio/audio_fixtures.h"
#include "audio/genres.h"

namespace tw::test {
namespace {
using namespace tw::audio;

// A 128-byte ID3v1 record from its fields, the bytes after the text filled with fill.
Bytes Id3v1Record(std::string_view title, std::string_view artist, std::string_view album,
                  std::string_view year, std::string_view comment, int byte125, int byte126,
                  uint8_t genre, char fill = 0) {
  Bytes r(128, static_cast<uint8_t>(fill));
  auto put = [&](size_t at, std::string_view s, size_t n) {
    std::copy_n(s.begin(), std::min(s.size(), n), r.begin() + static_cast<ptrdiff_t>(at));
  };
  put(0, "TAG", 3);
  put(3, title, 30);
  put(33, artist, 30);
  put(63, album, 30);
  put(93, year, 4);
  put(97, comment, 30);
  if (byte125 >= 0) r[125] = static_cast<uint8_t>(byte125);
  if (byte126 >= 0) r[126] = static_cast<uint8_t>(byte126);
  r[127] = genre;
  return r;
}

TID3v1 ReadV1(const Bytes& file) {
  TSourceStream s = TSourceStream::OpenMemory(file);
  TID3v1 tag;
  EXPECT_TRUE(tag.ReadTag(s));
  return tag;
}

TEST(ID3v1, ReadsRecords) {
  struct Case {
    const char* name;
    Bytes file;
    bool exists;
    int version;
    const char* title;
    const char* comment;
    int track;
    int genre;
  };
  const std::string full30 = "abcdefghijklmnopqrstuvwxyz0123";
  Bytes withAudio(500, 0x55);
  const Bytes v11 = Id3v1Record("Title", "Artist", "Album", "1999", "Nice", 0, 7, 17);
  withAudio.insert(withAudio.end(), v11.begin(), v11.end());
  const Case cases[] = {
      {"ID3v1.1: a 4-character comment and track 7", v11, true, 2, "Title", "Nice", 7, 17},
      {"ID3v1.0: a comment filling all 30 bytes", Id3v1Record("T", "", "", "", full30, -1, -1, 3),
       true, 1, "T", full30.c_str(), 0, 3},
      {"ID3v1.1 with spaces: byte 125 a space, byte 126 not",
       Id3v1Record("Spaced", "", "", "", "c", ' ', 9, 1, ' '), true, 2, "Spaced", "c", 9, 1},
      {"trailing spaces and zeros are trimmed",
       Id3v1Record("Padded   ", "", "", "", "", -1, -1, 0, ' '), true, 1, "Padded", "", 0, 0},
      {"Windows-1252 bytes become UTF-8", Id3v1Record("Caf\xE9 \x80", "", "", "", "", -1, -1, 0),
       true, 1, "Caf\xC3\xA9 \xE2\x82\xAC", "", 0, 0},
      {"a tag after audio bytes", withAudio, true, 2, "Title", "Nice", 7, 17},
      {"no tag", Bytes(300, 0x20), false, 1, "", "", 0, 255},
      {"a file shorter than a tag", Bytes{'T', 'A', 'G', 'x'}, false, 1, "", "", 0, 255},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const TID3v1 tag = ReadV1(c.file);
    EXPECT_EQ(tag.Exists, c.exists);
    EXPECT_EQ(tag.TagSize, c.exists ? 128u : 0u);
    EXPECT_EQ(tag.VersionID, c.version);
    EXPECT_EQ(tag.Title, c.title);
    EXPECT_EQ(tag.Comment, c.comment);
    EXPECT_EQ(tag.Track, c.track);
    EXPECT_EQ(tag.Genre, c.genre);
  }
  const TID3v1 tag = ReadV1(v11);
  EXPECT_EQ(tag.Artist, "Artist");
  EXPECT_EQ(tag.Album, "Album");
  EXPECT_EQ(tag.Year, "1999");
}

// An ID3v2.3 frame.
Bytes Frame(std::string_view id, const Bytes& body) {
  Bytes f;
  PutText(f, id);
  PutBE32(f, static_cast<uint32_t>(body.size()));
  f.push_back(0);
  f.push_back(0);
  f.insert(f.end(), body.begin(), body.end());
  return f;
}

Bytes Raw(std::string_view text) { return Bytes(text.begin(), text.end()); }

Bytes Text(uint8_t encoding, std::string_view text) {
  Bytes b = {encoding};
  PutText(b, text);
  return b;
}

// UTF-16 code units as bytes.
Bytes Utf16(std::u16string_view text, bool bigEndian, bool bom) {
  Bytes b;
  auto put = [&](char16_t u) {
    if (bigEndian) {
      b.push_back(static_cast<uint8_t>(u >> 8));
      b.push_back(static_cast<uint8_t>(u));
    } else {
      b.push_back(static_cast<uint8_t>(u));
      b.push_back(static_cast<uint8_t>(u >> 8));
    }
  };
  if (bom) put(0xFEFF);
  for (char16_t u : text) put(u);
  return b;
}

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// A tag with its header (sizes with 7 bits a byte) followed by some audio bytes.
Bytes Id3v2File(uint8_t version, const Bytes& frames, uint8_t flags = 0, size_t padding = 16) {
  const uint32_t size = static_cast<uint32_t>(frames.size() + padding);
  Bytes file = {'I',
                'D',
                '3',
                version,
                0,
                flags,
                static_cast<uint8_t>((size >> 21) & 0x7F),
                static_cast<uint8_t>((size >> 14) & 0x7F),
                static_cast<uint8_t>((size >> 7) & 0x7F),
                static_cast<uint8_t>(size & 0x7F)};
  file.insert(file.end(), frames.begin(), frames.end());
  file.insert(file.end(), padding, 0);
  file.insert(file.end(), 64, 0x11);
  return file;
}

TID3v2 ReadV2(const Bytes& file) {
  TSourceStream s = TSourceStream::OpenMemory(file);
  TID3v2 tag;
  EXPECT_TRUE(tag.ReadTag(s));
  return tag;
}

TEST(ID3v2, ReadsVersion3TextFrames) {
  struct Case {
    const char* name;
    Bytes frames;
    const char* title;
    const char* artist;
    const char* genre;
    int track;
    const char* comment;
  };
  const Bytes comm = Frame("COMM", Concat({Text(0, "engdesc"), Bytes{0}, Raw("the comment")}));
  const Bytes commUtf16 = Frame("COMM", Concat({Text(1, "eng"), Utf16(u"d", false, true),
                                                Bytes{0, 0}, Utf16(u"h\u00e9", false, true)}));
  static const std::string a249(249, 'a');
  const Case cases[] = {
      {"Latin-1 texts, track 12/15, genre (17)Rock, comment after its description",
       Concat({Frame("TIT2", Text(0, "Song")), Frame("TPE1", Text(0, " Band ")),
               Frame("TRCK", Text(0, "12/15")), Frame("TCON", Text(0, "(17)Rock")), comm}),
       "Song", "Band", "Rock", 12, "the comment"},
      {"genre without a code, track without a count",
       Concat({Frame("TCON", Text(0, "Rock")), Frame("TRCK", Text(0, "3"))}), "", "", "Rock", 3,
       ""},
      {"a track that is not a number is 0", Frame("TRCK", Text(0, "A1")), "", "", "", 0, ""},
      {"UTF-16 with a little-endian byte order mark",
       Frame("TIT2",
             Concat({Bytes{1}, Utf16(u"T\u00fcne \u65e5\u672c", false, true), Bytes{0, 0}})),
       "T\xC3\xBCne \xE6\x97\xA5\xE6\x9C\xAC", "", "", 0, ""},
      {"UTF-16 with a big-endian byte order mark",
       Frame("TIT2", Concat({Bytes{1}, Utf16(u"\u00c4b", true, true)})),
       "\xC3\x84"
       "b",
       "", "", 0, ""},
      {"UTF-16 big-endian without a mark (encoding 2), a pair beyond the BMP",
       Frame("TPE1", Concat({Bytes{2}, Utf16(u"x\U0001F3B5", true, false)})), "",
       "x\xF0\x9F\x8E\xB5", "", 0, ""},
      {"UTF-8 (encoding 3)", Frame("TIT2", Text(3, "Gr\xC3\xBC\xC3\x9F")), "Gr\xC3\xBC\xC3\x9F", "",
       "", 0, ""},
      {"Windows-1252 bytes in a Latin-1 frame", Frame("TIT2", Text(0, "\x93quoted\x94")),
       "\xE2\x80\x9Cquoted\xE2\x80\x9D", "", "", 0, ""},
      {"a UTF-16 comment", commUtf16, "", "", "", 0, "h\xC3\xA9"},
      {"a frame longer than 250 bytes is cut to 250", Frame("TIT2", Text(0, std::string(400, 'a'))),
       a249.c_str(), "", "", 0, ""},
      {"unknown frames are skipped",
       Concat({Frame("PRIV", Bytes(300, 7)), Frame("TIT2", Text(0, "After"))}), "After", "", "", 0,
       ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Bytes file = Id3v2File(3, c.frames);
    const TID3v2 tag = ReadV2(file);
    EXPECT_TRUE(tag.Exists);
    EXPECT_EQ(tag.VersionID, 3);
    EXPECT_EQ(tag.Size, file.size() - 64);
    EXPECT_EQ(tag.Title, c.title);
    EXPECT_EQ(tag.Artist, c.artist);
    EXPECT_EQ(tag.Genre, c.genre);
    EXPECT_EQ(tag.Track, c.track);
    EXPECT_EQ(tag.Comment, c.comment);
  }
}

TEST(ID3v2, HeaderCases) {
  const Bytes frames = Frame("TIT2", Text(0, "Song"));
  {
    SCOPED_TRACE("version 4: the size is computed, no frame is read");
    const Bytes file = Id3v2File(4, frames);
    const TID3v2 tag = ReadV2(file);
    EXPECT_TRUE(tag.Exists);
    EXPECT_EQ(tag.VersionID, 4);
    EXPECT_EQ(tag.Size, file.size() - 64);
    EXPECT_EQ(tag.Title, "");
  }
  {
    SCOPED_TRACE("a size beyond the file counts as no tag");
    Bytes file = Id3v2File(3, frames);
    file[6] = 0x7F;
    const TID3v2 tag = ReadV2(file);
    EXPECT_TRUE(tag.Exists);
    EXPECT_EQ(tag.Size, 0u);
    EXPECT_EQ(tag.Title, "");
  }
  {
    SCOPED_TRACE("an extended header before the frames");
    const Bytes ext = {0, 0, 0, 6, 0, 0, 0, 0, 0, 0};
    const TID3v2 tag = ReadV2(Id3v2File(3, Concat({ext, frames}), 0x40));
    EXPECT_EQ(tag.Title, "Song");
  }
  {
    SCOPED_TRACE("no tag");
    const TID3v2 tag = ReadV2(Bytes(100, 0xFF));
    EXPECT_FALSE(tag.Exists);
    EXPECT_EQ(tag.Size, 0u);
  }
  {
    SCOPED_TRACE("a frame size beyond the tag: its text runs on, the walk ends");
    Bytes bad = Frame("TPE1", Text(0, "X"));
    bad[4] = 0x7F;
    const TID3v2 tag = ReadV2(Id3v2File(3, Concat({bad, frames})));
    EXPECT_EQ(tag.Artist.substr(0, 1), "X");
    EXPECT_EQ(tag.Title, "");
  }
}

TEST(ID3, EncodesId3v1Fields) {
  EXPECT_EQ(EncodeId3v1Text("Caf\xC3\xA9 \xE2\x82\xAC", 30), "Caf\xE9 \x80");
  // Not every character has a Windows-1252 code: the text stays UTF-8, cut whole.
  EXPECT_EQ(EncodeId3v1Text("ab\xE6\x97\xA5\xE6\x9C\xAC", 6), "ab\xE6\x97\xA5");
  EXPECT_EQ(EncodeId3v1Text(std::string(40, 'x'), 30), std::string(30, 'x'));
}

TEST(ID3, GenreNames) {
  const std::pair<int, const char*> names[] = {
      {0, "Blues"},       {1, "Classic Rock"}, {7, "Hip-Hop"},      {9, "Metal"},
      {17, "Rock"},       {67, "Psychadelic"}, {85, "Bebob"},       {92, "Progessive Rock"},
      {123, "A capella"}, {124, "Euro-House"}, {125, "Dance Hall"}, {126, "Unknown"},
      {255, "Unknown"}};
  for (const auto& [code, name] : names) EXPECT_EQ(GenreName(static_cast<uint8_t>(code)), name);
}

// Tags as lame and ffmpeg write them.
TEST(ID3, ReadsTagsOfLameAndFfmpeg) {
  const CommandLine signal = SoxSignal("{tmp}", 44100, 1, 0.5);
  auto lame = [](std::initializer_list<const char*> tags) {
    CommandLine c = {"lame", "--quiet", "-b", "64"};
    c.insert(c.end(), tags.begin(), tags.end());
    c.insert(c.end(), {"{tmp}", "{out}"});
    return c;
  };
  auto ffmpeg = [](std::initializer_list<const char*> tags) {
    CommandLine c = {"ffmpeg", "-v",   "error",      "-nostdin", "-y", "-i",
                     "{tmp}",  "-c:a", "libmp3lame", "-b:a",     "64k"};
    c.insert(c.end(), tags.begin(), tags.end());
    c.push_back("{out}");
    return c;
  };
  struct Case {
    const char* name;
    CommandLine encode;
    int v2Version;  // 0: no ID3v2 tag
    const char* v2Title;
    const char* v2Artist;
    bool v1;
    const char* v1Title;
    const char* v1Artist;
  };
  const Case cases[] = {
      {"lame ID3v2.3, UTF-16 texts",
       lame({"--id3v2-only", "--tt", "Tune Title", "--ta",
             "S\xC3\xB4me \xC3\x84rtist \xE2\x82\xAC"}),
       3, "Tune Title", "S\xC3\xB4me \xC3\x84rtist \xE2\x82\xAC", false, "", ""},
      {"lame ID3v2.3 beyond Latin-1",
       lame({"--id3v2-only", "--id3v2-utf16", "--tt", "T\xC3\xBCne \xE6\x97\xA5\xE6\x9C\xAC"}), 3,
       "T\xC3\xBCne \xE6\x97\xA5\xE6\x9C\xAC", "", false, "", ""},
      {"lame ID3v1 only, Latin-1",
       lame({"--id3v1-only", "--tt", "Tune Title", "--ta", "S\xC3\xB4me Artist"}), 0, "", "", true,
       "Tune Title", "S\xC3\xB4me Artist"},
      {"ffmpeg ID3v2.3 and ID3v1",
       ffmpeg({"-id3v2_version", "3", "-write_id3v1", "1", "-metadata",
               "title=\xC3\x9Cn\xC3\xAF \xE2\x82\xAC \xE6\x97\xA5", "-metadata", "artist=Plain"}),
       3, "\xC3\x9Cn\xC3\xAF \xE2\x82\xAC \xE6\x97\xA5", "Plain", true, nullptr, "Plain"},
      {"ffmpeg ID3v2.4: no frame is read",
       ffmpeg({"-id3v2_version", "4", "-metadata", "title=Tune Title"}), 4, "", "", false, "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path file = MakeAudio(std::string("tags-") + c.name + ".mp3", {signal, c.encode});
    ASSERT_FALSE(file.empty());
    TSourceStream s = TSourceStream::OpenFile(file);
    TID3v2 v2;
    TID3v1 v1;
    ASSERT_TRUE(v2.ReadTag(s));
    ASSERT_TRUE(v1.ReadTag(s));
    EXPECT_EQ(v2.Exists, c.v2Version != 0);
    EXPECT_EQ(v2.VersionID, c.v2Version);
    EXPECT_EQ(v2.Title, c.v2Title);
    EXPECT_EQ(v2.Artist, c.v2Artist);
    EXPECT_EQ(v1.Exists, c.v1);
    if (c.v1Title) {
      EXPECT_EQ(v1.Title, c.v1Title);
    }
    EXPECT_EQ(v1.Artist, c.v1Artist);
  }
}

}  // namespace
}  // namespace tw::test
