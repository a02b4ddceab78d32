#include "asc/parser.h"

#include <cmath>
#include <cstdio>
#include <optional>

#include "asc/scopes.h"

namespace tw::asc {
namespace {

// Binary operators by precedence, higher binds tighter; 0: not a binary operator.
int Precedence(TTok t) {
  switch (t) {
    case TTok::PipePipe: return 1;
    case TTok::AmpAmp: return 2;
    case TTok::Pipe: return 3;
    case TTok::Caret: return 4;
    case TTok::Amp: return 5;
    case TTok::Eq: case TTok::NotEq: case TTok::StrictEq: case TTok::StrictNotEq: return 6;
    case TTok::Less: case TTok::Greater: case TTok::LessEq: case TTok::GreaterEq:
    case TTok::InstanceOf: return 7;
    case TTok::Shl: case TTok::Shr: case TTok::UShr: return 8;
    case TTok::Plus: case TTok::Minus: return 9;
    case TTok::Star: case TTok::Slash: case TTok::Percent: return 10;
    default: return 0;
  }
}

TBinaryOp BinaryOpOf(TTok t) {
  switch (t) {
    case TTok::Plus: case TTok::PlusAssign: return TBinaryOp::Add;
    case TTok::Minus: case TTok::MinusAssign: return TBinaryOp::Sub;
    case TTok::Star: case TTok::StarAssign: return TBinaryOp::Mul;
    case TTok::Slash: case TTok::SlashAssign: return TBinaryOp::Div;
    case TTok::Percent: case TTok::PercentAssign: return TBinaryOp::Mod;
    case TTok::Shl: case TTok::ShlAssign: return TBinaryOp::Shl;
    case TTok::Shr: case TTok::ShrAssign: return TBinaryOp::Shr;
    case TTok::UShr: case TTok::UShrAssign: return TBinaryOp::UShr;
    case TTok::Amp: case TTok::AmpAssign: return TBinaryOp::BitAnd;
    case TTok::Pipe: case TTok::PipeAssign: return TBinaryOp::BitOr;
    case TTok::Caret: case TTok::CaretAssign: return TBinaryOp::BitXor;
    case TTok::Eq: return TBinaryOp::Eq;
    case TTok::NotEq: return TBinaryOp::NotEq;
    case TTok::StrictEq: return TBinaryOp::StrictEq;
    case TTok::StrictNotEq: return TBinaryOp::StrictNotEq;
    case TTok::Less: return TBinaryOp::Less;
    case TTok::Greater: return TBinaryOp::Greater;
    case TTok::LessEq: return TBinaryOp::LessEq;
    case TTok::GreaterEq: return TBinaryOp::GreaterEq;
    default: return TBinaryOp::InstanceOf;
  }
}

bool IsAssignment(TTok t) {
  switch (t) {
    case TTok::Assign: case TTok::PlusAssign: case TTok::MinusAssign: case TTok::StarAssign:
    case TTok::SlashAssign: case TTok::PercentAssign: case TTok::ShlAssign: case TTok::ShrAssign:
    case TTok::UShrAssign: case TTok::AmpAssign: case TTok::PipeAssign: case TTok::CaretAssign:
      return true;
    default:
      return false;
  }
}

// Keywords and reserved words name properties after a dot and in object literals.
bool IsWord(TTok t) {
  return t == TTok::Identifier || (t >= TTok::Break && t <= TTok::Reserved);
}

// A number as ActionScript turns it into a property name.
std::string NumberName(double v) {
  if (std::isnan(v)) return "NaN";
  if (std::isinf(v)) return v < 0 ? "-Infinity" : "Infinity";
  char buf[40];
  if (v == std::floor(v) && std::fabs(v) < 1e15) std::snprintf(buf, sizeof buf, "%.0f", v);
  else std::snprintf(buf, sizeof buf, "%.15g", v);
  return buf;
}

class TParser {
 public:
  TParser(std::string_view text, std::string_view sourceName, TSourcePos start)
      : FLex(text, sourceName, start) {}

  TProgram Program() {
    TProgram program;
    while (Peek().Kind != TTok::End) {
      if (Peek().Kind == TTok::RBrace) Fail(Peek().Pos, "unexpected '}': there is no '{' to close");
      program.Body.push_back(Statement());
    }
    program.Types = std::move(FTypes);
    return program;
  }

