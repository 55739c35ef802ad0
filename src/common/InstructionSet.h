#pragma once
// The one instruction table: every name the instruction field may carry, with
// its operand form, operation code and length. The assembler's name lookup, the
// machine's decode information and the disassembler's mnemonics are all derived
// from it, and DecodeFields is the one place that splits a first word.
//
// To add a machine instruction: add its row here, then its handler to the
// machine's operation list (machine/CpuCore.h; a compile-time check refuses a
// row without a handler and a handler without a row).
#include <array>
#include <cstdint>
#include <string_view>

#include "common/Word.h"

namespace tolvane {

enum class OperandForm : std::uint8_t {
  // Machine instructions.
  RegAdr,  // r,adr[,x]: two words
  RegReg,  // r1,r2: one word (the register forms, never written by the user)
  Adr,     // adr[,x]: two words
  Reg,     // r: one word (POP)
  None,    // no operand: one word (NOP, RET)
  // Pseudo instructions.
  Start,
  End,
  Ds,
  Dc,
  // Macro instructions.
  InOut,     // label,label (IN, OUT)
  RPushPop,  // no operand (RPUSH, RPOP)
};

constexpr bool IsMachineForm(OperandForm f) { return f <= OperandForm::None; }
// Which fields of the first word a machine instruction uses: r (or r1) and x (or r2).
constexpr bool UsesR(OperandForm f) {
  return f == OperandForm::RegAdr || f == OperandForm::RegReg || f == OperandForm::Reg;
}
constexpr bool UsesX(OperandForm f) {
  return f == OperandForm::RegAdr || f == OperandForm::RegReg || f == OperandForm::Adr;
}

struct InstructionDef {
  std::string_view name;      // as the instruction field carries it (register forms: "LD_reg")
  std::string_view mnemonic;  // as the disassembler shows it
  OperandForm form;
  std::uint8_t code;   // operation code; IN/OUT: the SVC number; RPUSH 0, RPOP 1; pseudo: 0
  std::uint8_t words;  // words generated: 1 or 2 for machine instructions, the expansion's
                       // length for macros, 0 for pseudo instructions (DS and DC: by operand)
};

inline constexpr InstructionDef kInstructionSet[] = {
    {"LD", "LD", OperandForm::RegAdr, 0x10, 2},
    {"ST", "ST", OperandForm::RegAdr, 0x11, 2},
    {"LAD", "LAD", OperandForm::RegAdr, 0x12, 2},
    {"ADDA", "ADDA", OperandForm::RegAdr, 0x20, 2},
    {"SUBA", "SUBA", OperandForm::RegAdr, 0x21, 2},
    {"ADDL", "ADDL", OperandForm::RegAdr, 0x22, 2},
    {"SUBL", "SUBL", OperandForm::RegAdr, 0x23, 2},
    {"AND", "AND", OperandForm::RegAdr, 0x30, 2},
    {"OR", "OR", OperandForm::RegAdr, 0x31, 2},
    {"XOR", "XOR", OperandForm::RegAdr, 0x32, 2},
    {"CPA", "CPA", OperandForm::RegAdr, 0x40, 2},
    {"CPL", "CPL", OperandForm::RegAdr, 0x41, 2},
    {"SLA", "SLA", OperandForm::RegAdr, 0x50, 2},
    {"SRA", "SRA", OperandForm::RegAdr, 0x51, 2},
    {"SLL", "SLL", OperandForm::RegAdr, 0x52, 2},
    {"SRL", "SRL", OperandForm::RegAdr, 0x53, 2},
    {"LD_reg", "LD", OperandForm::RegReg, 0x14, 1},
    {"ADDA_reg", "ADDA", OperandForm::RegReg, 0x24, 1},
    {"SUBA_reg", "SUBA", OperandForm::RegReg, 0x25, 1},
    {"ADDL_reg", "ADDL", OperandForm::RegReg, 0x26, 1},
    {"SUBL_reg", "SUBL", OperandForm::RegReg, 0x27, 1},
    {"AND_reg", "AND", OperandForm::RegReg, 0x34, 1},
    {"OR_reg", "OR", OperandForm::RegReg, 0x35, 1},
    {"XOR_reg", "XOR", OperandForm::RegReg, 0x36, 1},
    {"CPA_reg", "CPA", OperandForm::RegReg, 0x44, 1},
    {"CPL_reg", "CPL", OperandForm::RegReg, 0x45, 1},
    {"JMI", "JMI", OperandForm::Adr, 0x61, 2},
    {"JNZ", "JNZ", OperandForm::Adr, 0x62, 2},
    {"JZE", "JZE", OperandForm::Adr, 0x63, 2},
    {"JUMP", "JUMP", OperandForm::Adr, 0x64, 2},
    {"JPL", "JPL", OperandForm::Adr, 0x65, 2},
    {"JOV", "JOV", OperandForm::Adr, 0x66, 2},
    {"PUSH", "PUSH", OperandForm::Adr, 0x70, 2},
    {"POP", "POP", OperandForm::Reg, 0x71, 1},
    {"CALL", "CALL", OperandForm::Adr, 0x80, 2},
    {"RET", "RET", OperandForm::None, 0x81, 1},
    {"SVC", "SVC", OperandForm::Adr, 0xF0, 2},
    {"NOP", "NOP", OperandForm::None, 0x00, 1},
    {"START", "START", OperandForm::Start, 0, 0},
    {"END", "END", OperandForm::End, 0, 0},
    {"DS", "DS", OperandForm::Ds, 0, 0},
    {"DC", "DC", OperandForm::Dc, 0, 0},
    {"IN", "IN", OperandForm::InOut, 1, 12},
    {"OUT", "OUT", OperandForm::InOut, 2, 12},
    {"RPUSH", "RPUSH", OperandForm::RPushPop, 0, 14},
    {"RPOP", "RPOP", OperandForm::RPushPop, 1, 7},
};

// A machine instruction's length follows from its form; the table states both.
static_assert([] {
  for (const InstructionDef& d : kInstructionSet)
    if (IsMachineForm(d.form) && d.words != ((d.form == OperandForm::RegAdr || d.form == OperandForm::Adr) ? 2 : 1))
      return false;
  return true;
}());

// Compile-time code works with row indexes: some compilers do not evaluate
// pointer comparisons into the table as constants (with sanitizers on).

// The index of a name's row (a whole, case-sensitive match), -1 when there is none.
constexpr int InstructionIndex(std::string_view name) {
  for (std::size_t i = 0; i < std::size(kInstructionSet); ++i)
    if (kInstructionSet[i].name == name) return static_cast<int>(i);
  return -1;
}

namespace instruction_set_detail {
// Per operation code: the index of its machine instruction row, or -1.
inline constexpr std::array<std::int8_t, 256> kRowOfCode = [] {
  std::array<std::int8_t, 256> t{};
  for (auto& v : t) v = -1;
  for (std::size_t i = 0; i < std::size(kInstructionSet); ++i)
    if (IsMachineForm(kInstructionSet[i].form)) t[kInstructionSet[i].code] = static_cast<std::int8_t>(i);
  return t;
}();
}  // namespace instruction_set_detail

// The index of the machine instruction with this operation code, -1 for an undefined code.
constexpr int MachineIndex(unsigned code) { return instruction_set_detail::kRowOfCode[code & 0xFF]; }

// The machine instruction with this operation code, null for an undefined code.
constexpr const InstructionDef* MachineInstruction(unsigned code) {
  const int row = MachineIndex(code);
  return row < 0 ? nullptr : &kInstructionSet[row];
}

// The operation code of a machine instruction name, for code that writes
// instructions (macro expansions, tests); a name without a machine row does not compile.
consteval std::uint8_t OpCodeOf(std::string_view name) {
  const int i = InstructionIndex(name);
  if (i < 0 || !IsMachineForm(kInstructionSet[i].form)) throw "not a machine instruction";
  return kInstructionSet[i].code;
}

// A row's length, for compile-time checks.
consteval int WordsOf(std::string_view name) {
  const int i = InstructionIndex(name);
  if (i < 0) throw "no such instruction";
  return kInstructionSet[i].words;
}

// The fields of an instruction's first word: operation code (bits 15-8), r or r1
// (bits 7-4) and x or r2 (bits 3-0).
struct InstructionFields {
  std::uint8_t op;
  std::uint8_t r;
  std::uint8_t x;
};
constexpr InstructionFields DecodeFields(Word first) {
  return {static_cast<std::uint8_t>(first >> 8), static_cast<std::uint8_t>((first >> 4) & 0x0F),
          static_cast<std::uint8_t>(first & 0x0F)};
}
constexpr Word EncodeFirstWord(unsigned op, unsigned r = 0, unsigned x = 0) {
  return static_cast<Word>(((op & 0xFF) << 8) | ((r & 0x0F) << 4) | (x & 0x0F));
}

// Only GR0-GR7 exist: an instruction whose used r or x field holds 8-15 is
// treated as undefined by the machine and shown as such by the disassembler.
// Fields an instruction does not use (the r field of a jump, both of RET) are ignored.
constexpr const InstructionDef* DefinedInstruction(Word first) {
  const InstructionFields f = DecodeFields(first);
  const InstructionDef* d = MachineInstruction(f.op);
  if (d == nullptr || (UsesR(d->form) && f.r >= 8) || (UsesX(d->form) && f.x >= 8)) return nullptr;
  return d;
}

// Length in words of the instruction whose first word is `first`: 1 or 2, or 0
// when it is undefined (see DefinedInstruction).
constexpr int InstructionWords(Word first) {
  const InstructionDef* d = DefinedInstruction(first);
  return d ? d->words : 0;
}

}  // namespace tolvane
