#include "asc/codegen.h"

#include <algorithm>
#include <cmath>
#include <functional>

#include "asc/builtins.h"
#include "asc/scopes.h"

namespace tw::asc {
namespace {

using swf::TSWFActionTry;

// Global registers at the script's level and in DefineFunction functions: 0 and 1 for values
// written and read back at once, 2 and 3 for the exit flags of try statements.
constexpr uint8_t kScratch0 = 0, kScratch1 = 1, kFirstHeldGlobal = 2, kLastHeldGlobal = 3;

// A statement that break and continue leave or that needs work on the way out.
struct TControl {
  enum class TKind : uint8_t { Loop, ForIn, Switch, Labeled, With, Try, TellTarget };
  TKind Kind;
  const TStmt* Stmt = nullptr;
  TLabel Break = 0, Continue = 0;
  // With and Try: where a jump out of the current block lands, the register of the flag that
  // tells the code after the statement where the jump was going, and those destinations.
  TLabel BlockEnd = 0;
  uint8_t Flag = 0;
  struct TExit {
    const TStmt* Target;
    bool IsContinue;
  };
  std::vector<TExit> Exits;
};

// The function being compiled, or the script's level.
struct TFrame {
  const TFunctionScope* Scope = nullptr;
  bool Registers = false;  // a DefineFunction2 function with registers of its own
  int NextTemporary = 1;
  int MaxRegister = 0;
  int HeldGlobals = 0;
  std::vector<TControl> Controls;
};

class TCodeGen {
 public:
  explicit TCodeGen(TAssembler& a) : A(a), V(a.Version()) {}

  void Program(const TProgram* program, std::vector<std::string> pool,
               std::span<const SClass* const> classes) {
    A.At({1, 1});
    A.ConstantPool(std::move(pool));
    // Classes are defined at the level of a script, with nothing of their own there.
    TFunctionScope classLevel;
    TFrame frame;
    frame.Scope = &classLevel;
    FFrame = &frame;
    for (const SClass* c : classes) {
      A.At(c->Pos);
      Class(*c);
    }
    if (program) {
      frame.Scope = program->Scope.get();
      Declarations(*program->Scope);
      Statements(program->Body);
    }
    FFrame = nullptr;
  }

 private:
  // ---- helpers

  [[noreturn]] void Fail(TSourcePos pos, std::string message) const { A.Fail(pos, std::move(message)); }

  void Need(int version, TSourcePos pos, const std::string& what) const {
    if (V < version)
      Fail(pos, what + " needs Flash Player " + std::to_string(version) +
                    " or later; the script is compiled for version " + std::to_string(V));
  }

  const TFunctionScope& Scope() const { return *FFrame->Scope; }

  uint8_t AcquireTemporary(TSourcePos pos) {
    if (!FFrame->Registers) throw std::logic_error("a temporary register outside DefineFunction2");
    const int r = FFrame->NextTemporary++;
    if (r > kMaxRegister)
      Fail(pos, "this function needs more than " + std::to_string(kMaxRegister) +
                    " registers; split it into smaller functions");
    FFrame->MaxRegister = std::max(FFrame->MaxRegister, r);
    return static_cast<uint8_t>(r);
  }
  void ReleaseTemporary() { --FFrame->NextTemporary; }

  static bool IsSimple(const TExpr& e) {
    switch (e.Kind) {
      case TExprKind::Number:
      case TExprKind::String:
      case TExprKind::Bool:
      case TExprKind::Null:
      case TExprKind::Undefined:
      case TExprKind::This:
      case TExprKind::Identifier:
        return true;
      default:
        return false;
    }
  }

  // ---- names

  // The register a name lives in in the current function, or 0.
  uint8_t RegisterOf(const EIdentifier& id) const {
    if (id.Binding) return id.Binding->Owner == FFrame->Scope ? id.Binding->Register : 0;
    const TFunctionScope& s = Scope();
    switch (id.Special) {
      case TSpecialName::Arguments: return s.ArgumentsRegister;
      case TSpecialName::Root: return s.RootRegister;
      case TSpecialName::Parent: return s.ParentRegister;
      case TSpecialName::Global: return s.GlobalRegister;
      default: return 0;
    }
  }

  void GetName(const std::string& name) {
    A.PushString(name);
    A.Op(TOp::GetVariable);
  }

  void This() {
    if (uint8_t r = Scope().ThisRegister) A.PushRegister(r);
    else GetName("this");
  }

  void Arguments() {
    if (uint8_t r = Scope().ArgumentsRegister) A.PushRegister(r);
    else GetName("arguments");
  }

  // Pop the value unless it is used.
  void Result(bool used) {
    if (!used) A.Op(TOp::Pop);
  }

  // ---- declarations at the start of a scope

  void Declarations(const TFunctionScope& scope) {
    if (!scope.IsProgram()) {
      // Locals kept in variables exist from the start, so that an assignment before the `var`
      // statement does not reach a variable of the timeline.
      for (const auto& b : scope.Bindings) {
        if (b->Register || (b->Kind != TBinding::TKind::Var && b->Kind != TBinding::TKind::Catch))
          continue;
        A.At(b->Pos);
        A.PushString(b->Name);
        A.Op(TOp::DefineLocal2);
      }
      if (const TBinding* self = scope.SelfBinding; self && self->Referenced) {
        A.At(self->Pos);
        if (self->Register) {
          Arguments();
          A.PushString("callee");
          A.Op(TOp::GetMember);
          A.StoreRegister(self->Register);
          A.Op(TOp::Pop);
        } else {
          A.PushString(self->Name);
          Arguments();
          A.PushString("callee");
          A.Op(TOp::GetMember);
          A.Op(TOp::DefineLocal);
        }
      }
    }
    for (const TFunction* fn : scope.Declarations) {
      const TBinding* b = scope.ByKey.empty() ? nullptr : FindBinding(scope, fn->Name);
      A.At(fn->Pos);
      if (b && b->Register) {
        Function(*fn, "");
        A.StoreRegister(b->Register);
        A.Op(TOp::Pop);
      } else {
        // A named definition defines the variable itself and leaves nothing on the stack.
        Function(*fn, fn->Name);
      }
    }
  }

  static const TBinding* FindBinding(const TFunctionScope& scope, const std::string& name) {
    for (const auto& b : scope.Bindings)
      if (b->Name == name && b->Kind == TBinding::TKind::Function) return b.get();
    return nullptr;
  }

  // ---- functions