  // A class file: imports, then one class or interface named `name`, then nothing.
  TProgram ClassFile(const std::string& name) {
    TProgram program;
    while (IsReserved("import")) program.Body.push_back(Import());
    const TToken start = Peek();
    while (IsWordText("dynamic") || IsWordText("intrinsic")) Next();
    const bool isInterface = IsReserved("interface");
    if (!isInterface && !IsReserved("class"))
      Unexpected(Peek(), "'class' or 'interface': the file " + QuoteForMessage(name) +
                             " found through the class path defines it");
    auto c = std::make_unique<SClass>(start.Pos);
    c->IsInterface = isInterface;
    Next();
    const TTypeRef named = TypeName();
    if (named.Name != name)
      Fail(named.Pos, "the file of " + QuoteForMessage(name) + " defines " +
                          QuoteForMessage(named.Name) + " instead");
    c->Name = named.Name;
    if (IsReserved("extends")) {
      Next();
      if (isInterface) {
        do c->Interfaces.push_back(TypeName());
        while (Accept(TTok::Comma));
      } else {
        c->HasBase = true;
        c->Base = TypeName();
      }
    }
    if (!isInterface && IsReserved("implements")) {
      Next();
      do c->Interfaces.push_back(TypeName());
      while (Accept(TTok::Comma));
    }
    const std::string shortName = name.substr(name.rfind('.') + 1);
    const TToken open = Expect(TTok::LBrace);
    while (!Accept(TTok::RBrace)) {
      if (Is(TTok::End)) Close(TTok::RBrace, open);
      if (Accept(TTok::Semicolon)) continue;
      Member(*c, shortName);
    }
    if (!Is(TTok::End))
      Fail(Peek().Pos, "a class file holds one class or interface and nothing after it");
    program.Body.push_back(std::move(c));
    program.Types = std::move(FTypes);
    return program;
  }

 private:
  // Counts nesting for one recursive step (or several steps of a loop) and undoes it on leaving.
  class TDepth {
   public:
    explicit TDepth(TParser& p) : FParser(p) {}
    TDepth(TParser& p, TSourcePos pos) : FParser(p) { Add(pos); }
    ~TDepth() { FParser.FDepth -= FCount; }
    TDepth(const TDepth&) = delete;
    TDepth& operator=(const TDepth&) = delete;
    void Add(TSourcePos pos) {
      ++FCount;
      if (++FParser.FDepth > kMaxNesting)
        FParser.Fail(pos, "nesting too deep: brackets, blocks, operators and member accesses "
                          "nest more than " + std::to_string(kMaxNesting) + " levels here");
    }

   private:
    TParser& FParser;
    size_t FCount = 0;
  };

  // ---- tokens

  const TToken& Peek(size_t n = 0) { return FLex.Peek(n); }
  TToken Next() { return FLex.Next(); }
  bool Is(TTok kind) { return Peek().Kind == kind; }
  bool Accept(TTok kind) {
    if (!Is(kind)) return false;
    Next();
    return true;
  }
  [[noreturn]] void Fail(TSourcePos pos, std::string message) { FLex.Fail(pos, std::move(message)); }

  static std::string Describe(const TToken& t) {
    switch (t.Kind) {
      case TTok::Identifier: return "the name " + QuoteForMessage(t.Text);
      case TTok::String: return "the string " + QuoteForMessage(t.Text);
      case TTok::Number: return "a number";
      case TTok::Reserved: return "'" + t.Text + "'";
      default: return TokenKindText(t.Kind);
    }
  }

  [[noreturn]] void Unexpected(const TToken& t, const std::string& expected) {
    if (t.Kind == TTok::Reserved) ReservedWord(t);
    Fail(t.Pos, "expected " + expected + " but found " + Describe(t));
  }

  [[noreturn]] void ReservedWord(const TToken& t) {
    Fail(t.Pos, "'" + t.Text + "' stands only in the head of a class or interface");
  }

  TToken Expect(TTok kind) {
    if (!Is(kind)) Unexpected(Peek(), TokenKindText(kind));
    return Next();
  }

  // A closing bracket; at the end of the file the message points back at its opening one.
  void Close(TTok kind, const TToken& open) {
    if (Is(kind)) {
      Next();
      return;
    }
    if (Is(TTok::End))
      Fail(open.Pos, TokenKindText(open.Kind) + " is never closed: the file ends before its " +
                         TokenKindText(kind));
    Unexpected(Peek(), TokenKindText(kind) + " to close the " + TokenKindText(open.Kind) +
                           " at line " + std::to_string(open.Pos.Line) + ", column " +
                           std::to_string(open.Pos.Column));
  }

