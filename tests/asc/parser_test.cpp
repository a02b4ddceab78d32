// The parser: precedence and associativity, automatic semicolons, every statement form, and the
// errors of bad source, each at its position.
#include "asc/parser.h"
#include "support/testing.h"

namespace tw::test {
namespace {

using namespace asc;

// The tree as an S-expression: (op operands...).
std::string S(const TExpr& e);
std::string S(const TStmt& s);

std::string List(const std::vector<TExprPtr>& items) {
  std::string out;
  for (const auto& i : items) out += " " + (i ? S(*i) : std::string("hole"));
  return out;
}
std::string Body(const TStmtList& body) {
  std::string out;
  for (const auto& s : body) out += " " + S(*s);
  return out;
}

const char* BinaryName(TBinaryOp op) {
  static const char* names[] = {"+", "-", "*", "/", "%", "<<", ">>", ">>>", "&", "|", "^",
                                "==", "!=", "===", "!==", "<", ">", "<=", ">=", "instanceof"};
  return names[static_cast<int>(op)];
}

std::string S(const TExpr& e) {
  switch (e.Kind) {
    case TExprKind::Number: {
      char buf[32];
      std::snprintf(buf, sizeof buf, "%g", As<ENumber>(e).Value);
      return buf;
    }
    case TExprKind::String: return "'" + As<EString>(e).Value + "'";
    case TExprKind::Bool: return As<EBool>(e).Value ? "true" : "false";
    case TExprKind::Null: return "null";
    case TExprKind::Undefined: return "undefined";
    case TExprKind::This: return "this";
    case TExprKind::Identifier: return As<EIdentifier>(e).Name;
    case TExprKind::Array: return "(array" + List(As<EArray>(e).Elements) + ")";
    case TExprKind::Object: {
      std::string out = "(object";
      for (const auto& p : As<EObject>(e).Properties) out += " " + p.Name + ":" + S(*p.Value);
      return out + ")";
    }
    case TExprKind::Function: {
      const TFunction& fn = *As<EFunction>(e).Fn;
      std::string out = "(function " + (fn.Name.empty() ? std::string("-") : fn.Name) + " (";
      for (size_t i = 0; i < fn.Params.size(); ++i) out += (i ? " " : "") + fn.Params[i].Name;
      return out + ")" + Body(fn.Body) + ")";
    }
    case TExprKind::Member: return "(. " + S(*As<EMember>(e).Object) + " " + As<EMember>(e).Name + ")";
    case TExprKind::Index: return "([] " + S(*As<EIndex>(e).Object) + " " + S(*As<EIndex>(e).Index) + ")";
    case TExprKind::Call: return "(call " + S(*As<ECall>(e).Callee) + List(As<ECall>(e).Args) + ")";
    case TExprKind::New: return "(new " + S(*As<ENew>(e).Callee) + List(As<ENew>(e).Args) + ")";
    case TExprKind::Unary: {
      static const char* names[] = {"!", "neg", "pos", "~", "typeof", "void", "delete"};
      const auto& u = As<EUnary>(e);
      return std::string("(") + names[static_cast<int>(u.Op)] + " " + S(*u.Operand) + ")";
    }
    case TExprKind::Update: {
      const auto& u = As<EUpdate>(e);
      const std::string op = u.Increment ? "++" : "--";
      return "(" + (u.Prefix ? op + "x" : "x" + op) + " " + S(*u.Target) + ")";
    }
    case TExprKind::Binary: {
      const auto& b = As<EBinary>(e);
      return std::string("(") + BinaryName(b.Op) + " " + S(*b.Left) + " " + S(*b.Right) + ")";
    }
    case TExprKind::Logical: {
      const auto& l = As<ELogical>(e);
      return std::string("(") + (l.IsAnd ? "&&" : "||") + " " + S(*l.Left) + " " + S(*l.Right) + ")";
    }
    case TExprKind::Conditional: {
      const auto& c = As<EConditional>(e);
      return "(? " + S(*c.Test) + " " + S(*c.Then) + " " + S(*c.Else) + ")";
    }
    case TExprKind::Assign: {
      const auto& a = As<EAssign>(e);
      const std::string op = a.Compound ? std::string(BinaryName(a.Op)) + "=" : "=";
      return "(" + op + " " + S(*a.Target) + " " + S(*a.Value) + ")";
    }
    case TExprKind::Sequence: return "(," + List(As<ESequence>(e).Items) + ")";
  }
  return "?";
}

std::string S(const TStmt& s) {
  switch (s.Kind) {
    case TStmtKind::Expression: return S(*As<SExpression>(s).Expr);
    case TStmtKind::Var: {
      std::string out = "(var";
      for (const auto& d : As<SVar>(s).Decls) out += " " + d.Name + (d.Init ? "=" + S(*d.Init) : "");
      return out + ")";
    }
    case TStmtKind::Function: {
      const TFunction& fn = *As<SFunction>(s).Fn;
      std::string out = "(function " + fn.Name + " (";
      for (size_t i = 0; i < fn.Params.size(); ++i) out += (i ? " " : "") + fn.Params[i].Name;
      return out + ")" + Body(fn.Body) + ")";
    }
    case TStmtKind::Block: return "{" + Body(As<SBlock>(s).Body) + " }";
    case TStmtKind::Empty: return ";";
    case TStmtKind::If: {
      const auto& i = As<SIf>(s);
      return "(if " + S(*i.Test) + " " + S(*i.Then) + (i.Else ? " " + S(*i.Else) : "") + ")";
    }
    case TStmtKind::While: return "(while " + S(*As<SWhile>(s).Test) + " " + S(*As<SWhile>(s).Body) + ")";
    case TStmtKind::DoWhile: return "(do " + S(*As<SDoWhile>(s).Body) + " " + S(*As<SDoWhile>(s).Test) + ")";
    case TStmtKind::For: {
      const auto& f = As<SFor>(s);
      return "(for " + (f.Init ? S(*f.Init) : "-") + " " + (f.Test ? S(*f.Test) : "-") + " " +
             (f.Update ? S(*f.Update) : "-") + " " + S(*f.Body) + ")";
    }
    case TStmtKind::ForIn: {
      const auto& f = As<SForIn>(s);
      return std::string("(for-in ") + (f.DeclaresVar ? "var " : "") + S(*f.Target) + " " +
             S(*f.Object) + " " + S(*f.Body) + ")";
    }
    case TStmtKind::Break:
    case TStmtKind::Continue: {
      const auto& j = As<SJump>(s);
      return std::string("(") + (s.Kind == TStmtKind::Break ? "break" : "continue") +
             (j.Label.empty() ? "" : " " + j.Label) + ")";
    }
    case TStmtKind::Return: {
      const auto& r = As<SReturn>(s);
      return "(return" + (r.Value ? " " + S(*r.Value) : "") + ")";
    }
    case TStmtKind::Throw: return "(throw " + S(*As<SThrow>(s).Value) + ")";
    case TStmtKind::Try: {
      const auto& t = As<STry>(s);
      std::string out = "(try" + Body(t.Block);
      if (t.HasCatch) out += " catch " + t.CatchName + Body(t.Catch);
      if (t.HasFinally) out += " finally" + Body(t.Finally);
      return out + ")";
    }
    case TStmtKind::Switch: {
      const auto& w = As<SSwitch>(s);
      std::string out = "(switch " + S(*w.Discriminant);
      for (const auto& c : w.Cases) out += " (" + (c.Test ? S(*c.Test) : "default") + ":" + Body(c.Body) + ")";
      return out + ")";
    }
    case TStmtKind::Labeled: return "(label " + As<SLabeled>(s).Label + " " + S(*As<SLabeled>(s).Body) + ")";
    case TStmtKind::With: return "(with " + S(*As<SWith>(s).Object) + " " + S(*As<SWith>(s).Body) + ")";
    case TStmtKind::Import:
      return "(import " + As<SImport>(s).Name.Name + (As<SImport>(s).Wildcard ? ".*" : "") + ")";
    case TStmtKind::Class: return "(class " + As<SClass>(s).Name + ")";
    case TStmtKind::TellTarget:
      return "(tellTarget " + S(*As<STellTarget>(s).Target) + " " + S(*As<STellTarget>(s).Body) + ")";
    case TStmtKind::IfFrameLoaded:
      return "(ifFrameLoaded " + S(*As<SIfFrameLoaded>(s).Frame) + " " + S(*As<SIfFrameLoaded>(s).Body) + ")";
  }
  return "?";
}

std::string Parse(std::string_view source) {
  const TProgram p = ParseProgram(source, "t.as");
  std::string out;
  for (const auto& s : p.Body) out += (out.empty() ? "" : " ") + S(*s);
  return out;
}

struct TCase {
  const char* Source;
  const char* Tree;
};

TEST(Parser, FollowsJavaScriptPrecedenceAndAssociativity) {
  const TCase cases[] = {
      {"1 + 2 * 3", "(+ 1 (* 2 3))"},
      {"(1 + 2) * 3", "(* (+ 1 2) 3)"},
      {"1 - 2 - 3", "(- (- 1 2) 3)"},
      {"a = b = c", "(= a (= b c))"},
      {"a += b -= 2", "(+= a (-= b 2))"},
      {"a >>>= 1", "(>>>= a 1)"},
      {"a ? b : c ? d : e", "(? a b (? c d e))"},
      {"a || b && c | d ^ e & f", "(|| a (&& b (| c (^ d (& e f)))))"},
      {"a == b < c << d + e", "(== a (< b (<< c (+ d e))))"},
      {"a !== b === c", "(=== (!== a b) c)"},
      {"x instanceof Y == true", "(== (instanceof x Y) true)"},
      {"!a.b", "(! (. a b))"},
      {"-5", "-5"},
      {"- -x", "(neg (neg x))"},
      {"a - -b", "(- a (neg b))"},
      {"typeof a.b", "(typeof (. a b))"},
      {"delete o[k]", "(delete ([] o k))"},
      {"void 0", "(void 0)"},
      {"~+x", "(~ (pos x))"},
      {"x++ + ++y", "(+ (x++ x) (++x y))"},
      {"--a.b", "(--x (. a b))"},
      {"a.b[c](d)(e)", "(call (call ([] (. a b) c) d) e)"},
      {"new A.B(1).c", "(. (new (. A B) 1) c)"},
      {"new A", "(new A)"},
      {"new new A()()", "(new (new A))"},
      {"a, b = 1, c", "(, a (= b 1) c)"},
      {"o.delete + o.class", "(+ (. o delete) (. o class))"},
      {"[1, , 'x', [2]]", "(array 1 hole 'x' (array 2))"},
      {"[1, 2,]", "(array 1 2)"},
      {"({a: 1, 'b c': 2, 3: x, default: y})", "(object a:1 b c:2 3:x default:y)"},
      {"f = function (a, b) { return a; }", "(= f (function - (a b) (return a)))"},
      {"g = function h() {}", "(= g (function h ()))"},
      {"(function (a) {})(1)", "(call (function - (a)) 1)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Source);
    EXPECT_EQ(Parse(c.Source), c.Tree);
  }
}

TEST(Parser, ReadsEveryStatementAndInsertsSemicolonsWhereALineEnds) {
  const TCase cases[] = {
      {"a\nb", "a b"},
      {"a\n++b", "a (++x b)"},               // ++ after a line break belongs to the next line
      {"return_ = 1\nx", "(= return_ 1) x"},
      {"function f() { return\n1 }", "(function f () (return) 1)"},
      {"function f() { return 1 }", "(function f () (return 1))"},
      {"for (;;) { break\nfoo }", "(for - - - { (break) foo })"},
      {"for (;;) { continue }", "(for - - - { (continue) })"},
      {"var a = 1, b, c = a\n", "(var a=1 b c=a)"},
      {"if (a) b; else if (c) d; else { e }", "(if a b (if c d { e }))"},
      {"while (i < 3) i++", "(while (< i 3) (x++ i))"},
      {"do x--; while (x) y", "(do (x-- x) x) y"},
      {"for (var i = 0, j; i < n; i++) ;", "(for (var i=0 j) (< i n) (x++ i) ;)"},
      {"for (k in o) f(k)", "(for-in k o (call f k))"},
      {"for (var k in o) {}", "(for-in var k o { })"},
      {"for (a.b[0] in o) ;", "(for-in ([] (. a b) 0) o ;)"},
      {"outer: for (;;) { inner: while (1) { continue outer; break inner } }",
       "(label outer (for - - - { (label inner (while 1 { (continue outer) (break inner) })) }))"},
      {"switch (x) { case 1: a; case 2: default: b; break }",
       "(switch x (1: a) (2:) (default: b (break)))"},
      {"try { a } catch (e) { b } finally { c }", "(try a catch e b finally c)"},
      {"try { a } finally { c }", "(try a finally c)"},
      {"throw new Error('x')", "(throw (new Error 'x'))"},
      {"with (o) { x = 1 }", "(with o { (= x 1) })"},
      {";;", "; ;"},
      {"{ a; { b } }", "{ a { b } }"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Source);
    EXPECT_EQ(Parse(c.Source), c.Tree);
  }
}

struct TErrorCase {
  std::string Source;
  uint32_t Line, Column;
  std::string Message;
};

TEST(Parser, ReportsSyntaxErrorsWithTheirPosition) {
  const TErrorCase cases[] = {
      {"function f() {\n  if (x) {\n    y();\n}\n", 1, 14,
       "'{' is never closed: the file ends before its '}'"},
      {"a;\n}", 2, 1, "unexpected '}': there is no '{' to close"},
      {"f(1, 2;", 1, 7, "expected ')' to close the '(' at line 1, column 2 but found ';'"},
      {"x = [1, 2", 1, 5, "'[' is never closed: the file ends before its ']'"},
      {"a b", 1, 3, "expected ';' or a line break but found the name \"b\""},
      {"1 = x", 1, 1, "cannot assign to a literal (the target of '=')"},
      {"'s' += 1", 1, 1, "cannot assign to a literal (the target of '+=')"},
      {"++5", 1, 3, "cannot assign to a literal (the target of '++')"},
      {"this = 1", 1, 1, "cannot assign to 'this'"},
      {"f() = 1", 1, 2,
       "cannot assign to this expression: the target of '=' must be a variable, a property or "
       "an element"},
      {"for (f() in o) ;", 1, 7,
       "cannot assign to this expression: the target of for..in must be a variable, a property "
       "or an element"},
      {"x = ", 1, 5, "unexpected end of the file: an expression is missing"},
      {"x = )", 1, 5, "expected an expression but found ')'"},
      {"if x", 1, 4, "expected '(' but found the name \"x\""},
      {"try { }", 1, 8, "expected 'catch' or 'finally' after the try block but found the end of the file"},
      {"switch (x) { default: default: }", 1, 23, "a switch has at most one 'default'"},
      {"switch (x) { y; }", 1, 14, "expected 'case' or 'default' but found the name \"y\""},
      {"else x", 1, 1, "'else' without 'if'"},
      {"case 1:", 1, 1, "'case' outside a switch"},
      {"catch (e) {}", 1, 1, "'catch' without 'try'"},
      {"throw\nx", 1, 1, "'throw' needs a value on the same line"},
      {"class A {}", 1, 1,
       "'class' belongs in a file of its own (a.b.C in a/b/C.as), found through the class path"},
      {"x = 1;\n  interface I {}", 2, 3,
       "'interface' belongs in a file of its own (a.b.C in a/b/C.as), found through the class path"},
      {"var x: = 1", 1, 8, "expected the name of a class or interface but found '='"},
      {"function f(a:Number.) {}", 1, 21, "expected a name after '.' but found ')'"},
      {"import Shape;", 1, 8, "import names a class in a package (a.b.C) or a whole package (a.b.*)"},
      {"extends = 1", 1, 1, "'extends' stands only in the head of a class or interface"},
      {"try {} catch (e:Error) {}", 1, 16, "typed and conditional catch clauses are not supported"},
      {"o = {a: 1,}", 1, 11, "expected a property name after ',' but found '}'"},
      {"o.", 1, 3, "expected a property name after '.' but found the end of the file"},
      {"var 1", 1, 5, "expected a variable name but found a number"},
      {"function (a) {}\n", 1, 10,
       "a function statement needs a name (a function expression as a statement goes in "
       "parentheses)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Source);
    try {
      Parse(c.Source);
      ADD_FAILURE() << "no error";
    } catch (const ECompileError& e) {
      EXPECT_EQ(e.Message(), c.Message);
      EXPECT_EQ(e.Pos(), (TSourcePos{c.Line, c.Column}));
    }
  }
}

// Nesting beyond the limit ends with an error of its own at the place it is crossed, whatever
// nests: brackets, blocks, operators, member chains, `new`.
TEST(Parser, LimitsNestingInsteadOfOverflowingTheStack) {
  auto repeat = [](std::string_view s, size_t n) {
    std::string out;
    out.reserve(s.size() * n);
    for (size_t i = 0; i < n; ++i) out += s;
    return out;
  };
  const std::string message = "nesting too deep: brackets, blocks, operators and member accesses "
                              "nest more than 400 levels here";
  const std::string cases[] = {
      "x = " + repeat("(", 10000) + "1" + repeat(")", 10000),
      "x = " + repeat("[", 10000),
      "x = " + repeat("{a:", 10000),
      repeat("{", 10000),
      repeat("if (a) ", 10000) + "b;",
      "x = " + repeat("!", 10000) + "a",
      "x = " + repeat("-", 10000) + "a",
      "x = a" + repeat(" + a", 10000),
      "x = a" + repeat(".b", 10000),
      "x = f" + repeat("()", 10000),
      "x = " + repeat("new ", 10000) + "A",
      repeat("a = ", 10000) + "1",
      repeat("function f() {", 10000),
      "x = " + repeat("a ? b : ", 10000) + "c",
  };
  for (const auto& source : cases) {
    SCOPED_TRACE(source.substr(0, 30));
    try {
      Parse(source);
      ADD_FAILURE() << "no error";
    } catch (const ECompileError& e) {
      EXPECT_EQ(e.Message(), message);
    }
  }
  // Ordinary depths compile.
  EXPECT_NO_THROW(Parse("x = " + repeat("(", 100) + "1" + repeat(")", 100)));
  EXPECT_NO_THROW(Parse("x = a" + repeat(" + a", 300)));
}

}  // namespace
}  // namespace tw::test
