// Scopes: which declaration every name refers to, which locals inner functions capture, where
// break and continue go, and the registers of each function.
//
// A function compiled as DefineFunction2 (Flash 7 and later) keeps its parameters and locals in
// registers, unless an inner function captures them (a closure reads them by name from the
// function's scope object, which registers are not part of), the script deletes them, or the
// function looks names up at run time (eval, set, with). Registers are numbered from 1: first
// the values the player preloads (this, arguments, _root, _parent, _global, in the player's
// order), then parameters and locals, then the temporaries of the code generator.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "asc/ast.h"

namespace tw::asc {

struct TBinding {
  enum class TKind : uint8_t { Var, Param, Function, Catch, SelfName };

  std::string Name;
  TSourcePos Pos;
  TKind Kind = TKind::Var;
  TFunctionScope* Owner = nullptr;
  bool Captured = false;    // read or written by a function nested in its owner
  bool Deleted = false;     // `delete name`: must be a variable
  bool Referenced = false;  // named anywhere after its declaration
  uint8_t Register = 0;     // 0: a variable of its name
};

// The register numbers a DefineFunction2 record holds: 0..254.
constexpr int kMaxRegister = 254;
// Registers left for temporaries when parameters and locals are handed out.
constexpr int kTemporaryRegisters = 16;

struct TFunctionScope {
  TFunctionScope* Parent = nullptr;
  TFunction* Function = nullptr;  // null at the script's own level
  std::vector<std::unique_ptr<TBinding>> Bindings;  // in order of declaration
  std::unordered_map<std::string, TBinding*> ByKey;
  std::vector<TFunction*> Declarations;  // function statements, defined before the body runs

  bool UsesThis = false;
  bool UsesArguments = false;
  bool UsesRoot = false;
  bool UsesParent = false;
  bool UsesGlobal = false;
  bool UsesSuper = false;
  // Names may be reached as text at run time (eval, set, with): every name stays a variable.
  bool Dynamic = false;
  // An inner function is dynamic: it may reach this function's names as text.
  bool DynamicInner = false;
  TBinding* SelfBinding = nullptr;  // a function expression's own name

  // DefineFunction2 only.
  bool UsesRegisters = false;
  uint8_t ThisRegister = 0, ArgumentsRegister = 0, RootRegister = 0, ParentRegister = 0,
          GlobalRegister = 0;
  int FirstTemporary = 1;  // the first register after preloads, parameters and locals

  bool IsProgram() const { return Function == nullptr; }
};

// Finds the classes that names left unresolved mean, loading their files on the way.
class TClassFinder {
 public:
  virtual ~TClassFinder() = default;
  // The qualified name of the class or interface a (dotted) name means where it stands, or none.
  virtual std::optional<std::string> FindClass(const std::string& name, TSourcePos where) = 0;
};

// `_global.a.b.C`: where a class lives.
TExprPtr ClassPath(const std::string& qualified, TSourcePos pos);

// Resolves the names, jumps and scopes of a parsed program for a player version: Flash 6 and
// earlier look names up regardless of case, and only Flash 7 and later have registers in
// functions. Names of a class's members in its methods become accesses through `this` or the
// class; names of classes (through `classes`) become their place on _global. Throws
// ECompileError for a break or continue without a target, an unknown label, and a return
// outside a function; messages name the source of each position.
void ResolveScopes(TProgram& program, int version, const TSourceNames& sources,
                   TClassFinder* classes = nullptr);

}  // namespace tw::asc