  std::string Identifier(const char* what) {
    if (!Is(TTok::Identifier)) Unexpected(Peek(), what);
    return Next().Text;
  }

  // Automatic semicolons: a statement may end without ';' before '}', at the end of the file or
  // at a line break.
  void Semicolon() {
    if (Accept(TTok::Semicolon)) return;
    const TToken& t = Peek();
    if (t.Kind == TTok::RBrace || t.Kind == TTok::End || t.NewlineBefore) return;
    Unexpected(t, "';' or a line break");
  }

  // ---- classes

  bool IsReserved(std::string_view word) { return Is(TTok::Reserved) && Peek().Text == word; }
  bool IsWordText(std::string_view word) { return Is(TTok::Identifier) && Peek().Text == word; }

  // A dotted name of a class or interface.
  TTypeRef TypeName() {
    TTypeRef t;
    t.Pos = Peek().Pos;
    t.Name = Identifier("the name of a class or interface");
    while (Accept(TTok::Dot)) t.Name += "." + Identifier("a name after '.'");
    return t;
  }

  // `: Type` after a variable, a parameter or a function's parameter list: only checked to name
  // a class or interface, it leaves nothing in the records.
  void TypeAnnotation() {
    if (Accept(TTok::Colon)) FTypes.push_back(TypeName());
  }

  TStmtPtr Import() {
    const TSourcePos pos = Next().Pos;
    TTypeRef t;
    t.Pos = Peek().Pos;
    t.Name = Identifier("the name of a class or package");
    bool wildcard = false;
    while (Accept(TTok::Dot)) {
      if (Accept(TTok::Star)) {
        wildcard = true;
        break;
      }
      t.Name += "." + Identifier("a name after '.'");
    }
    if (!wildcard && t.Name.find('.') == std::string::npos)
      Fail(t.Pos, "import names a class in a package (a.b.C) or a whole package (a.b.*)");
    Semicolon();
    return std::make_unique<SImport>(pos, std::move(t), wildcard);
  }

  void Member(SClass& c, const std::string& shortName) {
    TClassMember m;
    m.Pos = Peek().Pos;
    // Access modifiers are checked by nobody at run time; static places the member.
    while ((IsWordText("static") || IsWordText("public") || IsWordText("private")) &&
           (Peek(1).Kind == TTok::Identifier || Peek(1).Kind == TTok::Var ||
            Peek(1).Kind == TTok::Function)) {
      if (Next().Text == "static") m.Static = true;
    }
    if (Accept(TTok::Var)) {
      if (c.IsInterface) Fail(m.Pos, "an interface declares methods only");
      do {
        TClassMember v;
        v.Pos = Peek().Pos;
        v.Static = m.Static;
        v.Name = Identifier("a variable name");
        TypeAnnotation();
        if (Accept(TTok::Assign)) v.Init = Assignment();
        c.Members.push_back(std::move(v));
      } while (Accept(TTok::Comma));
      Semicolon();
      return;
    }
    if (!Is(TTok::Function)) Unexpected(Peek(), "'var' or 'function' in the class body");
    const TSourcePos pos = Next().Pos;
    m.Kind = TMemberKind::Method;
    if ((IsWordText("get") || IsWordText("set")) && Peek(1).Kind == TTok::Identifier)
      m.Kind = Next().Text == "get" ? TMemberKind::Getter : TMemberKind::Setter;
    m.Pos = Peek().Pos;
    m.Fn = Function(pos, false, c.IsInterface);
    m.Name = m.Fn->Name;
    if (m.Name == shortName && m.Kind == TMemberKind::Method && !m.Static) {
      if (c.IsInterface) Fail(m.Pos, "an interface has no constructor");
      if (c.Constructor) Fail(m.Pos, "a class has one constructor");
      m.Fn->IsConstructor = true;
      c.Constructor = std::move(m.Fn);
      return;
    }
    c.Members.push_back(std::move(m));
  }

  // ---- statements

