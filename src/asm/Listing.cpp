// The assembly listing: every source line with its number, address and words,
// macro expansions, DS/DC words, each program's literals, the diagnostics and
// the error total. Lines are analysed a second time (silently); the words come
// from the finished code image.
#include <cstdio>
#include <cstring>
#include <memory>

#include "asm/AsmCore.h"
#include "asm/Instructions.h"

namespace tolvane {

namespace {

const char kHex[] = "0123456789ABCDEF";

void Hex4(std::string& out, Word w) {
  char b[4] = {kHex[(w >> 12) & 15], kHex[(w >> 8) & 15], kHex[(w >> 4) & 15], kHex[w & 15]};
  out.append(b, 4);
}

// "%6u " (wider when the number needs it).
void LineNo(std::string& out, std::int32_t n) {
  char b[24];
  int len = std::snprintf(b, sizeof b, "%6u ", static_cast<unsigned>(n));
  out.append(b, static_cast<std::size_t>(len));
}

class ListingWriter {
 public:
  ListingWriter(const std::vector<Word>& image, std::string& out) : image_(image), out_(out) {}

  void Other(std::int32_t n, std::string_view src) {
    LineNo(out_, n);
    out_.append(25, ' ');
    out_.append(src);
    out_.push_back('\n');
  }
  // " %.4hX:" after the line number or the 7 blanks of a continuation line.
  void Address(std::int32_t a) {
    out_.push_back(' ');
    Hex4(out_, static_cast<Word>(a));
    out_.push_back(':');
  }
  void Continuation(std::int32_t a) {
    out_.append(7, ' ');
    Address(a);
  }
  void TwoWords(std::int32_t a, bool external, bool macro) {
    out_.push_back(' ');
    Hex4(out_, Word_(a));
    if (external) {
      out_.append(macro ? " ---- E     1 " : " ---- E       ");
    } else {
      out_.push_back(' ');
      Hex4(out_, Word_(a + 1));
      out_.append(macro ? "       1 " : "         ");
    }
  }
  void OneWord(std::int32_t a, bool macro) {
    out_.push_back(' ');
    Hex4(out_, Word_(a));
    out_.append(macro ? "            1 " : "              ");
  }
  void Bare(std::int32_t a) {
    out_.push_back(' ');
    Hex4(out_, Word_(a));
  }
  void End(std::string_view src = {}) {
    out_.append(src);
    out_.push_back('\n');
  }
  std::string& Out() { return out_; }

