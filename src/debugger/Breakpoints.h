#pragma once
#include <bitset>
#include <string>
#include <vector>

#include "common/Word.h"
#include "debugger/DialogResult.h"
#include "debugger/SymbolIndex.h"

namespace tolvane::debugger {

struct Breakpoint {
  Word address = 0;
  std::string label;  // CP932, may be empty
  bool enabled = true;

  std::string AddressText() const;                               // "01A0"
  const char* StateText() const { return enabled ? "1" : "0"; }  // the list's third column
};

// The breakpoint table: at most one row per address, always in ascending address
// order. It lives for the whole session; the list dialog is only a view of it.
// The run loops ask `IsEnabledAt` once per instruction, so it is a bit test.
class BreakpointTable {
 public:
  enum class Toggle { Added, Removed };

  const std::vector<Breakpoint>& Rows() const { return rows_; }
  int Count() const { return static_cast<int>(rows_.size()); }

  bool IsEnabledAt(Word address) const { return enabled_[address]; }
  const std::bitset<kMemoryWords>& EnabledBits() const { return enabled_; }
  // Index of the row for the address in the given state, or -1.
  int FindEnabledBreakpoint(Word address) const;
  int FindDisabledBreakpoint(Word address) const;

  // The disassembly pane's double-click: removes the row for the address
  // (enabled or not) or adds an enabled one labelled with LabelOfAddress.
  Toggle ToggleBreakpointAt(Word address, const SymbolIndex& symbols);
  void ClearBreakpoints();

  // The list dialog's buttons; an index out of range (no selection) does nothing.
  void SwitchEnabled(int index);
  void Delete(int index);

  // An entry as the add dialog, `break` and the adapter read it: an enabled
  // row labelled with the entry's label or else the address's; the entry's
  // own refusal, or AlreadySet when the address has a row.
  Refusal Add(const Entry& entry, const SymbolIndex& symbols);
  // Adds an enabled row with the label; AlreadySet when the address has a row.
  Refusal Add(Word address, std::string label);

  // Adds an enabled row unless the address already has one; false then.
  bool AddRow(Word address, std::string label);

 private:
  int Find(Word address) const;  // any state
  void Recount(Word address);

  std::vector<Breakpoint> rows_;
  std::bitset<kMemoryWords> enabled_;
};

}  // namespace tolvane::debugger