  TStmtPtr Statement() {
    TDepth depth(*this, Peek().Pos);
    const TToken& t = Peek();
    const TSourcePos pos = t.Pos;
    switch (t.Kind) {
      case TTok::LBrace: return Block();
      case TTok::Semicolon: Next(); return std::make_unique<SEmpty>(pos);
      case TTok::Var: {
        Next();
        auto s = VarDeclarations(pos);
        Semicolon();
        return s;
      }
      case TTok::If: return If();
      case TTok::While: {
        Next();
        auto s = std::make_unique<SWhile>(pos);
        s->Test = Condition();
        s->Body = Statement();
        return s;
      }
      case TTok::Do: {
        Next();
        auto s = std::make_unique<SDoWhile>(pos);
        s->Body = Statement();
        Expect(TTok::While);
        s->Test = Condition();
        // A do-while statement may end without a semicolon on the same line.
        Accept(TTok::Semicolon);
        return s;
      }
      case TTok::For: return For();
      case TTok::Continue:
      case TTok::Break: {
        const TStmtKind kind = t.Kind == TTok::Break ? TStmtKind::Break : TStmtKind::Continue;
        Next();
        std::string label;
        if (Is(TTok::Identifier) && !Peek().NewlineBefore) label = Next().Text;
        Semicolon();
        return std::make_unique<SJump>(kind, pos, std::move(label));
      }
      case TTok::Return: {
        Next();
        auto s = std::make_unique<SReturn>(pos);
        if (!Is(TTok::Semicolon) && !Is(TTok::RBrace) && !Is(TTok::End) && !Peek().NewlineBefore)
          s->Value = Expression();
        Semicolon();
        return s;
      }
      case TTok::Throw: {
        Next();
        if (Peek().NewlineBefore || Is(TTok::End))
          Fail(pos, "'throw' needs a value on the same line");
        auto s = std::make_unique<SThrow>(pos, Expression());
        Semicolon();
        return s;
      }
      case TTok::Try: return Try();
      case TTok::Switch: return Switch();
      case TTok::With: {
        Next();
        auto s = std::make_unique<SWith>(pos);
        s->Object = Condition();
        s->Body = Statement();
        return s;
      }
      case TTok::Function: {
        if (Peek(1).Kind != TTok::Identifier)
          Fail(Peek(1).Pos, "a function statement needs a name (a function expression as a "
                            "statement goes in parentheses)");
        Next();
        auto fn = Function(pos, false);
        return std::make_unique<SFunction>(pos, std::move(fn));
      }
      case TTok::Identifier:
        if (t.Text == "tellTarget" && Peek(1).Kind == TTok::LParen) {
          Next();
          auto s = std::make_unique<STellTarget>(pos);
          s->Target = Condition();
          s->Body = Statement();
          return s;
        }
        if (t.Text == "ifFrameLoaded" && Peek(1).Kind == TTok::LParen) {
          Next();
          auto s = std::make_unique<SIfFrameLoaded>(pos);
          s->Frame = Condition();
          if (s->Frame->Kind == TExprKind::Sequence)
            Fail(pos, "ifFrameLoaded(scene, frame) names a scene, and a movie compiled from "
                      "source has none: give the frame alone");
          s->Body = Statement();
          return s;
        }
        if (Peek(1).Kind == TTok::Colon) {
          std::string label = Next().Text;
          Next();
          return std::make_unique<SLabeled>(pos, std::move(label), Statement());
        }
        break;
      case TTok::Reserved:
        if (t.Text == "import") return Import();
        if (t.Text == "class" || t.Text == "interface")
          Fail(pos, "'" + t.Text + "' belongs in a file of its own (a.b.C in a/b/C.as), found "
                    "through the class path");
        ReservedWord(t);
      case TTok::RBrace: Fail(pos, "unexpected '}': there is no '{' to close");
      case TTok::Else: Fail(pos, "'else' without 'if'");
      case TTok::Case:
      case TTok::Default: Fail(pos, "'" + t.Text + "' outside a switch");
      case TTok::Catch:
      case TTok::Finally: Fail(pos, "'" + t.Text + "' without 'try'");
      default: break;
    }
    auto s = std::make_unique<SExpression>(pos, Expression());
    if (Is(TTok::LBrace) && s->Expr->Kind == TExprKind::Call) {
      const TExpr& callee = *As<ECall>(*s->Expr).Callee;
      if (callee.Kind == TExprKind::Identifier &&
          (As<EIdentifier>(callee).Name == "on" || As<EIdentifier>(callee).Name == "onClipEvent"))
        Fail(pos, "'" + As<EIdentifier>(callee).Name + "(...)' handlers belong to buttons and "
                  "clips (an <action> of the skin), not to a frame script");
    }
    Semicolon();
    return s;
  }

