// Source line analysis: splits one line into label, instruction and operands
// and checks the characters of every field.
#include <algorithm>
#include <cstring>

#include "asm/AsmCore.h"
#include "common/Cp932.h"
#include "common/TextRules.h"

namespace tolvane {

bool IsGeneralRegister(const char* t) { return IsGeneralRegisterName(t); }

bool IsIndexRegister(const char* t) { return IsGeneralRegister(t) && t[2] != '0'; }

std::uint64_t NameKey(const char* name) {
  std::uint64_t key = 0;
  std::size_t i = 0;
  for (; i < 8 && name[i]; ++i) key |= static_cast<std::uint64_t>(static_cast<unsigned char>(name[i])) << (8 * i);
  if (i == 8 && name[8]) return 0;
  return key;
}

bool LineReader::Next(std::string_view& line) {
  if (pos_ >= text_.size()) return false;
  // A piece holds up to 255 bytes of the text as a text-mode read sees it
  // (a CR directly before an LF is not counted), ending after an LF.
  const std::size_t begin = pos_;
  const std::size_t size = text_.size();
  std::size_t counted = 0;
  std::size_t i = pos_;
  std::size_t cut = std::string_view::npos;  // first CR, LF or NUL of the piece
  cut_ = Cut::None;
  while (i < size && counted < kMaxLineBytes) {
    char c = text_[i];
    if (c == '\n' || c == '\r' || c == '\0') {
      const bool crLf = c == '\r' && i + 1 < size && text_[i + 1] == '\n';
      if (cut == std::string_view::npos) {
        cut = i;
        if (c == '\0') cut_ = Cut::Nul;
        if (c == '\r' && !crLf) cut_ = Cut::LoneCr;
      }
      if (crLf) {
        ++i;
        continue;
      }
      if (c == '\n') {
        ++i;
        break;
      }
    }
    ++i;
    ++counted;
  }
  pos_ = i;
  line = text_.substr(begin, (cut == std::string_view::npos ? i : cut) - begin);
  return true;
}

namespace {

// Copies at most cap-1 bytes and terminates.
void CopyField(char* dst, std::size_t cap, std::string_view src) {
  std::size_t n = src.size() < cap - 1 ? src.size() : cap - 1;
  std::memcpy(dst, src.data(), n);
  dst[n] = '\0';
}

bool EndsOperand(std::string_view t, std::size_t p) {
  return p >= t.size() || t[p] == ',' || t[p] == ';' || IsBlank(t[p]);
}
bool EndsField(std::string_view t, std::size_t p) { return p >= t.size() || t[p] == ';' || IsBlank(t[p]); }

// Each field reader returns the position that ended its field, or kFail
// after reporting an error (which ends the analysis of the line).
constexpr std::size_t kFail = std::string_view::npos;

// Reads the fields of one line into an SAsmLine, reporting the first fault.
class FieldReader {
 public:
  FieldReader(Assembler& as, SAsmLine& line, std::string_view text)
      : as_(as), line_(line), text_(text), len_(text.size()), n_(line.lineNumber) {}

  // The field loop: label, instruction, operands. False when a fault or a
  // fourth field ended it.
  bool Fields();

 private:
  std::size_t Label(std::size_t q);
  std::size_t Mnemonic(std::size_t q);
  std::size_t Operand(std::size_t q, int which, char* out);
  std::size_t OperandDigits(std::size_t b, std::size_t r, int which, char* out);
  std::size_t OperandHex(std::size_t b, std::size_t r, int which, char* out);
  std::size_t LiteralString(std::size_t b, std::size_t r, int which, char* out);
  std::size_t GeneralOperands(std::size_t q);
  std::size_t DcOperands(std::size_t q);
  std::size_t DcOperand(std::size_t q, char* out);
  std::size_t DcString(std::size_t q, char* out);