  void Function(const TFunction& fn, const std::string& name) {
    const TFunctionScope& scope = *fn.Scope;
    std::vector<std::string> params;
    params.reserve(fn.Params.size());
    for (const auto& p : fn.Params) params.push_back(p.Name);

    TFrame frame;
    frame.Scope = &scope;
    frame.Registers = scope.UsesRegisters;
    frame.NextTemporary = scope.FirstTemporary;
    frame.MaxRegister = scope.FirstTemporary - 1;

    swf::TSWFBranchAction* record;
    swf::TSWFActionDefineFunction2* f2 = nullptr;
    if (scope.UsesRegisters) {
      f2 = &A.DefineFunction2(name, params, 0);
      f2->PreloadThis = scope.ThisRegister != 0;
      f2->PreloadArguments = scope.ArgumentsRegister != 0;
      f2->PreloadRoot = scope.RootRegister != 0;
      f2->PreloadParent = scope.ParentRegister != 0;
      f2->PreloadGlobal = scope.GlobalRegister != 0;
      f2->SuppressThis = !scope.UsesThis && !scope.Dynamic;
      f2->SuppressArguments = !scope.UsesArguments && !scope.Dynamic;
      f2->SuppressSuper = !scope.Dynamic && !scope.UsesSuper;
      for (size_t i = 0; i < fn.Params.size(); ++i)
        f2->Params[i].Register = fn.Params[i].Binding ? fn.Params[i].Binding->Register : 0;
      record = f2;
    } else {
      record = &A.DefineFunction(name, params);
    }

    TFrame* const outer = FFrame;
    FFrame = &frame;
    Declarations(scope);
    Statements(fn.Body);
    FFrame = outer;

    if (f2) f2->RegisterCount = static_cast<uint8_t>(frame.MaxRegister + 1);
    A.At(fn.Pos);
    A.EndBlock(*record);
  }

  // ---- classes

  // The value of a dotted path on _global: `_global.a.b` (through GetMember from _global).
  void GlobalPath(const std::string& qualified, size_t parts) {
    GetName("_global");
    size_t start = 0;
    for (size_t i = 0; i < parts; ++i) {
      const size_t dot = qualified.find('.', start);
      A.PushString(qualified.substr(start, dot - start));
      A.Op(TOp::GetMember);
      start = dot + 1;
    }
  }
  static size_t Parts(const std::string& qualified) {
    return static_cast<size_t>(std::count(qualified.begin(), qualified.end(), '.')) + 1;
  }
  void Prototype(const std::string& qualified) {
    GlobalPath(qualified, Parts(qualified));
    A.PushString("prototype");
    A.Op(TOp::GetMember);
  }
  void Owner(const std::string& qualified, bool isStatic) {
    if (isStatic) GlobalPath(qualified, Parts(qualified));
    else Prototype(qualified);
  }

  // A class as the authoring tool of the time compiled it: the constructor on _global (in the
  // objects of its packages), made once, then its chain, interfaces and members; the members
  // of the prototype are hidden from for..in.
  void Class(const SClass& c) {
    Need(6, c.Pos, c.IsInterface ? "an interface" : "a class");
    const std::string& q = c.Name;
    const size_t parts = Parts(q);
    const std::string last = q.substr(q.rfind('.') + 1);
    // The package objects: _global.a = _global.a or a new object, and so on.
    size_t start = 0;
    for (size_t i = 1; i < parts; ++i) {
      const size_t dot = q.find('.', start);
      const TLabel made = SkipIfMade(q, i);
      GlobalPath(q, i - 1);
      A.PushString(q.substr(start, dot - start));
      NewEmptyObject();
      A.Op(TOp::SetMember);
      A.Bind(made);
      start = dot + 1;
    }
    const TLabel end = SkipIfMade(q, parts);

    // The constructor (the compiler gives every class and interface one).
    GlobalPath(q, parts - 1);
    A.PushString(last);
    if (c.Constructor) Function(*c.Constructor, "");
    else EmptyFunction();
    A.Op(TOp::SetMember);

    if (!c.BaseName.empty()) {
      if (V >= 7) {
        GlobalPath(q, parts);
        GlobalPath(c.BaseName, Parts(c.BaseName));
        A.Op(TOp::Extends);
      } else {
        // The chain by hand: a prototype whose __proto__ is the base's, with the base as its
        // __constructor__ (what super calls).
        GlobalPath(q, parts);
        A.PushString("prototype");
        NewEmptyObject();
        A.Op(TOp::SetMember);
        Prototype(q);
        A.PushString("__proto__");
        Prototype(c.BaseName);
        A.Op(TOp::SetMember);
        Prototype(q);
        A.PushString("__constructor__");
        GlobalPath(c.BaseName, Parts(c.BaseName));
        A.Op(TOp::SetMember);
      }
    }
    if (!c.InterfaceNames.empty() && V >= 7) {
      for (const std::string& i : c.InterfaceNames) GlobalPath(i, Parts(i));
      A.PushNumber(static_cast<double>(c.InterfaceNames.size()));
      GlobalPath(q, parts);
      A.Op(TOp::ImplementsOp);
    }

    // Members: values and methods, then the properties of get and set methods.
    std::vector<std::pair<std::string, bool>> properties;
    for (const TClassMember& m : c.Members) {
      if (c.IsInterface) break;
      A.At(m.Pos);
      if (m.Kind == TMemberKind::Var && !m.Init) continue;
      Owner(q, m.Static);
      std::string name = m.Name;
      if (m.Kind == TMemberKind::Getter || m.Kind == TMemberKind::Setter) {
        const std::pair<std::string, bool> property{m.Name, m.Static};
        if (std::find(properties.begin(), properties.end(), property) == properties.end())
          properties.push_back(property);
        name = (m.Kind == TMemberKind::Getter ? "__get__" : "__set__") + m.Name;
      }
      A.PushString(name);
      if (m.Kind == TMemberKind::Var) Expr(*m.Init);
      else Function(*m.Fn, "");
      A.Op(TOp::SetMember);
    }
    for (const auto& property : properties) {
      const std::string& name = property.first;
      const bool isStatic = property.second;
      const auto has = [&](TMemberKind kind) {
        return std::any_of(c.Members.begin(), c.Members.end(), [&](const TClassMember& m) {
          return m.Kind == kind && m.Name == name && m.Static == isStatic;
        });
      };
      // owner.addProperty(name, getter, setter): no setter makes the property read-only; a
      // property without a getter reads undefined.
      if (has(TMemberKind::Setter)) {
        Owner(q, isStatic);
        A.PushString("__set__" + name);
        A.Op(TOp::GetMember);
      } else {
        A.PushNull();
      }
      if (has(TMemberKind::Getter)) {
        Owner(q, isStatic);
        A.PushString("__get__" + name);
        A.Op(TOp::GetMember);
      } else {
        EmptyFunction();
      }
      A.PushString(name);
      A.PushNumber(3);
      Owner(q, isStatic);
      A.PushString("addProperty");
      A.Op(TOp::CallMethod);
      A.Op(TOp::Pop);
    }
    if (!c.IsInterface) {
      A.At(c.Pos);
      // ASSetPropFlags(prototype, null, 1): every member of the prototype hidden from for..in.
      A.PushNumber(1);
      A.PushNull();
      Prototype(q);
      A.PushNumber(3);
      A.PushString("ASSetPropFlags");
      A.Op(TOp::CallFunction);
      A.Op(TOp::Pop);
    }
    A.Bind(end);
  }