  TStmtList BlockBody() {
    const TToken open = Expect(TTok::LBrace);
    TStmtList body;
    while (!Is(TTok::RBrace)) {
      if (Is(TTok::End)) Close(TTok::RBrace, open);
      body.push_back(Statement());
    }
    Next();
    return body;
  }

  TStmtPtr Block() {
    auto s = std::make_unique<SBlock>(Peek().Pos);
    s->Body = BlockBody();
    return s;
  }

  // ( Expression )
  TExprPtr Condition() {
    const TToken open = Expect(TTok::LParen);
    auto e = Expression();
    Close(TTok::RParen, open);
    return e;
  }

  TStmtPtr If() {
    auto s = std::make_unique<SIf>(Next().Pos);
    s->Test = Condition();
    s->Then = Statement();
    if (Accept(TTok::Else)) s->Else = Statement();
    return s;
  }

  // `first`: the first name, already read.
  std::unique_ptr<SVar> VarDeclarations(TSourcePos pos, std::optional<TVarDecl> first = {}) {
    auto s = std::make_unique<SVar>(pos);
    do {
      TVarDecl d;
      d.Pos = Peek().Pos;
      if (first) {
        d = std::move(*first);
        first.reset();
      } else {
        d.Name = Identifier("a variable name");
        TypeAnnotation();
      }
      if (Accept(TTok::Assign)) d.Init = Assignment();
      s->Decls.push_back(std::move(d));
    } while (Accept(TTok::Comma));
    return s;
  }

  TStmtPtr For() {
    const TSourcePos pos = Next().Pos;
    const TToken open = Expect(TTok::LParen);
    TStmtPtr init;
    if (Is(TTok::Var)) {
      const TSourcePos varPos = Next().Pos;
      TVarDecl first;
      first.Pos = Peek().Pos;
      first.Name = Identifier("a variable name");
      TypeAnnotation();
      if (Is(TTok::In)) {
        auto s = std::make_unique<SForIn>(pos);
        s->DeclaresVar = true;
        s->Target = std::make_unique<EIdentifier>(first.Pos, first.Name);
        return ForInRest(std::move(s), open);
      }
      init = VarDeclarations(varPos, std::move(first));
    } else if (!Is(TTok::Semicolon)) {
      const TSourcePos exprPos = Peek().Pos;
      auto e = Expression();
      if (Is(TTok::In)) {
        CheckTarget(*e, "for..in");
        auto s = std::make_unique<SForIn>(pos);
        s->Target = std::move(e);
        return ForInRest(std::move(s), open);
      }
      init = std::make_unique<SExpression>(exprPos, std::move(e));
    }
    auto s = std::make_unique<SFor>(pos);
    s->Init = std::move(init);
    Expect(TTok::Semicolon);
    if (!Is(TTok::Semicolon)) s->Test = Expression();
    Expect(TTok::Semicolon);
    if (!Is(TTok::RParen)) s->Update = Expression();
    Close(TTok::RParen, open);
    s->Body = Statement();
    return s;
  }

  TStmtPtr ForInRest(std::unique_ptr<SForIn> s, const TToken& open) {
    Expect(TTok::In);
    s->Object = Expression();
    Close(TTok::RParen, open);
    s->Body = Statement();
    return s;
  }

  TStmtPtr Try() {
    auto s = std::make_unique<STry>(Next().Pos);
    s->Block = BlockBody();
    if (Is(TTok::Catch)) {
      Next();
      const TToken open = Expect(TTok::LParen);
      s->HasCatch = true;
      s->CatchPos = Peek().Pos;
      s->CatchName = Identifier("the name of the caught value");
      if (Is(TTok::Colon) || Is(TTok::If))
        Fail(Peek().Pos, "typed and conditional catch clauses are not supported");
      Close(TTok::RParen, open);
      s->Catch = BlockBody();
    }
    if (Accept(TTok::Finally)) {
      s->HasFinally = true;
      s->Finally = BlockBody();
    }
    if (!s->HasCatch && !s->HasFinally) Unexpected(Peek(), "'catch' or 'finally' after the try block");
    return s;
  }

