#include "debugger/Watches.h"

#include <algorithm>

#include "common/TextRules.h"
#include "debugger/Formats.h"

namespace tolvane::debugger {

std::string Watch::AddressText() const { return Hex4(address); }
std::string Watch::HexText() const { return shown == Shown::Nothing ? std::string() : Hex4(value); }
std::string Watch::LogicalText() const { return shown == Shown::All ? WatchLogicalText(value) : std::string(); }
std::string Watch::ArithmeticText() const { return shown == Shown::All ? WatchArithmeticText(value) : std::string(); }
std::string Watch::CharacterText() const { return shown == Shown::All ? MemoryCharText(value) : std::string(); }

void WatchList::RefreshWatches(const Word* memory) {
  for (Watch& w : rows_) {
    w.value = memory[w.address];
    w.shown = Watch::Shown::All;
  }
}

void WatchList::FillWatchesFromSymbols(const SymbolIndex& symbols, const Word* memory) {
  rows_.clear();
  for (const SymbolRecord& r : symbols.Records()) {
    if (!r.name.empty() && r.name[0] == '=') continue;
    Watch w;
    w.address = r.address;
    w.label = r.name;
    w.value = memory[r.address];
    w.shown = Watch::Shown::HexOnly;
    rows_.push_back(std::move(w));
  }
}

void WatchList::ClearWatches() {
  rows_.clear();
  working_.clear();
}

void WatchList::OpenWorkingCopy() {
  working_.clear();
  for (const Watch& w : rows_) working_.push_back({w.AddressText(), w.label});
}

void WatchList::SortByAddress(std::vector<WatchEntry>& v) {
  std::stable_sort(v.begin(), v.end(),
                   [](const WatchEntry& a, const WatchEntry& b) { return a.addressText < b.addressText; });
}

namespace {

// The entry dialog's checks; fills `entry` when the text names a new watch.
DialogResult CheckEntry(AddBy by, const std::string& text, const SymbolIndex& symbols,
                        const std::vector<WatchEntry>& existing, WatchEntry& entry) {
  const Entry e = ReadEntry(by, text, symbols);
  if (!e.Ok()) return DialogResult::From(e.refusal);
  const std::string at = Hex4(e.address);
  for (const WatchEntry& w : existing)
    if (by == AddBy::Label ? w.label == text : w.addressText == at) return DialogResult::From(Refusal::AlreadySet);
  entry = {at, by == AddBy::Label ? text : symbols.LabelOfAddress(e.address)};
  return DialogResult::Accept();
}

}  // namespace

DialogResult WatchList::AddToWorkingCopy(AddBy by, const std::string& text, const SymbolIndex& symbols) {
  WatchEntry e;
  DialogResult r = CheckEntry(by, text, symbols, working_, e);
  if (!r.accepted) return r;
  working_.push_back(std::move(e));
  SortByAddress(working_);
  return r;
}

void WatchList::DeleteFromWorkingCopy(int index) {
  if (index < 0 || index >= static_cast<int>(working_.size())) return;
  working_.erase(working_.begin() + index);
}

void WatchList::CommitWorkingCopy(const Word* memory) {
  std::vector<WatchEntry> sorted = working_;
  SortByAddress(sorted);
  rows_.clear();
  for (WatchEntry& e : sorted) {
    Watch w;
    w.address = ParseAddress(e.addressText).value_or(0);
    w.label = std::move(e.label);
    rows_.push_back(std::move(w));
  }
  RefreshWatches(memory);
}

DialogResult WatchList::AddDirect(AddBy by, const std::string& text, const SymbolIndex& symbols, const Word* memory,
                                  int* added) {
  OpenWorkingCopy();
  WatchEntry e;
  DialogResult r = CheckEntry(by, text, symbols, working_, e);
  working_.clear();
  if (!r.accepted) return r;
  // As the list dialog's OK with the one row added, without rebuilding the
  // list: rows in address order, the new one after those of its address.
  const auto byAddress = [](const Watch& a, const Watch& b) { return a.address < b.address; };
  if (!std::is_sorted(rows_.begin(), rows_.end(), byAddress)) std::stable_sort(rows_.begin(), rows_.end(), byAddress);
  Watch w;
  w.address = ParseAddress(e.addressText).value_or(0);
  w.label = std::move(e.label);
  const auto at = rows_.insert(std::upper_bound(rows_.begin(), rows_.end(), w, byAddress), std::move(w));
  if (added) *added = static_cast<int>(at - rows_.begin());
  RefreshWatches(memory);
  return r;
}

}  // namespace tolvane::debugger
