#pragma once
// The assembler's view of the instruction table (common/InstructionSet.h): a
// name lookup over the instruction field.
#include "common/InstructionSet.h"

namespace tolvane {

// Null for a name that is no instruction.
const InstructionDef* FindInstruction(const char* name);

// What a name of the table is to a reader of the source: a machine
// instruction, an assembler directive (START, END, DS, DC) or a macro (IN,
// OUT, RPUSH, RPOP).
enum class InstructionKind : std::uint8_t { Machine, Directive, Macro };
InstructionKind KindOf(const InstructionDef& instruction);

}  // namespace tolvane