  TStmtPtr Switch() {
    auto s = std::make_unique<SSwitch>(Next().Pos);
    s->Discriminant = Condition();
    const TToken open = Expect(TTok::LBrace);
    bool hasDefault = false;
    while (!Is(TTok::RBrace)) {
      if (Is(TTok::End)) Close(TTok::RBrace, open);
      TCase c;
      c.Pos = Peek().Pos;
      if (Accept(TTok::Case)) {
        c.Test = Expression();
      } else if (Is(TTok::Default)) {
        if (hasDefault) Fail(c.Pos, "a switch has at most one 'default'");
        hasDefault = true;
        Next();
      } else {
        Unexpected(Peek(), "'case' or 'default'");
      }
      Expect(TTok::Colon);
      while (!Is(TTok::Case) && !Is(TTok::Default) && !Is(TTok::RBrace)) {
        if (Is(TTok::End)) Close(TTok::RBrace, open);
        c.Body.push_back(Statement());
      }
      s->Cases.push_back(std::move(c));
    }
    Next();
    return s;
  }

  // After the 'function' keyword: [name] ( params ) { body }
  // Without a body (an interface's methods) the declaration ends with ';'.
  std::unique_ptr<TFunction> Function(TSourcePos pos, bool isExpression, bool bodyless = false) {
    auto fn = std::make_unique<TFunction>();
    fn->Pos = pos;
    fn->IsExpression = isExpression;
    if (Is(TTok::Identifier)) fn->Name = Next().Text;
    else if (!isExpression) Unexpected(Peek(), "the function's name");
    const TToken open = Expect(TTok::LParen);
    if (!Is(TTok::RParen)) {
      do {
        TParam p;
        p.Pos = Peek().Pos;
        p.Name = Identifier("a parameter name");
        TypeAnnotation();
        fn->Params.push_back(std::move(p));
      } while (Accept(TTok::Comma));
    }
    Close(TTok::RParen, open);
    TypeAnnotation();
    if (bodyless) {
      Semicolon();
      return fn;
    }
    fn->Body = BlockBody();
    return fn;
  }

  // ---- expressions

  TExprPtr Expression() {
    auto first = Assignment();
    if (!Is(TTok::Comma)) return first;
    auto seq = std::make_unique<ESequence>(first->Pos);
    seq->Items.push_back(std::move(first));
    while (Accept(TTok::Comma)) seq->Items.push_back(Assignment());
    return seq;
  }

  static void CheckTargetKind(const TExpr& e, const std::string& op, TLexer& lex) {
    switch (e.Kind) {
      case TExprKind::Identifier:
      case TExprKind::Member:
      case TExprKind::Index:
        return;
      case TExprKind::Number:
      case TExprKind::String:
      case TExprKind::Bool:
      case TExprKind::Null:
        lex.Fail(e.Pos, "cannot assign to a literal (the target of " + op + ")");
      case TExprKind::This:
        lex.Fail(e.Pos, "cannot assign to 'this'");
      default:
        lex.Fail(e.Pos, "cannot assign to this expression: the target of " + op +
                            " must be a variable, a property or an element");
    }
  }
  void CheckTarget(const TExpr& e, const std::string& op) { CheckTargetKind(e, op, FLex); }

  TExprPtr Assignment() {
    TDepth depth(*this, Peek().Pos);
    auto left = Conditional();
    if (!IsAssignment(Peek().Kind)) return left;
    const TToken op = Next();
    CheckTarget(*left, TokenKindText(op.Kind));
    auto value = Assignment();
    const bool compound = op.Kind != TTok::Assign;
    return std::make_unique<EAssign>(op.Pos, compound, BinaryOpOf(op.Kind), std::move(left),
                                     std::move(value));
  }

  TExprPtr Conditional() {
    auto test = Binary(1);
    if (!Is(TTok::Question)) return test;
    const TSourcePos pos = Next().Pos;
    auto then = Assignment();
    Expect(TTok::Colon);
    auto otherwise = Assignment();
    return std::make_unique<EConditional>(pos, std::move(test), std::move(then), std::move(otherwise));
  }

  // Precedence climbing; the operators of one level associate to the left. Each operator of a
  // chain deepens the tree, so it counts as a level of nesting.
  TExprPtr Binary(int minPrecedence) {
    auto left = Unary();
    TDepth depth(*this);
    for (;;) {
      const TTok kind = Peek().Kind;
      const int p = Precedence(kind);
      if (p == 0 || p < minPrecedence) return left;
      const TSourcePos pos = Next().Pos;
      depth.Add(pos);
      auto right = Binary(p + 1);
      if (kind == TTok::AmpAmp || kind == TTok::PipePipe)
        left = std::make_unique<ELogical>(pos, kind == TTok::AmpAmp, std::move(left), std::move(right));
      else
        left = std::make_unique<EBinary>(pos, BinaryOpOf(kind), std::move(left), std::move(right));
    }
  }

