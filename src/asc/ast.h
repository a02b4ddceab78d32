// The parse tree: expressions, statements, functions and the program. Nodes own their children;
// the scope pass fills in the links marked "resolved" (bindings, branch targets, scopes).
#pragma once

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "asc/source.h"

namespace tw::asc {

struct TBinding;
struct TFunctionScope;
struct TFunction;
struct TStmt;

// ---- expressions -----------------------------------------------------------------------------

enum class TExprKind : uint8_t {
  Number, String, Bool, Null, Undefined, This, Identifier, Array, Object, Function,
  Member, Index, Call, New, Unary, Update, Binary, Logical, Conditional, Assign, Sequence,
};

struct TExpr {
  TExpr(TExprKind kind, TSourcePos pos) : Kind(kind), Pos(pos) {}
  virtual ~TExpr() = default;
  TExpr(const TExpr&) = delete;
  TExpr& operator=(const TExpr&) = delete;

  const TExprKind Kind;
  TSourcePos Pos;
};
using TExprPtr = std::unique_ptr<TExpr>;

// The node of a kind, for a switch over Kind.
template <class T>
T& As(TExpr& e) { return static_cast<T&>(e); }
template <class T>
const T& As(const TExpr& e) { return static_cast<const T&>(e); }

struct ENumber : TExpr {
  ENumber(TSourcePos pos, double value) : TExpr(TExprKind::Number, pos), Value(value) {}
  double Value;
};

struct EString : TExpr {
  EString(TSourcePos pos, std::string value) : TExpr(TExprKind::String, pos), Value(std::move(value)) {}
  std::string Value;
};

struct EBool : TExpr {
  EBool(TSourcePos pos, bool value) : TExpr(TExprKind::Bool, pos), Value(value) {}
  bool Value;
};

struct ENull : TExpr {
  explicit ENull(TSourcePos pos) : TExpr(TExprKind::Null, pos) {}
};

// `undefined`, `NaN` and `Infinity` are names in the language; the scope pass turns the names
// nobody declared into these literals.
struct EUndefined : TExpr {
  explicit EUndefined(TSourcePos pos) : TExpr(TExprKind::Undefined, pos) {}
};

struct EThis : TExpr {
  explicit EThis(TSourcePos pos) : TExpr(TExprKind::This, pos) {}
};

// Names with a meaning of their own where nobody declared them.
enum class TSpecialName : uint8_t { None, Arguments, Root, Parent, Global, Super };

struct EIdentifier : TExpr {
  EIdentifier(TSourcePos pos, std::string name) : TExpr(TExprKind::Identifier, pos), Name(std::move(name)) {}
  std::string Name;
  TBinding* Binding = nullptr;  // resolved: the declaration, or null for a name looked up at run time
  TSpecialName Special = TSpecialName::None;  // resolved, for a name without a binding
};

struct EArray : TExpr {
  explicit EArray(TSourcePos pos) : TExpr(TExprKind::Array, pos) {}
  std::vector<TExprPtr> Elements;  // null: a hole ([1, , 3])
};

struct TProperty {
  std::string Name;
  TSourcePos Pos;
  TExprPtr Value;
};

struct EObject : TExpr {
  explicit EObject(TSourcePos pos) : TExpr(TExprKind::Object, pos) {}
  std::vector<TProperty> Properties;
};

struct EFunction : TExpr {
  EFunction(TSourcePos pos, std::unique_ptr<TFunction> fn);
  ~EFunction() override;
  std::unique_ptr<TFunction> Fn;
};

// object.Name
struct EMember : TExpr {
  EMember(TSourcePos pos, TExprPtr object, std::string name)
      : TExpr(TExprKind::Member, pos), Object(std::move(object)), Name(std::move(name)) {}
  TExprPtr Object;
  std::string Name;
};

// object[Index]
struct EIndex : TExpr {
  EIndex(TSourcePos pos, TExprPtr object, TExprPtr index)
      : TExpr(TExprKind::Index, pos), Object(std::move(object)), Index(std::move(index)) {}
  TExprPtr Object;
  TExprPtr Index;
};

struct ECall : TExpr {
  ECall(TSourcePos pos, TExprPtr callee) : TExpr(TExprKind::Call, pos), Callee(std::move(callee)) {}
  TExprPtr Callee;
  std::vector<TExprPtr> Args;
};

struct ENew : TExpr {
  ENew(TSourcePos pos, TExprPtr callee) : TExpr(TExprKind::New, pos), Callee(std::move(callee)) {}
  TExprPtr Callee;
  std::vector<TExprPtr> Args;
};

enum class TUnaryOp : uint8_t { Not, Negate, Plus, BitNot, TypeOf, Void, Delete };

struct EUnary : TExpr {
  EUnary(TSourcePos pos, TUnaryOp op, TExprPtr operand)
      : TExpr(TExprKind::Unary, pos), Op(op), Operand(std::move(operand)) {}
  TUnaryOp Op;
  TExprPtr Operand;
};

// ++ and --, before or after their target.
struct EUpdate : TExpr {
  EUpdate(TSourcePos pos, bool increment, bool prefix, TExprPtr target)
      : TExpr(TExprKind::Update, pos), Increment(increment), Prefix(prefix), Target(std::move(target)) {}
  bool Increment;
  bool Prefix;
  TExprPtr Target;
};

enum class TBinaryOp : uint8_t {
  Add, Sub, Mul, Div, Mod, Shl, Shr, UShr, BitAnd, BitOr, BitXor,
  Eq, NotEq, StrictEq, StrictNotEq, Less, Greater, LessEq, GreaterEq, InstanceOf,
};

struct EBinary : TExpr {
  EBinary(TSourcePos pos, TBinaryOp op, TExprPtr left, TExprPtr right)
      : TExpr(TExprKind::Binary, pos), Op(op), Left(std::move(left)), Right(std::move(right)) {}
  TBinaryOp Op;
  TExprPtr Left, Right;
};

// && and ||: the right side runs only when the left does not decide.
struct ELogical : TExpr {
  ELogical(TSourcePos pos, bool isAnd, TExprPtr left, TExprPtr right)
      : TExpr(TExprKind::Logical, pos), IsAnd(isAnd), Left(std::move(left)), Right(std::move(right)) {}
  bool IsAnd;
  TExprPtr Left, Right;
};

struct EConditional : TExpr {
  EConditional(TSourcePos pos, TExprPtr test, TExprPtr then, TExprPtr otherwise)
      : TExpr(TExprKind::Conditional, pos),
        Test(std::move(test)), Then(std::move(then)), Else(std::move(otherwise)) {}
  TExprPtr Test, Then, Else;
};

// Target = Value, or Target op= Value for a compound assignment.
struct EAssign : TExpr {
  EAssign(TSourcePos pos, bool compound, TBinaryOp op, TExprPtr target, TExprPtr value)
      : TExpr(TExprKind::Assign, pos),
        Compound(compound), Op(op), Target(std::move(target)), Value(std::move(value)) {}
  bool Compound;
  TBinaryOp Op;  // when Compound
  TExprPtr Target, Value;
};

// a, b, c
struct ESequence : TExpr {
  explicit ESequence(TSourcePos pos) : TExpr(TExprKind::Sequence, pos) {}
  std::vector<TExprPtr> Items;
};

// ---- statements ------------------------------------------------------------------------------

enum class TStmtKind : uint8_t {
  Expression, Var, Function, Block, Empty, If, While, DoWhile, For, ForIn,
  Continue, Break, Return, Throw, Try, Switch, Labeled, With, Class, Import, TellTarget, IfFrameLoaded,
};

struct TStmt {
  TStmt(TStmtKind kind, TSourcePos pos) : Kind(kind), Pos(pos) {}
  virtual ~TStmt() = default;
  TStmt(const TStmt&) = delete;
  TStmt& operator=(const TStmt&) = delete;

