#include "dap/DisassemblyRow.h"

namespace tolvane::dap {

namespace {

constexpr std::size_t kWordsAt = 6, kWordsEnd = 15, kLabelAt = 17, kInstructionAt = 26;

std::string Column(std::string_view text, std::size_t from, std::size_t to) {
  if (from >= text.size()) return {};
  std::string_view c = text.substr(from, to - from);
  while (!c.empty() && c.back() == ' ') c.remove_suffix(1);
  while (!c.empty() && c.front() == ' ') c.remove_prefix(1);
  return std::string(c);
}

}  // namespace

RowParts SplitDisassemblyRow(std::string_view text) {
  return RowParts{Column(text, kWordsAt, kWordsEnd), Column(text, kLabelAt, kInstructionAt),
                  Column(text, kInstructionAt, std::string_view::npos)};
}

}  // namespace tolvane::dap