  TExprPtr Unary() {
    TDepth depth(*this);
    const TToken& t = Peek();
    const TSourcePos pos = t.Pos;
    TUnaryOp op;
    switch (t.Kind) {
      case TTok::Bang: op = TUnaryOp::Not; break;
      case TTok::Minus: op = TUnaryOp::Negate; break;
      case TTok::Plus: op = TUnaryOp::Plus; break;
      case TTok::Tilde: op = TUnaryOp::BitNot; break;
      case TTok::TypeOf: op = TUnaryOp::TypeOf; break;
      case TTok::Void: op = TUnaryOp::Void; break;
      case TTok::Delete: op = TUnaryOp::Delete; break;
      case TTok::PlusPlus:
      case TTok::MinusMinus: {
        const bool increment = t.Kind == TTok::PlusPlus;
        const std::string name = TokenKindText(t.Kind);
        depth.Add(pos);
        Next();
        auto target = Unary();
        CheckTarget(*target, name);
        return std::make_unique<EUpdate>(pos, increment, true, std::move(target));
      }
      default:
        return Postfix();
    }
    depth.Add(pos);
    Next();
    auto operand = Unary();
    // A negative number is one literal.
    if (op == TUnaryOp::Negate && operand->Kind == TExprKind::Number) {
      As<ENumber>(*operand).Value = -As<ENumber>(*operand).Value;
      operand->Pos = pos;
      return operand;
    }
    return std::make_unique<EUnary>(pos, op, std::move(operand));
  }

  TExprPtr Postfix() {
    auto e = LeftHandSide();
    const TToken& t = Peek();
    if ((t.Kind == TTok::PlusPlus || t.Kind == TTok::MinusMinus) && !t.NewlineBefore) {
      const std::string name = TokenKindText(t.Kind);
      CheckTarget(*e, name);
      const TToken op = Next();
      return std::make_unique<EUpdate>(op.Pos, op.Kind == TTok::PlusPlus, false, std::move(e));
    }
    return e;
  }

  std::vector<TExprPtr> Arguments() {
    const TToken open = Expect(TTok::LParen);
    std::vector<TExprPtr> args;
    if (!Is(TTok::RParen)) {
      do args.push_back(Assignment());
      while (Accept(TTok::Comma));
    }
    Close(TTok::RParen, open);
    return args;
  }

  // Member accesses, calls and `new`, as a chain: each link deepens the tree.
  TExprPtr LeftHandSide() {
    TDepth depth(*this);
    TExprPtr e;
    if (Is(TTok::New)) {
      e = New(depth);
    } else {
      e = Primary();
    }
    for (;;) {
      if (MemberSuffix(e, depth)) continue;
      const TToken& t = Peek();
      if (t.Kind != TTok::LParen) return e;
      depth.Add(t.Pos);
      auto call = std::make_unique<ECall>(t.Pos, std::move(e));
      call->Args = Arguments();
      e = std::move(call);
    }
  }

  // One `.name` or `[index]` after e, if the next token opens one.
  bool MemberSuffix(TExprPtr& e, TDepth& depth) {
    const TToken& t = Peek();
    if (t.Kind == TTok::Dot) {
      depth.Add(t.Pos);
      Next();
      if (!IsWord(Peek().Kind)) Unexpected(Peek(), "a property name after '.'");
      const TToken name = Next();
      e = std::make_unique<EMember>(name.Pos, std::move(e), name.Text);
      return true;
    }
    if (t.Kind == TTok::LBracket) {
      depth.Add(t.Pos);
      const TToken open = Next();
      auto index = Expression();
      Close(TTok::RBracket, open);
      e = std::make_unique<EIndex>(open.Pos, std::move(e), std::move(index));
      return true;
    }
    return false;
  }

  // new Callee[(args)]: the callee is a member chain without calls; `new new X()()` nests.
  TExprPtr New(TDepth& depth) {
    const TSourcePos pos = Next().Pos;
    depth.Add(pos);
    TExprPtr callee;
    if (Is(TTok::New)) callee = New(depth);
    else callee = Primary();
    while (MemberSuffix(callee, depth)) {
    }
    auto e = std::make_unique<ENew>(pos, std::move(callee));
    if (Is(TTok::LParen)) e->Args = Arguments();
    return e;
  }

