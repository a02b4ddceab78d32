#include "asc/scopes.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "util/text.h"

namespace tw::asc {
namespace {

// A statement that break or continue may leave, or a block record a jump cannot leave directly.
struct TControl {
  enum class TKind : uint8_t { Loop, Switch, Labeled, Block };
  TKind Kind;
  const TStmt* Target;                 // what a jump out of this entry names as its target
  std::vector<std::string> Labels;
  bool* NeedsExitFlag = nullptr;       // for a Block: set when a jump leaves it
};

bool IsLoop(TStmtKind k) {
  return k == TStmtKind::While || k == TStmtKind::DoWhile || k == TStmtKind::For ||
         k == TStmtKind::ForIn;
}

class TResolver {
 public:
  TResolver(int version, const TSourceNames& sources, TClassFinder* classes)
      : FCaseless(version <= 6), FRegisters(version >= 7), FSources(sources), FClasses(classes) {}

  void Program(TProgram& program) {
    program.Scope = std::make_unique<TFunctionScope>();
    FScope = program.Scope.get();
    Collect(program.Body);
    Statements(program.Body);
  }

 private:
  [[noreturn]] void Fail(TSourcePos pos, std::string message) const {
    throw ECompileError(FSources, pos, std::move(message));
  }

  std::string Key(std::string_view name) const {
    return FCaseless ? ToLowerAscii(name) : std::string(name);
  }
  bool NameIs(std::string_view name, std::string_view word) const {
    return FCaseless ? ToLowerAscii(name) == ToLowerAscii(word) : name == word;
  }

  TBinding* Declare(TFunctionScope& scope, const std::string& name, TSourcePos pos,
                    TBinding::TKind kind) {
    const std::string key = Key(name);
    if (auto it = scope.ByKey.find(key); it != scope.ByKey.end()) {
      // A function declaration gives an earlier var its value; a param stays a param.
      if (kind == TBinding::TKind::Function && it->second->Kind == TBinding::TKind::Var)
        it->second->Kind = kind;
      return it->second;
    }
    auto b = std::make_unique<TBinding>();
    b->Name = name;
    b->Pos = pos;
    b->Kind = kind;
    b->Owner = &scope;
    TBinding* raw = b.get();
    scope.Bindings.push_back(std::move(b));
    scope.ByKey.emplace(key, raw);
    return raw;
  }

  TBinding* Lookup(const std::string& name) const {
    const std::string key = Key(name);
    for (TFunctionScope* s = FScope; s; s = s->Parent)
      if (auto it = s->ByKey.find(key); it != s->ByKey.end()) return it->second;
    return nullptr;
  }

  // ---- declarations: var, function statements and catch names belong to the whole function

  void Collect(TStmtList& list) {
    for (auto& s : list) Collect(*s);
  }

  void Collect(TStmt& s) {
    switch (s.Kind) {
      case TStmtKind::Var:
        for (auto& d : As<SVar>(s).Decls) Declare(*FScope, d.Name, d.Pos, TBinding::TKind::Var);
        break;
      case TStmtKind::Function: {
        TFunction& fn = *As<SFunction>(s).Fn;
        Declare(*FScope, fn.Name, fn.Pos, TBinding::TKind::Function);
        FScope->Declarations.push_back(&fn);
        break;
      }
      case TStmtKind::Block: Collect(As<SBlock>(s).Body); break;
      case TStmtKind::If:
        Collect(*As<SIf>(s).Then);
        if (As<SIf>(s).Else) Collect(*As<SIf>(s).Else);
        break;
      case TStmtKind::While: Collect(*As<SWhile>(s).Body); break;
      case TStmtKind::DoWhile: Collect(*As<SDoWhile>(s).Body); break;
      case TStmtKind::For:
        if (As<SFor>(s).Init) Collect(*As<SFor>(s).Init);
        Collect(*As<SFor>(s).Body);
        break;
      case TStmtKind::ForIn: {
        auto& f = As<SForIn>(s);
        if (f.DeclaresVar)
          Declare(*FScope, As<EIdentifier>(*f.Target).Name, f.Target->Pos, TBinding::TKind::Var);
        Collect(*f.Body);
        break;
      }
      case TStmtKind::Try: {
        auto& t = As<STry>(s);
        Collect(t.Block);
        // The player keeps the caught value in a variable of the function (or a register).
        if (t.HasCatch) Declare(*FScope, t.CatchName, t.CatchPos, TBinding::TKind::Catch);
        Collect(t.Catch);
        Collect(t.Finally);
        break;
      }
      case TStmtKind::Switch:
        for (auto& c : As<SSwitch>(s).Cases) Collect(c.Body);
        break;
      case TStmtKind::Labeled: Collect(*As<SLabeled>(s).Body); break;
      case TStmtKind::TellTarget: Collect(*As<STellTarget>(s).Body); break;
      case TStmtKind::IfFrameLoaded: Collect(*As<SIfFrameLoaded>(s).Body); break;
      case TStmtKind::With: Collect(*As<SWith>(s).Body); break;
      default: break;
    }
  }

