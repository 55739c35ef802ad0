#include "debugger/Disassembler.h"

#include <algorithm>
#include <cstring>

#include "common/InstructionSet.h"
#include "common/TextRules.h"

namespace tolvane::debugger {
namespace {

// Appends helpers writing into a raw buffer; `p` advances.
inline void Put(char*& p, const char* s, std::size_t n) {
  if (n == 0) return;
  std::memcpy(p, s, n);
  p += n;
}
inline void PutStr(char*& p, std::string_view s) { Put(p, s.data(), s.size()); }
inline void PutPadded(char*& p, std::string_view s, std::size_t width) {
  PutStr(p, s);
  if (s.size() < width) {
    std::memset(p, ' ', width - s.size());
    p += width - s.size();
  }
}
inline void PutReg(char*& p, unsigned r) {  // "GR" + r in decimal
  *p++ = 'G';
  *p++ = 'R';
  if (r >= 10) *p++ = '1';
  *p++ = static_cast<char>('0' + r % 10);
}
inline void PutHex(char*& p, Word w) {
  PutHex4(p, w);
  p += 4;
}

// The longest text a row can have: fixed columns plus two names of up to 255 bytes.
constexpr std::size_t kMaxRow = 17 + 9 + 255 + 8 + 16 + 255 + 16;

}  // namespace

// The table is allocated by its first build: a plain run never needs it.
Disassembler::Disassembler() = default;

void Disassembler::Attach(const Word* memory, const SymbolIndex* symbols) {
  memory_ = memory;
  symbols_ = symbols;
}

void Disassembler::SetDataAddresses(const Word* addresses, std::size_t count) {
  data_.reset();
  for (std::size_t i = 0; i < count; ++i) data_[addresses[i]] = true;
}

void Disassembler::SetLayout(Word origin, Word initialSp, Word stackLimit) {
  origin_ = origin;
  initialSp_ = initialSp;
  stackLimit_ = stackLimit;
}

const std::string* Disassembler::LabelAt(Word a) const {
  return symbols_ && symbols_->Loaded() ? symbols_->DisassemblyLabelAt(a) : nullptr;
}

char* Disassembler::Reserve(std::size_t n) {
  if (used_ + n > arena_.size()) arena_.resize(std::max(arena_.size() * 2, used_ + n));
  return arena_.data() + used_;
}

int Disassembler::FormatRow(Word a, std::uint32_t& length) {
  char* const start = Reserve(kMaxRow);
  char* p = start;
  Word w = memory_[a];
  Word adr = memory_[static_cast<Word>(a + 1)];
  const InstructionFields f = DecodeFields(w);
  const unsigned r = f.r, x = f.x;
  const std::string* label = LabelAt(a);
  std::string_view labelText = label ? std::string_view(*label) : std::string_view();

  // Words the machine will not execute (unknown operation codes, and a register
  // field of 8-15 where the instruction uses it) are shown as undefined, "****".
  const InstructionDef* ins = (!dataAsCode_ && data_[a]) ? nullptr : DefinedInstruction(w);
  const bool two = ins && ins->words == 2;

  PutHex(p, a);
  Put(p, "  ", 2);
  PutHex(p, w);
  if (two) {
    *p++ = ' ';
    PutHex(p, adr);
    Put(p, "  ", 2);
  } else {
    Put(p, "       ", 7);
  }
  PutPadded(p, labelText, 9);
  PutPadded(p, ins ? ins->mnemonic : std::string_view("****"), 8);

  auto putAddress = [&] {
    const std::string* s = LabelAt(adr);
    if (s) {
      PutStr(p, *s);
    } else {
      *p++ = '#';
      PutHex(p, adr);
    }
    if (x != 0) {
      *p++ = ',';
      PutReg(p, x);
    }
  };
  switch (ins ? ins->form : OperandForm::None) {
    case OperandForm::RegAdr:
      PutReg(p, r);
      *p++ = ',';
      putAddress();
      break;
    case OperandForm::RegReg:
      PutReg(p, r);
      *p++ = ',';
      PutReg(p, x);
      break;
    case OperandForm::Adr:
      putAddress();
      break;
    case OperandForm::Reg:
      PutReg(p, r);
      break;
    default:  // no operand, or undefined
      break;
  }
  length = static_cast<std::uint32_t>(p - start);
  return two ? 2 : 1;
}

int Disassembler::DecodeAt(Word a) {
  std::size_t saved = used_;
  std::uint32_t length;
  int n = FormatRow(a, length);
  // Split the formatted text back into its three fields.
  std::string_view line(arena_.data() + saved, length);
  std::size_t fieldStart = 17;
  const std::string* label = LabelAt(a);
  scratch_.label = label ? *label : std::string();
  std::size_t mnStart = fieldStart + std::max<std::size_t>(9, scratch_.label.size());
  std::string_view mn = line.substr(mnStart, 8);
  scratch_.mnemonic = std::string(mn.substr(0, mn.find(' ')));
  std::size_t opStart = mnStart + std::max<std::size_t>(8, scratch_.mnemonic.size());
  scratch_.operand = opStart < line.size() ? std::string(line.substr(opStart)) : std::string();
  used_ = saved;
  return n;
}

void Disassembler::BuildUnAsmTable() {
  if (rows_.empty()) {
    rows_.resize(kMemoryWords);
    rowAt_.resize(kMemoryWords);
    arena_.resize(std::size_t{65536} * 48);
  }
  std::fill(rowAt_.begin(), rowAt_.end(), -1);
  used_ = 0;
  garbage_ = 0;
  int row = 0;
  unsigned a = 0;
  while (a <= 0xFFFF) {
    std::uint32_t length;
    std::uint32_t offset = static_cast<std::uint32_t>(used_);
    int n = FormatRow(static_cast<Word>(a), length);
    used_ += length;
    rows_[static_cast<std::size_t>(row)] = {static_cast<Word>(a), offset, length};
    rowAt_[a] = row;
    a += static_cast<unsigned>(n);
    ++row;
  }
  rowCount_ = row;
}

std::size_t Disassembler::DataLineSize(const std::string* label) {
  return 17 + std::max<std::size_t>(9, label ? label->size() : 0) + 8;
}

void Disassembler::FormatDataLine(Word a, const std::string* label, char* out) const {
  const std::size_t size = DataLineSize(label);
  std::memset(out, ' ', size);
  char* p = out;
  PutHex(p, a);
  p += 2;
  PutHex(p, memory_[a]);
  p += 7;
  if (label) std::memcpy(p, label->data(), label->size());
  std::memcpy(out + size - 8, "****", 4);
}

std::string Disassembler::DataLine(Word a) const {
  const std::string* label = LabelAt(a);
  std::string s(DataLineSize(label), ' ');
  FormatDataLine(a, label, s.data());
  return s;
}

bool Disassembler::PatchRow(Word a) {
  int row = FindRowOfAddress(a);
  if (row < 0) return false;
  RowRec& rec = rows_[static_cast<std::size_t>(row)];
  if (rec.dataLine && rec.address == a) {
    // Already this address's data line: only the word's four digits change
    // (the label of an address stays while the table lives).
    char* p = arena_.data() + rec.offset + 6;
    PutHex4(p, memory_[a]);
    return true;
  }
  // Stores into data and stack during GO come here one by one, so the line is
  // formatted without a heap allocation whenever the label is of usual length.
  const std::string* label = LabelAt(a);
  const std::size_t size = DataLineSize(label);
  char small[64];
  std::string large;
  char* line = small;
  if (size > sizeof small) {
    large.resize(size);
    line = large.data();
  }
  FormatDataLine(a, label, line);
  if (size <= rec.length) {
    std::memcpy(arena_.data() + rec.offset, line, size);
    garbage_ += rec.length - size;
  } else {
    if (garbage_ + rec.length > 4u << 20) CompactArena();
    char* p = Reserve(size);
    std::memcpy(p, line, size);
    garbage_ += rec.length;
    rec.offset = static_cast<std::uint32_t>(used_);
    used_ += size;
  }
  rec.length = static_cast<std::uint32_t>(size);
  rec.dataLine = true;
  if (rec.address != a) {
    rowAt_[rec.address] = -1;
    rec.address = a;
    rowAt_[a] = row;
  }
  return true;
}

void Disassembler::CompactArena() {
  std::vector<char> fresh(std::max<std::size_t>(arena_.size(), used_ - garbage_ + kMaxRow));
  std::size_t at = 0;
  for (int i = 0; i < rowCount_; ++i) {
    RowRec& r = rows_[static_cast<std::size_t>(i)];
    std::memcpy(fresh.data() + at, arena_.data() + r.offset, r.length);
    r.offset = static_cast<std::uint32_t>(at);
    at += r.length;
  }
  arena_.swap(fresh);
  used_ = at;
  garbage_ = 0;
}

Disassembler::StoreOutcome Disassembler::UnAsmStoreAt(Word a) {
  if (StoreNeedsRebuild(a)) return StoreOutcome::Rebuild;
  return PatchRow(a) ? StoreOutcome::Patched : StoreOutcome::NoRow;
}

bool Disassembler::UnAsmRefreshAt(Word a) { return PatchRow(a); }

}  // namespace tolvane::debugger
