// The whole compiler: errors with their file and position, versions, registers, the limits of
// the records, hostile input, and how compile time grows.
#include <algorithm>
#include <random>

#include "asc/asc_support.h"
#include "builder/action_script.h"
#include "support/action_testing.h"
#include "swf/action_functions.h"
#include "swf/action_push.h"

namespace tw::test {
namespace {

std::string Repeat(std::string_view s, size_t n) {
  std::string out;
  out.reserve(s.size() * n);
  for (size_t i = 0; i < n; ++i) out += s;
  return out;
}

struct TErrorCase {
  std::string Source;
  int Version;
  std::string Text;  // what() of the error
};

TEST(Compile, ReportsErrorsWithFileLineAndColumn) {
  const TErrorCase cases[] = {
      {"trace(\"one);", 8, "test.as:1:7: unterminated string: the closing \" is missing on this line"},
      {"a = 1;\n/* never closed", 8, "test.as:2:1: unterminated comment: '/*' without '*/'"},
      {"if (a) {\n  b();\n", 8, "test.as:1:8: '{' is never closed: the file ends before its '}'"},
      {"b();\n}}", 8, "test.as:2:1: unexpected '}': there is no '{' to close"},
      {"x = 1;\n  break;", 8, "test.as:2:3: 'break' outside a loop or switch"},
      {"\"s\" = 2;", 8, "test.as:1:1: cannot assign to a literal (the target of '=')"},
      {"x = " + Repeat("(", 10000) + "1" + Repeat(")", 10000), 8,
       "test.as:1:403: nesting too deep: brackets, blocks, operators and member accesses nest "
       "more than 400 levels here"},
      {"try { a(); } catch (e) {}", 6,
       "test.as:1:1: 'try' needs Flash Player 7 or later; the script is compiled for version 6"},
      {"function f() {\n  throw 1;\n}", 6,
       "test.as:2:3: 'throw' needs Flash Player 7 or later; the script is compiled for version 6"},
      {"x = a === b;", 5,
       "test.as:1:7: '===' needs Flash Player 6 or later; the script is compiled for version 5"},
      {"x = a instanceof B;", 5,
       "test.as:1:7: 'instanceof' needs Flash Player 6 or later; the script is compiled for version 5"},
      {"for (k in f()) ;", 5,
       "test.as:1:12: for..in over anything but a variable needs Flash Player 6 or later"},
      {"x = 1;", 4, "test.as:1:1: compiled ActionScript needs Flash Player 5 or later; the movie is version 4"},
      {"trace();", 8, "test.as:1:6: trace takes 1 argument, not 0"},
      {"x = substring('a', 1);", 8, "test.as:1:14: substring takes 3 arguments, not 2"},
      {"getURL('a', '_self', 'PUT');", 8,
       "test.as:1:22: the method must be the string \"GET\" or \"POST\""},
      {"gotoAndStop(0);", 8, "test.as:1:13: a frame number is a whole number from 1 to 65536"},
      {"x = getProperty(mc, _size);", 8,
       "test.as:1:21: the second argument must name a movie clip property such as _x or _alpha"},
      {"ifFrameLoaded(\"Scene 2\", 5) play();", 8, "test.as:1:1: ifFrameLoaded(scene, frame) names a scene, and a movie compiled from source has none: give the frame alone"},
      {"ifFrameLoaded(0) play();", 8, "test.as:1:15: a frame number is a whole number from 1 to 65536"},
      {"nextScene();", 8, "test.as:1:10: nextScene() goes to another scene, and a movie compiled from source has one scene only"},
      {"if (a)\n  prevScene();", 8, "test.as:2:12: prevScene() goes to another scene, and a movie compiled from source has one scene only"},
      {"gotoAndPlay(\"Scene 2\", 1);", 8,
       "test.as:1:12: gotoAndPlay(scene, frame) names a scene, and a movie compiled from source has none: give the frame alone"},
      {"x = 1;\non (press) {\n  play();\n}", 8,
       "test.as:2:1: 'on(...)' handlers belong to buttons and clips (an <action> of the skin), not to a frame script"},
      {"onClipEvent (load) { x = 1; }", 8,
       "test.as:1:1: 'onClipEvent(...)' handlers belong to buttons and clips (an <action> of the skin), not to a frame script"},
      {"print(mc, \"page\");", 8, "test.as:1:11: the bounding box must be the string \"bmovie\", \"bmax\" or \"bframe\""},
      {"function f() {\n  super.g();\n}", 5, "test.as:2:3: 'super' needs Flash Player 6 or later; the script is compiled for version 5"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Source.substr(0, 40));
    auto error = CompileError(c.Source, c.Version);
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(std::string(error->what()), c.Text);
  }
  // The record holds the count of records it skips in a byte.
  std::string longBody = "ifFrameLoaded(2) {";
  for (int i = 0; i < 256; ++i) longBody += " play();";
  auto tooLong = CompileError(longBody + " }", 8);
  ASSERT_TRUE(tooLong);
  EXPECT_STREQ(tooLong->what(), "test.as:1:1: the body of ifFrameLoaded compiles to 256 actions, and at most "
                                "255 can be skipped: move it into a function");
  EXPECT_FALSE(CompileError(longBody.substr(0, longBody.size() - 8) + " }", 8));
  // Without a file name the position is given in words.
  auto error = CompileError("x = ;", 8, "");
  ASSERT_TRUE(error);
  EXPECT_STREQ(error->what(), "line 1, column 5: expected an expression but found ';'");
}

// Sources compiled together keep their own names, lines and columns in the errors of every
// stage: the lexer, the parser, the scope pass, the code generator and the length checks.
TEST(Compile, ErrorsOfSourcesCompiledTogetherNameTheirOwnFile) {
  const std::string longBranch =
      "if (x) {\n" + Repeat("trace('a long enough line of text' + i);\n", 4000) + "}";
  const struct {
    std::string Second;
    uint32_t FirstLine, FirstColumn;  // where the second source starts in its file
    int Version;
    std::string Text;
  } cases[] = {
      {"y = 2;\ntrace(\"open);", 1, 1, 8, "b.as:2:7: unterminated string: the closing \" is missing on this line"},
      {"y = 2;\n\n  y = ;", 1, 1, 8, "b.as:3:7: expected an expression but found ';'"},
      {"\nbreak;", 1, 1, 8, "b.as:2:1: 'break' outside a loop or switch"},
      {"\n x = a === b;", 1, 1, 5, "b.as:2:8: '===' needs Flash Player 6 or later; the script is compiled for version 5"},
      {"trace(1);\n" + longBranch, 1, 1, 8, "b.as:2:1: this branch spans "},
      // A piece of a larger file counts from where it starts there; the first line from its
      // column, the next ones from column 1.
      {"y = ;", 7, 12, 8, "b.as:7:16: expected an expression but found ';'"},
      {"\n y = ;", 7, 12, 8, "b.as:8:6: expected an expression but found ';'"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Text);
    const std::string first = "var a = 1;\nfunction f() { return a; }\n";
    const asc::TSourceFile files[] = {{"a.as", first}, {"b.as", c.Second, c.FirstLine, c.FirstColumn},
                                      {"c.as", "trace(f());\n"}};
    builder::TFlashActionScript script(nullptr);
    asc::TCompileOptions options;
    options.Version = c.Version;
    try {
      asc::CompileScript(files, script, options);
      ADD_FAILURE() << "compiled";
    } catch (const asc::ECompileError& e) {
      EXPECT_EQ(std::string(e.what()).substr(0, c.Text.size()), c.Text);
      EXPECT_EQ(e.SourceName(), "b.as");
    }
  }
}

// Code too long for the length fields of its records is found after generation, at the source
// of the record.
TEST(Compile, ReportsCodeTooLongForItsRecords) {
  const std::string body = Repeat("trace('a long enough line of text' + i);\n", 4000);
  struct TCase {
    std::string Source;
    std::string Text;
  };
  const TCase cases[] = {
      {"x = 1;\nif (x) {\n" + body + "}", "test.as:2:1: this branch spans "},
      {"function f() {\n" + Repeat(body, 2) + "}", "test.as:1:1: the function's body is "},
      {"with (o) {\n" + Repeat(body, 2) + "}", "test.as:1:1: the with block is "},
  };
  for (const auto& c : cases) {
    auto error = CompileError(c.Source, 8);
    ASSERT_TRUE(error.has_value());
    EXPECT_TRUE(std::string(error->what()).starts_with(c.Text)) << error->what();
  }
}

// A script of every construct: no record is newer than the version it is compiled for, and the
// list is written and read back unchanged.
TEST(Compile, UsesOnlyRecordsOfTheTargetVersion) {
  const std::string common = R"(
    var a = [1, 2, {k: "v"}], o = {x: 1};
    function F(n) { this.n = n; }
    F.prototype.get = function () { return this.n; };
    var f = new F(3);
    function g(p, q) {
      var s = 0, t;
      for (var i = 0; i < p; i++) { if (i % 2) continue; s += i; }
      for (var k in o) t = k;
      do { s--; } while (s > 10 || s <= -5);
      switch (q) { case 1: s++; break; default: s--; }
      with (o) { s += x; }
      o.x++; o["y"] = s; a[0] += 1; a[g2()] -= s;
      return s > 0 && typeof s == "number" ? s : -s;
    }
    function g2() { return arguments.length + _root._x; }
    trace(g(5, 1) + f.get() + chr(65) + getTimer());
  )";
  const std::string v6 = common + "trace(f instanceof F); trace(1 === 1);";
  const std::string v7 = v6 + "function h() { try { if (g2()) throw 'x'; } catch (e) { return e; } finally { trace(1); } }";
  struct TCase {
    int Version;
    const std::string* Source;
  };
  const TCase cases[] = {{5, &common}, {6, &v6}, {7, &v7}, {8, &v7}, {10, &v7}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Version);
    auto list = CompileToList(*c.Source, c.Version);
    int highest = 0;
    for (const auto& r : *list) highest = std::max(highest, r->MinVersion());
    EXPECT_LE(highest, c.Version);
    const Bytes bytes = WriteList(*list);
    EXPECT_EQ(WriteList(*ReadList(bytes)), bytes);
  }
}