  // ---- functions

  void Function(TFunction& fn) {
    auto scope = std::make_unique<TFunctionScope>();
    scope->Parent = FScope;
    scope->Function = &fn;
    TFunctionScope* const outer = FScope;
    std::vector<TControl> outerControls = std::move(FControls);
    FControls.clear();
    FScope = scope.get();

    for (auto& p : fn.Params) p.Binding = Declare(*FScope, p.Name, p.Pos, TBinding::TKind::Param);
    Collect(fn.Body);
    // A function expression's name names the function inside it, unless something there
    // declares the name for itself.
    if (fn.IsExpression && !fn.Name.empty() && !FScope->ByKey.contains(Key(fn.Name)))
      FScope->SelfBinding = Declare(*FScope, fn.Name, fn.Pos, TBinding::TKind::SelfName);
    Statements(fn.Body);
    if (FScope->SelfBinding && FScope->SelfBinding->Referenced) FScope->UsesArguments = true;
    AllocateRegisters(*FScope);

    FScope = outer;
    FControls = std::move(outerControls);
    fn.Scope = std::move(scope);
  }

  void AllocateRegisters(TFunctionScope& s) const {
    if (!FRegisters) return;
    s.UsesRegisters = true;
    int r = 1;
    if (!s.Dynamic) {
      // The player hands out preloaded registers in this order.
      if (s.UsesThis) s.ThisRegister = static_cast<uint8_t>(r++);
      if (s.UsesArguments) s.ArgumentsRegister = static_cast<uint8_t>(r++);
      if (s.UsesRoot) s.RootRegister = static_cast<uint8_t>(r++);
      if (s.UsesParent) s.ParentRegister = static_cast<uint8_t>(r++);
      if (s.UsesGlobal) s.GlobalRegister = static_cast<uint8_t>(r++);
    }
    if (!s.Dynamic && !s.DynamicInner) {
      for (auto& b : s.Bindings) {
        if (b->Captured || b->Deleted) continue;
        if (r > kMaxRegister - kTemporaryRegisters) break;
        b->Register = static_cast<uint8_t>(r++);
      }
    }
    s.FirstTemporary = r;
  }

  void MarkDynamic() {
    FScope->Dynamic = true;
    for (TFunctionScope* s = FScope->Parent; s; s = s->Parent) s->DynamicInner = true;
  }

  // ---- statements

  void Statements(TStmtList& list) {
    for (auto& s : list) Statement(*s, {});
  }

  bool LabelInUse(const std::string& label) const {
    for (const auto& c : FControls)
      if (std::find(c.Labels.begin(), c.Labels.end(), label) != c.Labels.end()) return true;
    return false;
  }

  void Body(TStmt& s, TControl control) {
    FControls.push_back(std::move(control));
    Statement(s, {});
    FControls.pop_back();
  }

