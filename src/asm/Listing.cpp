// The assembly listing: every source line with its number, the addresses and
// words generation placed for it (macro expansions, DS and DC words, each
// program's literals), the diagnostics and the error total. The rows come
// from generation's records; the words from the finished code image.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "asm/AsmCore.h"

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

// Prints statements from their records. The words are read from the image at
// print time, when every reference is resolved; a word still left to the
// linker shows as "---- E".
class ListingWriter {
 public:
  ListingWriter(const std::vector<Word>& image, const std::vector<SRefTbl>& references, std::string& out)
      : image_(image), external_(kMemoryWords, 0), out_(out) {
    for (const SRefTbl& r : references)
      if (r.state == RefExternal) external_[r.address] = 1;
  }

  // A line with no words: the number and 25 blanks before the text.
  void Other(std::int32_t n, std::string_view src) {
    LineNo(out_, n);
    out_.append(25, ' ');
    out_.append(src);
    out_.push_back('\n');
  }

  // Without `withLiterals` a program's literals are left out, and the
  // addresses after them close up: later rows show the address and words that
  // many words lower (the listing of a failed assembly numbers only what it
  // shows).
  void Statement(const ListedStatement& s, const std::vector<ListingRow>& rows, bool withLiterals) {
    if (s.literals && !withLiterals) {
      for (std::size_t i = 0; i < s.rowCount; ++i) hidden_ += rows[s.firstRow + i].count;
      return Other(s.line, s.text);
    }
    if (s.rowCount == 0) return Other(s.line, s.text);
    if (s.source == ListedStatement::Source::Before) Other(s.line, s.text);
    // A macro's expansion lines keep the statement's label and the blanks
    // after it on the first line; later ones blank the label out.
    const std::size_t labelLength = std::min(static_cast<std::size_t>(s.labelLength), s.text.size());
    std::size_t run = labelLength;
    while (run < s.text.size() && IsBlank(s.text[run])) ++run;
    std::string lead(s.text.substr(0, run));
    for (std::size_t i = 0; i < s.rowCount; ++i) {
      const ListingRow& row = rows[s.firstRow + i];
      for (std::int32_t k = 0; k < row.count; ++k) {
        const bool head = i == 0 && k == 0 && s.source == ListedStatement::Source::FirstRow;
        if (head)
          LineNo(out_, s.line);
        else
          out_.append(7, ' ');
        Words(static_cast<std::int32_t>(row.address) + k - hidden_, row);
        if (head) {
          out_.append(s.text);
        } else if (k == 0 && row.expansion) {
          out_.append(lead).append(row.text);
          std::fill_n(lead.begin(), labelLength, ' ');
        } else if (k == 0) {
          out_.append(row.text);
        }
        out_.push_back('\n');
      }
    }
    if (s.source == ListedStatement::Source::After) Other(s.line, s.text);
  }

 private:
  // " %.4hX:" and the words of one row.
  void Words(std::int32_t a, const ListingRow& row) {
    out_.push_back(' ');
    Hex4(out_, static_cast<Word>(a));
    out_.push_back(':');
    out_.push_back(' ');
    const bool expansion = row.expansion;
    switch (row.shape) {
      case ListingRow::Shape::TwoWords:
        Hex4(out_, At(a));
        if (row.reference && IsExternal(a + 1)) {
          out_.append(expansion ? " ---- E     1 " : " ---- E       ");
        } else {
          out_.push_back(' ');
          Hex4(out_, At(a + 1));
          out_.append(expansion ? "       1 " : "         ");
        }
        break;
      case ListingRow::Shape::OneWord:
        if (row.reference && IsExternal(a)) {
          out_.append("---- E            ");
        } else {
          Hex4(out_, At(a));
          out_.append(expansion ? "            1 " : "              ");
        }
        break;
      case ListingRow::Shape::Bare:
        Hex4(out_, At(a));
        break;
    }
  }
  Word At(std::int32_t a) const { return image_[static_cast<std::size_t>(a) & 0xFFFF]; }
  bool IsExternal(std::int32_t a) const { return external_[static_cast<std::size_t>(a) & 0xFFFF] != 0; }

  const std::vector<Word>& image_;
  std::vector<std::uint8_t> external_;
  std::string& out_;
  std::int32_t hidden_ = 0;  // words of literals left out so far
};

// The stored diagnostics of line `n` (-1: of the whole file).
void ErrorLines(std::string& out, const std::vector<SErrorTbl>& errors, std::int32_t n) {
  for (const SErrorTbl& e : errors) {
    if (e.lineNumber != n) continue;
    char head[32];
    if (n < 0)
      std::snprintf(head, sizeof head, "(   ) : Error  ");
    else
      std::snprintf(head, sizeof head, "(%3d) : Error  ", static_cast<int>(n));
    out.append(head);
    out.append(e.text);
    out.push_back('\n');
  }
}

}  // namespace

void Assembler::BuildListing(std::string& out) const {
  out.clear();
  std::size_t sourceBytes = 0;
  for (const ListedStatement& s : listedStatements) sourceBytes += s.text.size();
  out.reserve(sourceBytes * 2 + 4096);
  ListingWriter w(codeImage, referenceTable, out);
  for (const ListedStatement& s : listedStatements) {
    // A program's literals are shown only for a clean assembly.
    w.Statement(s, listingRows, errorCount == 0);
    ErrorLines(out, errorList, s.line);
  }
  ErrorLines(out, errorList, -1);
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