// Empty blocks put the ends of a Try record's blocks at one offset; read back, they must still
// lie in block order, or the list cannot be written again.
TEST(Compile, EmptyTryBlocksReadBackInOrder) {
  for (const char* source : {"try { throw 1; } catch (e) { }", "try { } catch (e) { }",
                             "try { } finally { }", "try { trace(1); } catch (e) { } finally { }"}) {
    SCOPED_TRACE(source);
    auto list = CompileToList(source, 7);
    const Bytes bytes = WriteList(*list);
    auto back = ReadList(bytes);
    swf::LinkBranchesToMarkers(*back);  // written from its markers, not its read offsets
    EXPECT_EQ(WriteList(*back), bytes);
  }
}

// The registers of every DefineFunction2 function: parameters in registers of their own after
// the preloaded ones, and nothing written into a parameter's or a preloaded register or past the
// register count, however many temporaries the code needs.
TEST(Compile, KeepsRegistersApart) {
  const std::string source = R"(
    function f(a, b, c) {
      var o = {}, p = [];
      o[a + "x"] += p[b] -= o[c()] *= 2;
      p[a()] = o[b()] = p[c()] = 1;
      for (var i = 0; i < 3; i++) { try { if (i) break; } finally { if (i) continue; } }
      var g = function (x, y) { o[x] += y[this.k] += arguments.length; };
      return this.z + _root._x + _global.q + _parent._y + o.n++ + ++p[a];
    }
    function h(q) {
      for (var i = 0; i < 3; i++) { try { with (q) { if (i) break; } } finally { if (i) continue; } }
    }
  )";
  auto list = CompileToList(source, 8);
  size_t functions = 0;
  for (size_t i = 0; i < list->Count(); ++i) {
    if ((*list)[i].ActionCode != 0x8E) continue;
    ++functions;
    const auto& fn = static_cast<const swf::TSWFActionDefineFunction2&>((*list)[i]);
    const int preloaded = fn.PreloadThis + fn.PreloadArguments + fn.PreloadSuper + fn.PreloadRoot +
                          fn.PreloadParent + fn.PreloadGlobal;
    std::vector<int> params;
    for (const auto& p : fn.Params) {
      if (p.Register == 0) continue;  // a parameter in a variable
      EXPECT_GT(p.Register, preloaded);
      EXPECT_LT(p.Register, fn.RegisterCount);
      params.push_back(p.Register);
    }
    std::sort(params.begin(), params.end());
    EXPECT_EQ(std::adjacent_find(params.begin(), params.end()), params.end());
    // The body: up to the function's marker, without inner functions.
    const swf::TSWFOffsetMarker* end = fn.FindMarker();
    std::vector<const swf::TSWFOffsetMarker*> inner;  // ends of the inner functions open here
    for (size_t j = i + 1; j < list->Count() && &(*list)[j] != end; ++j) {
      const swf::TSWFAction& r = (*list)[j];
      if (r.ActionCode == 0x8E || r.ActionCode == 0x9B) {
        inner.push_back(swf::AsBranch(r)->FindMarker());
        continue;
      }
      if (!inner.empty() && &r == inner.back()) inner.pop_back();
      if (!inner.empty()) continue;
      if (r.ActionCode == 0x87) {
        const int reg = static_cast<const swf::TSWFActionStoreRegister&>(r).RegisterNumber;
        EXPECT_GT(reg, preloaded) << "record " << j;
        EXPECT_LT(reg, fn.RegisterCount) << "record " << j;
        EXPECT_FALSE(std::binary_search(params.begin(), params.end(), reg)) << "record " << j;
      }
      if (r.ActionCode != 0x96) continue;
      for (const auto& v : static_cast<const swf::TSWFActionPush&>(r).Values) {
        if (v.ValueType == swf::kPushRegister) {
          EXPECT_LT(swf::PushValueToInteger(v.Value), fn.RegisterCount) << "record " << j;
        }
      }
    }
  }
  EXPECT_EQ(functions, 3u);
}