  void Statement(TStmt& s, std::vector<std::string> labels) {
    switch (s.Kind) {
      case TStmtKind::Expression: Expr(As<SExpression>(s).Expr); break;
      case TStmtKind::Var:
        for (auto& d : As<SVar>(s).Decls) {
          d.Binding = Lookup(d.Name);
          if (d.Init) {
            Expr(d.Init);
            Reference(d.Binding);
          }
        }
        break;
      case TStmtKind::Function: Function(*As<SFunction>(s).Fn); break;
      case TStmtKind::Block: Statements(As<SBlock>(s).Body); break;
      case TStmtKind::Empty: break;
      case TStmtKind::If: {
        auto& i = As<SIf>(s);
        Expr(i.Test);
        Statement(*i.Then, {});
        if (i.Else) Statement(*i.Else, {});
        break;
      }
      case TStmtKind::While: {
        auto& w = As<SWhile>(s);
        Expr(w.Test);
        Body(*w.Body, {TControl::TKind::Loop, &s, std::move(labels)});
        break;
      }
      case TStmtKind::DoWhile: {
        auto& d = As<SDoWhile>(s);
        Body(*d.Body, {TControl::TKind::Loop, &s, std::move(labels)});
        Expr(d.Test);
        break;
      }
      case TStmtKind::For: {
        auto& f = As<SFor>(s);
        if (f.Init) Statement(*f.Init, {});
        if (f.Test) Expr(f.Test);
        if (f.Update) Expr(f.Update);
        Body(*f.Body, {TControl::TKind::Loop, &s, std::move(labels)});
        break;
      }
      case TStmtKind::ForIn: {
        auto& f = As<SForIn>(s);
        Expr(f.Object);
        Target(f.Target);
        Body(*f.Body, {TControl::TKind::Loop, &s, std::move(labels)});
        break;
      }
      case TStmtKind::Break:
      case TStmtKind::Continue: Jump(As<SJump>(s)); break;
      case TStmtKind::Return:
        if (FScope->IsProgram()) Fail(s.Pos, "'return' outside a function");
        if (As<SReturn>(s).Value) Expr(As<SReturn>(s).Value);
        break;
      case TStmtKind::Throw: Expr(As<SThrow>(s).Value); break;
      case TStmtKind::Try: {
        auto& t = As<STry>(s);
        FControls.push_back({TControl::TKind::Block, &s, {}, &t.NeedsExitFlag});
        Statements(t.Block);
        if (t.HasCatch) {
          t.CatchBinding = Lookup(t.CatchName);
          Reference(t.CatchBinding);
        }
        Statements(t.Catch);
        Statements(t.Finally);
        FControls.pop_back();
        break;
      }
      case TStmtKind::Switch: {
        auto& sw = As<SSwitch>(s);
        Expr(sw.Discriminant);
        FControls.push_back({TControl::TKind::Switch, &s, std::move(labels)});
        for (auto& c : sw.Cases) {
          if (c.Test) Expr(c.Test);
          Statements(c.Body);
        }
        FControls.pop_back();
        break;
      }
      case TStmtKind::Labeled: {
        auto& l = As<SLabeled>(s);
        if (LabelInUse(l.Label) ||
            std::find(labels.begin(), labels.end(), l.Label) != labels.end())
          Fail(s.Pos, "the label '" + l.Label + "' is already in use here");
        labels.push_back(l.Label);
        // The labels of a loop or switch name it; any other statement is left by break only, and
        // the innermost label statement stands for it.
        TStmt& body = *l.Body;
        if (IsLoop(body.Kind) || body.Kind == TStmtKind::Switch || body.Kind == TStmtKind::Labeled) {
          Statement(body, std::move(labels));
        } else {
          FControls.push_back({TControl::TKind::Labeled, &s, std::move(labels)});
          Statement(body, {});
          FControls.pop_back();
        }
        break;
      }
      case TStmtKind::Import: break;
      case TStmtKind::TellTarget:
        Expr(As<STellTarget>(s).Target);
        Statement(*As<STellTarget>(s).Body, {});
        break;
      case TStmtKind::IfFrameLoaded:
        Expr(As<SIfFrameLoaded>(s).Frame);
        Statement(*As<SIfFrameLoaded>(s).Body, {});
        break;
      case TStmtKind::Class: {
        auto& c = As<SClass>(s);
        if (c.Constructor) Function(*c.Constructor);
        for (auto& m : c.Members) {
          if (m.Init) Expr(m.Init);
          if (m.Fn && !c.IsInterface) Function(*m.Fn);
        }
        break;
      }
      case TStmtKind::With: {
        auto& w = As<SWith>(s);
        Expr(w.Object);
        MarkDynamic();
        FControls.push_back({TControl::TKind::Block, &s, {}, &w.NeedsExitFlag});
        Statement(*w.Body, {});
        FControls.pop_back();
        break;
      }
    }
  }

