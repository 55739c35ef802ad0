#pragma once
// One source as the language services see it: its lines split into the
// assembler's fields, its programs (START to END) with their labels, and the
// assembler's own diagnostics for it.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "common/Diagnostic.h"

namespace tolvane::lang {

// A piece of a line: byte column and length (CP932 bytes).
struct Span {
  std::int32_t start = 0;
  std::int32_t length = 0;
  bool Empty() const { return length == 0; }
  bool Contains(std::int32_t column) const { return column >= start && column <= start + length; }
  friend bool operator==(const Span&, const Span&) = default;
};

struct SourceLine {
  std::size_t offset = 0;   // in the text
  std::int32_t length = 0;  // without the line break
  Span label, mnemonic;
  Span operandField;              // all operands as written, strings kept whole
  std::int32_t firstOperand = 0;  // its operands: SourceModel::Operands
  std::int32_t operandCount = 0;
  Span rest;                 // from the end of the operand field (comment or ignored text)
  bool commentOnly = false;  // empty, blank or ';' line
  std::int32_t program = 0;  // number of ENDs before this line
};

struct Program {
  std::int32_t startLine = -1;                           // the START line, -1 when there is none
  std::int32_t endLine = -1;                             // the END line, -1 when there is none
  std::string name;                                      // the START label
  std::unordered_map<std::string, std::int32_t> labels;  // first definition of each name
};

// One of the assembler's diagnostics placed on the editor's lines.
struct PlacedDiagnostic {
  Diagnostic diagnostic;  // as the assembler reported it
  std::int32_t line = 0;  // 0-based editor line
  Span span;              // the offending field on that line; the whole line when the record names none
};

class SourceModel {
 public:
  void SetText(std::string text);
  const std::string& Text() const { return text_; }
  std::string_view LineText(std::int32_t line) const;
  std::string_view Piece(std::int32_t line, Span s) const { return LineText(line).substr(s.start, s.length); }
  std::int32_t LineCount() const { return static_cast<std::int32_t>(lines_.size()); }
  const SourceLine& Line(std::int32_t i) const { return lines_[i]; }
  // Each operand of a line's operand field.
  std::span<const Span> Operands(std::int32_t i) const {
    return {operands_.data() + lines_[i].firstOperand, static_cast<std::size_t>(lines_[i].operandCount)};
  }
  const std::vector<Program>& Programs() const { return programs_; }
  const std::vector<PlacedDiagnostic>& Diagnostics() const { return diagnostics_; }
  // Uses of each name as an operand: (line, operand index).
  const std::vector<std::pair<std::int32_t, std::int32_t>>* Uses(const std::string& name) const;
  // The line defining a START label of this source, -1 for none.
  std::int32_t StartLine(const std::string& name) const;

  // Replaces bytes [from, to) of the text and analyses again.
  void Replace(std::size_t from, std::size_t to, std::string_view with);
  // Byte offset of a line and column, clamped into the text.
  std::size_t Offset(std::int32_t line, std::int32_t column) const;

 private:
  void Analyse();
  void ScanLine(SourceLine& line);
  void RunAssembler();

  std::string text_;
  std::vector<SourceLine> lines_;
  std::vector<Span> operands_;  // of all lines, in order (one allocation, not one per line)
  std::vector<Program> programs_;
  std::vector<PlacedDiagnostic> diagnostics_;
  std::unordered_map<std::string, std::vector<std::pair<std::int32_t, std::int32_t>>> uses_;
};

// Whether a piece of text is a name the assembler accepts as a label.
bool IsLabelName(std::string_view s);
bool IsRegisterName(std::string_view s);
// Whether a word typed first on a line can only be the line's label: a label
// name that is no instruction, directive or macro (so "LOOP", not "LD").
bool IsLabelNotOperation(std::string_view word);

}  // namespace tolvane::lang
