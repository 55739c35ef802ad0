#include "asm/LineTokens.h"

#include <type_traits>

#include "asm/Instructions.h"

namespace tolvane {

namespace {

template <class C>
class LineScanner {
 public:
  LineScanner(const C* text, std::size_t length, std::vector<LineToken>& out)
      : t_(text), n_(static_cast<std::int32_t>(length)), out_(out) {}

  void Run() {
    std::int32_t p = 0;
    while (p < n_ && IsBlank(p)) ++p;
    if (p == n_) return;
    if (Is(p, ';')) {
      Emit(p, n_, TokenKind::Comment);
      return;
    }
    int field = 1;
    bool dc = false;
    p = 0;
    while (p < n_ && !Is(p, ';')) {
      if (IsBlank(p)) {
        while (p < n_ && IsBlank(p)) ++p;
        ++field;
        if (p >= n_ || Is(p, ';')) break;
      }
      switch (field) {
        case 1:
          p = LabelField(p);
          break;
        case 2:
          p = InstructionField(p, dc);
          break;
        case 3:
          p = dc ? DcOperands(p) : GeneralOperands(p);
          break;
        default:  // the assembler ignores the rest of the line
          Emit(p, n_, TokenKind::Comment);
          return;
      }
    }
    if (p < n_) Emit(p, n_, TokenKind::Comment);
  }

 private:
  unsigned At(std::int32_t i) const { return static_cast<std::make_unsigned_t<C>>(t_[i]); }
  bool Is(std::int32_t i, char c) const { return i < n_ && At(i) == static_cast<unsigned char>(c); }
  bool IsBlank(std::int32_t i) const { return Is(i, ' ') || Is(i, '\t'); }
  bool IsLetter(std::int32_t i) const { return i < n_ && At(i) >= 'A' && At(i) <= 'Z'; }
  bool IsDigit(std::int32_t i) const { return i < n_ && At(i) >= '0' && At(i) <= '9'; }
  bool IsHexDigit(std::int32_t i) const { return IsDigit(i) || (i < n_ && At(i) >= 'A' && At(i) <= 'F'); }
  bool EndsField(std::int32_t i) const { return i >= n_ || Is(i, ';') || IsBlank(i); }
  bool EndsOperand(std::int32_t i) const { return EndsField(i) || Is(i, ','); }

  std::int32_t FieldEnd(std::int32_t i) const {
    while (!EndsField(i)) ++i;
    return i;
  }
  std::int32_t OperandEnd(std::int32_t i) const {
    while (!EndsOperand(i)) ++i;
    return i;
  }
  // Every unit of [b, e) passes `test`.
  template <class Test>
  bool All(std::int32_t b, std::int32_t e, Test test) const {
    for (std::int32_t i = b; i < e; ++i)
      if (!(this->*test)(i)) return false;
    return true;
  }
  bool IsAlnum(std::int32_t i) const { return IsLetter(i) || IsDigit(i); }
  bool IsRegisterName(std::int32_t b, std::int32_t e) const {
    return e - b == 3 && Is(b, 'G') && Is(b + 1, 'R') && At(b + 2) >= '0' && At(b + 2) <= '7';
  }
  // Letters and digits, a letter first, at most eight: a label's form.
  bool IsLabelForm(std::int32_t b, std::int32_t e) const {
    return IsLetter(b) && e - b <= 8 && All(b, e, &LineScanner::IsAlnum);
  }
  // The position after the closing quote of the string opening at `q`
  // ('' inside stands for one quote), or the end of the line.
  std::int32_t StringEnd(std::int32_t q) const {
    std::int32_t r = q + 1;
    while (r < n_) {
      if (Is(r, '\'')) {
        if (!Is(r + 1, '\'')) return r + 1;
        r += 2;
      } else {
        ++r;
      }
    }
    return n_;
  }

  void Emit(std::int32_t b, std::int32_t e, TokenKind kind) {
    if (e > b) out_.push_back(LineToken{b, e - b, kind});
  }

  std::int32_t LabelField(std::int32_t p) {
    const std::int32_t e = FieldEnd(p);
    if (IsLabelForm(p, e) && !IsRegisterName(p, e)) Emit(p, e, TokenKind::Label);
    return e;
  }

  std::int32_t InstructionField(std::int32_t p, bool& dc) {
    const std::int32_t e = FieldEnd(p);
    dc = false;
    if (e - p > 6 || !All(p, e, &LineScanner::IsLetter)) return e;
    char name[7] = {};
    for (std::int32_t i = p; i < e; ++i) name[i - p] = static_cast<char>(At(i));
    dc = name[0] == 'D' && name[1] == 'C' && name[2] == '\0';
    if (const InstructionDef* instruction = FindInstruction(name)) {
      switch (KindOf(*instruction)) {
        case InstructionKind::Machine:
          Emit(p, e, TokenKind::Machine);
          break;
        case InstructionKind::Directive:
          Emit(p, e, TokenKind::Directive);
          break;
        case InstructionKind::Macro:
          Emit(p, e, TokenKind::Macro);
          break;
      }
    }
    return e;
  }