 private:
  Word Word_(std::int32_t a) const { return image_[static_cast<std::size_t>(a) & 0xFFFF]; }
  const std::vector<Word>& image_;
  std::string& out_;
};

// Characters of a literal's string from after its opening quote ('' is one).
int LiteralChars(const std::string& t) {
  int count = 0;
  for (std::size_t k = 2; k < t.size(); ++k) {
    if (t[k] == '\'') {
      if (k + 1 < t.size() && t[k + 1] == '\'')
        ++k;
      else
        break;
    }
    ++count;
  }
  return count;
}

}  // namespace

void Assembler::BuildListing(std::string_view source, std::int32_t lines, std::string& out) {
  out.clear();
  out.reserve(source.size() * 2 + 4096);
  std::vector<std::uint8_t> external(kMemoryWords, 0);
  for (const SRefTbl& r : referenceTable)
    if (r.state == RefExternal) external[r.address] = 1;

  auto record = std::make_unique<SAsmLine>();
  SAsmLine& line = *record;
  ListingWriter w(codeImage, out);
  LineReader reader(source);
  // The listing keeps its own address; like generation, it never lets an item
  // run past FFFEH (such a line was reported and shows no words).
  std::int32_t la = 0;
  auto fits = [&](std::int32_t words) { return la + words < 65536; };
  std::int32_t program = 0;
  std::size_t literalCursor = 0;
  const std::size_t shown = errorList.size();

  for (std::int32_t n = 1; n <= lines; ++n) {
    std::string_view src;
    if (!reader.Next(src)) break;  // the text is the one assembled: cannot happen
    line.lineNumber = n;
    suppressLineErrors = true;
    AnalyseLine(line, src);
    suppressLineErrors = false;

    const InstructionDef* ins = line.mnemonic[0] ? FindInstruction(line.mnemonic) : nullptr;
    OperandForm form = ins ? ins->form : OperandForm::Start;  // "other" when no kind
    switch (form) {
      case OperandForm::RegAdr:
      case OperandForm::Adr:
        if (!fits(2)) {
          w.Other(n, src);
          break;
        }
        LineNo(out, n);
        w.Address(la);
        w.TwoWords(la, external[la + 1] != 0, false);
        w.End(src);
        la += 2;
        break;
      case OperandForm::RegReg:
      case OperandForm::Reg:
      case OperandForm::None:
        if (!fits(1)) {
          w.Other(n, src);
          break;
        }
        LineNo(out, n);
        w.Address(la);
        w.OneWord(la, false);
        w.End(src);
        la += 1;
        break;
      case OperandForm::InOut:
      case OperandForm::RPushPop: {
        w.Other(n, src);
        const bool in = ins->form == OperandForm::InOut;
        const int words = ins->words;
        if (!fits(words)) break;
        std::size_t labelLen = std::strlen(line.label);
        std::size_t run = labelLen;
        while (run < src.size() && IsBlank(src[run])) ++run;
        std::string firstLead(src.substr(0, run));
        std::string laterLead = std::string(labelLen, ' ') + std::string(src.substr(labelLen, run - labelLen));
        bool firstLine = true;
        auto expansion = [&](std::int32_t a, int kind, const std::string& text) {
          // kind 2: two words, 3: two words whose second may be external, 1: one word
          w.Continuation(a);
          if (kind == 1)
            w.OneWord(a, true);
          else
            w.TwoWords(a, kind == 3 && external[a + 1] != 0, true);
          out.append(firstLine ? firstLead : laterLead);
          firstLine = false;
          w.End(text);
        };
        if (in) {
          auto lad = [](const char* reg, const char* op) {
            char b[300];
            std::snprintf(b, sizeof b, "LAD     %s,%-8s", reg, op);
            return std::string(b);
          };
          expansion(la, 2, "PUSH    0,GR1");
          expansion(la + 2, 2, "PUSH    0,GR2");
          expansion(la + 4, 3, lad("GR1", line.operand1));
          expansion(la + 6, 3, lad("GR2", line.operand2));
          expansion(la + 8, 2, ins->code == 1 ? "SVC     1" : "SVC     2");
          expansion(la + 10, 1, "POP     GR2");
          expansion(la + 11, 1, "POP     GR1");
        } else if (ins->code == 0) {
          for (int k = 0; k < 7; ++k) expansion(la + 2 * k, 2, "PUSH    0,GR" + std::to_string(k + 1));
        } else {
          for (int k = 0; k < 7; ++k) expansion(la + k, 1, "POP     GR" + std::to_string(7 - k));
        }
        la += words;
        break;
      }
      case OperandForm::Ds: {
        std::int64_t count = DecimalMagnitude(line.operand1);
        if (count <= 0 || count >= 65536 || !fits(static_cast<std::int32_t>(count))) {
          w.Other(n, src);
          break;
        }
        LineNo(out, n);
        w.Address(la);
        w.OneWord(la, false);
        w.End(src);
        for (std::int32_t k = 1; k < count; ++k) {
          w.Continuation(la + k);
          w.Bare(la + k);
          w.End();
        }
        la += static_cast<std::int32_t>(count);
        break;
      }
      case OperandForm::Dc: {
        // One group per operand; like generation, the line stops at the first
        // word that would not fit. An empty string (reported) still has its
        // group: one line showing the word at the address, which it does not
        // advance.
        bool any = false;
        bool full = false;
        for (int j = 0; j < line.dcCount && !full; ++j) {
          const char* op = line.dcOperands[j];
          int words = 1;
          if (op[0] == '\'') {
            std::size_t len = std::strlen(op);
            words = len >= 2 ? static_cast<int>(len) - 2 : 0;
          }
          if (words > 0 && !fits(1)) break;
          if (!any)
            LineNo(out, n);
          else
            out.append(7, ' ');
          w.Address(la);
          if (op[0] != '\'' && external[la])
            out.append(" ---- E            ");
          else
            w.OneWord(la, false);
          w.End(any ? std::string_view() : src);
          any = true;
          if (words == 0) continue;
          ++la;
          for (int k = 1; k < words; ++k) {
            if (!fits(1)) {
              full = true;
              break;
            }
            w.Continuation(la);
            w.Bare(la);
            w.End();
            ++la;
          }
        }
        if (!any) w.Other(n, src);
        break;
      }
      case OperandForm::End:
        ++program;
        if (errorCount == 0) {
          while (literalCursor < fileLiterals.size() && fileLiterals[literalCursor].programNumber < program)
            ++literalCursor;
          for (std::size_t i = literalCursor; i < fileLiterals.size() && fileLiterals[i].programNumber == program;
               ++i) {
            const SLiteralTbl& lit = fileLiterals[i];
            if (!lit.first || !fits(1)) continue;
            w.Continuation(la);
            w.OneWord(la, false);
            out.append(lit.text);
            out.append("\tDC\t");
            out.append(lit.text, 1, std::string::npos);
            out.push_back('\n');
            ++la;
            if (lit.text.size() >= 2 && lit.text[1] == '\'') {
              int chars = LiteralChars(lit.text);
              for (int k = 1; k < chars && fits(1); ++k) {
                w.Continuation(la);
                w.OneWord(la, false);
                w.End();
                ++la;
              }
            }
          }
        }
        w.Other(n, src);
        break;
      case OperandForm::Start:
        w.Other(n, src);
        break;
    }

    // The stored diagnostics of this line, under it.
    for (std::size_t e = 0; e < shown; ++e) {
      if (errorList[e].lineNumber != n) continue;
      for (; e < shown && errorList[e].lineNumber == n; ++e) {
        char head[32];
        std::snprintf(head, sizeof head, "(%3d) : Error  ", static_cast<int>(n));
        out.append(head);
        out.append(errorList[e].text);
        out.push_back('\n');
      }
      break;
    }
  }

  for (std::size_t e = 0; e < shown; ++e) {
    if (errorList[e].lineNumber != -1) continue;
    out.append("(   ) : Error  ");
    out.append(errorList[e].text);
    out.push_back('\n');
  }
  out.push_back('\n');
  if (errorCount <= kShownErrors) {
    char total[32];
    std::snprintf(total, sizeof total, "%7d Errors\n", static_cast<int>(errorCount));
    out.append(total);
  } else {
    out.append("      Too Many Errors\n");
  }
}

}  // namespace tolvane
