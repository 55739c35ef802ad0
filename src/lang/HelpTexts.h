#pragma once
// Explanations of the instruction field's names and of the registers, read
// from the help page on the language (embedded in the program), in CP932.
#include <string>
#include <string_view>
#include <vector>

namespace tolvane::lang {

extern const char* const kLanguageHelpPage;  // the page, UTF-8 HTML

struct InstructionHelp {
  std::string name;                // "LD"
  std::string title;               // "LD（ロード）"
  std::vector<std::string> forms;  // "LD r,adr[,x]", "LD r1,r2"
  std::string action;              // what it does, one line per form
  std::string flags;               // "OF:0 SF:○ ZF:○", empty when the page gives none
  // The operands of each form ("LD r,adr[,x]" gives r, adr and an optional x).
  struct Operand {
    std::string name;
    bool optional = false;
  };
  std::vector<std::vector<Operand>> operands;
};

// The help of an instruction, directive or macro name; null when the page
// has none.
const InstructionHelp* FindInstructionHelp(std::string_view name);
// The explanation of the general registers.
const std::string& RegisterHelp();

}  // namespace tolvane::lang
