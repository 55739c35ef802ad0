#pragma once
// The language services over a set of open sources: what the editor asks
// about a position (definition, references, hover, completion, operand
// forms), whole-file answers (symbols, diagnostics, formatting) and changes
// (rename, quick fixes). Positions are 0-based lines and byte columns of the
// CP932 text; every text handed out is CP932.
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "lang/SourceModel.h"

namespace tolvane::lang {

struct Position {
  std::int32_t line = 0;
  std::int32_t column = 0;
};

struct Location {
  std::string document;
  std::int32_t line = 0;
  Span span;
  friend bool operator==(const Location&, const Location&) = default;
};

// Replaces `span` of `line` by `text` (which may hold line breaks); a span
// past the end of the line stands for the line break itself.
struct TextEdit {
  std::int32_t line = 0;
  Span span;
  std::string text;
};

enum class SymbolKind : std::uint8_t { Program, Code, Data, Area, Macro };

struct Symbol {
  std::string name;
  SymbolKind kind = SymbolKind::Code;
  std::int32_t line = 0;     // where the symbol is named
  Span selection;            // its name (or the macro call)
  std::int32_t endLine = 0;  // last line of its extent
  std::vector<Symbol> children;
};

struct Hover {
  std::string text;
  std::int32_t line = 0;
  Span span;  // the piece hovered
};

enum class CompletionKind : std::uint8_t { Instruction, Directive, Macro, Register, Label };

// An item offered at the caret. Choosing it replaces the word before the
// caret by `text`; the operands still to be filled in are `placeholders`,
// spans of `text` holding their names ("r", "adr"), in the order a user
// fills them. Each front end shows them its own way.
struct Completion {
  std::string label;
  CompletionKind kind = CompletionKind::Label;
  std::string detail;         // the operand form, or the defining line
  std::string documentation;  // what the instruction does
  std::string text;           // "LD\tr,adr"
  std::vector<Span> placeholders;
};

struct SignatureHelp {
  std::vector<std::string> forms;                    // "LD r,adr[,x]"
  std::vector<std::vector<std::string>> parameters;  // operands of each form
  std::int32_t activeForm = 0;
  std::int32_t activeParameter = 0;
  std::string documentation;
};

struct RenameResult {
  std::string error;  // empty when the rename can be made
  std::map<std::string, std::vector<TextEdit>> edits;
};

struct FormatOptions {
  std::int32_t labelWidth = 8;      // the operation starts at this column
  std::int32_t operationWidth = 8;  // then the operands this much further
  std::int32_t operandWidth = 24;   // and a comment this much further still
};

struct CodeAction {
  std::string title;
  std::int32_t diagnostic = -1;  // the diagnostic it mends, -1 for none
  std::vector<TextEdit> edits;
};

class LanguageService {
 public:
  // Adds or replaces a source; `document` is any name the caller uses.
  void SetDocument(const std::string& document, std::string text);
  // Replaces the text between two positions (an editor's change).
  bool ChangeDocument(const std::string& document, Position from, Position to, std::string_view text);
  void RemoveDocument(const std::string& document);
  const SourceModel* Find(const std::string& document) const;

  std::vector<PlacedDiagnostic> Diagnostics(const std::string& document) const;
  std::optional<Location> Definition(const std::string& document, Position at) const;
  std::vector<Location> References(const std::string& document, Position at, bool withDefinition) const;
  std::vector<Symbol> Symbols(const std::string& document) const;
  std::optional<Hover> HoverAt(const std::string& document, Position at) const;
  std::vector<Completion> Complete(const std::string& document, Position at) const;
  std::optional<SignatureHelp> Signature(const std::string& document, Position at) const;
  RenameResult Rename(const std::string& document, Position at, const std::string& newName) const;
  std::vector<TextEdit> Format(const std::string& document, const FormatOptions& options) const;
  // Quick fixes for the diagnostics on lines first..last.
  std::vector<CodeAction> CodeActions(const std::string& document, std::int32_t first, std::int32_t last) const;

 private:
  struct Named {
    std::string name;
    std::int32_t line = 0;
    Span span;
    bool definition = false;  // the label field
  };
  std::optional<Named> LabelAt(const SourceModel& model, Position at) const;
  std::optional<Location> Resolve(const std::string& document, const SourceModel& model, std::int32_t program,
                                  const std::string& name) const;
  std::string ProgramNameFor(const std::string& document) const;

  std::map<std::string, SourceModel> documents_;
};

}  // namespace tolvane::lang
