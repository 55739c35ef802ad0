#pragma once
// The pieces of one source line as the assembler reads it: label field,
// instruction field, operands, comment. The editor colours a line with them.
//
// The fields and their ends are found exactly as the assembler finds them (a
// line that begins with a blank has no label; a field ends at a blank, at ';'
// or at the end of the line; ';' starts a comment except inside a quoted
// string; whatever follows the operand field is ignored). Unlike the
// assembler the scan never stops at a fault: a piece the assembler would
// reject (a label of nine characters, a decimal constant with a letter in it,
// an unknown instruction) simply gets no token, and the scan goes on with the
// next operand or field. Quoted strings are the exception: their extent is
// always marked, an unclosed one up to the end of the line, so that the
// reader sees where the assembler takes the string to end.
#include <cstdint>
#include <string_view>
#include <vector>

namespace tolvane {

enum class TokenKind : std::uint8_t {
  Label,      // a valid label in the label field
  Machine,    // the instruction field names a machine instruction
  Directive,  // ... an assembler directive
  Macro,      // ... a macro
  Register,   // GR0 to GR7 as an operand
  Number,     // decimal or # hexadecimal constant
  String,     // quoted character string, '' standing for one quote
  Literal,    // '=' with its constant or string
  Comment,    // from ';' outside strings, or what follows the operand field
};
inline constexpr int kTokenKinds = 9;

struct LineToken {
  std::int32_t start;   // position in the line, in code units
  std::int32_t length;  // at least 1
  TokenKind kind;
  friend bool operator==(const LineToken&, const LineToken&) = default;
};

// Replaces the contents of `tokens` with the pieces of `line` (without its
// line break), in order and without overlap. The byte form reads CP932 bytes
// as the assembler does, the other form UTF-16 code units (the editor's
// text); positions count the units of the form used. Only ASCII characters
// have a meaning in the language's rules, and none of the characters that
// end a field or a string can be part of a double-byte character, so both
// forms find the same fields.
void ScanLineTokens(std::string_view line, std::vector<LineToken>& tokens);
void ScanLineTokens(std::u16string_view line, std::vector<LineToken>& tokens);

}  // namespace tolvane
