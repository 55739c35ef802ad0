// Source line analysis: splits one line into label, instruction and operands
// and checks the characters of every field.
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

}  // namespace

void Assembler::AnalyseLine(SAsmLine& line, std::string_view text) {
  if (text.size() > kMaxLineBytes) text = text.substr(0, kMaxLineBytes);
  line.label[0] = line.mnemonic[0] = line.operand1[0] = line.operand2[0] = line.operand3[0] = '\0';
  // Every entry that may hold text is emptied (only those written before).
  for (std::int32_t k = 0; k < line.dcTouched && k < kMaxDcOperands; ++k) line.dcOperands[k][0] = '\0';
  line.dcTouched = 0;
  line.dcCount = 0;
  const std::int32_t n = line.lineNumber;
  const std::size_t len = text.size();

  std::size_t p = 0;
  while (p < len && IsBlank(text[p])) ++p;
  if (p == len) {
    ReportLineError(n, J(u8"空白行は認められません。"));
    return;
  }
  if (text[p] == ';') return;

  // Each field reader returns the position that ended its field, or npos
  // after reporting an error (which ends the analysis of the line).
  constexpr std::size_t kFail = std::string_view::npos;

  auto readLabel = [&](std::size_t q) -> std::size_t {
    std::size_t b = q;
    if (!IsLetter(text[q])) {
      ReportLineError(n, J(u8"ラベルの１文字目が英大文字でありません。"));
      return kFail;
    }
    ++q;
    while (!EndsField(text, q)) {
      char c = text[q];
      if (!IsLetter(c) && !IsDigit(c)) {
        CopyField(line.label, sizeof line.label, text.substr(b, q - b));
        ReportLineError(n, J(u8"ラベルに英数字以外の文字があります。"));
        return kFail;
      }
      if (q - b == 8) {
        CopyField(line.label, sizeof line.label, text.substr(b, q - b));
        ReportLineError(n, J(u8"ラベルが８文字を超えています。"));
        return kFail;
      }
      ++q;
    }
    CopyField(line.label, sizeof line.label, text.substr(b, q - b));
    return q;
  };

  auto readMnemonic = [&](std::size_t q) -> std::size_t {
    std::size_t b = q;
    while (!EndsField(text, q)) {
      if (!IsLetter(text[q]) || q - b == 6) {
        CopyField(line.mnemonic, 7, text.substr(b, q - b));
        ReportLineError(n, J(u8"CASLIIにない命令があります。"));
        return kFail;
      }
      ++q;
    }
    CopyField(line.mnemonic, 7, text.substr(b, q - b));
    return q;
  };

  // Operand 1 or 2 of the general form. `which` is 1 or 2.
  auto readOperand = [&](std::size_t q, int which, char* out) -> std::size_t {
    const std::size_t b = q;
    auto store = [&](std::size_t e) { CopyField(out, 256, text.substr(b, e - b)); };
    auto illegal = [&](std::size_t e) {
      store(e);
      ReportLineError(n, which == 1 ? J(u8"第１オペランドに不正な文字があります。")
                                    : J(u8"第２オペランドに不正な文字があります。"));
      return kFail;
    };
    auto digits = [&](std::size_t r) -> std::size_t {  // decimal digits up to the operand's end
      while (!EndsOperand(text, r)) {
        if (!IsDigit(text[r])) return illegal(r);
        ++r;
      }
      store(r);
      return r;
    };
    auto hexDigits = [&](std::size_t r) -> std::size_t {  // r just after '#'
      if (EndsOperand(text, r)) {
        store(r);
        ReportLineError(n, J(u8"#だけになっています。"));
        return kFail;
      }
      while (!EndsOperand(text, r)) {
        if (!IsHexDigit(text[r])) return illegal(r);
        ++r;
      }
      store(r);
      return r;
    };
    if (q >= len) {
      ReportLineError(
          n, which == 1 ? J(u8"第１オペランドに不正な文字があります。") : J(u8"オペランドが正しくありません。"));
      return kFail;
    }
    char c = text[q];
    if (IsDigit(c) || (c == '-' && q + 1 < len && IsDigit(text[q + 1]))) return digits(q + 1);
    if (IsLetter(c)) {
      std::size_t r = q + 1;
      while (!EndsOperand(text, r)) {
        if (!IsLetter(text[r]) && !IsDigit(text[r])) return illegal(r);
        if (r - b == 8) {
          store(r);
          ReportLineError(n, J(u8"オペランド部のラベルが８文字を超えています。"));
          return kFail;
        }
        ++r;
      }
      store(r);
      return r;
    }
    if (c == '#') return hexDigits(q + 1);
    if (c == '=') {
      std::size_t r = q + 1;
      if (r < len && (IsDigit(text[r]) || (text[r] == '-' && r + 1 < len && IsDigit(text[r + 1]))))
        return digits(r + 1);
      if (r < len && text[r] == '#') return hexDigits(r + 1);
      if (r < len && text[r] == '\'') {
        ++r;
        std::size_t chars = 0;
        for (;;) {
          if (r >= len) {
            store(r);
            ReportLineError(n, J(u8" ' が閉じていません。"));
            return kFail;
          }
          if (text[r] == '\'') {
            if (r + 1 < len && text[r + 1] == '\'') {
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
          store(r);
          ReportLineError(n, J(u8"文字定数の文字数は0ではいけません。"));
          return kFail;
        }
        if (which == 1) {
          if (!EndsField(text, r)) {
            store(r);
            ReportLineError(n, J(u8"不必要な文字があります。"));
            return kFail;
          }
          store(r);
          return r;
        }
        while (!EndsOperand(text, r)) ++r;  // kept as part of operand 2
        store(r);
        return r;
      }
      return illegal(r);
    }
    // No kind: the field keeps what it held (empty, or operand 1 of a
    // field that is being read a second time after a ',').
    ReportLineError(n,
                    which == 1 ? J(u8"第１オペランドに不正な文字があります。") : J(u8"オペランドが正しくありません。"));
    return kFail;
  };

  auto readGeneralOperands = [&](std::size_t q) -> std::size_t {
    q = readOperand(q, 1, line.operand1);
    if (q == kFail || q >= len || text[q] != ',') return q;
    q = readOperand(q + 1, 2, line.operand2);
    if (q == kFail || q >= len || text[q] != ',') return q;
    ++q;
    std::size_t b = q;
    if (q >= len || text[q] != 'G') {
      ReportLineError(n, J(u8"オペランドが正しくありません。"));
      return kFail;
    }
    while (!EndsOperand(text, q)) {
      if (q - b == 3) {
        CopyField(line.operand3, 4, text.substr(b, q - b));
        ReportLineError(n, J(u8"第３オペランドが正しくありません。"));
        return kFail;
      }
      ++q;
    }
    CopyField(line.operand3, 4, text.substr(b, q - b));
    return q;  // may stand on a ',' that the field loop reads again
  };

  auto readDcOperands = [&](std::size_t q) -> std::size_t {
    int count = 0;
    for (;;) {
      if (count >= kMaxDcOperands) {  // cannot happen within 255 bytes
        ReportLineError(n, J(u8"オペランドが正しくありません。"));
        return kFail;
      }
      char* out = line.dcOperands[count];
      line.dcTouched = count + 1;
      const std::size_t b = q;
      auto fail = [&](std::size_t e, const char8_t* msg) {
        CopyField(out, 256, text.substr(b, e - b));
        ReportLineError(n, J(msg));
        return kFail;
      };
      if (q >= len) return fail(q, u8"オペランドが正しくありません。");
      char c = text[q];
      if (IsDigit(c) || c == '-') {
        ++q;
        while (!EndsOperand(text, q)) {
          if (!IsDigit(text[q])) return fail(q, u8"オペランドが正しくありません。");
          ++q;
        }
        CopyField(out, 256, text.substr(b, q - b));
      } else if (c == '#') {
        ++q;
        if (EndsOperand(text, q)) return fail(q, u8"#だけになっています。");
        while (!EndsOperand(text, q)) {
          if (!IsHexDigit(text[q]) || q - b == 5) return fail(q, u8"オペランドが正しくありません。");
          ++q;
        }
        CopyField(out, 256, text.substr(b, q - b));
      } else if (IsLetter(c)) {
        ++q;
        while (!EndsOperand(text, q)) {
          if (!IsLetter(text[q]) && !IsDigit(text[q]))
            return fail(q, u8"オペランド部のラベルに英数字以外の文字があります。");
          if (q - b == 8) return fail(q, u8"オペランド部のラベルが８文字を超えています。");
          ++q;
        }
        CopyField(out, 256, text.substr(b, q - b));
      } else if (c == '\'') {
        // Stored as the quotes around the characters, each '' reduced to one quote.
        std::size_t o = 0;
        out[o++] = '\'';
        ++q;
        for (;;) {
          if (q >= len) {
            out[o] = '\0';
            ReportLineError(n, J(u8" ' がありません。"));
            return kFail;
          }
          if (text[q] == '\'') {
            if (q + 1 < len && text[q + 1] == '\'') {
              out[o++] = '\'';
              q += 2;
              continue;
            }
            ++q;
            break;
          }
          out[o++] = text[q++];
        }
        out[o++] = '\'';
        out[o] = '\0';
        if (!EndsOperand(text, q)) {
          ReportLineError(n, J(u8"不必要な文字があります。"));
          return kFail;
        }
      } else {
        return fail(q, u8"オペランドが正しくありません。");
      }
      ++count;
      if (q < len && text[q] == ',') {
        ++q;
        continue;
      }
      line.dcCount = count;
      return q;
    }
  };

  int field = 1;
  p = 0;
  while (p < len && text[p] != ';') {
    if (IsBlank(text[p])) {
      while (p < len && IsBlank(text[p])) ++p;
      ++field;
    }
    if (p >= len || text[p] == ';') break;
    std::size_t next;
    switch (field) {
      case 1:
        next = readLabel(p);
        break;
      case 2:
        next = readMnemonic(p);
        break;
      case 3:
        next = std::strcmp(line.mnemonic, "DC") == 0 ? readDcOperands(p) : readGeneralOperands(p);
        break;
      default:
        return;  // the rest of the line is ignored
    }
    if (next == kFail) return;
    p = next;
  }

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