  void Jump(SJump& j) {
    const bool isBreak = j.Kind == TStmtKind::Break;
    std::vector<bool*> crossed;
    for (size_t i = FControls.size(); i-- > 0;) {
      TControl& c = FControls[i];
      if (c.Kind == TControl::TKind::Block) {
        crossed.push_back(c.NeedsExitFlag);
        continue;
      }
      bool found = false;
      if (j.Label.empty()) {
        found = c.Kind == TControl::TKind::Loop || (isBreak && c.Kind == TControl::TKind::Switch);
      } else if (std::find(c.Labels.begin(), c.Labels.end(), j.Label) != c.Labels.end()) {
        if (!isBreak && c.Kind != TControl::TKind::Loop)
          Fail(j.Pos, "'continue " + j.Label + "': the label does not name a loop");
        found = true;
      }
      if (found) {
        j.Target = c.Target;
        for (bool* flag : crossed) *flag = true;
        return;
      }
    }
    if (!j.Label.empty())
      Fail(j.Pos, "'" + std::string(isBreak ? "break" : "continue") + " " + j.Label +
                      "': no enclosing statement has the label '" + j.Label + "'");
    Fail(j.Pos, isBreak ? "'break' outside a loop or switch" : "'continue' outside a loop");
  }

  // ---- expressions

  void Reference(TBinding* b) {
    if (!b) return;
    b->Referenced = true;
    if (b->Owner != FScope && !b->Owner->IsProgram()) b->Captured = true;
  }

  // The target of an assignment, an update, a for..in or a delete: a name stays a name there.
  void Target(TExprPtr& e) {
    if (e->Kind != TExprKind::Identifier) {
      Expr(e);
      return;
    }
    auto& id = As<EIdentifier>(*e);
    id.Binding = Lookup(id.Name);
    Reference(id.Binding);
    if (!id.Binding) {
      if (TExprPtr member = MemberAccess(id.Name, e->Pos)) {
        e = std::move(member);
        Expr(e);
      }
    }
  }

  // A member of the class whose method this is (or of one it extends), by its name alone.
  TExprPtr MemberAccess(const std::string& name, TSourcePos pos) const {
    for (const TFunctionScope* s = FScope; s; s = s->Parent) {
      if (!s->Function || !s->Function->Members) continue;
      const TMemberNames& m = *s->Function->Members;
      const auto it = m.Static.find(name);
      if (it == m.Static.end()) return nullptr;
      TExprPtr owner = it->second ? ClassPath(m.ClassName, pos) : std::make_unique<EThis>(pos);
      return std::make_unique<EMember>(pos, std::move(owner), name);
    }
    return nullptr;
  }

  // a.b.C when every part is a plain name and the first names nothing declared.
  std::optional<std::string> DottedName(const TExpr& e) const {
    if (e.Kind == TExprKind::Identifier) {
      const auto& id = As<EIdentifier>(e);
      if (Lookup(id.Name) || MemberAccess(id.Name, e.Pos)) return std::nullopt;
      return id.Name;
    }
    if (e.Kind != TExprKind::Member) return std::nullopt;
    auto object = DottedName(*As<EMember>(e).Object);
    if (!object) return std::nullopt;
    return *object + "." + As<EMember>(e).Name;
  }

  void Identifier(TExprPtr& slot) {
    auto& id = As<EIdentifier>(*slot);
    if (TBinding* b = Lookup(id.Name)) {
      id.Binding = b;
      Reference(b);
      return;
    }
    if (TExprPtr member = MemberAccess(id.Name, slot->Pos)) {
      slot = std::move(member);
      Expr(slot);
      return;
    }
    if (id.Name == "super") {
      id.Special = TSpecialName::Super;
      FScope->UsesSuper = true;
      return;
    }
    if (FClasses && !NameIs(id.Name, "undefined") && !NameIs(id.Name, "NaN") &&
        !NameIs(id.Name, "Infinity")) {
      if (auto qualified = FClasses->FindClass(id.Name, slot->Pos)) {
        slot = ClassPath(*qualified, slot->Pos);
        Expr(slot);
        return;
      }
    }
    if (NameIs(id.Name, "undefined")) {
      slot = std::make_unique<EUndefined>(slot->Pos);
    } else if (NameIs(id.Name, "NaN")) {
      slot = std::make_unique<ENumber>(slot->Pos, std::numeric_limits<double>::quiet_NaN());
    } else if (NameIs(id.Name, "Infinity")) {
      slot = std::make_unique<ENumber>(slot->Pos, HUGE_VAL);
    } else if (!FScope->IsProgram()) {
      // Each function has its own; at the script's level they are plain names.
      if (NameIs(id.Name, "arguments")) {
        id.Special = TSpecialName::Arguments;
        FScope->UsesArguments = true;
      } else if (NameIs(id.Name, "_root")) {
        id.Special = TSpecialName::Root;
        FScope->UsesRoot = true;
      } else if (NameIs(id.Name, "_parent")) {
        id.Special = TSpecialName::Parent;
        FScope->UsesParent = true;
      } else if (NameIs(id.Name, "_global")) {
        id.Special = TSpecialName::Global;
        FScope->UsesGlobal = true;
      }
    }
  }

