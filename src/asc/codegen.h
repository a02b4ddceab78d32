// Code generation: a resolved parse tree to action records, through the assembler.
//
// Values live on the player's stack. Locals of DefineFunction2 functions live in registers (see
// scopes.h), everything else in variables reached by name. The code generator needs a few
// registers of its own: inside a DefineFunction2 function it takes them after the locals; at
// the script's level and in DefineFunction functions it uses the four global registers only in
// patterns that read a register right after writing it, except for the exit flag of a
// try statement at the script's level (registers 2 and 3, which nothing else there touches).
#pragma once

#include <span>

#include "asc/assembler.h"
#include "asc/ast.h"

namespace tw::asc {

// Appends the code of the classes, in order, and then of the program (when there is one). The
// constant pool comes first when `pool` is not empty.
void GenerateCode(const TProgram* program, TAssembler& assembler, std::vector<std::string> pool,
                  std::span<const SClass* const> classes = {});

}  // namespace tw::asc
