// The builder's action script: the records its operations append, the Push reuse rule and push
// types, branches with markers, the DoAction it writes and the compiler seam.
#include <gtest/gtest.h>

#include "builder/action_script.h"
#include "builder/movie.h"
#include "support/action_testing.h"
#include "support/testing.h"
#include "swf/action_tags.h"
#include "util/files.h"

namespace tw::builder {
namespace {

using namespace tw::swf;
using tw::test::Hex;
using tw::test::ToHex;

// The whole DoAction tag the script writes.
std::string Written(TFlashActionScript& script) {
  TMemoryStream out;
  TBitsEngine be(out);
  script.WriteToStream(be);
  return ToHex(out.Bytes());
}

// The records alone, End code included.
std::string Records(TFlashActionScript& script) { return ToHex(tw::test::WriteList(script.Actions())); }

std::string HexOf(std::string_view text) {
  return ToHex(std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

TEST(ActionScript, ParamsValueAssignmentIsExact) {
  for (const std::string& t : {std::string(), std::string("<ParamsValue></ParamsValue>"), std::string(300, 'x')}) {
    SCOPED_TRACE(t.size());
    TFlashActionScript script(nullptr);
    script.Push({TPushValue(std::string("ParamsValue")), TPushValue(t)}, {0, 0});
    script.SetVariable();
    const size_t length = 15 + t.size();
    std::string body = "96 " + ToHex(std::vector<uint8_t>{static_cast<uint8_t>(length),
                                                           static_cast<uint8_t>(length >> 8)}) +
                       " 00 " + HexOf("ParamsValue") + " 00 00 " + (t.empty() ? "" : HexOf(t) + " ") +
                       "00 1D 00";
    EXPECT_EQ(Records(script), body);
    // The tag header: short up to 62 bytes of body, long beyond.
    const std::string tag = Written(script);
    const size_t bodySize = length + 5;
    if (bodySize <= 62) {
      EXPECT_EQ(tag.substr(0, 5), ToHex(std::vector<uint8_t>{static_cast<uint8_t>(12 * 64 + bodySize), 3}));
    } else {
      EXPECT_EQ(tag.substr(0, 5), "3F 03");
    }
    EXPECT_EQ(tag.substr(tag.size() - body.size()), body);
  }
}

TEST(ActionScript, ConsecutivePushesShareOneRecord) {
  TFlashActionScript merged(nullptr);
  merged.Push({TPushValue(std::string("a"))}, {0});
  merged.Push({TPushValue(int64_t{1})}, {7});
  merged.SetVariable();
  EXPECT_EQ(tw::test::Shape(merged.Actions()), "96 1D");
  EXPECT_EQ(Records(merged), "96 08 00 00 61 00 07 01 00 00 00 1D 00");

  TFlashActionScript apart(nullptr);
  apart.Push({TPushValue(std::string("a"))}, {0});
  apart.SetVariable();
  apart.Push({TPushValue(std::string("b"))}, {0});
  apart.SetVariable();
  EXPECT_EQ(tw::test::Shape(apart.Actions()), "96 1D 96 1D");

  // A branch target between two pushes keeps them apart.
  TFlashActionScript target(nullptr);
  target.Push({TPushValue(std::string("a"))}, {0});
  target.AddMarker();
  target.Push({TPushValue(std::string("b"))}, {0});
  EXPECT_EQ(tw::test::Shape(target.Actions()), "96 M 96");
}

TEST(ActionScript, PushTypes) {
  struct Case {
    const char* name;
    TPushValue value;
    uint8_t type;
    const char* entry;
  };
  const Case cases[] = {
      {"integer", int64_t{60}, kPushInteger, "07 3C 00 00 00"},
      {"boolean", true, kPushBoolean, "05 01"},
      {"string", std::string("Yes"), kPushString, "00 59 65 73 00"},
      {"an integer as a string", int64_t{60}, kPushString, "00 36 30 00"},
      {"FlashVar_null keeps its chosen type", std::string("FlashVar_null"), kPushKeepType, "02"},
      {"FlashVar_null forced to a string is shortened", std::string("FlashVar_null"), kPushString,
       "00 6E 75 6C 6C 00"},
      {"FlashVar_undefined keeps its type", std::string("FlashVar_undefined"), kPushKeepType, "03"},
      {"double", 0.5, kPushKeepType, "06 00 00 E0 3F 00 00 00 00"},
      {"register", int64_t{3}, kPushRegister, "04 03"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TFlashActionScript script(nullptr);
    const TPushValue values[] = {c.value};
    const uint8_t types[] = {c.type};
    TSWFActionPush& push = script.Push(values, types);
    EXPECT_EQ(&push, &script.Action(0));
    const std::string records = Records(script);
    EXPECT_EQ(records.substr(9, records.size() - 12), c.entry);
  }
}

TEST(ActionScript, MissingTypesKeepTheChosenType) {
  TFlashActionScript script(nullptr);
  const TPushValue values[] = {int64_t{1}, std::string("x")};
  const uint8_t types[] = {kPushString};
  script.Push(values, types);
  EXPECT_EQ(Records(script), "96 06 00 00 31 00 00 78 00 00");
}

TEST(ActionScript, PushConstantWidth) {
  TFlashActionScript script(nullptr);
  script.PushConstant(255);
  script.PushConstant(256);
  const uint16_t more[] = {0, 0x1234};
  script.PushConstants(more);
  EXPECT_EQ(Records(script), "96 0A 00 08 FF 09 00 01 08 00 09 34 12 00");
}

TEST(ActionScript, RecordsWithoutFields) {
  using Op = void (TFlashActionScript::*)();
  struct Case {
    const char* name;
    Op op;
    uint8_t code;
  };
  const Case cases[] = {
      {"Add", &TFlashActionScript::Add, 0x0A},
      {"Add2", &TFlashActionScript::Add2, 0x47},
      {"Subtract", &TFlashActionScript::Subtract, 0x0B},
      {"Multiply", &TFlashActionScript::Multiply, 0x0C},
      {"Divide", &TFlashActionScript::Divide, 0x0D},
      {"Modulo", &TFlashActionScript::Modulo, 0x3F},
      {"Increment", &TFlashActionScript::Increment, 0x50},
      {"Decrement", &TFlashActionScript::Decrement, 0x51},
      {"Equals", &TFlashActionScript::Equals, 0x0E},
      {"Equals2", &TFlashActionScript::Equals2, 0x49},
      {"StrictEquals", &TFlashActionScript::StrictEquals, 0x66},
      {"Less", &TFlashActionScript::Less, 0x0F},
      {"Less2", &TFlashActionScript::Less2, 0x48},
      {"Greater", &TFlashActionScript::Greater, 0x67},
      {"And", &TFlashActionScript::And, 0x10},
      {"Or", &TFlashActionScript::Or, 0x11},
      {"Not", &TFlashActionScript::Not, 0x12},
      {"BitAnd", &TFlashActionScript::BitAnd, 0x60},
      {"BitOr", &TFlashActionScript::BitOr, 0x61},
      {"BitXor", &TFlashActionScript::BitXor, 0x62},
      {"BitLShift", &TFlashActionScript::BitLShift, 0x63},
      {"BitRShift", &TFlashActionScript::BitRShift, 0x64},
      {"BitURShift", &TFlashActionScript::BitURShift, 0x65},
      {"StringAdd", &TFlashActionScript::StringAdd, 0x21},
      {"StringEquals", &TFlashActionScript::StringEquals, 0x13},
      {"StringExtract", &TFlashActionScript::StringExtract, 0x15},
      {"StringLength", &TFlashActionScript::StringLength, 0x14},
      {"StringLess", &TFlashActionScript::StringLess, 0x29},
      {"StringGreater", &TFlashActionScript::StringGreater, 0x68},
      {"MBStringLength", &TFlashActionScript::MBStringLength, 0x31},
      {"MBStringExtract", &TFlashActionScript::MBStringExtract, 0x35},
      {"MBCharToAscii", &TFlashActionScript::MBCharToAscii, 0x36},
      {"MBAsciiToChar", &TFlashActionScript::MBAsciiToChar, 0x37},
      {"CharToAscii", &TFlashActionScript::CharToAscii, 0x32},
      {"AsciiToChar", &TFlashActionScript::AsciiToChar, 0x33},
      {"ToInteger", &TFlashActionScript::ToInteger, 0x18},
      {"ToNumber", &TFlashActionScript::ToNumber, 0x4A},
      {"ToString", &TFlashActionScript::ToString, 0x4B},
      {"TypeOf", &TFlashActionScript::TypeOf, 0x44},
      {"CastOp", &TFlashActionScript::CastOp, 0x2B},
      {"InstanceOf", &TFlashActionScript::InstanceOf, 0x54},
      {"ImplementsOp", &TFlashActionScript::ImplementsOp, 0x2C},
      {"Extends", &TFlashActionScript::Extends, 0x69},
      {"GetVariable", &TFlashActionScript::GetVariable, 0x1C},
      {"SetVariable", &TFlashActionScript::SetVariable, 0x1D},
      {"DefineLocal", &TFlashActionScript::DefineLocal, 0x3C},
      {"DefineLocal2", &TFlashActionScript::DefineLocal2, 0x41},
      {"Delete", &TFlashActionScript::Delete, 0x3A},
      {"Delete2", &TFlashActionScript::Delete2, 0x3B},
      {"GetMember", &TFlashActionScript::GetMember, 0x4E},
      {"SetMember", &TFlashActionScript::SetMember, 0x4F},
      {"GetProperty", &TFlashActionScript::GetProperty, 0x22},
      {"SetProperty", &TFlashActionScript::SetProperty, 0x23},
      {"TargetPath", &TFlashActionScript::TargetPath, 0x45},
      {"CallFunction", &TFlashActionScript::CallFunction, 0x3D},
      {"CallMethod", &TFlashActionScript::CallMethod, 0x52},
      {"NewObject", &TFlashActionScript::NewObject, 0x40},
      {"NewMethod", &TFlashActionScript::NewMethod, 0x53},
      {"InitArray", &TFlashActionScript::InitArray, 0x42},
      {"InitObject", &TFlashActionScript::InitObject, 0x43},
      {"Return", &TFlashActionScript::Return, 0x3E},
      {"Enumerate", &TFlashActionScript::Enumerate, 0x46},
      {"Enumerate2", &TFlashActionScript::Enumerate2, 0x55},
      {"Pop", &TFlashActionScript::Pop, 0x17},
      {"PushDuplicate", &TFlashActionScript::PushDuplicate, 0x4C},
      {"StackSwap", &TFlashActionScript::StackSwap, 0x4D},
      {"NextFrame", &TFlashActionScript::NextFrame, 0x04},
      {"PreviousFrame", &TFlashActionScript::PreviousFrame, 0x05},
      {"Play", &TFlashActionScript::Play, 0x06},
      {"Stop", &TFlashActionScript::Stop, 0x07},
      {"StopSounds", &TFlashActionScript::StopSounds, 0x09},
      {"ToggleQuality", &TFlashActionScript::ToggleQuality, 0x08},
      {"Call", &TFlashActionScript::Call, 0x9E},
      {"SetTarget2", &TFlashActionScript::SetTarget2, 0x20},
      {"CloneSprite", &TFlashActionScript::CloneSprite, 0x24},
      {"RemoveSprite", &TFlashActionScript::RemoveSprite, 0x25},
      {"StartDrag", &TFlashActionScript::StartDrag, 0x27},
      {"EndDrag", &TFlashActionScript::EndDrag, 0x28},
      {"GetTime", &TFlashActionScript::GetTime, 0x34},
      {"RandomNumber", &TFlashActionScript::RandomNumber, 0x30},
      {"Trace", &TFlashActionScript::Trace, 0x26},
      {"FSCommand2", &TFlashActionScript::FSCommand2, 0x2D},
      {"Throw", &TFlashActionScript::Throw, 0x2A},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TFlashActionScript script(nullptr);
    (script.*c.op)();
    ASSERT_EQ(script.Actions().Count(), 1u);
    EXPECT_EQ(script.Action(0).ActionCode, c.code);
    EXPECT_STREQ(ActionCodeName(c.code), c.name);
  }
}

// The compiler names records without fields by their code; each code must reach the append
// operation of that very record (a wrong case would compile and write another record).
TEST(ActionScript, CompilerOperationsAppendTheRecordOfTheirCode) {
  size_t operations = 0;
  for (int code = 0; code < 256; ++code) {
    SCOPED_TRACE(code);
    TFlashActionScript script(nullptr);
    try {
      script.Simple(static_cast<asc::TOp>(code));
    } catch (const std::logic_error&) {
      EXPECT_EQ(script.Actions().Count(), 0u);
      continue;
    }
    ++operations;
    ASSERT_EQ(script.Actions().Count(), 1u);
    EXPECT_EQ(script.Action(0).ActionCode, code);
    // One byte, or the Call record's empty body.
    const tw::test::Bytes record = code < 0x80 ? tw::test::Bytes{static_cast<uint8_t>(code)}
                                               : Hex("9E 00 00");
    EXPECT_EQ(Records(script), ToHex(record) + " 00");
  }
  EXPECT_EQ(operations, 73u);  // every operation the compiler has (CastOp, ImplementsOp, Extends from 7)
}

TEST(ActionScript, RecordsWithFields) {
  struct Case {
    const char* name;
    std::function<void(TFlashActionScript&)> append;
    std::string records;
  };
  const Case cases[] = {
      {"GotoFrame", [](auto& s) { s.GotoFrame(0x0102); }, "81 02 00 02 01"},
      {"GotoFrame2 with a scene bias", [](auto& s) { s.GotoFrame2(1, 5); }, "9F 03 00 03 05 00"},
      {"GotoFrame2 without", [](auto& s) { s.GotoFrame2(0, 0); }, "9F 01 00 00"},
      {"GetURL", [](auto& s) { s.GetURL("a", ""); }, "83 03 00 61 00 00"},
      {"FSCommand", [](auto& s) { s.FSCommand("quit", "x"); },
       "83 11 00 " + HexOf("FSCommand:quit") + " 00 78 00"},
      {"GetURL2", [](auto& s) { s.GetURL2(1, 1, 2); }, "9A 01 00 C2"},
      {"WaitForFrame", [](auto& s) { s.WaitForFrame(4, 2); }, "8A 03 00 04 00 02"},
      {"WaitForFrame2", [](auto& s) { s.WaitForFrame2(3); }, "8D 01 00 03"},
      {"StoreRegister", [](auto& s) { s.StoreRegister(2); }, "87 01 00 02"},
      {"GoToLabel", [](auto& s) { s.GoToLabel("go"); }, "8C 03 00 67 6F 00"},
      {"SetTarget", [](auto& s) { s.SetTarget("/m"); }, "8B 03 00 2F 6D 00"},
      {"ConstantPool", [](auto& s) { s.ConstantPool({"a", "bc"}); }, "88 07 00 02 00 61 00 62 63 00"},
      {"ByteCode", [](auto& s) { s.ByteCode("07 06"); }, "07 06"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TFlashActionScript script(nullptr);
    c.append(script);
    EXPECT_EQ(Records(script), c.records + " 00");
  }
}

// A loop and a forward branch linked with markers, as the compiler links them:
//   i = 0; do { i++ } while (i < 3); if (i) stop;
TEST(ActionScript, BranchesWithMarkers) {
  TFlashActionScript s(nullptr);
  s.Push({TPushValue(std::string("i")), TPushValue(int64_t{0})}, {0, 7});
  s.SetVariable();
  TSWFOffsetMarker& top = s.AddMarker();  // a target before its branch
  s.Push({TPushValue(std::string("i")), TPushValue(std::string("i"))}, {0, 0});
  s.GetVariable();
  s.Increment();
  s.SetVariable();
  s.Push({TPushValue(std::string("i"))}, {0});
  s.GetVariable();
  s.Push({TPushValue(int64_t{3})}, {7});
  s.Less2();
  s.If().SetMarker(&top);
  s.Push({TPushValue(std::string("i"))}, {0});
  s.GetVariable();
  s.Not();
  TSWFActionIf& skip = s.If();
  s.Stop();
  s.AddMarker(skip);  // a target after its branch
  EXPECT_EQ(tw::test::Shape(s.Actions()),
            "96 1D M 96 1C 50 1D 96 1C 96 48 9D 96 1C 12 9D 07 M");
  const std::string records = Records(s);
  // The loop's If jumps back over 33 bytes (DF FF); the forward If skips the one-byte Stop.
  EXPECT_NE(records.find("48 9D 02 00 DF FF"), std::string::npos) << records;
  EXPECT_NE(records.find("12 9D 02 00 01 00 07 00"), std::string::npos) << records;
  // Read back, the branches land where the markers were.
  auto back = tw::test::ReadList(tw::test::WriteList(s.Actions()));
  EXPECT_EQ(tw::test::Shape(*back), "96 1D M 96 1C 50 1D 96 1C 96 48 9D 96 1C 12 9D 07 M");
  // A marker placed twice is refused.
  EXPECT_THROW(s.AddMarker(skip), ESWFError);
}

TEST(ActionScript, FunctionsWithMarkers) {
  TFlashActionScript s(nullptr);
  const std::string params[] = {"a", "b"};
  auto& f = s.DefineFunction("add", params);
  s.Push({TPushValue(std::string("a"))}, {0});
  s.GetVariable();
  s.Push({TPushValue(std::string("b"))}, {0});
  s.GetVariable();
  s.Add2();
  s.Return();
  s.AddMarker(f);
  EXPECT_EQ(Records(s),
            "9B 0C 00 61 64 64 00 02 00 61 00 62 00 10 00 "
            "96 03 00 00 61 00 1C 96 03 00 00 62 00 1C 47 3E 00");
  TFlashActionScript s2(nullptr);
  auto& f2 = s2.DefineFunction2("f", params, 4);
  s2.Return();
  s2.AddMarker(f2);
  EXPECT_EQ(f2.Params.size(), 2u);
  EXPECT_EQ(f2.Params[1].Register, 0);
  EXPECT_EQ(Records(s2), "8E 0F 00 66 00 02 00 04 00 00 00 61 00 00 62 00 01 00 3E 00");
  EXPECT_EQ(s2.MinVersion(), 7);
}

TEST(ActionScript, EmptyScriptWritesEndOnly) {
  TFlashActionScript script(nullptr);
  EXPECT_EQ(Written(script), "01 03 00");
  EXPECT_EQ(script.MinVersion(), 1);
  script.Stop();
  EXPECT_EQ(script.MinVersion(), 3);
  script.Push({TPushValue(std::string("x"))}, {0});
  EXPECT_EQ(script.MinVersion(), 4);
}

TEST(ActionScript, ListsOwnedOrLent) {
  TSWFActionList lent;
  {
    TFlashActionScript script(nullptr, &lent);
    EXPECT_FALSE(script.OwnsActions());
    script.Play();
  }
  ASSERT_EQ(lent.Count(), 1u);  // the list outlives the script that filled it

  TFlashActionScript own(nullptr);
  EXPECT_TRUE(own.OwnsActions());
  own.Stop();
  TSWFActionList other;
  own.SetActions(other);
  EXPECT_FALSE(own.OwnsActions());
  own.Play();
  EXPECT_EQ(tw::test::Shape(other), "06");
}

TEST(ActionScript, AssignCopiesRecordsAndBranches) {
  TFlashActionScript source(nullptr);
  TSWFOffsetMarker& top = source.AddMarker();
  source.Play();
  source.Jump().SetMarker(&top);
  TFlashActionScript copy(nullptr);
  copy.Stop();
  copy.Assign(source);
  EXPECT_EQ(tw::test::Shape(copy.Actions()), "M 06 99");
  EXPECT_EQ(Records(copy), Records(source));
  EXPECT_NE(&copy.Action(0), &source.Action(0));
  // The copy's branch refers to the copy's marker.
  EXPECT_EQ(static_cast<TSWFActionJump&>(copy.Action(2)).FindMarker(), &copy.Action(0));
}

void WriteText(const std::filesystem::path& path, std::string_view text) {
  tw::WriteWholeFile(path, {reinterpret_cast<const uint8_t*>(text.data()), text.size()});
}

// A compiler stand-in: appends a record per line and fails on a line "error".
class LineCompiler : public TCompileContext {
 public:
  int Calls = 0;
  std::string LastName;
  void Compile(std::string_view source, std::string_view sourceName,
               TFlashActionScript& target) override {
    ++Calls;
    LastName = sourceName;
    size_t start = 0;
    while (start < source.size()) {
      size_t end = source.find('\n', start);
      if (end == std::string_view::npos) end = source.size();
      const std::string_view line = source.substr(start, end - start);
      if (line == "stop") target.Stop();
      else if (line == "play") target.Play();
      else if (line == "crash") throw 42;
      else throw std::runtime_error("Syntax error: " + std::string(line));
      start = end + 1;
    }
  }
  void Compile(std::span<const TScriptSource> sources, TFlashActionScript& target) override {
    for (const auto& source : sources) Compile(source.Text, source.Name, target);
  }
  void SetClassPath(std::vector<std::filesystem::path>) override {}
};

TEST(ActionScript, CompileScriptThroughTheMoviesContext) {
  TFlashMovie movie(0, 0, 100, 100, 12, TSystemCoord::Pix);
  auto compiler = std::make_unique<LineCompiler>();
  LineCompiler& c = *compiler;
  movie.SetCompileContext(std::move(compiler));
  TFlashActionScript& script = movie.FrameActions();
  EXPECT_TRUE(script.CompileScript(std::string_view("stop\nplay")));
  EXPECT_EQ(tw::test::Shape(script.Actions()), "07 06");
  EXPECT_EQ(movie.ErrorText(), "");

  // An error keeps what was appended and reaches the ErrorStream without separators.
  EXPECT_FALSE(script.CompileScript(std::string_view("stop\nfoo(")));
  EXPECT_FALSE(script.CompileScript(std::string_view("bar")));
  EXPECT_EQ(tw::test::Shape(script.Actions()), "07 06 07");
  EXPECT_EQ(movie.ErrorText(), "Syntax error: foo(Syntax error: bar");
  // What is not an exception of the usual kind passes to the caller.
  EXPECT_THROW(script.CompileScript(std::string_view("crash")), int);
  EXPECT_EQ(c.Calls, 4);

  // A stream is read from its start.
  TMemoryStream stream(std::vector<uint8_t>{'p', 'l', 'a', 'y'});
  stream.SetPosition(4);
  EXPECT_TRUE(script.CompileScript(stream));
  EXPECT_EQ(tw::test::Shape(script.Actions()), "07 06 07 06");

  tw::test::TempDir dir;
  EXPECT_THROW(script.CompileScriptFile(dir / "missing.as"), std::runtime_error);
  // A script from a file names the file; one from text or a stream names none.
  EXPECT_EQ(c.LastName, "");
  WriteText(dir / "ok.as", "stop");
  EXPECT_TRUE(script.CompileScriptFile(dir / "ok.as"));
  EXPECT_EQ(c.LastName, (dir / "ok.as").string());
}

// The movie's own context is the project's compiler: a script compiles for the movie's version
// into the records a player runs, and an error lands in ErrorStream with its place.
TEST(ActionScript, CompileScriptWithTheCompiler) {
  TFlashMovie movie(0, 0, 100, 100, 12, TSystemCoord::Pix);
  movie.SetVersion(7);
  TFlashActionScript& script = movie.FrameActions();
  script.Stop();
  ASSERT_TRUE(script.CompileScript(std::string_view("var n = 2;\nif (n > 1) trace('two');")));
  EXPECT_EQ(movie.ErrorText(), "");
  // Stop, the pool, push "n" 2, DefineLocal, push "n", GetVariable, push 1, Greater, Not, If,
  // push "two", Trace, the If's target.
  EXPECT_EQ(tw::test::Shape(script.Actions()), "07 88 96 3C 96 1C 96 67 12 9D 96 26 M");
  EXPECT_EQ(tw::test::ToHex(tw::test::WriteList(script.Actions())),
            "07 88 08 00 02 00 6E 00 74 77 6F 00 96 07 00 08 00 07 02 00 00 00 3C 96 02 00 08 "
            "00 1C 96 05 00 07 01 00 00 00 67 12 9D 02 00 06 00 96 02 00 08 01 26 00");

  // A syntax error: false, nothing appended, the message with line and column.
  EXPECT_FALSE(script.CompileScript(std::string_view("trace(1);\n  var = 3;")));
  EXPECT_EQ(tw::test::Shape(script.Actions()), "07 88 96 3C 96 1C 96 67 12 9D 96 26 M");
  EXPECT_EQ(movie.ErrorText().rfind("line 2, column 7: ", 0), 0u) << movie.ErrorText();

  // From a file the message starts with the file's name; messages follow each other.
  tw::test::TempDir dir;
  WriteText(dir / "skin.as", "while (true) {\n  break;\n}\ncontinue;\n");
  const std::string before = movie.ErrorText();
  EXPECT_FALSE(script.CompileScriptFile(dir / "skin.as"));
  EXPECT_EQ(movie.ErrorText().substr(0, before.size()), before);
  EXPECT_EQ(movie.ErrorText().substr(before.size()).rfind((dir / "skin.as").string() + ":4:1: ", 0),
            0u)
      << movie.ErrorText();

  // The movie's version decides what a script may use: try needs version 7.
  TFlashMovie six(0, 0, 100, 100, 12, TSystemCoord::Pix);
  six.SetVersion(6);
  EXPECT_FALSE(six.FrameActions().CompileScript(std::string_view("try { f(); } catch (e) {}")));
  EXPECT_NE(six.ErrorText().find("version 6"), std::string::npos) << six.ErrorText();

  TFlashActionScript orphan(nullptr);
  EXPECT_THROW(orphan.CompileScript(std::string_view("stop();")), ESWFError);
}

// A compiled movie built and read back: the DoAction holds the compiled records, and the movie
// keeps the version it was compiled for.
TEST(ActionScript, CompiledScriptInABuiltMovie) {
  TFlashMovie movie(0, 0, 100, 100, 12, TSystemCoord::Pix);
  movie.SetVersion(8);
  ASSERT_TRUE(movie.FrameActions().CompileScript(
      std::string_view("function f(a) { return a * 2; }\ntrace(f(21));")))
      << movie.ErrorText();
  const tw::test::Bytes compiled = tw::test::WriteList(movie.FrameActions().Actions());
  movie.ShowFrame();
  movie.BuildBody();
  EXPECT_EQ(movie.Version(), 8);
  TMemoryStream file;
  movie.SaveToStream(file);
  TSWFStreamReader reader(file.Bytes());
  reader.ParseTags(true, true);
  ASSERT_GE(reader.TagList.size(), 1u);
  auto* tag = dynamic_cast<TSWFDoAction*>(reader.TagList[0]->TagObject());
  ASSERT_NE(tag, nullptr);
  EXPECT_EQ(tw::test::WriteList(tag->Actions()), compiled);
  EXPECT_NE(tw::test::Shape(tag->Actions()).find("8E"), std::string::npos);  // DefineFunction2
}

// The script is written as a DoAction that the reader reads back record for record.
TEST(ActionScript, WrittenDoActionReadsBack) {
  TFlashMovie movie(0, 0, 100, 100, 12, TSystemCoord::Twips);
  TFlashActionScript& script = movie.FrameActions();
  script.ConstantPool({"trace me"});
  script.PushConstant(0);
  script.Trace();
  movie.ShowFrame();
  movie.BuildBody();
  TMemoryStream file;
  movie.SaveToStream(file);
  TSWFStreamReader reader(file.Bytes());
  reader.ParseTags(true, true);
  ASSERT_EQ(reader.TagList.size(), 3u);
  auto* tag = dynamic_cast<TSWFDoAction*>(reader.TagList[0]->TagObject());
  ASSERT_NE(tag, nullptr);
  EXPECT_EQ(tw::test::Shape(tag->Actions()), "88 96 26");
  EXPECT_EQ(tw::test::WriteList(tag->Actions()), tw::test::WriteList(script.Actions()));
}

}  // namespace
}  // namespace tw::builder
