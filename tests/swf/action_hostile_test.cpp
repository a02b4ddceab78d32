// Bad action lists: every one is read without failing, keeps what it cannot decode as raw
// bytes and is written back as it was (plus the End code when it had none).
#include <random>

#include "support/action_testing.h"
#include "swf/action_disasm.h"
#include "swf/action_functions.h"
#include "swf/action_tags.h"

namespace tw::test {
namespace {
using namespace tw::swf;

struct HostileCase {
  const char* name;
  const char* bytes;
  const char* shape;
  const char* written;  // null: the bytes and the End code
};

TEST(ActionHostile, BadListsAreReadWithoutFailingAndWrittenBack) {
  const HostileCase cases[] = {
      {"an unknown code below 0x80", "16 07", "[16] 07", nullptr},
      {"an unknown code of 0x80 and above keeps its body", "A0 02 00 01 02 07", "[A0 02 00 01 02] 07", nullptr},
      {"the in-memory codes 254 and 255 are unknown in a file", "FE 00 00 FF 01 00 07",
       "[FE 00 00] [FF 01 00 07]", nullptr},
      {"a length that runs past the list", "07 96 10 00 00 41 00", "07 [96 10 00 00 41]", "07 96 10 00 00 41 00"},
      {"a length field cut by the end", "07 96 05", "07 [96 05]", nullptr},
      {"a code byte alone at the end", "07 96", "07 [96]", nullptr},
      {"a ConstantPool count larger than its body", "88 06 00 03 00 61 00 62 00 07",
       "[88 06 00 03 00 61 00 62 00] 07", nullptr},
      {"a ConstantPool count smaller than its strings", "88 06 00 01 00 61 00 62 00",
       "[88 06 00 01 00 61 00 62 00]", nullptr},
      {"a ConstantPool of 65535 strings in one byte", "88 03 00 FF FF 00", "[88 03 00 FF FF 00]", nullptr},
      {"a DefineFunction with more parameters than its body", "9B 06 00 00 05 00 61 00 00",
       "[9B 06 00 00 05 00 61 00 00]", nullptr},
      {"a DefineFunction2 with more parameters than its body", "8E 09 00 00 02 00 00 00 00 01 61 00",
       "[8E 09 00 00 02 00 00 00 00 01 61 00]", nullptr},
      {"a Push of an unknown type", "96 02 00 0A 00 07", "[96 02 00 0A 00] 07", nullptr},
      {"a Push string without its end", "96 02 00 00 61", "[96 02 00 00 61]", nullptr},
      {"a Push integer cut short", "96 03 00 07 01 02", "[96 03 00 07 01 02]", nullptr},
      {"a record longer than its fields", "81 04 00 05 00 07 07", "[81 04 00 05 00 07 07]", nullptr},
      {"a Call with a body", "9E 01 00 07", "[9E 01 00 07]", nullptr},
      {"reserved bits set in GetURL2", "9A 01 00 04", "[9A 01 00 04]", nullptr},
      {"a GetUrl whose URL is not UTF-8", "83 03 00 E9 00 00", "[83 03 00 E9 00 00]", nullptr},
      {"an End code inside the list", "07 00 06", "07 [00] 06", nullptr},
      {"End codes as padding", "07 00 00 00", "07 [00] [00]", "07 00 00 00"},
      {"an empty list", "", "", nullptr},
      {"a DefineFunction whose code size runs past the list", "9B 05 00 00 00 00 10 00 07", "9B 07", nullptr},
      {"a With block past the list", "94 02 00 09 00 07", "94 07", nullptr},
      {"a Try whose blocks run past the list", "8F 09 00 03 05 00 05 00 05 00 65 00 07", "8F 07", nullptr},
      {"a backward jump before the list", "07 99 02 00 00 80", "07 99", nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Bytes bytes = Hex(c.bytes);
    std::unique_ptr<TSWFActionList> list;
    ASSERT_NO_THROW(list = ReadList(bytes));
    EXPECT_EQ(Shape(*list), c.shape);
    Bytes expected = c.written ? Hex(c.written) : bytes;
    if (!c.written) expected.push_back(0);
    EXPECT_EQ(ToHex(WriteList(*list)), ToHex(expected));
    EXPECT_NO_THROW(DisassembleActions(*list));
  }
}

TEST(ActionHostile, BranchesWithoutTargetsKeepTheirNumbersAndSayWhy) {
  auto list = ReadList(Hex("9B 05 00 00 00 00 10 00 07"));
  const auto& f = dynamic_cast<const TSWFActionDefineFunction&>(list->Action(0));
  EXPECT_EQ(f.CodeSize(), 16);
  EXPECT_TRUE(f.StaticOffset);
  ASSERT_NE(f.FindMarker(), nullptr);
  EXPECT_EQ(f.FindMarker()->Label, "Error Size offset: 16");
  // Linked to markers, such a branch still writes its own number.
  LinkBranchesToMarkers(*list);
  EXPECT_EQ(WriteList(*list), Hex("9B 05 00 00 00 00 10 00 07 00"));
}

// Action tags of real movies, damaged at random (seeded): reading never fails, every byte read is
// written back (followed by an End code when the damage took it away), and the listing always
// comes out.
TEST(ActionHostile, DamagedCorpusListsNeverFail) {
  const char* movies[] = {"avm1__try_catch_finally__test.swf", "avm1__add2__test.swf",
                          "avm1__define_function2_preload_order__test.swf"};
  std::mt19937 random(20240611);
  size_t cases = 0;
  for (const char* movie : movies) {
    SCOPED_TRACE(movie);
    TSWFStreamReader reader(CorpusFile("swf", movie));
    reader.ParseTags(false, false);
    const auto body = reader.BodyStream().Bytes();
    for (const auto& info : reader.TagList) {
      if (info->TagCode != 12) continue;
      const size_t start = info->TagOffset + (info->LongHeader ? 6 : 2);
      const Bytes original(body.begin() + static_cast<ptrdiff_t>(start),
                           body.begin() + static_cast<ptrdiff_t>(start + info->TagLength));
      for (int round = 0; round < 200; ++round) {
        Bytes damaged = original;
        const int edits = 1 + static_cast<int>(random() % 4);
        for (int e = 0; e < edits && !damaged.empty(); ++e) {
          const size_t at = random() % damaged.size();
          switch (random() % 4) {
            case 0: damaged[at] = static_cast<uint8_t>(random()); break;
            case 1: damaged[at] ^= static_cast<uint8_t>(1u << (random() % 8)); break;
            case 2: damaged.erase(damaged.begin() + static_cast<ptrdiff_t>(at)); break;
            default: damaged.resize(at); break;
          }
        }
        ++cases;
        std::unique_ptr<TSWFActionList> list;
        ASSERT_NO_THROW(list = ReadList(damaged)) << ToHex(damaged);
        const Bytes written = WriteList(*list);
        Bytes withEnd = damaged;
        withEnd.push_back(0);
        ASSERT_TRUE(written == damaged || written == withEnd) << ToHex(damaged);
        ASSERT_NO_THROW(DisassembleActions(*list));
        ASSERT_NO_THROW(ReadList(written));
        // The same bytes as a tag, raw and decoded.
        for (bool parse : {false, true}) {
          TSWFReadContext context;
          context.ParseActions = parse;
          auto tag = ReadTag<TSWFDoAction>(damaged, context);
          auto copy = CloneTag(*tag);
          EXPECT_EQ(WriteBody(*copy), WriteBody(*tag));
        }
      }
    }
  }
  EXPECT_GT(cases, 500u);
}

}  // namespace
}  // namespace tw::test
