// Control tags and the tag protocol: exact bytes, versions, copies.
#include "support/testing.h"
#include "swf/control_tags.h"
#include "swf/md5.h"

namespace tw::test {
namespace {
using namespace tw::swf;

// A whole tag (header and body) and the minimum version its object reports.
struct WholeTagCase {
  const char* name;
  std::function<std::unique_ptr<TSWFObject>()> make;
  const char* bytes;
  int minVersion;
};

std::unique_ptr<TSWFObject> Raw(uint16_t code, size_t size) {
  auto t = std::make_unique<TSWFByteCodeTag>();
  t->RawTagID = code;
  t->Data.assign(size, 0xAB);
  return t;
}

TEST(ControlTags, WriteExactBytes) {
  const WholeTagCase cases[] = {
      {"End ignores BodySize", [] { auto t = std::make_unique<TSWFEnd>(); t->BodySize = 9; return t; },
       "00 00", 1},
      {"ShowFrame", [] { return std::make_unique<TSWFShowFrame>(); }, "40 00", 1},
      {"red background",
       [] { auto t = std::make_unique<TSWFSetBackgroundColor>(); t->Color.SetRGB({255, 0, 0}); return t; },
       "43 02 FF 00 00", 1},
      {"anchor label",
       [] { auto t = std::make_unique<TSWFFrameLabel>("ab"); t->isAnchor = true; return t; },
       "C4 0A 61 62 00 01", 6},
      {"plain label", [] { return std::make_unique<TSWFFrameLabel>("ab"); }, "C3 0A 61 62 00", 3},
      {"empty Protect", [] { return std::make_unique<TSWFProtect>(); }, "00 06", 2},
      {"Protect with a hash",
       [] { auto t = std::make_unique<TSWFProtect>(); t->Hash = "$1$ab$x"; return t; },
       "0A 06 00 00 24 31 24 61 62 24 78 00", 5},
      {"EnableDebugger2 is version 6", [] { return std::make_unique<TSWFEnableDebugger2>(); }, "00 10", 6},
      {"export two names",
       [] {
         auto t = std::make_unique<TSWFExportAssets>();
         t->AddAsset("a", 1);
         t->AddAsset("bc", 0x102);
         return t;
       },
       "0B 0E 02 00 01 00 61 00 02 01 62 63 00", 5},
      {"ImportAssets2 writes 01 00 after the URL",
       [] {
         auto t = std::make_unique<TSWFImportAssets2>();
         t->URL = "u";
         t->AddAsset("a", 7);
         return t;
       },
       "CA 11 75 00 01 00 01 00 07 00 61 00", 5},
      {"ScriptLimits",
       [] { auto t = std::make_unique<TSWFScriptLimits>(); t->MaxRecursionDepth = 256; t->ScriptTimeoutSeconds = 15; return t; },
       "44 10 00 01 0F 00", 7},
      {"SetTabIndex",
       [] { auto t = std::make_unique<TSWFSetTabIndex>(); t->Depth = 3; t->TabIndex = 2; return t; },
       "84 10 03 00 02 00", 7},
      {"FileAttributes keeps metadata and ActionScript 3 apart",
       [] { auto t = std::make_unique<TSWFFileAttributes>(); t->HasMetadata = t->ActionScript3 = t->UseNetwork = true; return t; },
       "44 11 19 00 00 00", 8},
      {"Metadata is written as UTF-8",
       [] { auto t = std::make_unique<TSWFMetadata>(); t->Value = "\xE9"; return t; },
       "43 13 C3 A9 00", 8},
      {"DefineScalingGrid",
       [] { auto t = std::make_unique<TSWFDefineScalingGrid>(); t->ID = 5; return t; },
       "83 13 05 00 00", 8},
      {"scenes and labels",
       [] {
         auto t = std::make_unique<TSWFDefineSceneAndFrameLabelData>();
         t->Scenes.push_back({0, "S"});
         t->Labels.push_back({200, "L"});
         return t;
       },
       "89 15 01 00 53 00 01 C8 01 4C 00", 9},
      {"DefineBinaryData",
       [] { auto t = std::make_unique<TSWFDefineBinaryData>(); t->ID = 2; t->Data = {9, 8}; return t; },
       "C8 15 02 00 00 00 00 00 09 08", 1},
      {"ProductInfo",
       [] {
         auto t = std::make_unique<TSWFProductInfo>();
         t->ProductId = 3; t->Edition = 6; t->MajorVersion = 9; t->MinorVersion = 0;
         t->BuildNumberLow = 0x1234;
         return t;
       },
       "5A 0A 03 00 00 00 06 00 00 00 09 00 34 12 00 00 00 00 00 00 00 00 00 00 00 00 00 00", 9},
      {"DefineBitsLossless is always long", [] { return Raw(20, 10); },
       "3F 05 0A 00 00 00 AB AB AB AB AB AB AB AB AB AB", 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto tag = c.make();
    EXPECT_EQ(ToHex(WriteWhole(*tag)), ToHex(Hex(c.bytes)));
    EXPECT_EQ(tag->MinVersion(), c.minVersion);
  }
}

TEST(ControlTags, HeaderLengthRule) {
  for (size_t size : {62u, 63u, 0u}) {
    SCOPED_TRACE(size);
    auto tag = Raw(12, size);
    const Bytes whole = WriteWhole(*tag);
    const bool isLong = size > 62;
    ASSERT_EQ(whole.size(), size + (isLong ? 6 : 2));
    EXPECT_EQ(whole[0] & 0x3F, isLong ? 63u : size);
    EXPECT_EQ(tag->BodySize, static_cast<int32_t>(size));
  }
  // The helper for bytes at hand has no exception for SoundStreamBlock.
  TMemoryStream s;
  const Bytes body(3, 1);
  WriteTagFromStream(s, 19, body);
  EXPECT_EQ(ToHex(s.Bytes()), "C3 04 01 01 01");
  TMemoryStream t;
  WriteTagFromStream(t, 36, body);
  EXPECT_EQ(t.Size(), 9u);
}

TEST(ControlTags, ReadWhatTheyWrite) {
  const std::pair<const char*, const char*> bodies[] = {
      {"FrameLabel", "61 62 00 01"},
      {"ExportAssets", "02 00 01 00 61 00 02 01 62 63 00"},
      {"ImportAssets2", "75 00 01 00 01 00 07 00 61 00"},
      {"FileAttributes", "59 00 00 00"},
      {"SceneAndFrameLabelData", "01 00 53 00 01 C8 01 4C 00"},
      {"ProductInfo", "03 00 00 00 06 00 00 00 09 00 34 12 00 00 00 00 00 00 01 02 03 04 05 06 07 08"},
  };
  auto check = [](auto tag, const Bytes& body) {
    EXPECT_EQ(ToHex(WriteBody(*tag)), ToHex(body));
  };
  for (const auto& [name, hex] : bodies) {
    SCOPED_TRACE(name);
    const Bytes body = Hex(hex);
    const std::string n = name;
    if (n == "FrameLabel") {
      auto t = ReadTag<TSWFFrameLabel>(body);
      EXPECT_EQ(t->Name, "ab");
      EXPECT_TRUE(t->isAnchor);
      check(std::move(t), body);
    } else if (n == "ExportAssets") {
      auto t = ReadTag<TSWFExportAssets>(body);
      EXPECT_EQ(t->Assets, (std::vector<TSWFAsset>{{"a", 1}, {"bc", 0x102}}));
      check(std::move(t), body);
    } else if (n == "ImportAssets2") {
      auto t = ReadTag<TSWFImportAssets2>(body);
      EXPECT_EQ(t->URL, "u");
      check(std::move(t), body);
    } else if (n == "FileAttributes") {
      auto t = ReadTag<TSWFFileAttributes>(body);
      EXPECT_TRUE(t->HasMetadata);
      EXPECT_TRUE(t->ActionScript3);
      EXPECT_TRUE(t->UseDirectBlit);
      check(std::move(t), body);
    } else if (n == "SceneAndFrameLabelData") {
      auto t = ReadTag<TSWFDefineSceneAndFrameLabelData>(body);
      EXPECT_EQ(t->Labels.at(0).Frame, 200u);
      check(std::move(t), body);
    } else if (n == "ProductInfo") {
      auto t = ReadTag<TSWFProductInfo>(body);
      EXPECT_EQ(t->MajorVersion, 9);
      EXPECT_EQ(t->Date[7], 8);
      check(std::move(t), body);
    }
  }
}

TEST(ControlTags, ExportAssetsAddAssetReplacesAnExistingName) {
  TSWFExportAssets e;
  e.AddAsset("song", 4);
  e.AddAsset("song", 9);
  ASSERT_EQ(e.Assets.size(), 1u);
  EXPECT_EQ(e.Assets[0].ID, 9);
}

TEST(ControlTags, ExportCountBeyondTheBodyFails) {
  EXPECT_THROW(ReadTag<TSWFExportAssets>(Hex("FF FF 01 00 61 00")), ESWFError);
}

TEST(ControlTags, ProtectHashIsMD5Crypt) {
  // The same values `openssl passwd -1 -salt SALT PASSWORD` prints.
  EXPECT_EQ(MD5Crypt("secret", "ab"), "$1$ab$dslkcXxVH.x8LwW1W/oAB/");
  EXPECT_EQ(MD5Crypt("p\xC3\xA4ssword", "xY"), "$1$xY$3lyVyg0jxgfV.idtFRqqS1");
  EXPECT_EQ(MD5Crypt("", "12345678"), "$1$12345678$xek.CpjQUVgdf/P2N9KQf/");

  TSWFProtect p;
  p.Password = "secret";
  // Draws 'a' (index 38) and 'b' (39) from the salt alphabet.
  int draws = 0;
  p.SaltSource = [&draws] { return static_cast<uint32_t>(38 + draws++); };
  const Bytes body = WriteBody(p);
  EXPECT_EQ(p.Hash, "$1$ab$dslkcXxVH.x8LwW1W/oAB/");
  EXPECT_EQ(body.size(), 2 + p.Hash.size() + 1);
  auto read = ReadTag<TSWFProtect>(body);
  EXPECT_EQ(read->Hash, p.Hash);
  EXPECT_TRUE(read->Password.empty());
}

TEST(ControlTags, AssignCopiesDeeply) {
  TSWFDefineBinaryData source;
  source.ID = 3;
  source.Data = {1, 2, 3};
  auto copy = CloneTag(source);
  source.Data[0] = 99;
  auto& c = dynamic_cast<TSWFDefineBinaryData&>(*copy);
  EXPECT_EQ(c.Data, (std::vector<uint8_t>{1, 2, 3}));
  EXPECT_EQ(c.ID, 3);

  TSWFByteCodeTag raw;
  raw.RawTagID = 3;
  raw.Data = {7};
  auto rawCopy = CloneTag(raw);
  EXPECT_EQ(ToHex(WriteWhole(*rawCopy)), "C1 00 07") << "the copy keeps the raw code";
  EXPECT_EQ(ToHex(WriteWhole(*rawCopy)), "C1 00 07") << "and can be written again";
  EXPECT_EQ(rawCopy->TagID, kByteCodeTagID);
}

// Bits and bytes a tag reserves are written back as the movie had them, not as zero (or one):
// a copy keeps the encoding of what it did not change.
TEST(ControlTags, ReservedBitsAreKeptAsRead) {
  struct Row {
    const char* name;
    uint16_t code;
    const char* body;
  };
  const Row rows[] = {
      // URL "a", the reserved bytes (1 and 0 by the book), one asset: id 1, name "b"
      {"ImportAssets2", 71, "61 00  03 05  01 00  01 00 62 00"},
      // flags: lazy and reserved bits; name "x"; ABC 16.46; the ABC file kept raw
      {"DoABC", 82, "03 00 00 80  78 00  10 00 2E 00  AA BB"},
      // text 1; flash type 1, grid fit 2 and the reserved bits 5; thickness 1, sharpness 2;
      // the reserved byte
      {"CSMTextSettings", 74, "01 00  55  00 00 80 3F  00 00 00 40  07"},
      // id 1, 2 frames, 16 x 8; reserved bits, deblocking 2, smoothing; H.263
      {"DefineVideoStream", 60, "01 00  02 00  10 00  08 00  F5  02"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    auto tag = CreateTagObject(row.code);
    ASSERT_NE(tag, nullptr);
    const Bytes body = Hex(row.body);
    TSWFReadContext context;
    context.Version = 10;
    tag->BodySize = static_cast<int32_t>(body.size());
    tag->SetReadContext(context);
    TMemoryStream view = TMemoryStream::View(body);
    TBitsEngine be(view);
    tag->ReadFromStream(be);
    EXPECT_EQ(ToHex(WriteBody(*tag, WriteContextOf(context))), ToHex(body));
    EXPECT_EQ(ToHex(WriteBody(*CloneTag(*tag), WriteContextOf(context))), ToHex(body));
  }
}

TEST(ControlTags, FactoryKnowsItsClasses) {
  for (uint16_t code : {0, 1, 9, 24, 39, 41, 43, 56, 57, 58, 64, 65, 66, 69, 71, 76, 77, 78, 86, 87}) {
    SCOPED_TRACE(code);
    auto tag = CreateTagObject(code);
    EXPECT_EQ(tag->TagID, code);
    EXPECT_EQ(dynamic_cast<TSWFByteCodeTag*>(tag.get()), nullptr);
  }
  auto unknown = CreateTagObject(3);
  auto* raw = dynamic_cast<TSWFByteCodeTag*>(unknown.get());
  ASSERT_NE(raw, nullptr);
  EXPECT_EQ(raw->RawTagID, 3);
  EXPECT_EQ(raw->Text, "Uniknow tag");
}

}  // namespace
}  // namespace tw::test
