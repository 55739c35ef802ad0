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
// The expansions below are as long as the table says (the checks and the
// addresses of later statements rely on it).
static_assert(WordsOf("IN") == 12 && WordsOf("OUT") == 12);
static_assert(WordsOf("RPUSH") == 14 && WordsOf("RPOP") == 7);

// The instruction field and first operand of an expansion line: the name
// padded to eight columns.
std::string Expanded(std::string_view name, std::string_view operands) {
  std::string text(name);
  text.resize(8, ' ');
  return text.append(operands);
}

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

// One instruction of a macro's expansion: its words and its line in the listing.
struct Assembler::ExpansionStep {
  Word first = 0;
  bool twoWords = false;
  Word second = 0;
  int operand = 0;  // 1 or 2: the second word refers to that operand of the statement
  std::string text;
};

void Assembler::GenerateMacro(const SAsmLine& line, const ExpansionStep* steps, int count) {
  int words = 0;
  for (int k = 0; k < count; ++k) words += steps[k].twoWords ? 2 : 1;
  if (!Fits(words)) return ReportLineError(line.lineNumber, DiagCode::ProgramTooLarge, Cp932Text(TooLarge()));
  if (ListedStatement* s = ListedNow()) {
    s->source = ListedStatement::Source::Before;
    s->labelLength = static_cast<std::int32_t>(std::strlen(line.label));
  }
  for (int k = 0; k < count; ++k) {
    const ExpansionStep& step = steps[k];
    ListRow(locationCounter, step.twoWords ? ListingRow::Shape::TwoWords : ListingRow::Shape::OneWord, 1, step.text,
            true, step.operand != 0);
    codeImage[locationCounter++] = step.first;
    if (!step.twoWords) continue;
    codeImage[locationCounter] = step.second;
    if (step.operand) RecordReference(step.operand == 1 ? line.operand1 : line.operand2, locationCounter);
    ++locationCounter;
  }
}

void Assembler::ListRow(std::int32_t address, ListingRow::Shape shape, std::int32_t count, std::string text,
                        bool expansion, bool reference) {
  ListedStatement* s = ListedNow();
  if (!s || count <= 0) return;
  listingRows.push_back({static_cast<Word>(address), shape, expansion, reference, count, std::move(text)});
  ++s->rowCount;
}