  // Reports `code` about the piece from `b` to the end of the item standing
  // at `e`, and ends the line's analysis.
  std::size_t Fail(DiagCode code, const char8_t* text, std::size_t b, std::size_t e, bool operand = true) {
    while (e < len_ && !(operand ? EndsOperand(text_, e) : EndsField(text_, e))) ++e;
    as_.ReportLineError(n_, code, Cp932Text(text), Pos(b, std::min(e, len_)));
    return kFail;
  }
  static FieldPos Pos(std::size_t b, std::size_t e) {
    return {static_cast<std::int32_t>(b), static_cast<std::int32_t>(e > b ? e - b : 0)};
  }
  void Mark(DiagField field, std::size_t b, std::size_t e) { line_.fields[static_cast<int>(field)] = Pos(b, e); }
  // Operand 1 or 2 of the general form, `which` 1 or 2, stored as text_[b, e).
  void Store(char* out, int which, std::size_t b, std::size_t e) {
    CopyField(out, 256, text_.substr(b, e - b));
    Mark(which == 1 ? DiagField::Operand1 : DiagField::Operand2, b, e);
  }
  std::size_t Illegal(std::size_t b, std::size_t e, int which, char* out) {
    Store(out, which, b, e);
    return which == 1 ? Fail(DiagCode::Operand1BadCharacter, u8"第１オペランドに不正な文字があります。", b, e)
                      : Fail(DiagCode::Operand2BadCharacter, u8"第２オペランドに不正な文字があります。", b, e);
  }
  // An operand of no kind (or none at all where one must stand).
  std::size_t NoOperand(std::size_t q, int which) {
    return which == 1 ? Fail(DiagCode::Operand1BadCharacter, u8"第１オペランドに不正な文字があります。", q, q)
                      : Fail(DiagCode::OperandInvalid, u8"オペランドが正しくありません。", q, q);
  }

