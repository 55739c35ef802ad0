// Splits a source into the assembler's fields and runs the assembler over it
// in memory for its diagnostics.
#include "lang/SourceModel.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "asm/AsmCore.h"
#include "asm/Instructions.h"
#include "common/Cp932.h"
#include "common/SourceLines.h"
#include "common/TextRules.h"

namespace tolvane::lang {

namespace {

// The assembler's diagnostics about the source: errors and warnings about
// its lines and about the source as a whole (not progress, totals or files).
class KeepSourceDiagnostics : public MessageSink {
 public:
  void AppendMessageLine(const std::string&) override {}
  void AppendDiagnostic(const Diagnostic& d) override {
    if (d.severity != Severity::Info && ShapeOf(d.code) == DiagShape::SourceLine) records.push_back(d);
  }
  std::vector<Diagnostic> records;
};

bool Blank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

bool IsRegisterName(std::string_view s) { return IsGeneralRegisterName(s); }

bool IsLabelName(std::string_view s) {
  if (s.empty() || s.size() > 8 || !IsLetter(s[0]) || IsRegisterName(s)) return false;
  return std::all_of(s.begin(), s.end(), [](char c) { return IsLetter(c) || IsDigit(c); });
}

bool IsLabelNotOperation(std::string_view word) {
  return IsLabelName(word) && !FindInstruction(std::string(word).c_str());
}

std::string_view SourceModel::LineText(std::int32_t line) const {
  if (line < 0 || line >= LineCount()) return {};
  return std::string_view(text_).substr(lines_[line].offset, lines_[line].length);
}

std::size_t SourceModel::Offset(std::int32_t line, std::int32_t column) const {
  if (line < 0) return 0;
  if (line >= LineCount()) return text_.size();
  const SourceLine& l = lines_[line];
  return l.offset + static_cast<std::size_t>(std::clamp(column, 0, l.length));
}

void SourceModel::SetText(std::string text) {
  text_ = std::move(text);
  Analyse();
}

void SourceModel::Replace(std::size_t from, std::size_t to, std::string_view with) {
  from = std::min(from, text_.size());
  to = std::clamp(to, from, text_.size());
  text_.replace(from, to - from, with);
  Analyse();
}

const std::vector<std::pair<std::int32_t, std::int32_t>>* SourceModel::Uses(const std::string& name) const {
  auto it = uses_.find(name);
  return it == uses_.end() ? nullptr : &it->second;
}

std::int32_t SourceModel::StartLine(const std::string& name) const {
  for (const Program& p : programs_)
    if (p.startLine >= 0 && p.name == name) return p.startLine;
  return -1;
}

// The fields are found as the assembler finds them: a label only from the
// first column, fields ending at a blank or ';', operands at ',', and quoted
// strings (with '' for a quote) kept whole.
void SourceModel::ScanLine(SourceLine& line) {
  const std::string_view t = std::string_view(text_).substr(line.offset, line.length);
  const auto len = static_cast<std::int32_t>(t.size());
  std::int32_t p = 0;
  while (p < len && Blank(t[p])) ++p;
  if (p == len || t[p] == ';') {
    line.commentOnly = true;
    return;
  }
  auto field = [&](std::int32_t q) {
    std::int32_t e = q;
    while (e < len && !Blank(t[e]) && t[e] != ';') ++e;
    return Span{q, e - q};
  };
  if (!Blank(t[0])) {
    line.label = field(0);
    p = line.label.length;
  }
  while (p < len && Blank(t[p])) ++p;
  if (p < len && t[p] != ';') {
    line.mnemonic = field(p);
    p += line.mnemonic.length;
    while (p < len && Blank(t[p])) ++p;
    if (p < len && t[p] != ';') {
      const std::int32_t b = p;
      std::int32_t opStart = p;
      line.firstOperand = static_cast<std::int32_t>(operands_.size());
      bool quoted = false;
      for (; p < len; ++p) {
        const char c = t[p];
        if (c == '\'') {
          quoted = !quoted;
        } else if (!quoted && (Blank(c) || c == ';')) {
          break;
        } else if (!quoted && c == ',') {
          operands_.push_back({opStart, p - opStart});
          opStart = p + 1;
        }
      }
      operands_.push_back({opStart, p - opStart});
      line.operandField = {b, p - b};
      line.operandCount = static_cast<std::int32_t>(operands_.size()) - line.firstOperand;
      while (p < len && Blank(t[p])) ++p;
    }
  }
  if (p < len) line.rest = {p, len - p};
}

void SourceModel::Analyse() {
  lines_.clear();
  operands_.clear();
  programs_.assign(1, Program{});
  uses_.clear();
  for (const LineSpan& span : SplitLines(text_, LoneCr::InLine)) {
    SourceLine line;
    line.offset = span.offset;
    line.length = static_cast<std::int32_t>(span.length);
    lines_.push_back(std::move(line));
  }
  for (std::int32_t i = 0; i < LineCount(); ++i) {
    SourceLine& line = lines_[i];
    ScanLine(line);
    line.program = static_cast<std::int32_t>(programs_.size()) - 1;
    Program& program = programs_.back();
    const std::string_view label = Piece(i, line.label);
    const std::string_view op = Piece(i, line.mnemonic);
    if (IsLabelName(label)) program.labels.emplace(std::string(label), i);
    for (std::int32_t k = 0; k < line.operandCount; ++k) {
      const std::string_view name = Piece(i, operands_[line.firstOperand + k]);
      if (IsLabelName(name)) uses_[std::string(name)].emplace_back(i, k);
    }
    if (op == "START" && program.startLine < 0) {
      program.startLine = i;
      program.name = std::string(label);
    } else if (op == "END") {
      program.endLine = i;
      programs_.emplace_back();
    }
  }
  RunAssembler();
}

void SourceModel::RunAssembler() {
  diagnostics_.clear();
  KeepSourceDiagnostics sink;
  auto assembler = std::make_unique<Assembler>(sink);
  assembler->AssembleText(text_, nullptr);

  // The assembler numbers pieces of at most 255 bytes: map each to the
  // editor's line holding its first byte (and where in that line it starts).
  // Without a longer line the two numberings agree and nothing needs reading again.
  std::vector<std::int32_t> pieceLine;
  std::vector<std::int32_t> pieceColumn;
  const bool longLines = std::any_of(lines_.begin(), lines_.end(), [](const SourceLine& l) {
    return l.length > static_cast<std::int32_t>(kMaxLineBytes);
  });
  if (longLines && !sink.records.empty()) {
    LineReader reader(text_);
    std::string_view piece;
    std::size_t line = 0;
    while (reader.Next(piece)) {
      const auto offset = static_cast<std::size_t>(piece.data() - text_.data());
      while (line + 1 < lines_.size() && lines_[line + 1].offset <= offset) ++line;
      pieceLine.push_back(static_cast<std::int32_t>(line));
      pieceColumn.push_back(static_cast<std::int32_t>(offset - lines_[line].offset));
    }
  } else {
    for (std::int32_t i = 0; i < LineCount(); ++i) pieceLine.push_back(i);
    pieceColumn.assign(pieceLine.size(), 0);
  }
  for (Diagnostic& record : sink.records) {
    PlacedDiagnostic d;
    const std::int32_t n = record.line;
    if (n >= 1 && n <= static_cast<std::int32_t>(pieceLine.size())) {
      d.line = pieceLine[n - 1];
      const std::int32_t length = lines_[d.line].length;
      d.span = {0, length};
      if (record.column >= 0) {
        const std::int32_t start = std::min(pieceColumn[n - 1] + record.column, length);
        d.span = {start, std::clamp(record.length, 0, length - start)};
      }
    } else if (record.code == DiagCode::EndMissing) {
      d.line = std::max(0, LineCount() - 1);
      while (d.line > 0 && lines_[d.line].length == 0) --d.line;
      d.span = {0, LineCount() > 0 ? lines_[d.line].length : 0};
    } else {
      // The messages about a label of the source as a whole: shown at its last definition.
      d.line = 0;
      d.span = {0, LineCount() > 0 ? lines_[0].length : 0};
      if (!record.subject.empty())
        for (std::int32_t i = LineCount() - 1; i >= 0; --i)
          if (Piece(i, lines_[i].label) == record.subject) {
            d.line = i;
            d.span = lines_[i].label;
            break;
          }
    }
    d.diagnostic = std::move(record);
    diagnostics_.push_back(std::move(d));
  }
}

}  // namespace tolvane::lang