  void Exprs(std::vector<TExprPtr>& list) {
    for (auto& e : list)
      if (e) Expr(e);
  }

  void Expr(TExprPtr& e) {
    switch (e->Kind) {
      case TExprKind::Number:
      case TExprKind::String:
      case TExprKind::Bool:
      case TExprKind::Null:
      case TExprKind::Undefined:
        break;
      case TExprKind::This: FScope->UsesThis = true; break;
      case TExprKind::Identifier: Identifier(e); break;
      case TExprKind::Array: Exprs(As<EArray>(*e).Elements); break;
      case TExprKind::Object:
        for (auto& p : As<EObject>(*e).Properties) Expr(p.Value);
        break;
      case TExprKind::Function: Function(*As<EFunction>(*e).Fn); break;
      case TExprKind::Member:
        if (FClasses) {
          if (auto dotted = DottedName(*e)) {
            if (auto qualified = FClasses->FindClass(*dotted, e->Pos)) {
              e = ClassPath(*qualified, e->Pos);
              Expr(As<EMember>(*e).Object);
              break;
            }
          }
        }
        Expr(As<EMember>(*e).Object);
        break;
      case TExprKind::Index:
        Expr(As<EIndex>(*e).Object);
        Expr(As<EIndex>(*e).Index);
        break;
      case TExprKind::Call: {
        auto& c = As<ECall>(*e);
        if (c.Callee->Kind == TExprKind::Identifier) {
          const auto& name = As<EIdentifier>(*c.Callee).Name;
          if ((NameIs(name, "eval") || NameIs(name, "set")) && !Lookup(name)) MarkDynamic();
        }
        Expr(c.Callee);
        Exprs(c.Args);
        break;
      }
      case TExprKind::New:
        Expr(As<ENew>(*e).Callee);
        Exprs(As<ENew>(*e).Args);
        break;
      case TExprKind::Unary: {
        auto& u = As<EUnary>(*e);
        if (u.Op == TUnaryOp::Delete) Target(u.Operand);
        else Expr(u.Operand);
        if (u.Op == TUnaryOp::Delete && u.Operand->Kind == TExprKind::Identifier)
          if (TBinding* b = As<EIdentifier>(*u.Operand).Binding) b->Deleted = true;
        break;
      }
      case TExprKind::Update: Target(As<EUpdate>(*e).Target); break;
      case TExprKind::Binary:
        Expr(As<EBinary>(*e).Left);
        Expr(As<EBinary>(*e).Right);
        break;
      case TExprKind::Logical:
        Expr(As<ELogical>(*e).Left);
        Expr(As<ELogical>(*e).Right);
        break;
      case TExprKind::Conditional: {
        auto& c = As<EConditional>(*e);
        Expr(c.Test);
        Expr(c.Then);
        Expr(c.Else);
        break;
      }
      case TExprKind::Assign:
        Target(As<EAssign>(*e).Target);
        Expr(As<EAssign>(*e).Value);
        break;
      case TExprKind::Sequence: Exprs(As<ESequence>(*e).Items); break;
    }
  }

  const bool FCaseless;
  const bool FRegisters;
  const TSourceNames& FSources;
  TClassFinder* const FClasses;
  TFunctionScope* FScope = nullptr;
  std::vector<TControl> FControls;
};

}  // namespace

TExprPtr ClassPath(const std::string& qualified, TSourcePos pos) {
  TExprPtr e = std::make_unique<EIdentifier>(pos, "_global");
  size_t start = 0;
  for (;;) {
    const size_t dot = qualified.find('.', start);
    e = std::make_unique<EMember>(pos, std::move(e), qualified.substr(start, dot - start));
    if (dot == std::string::npos) return e;
    start = dot + 1;
  }
}

void ResolveScopes(TProgram& program, int version, const TSourceNames& sources,
                   TClassFinder* classes) {
  TResolver(version, sources, classes).Program(program);
}

}  // namespace tw::asc
