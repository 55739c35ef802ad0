#include "asm/Instructions.h"

#include <unordered_map>

#include "asm/AsmCore.h"

namespace tolvane {

const InstructionDef* FindInstruction(const char* name) {
  static const std::unordered_map<std::uint64_t, const InstructionDef*> index = [] {
    std::unordered_map<std::uint64_t, const InstructionDef*> m;
    for (const InstructionDef& i : kInstructionSet) m.emplace(NameKey(std::string(i.name).c_str()), &i);
    return m;
  }();
  std::uint64_t key = NameKey(name);
  if (key == 0) return nullptr;
  auto it = index.find(key);
  return it == index.end() ? nullptr : it->second;
}

InstructionKind KindOf(const InstructionDef& instruction) {
  switch (instruction.form) {
    case OperandForm::Start:
    case OperandForm::End:
    case OperandForm::Ds:
    case OperandForm::Dc:
      return InstructionKind::Directive;
    case OperandForm::InOut:
    case OperandForm::RPushPop:
      return InstructionKind::Macro;
    case OperandForm::RegAdr:
    case OperandForm::Adr:
    case OperandForm::RegReg:
    case OperandForm::Reg:
    case OperandForm::None:
      return InstructionKind::Machine;
  }
  return InstructionKind::Machine;  // (every form is named above, so that a new one is not forgotten)
}

}  // namespace tolvane