  // Decimal digits after the first unit of [b, e): the rest of a decimal
  // constant whose first unit was a digit or '-'.
  bool DigitsAfter(std::int32_t b, std::int32_t e) const { return All(b + 1, e, &LineScanner::IsDigit); }
  bool HexDigitsAfter(std::int32_t b, std::int32_t e, std::int32_t most) const {
    return e - b - 1 >= 1 && e - b - 1 <= most && All(b + 1, e, &LineScanner::IsHexDigit);
  }
  bool StartsDecimal(std::int32_t i) const { return IsDigit(i) || (Is(i, '-') && IsDigit(i + 1)); }

  // Operands 1 and 2, then index operands, separated by ','.
  std::int32_t GeneralOperands(std::int32_t p) {
    for (int k = 1;; ++k) {
      const std::int32_t e = k <= 2 ? Operand(p, k) : IndexOperand(p);
      if (!Is(e, ',')) return e;
      p = e + 1;
    }
  }

  std::int32_t Operand(std::int32_t p, int k) {
    if (EndsOperand(p)) return p;
    if (StartsDecimal(p)) {
      const std::int32_t e = OperandEnd(p);
      if (DigitsAfter(p, e)) Emit(p, e, TokenKind::Number);
      return e;
    }
    if (IsLetter(p)) {
      const std::int32_t e = OperandEnd(p);
      if (IsRegisterName(p, e)) Emit(p, e, TokenKind::Register);
      return e;
    }
    if (Is(p, '#')) {
      const std::int32_t e = OperandEnd(p);
      if (HexDigitsAfter(p, e, e - p)) Emit(p, e, TokenKind::Number);
      return e;
    }
    if (Is(p, '=')) return LiteralOperand(p, k);
    if (Is(p, '\'')) {  // no string belongs here, but its blanks and ';' do not end the field
      const std::int32_t s = StringEnd(p);
      Emit(p, s, TokenKind::String);
      return OperandEnd(s);
    }
    return OperandEnd(p);
  }

  std::int32_t LiteralOperand(std::int32_t p, int k) {
    const std::int32_t q = p + 1;
    if (StartsDecimal(q)) {
      const std::int32_t e = OperandEnd(q);
      if (DigitsAfter(q, e)) Emit(p, e, TokenKind::Literal);
      return e;
    }
    if (Is(q, '#')) {
      const std::int32_t e = OperandEnd(q);
      if (HexDigitsAfter(q, e, e - q)) Emit(p, e, TokenKind::Literal);
      return e;
    }
    if (Is(q, '\'')) {
      const std::int32_t s = StringEnd(q);
      const std::int32_t e = OperandEnd(s);
      // What follows the closing quote of operand 2 up to the operand's end
      // stays part of its text; after operand 1 it is a fault.
      Emit(p, k == 2 ? e : s, TokenKind::Literal);
      return e;
    }
    return OperandEnd(p);
  }

  std::int32_t IndexOperand(std::int32_t p) {
    const std::int32_t e = OperandEnd(p);
    if (IsRegisterName(p, e)) Emit(p, e, TokenKind::Register);
    return e;
  }

  std::int32_t DcOperands(std::int32_t p) {
    for (;;) {
      std::int32_t e = p;
      if (!EndsOperand(p)) {
        if (IsDigit(p) || Is(p, '-')) {  // '-' alone is a constant here
          e = OperandEnd(p);
          if (DigitsAfter(p, e)) Emit(p, e, TokenKind::Number);
        } else if (Is(p, '#')) {
          e = OperandEnd(p);
          if (HexDigitsAfter(p, e, 4)) Emit(p, e, TokenKind::Number);
        } else if (Is(p, '\'')) {
          const std::int32_t s = StringEnd(p);
          Emit(p, s, TokenKind::String);
          e = OperandEnd(s);
        } else {
          e = OperandEnd(p);  // a label, or a fault
        }
      }
      if (!Is(e, ',')) return e;
      p = e + 1;
    }
  }

  const C* t_;
  std::int32_t n_;
  std::vector<LineToken>& out_;
};

}  // namespace

void ScanLineTokens(std::string_view line, std::vector<LineToken>& tokens) {
  tokens.clear();
  LineScanner<char>(line.data(), line.size(), tokens).Run();
}

void ScanLineTokens(std::u16string_view line, std::vector<LineToken>& tokens) {
  tokens.clear();
  LineScanner<char16_t>(line.data(), line.size(), tokens).Run();
}

}  // namespace tolvane
