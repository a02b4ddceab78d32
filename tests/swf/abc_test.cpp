// DoABC and its ABC structures against bytes cut out of real movies.
#include "swf/abc.h"

#include "tag_case_table.h"

namespace tw::test {
namespace {
using namespace tw::swf;

// The string a multiname names (QName and Multiname kinds).
std::string NameOf(const TSWFDoABC& abc, uint32_t multiname) {
  const auto& mn = *abc.ConstantPool.Multinames.at(multiname - 1);
  uint32_t name = 0;
  if (const auto* q = dynamic_cast<const TSWFmnQName*>(&mn)) name = q->Name;
  if (const auto* m = dynamic_cast<const TSWFmnMultiname*>(&mn)) name = m->Name;
  return name ? abc.ConstantPool.Strings.at(name - 1) : "*";
}

TEST(DoABC, ReadAndWriteRealBytes) {
  const TagCase<TSWFDoABC> cases[] = {
      {"a class with a Vector.<String> type name",
       "avm2__applicationdomain_getqualifieddefinitionnames__test.swf", 5,
       [](const TSWFDoABC& t) {
         EXPECT_EQ(t.Name, "merged");
         EXPECT_EQ(t.MajorVersion, 46);
         EXPECT_EQ(t.MinorVersion, 16);
         ASSERT_EQ(t.Instances.size(), 4u);
         EXPECT_EQ(t.Classes.size(), 4u);
         EXPECT_EQ(NameOf(t, t.Instances[0].Name), "Test");
         EXPECT_EQ(NameOf(t, t.Instances[0].SuperName), "Object");
         const auto* vector =
             dynamic_cast<const TSWFmnTypeName*>(t.ConstantPool.Multinames.at(7).get());
         ASSERT_NE(vector, nullptr);
         EXPECT_EQ(NameOf(t, vector->QName), "Vector");
         ASSERT_EQ(vector->Params.size(), 1u);
         EXPECT_EQ(NameOf(t, vector->Params[0]), "String");
         EXPECT_EQ(t.Methods.size(), 15u);
         EXPECT_EQ(t.MethodBodies.size(), 15u);
         EXPECT_EQ(t.Scripts.size(), 5u);
       }},
      {"metadata items: all keys, then all values", "avm2__bitmapdata_draw_filters__test.swf", 8,
       [](const TSWFDoABC& t) {
         ASSERT_FALSE(t.Metadata.empty());
         const auto& swf = t.Metadata[0];
         auto str = [&](uint32_t i) { return t.ConstantPool.Strings.at(i - 1); };
         EXPECT_EQ(str(swf.Name), "SWF");
         ASSERT_EQ(swf.Items.size(), 2u);
         EXPECT_EQ(str(swf.Items[0].Key), "width");
         EXPECT_EQ(str(swf.Items[0].Value), "200");
         EXPECT_EQ(str(swf.Items[1].Key), "height");
         EXPECT_EQ(str(swf.Items[1].Value), "100");
       }},
      {"empty int, uint and double pools stored with count 1 keep their count",
       "avm2__scopes_dont_cache__order-2__test.swf", 1,
       [](const TSWFDoABC& t) {
         EXPECT_TRUE(t.ConstantPool.Int.empty());
         EXPECT_TRUE(t.ConstantPool.UInt.empty());
         EXPECT_TRUE(t.ConstantPool.Double.empty());
         EXPECT_EQ(t.ConstantPool.Strings.size(), 7u);
       }},
  };
  CheckTagCases<TSWFDoABC>(cases);

  // Without ParseActions the ABC file stays as its bytes.
  TSWFReadContext raw = CorpusContext(32);
  raw.ParseActions = false;
  const TagCase<TSWFDoABC> rawCases[] = {
      {"kept as bytes", "swfcrate__DefineSound.swf", 6,
       [](const TSWFDoABC& t) {
         EXPECT_TRUE(t.LazyInitializeFlag);
         EXPECT_TRUE(t.Name.empty());
         EXPECT_EQ(t.RawData.size(), 189u - 9);
         EXPECT_TRUE(t.ConstantPool.Strings.empty());
       }},
  };
  CheckTagCases<TSWFDoABC>(rawCases, &raw);
}

// An ABC body: flags 0, empty name, version 46.16, then the given pools and an empty rest.
Bytes AbcBody(std::string_view pools) {
  return Hex("00 00 00 00 00 10 00 2E 00" + std::string(pools) + "00 00 00 00 00");
}

TEST(DoABC, MultinameKinds) {
  struct Case {
    const char* name;
    const char* multiname;  // kind byte and data
    std::function<void(const TSWFBasedMultiNameObject&)> check;
  };
  const Case cases[] = {
      {"a kind of its own is read as one namespace-set index", "20 05",
       [](const TSWFBasedMultiNameObject& m) {
         const auto* l = dynamic_cast<const TSWFmnMultinameL*>(&m);
         ASSERT_NE(l, nullptr);
         EXPECT_EQ(l->Kind, 0x20);
         EXPECT_EQ(l->NSSet, 5u);
       }},
      {"a type name with two parameters", "1D 01 02 03 04",
       [](const TSWFBasedMultiNameObject& m) {
         const auto* t = dynamic_cast<const TSWFmnTypeName*>(&m);
         ASSERT_NE(t, nullptr);
         EXPECT_EQ(t->QName, 1u);
         EXPECT_EQ(t->Params, (TSWFIntegerList{3, 4}));
       }},
      {"a runtime-qualified name without data", "11",
       [](const TSWFBasedMultiNameObject& m) { EXPECT_EQ(m.Kind, 0x11); }},
      {"a multiname", "09 81 01 02",
       [](const TSWFBasedMultiNameObject& m) {
         const auto* n = dynamic_cast<const TSWFmnMultiname*>(&m);
         ASSERT_NE(n, nullptr);
         EXPECT_EQ(n->Name, 129u);
         EXPECT_EQ(n->NSSet, 2u);
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    // int, uint, double, string, namespace, namespace-set pools empty; one multiname
    const Bytes body = AbcBody(std::string("00 00 00 00 00 00 02 ") + c.multiname);
    TSWFReadContext context;
    context.ParseActions = true;
    const auto abc = ReadTag<TSWFDoABC>(body, context);
    ASSERT_EQ(abc->ConstantPool.Multinames.size(), 1u);
    c.check(*abc->ConstantPool.Multinames[0]);
    EXPECT_EQ(ToHex(WriteBody(*abc)), ToHex(body));
  }
}

TEST(DoABC, EmptyPoolsAndNames) {
  TSWFDoABC abc;
  abc.ParseActions = true;
  // flags, the empty name's zero byte, 46.16, seven empty pools, five empty lists
  EXPECT_EQ(ToHex(WriteBody(abc)),
            "00 00 00 00 00 10 00 2E 00 00 00 00 00 00 00 00 00 00 00 00 00");
  abc.ConstantPool.Int = {-1};
  abc.LazyInitializeFlag = true;
  EXPECT_EQ(ToHex(WriteBody(abc)),
            "01 00 00 00 00 10 00 2E 00 02 FF FF FF FF 0F 00 00 00 00 00 00 00 00 00 00 00");
  EXPECT_EQ(abc.MinVersion(), 9);
}

// A movie may store an empty pool with a count of 1 (its implicit entry alone) instead of 0: the
// count is written back as read, by the tag and by its copy, while the pool stays empty.
TEST(DoABC, EmptyPoolsKeepTheCountTheyWereReadWith) {
  TSWFReadContext context;
  context.ParseActions = true;
  const Bytes body = AbcBody("01 00 01 01 00 01 01");
  const auto abc = ReadTag<TSWFDoABC>(body, context);
  EXPECT_TRUE(abc->ConstantPool.Int.empty());
  EXPECT_TRUE(abc->ConstantPool.Multinames.empty());
  EXPECT_EQ(ToHex(WriteBody(*abc)), ToHex(body));
  EXPECT_EQ(ToHex(WriteBody(*CloneTag(*abc))), ToHex(body));
  abc->ConstantPool.UInt = {5};
  EXPECT_EQ(ToHex(WriteBody(*abc)), ToHex(AbcBody("01 02 05 01 01 00 01 01")));
}

TEST(DoABC, BytesAfterTheABCFileKeepTheTagRaw) {
  TSWFReadContext context;
  context.ParseActions = true;
  Bytes body = AbcBody("00 00 00 00 00 00 00");
  body.push_back(0x42);
  EXPECT_THROW(ReadTag<TSWFDoABC>(body, context), ESWFError);
  context.ParseActions = false;
  EXPECT_EQ(WriteBody(*ReadTag<TSWFDoABC>(body, context)), body);
}

TEST(DoABC, CopiesShareNoMultinames) {
  TSWFReadContext context;
  context.ParseActions = true;
  auto abc = ReadTag<TSWFDoABC>(AbcBody("00 00 00 00 00 00 03 1D 01 01 02 07 00 01"), context);
  const Bytes expected = WriteBody(*abc);
  auto copy = CloneTag(*abc);
  abc.reset();
  EXPECT_EQ(ToHex(WriteBody(*copy)), ToHex(expected));
}

}  // namespace
}  // namespace tw::test
