#include "asm/Instructions.h"

#include <unordered_map>

#include "asm/AsmCore.h"

namespace tolvane {

namespace {

const Instruction kInstructions[] = {
    {"LD", Form::RegAdr, 0x10},
    {"ST", Form::RegAdr, 0x11},
    {"LAD", Form::RegAdr, 0x12},
    {"ADDA", Form::RegAdr, 0x20},
    {"SUBA", Form::RegAdr, 0x21},
    {"ADDL", Form::RegAdr, 0x22},
    {"SUBL", Form::RegAdr, 0x23},
    {"AND", Form::RegAdr, 0x30},
    {"OR", Form::RegAdr, 0x31},
    {"XOR", Form::RegAdr, 0x32},
    {"CPA", Form::RegAdr, 0x40},
    {"CPL", Form::RegAdr, 0x41},
    {"SLA", Form::RegAdr, 0x50},
    {"SRA", Form::RegAdr, 0x51},
    {"SLL", Form::RegAdr, 0x52},
    {"SRL", Form::RegAdr, 0x53},
    {"LD_reg", Form::RegReg, 0x14},
    {"ADDA_reg", Form::RegReg, 0x24},
    {"SUBA_reg", Form::RegReg, 0x25},
    {"ADDL_reg", Form::RegReg, 0x26},
    {"SUBL_reg", Form::RegReg, 0x27},
    {"AND_reg", Form::RegReg, 0x34},
    {"OR_reg", Form::RegReg, 0x35},
    {"XOR_reg", Form::RegReg, 0x36},
    {"CPA_reg", Form::RegReg, 0x44},
    {"CPL_reg", Form::RegReg, 0x45},
    {"JMI", Form::Adr, 0x61},
    {"JNZ", Form::Adr, 0x62},
    {"JZE", Form::Adr, 0x63},
    {"JUMP", Form::Adr, 0x64},
    {"JPL", Form::Adr, 0x65},
    {"JOV", Form::Adr, 0x66},
    {"PUSH", Form::Adr, 0x70},
    {"POP", Form::Pop, 0x71},
    {"CALL", Form::Adr, 0x80},
    {"RET", Form::None, 0x81},
    {"SVC", Form::Adr, 0xF0},
    {"NOP", Form::None, 0x00},
    {"START", Form::Start, 0},
    {"END", Form::End, 0},
    {"DS", Form::Ds, 0},
    {"DC", Form::Dc, 0},
    {"IN", Form::InOut, 1},
    {"OUT", Form::InOut, 2},
    {"RPUSH", Form::RPushPop, 0},
    {"RPOP", Form::RPushPop, 1},
};

}  // namespace

const Instruction* FindInstruction(const char* name) {
  static const std::unordered_map<std::uint64_t, const Instruction*> index = [] {
    std::unordered_map<std::uint64_t, const Instruction*> m;
    for (const Instruction& i : kInstructions) m.emplace(NameKey(i.name), &i);
    return m;
  }();
  std::uint64_t key = NameKey(name);
  if (key == 0) return nullptr;
  auto it = index.find(key);
  return it == index.end() ? nullptr : it->second;
}

InstructionKind KindOf(const Instruction& instruction) {
  switch (instruction.form) {
    case Form::Start:
    case Form::End:
    case Form::Ds:
    case Form::Dc:
      return InstructionKind::Directive;
    case Form::InOut:
    case Form::RPushPop:
      return InstructionKind::Macro;
    case Form::RegAdr:
    case Form::Adr:
    case Form::RegReg:
    case Form::Pop:
    case Form::None:
      return InstructionKind::Machine;
  }
  return InstructionKind::Machine;  // (every form is named above, so that a new one is not forgotten)
}

}  // namespace tolvane
