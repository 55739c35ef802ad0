// Answers about positions and whole sources, from the fields and programs of
// each source (SourceModel) and the help page's texts (HelpTexts).
#include "lang/LanguageService.h"

#include <algorithm>
#include <cstdio>
#include <unordered_set>

#include "asm/AsmCore.h"
#include "asm/Instructions.h"
#include "common/Cp932.h"
#include "common/TextRules.h"
#include "lang/HelpTexts.h"

namespace tolvane::lang {

namespace {

// The words a constant stands for, as the assembler makes them: decimal and
// hexadecimal constants one word each, a quoted string one word per byte.
// Empty for a label or anything else.
std::vector<Word> ConstantWords(std::string_view c) {
  std::vector<Word> words;
  if (c.empty()) return words;
  const std::string z(c);
  if (c[0] == '#') {
    words.push_back(ParseHex(z.c_str() + 1));
  } else if (IsDigit(c[0]) || (c[0] == '-' && c.size() > 1)) {
    words.push_back(DecimalWord(z.c_str()));
  } else if (c[0] == '\'') {
    for (std::size_t k = 1; k < c.size(); ++k) {
      if (c[k] == '\'') {
        if (k + 1 < c.size() && c[k + 1] == '\'')
          ++k;
        else
          break;
      }
      words.push_back(CharWord(c[k]));
    }
  }
  return words;
}

std::string WordList(const std::vector<Word>& words) {
  std::string s;
  for (std::size_t i = 0; i < words.size() && i < 16; ++i) s += (i ? " " : "") + Hex4(words[i]);
  if (words.size() > 16) s += " ...";
  return s;
}

std::string HelpText(const InstructionHelp& h) {
  std::string s = h.title + "\n";
  for (const std::string& f : h.forms) s += "  " + f + "\n";
  s += h.action;
  if (!h.flags.empty()) s += "\nFR  " + h.flags;
  return s;
}

// "LD\t${1:r},${2:adr}": the first form's operands that must be written.
// The instruction's name and the names of its first form's operands, each
// operand a placeholder.
void FillInstruction(Completion& c, std::string_view name, const InstructionHelp* h) {
  c.text = name;
  if (!h || h->operands.empty()) return;
  for (const auto& op : h->operands[0]) {
    if (op.optional) continue;
    c.text += c.placeholders.empty() ? "\t" : ",";
    c.placeholders.push_back({static_cast<std::int32_t>(c.text.size()), static_cast<std::int32_t>(op.name.size())});
    c.text += op.name;
  }
}

CompletionKind KindOfRow(const InstructionDef& d) {
  switch (KindOf(d)) {
    case InstructionKind::Machine:
      return CompletionKind::Instruction;
    case InstructionKind::Directive:
      return CompletionKind::Directive;
    case InstructionKind::Macro:
      return CompletionKind::Macro;
  }
  return CompletionKind::Instruction;
}

// Counts the operand separators before `column` (commas outside strings).
std::int32_t OperandIndex(std::string_view line, Span field, std::int32_t column) {
  std::int32_t index = 0;
  bool quoted = false;
  for (std::int32_t p = field.start; p < column && p < static_cast<std::int32_t>(line.size()); ++p) {
    if (line[p] == '\'') quoted = !quoted;
    if (!quoted && line[p] == ',') ++index;
  }
  return index;
}

std::string Trimmed(std::string_view s) {
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  return std::string(s);
}

}  // namespace

void LanguageService::SetDocument(const std::string& document, std::string text) {
  documents_[document].SetText(std::move(text));
}

bool LanguageService::ChangeDocument(const std::string& document, Position from, Position to, std::string_view text) {
  auto it = documents_.find(document);
  if (it == documents_.end()) return false;
  SourceModel& m = it->second;
  const std::size_t a = m.Offset(from.line, from.column), b = m.Offset(to.line, to.column);
  m.Replace(std::min(a, b), std::max(a, b), text);
  return true;
}

void LanguageService::RemoveDocument(const std::string& document) { documents_.erase(document); }

const SourceModel* LanguageService::Find(const std::string& document) const {
  auto it = documents_.find(document);
  return it == documents_.end() ? nullptr : &it->second;
}

std::vector<PlacedDiagnostic> LanguageService::Diagnostics(const std::string& document) const {
  const SourceModel* m = Find(document);
  return m ? m->Diagnostics() : std::vector<PlacedDiagnostic>{};
}

std::optional<LanguageService::Named> LanguageService::LabelAt(const SourceModel& m, Position at) const {
  if (at.line < 0 || at.line >= m.LineCount()) return std::nullopt;
  const SourceLine& l = m.Line(at.line);
  if (!l.label.Empty() && l.label.Contains(at.column) && IsLabelName(m.Piece(at.line, l.label)))
    return Named{std::string(m.Piece(at.line, l.label)), at.line, l.label, true};
  for (const Span& op : m.Operands(at.line))
    if (op.Contains(at.column) && IsLabelName(m.Piece(at.line, op)))
      return Named{std::string(m.Piece(at.line, op)), at.line, op, false};
  return std::nullopt;
}

// Inside a program its own label; otherwise a START label of the same
// source, then of the other sources, as the linker joins external references.
std::optional<Location> LanguageService::Resolve(const std::string& document, const SourceModel& m,
                                                 std::int32_t program, const std::string& name) const {
  const auto& programs = m.Programs();
  if (program >= 0 && program < static_cast<std::int32_t>(programs.size())) {
    auto it = programs[program].labels.find(name);
    if (it != programs[program].labels.end()) return Location{document, it->second, m.Line(it->second).label};
  }
  if (std::int32_t s = m.StartLine(name); s >= 0) return Location{document, s, m.Line(s).label};
  for (const auto& [other, om] : documents_) {
    if (other == document) continue;
    if (std::int32_t s = om.StartLine(name); s >= 0) return Location{other, s, om.Line(s).label};
  }
  return std::nullopt;
}

std::optional<Location> LanguageService::Definition(const std::string& document, Position at) const {
  const SourceModel* m = Find(document);
  if (!m) return std::nullopt;
  const auto w = LabelAt(*m, at);
  if (!w) return std::nullopt;
  return Resolve(document, *m, m->Line(w->line).program, w->name);
}

std::vector<Location> LanguageService::References(const std::string& document, Position at, bool withDefinition) const {
  std::vector<Location> found;
  const SourceModel* m = Find(document);
  if (!m) return found;
  const auto w = LabelAt(*m, at);
  if (!w) return found;
  const auto target = Resolve(document, *m, m->Line(w->line).program, w->name);
  if (withDefinition && target) found.push_back(*target);
  for (const auto& [doc, om] : documents_) {
    const auto* uses = om.Uses(w->name);
    if (!uses) continue;
    for (const auto& [line, k] : *uses) {
      // An unresolved name matches the same unresolved name in this source only.
      const auto r = Resolve(doc, om, om.Line(line).program, w->name);
      if (r == target && (target || doc == document)) found.push_back({doc, line, om.Operands(line)[k]});
    }
  }
  return found;
}

std::vector<Symbol> LanguageService::Symbols(const std::string& document) const {
  std::vector<Symbol> out;
  const SourceModel* m = Find(document);
  if (!m) return out;
  Symbol* program = nullptr;
  std::int32_t current = -1;
  for (std::int32_t i = 0; i < m->LineCount(); ++i) {
    const SourceLine& l = m->Line(i);
    if (l.commentOnly) continue;
    if (l.program != current) {
      current = l.program;
      const Program& p = m->Programs()[current];
      const std::int32_t first = p.startLine >= 0 ? p.startLine : i;
      Symbol s;
      s.name = p.name.empty() ? "(START)" : p.name;
      s.kind = SymbolKind::Program;
      s.line = first;
      s.selection = p.startLine >= 0 ? m->Line(first).label : Span{0, 0};
      s.endLine = p.endLine >= 0 ? p.endLine : m->LineCount() - 1;
      out.push_back(std::move(s));
      program = &out.back();
    }
    const std::string_view op = m->Piece(i, l.mnemonic);
    const InstructionDef* d = op.size() < 8 ? FindInstruction(std::string(op).c_str()) : nullptr;
    const std::string_view label = m->Piece(i, l.label);
    if (IsLabelName(label) && op != "START") {
      SymbolKind kind = SymbolKind::Code;
      if (d && d->form == OperandForm::Dc) kind = SymbolKind::Data;
      if (d && d->form == OperandForm::Ds) kind = SymbolKind::Area;
      program->children.push_back({std::string(label), kind, i, l.label, i, {}});
    }
    if (d && KindOf(*d) == InstructionKind::Macro) {
      Span call{l.mnemonic.start, (l.operandField.Empty() ? l.mnemonic.start + l.mnemonic.length
                                                          : l.operandField.start + l.operandField.length) -
                                      l.mnemonic.start};
      std::string name(op);
      if (!l.operandField.Empty()) name += " " + std::string(m->Piece(i, l.operandField));
      program->children.push_back({name, SymbolKind::Macro, i, call, i, {}});
    }
  }
  return out;
}

std::optional<Hover> LanguageService::HoverAt(const std::string& document, Position at) const {
  const SourceModel* m = Find(document);
  if (!m || at.line < 0 || at.line >= m->LineCount()) return std::nullopt;
  const SourceLine& l = m->Line(at.line);
  if (!l.mnemonic.Empty() && l.mnemonic.Contains(at.column)) {
    const InstructionHelp* h = FindInstructionHelp(m->Piece(at.line, l.mnemonic));
    if (!h) return std::nullopt;
    return Hover{HelpText(*h), at.line, l.mnemonic};
  }
  for (const Span& op : m->Operands(at.line)) {
    if (!op.Contains(at.column)) continue;
    const std::string_view text = m->Piece(at.line, op);
    if (IsRegisterName(text)) return Hover{std::string(text) + "\n" + RegisterHelp(), at.line, op};
    if (!text.empty() && text[0] == '=') {
      const auto words = ConstantWords(text.substr(1));
      if (words.empty()) return std::nullopt;
      return Hover{Cp932Text(u8"リテラル ") + std::string(text) + "\n" + Cp932Text(u8"値: ") + WordList(words), at.line,
                   op};
    }
  }
  const auto w = LabelAt(*m, at);
  if (!w) return std::nullopt;
  const auto def = Resolve(document, *m, m->Line(w->line).program, w->name);
  if (!def)
    return Hover{
        w->name + "\n" + Cp932Text(u8"外部参照（リンクのときにほかのプログラムの START ラベルと結び付けられます）"),
        w->line, w->span};
  const SourceModel& dm = documents_.at(def->document);
  std::string text = Trimmed(dm.LineText(def->line));
  if (def->document != document) text += "\n(" + def->document + ")";
  const SourceLine& dl = dm.Line(def->line);
  if (dm.Piece(def->line, dl.mnemonic) == "DC") {
    std::vector<Word> words;
    for (const Span& op : dm.Operands(def->line)) {
      auto v = ConstantWords(dm.Piece(def->line, op));
      words.insert(words.end(), v.begin(), v.end());
    }
    if (!words.empty()) text += "\n" + Cp932Text(u8"値: ") + WordList(words);
  }
  return Hover{text, w->line, w->span};
}

std::vector<Completion> LanguageService::Complete(const std::string& document, Position at) const {
  std::vector<Completion> out;
  const SourceModel* m = Find(document);
  if (!m || at.line < 0 || at.line >= m->LineCount()) return out;
  const SourceLine& l = m->Line(at.line);
  const std::string_view text = m->LineText(at.line);
  if (at.column == 0 || (!l.label.Empty() && at.column <= l.label.start + l.label.length)) return out;
  if (text.find(';') < static_cast<std::size_t>(at.column) && !l.rest.Empty() && at.column > l.rest.start) return out;
  const bool operation = l.mnemonic.Empty() ? l.operandField.Empty() : l.mnemonic.Contains(at.column);
  const bool operand = !operation && at.column > l.mnemonic.start + l.mnemonic.length &&
                       (l.rest.Empty() || at.column <= l.rest.start) &&
                       (l.operandField.Empty() || at.column <= l.operandField.start + l.operandField.length);
  if (operation) {
    for (const InstructionDef& d : kInstructionSet) {
      if (d.name.find('_') != std::string_view::npos) continue;  // register forms are chosen by the operands
      const InstructionHelp* h = FindInstructionHelp(d.name);
      Completion c{std::string(d.name), KindOfRow(d), "", "", "", {}};
      FillInstruction(c, d.name, h);
      if (h) {
        for (const std::string& f : h->forms) c.detail += (c.detail.empty() ? "" : "  ") + f;
        c.documentation = HelpText(*h);
      }
      out.push_back(std::move(c));
    }
    return out;
  }
  if (!operand) return out;
  for (int r = 0; r < 8; ++r) {
    const std::string name = "GR" + std::to_string(r);
    out.push_back({name, CompletionKind::Register, "", RegisterHelp(), name, {}});
  }
  // A program may define tens of thousands of labels: looking each one up in
  // the list built so far made a long source take seconds.
  std::unordered_set<std::string_view> seen;
  auto addLabel = [&](const SourceModel& sm, const std::string& name, std::int32_t line) {
    if (!seen.insert(name).second) return;
    out.push_back({name, CompletionKind::Label, Trimmed(sm.LineText(line)), "", name, {}});
  };
  const auto& programs = m->Programs();
  if (l.program >= 0 && l.program < static_cast<std::int32_t>(programs.size()))
    for (const auto& [name, line] : programs[l.program].labels) addLabel(*m, name, line);
  for (const auto& [doc, sm] : documents_)
    for (const Program& p : sm.Programs())
      if (p.startLine >= 0 && IsLabelName(p.name)) addLabel(sm, p.name, p.startLine);
  std::sort(out.begin() + 8, out.end(), [](const Completion& a, const Completion& b) { return a.label < b.label; });
  return out;
}

std::optional<SignatureHelp> LanguageService::Signature(const std::string& document, Position at) const {
  const SourceModel* m = Find(document);
  if (!m || at.line < 0 || at.line >= m->LineCount()) return std::nullopt;
  const SourceLine& l = m->Line(at.line);
  if (l.mnemonic.Empty() || at.column <= l.mnemonic.start + l.mnemonic.length) return std::nullopt;
  if (!l.operandField.Empty() && at.column > l.operandField.start + l.operandField.length) return std::nullopt;
  if (l.operandField.Empty() && !l.rest.Empty() && at.column > l.rest.start) return std::nullopt;
  const InstructionHelp* h = FindInstructionHelp(m->Piece(at.line, l.mnemonic));
  if (!h) return std::nullopt;
  SignatureHelp s;
  s.forms = h->forms;
  for (const auto& ops : h->operands) {
    std::vector<std::string> names;
    for (const auto& op : ops) names.push_back(op.name);
    s.parameters.push_back(std::move(names));
  }
  s.documentation = h->action;
  s.activeParameter = l.operandField.Empty() ? 0 : OperandIndex(m->LineText(at.line), l.operandField, at.column);
  // Two registers choose the register form.
  if (h->forms.size() > 1 && m->Operands(at.line).size() >= 2 &&
      IsRegisterName(m->Piece(at.line, m->Operands(at.line)[1])))
    s.activeForm = 1;
  return s;
}

RenameResult LanguageService::Rename(const std::string& document, Position at, const std::string& newName) const {
  RenameResult result;
  const SourceModel* m = Find(document);
  const auto w = m ? LabelAt(*m, at) : std::nullopt;
  if (!w) {
    result.error = Cp932Text(u8"ここにはラベルがありません。");
    return result;
  }
  if (!IsLabelName(newName)) {
    result.error = Cp932Text(u8"ラベルは英大文字で始まる８文字までの英大文字・数字で、GR0～GR7 以外です: ") + newName;
    return result;
  }
  const auto def = Resolve(document, *m, m->Line(w->line).program, w->name);
  if (!def) {
    result.error = Cp932Text(u8"ラベルの定義が見つかりません: ") + w->name;
    return result;
  }
  const SourceModel& dm = documents_.at(def->document);
  const Program& p = dm.Programs()[dm.Line(def->line).program];
  if (p.labels.count(newName) || dm.StartLine(newName) >= 0) {
    result.error = Cp932Text(u8"ラベル(") + newName + Cp932Text(u8")が重複しています。");
    return result;
  }
  for (const Location& loc : References(document, at, true))
    result.edits[loc.document].push_back({loc.line, loc.span, newName});
  return result;
}

// The fields are moved, never changed: the operand field is copied whole (its
// strings with their blanks), and what follows it keeps its place after it.
std::vector<TextEdit> LanguageService::Format(const std::string& document, const FormatOptions& o) const {
  std::vector<TextEdit> edits;
  const SourceModel* m = Find(document);
  if (!m) return edits;
  for (std::int32_t i = 0; i < m->LineCount(); ++i) {
    const SourceLine& l = m->Line(i);
    // A line the assembler reads as two pieces would become one (or the reverse).
    if (l.commentOnly || l.length > static_cast<std::int32_t>(kMaxLineBytes)) continue;
    std::string s(m->Piece(i, l.label));
    auto padTo = [&s](std::size_t column) { s.append(s.size() < column ? column - s.size() : 1, ' '); };
    if (!l.mnemonic.Empty()) {
      padTo(static_cast<std::size_t>(std::max(o.labelWidth, 1)));
      s += m->Piece(i, l.mnemonic);
      if (!l.operandField.Empty()) {
        padTo(static_cast<std::size_t>(std::max(o.labelWidth, 1) + std::max(o.operationWidth, 1)));
        s += m->Piece(i, l.operandField);
      }
    }
    if (!l.rest.Empty()) {
      padTo(static_cast<std::size_t>(std::max(o.labelWidth, 1) + std::max(o.operationWidth, 1) +
                                     std::max(o.operandWidth, 1)));
      s += m->Piece(i, l.rest);
    }
    if (s.size() > kMaxLineBytes || s == m->LineText(i)) continue;
    edits.push_back({i, {0, l.length}, s});
  }
  return edits;
}

std::string LanguageService::ProgramNameFor(const std::string& document) const {
  std::size_t b = document.find_last_of("/\\");
  b = b == std::string::npos ? 0 : b + 1;
  std::string name;
  for (std::size_t i = b; i < document.size() && document[i] != '.' && name.size() < 8; ++i) {
    char c = document[i];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (IsLetter(c) || (IsDigit(c) && !name.empty())) name += c;
  }
  return IsLabelName(name) ? name : "MAIN";
}

std::vector<CodeAction> LanguageService::CodeActions(const std::string& document, std::int32_t first,
                                                     std::int32_t last) const {
  std::vector<CodeAction> out;
  const SourceModel* m = Find(document);
  if (!m) return out;
  const auto& diags = m->Diagnostics();
  for (std::int32_t k = 0; k < static_cast<std::int32_t>(diags.size()); ++k) {
    const PlacedDiagnostic& d = diags[k];
    if (d.line < first || d.line > last) continue;
    if (d.diagnostic.code == DiagCode::EndMissing) {
      const std::int32_t lastLine = m->LineCount() - 1;
      const std::int32_t len = m->Line(lastLine).length;
      out.push_back({Cp932Text(u8"END を追加"), k, {{lastLine, {len, 0}, len == 0 ? "\tEND\n" : "\n\tEND\n"}}});
    } else if (d.diagnostic.code == DiagCode::StartNotFirst) {
      // Before the program's first line that is not a comment.
      std::int32_t line = d.line;
      const std::int32_t program = m->Line(line).program;
      while (line > 0 && m->Line(line - 1).program == program) --line;
      while (line < d.line && m->Line(line).commentOnly) ++line;
      out.push_back({Cp932Text(u8"START を追加"), k, {{line, {0, 0}, ProgramNameFor(document) + "\tSTART\n"}}});
    }
  }
  auto upperCase = [](std::string_view piece, bool& lower) {
    std::string upper(piece);
    lower = false;
    for (char& c : upper)
      if (c >= 'a' && c <= 'z') {
        c = static_cast<char>(c - 'a' + 'A');
        lower = true;
      }
    return upper;
  };
  auto diagnosticOn = [&](std::int32_t line) {
    std::int32_t diag = -1;
    for (std::int32_t k = 0; k < static_cast<std::int32_t>(diags.size()); ++k)
      if (diags[k].line == line) diag = k;
    return diag;
  };
  for (std::int32_t i = std::max(first, 0); i <= last && i < m->LineCount(); ++i) {
    const SourceLine& l = m->Line(i);
    // A label defined in lower case ("buf DS 6"), with its uses spelled the
    // same way in its program, when the name in capitals is still free.
    if (!l.label.Empty()) {
      bool lower = false;
      const std::string_view label = m->Piece(i, l.label);
      const std::string upper = upperCase(label, lower);
      if (lower && IsLabelName(upper) && !Resolve(document, *m, l.program, upper)) {
        std::vector<TextEdit> edits{{i, l.label, upper}};
        for (std::int32_t j = 0; j < m->LineCount(); ++j) {
          if (m->Line(j).program != l.program) continue;
          for (const Span& op : m->Operands(j))
            if (m->Piece(j, op) == label) edits.push_back({j, op, upper});
        }
        out.push_back({Cp932Text(u8"ラベル ") + upper + Cp932Text(u8" に直す"), diagnosticOn(i), std::move(edits)});
      }
    }
    // An operand in lower case that names a label once in capitals.
    for (const Span& op : m->Operands(i)) {
      bool lower = false;
      const std::string upper = upperCase(m->Piece(i, op), lower);
      if (!lower || !IsLabelName(upper) || !Resolve(document, *m, l.program, upper)) continue;
      out.push_back({Cp932Text(u8"ラベル ") + upper + Cp932Text(u8" に直す"), diagnosticOn(i), {{i, op, upper}}});
    }
  }
  return out;
}

}  // namespace tolvane::lang