  // A jump over what follows when the path on _global holds something already.
  TLabel SkipIfMade(const std::string& qualified, size_t parts) {
    const TLabel skip = A.NewLabel();
    GlobalPath(qualified, parts);
    A.Op(TOp::Not);
    A.Op(TOp::Not);
    A.If(skip);
    return skip;
  }

  void NewEmptyObject() {
    A.PushNumber(0);
    A.PushString("Object");
    A.Op(TOp::NewObject);
  }

  void EmptyFunction() {
    auto& record = A.DefineFunction("", {});
    A.EndBlock(record);
  }

  // ---- statements

  void Statements(const TStmtList& list) {
    for (const auto& s : list) Statement(*s);
  }

  void Statement(const TStmt& s) {
    A.At(s.Pos);
    switch (s.Kind) {
      case TStmtKind::Expression: Expr(*As<SExpression>(s).Expr, false); break;
      case TStmtKind::Var: Var(As<SVar>(s)); break;
      case TStmtKind::Function: break;  // defined when its scope starts
      case TStmtKind::Block: Statements(As<SBlock>(s).Body); break;
      case TStmtKind::Empty: break;
      case TStmtKind::If: If(As<SIf>(s)); break;
      case TStmtKind::While: While(As<SWhile>(s)); break;
      case TStmtKind::DoWhile: DoWhile(As<SDoWhile>(s)); break;
      case TStmtKind::For: For(As<SFor>(s)); break;
      case TStmtKind::ForIn: ForIn(As<SForIn>(s)); break;
      case TStmtKind::Break:
      case TStmtKind::Continue: {
        const auto& j = As<SJump>(s);
        JumpTo(j.Target, j.Kind == TStmtKind::Continue);
        break;
      }
      case TStmtKind::Return: Return(As<SReturn>(s)); break;
      case TStmtKind::Throw:
        Need(7, s.Pos, "'throw'");
        Expr(*As<SThrow>(s).Value);
        A.Op(TOp::Throw);
        break;
      case TStmtKind::Try: Try(As<STry>(s)); break;
      case TStmtKind::Switch: Switch(As<SSwitch>(s)); break;
      case TStmtKind::Labeled: Labeled(As<SLabeled>(s)); break;
      case TStmtKind::With: With(As<SWith>(s)); break;
      case TStmtKind::Import: break;
      case TStmtKind::TellTarget: {
        const auto& t = As<STellTarget>(s);
        if (t.Target->Kind == TExprKind::String) {
          A.SetTarget(As<EString>(*t.Target).Value);
        } else {
          Expr(*t.Target);
          A.Op(TOp::SetTarget2);
        }
        TControl c;
        c.Kind = TControl::TKind::TellTarget;
        c.Stmt = &s;
        FFrame->Controls.push_back(std::move(c));
        Statement(*t.Body);
        PopControl();
        A.At(s.Pos);
        A.SetTarget("");
        break;
      }
      case TStmtKind::IfFrameLoaded: IfFrameLoaded(As<SIfFrameLoaded>(s)); break;
      case TStmtKind::Class: Class(As<SClass>(s)); break;
    }
  }

  void Var(const SVar& s) {
    for (const auto& d : s.Decls) {
      A.At(d.Pos);
      const TBinding* b = d.Binding;
      if (!d.Init) {
        // At the script's level the variable belongs to the timeline; in a function it was
        // declared when the function started.
        if (Scope().IsProgram()) {
          A.PushString(d.Name);
          A.Op(TOp::DefineLocal2);
        }
        continue;
      }
      if (b && b->Register && b->Owner == FFrame->Scope) {
        Expr(*d.Init);
        A.StoreRegister(b->Register);
        A.Op(TOp::Pop);
      } else {
        A.PushString(d.Name);
        Expr(*d.Init);
        A.Op(Scope().IsProgram() ? TOp::DefineLocal : TOp::SetVariable);
      }
    }
  }

  void If(const SIf& s) {
    const TLabel otherwise = A.NewLabel();
    Expr(*s.Test);
    A.At(s.Pos);
    A.Op(TOp::Not);
    A.If(otherwise);
    Statement(*s.Then);
    if (s.Else) {
      const TLabel end = A.NewLabel();
      A.At(s.Pos);
      A.Jump(end);
      A.Bind(otherwise);
      Statement(*s.Else);
      A.Bind(end);
    } else {
      A.Bind(otherwise);
    }
  }

  TControl& PushLoop(const TStmt& s, TControl::TKind kind, TLabel brk, TLabel cont) {
    TControl c;
    c.Kind = kind;
    c.Stmt = &s;
    c.Break = brk;
    c.Continue = cont;
    FFrame->Controls.push_back(std::move(c));
    return FFrame->Controls.back();
  }
  void PopControl() { FFrame->Controls.pop_back(); }

  void While(const SWhile& s) {
    const TLabel top = A.Here();
    const TLabel end = A.NewLabel();
    Expr(*s.Test);
    A.At(s.Pos);
    A.Op(TOp::Not);
    A.If(end);
    PushLoop(s, TControl::TKind::Loop, end, top);
    Statement(*s.Body);
    PopControl();
    A.At(s.Pos);
    A.Jump(top);
    A.Bind(end);
  }

  void DoWhile(const SDoWhile& s) {
    const TLabel top = A.Here();
    const TLabel test = A.NewLabel(), end = A.NewLabel();
    PushLoop(s, TControl::TKind::Loop, end, test);
    Statement(*s.Body);
    PopControl();
    A.Bind(test);
    A.At(s.Test->Pos);
    Expr(*s.Test);
    A.If(top);
    A.Bind(end);
  }

  void For(const SFor& s) {
    if (s.Init) Statement(*s.Init);
    A.At(s.Pos);
    const TLabel top = A.Here();
    const TLabel update = A.NewLabel(), end = A.NewLabel();
    if (s.Test) {
      Expr(*s.Test);
      A.At(s.Pos);
      A.Op(TOp::Not);
      A.If(end);
    }
    PushLoop(s, TControl::TKind::Loop, end, update);
    Statement(*s.Body);
    PopControl();
    A.Bind(update);
    if (s.Update) {
      A.At(s.Update->Pos);
      Expr(*s.Update, false);
    }
    A.At(s.Pos);
    A.Jump(top);
    A.Bind(end);
  }

  // The player pushes an end mark and then the names of the enumerated object; the loop takes
  // one name at a time until it meets the mark. Players differ in the mark (null or undefined),
  // so it is compared with ==, which takes either and no name.
  void ForIn(const SForIn& s) {
    if (V >= 6) {
      Expr(*s.Object);
      A.Op(TOp::Enumerate2);
    } else if (s.Object->Kind == TExprKind::Identifier && !RegisterOf(As<EIdentifier>(*s.Object))) {
      // Before Flash 6 the player enumerates a variable given by its name.
      A.PushString(As<EIdentifier>(*s.Object).Name);
      A.Op(TOp::Enumerate);
    } else {
      Fail(s.Object->Pos, "for..in over anything but a variable needs Flash Player 6 or later");
    }
    A.At(s.Pos);
    const TLabel top = A.Here();
    const TLabel done = A.NewLabel(), end = A.NewLabel();
    A.Op(TOp::PushDuplicate);
    A.PushNull();
    A.Op(TOp::Equals2);
    A.If(done);
    AssignTop(*s.Target);
    PushLoop(s, TControl::TKind::ForIn, end, top);
    Statement(*s.Body);
    PopControl();
    A.At(s.Pos);
    A.Jump(top);
    A.Bind(done);
    A.Op(TOp::Pop);
    A.Bind(end);
  }