void Assembler::GenerateDc(const SAsmLine& line) {
  for (int k = 0; k < line.dcCount; ++k) {
    const char* op = line.dcOperands[k];
    const std::int32_t at = locationCounter;
    dataAddressList.push_back(static_cast<Word>(at));
    // Each operand's words are one group of rows; an empty string (reported)
    // still has its row, showing the word at an address it does not take.
    auto list = [&] {
      const std::int32_t placed = locationCounter - at;
      if (placed == 0 && op[0] != '\'') return;
      ListRow(at, ListingRow::Shape::OneWord, 1, {}, false, op[0] != '\'');
      ListRow(at + 1, ListingRow::Shape::Bare, placed - 1);
    };
    auto put = [&](Word w) {
      if (!Fits(1)) {
        ReportLineError(line.lineNumber, DiagCode::ProgramTooLarge, Cp932Text(TooLarge()));
        if (locationCounter > at) list();
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
      if (!put(0)) return;
      RecordReference(op, at);
    }
    list();
  }
}

void Assembler::GenerateLine(const SAsmLine& line) {
  if (!line.label[0] && !line.mnemonic[0] && !line.operand1[0] && !line.operand2[0] && !line.operand3[0]) return;
  if (line.label[0]) DefineLabel(line);
  const InstructionDef* ins = FindInstruction(line.mnemonic);
  if (!ins) return;
  const Word code = static_cast<Word>(ins->code << 8);
  auto one = [&](Word w) {
    if (!Fits(1)) return ReportLineError(line.lineNumber, DiagCode::ProgramTooLarge, Cp932Text(TooLarge()));
    ListRow(locationCounter, ListingRow::Shape::OneWord);
    codeImage[locationCounter++] = w;
  };
  switch (ins->form) {
    case OperandForm::Start:
      programLiterals.clear();
      return;
    case OperandForm::End:
      if (ListedStatement* s = ListedNow()) {
        s->source = ListedStatement::Source::After;
        s->literals = true;
      }
      PlaceLiterals();
      EndOfProgram();
      return;
    case OperandForm::RegAdr:
    case OperandForm::Adr: {
      if (!Fits(2)) return ReportLineError(line.lineNumber, DiagCode::ProgramTooLarge, Cp932Text(TooLarge()));
      ListRow(locationCounter, ListingRow::Shape::TwoWords, 1, {}, false, true);
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
        return ReportLineError(line.lineNumber, DiagCode::ProgramTooLarge, Cp932Text(TooLarge()));
      for (std::int64_t k = 0; k < n; ++k) dataAddressList.push_back(static_cast<Word>(locationCounter + k));
      ListRow(locationCounter, ListingRow::Shape::OneWord);
      ListRow(locationCounter + 1, ListingRow::Shape::Bare, static_cast<std::int32_t>(n) - 1);
      locationCounter += static_cast<std::int32_t>(n);
      return;
    }
    case OperandForm::Dc:
      return GenerateDc(line);
    case OperandForm::InOut:
    case OperandForm::RPushPop:
      return GenerateExpansion(line, *ins);
  }
}

void Assembler::GenerateExpansion(const SAsmLine& line, const InstructionDef& ins) {
  auto address = [](const char* operand) {
    std::string text = operand;
    if (text.size() < 8) text.resize(8, ' ');
    return text;
  };
  constexpr Word push = Ins("PUSH"), pop = Ins("POP");
  auto reg = [](int r) { return "GR" + std::to_string(r); };
  if (ins.form == OperandForm::InOut) {
    const ExpansionStep steps[] = {
        {Ins("PUSH", 0, 1), true, 0, 0, Expanded("PUSH", "0,GR1")},
        {Ins("PUSH", 0, 2), true, 0, 0, Expanded("PUSH", "0,GR2")},
        {Ins("LAD", 1), true, 0, 1, Expanded("LAD", "GR1," + address(line.operand1))},
        {Ins("LAD", 2), true, 0, 2, Expanded("LAD", "GR2," + address(line.operand2))},
        {Ins("SVC"), true, ins.code, 0, Expanded("SVC", std::to_string(ins.code))},
        {Ins("POP", 2), false, 0, 0, Expanded("POP", "GR2")},
        {Ins("POP", 1), false, 0, 0, Expanded("POP", "GR1")},
    };
    return GenerateMacro(line, steps, static_cast<int>(std::size(steps)));
  }
  ExpansionStep steps[7];
  for (int k = 0; k < 7; ++k) {
    // RPUSH saves GR1 to GR7, RPOP restores them in the opposite order.
    const int r = ins.code == 0 ? k + 1 : 7 - k;
    steps[k] = ins.code == 0 ? ExpansionStep{static_cast<Word>(push | r), true, 0, 0, Expanded("PUSH", "0," + reg(r))}
                             : ExpansionStep{static_cast<Word>(pop | r << 4), false, 0, 0, Expanded("POP", reg(r))};
  }
  GenerateMacro(line, steps, static_cast<int>(std::size(steps)));
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
      if (!Fits(1)) return ReportError(DiagCode::ProgramTooLarge, Cp932Text(TooLarge()));
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
    ListRow(valueStart, ListingRow::Shape::OneWord, 1, lit.text + "\tDC\t" + lit.text.substr(1));
    ListRow(valueStart + 1, ListingRow::Shape::OneWord, locationCounter - valueStart - 1);
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
  const std::string dupHead = Cp932Text(u8"ラベル(");
  const std::string dupTail = Cp932Text(u8")が重複しています。");
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
  if (std::strcmp(lastMnemonic, "END") != 0)
    ReportError(DiagCode::EndMissing, Cp932Text(u8"END文で終了していません。"));
  if (startEndBalance > 0)
    ReportError(DiagCode::StartDuplicated,
                Cp932Text(u8"START - END が対になっていません。（STARTが重複しています。）"));
}

void Assembler::ResolveFile() {
  const std::string startHead = Cp932Text(u8"START命令のラベル(");
  for (const SSymbolTbl& s : symbolTable) {
    if (!s.isStart) continue;
    LabelInfo& info = labels_[NameKey(s.name)];
    ++info.startSeen;
    if (info.startCount > info.startSeen)
      ReportErrorParts(DiagCode::StartLabelDuplicated, startHead, s.name, Cp932Text(u8")が重複しています。"));
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
      ReportErrorParts(DiagCode::StartEntryUnknown, startHead, s.entryName, Cp932Text(u8")が参照できません。"));
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
      ReportErrorParts(DiagCode::ExternalNotStartLabel, Cp932Text(u8"外部参照ラベル("), ref.name,
                       Cp932Text(u8")はSTART命令のラベルでなければなりません。"));
    }
  }
}

}  // namespace tolvane
