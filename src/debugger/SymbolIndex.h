#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "common/Word.h"
#include "link/ObjectFile.h"

namespace tolvane::debugger {

// A record of the symbol file: name (CP932; literals begin with '=') and address.
using tolvane::SymbolRecord;

// The symbol table of the loaded program with the indexes its look-ups need.
// Records stay in file order. Look-ups by name and `LabelOfAddress` take the
// first matching record; the disassembler's `DisassemblyLabelAt` takes the last
// one, as the listing has always shown the name defined last.
class SymbolIndex {
 public:
  SymbolIndex();

  // Replaces the table. `loaded` is the symbols flag: false means symbolic
  // debugging is off and every look-up finds nothing.
  void Assign(std::vector<SymbolRecord> records, bool loaded = true);
  void Clear();

  bool Loaded() const { return loaded_; }
  const std::vector<SymbolRecord>& Records() const { return records_; }

  // 0000H when there is no such name (callers treat 0000H as not found).
  Word AddressOfLabel(std::string_view name) const;
  // The first record's name at the address, or the empty text.
  const std::string& LabelOfAddress(Word address) const;
  bool LabelExists(std::string_view name) const;
  // The name of the last record at the address, or nullptr.
  const std::string* DisassemblyLabelAt(Word address) const {
    std::int32_t i = lastAt_[address];
    return i < 0 ? nullptr : &records_[static_cast<std::size_t>(i)].name;
  }

 private:
  struct Hash {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
  };
  const SymbolRecord* FindName(std::string_view name) const;

  bool loaded_ = false;
  std::vector<SymbolRecord> records_;
  std::vector<std::int32_t> firstAt_;  // 65536 entries, -1 for none
  std::vector<std::int32_t> lastAt_;
  std::unordered_map<std::string, std::int32_t, Hash, std::equal_to<>> byName_;  // first record
};

}  // namespace tolvane::debugger