  // Takes the names a for..in left on the stack, up to its null.
  void Drain() {
    const TLabel again = A.Here();
    A.PushNull();
    A.Op(TOp::Equals2);
    A.Op(TOp::Not);
    A.If(again);
  }

  // Stores the value on top of the stack into a target, which takes it.
  void AssignTop(const TExpr& target) {
    A.At(target.Pos);
    switch (target.Kind) {
      case TExprKind::Identifier: {
        const auto& id = As<EIdentifier>(target);
        if (uint8_t r = RegisterOf(id)) {
          A.StoreRegister(r);
          A.Op(TOp::Pop);
        } else {
          A.PushString(id.Name);
          A.Op(TOp::StackSwap);
          A.Op(TOp::SetVariable);
        }
        break;
      }
      case TExprKind::Member:
      case TExprKind::Index:
        Expr(ObjectOf(target));
        A.Op(TOp::StackSwap);
        Key(target);
        A.Op(TOp::StackSwap);
        A.Op(TOp::SetMember);
        break;
      default: throw std::logic_error("an assignment target the parser should have refused");
    }
  }

  void Return(const SReturn& s) {
    // The names of for..in loops left by the return are taken off the stack first.
    bool told = false;
    for (size_t i = FFrame->Controls.size(); i-- > 0;) {
      if (FFrame->Controls[i].Kind == TControl::TKind::ForIn) Drain();
      if (FFrame->Controls[i].Kind == TControl::TKind::TellTarget) told = true;
    }
    A.At(s.Pos);
    if (s.Value) Expr(*s.Value);
    else A.PushUndefined();
    // The value is the told clip's; what follows the call is not.
    if (told) A.SetTarget("");
    A.Op(TOp::Return);
  }

  // The record skips the records of the body while the frame has not loaded; a frame number
  // known here is the record's own, anything else comes from the stack.
  void IfFrameLoaded(const SIfFrameLoaded& s) {
    const TExpr& frame = *s.Frame;
    swf::TSWFAction* record = nullptr;
    if (frame.Kind == TExprKind::Number) {
      const double f = As<ENumber>(frame).Value;
      if (f < 1 || f > 65536 || f != std::floor(f))
        Fail(frame.Pos, "a frame number is a whole number from 1 to 65536");
      A.At(s.Pos);
      record = &A.WaitForFrame(static_cast<uint16_t>(f - 1));
    } else {
      Expr(frame);
      A.At(s.Pos);
      record = &A.WaitForFrame2();
    }
    Statement(*s.Body);
    A.At(s.Pos);
    A.EndWaitForFrame(*record);
  }

  // break and continue. A jump may not leave the block of a With or Try record (the player ends
  // the block there and goes on after the whole statement), so it jumps to the end of the block
  // instead, with a flag that the code after the statement reads to go on from there.
  void JumpTo(const TStmt* target, bool isContinue) {
    auto& controls = FFrame->Controls;
    for (size_t i = controls.size(); i-- > 0;) {
      TControl& c = controls[i];
      if (c.Kind == TControl::TKind::With || c.Kind == TControl::TKind::Try) {
        c.Exits.push_back({target, isContinue});
        SetFlag(c.Flag, static_cast<int>(c.Exits.size()));
        A.Jump(c.BlockEnd);
        return;
      }
      if (c.Kind == TControl::TKind::TellTarget) {
        A.SetTarget("");
        continue;
      }
      if (c.Stmt == target) {
        if (c.Kind == TControl::TKind::ForIn && !isContinue) Drain();
        A.Jump(isContinue ? c.Continue : c.Break);
        return;
      }
      if (c.Kind == TControl::TKind::ForIn) Drain();
    }
    throw std::logic_error("a break or continue without its statement");
  }

  void SetFlag(uint8_t r, int value) {
    A.PushNumber(value);
    A.StoreRegister(r);
    A.Op(TOp::Pop);
  }

  // After a With or Try statement: the jumps that left it go on to where they were going.
  void Dispatch(const TControl& c) {
    for (size_t k = 0; k < c.Exits.size(); ++k) {
      const TLabel next = A.NewLabel();
      A.PushRegister(c.Flag);
      A.PushNumber(static_cast<double>(k + 1));
      A.Op(TOp::Equals2);
      A.Op(TOp::Not);
      A.If(next);
      JumpTo(c.Exits[k].Target, c.Exits[k].IsContinue);
      A.Bind(next);
    }
  }

  // The register for a block's exit flag; resetAtEnd: set to 0 at the end of the block instead
  // of before it (a global scratch register, which code inside the block may use).
  uint8_t AcquireFlag(TSourcePos pos, bool isTry, bool& resetAtEnd) {
    resetAtEnd = false;
    if (FFrame->Registers) return AcquireTemporary(pos);
    if (!isTry) {
      resetAtEnd = true;
      return kScratch0;
    }
    const int r = kFirstHeldGlobal + FFrame->HeldGlobals;
    if (r > kLastHeldGlobal)
      Fail(pos, "more than two nested try statements left by break or continue at the script's "
                "level; move the code into a function");
    ++FFrame->HeldGlobals;
    return static_cast<uint8_t>(r);
  }
  void ReleaseFlag(bool isTry, bool resetAtEnd) {
    if (FFrame->Registers) ReleaseTemporary();
    else if (isTry && !resetAtEnd) --FFrame->HeldGlobals;
  }

  void With(const SWith& s) {
    Expr(*s.Object);
    bool resetAtEnd = false;
    uint8_t flag = 0;
    if (s.NeedsExitFlag) {
      flag = AcquireFlag(s.Pos, false, resetAtEnd);
      if (!resetAtEnd) SetFlag(flag, 0);
    }
    A.At(s.Pos);
    auto& record = A.With();
    TControl c;
    c.Kind = TControl::TKind::With;
    c.Stmt = &s;
    c.BlockEnd = A.NewLabel();
    c.Flag = flag;
    FFrame->Controls.push_back(std::move(c));
    Statement(*s.Body);
    A.At(s.Pos);
    if (resetAtEnd) SetFlag(flag, 0);
    TControl done = std::move(FFrame->Controls.back());
    PopControl();
    A.Bind(done.BlockEnd);
    A.EndBlock(record);
    Dispatch(done);
    if (s.NeedsExitFlag) ReleaseFlag(false, resetAtEnd);
  }

