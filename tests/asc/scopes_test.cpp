// Scopes: what every name refers to, which locals get registers, where jumps go.
#include <cmath>

#include "asc/parser.h"
#include "asc/scopes.h"
#include "support/testing.h"

namespace tw::test {
namespace {

using namespace asc;

struct TResolved {
  TProgram Program;
  // The function statements of the program and of every function, by name.
  const TFunctionScope& Function(const std::string& name) const {
    for (const TFunction* fn : Program.Scope->Declarations)
      if (fn->Name == name) return *fn->Scope;
    throw std::runtime_error("no function " + name);
  }
};

TResolved Resolve(std::string_view source, int version = 8) {
  TResolved r{ParseProgram(source, "t.as")};
  ResolveScopes(r.Program, version, {"t.as"});
  return r;
}

// name:register for every binding, in declaration order.
std::string Registers(const TFunctionScope& s) {
  std::string out;
  for (const auto& b : s.Bindings) out += (out.empty() ? "" : " ") + b->Name + ":" + std::to_string(b->Register);
  return out;
}

TEST(Scopes, GivesUncapturedLocalsRegistersAfterThePreloadedValues) {
  const auto r = Resolve(
      "function f(a, b) { var c = a + b; this.x = arguments.length + _root._x + _parent._y;"
      "                   var d = _global.g; return c + d; }");
  const TFunctionScope& f = r.Function("f");
  EXPECT_TRUE(f.UsesRegisters);
  EXPECT_EQ(f.ThisRegister, 1);
  EXPECT_EQ(f.ArgumentsRegister, 2);
  EXPECT_EQ(f.RootRegister, 3);
  EXPECT_EQ(f.ParentRegister, 4);
  EXPECT_EQ(f.GlobalRegister, 5);
  EXPECT_EQ(Registers(f), "a:6 b:7 c:8 d:9");
  EXPECT_EQ(f.FirstTemporary, 10);
}

TEST(Scopes, KeepsWhatInnerFunctionsOrDynamicLookupsReachInVariables) {
  struct TCase {
    const char* Name;
    const char* Source;
    const char* Registers;  // of f
  };
  const TCase cases[] = {
      {"read by a closure", "function f(a, x) { var y = 1; return function () { return x + a; }; }",
       "a:0 x:0 y:1"},
      {"written by a closure", "function f() { var n = 0; var g = function () { n++; }; }",
       "n:0 g:1"},
      {"deleted", "function f() { var p = 1, q = 2; delete p; }", "p:0 q:1"},
      {"with in the function", "function f(o) { var v; with (o) { v = w; } }", "o:0 v:0"},
      {"eval in the function", "function f() { var v = 1; return eval('v'); }", "v:0"},
      {"eval in an inner function", "function f() { var v; function g() { return eval('v'); } }",
       "v:0 g:0"},
      {"a local function", "function f() { function g() {} g(); }", "g:1"},
      {"a caught value", "function f() { try {} catch (e) { return e; } }", "e:1"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    EXPECT_EQ(Registers(Resolve(c.Source).Function("f")), c.Registers);
  }
}

TEST(Scopes, HasNoRegistersBeforeFlash7AndIgnoresCaseUpTo6) {
  const auto v6 = Resolve("var Total; function f(a) { var b = a; return total; }", 6);
  const TFunctionScope& f6 = v6.Function("f");
  EXPECT_FALSE(f6.UsesRegisters);
  EXPECT_EQ(Registers(f6), "a:0 b:0");
  // `total` is the script's `Total` in Flash 6, a name of its own in Flash 7.
  const auto& ret6 = As<SReturn>(*v6.Program.Scope->Declarations[0]->Body[1]);
  EXPECT_EQ(As<EIdentifier>(*ret6.Value).Binding, v6.Program.Scope->Bindings[0].get());
  const auto v7 = Resolve("var Total; function f(a) { var b = a; return total; }", 7);
  const auto& ret7 = As<SReturn>(*v7.Program.Scope->Declarations[0]->Body[1]);
  EXPECT_EQ(As<EIdentifier>(*ret7.Value).Binding, nullptr);
}

TEST(Scopes, TurnsUndeclaredUndefinedNaNAndInfinityIntoValues) {
  const auto r = Resolve("a = undefined; b = NaN; c = Infinity; function f(undefined) { return undefined; }");
  auto value = [&](size_t i) -> const TExpr& {
    return *As<EAssign>(*As<SExpression>(*r.Program.Body[i]).Expr).Value;
  };
  EXPECT_EQ(value(0).Kind, TExprKind::Undefined);
  EXPECT_TRUE(std::isnan(As<ENumber>(value(1)).Value));
  EXPECT_TRUE(std::isinf(As<ENumber>(value(2)).Value));
  // A parameter of that name is a name.
  const auto& ret = As<SReturn>(*r.Program.Scope->Declarations[0]->Body[0]);
  EXPECT_EQ(ret.Value->Kind, TExprKind::Identifier);
}

TEST(Scopes, BindsAFunctionExpressionsNameInsideIt) {
  const auto r = Resolve("var f = function fact(n) { return n < 2 ? 1 : n * fact(n - 1); };");
  const auto& decl = As<SVar>(*r.Program.Body[0]).Decls[0];
  const TFunctionScope& s = *As<EFunction>(*decl.Init).Fn->Scope;
  ASSERT_NE(s.SelfBinding, nullptr);
  EXPECT_TRUE(s.SelfBinding->Referenced);
  EXPECT_TRUE(s.UsesArguments);  // the name is arguments.callee
  EXPECT_EQ(r.Program.Scope->ByKey.count("fact"), 0u);
}

TEST(Scopes, MarksWithAndTryStatementsThatJumpsLeave) {
  const auto r = Resolve(
      "for (;;) { with (a) { break; } }"
      "for (;;) { with (a) { for (;;) { break; } } }"
      "for (;;) { try { continue; } finally {} }"
      "x: { try { break x; } catch (e) {} }");
  auto flag = [&](size_t i) {
    const TStmt& s = *r.Program.Body[i];
    const TStmt* body = s.Kind == TStmtKind::Labeled ? As<SLabeled>(s).Body.get()
                                                     : As<SBlock>(*As<SFor>(s).Body).Body[0].get();
    if (body->Kind == TStmtKind::Block) body = As<SBlock>(*body).Body[0].get();
    return body->Kind == TStmtKind::With ? As<SWith>(*body).NeedsExitFlag : As<STry>(*body).NeedsExitFlag;
  };
  EXPECT_TRUE(flag(0));
  EXPECT_FALSE(flag(1));  // the break stays inside the with block
  EXPECT_TRUE(flag(2));
  EXPECT_TRUE(flag(3));
}

TEST(Scopes, ReportsJumpsWithoutTargetsAndReturnsOutsideFunctions) {
  struct TCase {
    const char* Source;
    uint32_t Line, Column;
    const char* Message;
  };
  const TCase cases[] = {
      {"var x = 1;\nbreak;", 2, 1, "'break' outside a loop or switch"},
      {"switch (x) { case 1: continue; }", 1, 22, "'continue' outside a loop"},
      {"while (x) { function f() { break; } }", 1, 28, "'break' outside a loop or switch"},
      {"a: { continue a; }", 1, 6, "'continue a': the label does not name a loop"},
      {"for (;;) { break b; }", 1, 12, "'break b': no enclosing statement has the label 'b'"},
      {"a: while (1) { a: for (;;) {} }", 1, 16, "the label 'a' is already in use here"},
      {"return 1;", 1, 1, "'return' outside a function"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Source);
    try {
      Resolve(c.Source);
      ADD_FAILURE() << "no error";
    } catch (const ECompileError& e) {
      EXPECT_EQ(e.Message(), c.Message);
      EXPECT_EQ(e.Pos(), (TSourcePos{c.Line, c.Column}));
    }
  }
}

}  // namespace
}  // namespace tw::test
