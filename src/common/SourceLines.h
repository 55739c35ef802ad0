#pragma once
// A text file as lines of bytes, and the bytes to write back after its text
// was edited. Saving must never change what nobody edited: a line whose text
// is unchanged is written with exactly the bytes it was read with (its
// encoding's duplicate forms, bytes that are no valid sequence, its own line
// end); an edited line is written in the file's encoding and line-end style,
// keeping the original bytes of the characters before and after the edit.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "common/SourceEncoding.h"

namespace tolvane {

// One line of a text: where it starts, its length, and the length of the
// line break that ends it (0 on the last line).
struct LineSpan {
  std::size_t offset = 0;
  std::size_t length = 0;
  std::size_t breakLength = 0;
  friend bool operator==(const LineSpan&, const LineSpan&) = default;
};

// What a CR that is not followed by an LF does.
enum class LoneCr {
  EndsLine,  // it is a line break, as editors show it
  InLine,    // it stays in the line, as the assembler numbers lines (by LFs); one
             // that ends the text is left out of the last line
};

// The one rule for splitting a text into lines: at LF and CR LF, and at a lone
// CR as `loneCr` says. There is always a line; after a final break the last
// one is empty. (The assembler cuts these lines further into pieces of at
// most 255 bytes: asm's LineReader.)
std::vector<LineSpan> SplitLines(std::string_view text, LoneCr loneCr);

struct SourceLine {
  std::string bytes;  // the line without its end (and without a byte-order mark)
  std::string end;    // "\r\n", "\n" or "\r"; empty on the last line only
};

struct SourceLines {
  TextEncoding encoding = TextEncoding::Cp932;
  bool byteOrderMark = false;
  std::vector<SourceLine> lines{SourceLine{}};  // never empty; the last has no end
};

// Splits a file at every line break (LF, CR LF and a lone CR, as editors show
// them). With `byteOrderMark` a leading UTF-8 mark is left out of the first line.
SourceLines SplitSourceLines(std::string_view bytes, TextEncoding encoding, bool byteOrderMark);

// The text of each line as an editor shows it, in UTF-8. Bytes that are no
// character of the encoding show as U+FFFD, one per byte; so do the characters
// a text control would take for a line or paragraph break or keeps for itself
// (U+2028, U+2029, U+FDD0, U+FDD1), so that every line stays one line there.
std::string ShownLine(const SourceLines& file, std::size_t i);
std::vector<std::string> ShownLines(const SourceLines& file);

// Whether some bytes of the file are no character of its encoding.
bool HasUnreadableBytes(const SourceLines& file);

struct ComposedFile {
  bool ok = true;
  std::string bytes;  // the file to write when `ok`
  // Otherwise the first character the encoding cannot hold: its line in the
  // edited text (0-based) and its byte offset in that line's UTF-8.
  std::size_t badLine = 0;
  std::size_t badOffset = 0;
};

struct TargetFormat {
  TextEncoding encoding = TextEncoding::Cp932;
  bool byteOrderMark = false;
  std::string_view lineEnd = "\r\n";  // for edited and new lines
};

// The bytes of the edited text `shown` (UTF-8 lines as ShownLines gave them,
// then edited) written over `original`. Lines keep their bytes only while the
// encoding stays the original's; after a change of encoding every line is
// written anew, unchanged lines still keeping their line ends.
ComposedFile ComposeSourceFile(const SourceLines& original, const std::vector<std::string>& shown,
                               const TargetFormat& target);

}  // namespace tolvane