  void Try(const STry& s) {
    Need(7, s.Pos, "'try'");
    bool resetAtEnd = false;
    uint8_t flag = 0;
    if (s.NeedsExitFlag) {
      flag = AcquireFlag(s.Pos, true, resetAtEnd);
      SetFlag(flag, 0);
    }
    A.At(s.Pos);
    auto& record = A.Try();
    record.HasCatch = s.HasCatch;
    record.HasFinally = s.HasFinally;
    if (s.HasCatch) {
      const TBinding* b = s.CatchBinding;
      if (b && b->Register && b->Owner == FFrame->Scope) {
        record.CatchInRegister = true;
        record.CatchRegister = b->Register;
      } else {
        record.CatchName = s.CatchName;
      }
    }
    TControl c;
    c.Kind = TControl::TKind::Try;
    c.Stmt = &s;
    c.Flag = flag;
    FFrame->Controls.push_back(std::move(c));
    auto block = [&](const TStmtList& body, size_t slot) {
      FFrame->Controls.back().BlockEnd = A.NewLabel();
      Statements(body);
      A.At(s.Pos);
      A.Bind(FFrame->Controls.back().BlockEnd);
      A.EndBlock(record, slot);
    };
    block(s.Block, TSWFActionTry::kTrySlot);
    if (s.HasCatch) block(s.Catch, TSWFActionTry::kCatchSlot);
    if (s.HasFinally) block(s.Finally, TSWFActionTry::kFinallySlot);
    TControl done = std::move(FFrame->Controls.back());
    PopControl();
    Dispatch(done);
    if (s.NeedsExitFlag) ReleaseFlag(true, resetAtEnd);
  }

  // The value stays on the stack while the cases are compared with it; the matching case takes
  // it off and jumps to its body, and the bodies follow one another for the fall-through.
  void Switch(const SSwitch& s) {
    Expr(*s.Discriminant);
    std::vector<TLabel> matched(s.Cases.size()), body(s.Cases.size());
    const TLabel end = A.NewLabel();
    const TCase* fallback = nullptr;
    size_t fallbackIndex = 0;
    for (size_t i = 0; i < s.Cases.size(); ++i) {
      const TCase& c = s.Cases[i];
      body[i] = A.NewLabel();
      if (!c.Test) {
        fallback = &c;
        fallbackIndex = i;
        continue;
      }
      A.At(c.Pos);
      matched[i] = A.NewLabel();
      A.Op(TOp::PushDuplicate);
      Expr(*c.Test);
      A.Op(V >= 6 ? TOp::StrictEquals : TOp::Equals2);
      A.If(matched[i]);
    }
    A.At(s.Pos);
    A.Op(TOp::Pop);
    A.Jump(fallback ? body[fallbackIndex] : end);
    for (size_t i = 0; i < s.Cases.size(); ++i) {
      if (!s.Cases[i].Test) continue;
      A.Bind(matched[i]);
      A.Op(TOp::Pop);
      A.Jump(body[i]);
    }
    PushLoop(s, TControl::TKind::Switch, end, 0);
    for (size_t i = 0; i < s.Cases.size(); ++i) {
      A.Bind(body[i]);
      Statements(s.Cases[i].Body);
    }
    PopControl();
    A.Bind(end);
  }

  void Labeled(const SLabeled& s) {
    const TStmt& body = *s.Body;
    const bool named = body.Kind == TStmtKind::While || body.Kind == TStmtKind::DoWhile ||
                       body.Kind == TStmtKind::For || body.Kind == TStmtKind::ForIn ||
                       body.Kind == TStmtKind::Switch || body.Kind == TStmtKind::Labeled;
    if (named) {
      // The loop or switch is the target of the label's jumps.
      Statement(body);
      return;
    }
    const TLabel end = A.NewLabel();
    PushLoop(s, TControl::TKind::Labeled, end, 0);
    Statement(body);
    PopControl();
    A.Bind(end);
  }

  // ---- expressions

  const TExpr& ObjectOf(const TExpr& target) const {
    return target.Kind == TExprKind::Member ? *As<EMember>(target).Object : *As<EIndex>(target).Object;
  }

  // The property name of a member target.
  void Key(const TExpr& target) {
    if (target.Kind == TExprKind::Member) A.PushString(As<EMember>(target).Name);
    else Expr(*As<EIndex>(target).Index);
  }
  bool KeyIsSimple(const TExpr& target) const {
    return target.Kind == TExprKind::Member || IsSimple(*As<EIndex>(target).Index);
  }

  void Expr(const TExpr& e, bool used = true) {
    switch (e.Kind) {
      case TExprKind::Number:
        if (used) A.PushNumber(As<ENumber>(e).Value);
        return;
      case TExprKind::String:
        if (used) A.PushString(As<EString>(e).Value);
        return;
      case TExprKind::Bool:
        if (used) A.PushBool(As<EBool>(e).Value);
        return;
      case TExprKind::Null:
        if (used) A.PushNull();
        return;
      case TExprKind::Undefined:
        if (used) A.PushUndefined();
        return;
      case TExprKind::This:
        if (used) This();
        return;
      case TExprKind::Identifier:
        if (used) Identifier(As<EIdentifier>(e));
        return;
      case TExprKind::Function:
        if (used) {
          A.At(e.Pos);
          Function(*As<EFunction>(e).Fn, "");
        }
        return;
      default: break;
    }
    A.At(e.Pos);
    switch (e.Kind) {
      case TExprKind::Array: {
        const auto& a = As<EArray>(e);
        for (size_t i = a.Elements.size(); i-- > 0;) {
          if (a.Elements[i]) Expr(*a.Elements[i]);
          else A.PushUndefined();
        }
        A.PushNumber(static_cast<double>(a.Elements.size()));
        A.Op(TOp::InitArray);
        Result(used);
        return;
      }
      case TExprKind::Object: {
        const auto& o = As<EObject>(e);
        for (const auto& p : o.Properties) {
          A.PushString(p.Name);
          Expr(*p.Value);
        }
        A.PushNumber(static_cast<double>(o.Properties.size()));
        A.Op(TOp::InitObject);
        Result(used);
        return;
      }
      case TExprKind::Member:
      case TExprKind::Index:
        Expr(ObjectOf(e));
        Key(e);
        A.Op(TOp::GetMember);
        Result(used);
        return;
      case TExprKind::Call: Call(As<ECall>(e), used); return;
      case TExprKind::New: New(As<ENew>(e), used); return;
      case TExprKind::Unary: Unary(As<EUnary>(e), used); return;
      case TExprKind::Update: {
        const auto& u = As<EUpdate>(e);
        Modify(*u.Target, e.Pos, [&] { A.Op(u.Increment ? TOp::Increment : TOp::Decrement); },
               used && !u.Prefix, used);
        return;
      }
      case TExprKind::Binary: Binary(As<EBinary>(e), used); return;
      case TExprKind::Logical: Logical(As<ELogical>(e), used); return;
      case TExprKind::Conditional: {
        const auto& c = As<EConditional>(e);
        const TLabel then = A.NewLabel(), end = A.NewLabel();
        Expr(*c.Test);
        A.If(then);
        Expr(*c.Else, used);
        A.At(e.Pos);
        A.Jump(end);
        A.Bind(then);
        Expr(*c.Then, used);
        A.Bind(end);
        return;
      }
      case TExprKind::Assign: {
        const auto& a = As<EAssign>(e);
        if (a.Compound) {
          Modify(*a.Target, e.Pos, [&] {
            Expr(*a.Value);
            BinaryOp(a.Op, e.Pos);
          }, false, used);
        } else {
          Assign(*a.Target, *a.Value, used);
        }
        return;
      }
      case TExprKind::Sequence: {
        const auto& s = As<ESequence>(e);
        for (size_t i = 0; i < s.Items.size(); ++i)
          Expr(*s.Items[i], used && i + 1 == s.Items.size());
        return;
      }
      default: throw std::logic_error("an expression kind without code");
    }
  }