  Assembler& as_;
  SAsmLine& line_;
  std::string_view text_;
  std::size_t len_;
  std::int32_t n_;
};

std::size_t FieldReader::Label(std::size_t q) {
  const std::size_t b = q;
  if (!IsLetter(text_[q]))
    return Fail(DiagCode::LabelNotLetterFirst, u8"ラベルの１文字目が英大文字でありません。", b, q, false);
  ++q;
  while (!EndsField(text_, q)) {
    char c = text_[q];
    if (!IsLetter(c) && !IsDigit(c)) {
      CopyField(line_.label, sizeof line_.label, text_.substr(b, q - b));
      return Fail(DiagCode::LabelBadCharacter, u8"ラベルに英数字以外の文字があります。", b, q, false);
    }
    if (q - b == 8) {
      CopyField(line_.label, sizeof line_.label, text_.substr(b, q - b));
      return Fail(DiagCode::LabelTooLong, u8"ラベルが８文字を超えています。", b, q, false);
    }
    ++q;
  }
  CopyField(line_.label, sizeof line_.label, text_.substr(b, q - b));
  Mark(DiagField::Label, b, q);
  return q;
}

std::size_t FieldReader::Mnemonic(std::size_t q) {
  const std::size_t b = q;
  while (!EndsField(text_, q)) {
    if (!IsLetter(text_[q]) || q - b == 6) {
      CopyField(line_.mnemonic, 7, text_.substr(b, q - b));
      return Fail(DiagCode::MnemonicUnknown, u8"CASLIIにない命令があります。", b, q, false);
    }
    ++q;
  }
  CopyField(line_.mnemonic, 7, text_.substr(b, q - b));
  Mark(DiagField::Mnemonic, b, q);
  return q;
}

// Decimal digits up to the operand's end.
std::size_t FieldReader::OperandDigits(std::size_t b, std::size_t r, int which, char* out) {
  while (!EndsOperand(text_, r)) {
    if (!IsDigit(text_[r])) return Illegal(b, r, which, out);
    ++r;
  }
  Store(out, which, b, r);
  return r;
}

// Hexadecimal digits, `r` just after the '#'.
std::size_t FieldReader::OperandHex(std::size_t b, std::size_t r, int which, char* out) {
  if (EndsOperand(text_, r)) {
    Store(out, which, b, r);
    return Fail(DiagCode::HashOnly, u8"#だけになっています。", b, r);
  }
  while (!EndsOperand(text_, r)) {
    if (!IsHexDigit(text_[r])) return Illegal(b, r, which, out);
    ++r;
  }
  Store(out, which, b, r);
  return r;
}

// A literal string ='...', `r` just after its opening quote.
std::size_t FieldReader::LiteralString(std::size_t b, std::size_t r, int which, char* out) {
  std::size_t chars = 0;
  for (;;) {
    if (r >= len_) {
      Store(out, which, b, r);
      return Fail(DiagCode::QuoteNotClosed, u8" ' が閉じていません。", b, r);
    }
    if (text_[r] == '\'') {
      if (r + 1 < len_ && text_[r + 1] == '\'') {
        r += 2;
        ++chars;
        continue;
      }
      ++r;  // closing quote
      break;
    }
    ++r;
    ++chars;
  }
  if (chars == 0) {
    Store(out, which, b, r);
    return Fail(DiagCode::LiteralStringEmpty, u8"文字定数の文字数は0ではいけません。", b, r);
  }
  if (which == 1) {
    Store(out, which, b, r);
    if (!EndsField(text_, r)) return Fail(DiagCode::ExtraCharacters, u8"不必要な文字があります。", b, r);
    return r;
  }
  while (!EndsOperand(text_, r)) ++r;  // kept as part of operand 2
  Store(out, which, b, r);
  return r;
}

// Operand 1 or 2 of the general form. `which` is 1 or 2.
std::size_t FieldReader::Operand(std::size_t q, int which, char* out) {
  const std::size_t b = q;
  if (q >= len_) return NoOperand(q, which);
  char c = text_[q];
  if (IsDigit(c) || (c == '-' && q + 1 < len_ && IsDigit(text_[q + 1]))) return OperandDigits(b, q + 1, which, out);
  if (IsLetter(c)) {
    std::size_t r = q + 1;
    while (!EndsOperand(text_, r)) {
      if (!IsLetter(text_[r]) && !IsDigit(text_[r])) return Illegal(b, r, which, out);
      if (r - b == 8) {
        Store(out, which, b, r);
        return Fail(DiagCode::OperandLabelTooLong, u8"オペランド部のラベルが８文字を超えています。", b, r);
      }
      ++r;
    }
    Store(out, which, b, r);
    return r;
  }
  if (c == '#') return OperandHex(b, q + 1, which, out);
  if (c == '=') {
    std::size_t r = q + 1;
    if (r < len_ && (IsDigit(text_[r]) || (text_[r] == '-' && r + 1 < len_ && IsDigit(text_[r + 1]))))
      return OperandDigits(b, r + 1, which, out);
    if (r < len_ && text_[r] == '#') return OperandHex(b, r + 1, which, out);
    if (r < len_ && text_[r] == '\'') return LiteralString(b, r + 1, which, out);
    return Illegal(b, r, which, out);
  }
  // No kind: the field keeps what it held (empty, or operand 1 of a
  // field that is being read a second time after a ',').
  return NoOperand(q, which);
}

std::size_t FieldReader::GeneralOperands(std::size_t q) {
  q = Operand(q, 1, line_.operand1);
  if (q == kFail || q >= len_ || text_[q] != ',') return q;
  q = Operand(q + 1, 2, line_.operand2);
  if (q == kFail || q >= len_ || text_[q] != ',') return q;
  ++q;
  const std::size_t b = q;
  if (q >= len_ || text_[q] != 'G') return Fail(DiagCode::OperandInvalid, u8"オペランドが正しくありません。", b, q);
  while (!EndsOperand(text_, q)) {
    if (q - b == 3) {
      CopyField(line_.operand3, 4, text_.substr(b, q - b));
      return Fail(DiagCode::Operand3Invalid, u8"第３オペランドが正しくありません。", b, q);
    }
    ++q;
  }
  CopyField(line_.operand3, 4, text_.substr(b, q - b));
  Mark(DiagField::Operand3, b, q);
  return q;  // may stand on a ',' that the field loop reads again
}

// A DC string '...': stored as the quotes around the characters, each ''
// reduced to one quote.
std::size_t FieldReader::DcString(std::size_t q, char* out) {
  const std::size_t b = q;
  std::size_t o = 0;
  out[o++] = '\'';
  ++q;
  for (;;) {
    if (q >= len_) {
      out[o] = '\0';
      return Fail(DiagCode::QuoteMissing, u8" ' がありません。", b, q);
    }
    if (text_[q] == '\'') {
      if (q + 1 < len_ && text_[q + 1] == '\'') {
        out[o++] = '\'';
        q += 2;
        continue;
      }
      ++q;
      break;
    }
    out[o++] = text_[q++];
  }
  out[o++] = '\'';
  out[o] = '\0';
  if (!EndsOperand(text_, q)) return Fail(DiagCode::ExtraCharacters, u8"不必要な文字があります。", b, q);
  return q;
}

std::size_t FieldReader::DcOperand(std::size_t q, char* out) {
  const std::size_t b = q;
  auto fail = [&](std::size_t e, DiagCode code, const char8_t* msg) {
    CopyField(out, 256, text_.substr(b, e - b));
    return Fail(code, msg, b, e);
  };
  if (q >= len_) return fail(q, DiagCode::OperandInvalid, u8"オペランドが正しくありません。");
  char c = text_[q];
  if (IsDigit(c) || c == '-') {
    ++q;
    while (!EndsOperand(text_, q)) {
      if (!IsDigit(text_[q])) return fail(q, DiagCode::OperandInvalid, u8"オペランドが正しくありません。");
      ++q;
    }
  } else if (c == '#') {
    ++q;
    if (EndsOperand(text_, q)) return fail(q, DiagCode::HashOnly, u8"#だけになっています。");
    while (!EndsOperand(text_, q)) {
      if (!IsHexDigit(text_[q]) || q - b == 5)
        return fail(q, DiagCode::OperandInvalid, u8"オペランドが正しくありません。");
      ++q;
    }
  } else if (IsLetter(c)) {
    ++q;
    while (!EndsOperand(text_, q)) {
      if (!IsLetter(text_[q]) && !IsDigit(text_[q]))
        return fail(q, DiagCode::OperandLabelBadCharacter, u8"オペランド部のラベルに英数字以外の文字があります。");
      if (q - b == 8) return fail(q, DiagCode::OperandLabelTooLong, u8"オペランド部のラベルが８文字を超えています。");
      ++q;
    }
  } else if (c == '\'') {
    return DcString(q, out);
  } else {
    return fail(q, DiagCode::OperandInvalid, u8"オペランドが正しくありません。");
  }
  CopyField(out, 256, text_.substr(b, q - b));
  return q;
}

std::size_t FieldReader::DcOperands(std::size_t q) {
  int count = 0;
  for (;;) {
    if (count >= kMaxDcOperands)  // cannot happen within 255 bytes
      return Fail(DiagCode::OperandInvalid, u8"オペランドが正しくありません。", q, q);
    line_.dcTouched = count + 1;
    const std::size_t b = q;
    q = DcOperand(q, line_.dcOperands[count]);
    if (q == kFail) return kFail;
    line_.dcFields[count] = Pos(b, q);
    ++count;
    if (q < len_ && text_[q] == ',') {
      ++q;
      continue;
    }
    line_.dcCount = count;
    return q;
  }
}

bool FieldReader::Fields() {
  int field = 1;
  std::size_t p = 0;
  while (p < len_ && text_[p] != ';') {
    if (IsBlank(text_[p])) {
      while (p < len_ && IsBlank(text_[p])) ++p;
      ++field;
    }
    if (p >= len_ || text_[p] == ';') break;
    std::size_t next;
    switch (field) {
      case 1:
        next = Label(p);
        break;
      case 2:
        next = Mnemonic(p);
        break;
      case 3: {
        FieldPos& all = line_.fields[static_cast<int>(DiagField::Operands)];
        if (all.column < 0) all.column = static_cast<std::int32_t>(p);
        next = std::strcmp(line_.mnemonic, "DC") == 0 ? DcOperands(p) : GeneralOperands(p);
        if (next != kFail) all.length = static_cast<std::int32_t>(next) - all.column;
        break;
      }
      default:
        return false;  // the rest of the line is ignored
    }
    if (next == kFail) return false;
    p = next;
  }
  return true;
}

}  // namespace

void Assembler::AnalyseLine(SAsmLine& line, std::string_view text) {
  if (text.size() > kMaxLineBytes) text = text.substr(0, kMaxLineBytes);
  line.label[0] = line.mnemonic[0] = line.operand1[0] = line.operand2[0] = line.operand3[0] = '\0';
  // Every entry that may hold text is emptied (only those written before).
  for (std::int32_t k = 0; k < line.dcTouched && k < kMaxDcOperands; ++k) {
    line.dcOperands[k][0] = '\0';
    line.dcFields[k] = {};
  }
  line.dcTouched = 0;
  line.dcCount = 0;
  for (FieldPos& f : line.fields) f = {};

  std::size_t p = 0;
  while (p < text.size() && IsBlank(text[p])) ++p;
  if (p == text.size()) {
    ReportLineError(line.lineNumber, DiagCode::BlankLine, Cp932Text(u8"空白行は認められません。"));
    return;
  }
  if (text[p] == ';') return;
  if (!FieldReader(*this, line, text).Fields()) return;

  static const char* const kRegisterForms[] = {"LD", "ADDA", "SUBA", "ADDL", "SUBL", "AND", "OR", "XOR", "CPA", "CPL"};
  if (line.operand3[0] == '\0' && IsGeneralRegister(line.operand1) && IsGeneralRegister(line.operand2)) {
    for (const char* name : kRegisterForms) {
      if (std::strcmp(line.mnemonic, name) == 0) {
        std::strcat(line.mnemonic, "_reg");
        break;
      }
    }
  }
}

}  // namespace tolvane
