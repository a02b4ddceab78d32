// Classes and interfaces found through the class path: the records that define them for each
// player version, where they go, what type annotations leave behind, and the errors in class
// files with their own names and positions.
#include <fstream>

#include "asc/asc_support.h"
#include "builder/movie.h"
#include "builder/sprite.h"
#include "support/action_testing.h"
#include "swf/action_disasm.h"

namespace tw::test {
namespace {
namespace fs = std::filesystem;

void WriteText(const fs::path& path, std::string_view text) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << text;
}

// A class path of small classes: a.Base, a.Derived extends it and implements I.
class ClassPath {
 public:
  ClassPath() {
    WriteText(FDir / "I.as", "interface I { function f():Number; }\n");
    WriteText(FDir / "a" / "Base.as",
              "class a.Base {\n  var n:Number = 1;\n  static var made:Number = 0;\n"
              "  function Base() { made++; }\n  function f():Number { return n; }\n}\n");
    WriteText(FDir / "a" / "Derived.as",
              "class a.Derived extends Base implements I {\n"
              "  function get twice():Number { return f() * 2; }\n}\n");
  }
  const fs::path& Dir() const { return FDir.path(); }
  fs::path operator/(std::string_view name) const { return FDir / name; }

 private:
  TempDir FDir;
};

struct TCompiled {
  std::string Script, Classes;  // disassembled
};

TCompiled Compile(const fs::path& classPath, std::string_view source, int version,
                  bool separateClasses = false) {
  swf::TSWFActionList script, classes;
  asc::TActionListEmitter scriptEmitter(script), classEmitter(classes);
  asc::TCompileOptions options;
  options.Version = version;
  options.SourceName = "main.as";
  options.ClassPath = {classPath};
  if (separateClasses) options.ClassTarget = [&]() -> asc::TEmitter& { return classEmitter; };
  asc::CompileScript(source, scriptEmitter, options);
  return {swf::DisassembleActions(script), swf::DisassembleActions(classes)};
}

bool Has(const std::string& text, std::string_view what) {
  return text.find(what) != std::string::npos;
}

// From Flash Player 7 the chain and the interfaces are records of their own; for 6 the chain is
// set up by hand and interfaces leave nothing. Every version hides the prototype's members and
// makes the get method a property.
TEST(Classes, DefineTheChainAsEachVersionCan) {
  const ClassPath path;
  const struct {
    int Version;
    bool Records;
  } cases[] = {{6, false}, {7, true}, {8, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Version);
    const std::string text = Compile(path.Dir(), "var d = new a.Derived();\n", c.Version).Script;
    EXPECT_EQ(Has(text, "Extends"), c.Records);
    EXPECT_EQ(Has(text, "ImplementsOp"), c.Records);
    EXPECT_EQ(Has(text, "\"__constructor__\""), !c.Records);
    EXPECT_EQ(Has(text, "\"__proto__\""), !c.Records);
    EXPECT_TRUE(Has(text, "\"ASSetPropFlags\""));
    EXPECT_TRUE(Has(text, "\"__get__twice\""));
    EXPECT_TRUE(Has(text, "\"addProperty\""));
    // The base class is defined before the class that extends it, the interface before the
    // class that implements it.
    const std::string code = text.substr(text.find('\n'));  // after the constant pool
    EXPECT_LT(code.find("\"Base\""), code.find("\"I\""));
    EXPECT_LT(code.find("\"I\""), code.find("\"Derived\""));
  }
}

TEST(Classes, GoToTheirOwnTargetBeforeTheScriptWhenGivenOne) {
  const ClassPath path;
  const TCompiled together = Compile(path.Dir(), "trace(new a.Base().f());\n", 8);
  const TCompiled apart = Compile(path.Dir(), "trace(new a.Base().f());\n", 8, true);
  EXPECT_TRUE(Has(together.Script, "ASSetPropFlags"));
  EXPECT_TRUE(Has(apart.Classes, "ASSetPropFlags"));
  EXPECT_FALSE(Has(apart.Script, "ASSetPropFlags"));
  EXPECT_TRUE(Has(apart.Script, "NewMethod"));
  // A script naming no class asks for no target.
  const TCompiled none = Compile(path.Dir(), "trace(1);\n", 8, true);
  EXPECT_EQ(none.Classes, "");
}

// The movie builder puts them into the initialisation actions of a sprite, written before the
// frame whose script named them.
TEST(Classes, GoIntoASpritesInitialisationActionsInAMovie) {
  const ClassPath path;
  builder::TFlashMovie movie(0, 0, 100, 100, 12, swf::TSystemCoord::Pix);
  movie.SetVersion(8);
  movie.CompileContext().SetClassPath({path.Dir()});
  ASSERT_TRUE(movie.FrameActions().CompileScript("var d = new a.Derived();\n")) << movie.ErrorText();
  const builder::TFlashSprite* holder = nullptr;
  for (const auto& object : movie.ObjectList)
    if (const auto* s = dynamic_cast<const builder::TFlashSprite*>(object.get()); s && s->HasInitActions())
      holder = s;
  ASSERT_NE(holder, nullptr);
  const std::string text =
      swf::DisassembleActions(const_cast<builder::TFlashSprite*>(holder)->InitActions().Actions());
  EXPECT_TRUE(Has(text, "Extends"));
}

// Annotations are checked, then forgotten: the records are those of the same script without
// them (a class named only in an annotation is still defined).
TEST(Classes, TypeAnnotationsLeaveNoTrace) {
  const ClassPath path;
  const char* annotated =
      "var x:Number = 1, s:String;\n"
      "function f(a:Number, b:Object):Void { var r:Array = [a, b]; for (var k:String in r) trace(k); }\n"
      "var m:MovieClip = _root;\n";
  const char* plain =
      "var x = 1, s;\n"
      "function f(a, b) { var r = [a, b]; for (var k in r) trace(k); }\n"
      "var m = _root;\n";
  EXPECT_TRUE(Has(Compile(path.Dir(), "import a.*;\nvar d:Derived;\n", 8).Script, "Extends"));
  for (int version : {6, 8}) {
    SCOPED_TRACE(version);
    EXPECT_EQ(Compile(path.Dir(), annotated, version).Script, Compile(path.Dir(), plain, version).Script);
  }
}

TEST(Classes, ReportErrorsInTheFileWhereTheyStand) {
  const ClassPath path;
  const std::string dir = path.Dir().string() + "/";
  WriteText(path / "b" / "Wrong.as", "class b.Other {}\n");
  WriteText(path / "b" / "Broken.as", "class b.Broken {\n  function f() {\n    return = 1;\n  }\n}\n");
  WriteText(path / "b" / "Loop1.as", "class b.Loop1 extends Loop2 {}\n");
  WriteText(path / "b" / "Loop2.as", "class b.Loop2 extends Loop1 {}\n");
  WriteText(path / "b" / "OnI.as", "class b.OnI extends I {}\n");
  WriteText(path / "b" / "Lost.as", "class b.Lost extends Nowhere {}\n");
  WriteText(path / "b" / "Two.as", "class b.Two {}\nvar x = 1;\n");
  WriteText(path / "b" / "Typed.as", "class b.Typed {\n  var t:Nothing;\n}\n");
  const struct {
    std::string Source;
    int Version;
    std::string Text;
  } cases[] = {
      {"var x:Nothing = 1;", 8,
       "main.as:1:7: the type \"Nothing\" is neither a class of the player nor one found in the class path"},
      {"var w = new b.Wrong();", 8, dir + "b/Wrong.as:1:7: the file of \"b.Wrong\" defines \"b.Other\" instead"},
      {"b.Broken.f();", 8, dir + "b/Broken.as:3:12: expected an expression but found '='"},
      {"var l = new b.Loop1();", 8, dir + "b/Loop2.as:1:23: \"b.Loop1\" would extend itself through this name"},
      {"var o = new b.OnI();", 8, dir + "b/OnI.as:1:21: \"I\" is an interface: a class implements it"},
      {"var o = new b.Lost();", 8, dir + "b/Lost.as:1:22: the class \"Nowhere\" is not found in the class path"},
      {"var o = new b.Two();", 8, dir + "b/Two.as:2:1: a class file holds one class or interface and nothing after it"},
      {"var o:b.Typed;", 8, dir + "b/Typed.as:2:9: the type \"Nothing\" is neither a class of the player nor one found in the class path"},
      {"var d = new a.Derived();", 5, dir + "a/Base.as:1:1: a class needs Flash Player 6 or later"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Source);
    try {
      Compile(path.Dir(), c.Source, c.Version);
      ADD_FAILURE() << "compiled";
    } catch (const asc::ECompileError& e) {
      EXPECT_EQ(std::string(e.what()).substr(0, c.Text.size()), c.Text);
    }
  }
}

}  // namespace
}  // namespace tw::test
