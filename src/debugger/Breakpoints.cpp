#include "debugger/Breakpoints.h"

#include <algorithm>

#include "common/TextRules.h"

namespace tolvane::debugger {

std::string Breakpoint::AddressText() const { return Hex4(address); }

int BreakpointTable::Find(Word address) const {
  auto it =
      std::lower_bound(rows_.begin(), rows_.end(), address, [](const Breakpoint& b, Word a) { return b.address < a; });
  if (it == rows_.end() || it->address != address) return -1;
  return static_cast<int>(it - rows_.begin());
}

void BreakpointTable::Recount(Word address) {
  int i = Find(address);
  enabled_[address] = i >= 0 && rows_[static_cast<std::size_t>(i)].enabled;
}

int BreakpointTable::FindEnabledBreakpoint(Word address) const { return enabled_[address] ? Find(address) : -1; }

int BreakpointTable::FindDisabledBreakpoint(Word address) const {
  int i = Find(address);
  return i >= 0 && !rows_[static_cast<std::size_t>(i)].enabled ? i : -1;
}

bool BreakpointTable::AddRow(Word address, std::string label) {
  auto it =
      std::lower_bound(rows_.begin(), rows_.end(), address, [](const Breakpoint& b, Word a) { return b.address < a; });
  if (it != rows_.end() && it->address == address) return false;
  rows_.insert(it, Breakpoint{address, std::move(label), true});
  enabled_[address] = true;
  return true;
}

BreakpointTable::Toggle BreakpointTable::ToggleBreakpointAt(Word address, const SymbolIndex& symbols) {
  int i = Find(address);
  if (i >= 0) {
    Delete(i);
    return Toggle::Removed;
  }
  AddRow(address, symbols.LabelOfAddress(address));
  return Toggle::Added;
}

void BreakpointTable::ClearBreakpoints() {
  rows_.clear();
  enabled_.reset();
}

void BreakpointTable::SwitchEnabled(int index) {
  if (index < 0 || index >= Count()) return;
  Breakpoint& b = rows_[static_cast<std::size_t>(index)];
  b.enabled = !b.enabled;
  enabled_[b.address] = b.enabled;
}

void BreakpointTable::Delete(int index) {
  if (index < 0 || index >= Count()) return;
  Word a = rows_[static_cast<std::size_t>(index)].address;
  rows_.erase(rows_.begin() + index);
  Recount(a);
}

Refusal BreakpointTable::Add(const Entry& entry, const SymbolIndex& symbols) {
  if (!entry.Ok()) return entry.refusal;
  return Add(entry.address, entry.label.empty() ? symbols.LabelOfAddress(entry.address) : entry.label);
}

Refusal BreakpointTable::Add(Word address, std::string label) {
  return AddRow(address, std::move(label)) ? Refusal::None : Refusal::AlreadySet;
}

}  // namespace tolvane::debugger
