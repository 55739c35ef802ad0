// Code generation with macros and literals, label definitions, references and
// their resolution per program and per file.
#include <cstring>
#include <iterator>
#include <string_view>

#include "asm/AsmCore.h"
#include "asm/Instructions.h"
#include "common/Cp932.h"

namespace tolvane {

Word DecimalWord(const char* t) {
  bool negative = *t == '-';
  if (negative) ++t;
  std::uint32_t v = 0;
  for (; IsDigit(*t); ++t) v = v * 10 + static_cast<std::uint32_t>(*t - '0');
  if (negative) v = 0u - v;
  return static_cast<Word>(v);
}

std::int64_t DecimalMagnitude(const char* t) {
  while (IsBlank(*t)) ++t;
  bool negative = false;
  if (*t == '+' || *t == '-') negative = *t++ == '-';
  constexpr std::int64_t kCap = std::int64_t{1} << 40;
  std::int64_t v = 0;
  for (; IsDigit(*t); ++t) {
    v = v * 10 + (*t - '0');
    if (v > kCap) v = kCap;
  }
  return negative ? -v : v;
}

Word ParseHex(const char* t) {
  Word v = 0;
  for (; *t; ++t) {
    char c = *t;
    if (IsDigit(c))
      v = static_cast<Word>(v * 16 + (c - '0'));
    else if (c >= 'A' && c <= 'F')
      v = static_cast<Word>(v * 16 + (c - 'A' + 10));
    else if (c >= 'a' && c <= 'f')
      v = static_cast<Word>(v * 16 + (c - 'a' + 10));
  }
  return v;
}

namespace {

int RegisterNumber(const char* t) { return IsGeneralRegister(t) ? t[2] - '0' : 0; }

template <std::size_t N>
void CopyName(char (&dst)[N], const char* src) {
  std::size_t n = std::strlen(src);
  if (n > N - 1) n = N - 1;
  std::memcpy(dst, src, n);
  dst[n] = '\0';
}

// First words of the macro expansions, from the instruction table.
consteval Word Ins(std::string_view name, unsigned r = 0, unsigned x = 0) {
  return EncodeFirstWord(OpCodeOf(name), r, x);
}
// The expansions below are as long as the table says (the listing relies on it).
static_assert(WordsOf("IN") == 12 && WordsOf("OUT") == 12);
static_assert(WordsOf("RPUSH") == 14 && WordsOf("RPOP") == 7);

const char* TooLarge() { return reinterpret_cast<const char*>(u8"プログラムが大きすぎてメモリに格納できません。"); }

}  // namespace

void Assembler::DefineLabel(const SAsmLine& line) {
  SSymbolTbl s;
  CopyName(s.name, line.label);
  s.address = static_cast<Word>(locationCounter);
  if (std::strcmp(line.mnemonic, "START") == 0) {
    s.isStart = 1;
    CopyName(s.entryName, line.operand1);
  }
  std::int32_t index = static_cast<std::int32_t>(symbolTable.size());
  symbolTable.push_back(s);
  LabelInfo& info = labels_[NameKey(s.name)];
  if (info.fileFirst < 0) info.fileFirst = index;
  if (info.program != programIndex_) {
    info.program = programIndex_;
    info.programFirst = index;
    info.programCount = 0;
    info.programSeen = 0;
  }
  ++info.programCount;
  if (s.isStart) ++info.startCount;
}

void Assembler::RecordReference(const char* name, std::int32_t address) {
  SRefTbl r;
  CopyName(r.name, name);
  r.address = static_cast<Word>(address);
  referenceTable.push_back(r);
}

void Assembler::AddressWord(const char* op, std::int32_t address) {
  char c = op[0];
  if (c == '\0') return;
  if (IsDigit(c) || c == '-')
    codeImage[address] = DecimalWord(op);
  else if (c == '#')
    codeImage[address] = ParseHex(op + 1);
  else if (IsLetter(c))
    RecordReference(op, address);
  else if (c == '=') {
    SLiteralTbl lit;
    lit.refAddress = static_cast<Word>(address);
    lit.text = op;
    programLiterals.push_back(std::move(lit));
  }
}

void Assembler::GenerateMacro(const SAsmLine& line, const Word* words, int count, int refA, int refB) {
  if (!Fits(count)) return ReportLineError(line.lineNumber, DiagCode::ProgramTooLarge, J(TooLarge()));
  for (int k = 0; k < count; ++k) codeImage[locationCounter + k] = words[k];
  if (refA >= 0) RecordReference(line.operand1, locationCounter + refA);
  if (refB >= 0) RecordReference(line.operand2, locationCounter + refB);
  locationCounter += count;
}

void Assembler::GenerateDc(const SAsmLine& line) {
  for (int k = 0; k < line.dcCount; ++k) {
    const char* op = line.dcOperands[k];
    dataAddressList.push_back(static_cast<Word>(locationCounter));
    auto put = [&](Word w) {
      if (!Fits(1)) {
        ReportLineError(line.lineNumber, DiagCode::ProgramTooLarge, J(TooLarge()));
        return false;
      }
      codeImage[locationCounter++] = w;
      return true;
    };
    char c = op[0];
    if (c == '#') {
      if (!put(ParseHex(op + 1))) return;
    } else if (IsDigit(c) || c == '-') {
      if (!put(DecimalWord(op))) return;
    } else if (c == '\'') {
      std::size_t len = std::strlen(op);
      std::size_t end = len >= 2 && op[len - 1] == '\'' ? len - 1 : len;
      for (std::size_t i = 1; i < end; ++i)
        if (!put(CharWord(op[i]))) return;
    } else if (IsLetter(c)) {
      std::int32_t at = locationCounter;
      if (!put(0)) return;
      RecordReference(op, at);
    }
  }
}

void Assembler::GenerateLine(const SAsmLine& line) {
  if (!line.label[0] && !line.mnemonic[0] && !line.operand1[0] && !line.operand2[0] && !line.operand3[0]) return;
  if (line.label[0]) DefineLabel(line);
  const InstructionDef* ins = FindInstruction(line.mnemonic);
  if (!ins) return;
  const Word code = static_cast<Word>(ins->code << 8);
  auto one = [&](Word w) {
    if (!Fits(1)) return ReportLineError(line.lineNumber, DiagCode::ProgramTooLarge, J(TooLarge()));
    codeImage[locationCounter++] = w;
  };
  switch (ins->form) {
    case OperandForm::Start:
      programLiterals.clear();
      return;
    case OperandForm::End:
      PlaceLiterals();
      EndOfProgram();
      return;
    case OperandForm::RegAdr:
    case OperandForm::Adr: {
      if (!Fits(2)) return ReportLineError(line.lineNumber, DiagCode::ProgramTooLarge, J(TooLarge()));
      bool regAdr = ins->form == OperandForm::RegAdr;
      int r = regAdr ? RegisterNumber(line.operand1) : 0;
      int x = RegisterNumber(regAdr ? line.operand3 : line.operand2);
      codeImage[locationCounter] = static_cast<Word>(code | r << 4 | x);
      AddressWord(regAdr ? line.operand2 : line.operand1, locationCounter + 1);
      locationCounter += 2;
      return;
    }
    case OperandForm::RegReg:
      return one(static_cast<Word>(code | RegisterNumber(line.operand1) << 4 | RegisterNumber(line.operand2)));
    case OperandForm::Reg:
      return one(static_cast<Word>(code | RegisterNumber(line.operand1) << 4));
    case OperandForm::None:
      return one(code);
    case OperandForm::Ds: {
      std::int64_t n = DecimalMagnitude(line.operand1);
      if (n <= 0) return;  // a negative count (reported) reserves nothing
      if (n >= 65536 || !Fits(static_cast<std::int32_t>(n)))
        return ReportLineError(line.lineNumber, DiagCode::ProgramTooLarge, J(TooLarge()));
      for (std::int64_t k = 0; k < n; ++k) dataAddressList.push_back(static_cast<Word>(locationCounter + k));
      locationCounter += static_cast<std::int32_t>(n);
      return;
    }
    case OperandForm::Dc:
      return GenerateDc(line);
    case OperandForm::InOut: {
      const Word svc = ins->code;
      const Word words[12] = {Ins("PUSH", 0, 1), 0, Ins("PUSH", 0, 2), 0,   Ins("LAD", 1), 0,
                              Ins("LAD", 2),     0, Ins("SVC"),        svc, Ins("POP", 2), Ins("POP", 1)};
      return GenerateMacro(line, words, static_cast<int>(std::size(words)), 5, 7);
    }
    case OperandForm::RPushPop:
      if (ins->code == 0) {
        const Word words[14] = {Ins("PUSH", 0, 1), 0, Ins("PUSH", 0, 2), 0, Ins("PUSH", 0, 3), 0, Ins("PUSH", 0, 4), 0,
                                Ins("PUSH", 0, 5), 0, Ins("PUSH", 0, 6), 0, Ins("PUSH", 0, 7), 0};
        return GenerateMacro(line, words, static_cast<int>(std::size(words)), -1, -1);
      } else {
        const Word words[7] = {Ins("POP", 7), Ins("POP", 6), Ins("POP", 5), Ins("POP", 4),
                               Ins("POP", 3), Ins("POP", 2), Ins("POP", 1)};
        return GenerateMacro(line, words, static_cast<int>(std::size(words)), -1, -1);
      }
  }
}

void Assembler::PlaceLiterals() {
  ++programNumber;
  std::unordered_map<std::string_view, std::size_t> firstUse;
  firstUse.reserve(programLiterals.size());
  for (std::size_t i = 0; i < programLiterals.size(); ++i) {
    SLiteralTbl& lit = programLiterals[i];
    auto [it, inserted] = firstUse.emplace(std::string_view(lit.text), i);
    if (!inserted) {
      lit.first = 0;
      codeImage[lit.refAddress] = codeImage[programLiterals[it->second].refAddress];
      continue;
    }
    lit.first = 1;
    const std::int32_t valueStart = locationCounter;
    codeImage[lit.refAddress] = static_cast<Word>(locationCounter);
    lit.valueAddress = static_cast<Word>(locationCounter);
    auto put = [&](Word w) {
      if (!Fits(1)) return ReportError(DiagCode::ProgramTooLarge, J(TooLarge()));
      dataAddressList.push_back(static_cast<Word>(locationCounter));
      codeImage[locationCounter++] = w;
    };
    const std::string& t = lit.text;
    if (t.size() >= 2 && t[1] == '#') {
      put(ParseHex(t.c_str() + 2));
    } else if (t.size() >= 2 && (IsDigit(t[1]) || t[1] == '-')) {
      put(DecimalWord(t.c_str() + 1));
    } else if (t.size() >= 2 && t[1] == '\'') {
      for (std::size_t k = 2; k < t.size(); ++k) {
        if (t[k] == '\'') {
          if (k + 1 < t.size() && t[k + 1] == '\'')
            ++k;  // '' is one quote
          else
            break;  // the closing quote
        }
        put(CharWord(t[k]));
      }
    }
    // The value belongs to the line that first used the literal.
    RecordRun(valueStart, LineOfAddress(lit.refAddress), false);
  }
  for (SLiteralTbl& lit : programLiterals) {
    lit.programNumber = programNumber;
    fileLiterals.push_back(std::move(lit));
  }
  // The program is closed: a stray END without a new START must not place
  // these literals a second time.
  programLiterals.clear();
}

void Assembler::EndOfProgram() {
  const std::string dupHead = J(u8"ラベル(");
  const std::string dupTail = J(u8")が重複しています。");
  // Every pair i < j of equal names is one report; a name's entry i is
  // followed by (count in the program - entries seen so far) later ones.
  for (std::size_t i = symbolStart_; i < symbolTable.size(); ++i) {
    LabelInfo& info = labels_[NameKey(symbolTable[i].name)];
    std::int64_t later = info.programCount - ++info.programSeen;
    if (later <= 0) continue;
    std::string text = dupHead;
    text += symbolTable[i].name;
    text += dupTail;
    for (; later > 0 && errorCount < kShownErrors; --later)
      ReportError(DiagCode::LabelDuplicated, text, symbolTable[i].name);
    errorCount += later;  // beyond the shown ones only the count matters
  }
  for (std::size_t i = referenceStart_; i < referenceTable.size(); ++i) {
    SRefTbl& ref = referenceTable[i];
    std::uint64_t key = NameKey(ref.name);
    auto it = key ? labels_.find(key) : labels_.end();
    if (it != labels_.end() && it->second.program == programIndex_) {
      ref.state = RefLocal;
      codeImage[ref.address] = symbolTable[it->second.programFirst].address;
    } else {
      ref.state = RefOtherProgram;
    }
  }
  symbolStart_ = symbolTable.size();
  referenceStart_ = referenceTable.size();
  ++programIndex_;
}

void Assembler::CheckStartEnd() {
  if (std::strcmp(lastMnemonic, "END") != 0) ReportError(DiagCode::EndMissing, J(u8"END文で終了していません。"));
  if (startEndBalance > 0)
    ReportError(DiagCode::StartDuplicated, J(u8"START - END が対になっていません。（STARTが重複しています。）"));
}

void Assembler::ResolveFile() {
  const std::string startHead = J(u8"START命令のラベル(");
  for (const SSymbolTbl& s : symbolTable) {
    if (!s.isStart) continue;
    LabelInfo& info = labels_[NameKey(s.name)];
    ++info.startSeen;
    if (info.startCount > info.startSeen)
      ReportErrorParts(DiagCode::StartLabelDuplicated, startHead, s.name, J(u8")が重複しています。"));
  }
  auto firstOf = [&](const char* name) -> std::int32_t {
    std::uint64_t key = NameKey(name);
    if (!key) return -1;
    auto it = labels_.find(key);
    return it == labels_.end() ? -1 : it->second.fileFirst;
  };
  for (SSymbolTbl& s : symbolTable) {
    if (!s.entryName[0]) continue;
    std::int32_t at = firstOf(s.entryName);
    if (at < 0) {
      ReportErrorParts(DiagCode::StartEntryUnknown, startHead, s.entryName, J(u8")が参照できません。"));
      break;
    }
    s.address = symbolTable[at].address;
  }
  for (SRefTbl& ref : referenceTable) {
    if (ref.state != RefOtherProgram) continue;
    std::int32_t at = firstOf(ref.name);
    if (at < 0) {
      ref.state = RefExternal;
    } else if (symbolTable[at].isStart) {
      codeImage[ref.address] = symbolTable[at].address;
    } else {
      ReportErrorParts(DiagCode::ExternalNotStartLabel, J(u8"外部参照ラベル("), ref.name,
                       J(u8")はSTART命令のラベルでなければなりません。"));
    }
  }
}

}  // namespace tolvane
