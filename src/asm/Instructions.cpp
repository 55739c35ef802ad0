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
