#pragma once
// The assembler's view of the instruction table (common/InstructionSet.h): a
// name lookup over the instruction field.
#include "common/InstructionSet.h"

namespace tolvane {

// Null for a name that is no instruction.
const InstructionDef* FindInstruction(const char* name);

}  // namespace tolvane
