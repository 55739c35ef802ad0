#pragma once
// The names the instruction field may carry, with operand form and code.
#include <cstdint>

namespace tolvane {

enum class Form {
  RegAdr,  // r,adr[,x]: two words
  Adr,     // adr[,x]: two words
  RegReg,  // register form r1,r2: one word
  Pop,     // r: one word
  None,    // no operand: one word (RET, NOP)
  Start,
  End,
  Ds,
  Dc,
  InOut,     // macro IN / OUT
  RPushPop,  // macro RPUSH / RPOP
};

struct Instruction {
  const char* name;
  Form form;
  std::uint8_t code;  // operation code, the first word's high byte (SVC number for IN/OUT)
};

// Null for a name that is no instruction.
const Instruction* FindInstruction(const char* name);

// What a name of the table is to a reader of the source: a machine
// instruction, an assembler directive (START, END, DS, DC) or a macro (IN,
// OUT, RPUSH, RPOP).
enum class InstructionKind : std::uint8_t { Machine, Directive, Macro };
InstructionKind KindOf(const Instruction& instruction);

}  // namespace tolvane
