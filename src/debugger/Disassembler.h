#pragma once
#include <bitset>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/Word.h"
#include "debugger/SymbolIndex.h"

namespace tolvane::debugger {

// One disassembly row: the address of its first word and its CP932 text. The
// text stays valid until the table is next rebuilt or that row is patched.
struct SUnAsmTbl {
  Word address = 0;
  std::string_view text;
};

// What DecodeAt leaves behind for formatting.
struct DecodeScratch {
  std::string label;
  std::string mnemonic;
  std::string operand;
};

// The listing of all memory as instructions and data, kept as one row per
// instruction or data word and patched row by row after stores into data and
// stack areas. Memory and symbols are read through the pointers given to Attach;
// the owner keeps them alive.
class Disassembler {
 public:
  Disassembler();

  void Attach(const Word* memory, const SymbolIndex* symbols);
  // The data address table of the load module.
  void SetDataAddresses(const Word* addresses, std::size_t count);
  void ClearDataAddresses() { data_.reset(); }
  // The load module header fields that classify addresses.
  void SetLayout(Word origin, Word initialSp, Word stackLimit);
  // The option to decode data words as instructions.
  void SetDataAsCode(bool on) { dataAsCode_ = on; }
  bool DataAsCode() const { return dataAsCode_; }

  bool IsDataAddress(Word a) const { return data_[a]; }
  bool IsProgramCodeAddress(Word a) const { return a >= origin_ && a < stackLimit_ && !data_[a]; }
  bool IsStackAddress(Word a) const { return a >= stackLimit_ && a < initialSp_; }

  // Decodes the word at `a` into the scratch; returns the row length (1 or 2).
  int DecodeAt(Word a);
  const DecodeScratch& Scratch() const { return scratch_; }

  // Decodes all of memory into rows.
  void BuildUnAsmTable();
  int RowCount() const { return rowCount_; }
  SUnAsmTbl Row(int row) const {
    const RowRec& r = rows_[static_cast<std::size_t>(row)];
    return {r.address, std::string_view(arena_.data() + r.offset, r.length)};
  }
  // The row starting at the address; otherwise, unless the address is 0000H,
  // the row starting one word before it (the second word of an instruction);
  // -1 when neither exists (or the table was never built).
  int FindRowOfAddress(Word a) const {
    if (rowAt_.empty()) return -1;
    std::int32_t r = rowAt_[a];
    if (r >= 0 || a == 0) return r;
    return rowAt_[static_cast<Word>(a - 1)];
  }

  // The data line "AAAA  WWWW       LABEL    ****    " for the address.
  std::string DataLine(Word a) const;

  // After a store while tracking: either the row of the address became a data
  // line (Patched), the whole table must be rebuilt (Rebuild: the address is
  // program code, outside data and stack, or data is decoded as code), or no row
  // covers the address (NoRow: the caller reports it, the table is unchanged).
  enum class StoreOutcome { Patched, Rebuild, NoRow };
  StoreOutcome UnAsmStoreAt(Word a);
  // The class test of UnAsmStoreAt alone: true when a store at `a` needs the rebuild.
  bool StoreNeedsRebuild(Word a) const {
    return IsProgramCodeAddress(a) || (!IsDataAddress(a) && !IsStackAddress(a)) || dataAsCode_;
  }
  // After an input call: patch the row without any class test. False for NoRow.
  bool UnAsmRefreshAt(Word a);

 private:
  struct RowRec {
    Word address;
    std::uint32_t offset;
    std::uint32_t length;
  };
  // Writes the row text of the instruction or data word at `a` to the arena.
  // The name the listing shows for an address (the last record of it), if symbols are loaded.
  const std::string* LabelAt(Word a) const;
  int FormatRow(Word a, std::uint32_t& length);
  bool PatchRow(Word a);
  char* Reserve(std::size_t n);
  void CompactArena();

  const Word* memory_ = nullptr;
  const SymbolIndex* symbols_ = nullptr;
  std::bitset<kMemoryWords> data_;
  Word origin_ = 0, initialSp_ = 0, stackLimit_ = 0;
  bool dataAsCode_ = false;

  DecodeScratch scratch_;
  std::vector<RowRec> rows_;
  int rowCount_ = 0;
  std::vector<std::int32_t> rowAt_;  // address -> row starting there, or -1
  std::vector<char> arena_;
  std::size_t used_ = 0;
  std::size_t garbage_ = 0;
};

}  // namespace tolvane::debugger
