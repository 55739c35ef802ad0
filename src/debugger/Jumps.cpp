#include "debugger/Jumps.h"

#include "common/Cp932.h"
#include "debugger/DialogResult.h"
#include "debugger/TextChecks.h"

namespace tolvane::debugger {
namespace {

JumpResult Invalid(std::string_view text) {
  JumpResult r;
  r.outcome = JumpResult::Outcome::Invalid;
  r.kind = BoxKind::Warning;
  r.message = NotValidDataMessage(std::string(text));
  return r;
}

JumpResult NotFound(std::string_view text) {
  JumpResult r;
  r.outcome = JumpResult::Outcome::NotFound;
  r.kind = BoxKind::Information;
  r.message = CannotJumpMessage(text);
  return r;
}

JumpResult ToRow(int row) {
  JumpResult r;
  r.row = row;
  return r;
}

}  // namespace

std::string CannotJumpMessage(std::string_view text) {
  static const std::string kTail = J(u8"にはジャンプできません。");
  return std::string(text) + kTail;
}

JumpResult JumpToAddressInDisassembly(const Disassembler& rows, std::string_view text) {
  if (!IsHexAddressText(text)) return Invalid(text);
  const Word address = HexTextValue(text);
  int row = rows.FindRowOfAddress(address);
  // FindRowOfAddress already looks one word back; this looks one further, and
  // wraps like every address computation of the machine.
  if (row < 0) row = rows.FindRowOfAddress(static_cast<Word>(address - 1));
  if (row < 0) return NotFound(text);
  JumpResult r = ToRow(row);
  r.address = address;
  return r;
}

JumpResult JumpToLabelInDisassembly(const Disassembler& rows, const SymbolIndex& symbols, std::string_view text) {
  if (!IsLabelText(text)) return Invalid(text);
  const Word address = symbols.AddressOfLabel(text);
  if (address == 0) return NotFound(text);
  const int row = rows.FindRowOfAddress(address);
  if (row < 0) return NotFound(text);
  JumpResult r = ToRow(row);
  r.address = address;
  return r;
}

JumpResult JumpToAddressInMemory(std::string_view text) {
  if (!IsHexAddressText(text)) return Invalid(text);
  JumpResult r;
  r.address = HexTextValue(text);
  return r;
}

}  // namespace tolvane::debugger