  const TStmtKind Kind;
  TSourcePos Pos;
};
using TStmtPtr = std::unique_ptr<TStmt>;
using TStmtList = std::vector<TStmtPtr>;

template <class T>
T& As(TStmt& s) { return static_cast<T&>(s); }
template <class T>
const T& As(const TStmt& s) { return static_cast<const T&>(s); }

struct SExpression : TStmt {
  SExpression(TSourcePos pos, TExprPtr expr) : TStmt(TStmtKind::Expression, pos), Expr(std::move(expr)) {}
  TExprPtr Expr;
};

struct TVarDecl {
  std::string Name;
  TSourcePos Pos;
  TExprPtr Init;                // may be null
  TBinding* Binding = nullptr;  // resolved
};

struct SVar : TStmt {
  explicit SVar(TSourcePos pos) : TStmt(TStmtKind::Var, pos) {}
  std::vector<TVarDecl> Decls;
};

// A function declaration: defined when its scope starts, before any statement runs.
struct SFunction : TStmt {
  SFunction(TSourcePos pos, std::unique_ptr<TFunction> fn);
  ~SFunction() override;
  std::unique_ptr<TFunction> Fn;
};

struct SBlock : TStmt {
  explicit SBlock(TSourcePos pos) : TStmt(TStmtKind::Block, pos) {}
  TStmtList Body;
};

struct SEmpty : TStmt {
  explicit SEmpty(TSourcePos pos) : TStmt(TStmtKind::Empty, pos) {}
};

struct SIf : TStmt {
  explicit SIf(TSourcePos pos) : TStmt(TStmtKind::If, pos) {}
  TExprPtr Test;
  TStmtPtr Then, Else;  // Else may be null
};

struct SWhile : TStmt {
  explicit SWhile(TSourcePos pos) : TStmt(TStmtKind::While, pos) {}
  TExprPtr Test;
  TStmtPtr Body;
};

struct SDoWhile : TStmt {
  explicit SDoWhile(TSourcePos pos) : TStmt(TStmtKind::DoWhile, pos) {}
  TStmtPtr Body;
  TExprPtr Test;
};

struct SFor : TStmt {
  explicit SFor(TSourcePos pos) : TStmt(TStmtKind::For, pos) {}
  TStmtPtr Init;           // an SVar or an SExpression; may be null
  TExprPtr Test, Update;   // may be null
  TStmtPtr Body;
};

// for (Target in Object) Body; with DeclaresVar the target is a name declared by `var`.
struct SForIn : TStmt {
  explicit SForIn(TSourcePos pos) : TStmt(TStmtKind::ForIn, pos) {}
  bool DeclaresVar = false;
  TExprPtr Target;  // an identifier, a member or an index expression
  TExprPtr Object;
  TStmtPtr Body;
};

// break and continue, with or without a label.
struct SJump : TStmt {
  SJump(TStmtKind kind, TSourcePos pos, std::string label)
      : TStmt(kind, pos), Label(std::move(label)) {}
  std::string Label;
  const TStmt* Target = nullptr;  // resolved: the loop, switch or labelled statement left
};

struct SReturn : TStmt {
  explicit SReturn(TSourcePos pos) : TStmt(TStmtKind::Return, pos) {}
  TExprPtr Value;  // may be null
};

struct SThrow : TStmt {
  SThrow(TSourcePos pos, TExprPtr value) : TStmt(TStmtKind::Throw, pos), Value(std::move(value)) {}
  TExprPtr Value;
};

struct STry : TStmt {
  explicit STry(TSourcePos pos) : TStmt(TStmtKind::Try, pos) {}
  TStmtList Block;
  bool HasCatch = false;
  std::string CatchName;
  TSourcePos CatchPos;
  TBinding* CatchBinding = nullptr;  // resolved
  TStmtList Catch;
  bool HasFinally = false;
  TStmtList Finally;
  // resolved: a break or continue leaves one of the blocks for a target outside the statement.
  bool NeedsExitFlag = false;
};

struct TCase {
  TSourcePos Pos;
  TExprPtr Test;  // null: default
  TStmtList Body;
};

struct SSwitch : TStmt {
  explicit SSwitch(TSourcePos pos) : TStmt(TStmtKind::Switch, pos) {}
  TExprPtr Discriminant;
  std::vector<TCase> Cases;
};

struct SLabeled : TStmt {
  SLabeled(TSourcePos pos, std::string label, TStmtPtr body)
      : TStmt(TStmtKind::Labeled, pos), Label(std::move(label)), Body(std::move(body)) {}
  std::string Label;
  TStmtPtr Body;
};

struct SWith : TStmt {
  explicit SWith(TSourcePos pos) : TStmt(TStmtKind::With, pos) {}
  TExprPtr Object;
  TStmtPtr Body;
  bool NeedsExitFlag = false;  // resolved, as for try
};

// tellTarget (Target) Body: the body acts on another timeline (a string names it by its path).
struct STellTarget : TStmt {
  explicit STellTarget(TSourcePos pos) : TStmt(TStmtKind::TellTarget, pos) {}
  TExprPtr Target;
  TStmtPtr Body;
};

// The body runs only once the frame (a number from 1, or a label) has loaded.
struct SIfFrameLoaded : TStmt {
  explicit SIfFrameLoaded(TSourcePos pos) : TStmt(TStmtKind::IfFrameLoaded, pos) {}
  TExprPtr Frame;
  TStmtPtr Body;
};

// ---- classes ---------------------------------------------------------------------------------

// A class or interface named after ':', extends, implements or import, as written.
struct TTypeRef {
  std::string Name;  // dotted
  TSourcePos Pos;
};

// import a.b.C; or import a.b.*; (Name is then "a.b").
struct SImport : TStmt {
  SImport(TSourcePos pos, TTypeRef name, bool wildcard)
      : TStmt(TStmtKind::Import, pos), Name(std::move(name)), Wildcard(wildcard) {}
  TTypeRef Name;
  bool Wildcard;
};

enum class TMemberKind : uint8_t { Var, Method, Getter, Setter };

struct TClassMember {
  TMemberKind Kind = TMemberKind::Var;
  std::string Name;
  TSourcePos Pos;
  bool Static = false;
  TExprPtr Init;                  // Var: may be null
  std::unique_ptr<TFunction> Fn;  // the others
};

// A class or an interface, in a file of its own.
struct SClass : TStmt {
  explicit SClass(TSourcePos pos);
  ~SClass() override;
  bool IsInterface = false;
  std::string Name;  // dotted, as the file is found through the class path
  bool HasBase = false;
  TTypeRef Base;
  std::vector<TTypeRef> Interfaces;  // an interface's extends go here too
  std::unique_ptr<TFunction> Constructor;  // null: none written
  std::vector<TClassMember> Members;
  // resolved
  std::string BaseName;                    // qualified
  std::vector<std::string> InterfaceNames;  // qualified
};

// ---- functions and the program ---------------------------------------------------------------

// The members a method reaches by their names alone: instance members through `this`, static
// ones through the class (inherited ones too).
struct TMemberNames {
  std::string ClassName;  // qualified
  std::unordered_map<std::string, bool> Static;  // name: whether it is static
};

struct TParam {
  std::string Name;
  TSourcePos Pos;
  TBinding* Binding = nullptr;  // resolved
};

struct TFunction {
  TFunction();
  ~TFunction();
  TSourcePos Pos;
  std::string Name;   // empty for an anonymous function expression
  bool IsExpression = false;
  std::vector<TParam> Params;
  TStmtList Body;
  std::unique_ptr<TFunctionScope> Scope;  // resolved
  const TMemberNames* Members = nullptr;  // a method of a class
  bool IsConstructor = false;
};

struct TProgram {
  TProgram();
  ~TProgram();
  TProgram(TProgram&&) noexcept;
  TProgram& operator=(TProgram&&) noexcept;
  TStmtList Body;
  std::unique_ptr<TFunctionScope> Scope;  // resolved: the script's own level
  std::vector<TTypeRef> Types;            // every type annotation, in order
};

}  // namespace tw::asc
