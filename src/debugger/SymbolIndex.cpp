#include "debugger/SymbolIndex.h"

#include <algorithm>

namespace tolvane::debugger {
namespace {
const std::string kEmpty;
}

SymbolIndex::SymbolIndex() : firstAt_(kMemoryWords, -1), lastAt_(kMemoryWords, -1) {}

void SymbolIndex::Clear() { Assign({}, false); }

void SymbolIndex::Assign(std::vector<SymbolRecord> records, bool loaded) {
  // Forget only the addresses the old table used, so that a reload is cheap.
  for (const SymbolRecord& r : records_) {
    firstAt_[r.address] = -1;
    lastAt_[r.address] = -1;
  }
  byName_.clear();
  records_ = std::move(records);
  loaded_ = loaded;
  if (!loaded_) return;
  byName_.reserve(records_.size());
  for (std::size_t i = 0; i < records_.size(); ++i) {
    const SymbolRecord& r = records_[i];
    auto idx = static_cast<std::int32_t>(i);
    if (firstAt_[r.address] < 0) firstAt_[r.address] = idx;
    lastAt_[r.address] = idx;
    byName_.emplace(r.name, idx);  // keeps the first record of a name
  }
}

const SymbolRecord* SymbolIndex::FindName(std::string_view name) const {
  if (!loaded_) return nullptr;
  auto it = byName_.find(name);
  return it == byName_.end() ? nullptr : &records_[static_cast<std::size_t>(it->second)];
}

Word SymbolIndex::AddressOfLabel(std::string_view name) const {
  const SymbolRecord* r = FindName(name);
  return r ? r->address : 0;
}

const std::string& SymbolIndex::LabelOfAddress(Word address) const {
  if (!loaded_) return kEmpty;
  std::int32_t i = firstAt_[address];
  return i < 0 ? kEmpty : records_[static_cast<std::size_t>(i)].name;
}

bool SymbolIndex::LabelExists(std::string_view name) const { return FindName(name) != nullptr; }

}  // namespace tolvane::debugger