  void Identifier(const EIdentifier& id) {
    if (uint8_t r = RegisterOf(id)) {
      A.PushRegister(r);
      return;
    }
    A.At(id.Pos);
    if (id.Special == TSpecialName::Super) Need(6, id.Pos, "'super'");
    GetName(id.Name);
  }

  void Assign(const TExpr& target, const TExpr& value, bool used) {
    A.At(target.Pos);
    if (target.Kind == TExprKind::Identifier) {
      const auto& id = As<EIdentifier>(target);
      if (uint8_t r = RegisterOf(id)) {
        Expr(value);
        A.StoreRegister(r);
        Result(used);
      } else if (!used) {
        A.PushString(id.Name);
        Expr(value);
        A.Op(TOp::SetVariable);
      } else {
        Expr(value);
        A.Op(TOp::PushDuplicate);
        A.PushString(id.Name);
        A.Op(TOp::StackSwap);
        A.Op(TOp::SetVariable);
      }
      return;
    }
    const TExpr& object = ObjectOf(target);
    if (!used) {
      Expr(object);
      Key(target);
      Expr(value);
      A.Op(TOp::SetMember);
    } else if (FFrame->Registers) {
      Expr(object);
      Key(target);
      Expr(value);
      const uint8_t t = AcquireTemporary(target.Pos);
      A.StoreRegister(t);
      A.Op(TOp::SetMember);
      A.PushRegister(t);
      ReleaseTemporary();
    } else if (IsSimple(object) && KeyIsSimple(target)) {
      // The value first, then the object and the key pushed under a copy of it; evaluating
      // simple expressions later changes nothing.
      Expr(value);
      A.Op(TOp::PushDuplicate);
      Expr(object);
      A.Op(TOp::StackSwap);
      Key(target);
      A.Op(TOp::StackSwap);
      A.Op(TOp::SetMember);
    } else {
      Expr(object);
      Key(target);
      Expr(value);
      A.StoreRegister(kScratch0);
      A.Op(TOp::SetMember);
      A.PushRegister(kScratch0);
    }
  }

  // target = f(target): the old value is on the stack when modify() runs, which leaves the new
  // one. The expression's value is the new one, or the old one as a number (postfix ++ and --).
  void Modify(const TExpr& target, TSourcePos pos, const std::function<void()>& modify,
              bool resultIsOld, bool used) {
    A.At(pos);
    if (target.Kind == TExprKind::Identifier) {
      const auto& id = As<EIdentifier>(target);
      if (uint8_t r = RegisterOf(id)) {
        A.PushRegister(r);
        if (resultIsOld) {
          A.Op(TOp::ToNumber);
          A.Op(TOp::PushDuplicate);
        }
        modify();
        A.StoreRegister(r);
        A.Op(TOp::Pop);
        if (used && !resultIsOld) A.PushRegister(r);
        return;
      }
      if (!used) {
        A.PushString(id.Name);
        GetName(id.Name);
        modify();
        A.Op(TOp::SetVariable);
        return;
      }
      GetName(id.Name);
      if (resultIsOld) {
        A.Op(TOp::ToNumber);
        A.Op(TOp::PushDuplicate);
        modify();
      } else {
        modify();
        A.Op(TOp::PushDuplicate);
      }
      A.PushString(id.Name);
      A.Op(TOp::StackSwap);
      A.Op(TOp::SetVariable);
      return;
    }

    const TExpr& object = ObjectOf(target);
    if (IsSimple(object) && KeyIsSimple(target)) {
      // Simple object and key expressions are evaluated twice.
      if (!used) {
        Expr(object);
        Key(target);
        Expr(object);
        Key(target);
        A.Op(TOp::GetMember);
        modify();
        A.Op(TOp::SetMember);
        return;
      }
      Expr(object);
      Key(target);
      A.Op(TOp::GetMember);
      if (resultIsOld) {
        A.Op(TOp::ToNumber);
        A.Op(TOp::PushDuplicate);
        modify();
      } else {
        modify();
        A.Op(TOp::PushDuplicate);
      }
      Expr(object);
      A.Op(TOp::StackSwap);
      Key(target);
      A.Op(TOp::StackSwap);
      A.Op(TOp::SetMember);
      return;
    }

    // Object and key evaluated once and kept in registers.
    Expr(object);
    uint8_t objectRegister, keyRegister;
    if (FFrame->Registers) {
      objectRegister = AcquireTemporary(pos);
      keyRegister = AcquireTemporary(pos);
      A.StoreRegister(objectRegister);
      Key(target);
      A.StoreRegister(keyRegister);
    } else {
      // Read back at once: the scratch registers hold nothing across other code.
      Key(target);
      objectRegister = kScratch0;
      keyRegister = kScratch1;
      A.StoreRegister(keyRegister);
      A.Op(TOp::Pop);
      A.StoreRegister(objectRegister);
      A.PushRegister(keyRegister);
    }
    A.PushRegister(objectRegister);
    A.PushRegister(keyRegister);
    A.Op(TOp::GetMember);
    const uint8_t resultRegister = objectRegister;
    if (resultIsOld) {
      A.Op(TOp::ToNumber);
      if (used) A.StoreRegister(resultRegister);
      modify();
    } else {
      modify();
      if (used) A.StoreRegister(resultRegister);
    }
    A.Op(TOp::SetMember);
    if (used) A.PushRegister(resultRegister);
    if (FFrame->Registers) {
      ReleaseTemporary();
      ReleaseTemporary();
    }
  }