  TExprPtr Primary() {
    const TToken& t = Peek();
    const TSourcePos pos = t.Pos;
    switch (t.Kind) {
      case TTok::Number: return std::make_unique<ENumber>(pos, Next().Number);
      case TTok::String: return std::make_unique<EString>(pos, Next().Text);
      case TTok::True: Next(); return std::make_unique<EBool>(pos, true);
      case TTok::False: Next(); return std::make_unique<EBool>(pos, false);
      case TTok::Null: Next(); return std::make_unique<ENull>(pos);
      case TTok::This: Next(); return std::make_unique<EThis>(pos);
      case TTok::Identifier: return std::make_unique<EIdentifier>(pos, Next().Text);
      case TTok::Function: {
        Next();
        return std::make_unique<EFunction>(pos, Function(pos, true));
      }
      case TTok::LParen: {
        const TToken open = Next();
        auto e = Expression();
        Close(TTok::RParen, open);
        return e;
      }
      case TTok::LBracket: return ArrayLiteral();
      case TTok::LBrace: return ObjectLiteral();
      case TTok::Reserved: ReservedWord(t);
      case TTok::End: Fail(pos, "unexpected end of the file: an expression is missing");
      default: Unexpected(t, "an expression");
    }
  }

  TExprPtr ArrayLiteral() {
    const TToken open = Next();
    auto a = std::make_unique<EArray>(open.Pos);
    while (!Is(TTok::RBracket)) {
      if (Is(TTok::End)) Close(TTok::RBracket, open);
      if (Is(TTok::Comma)) {
        Next();
        a->Elements.push_back(nullptr);
        continue;
      }
      a->Elements.push_back(Assignment());
      if (!Is(TTok::RBracket)) {
        if (!Is(TTok::Comma)) Close(TTok::RBracket, open);
        Next();
      }
    }
    Next();
    return a;
  }

  TExprPtr ObjectLiteral() {
    const TToken open = Next();
    auto o = std::make_unique<EObject>(open.Pos);
    while (!Is(TTok::RBrace)) {
      if (Is(TTok::End)) Close(TTok::RBrace, open);
      TProperty p;
      p.Pos = Peek().Pos;
      const TToken key = Next();
      if (IsWord(key.Kind) || key.Kind == TTok::String) p.Name = key.Text;
      else if (key.Kind == TTok::Number) p.Name = NumberName(key.Number);
      else Unexpected(key, "a property name");
      Expect(TTok::Colon);
      p.Value = Assignment();
      o->Properties.push_back(std::move(p));
      if (!Is(TTok::RBrace)) {
        if (!Is(TTok::Comma)) Close(TTok::RBrace, open);
        Next();
        if (Is(TTok::RBrace)) Unexpected(Peek(), "a property name after ','");
      }
    }
    Next();
    return o;
  }

  TLexer FLex;
  size_t FDepth = 0;
  std::vector<TTypeRef> FTypes;
};

}  // namespace

// Out of line: the scopes are complete here.
EFunction::EFunction(TSourcePos pos, std::unique_ptr<TFunction> fn)
    : TExpr(TExprKind::Function, pos), Fn(std::move(fn)) {}
EFunction::~EFunction() = default;
SFunction::SFunction(TSourcePos pos, std::unique_ptr<TFunction> fn)
    : TStmt(TStmtKind::Function, pos), Fn(std::move(fn)) {}
SFunction::~SFunction() = default;
SClass::SClass(TSourcePos pos) : TStmt(TStmtKind::Class, pos) {}
SClass::~SClass() = default;
TFunction::TFunction() = default;
TFunction::~TFunction() = default;
TProgram::TProgram() = default;
TProgram::~TProgram() = default;
TProgram::TProgram(TProgram&&) noexcept = default;
TProgram& TProgram::operator=(TProgram&&) noexcept = default;

TProgram ParseProgram(std::string_view text, std::string_view sourceName, TSourcePos start) {
  TParser parser(text, sourceName, start);
  return parser.Program();
}

TProgram ParseClassFile(std::string_view text, std::string_view sourceName, TSourcePos start,
                        const std::string& className) {
  TParser parser(text, sourceName, start);
  return parser.ClassFile(className);
}

}  // namespace tw::asc