// Hostile input ends in an error at a position, never in a crash or a hang.
TEST(Compile, SurvivesHostileInput) {
  std::mt19937 random(20240611);
  std::string noise(5 << 20, '\0');
  for (char& c : noise) c = static_cast<char>(random());
  std::string printable(5 << 20, ' ');
  const std::string_view alphabet = "(){}[];:.,'\"/*+-=<>!?&|^~%0123456789abcdefxyz \n\t\\";
  for (char& c : printable) c = alphabet[random() % alphabet.size()];
  const std::string cases[] = {
      noise,
      printable,
      Repeat("trace(1);\n", 500000) + "trace(\"unterminated);",
      "/*" + Repeat("x", 5 << 20),
      "x = '" + Repeat("y", 5 << 20),
      Repeat("{", 5 << 20),
      Repeat("x = [", 1 << 20),
      Repeat("a.", 1 << 20),
      Repeat("if (a) ", 1 << 20),
  };
  for (const auto& source : cases) {
    SCOPED_TRACE(source.substr(0, 30));
    auto error = CompileError(source, 8);
    ASSERT_TRUE(error.has_value());
    EXPECT_GE(error->Pos().Line, 1u);
    EXPECT_GE(error->Pos().Column, 1u);
  }
  // The same size of ordinary code compiles.
  EXPECT_FALSE(CompileError(Repeat("trace(1);\n", 500000), 8).has_value());
}

// Nesting just inside the limit compiles through every stage.
TEST(Compile, CompilesDeepButAllowedNesting) {
  const std::string cases[] = {
      "x = " + Repeat("(", 390) + "1" + Repeat(")", 390) + ";",
      "x = 1" + Repeat(" + 1", 390) + ";",
      Repeat("if (a) { ", 190) + "b();" + Repeat(" }", 190),
      Repeat("f(", 190) + "1" + Repeat(")", 190) + ";",
  };
  for (const auto& source : cases) {
    SCOPED_TRACE(source.substr(0, 30));
    EXPECT_FALSE(CompileError(source, 8).has_value());
  }
}

}  // namespace
}  // namespace tw::test