  void BinaryOp(TBinaryOp op, TSourcePos pos) {
    switch (op) {
      case TBinaryOp::Add: A.Op(TOp::Add2); break;
      case TBinaryOp::Sub: A.Op(TOp::Subtract); break;
      case TBinaryOp::Mul: A.Op(TOp::Multiply); break;
      case TBinaryOp::Div: A.Op(TOp::Divide); break;
      case TBinaryOp::Mod: A.Op(TOp::Modulo); break;
      case TBinaryOp::Shl: A.Op(TOp::BitLShift); break;
      case TBinaryOp::Shr: A.Op(TOp::BitRShift); break;
      case TBinaryOp::UShr: A.Op(TOp::BitURShift); break;
      case TBinaryOp::BitAnd: A.Op(TOp::BitAnd); break;
      case TBinaryOp::BitOr: A.Op(TOp::BitOr); break;
      case TBinaryOp::BitXor: A.Op(TOp::BitXor); break;
      case TBinaryOp::Eq: A.Op(TOp::Equals2); break;
      case TBinaryOp::NotEq:
        A.Op(TOp::Equals2);
        A.Op(TOp::Not);
        break;
      case TBinaryOp::StrictEq:
        Need(6, pos, "'==='");
        A.Op(TOp::StrictEquals);
        break;
      case TBinaryOp::StrictNotEq:
        Need(6, pos, "'!=='");
        A.Op(TOp::StrictEquals);
        A.Op(TOp::Not);
        break;
      case TBinaryOp::Less: A.Op(TOp::Less2); break;
      case TBinaryOp::Greater:
        if (V >= 6) {
          A.Op(TOp::Greater);
        } else {
          A.Op(TOp::StackSwap);
          A.Op(TOp::Less2);
        }
        break;
      case TBinaryOp::LessEq:
        if (V >= 6) {
          A.Op(TOp::Greater);
        } else {
          A.Op(TOp::StackSwap);
          A.Op(TOp::Less2);
        }
        A.Op(TOp::Not);
        break;
      case TBinaryOp::GreaterEq:
        A.Op(TOp::Less2);
        A.Op(TOp::Not);
        break;
      case TBinaryOp::InstanceOf:
        Need(6, pos, "'instanceof'");
        A.Op(TOp::InstanceOf);
        break;
    }
  }

  void Binary(const EBinary& b, bool used) {
    Expr(*b.Left);
    Expr(*b.Right);
    A.At(b.Pos);
    BinaryOp(b.Op, b.Pos);
    Result(used);
  }

  void Logical(const ELogical& l, bool used) {
    const TLabel end = A.NewLabel();
    Expr(*l.Left);
    A.At(l.Pos);
    if (used) A.Op(TOp::PushDuplicate);
    if (l.IsAnd) A.Op(TOp::Not);
    A.If(end);
    if (used) A.Op(TOp::Pop);
    Expr(*l.Right, used);
    A.Bind(end);
  }

  void Unary(const EUnary& u, bool used) {
    const TExpr& operand = *u.Operand;
    switch (u.Op) {
      case TUnaryOp::Not:
        Expr(operand);
        A.Op(TOp::Not);
        break;
      case TUnaryOp::Negate:
        A.PushNumber(0);
        Expr(operand);
        A.At(u.Pos);
        A.Op(TOp::Subtract);
        break;
      case TUnaryOp::Plus:
        Expr(operand);
        A.Op(TOp::ToNumber);
        break;
      case TUnaryOp::BitNot:
        Expr(operand);
        A.PushNumber(-1);
        A.Op(TOp::BitXor);
        break;
      case TUnaryOp::TypeOf:
        Expr(operand);
        A.Op(TOp::TypeOf);
        break;
      case TUnaryOp::Void:
        Expr(operand, false);
        if (used) A.PushUndefined();
        return;
      case TUnaryOp::Delete:
        if (operand.Kind == TExprKind::Member || operand.Kind == TExprKind::Index) {
          Expr(ObjectOf(operand));
          Key(operand);
          A.At(u.Pos);
          A.Op(TOp::Delete);
        } else if (operand.Kind == TExprKind::Identifier) {
          A.PushString(As<EIdentifier>(operand).Name);
          A.Op(TOp::Delete2);
        } else {
          // Only references can be deleted; anything else is evaluated and gives true.
          Expr(operand, false);
          A.PushBool(true);
        }
        break;
    }
    Result(used);
  }

  // Arguments go on the stack last to first, then their count.
  void PushArguments(const std::vector<TExprPtr>& args) {
    for (size_t i = args.size(); i-- > 0;) Expr(*args[i]);
    A.PushNumber(static_cast<double>(args.size()));
  }

  void Call(const ECall& c, bool used) {
    const TExpr& callee = *c.Callee;
    if (callee.Kind == TExprKind::Identifier) {
      const auto& id = As<EIdentifier>(callee);
      if (!id.Binding && id.Special == TSpecialName::None) {
        if (id.Name == "nextScene" || id.Name == "prevScene")
          Fail(c.Pos, id.Name + "() goes to another scene, and a movie compiled from source has "
                                "one scene only");
        if ((id.Name == "gotoAndPlay" || id.Name == "gotoAndStop") && c.Args.size() == 2)
          Fail(c.Pos, id.Name + "(scene, frame) names a scene, and a movie compiled from source "
                                "has none: give the frame alone");
        if (const TBuiltin* b = FindBuiltin(id.Name)) {
          Builtin(*b, c, used);
          return;
        }
      }
      if (id.Special == TSpecialName::Super) {
        // The constructor of the class extended, called on this object.
        PushArguments(c.Args);
        Identifier(id);
        A.At(c.Pos);
        A.PushUndefined();
        A.Op(TOp::CallMethod);
        Result(used);
        return;
      }
      PushArguments(c.Args);
      A.At(c.Pos);
      if (uint8_t r = RegisterOf(id)) {
        A.PushRegister(r);
        A.PushUndefined();
        A.Op(TOp::CallMethod);
      } else {
        A.PushString(id.Name);
        A.Op(TOp::CallFunction);
      }
    } else if (callee.Kind == TExprKind::Member || callee.Kind == TExprKind::Index) {
      PushArguments(c.Args);
      Expr(ObjectOf(callee));
      Key(callee);
      A.At(c.Pos);
      A.Op(TOp::CallMethod);
    } else {
      PushArguments(c.Args);
      Expr(callee);
      A.At(c.Pos);
      A.PushUndefined();
      A.Op(TOp::CallMethod);
    }
    Result(used);
  }

  void New(const ENew& n, bool used) {
    const TExpr& callee = *n.Callee;
    PushArguments(n.Args);
    if (callee.Kind == TExprKind::Identifier && !RegisterOf(As<EIdentifier>(callee))) {
      A.At(n.Pos);
      A.PushString(As<EIdentifier>(callee).Name);
      A.Op(TOp::NewObject);
    } else if (callee.Kind == TExprKind::Member || callee.Kind == TExprKind::Index) {
      Expr(ObjectOf(callee));
      Key(callee);
      A.At(n.Pos);
      A.Op(TOp::NewMethod);
    } else {
      Expr(callee);
      A.At(n.Pos);
      A.PushUndefined();
      A.Op(TOp::NewMethod);
    }
    Result(used);
  }

  // ---- built-in functions

  static std::optional<std::string> Literal(const TExpr& e) {
    if (e.Kind == TExprKind::String) return As<EString>(e).Value;
    return std::nullopt;
  }

