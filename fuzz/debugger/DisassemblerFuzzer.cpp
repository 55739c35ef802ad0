// Arbitrary memory, layout, data addresses and symbols are disassembled, then a
// series of stores is applied the way a running program makes them. Afterwards
// the kept table must read exactly like a table built afresh, unless a store was
// meant to leave a mark a fresh build does not make: a store into the stack
// turns its row into a data line, and a store into a word that a two-word row
// covers replaces that row. A patched row that drifts otherwise is a fault the
// user would see.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "debugger/Disassembler.h"
#include "debugger/SymbolIndex.h"

using namespace tolvane;
using namespace tolvane::debugger;

namespace {

struct Input {
  const std::uint8_t* p;
  std::size_t n;
  bool Word16(Word& w) {
    if (n < 2) return false;
    w = static_cast<Word>(p[0] << 8 | p[1]);
    p += 2;
    n -= 2;
    return true;
  }
  bool Byte(std::uint8_t& b) {
    if (n < 1) return false;
    b = *p++;
    --n;
    return true;
  }
};

bool SameTables(const Disassembler& a, const Disassembler& b) {
  if (a.RowCount() != b.RowCount()) return false;
  for (int r = 0; r < a.RowCount(); ++r) {
    SUnAsmTbl x = a.Row(r), y = b.Row(r);
    if (x.address != y.address || x.text != y.text) {
      if (std::getenv("TOLVANE_FUZZ_VERBOSE"))
        std::fprintf(stderr, "row %d: kept %04X '%.*s' / fresh %04X '%.*s'\n", r, x.address,
                     static_cast<int>(x.text.size()), x.text.data(), y.address, static_cast<int>(y.text.size()),
                     y.text.data());
      return false;
    }
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Input in{data, size};
  Word origin, sp, limit, count;
  std::uint8_t flags;
  if (!in.Word16(origin) || !in.Word16(limit) || !in.Word16(sp) || !in.Byte(flags)) return 0;

  static std::vector<Word> memory(kMemoryWords);
  std::fill(memory.begin(), memory.end(), 0);
  // A block of program words at the origin, so that real instructions appear.
  if (!in.Word16(count)) return 0;
  count %= 512;
  for (Word i = 0; i < count; ++i) {
    Word w;
    if (!in.Word16(w)) break;
    memory[static_cast<Word>(origin + i)] = w;
  }
  std::vector<Word> dataAddresses;
  std::uint8_t nData = 0, nSymbols = 0;
  in.Byte(nData);
  for (int i = 0; i < nData % 32; ++i) {
    Word a;
    if (!in.Word16(a)) break;
    dataAddresses.push_back(static_cast<Word>(origin + a % 1024));
  }
  std::vector<SymbolRecord> symbols;
  in.Byte(nSymbols);
  for (int i = 0; i < nSymbols % 16; ++i) {
    Word a;
    std::uint8_t len;
    if (!in.Word16(a) || !in.Byte(len)) break;
    std::string name;
    for (int k = 0; k < len % 10; ++k) {
      std::uint8_t c;
      if (!in.Byte(c)) break;
      name.push_back(static_cast<char>(c));
    }
    symbols.push_back({name, static_cast<Word>(origin + a % 1024)});
  }
  SymbolIndex index;
  index.Assign(symbols, (flags & 1) != 0);

  Disassembler kept;
  kept.Attach(memory.data(), &index);
  kept.SetDataAddresses(dataAddresses.data(), dataAddresses.size());
  kept.SetLayout(origin, sp, limit);
  kept.SetDataAsCode((flags & 2) != 0);
  kept.BuildUnAsmTable();

  // Stores as a program makes them.
  Word address, value;
  int stores = 0;
  bool comparable = true;
  while (stores++ < 16 && in.Word16(address) && in.Word16(value)) {
    if (flags & 4) address = static_cast<Word>(origin + address % 1024);
    if (!kept.StoreNeedsRebuild(address)) {
      int row = kept.FindRowOfAddress(address);
      if ((kept.IsStackAddress(address) && !kept.IsDataAddress(address)) || row < 0 || kept.Row(row).address != address)
        comparable = false;
    }
    memory[address] = value;
    if (kept.UnAsmStoreAt(address) == Disassembler::StoreOutcome::Rebuild) kept.BuildUnAsmTable();
  }
  Disassembler fresh;
  fresh.Attach(memory.data(), &index);
  fresh.SetDataAddresses(dataAddresses.data(), dataAddresses.size());
  fresh.SetLayout(origin, sp, limit);
  fresh.SetDataAsCode((flags & 2) != 0);
  fresh.BuildUnAsmTable();
  if (comparable && !SameTables(kept, fresh)) std::abort();
  return 0;
}