  uint8_t Method(const ECall& c, size_t index) const {
    if (c.Args.size() <= index) return 0;
    const TExpr& m = *c.Args[index];
    if (auto s = Literal(m)) {
      if (*s == "GET") return 1;
      if (*s == "POST") return 2;
    }
    Fail(m.Pos, "the method must be the string \"GET\" or \"POST\"");
  }

  void Level(const TExpr& level) {
    if (level.Kind == TExprKind::Number && As<ENumber>(level).Value >= 0 &&
        As<ENumber>(level).Value == std::floor(As<ENumber>(level).Value) &&
        As<ENumber>(level).Value < 1e9) {
      A.PushString("_level" + std::to_string(static_cast<long>(As<ENumber>(level).Value)));
      return;
    }
    A.PushString("_level");
    Expr(level);
    A.Op(TOp::Add2);
  }

  int Property(const TExpr& e) const {
    std::string name;
    if (e.Kind == TExprKind::Identifier) name = As<EIdentifier>(e).Name;
    else if (e.Kind == TExprKind::String) name = As<EString>(e).Value;
    if (auto index = PropertyIndex(name)) return *index;
    Fail(e.Pos, "the second argument must name a movie clip property such as _x or _alpha");
  }

  void Builtin(const TBuiltin& b, const ECall& c, bool used) {
    const int n = static_cast<int>(c.Args.size());
    if (n < b.MinArgs || n > b.MaxArgs) {
      std::string count = b.MinArgs == b.MaxArgs
                              ? std::to_string(b.MinArgs)
                              : std::to_string(b.MinArgs) + " to " + std::to_string(b.MaxArgs);
      Fail(c.Pos, std::string(b.Name) + " takes " + count +
                      (b.MaxArgs == 1 && b.MinArgs == 1 ? " argument" : " arguments") + ", not " +
                      std::to_string(n));
    }
    const auto& args = c.Args;
    auto arg = [&](size_t i) -> const TExpr& { return *args[i]; };
    bool result = b.Result;
    switch (b.Form) {
      case TBuiltinForm::Op:
        for (const auto& a : args) Expr(*a);
        A.At(c.Pos);
        A.Op(b.Op);
        break;
      case TBuiltinForm::GetVersion:
        A.PushString("/:$version");
        A.Op(TOp::GetVariable);
        break;
      case TBuiltinForm::Goto: {
        const TExpr& frame = arg(0);
        if (frame.Kind == TExprKind::Number) {
          const double f = As<ENumber>(frame).Value;
          if (f < 1 || f > 65536 || f != std::floor(f))
            Fail(frame.Pos, "a frame number is a whole number from 1 to 65536");
          A.GotoFrame(static_cast<uint16_t>(f - 1));
          if (b.Play) A.Op(TOp::Play);
        } else if (auto label = Literal(frame)) {
          A.GoToLabel(*label);
          if (b.Play) A.Op(TOp::Play);
        } else {
          Expr(frame);
          A.At(c.Pos);
          A.GotoFrame2(b.Play);
        }
        break;
      }
      case TBuiltinForm::GetURL: {
        const uint8_t method = Method(c, 2);
        const auto url = Literal(arg(0));
        const auto target = n > 1 ? Literal(arg(1)) : std::optional<std::string>("");
        if (method == 0 && url && target) {
          A.GetURL(*url, *target);
        } else {
          Expr(arg(0));
          if (n > 1) Expr(arg(1));
          else A.PushString("");
          A.GetURL2(false, false, method);
        }
        break;
      }
      case TBuiltinForm::LoadMovie:
        Expr(arg(0));
        Expr(arg(1));
        A.GetURL2(true, b.Play, Method(c, 2));
        break;
      case TBuiltinForm::LoadMovieNum:
        Expr(arg(0));
        Level(arg(1));
        A.GetURL2(false, b.Play, Method(c, 2));
        break;
      case TBuiltinForm::Print:
      case TBuiltinForm::PrintNum: {
        const auto box = Literal(arg(1));
        if (!box || (*box != "bmovie" && *box != "bmax" && *box != "bframe"))
          Fail(arg(1).Pos, "the bounding box must be the string \"bmovie\", \"bmax\" or \"bframe\"");
        A.PushString((b.Play ? "printasbitmap:#" : "print:#") + *box);
        if (b.Form == TBuiltinForm::Print) Expr(arg(0));
        else Level(arg(0));
        A.GetURL2(b.Form == TBuiltinForm::Print, false, 0);
        break;
      }
      case TBuiltinForm::UnloadMovie:
        A.PushString("");
        Expr(arg(0));
        A.GetURL2(true, false, 0);
        break;
      case TBuiltinForm::UnloadMovieNum:
        A.PushString("");
        Level(arg(0));
        A.GetURL2(false, false, 0);
        break;
      case TBuiltinForm::FSCommand: {
        const auto command = Literal(arg(0));
        const auto parameters = n > 1 ? Literal(arg(1)) : std::optional<std::string>("");
        if (command && parameters) {
          A.GetURL("FSCommand:" + *command, *parameters);
        } else {
          A.PushString("FSCommand:");
          Expr(arg(0));
          A.Op(TOp::Add2);
          if (n > 1) Expr(arg(1));
          else A.PushString("");
          A.GetURL2(false, false, 0);
        }
        break;
      }
      case TBuiltinForm::GetProperty:
        Expr(arg(0));
        A.PushNumber(Property(arg(1)));
        A.Op(TOp::GetProperty);
        break;
      case TBuiltinForm::SetProperty:
        Expr(arg(0));
        A.PushNumber(Property(arg(1)));
        Expr(arg(2));
        A.Op(TOp::SetProperty);
        break;
      case TBuiltinForm::Duplicate:
        Expr(arg(0));
        Expr(arg(1));
        Expr(arg(2));
        // Script-made clips live from depth 16384 on.
        A.PushNumber(16384);
        A.Op(TOp::Add2);
        A.Op(TOp::CloneSprite);
        break;
      case TBuiltinForm::StartDrag:
        if (n != 1 && n != 2 && n != 6)
          Fail(c.Pos, "startDrag takes a target, a lock flag and optionally left, top, right "
                      "and bottom");
        if (n == 6) {
          for (size_t i = 2; i < 6; ++i) Expr(arg(i));
          A.PushNumber(1);
        } else {
          A.PushNumber(0);
        }
        if (n >= 2) Expr(arg(1));
        else A.PushNumber(0);
        Expr(arg(0));
        A.Op(TOp::StartDrag);
        break;
    }
    if (result) Result(used);
    else if (used) A.PushUndefined();
  }

  TAssembler& A;
  const int V;
  TFrame* FFrame = nullptr;
};

}  // namespace

void GenerateCode(const TProgram* program, TAssembler& assembler, std::vector<std::string> pool,
                  std::span<const SClass* const> classes) {
  TCodeGen(assembler).Program(program, std::move(pool), classes);
}

}  // namespace tw::asc
