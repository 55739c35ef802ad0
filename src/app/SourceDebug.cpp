#include "app/SourceDebug.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QStatusBar>
#include <QTextBlock>

#include "debugger/ExecutionControl.h"
#include "forms/DialogPort.h"
#include "forms/LineGutter.h"
#include "forms/SourceView.h"
#include "forms/frmEditor_f.h"
#include "forms/frmMain_f.h"

namespace tolvane::app {

using debugger::SourceLocation;
using forms::LineGutter;
using forms::TfrmEditor;

namespace {
constexpr unsigned kBreakMarks = LineGutter::BreakpointMark | LineGutter::DisabledBreakpointMark;
}

SourceDebug::SourceDebug(forms::TfrmMain& main, debugger::ExecutionControl& execution)
    : QObject(&main), main_(main), execution_(execution) {
  if (QStatusBar* bar = main_.statusBar()) {
    label_ = new QLabel(bar);
    label_->setObjectName(QStringLiteral("lblSourceDebug"));
    label_->setVisible(false);
    bar->addWidget(label_, 1);
  }
  TfrmEditor* editor = Editor();
  if (!editor) return;
  for (int i = 1; i <= TfrmEditor::kPages; ++i) {
    LineGutter* gutter = editor->PageGutter(i);
    if (!gutter) continue;
    gutter->SetMarkColumnVisible(true);
    connect(gutter, &LineGutter::clicked, this, [this, i](int line) { ToggleLine(i, line); });
  }
  // The key works wherever the focus is inside the editor.
  auto* toggle = new QAction(editor);
  toggle->setObjectName(QStringLiteral("actToggleLineBreakpoint"));
  toggle->setShortcut(QKeySequence(QStringLiteral("Ctrl+B")));
  toggle->setShortcutContext(Qt::WidgetWithChildrenShortcut);
  editor->addAction(toggle);
  connect(toggle, &QAction::triggered, this, [this] {
    TfrmEditor* e = Editor();
    const int page = e ? e->CurrentPage() : 0;
    if (page >= 1) ToggleLine(page, e->PageEditor(page)->textCursor().blockNumber() + 1);
  });
  // Pages move when one is closed, and a page may be opened meanwhile: the
  // marks and the read-only state follow the files.
  connect(editor, &TfrmEditor::pagesChanged, this, [this] {
    if (!active_) return;
    ApplyReadOnly();
    BreakpointsChanged();
    ShowCurrentLine();
  });
}

TfrmEditor* SourceDebug::Editor() const { return main_.Editor(); }

void SourceDebug::ShowStatus(const std::string& cp932) {
  status_ = cp932;
  if (!label_) return;
  label_->setText(forms::FromCp932(cp932));
  label_->setVisible(!cp932.empty());
}

int SourceDebug::SourceOfPage(int page) const {
  TfrmEditor* editor = Editor();
  if (!editor || page < 1 || page > editor->OpenCount() || lines_.Sources().empty()) return -1;
  const int source = lines_.FindSource(editor->PagePathBytes(page), false);
  if (source < 0 || lines_.Sources()[static_cast<std::size_t>(source)].runs.empty()) return -1;
  return source;
}

int SourceDebug::PageOfSource(int source, bool open) {
  TfrmEditor* editor = Editor();
  if (!editor) return 0;
  for (int page = 1; page <= editor->OpenCount(); ++page)
    if (SourceOfPage(page) == source) return page;
  if (!open || editor->OpenCount() >= TfrmEditor::kPages) return 0;
  // A file the editor refused (too large, say) is not asked for again at every
  // stop: its refusal is said once per debugging session.
  const std::string& path = lines_.Sources()[static_cast<std::size_t>(source)].resolved;
  if (unopenable_.count(path)) return 0;
  if (!editor->OpenFile(QFile::decodeName(QByteArray(path.data(), static_cast<int>(path.size()))))) {
    unopenable_.insert(path);
    return 0;
  }
  return SourceOfPage(editor->OpenCount()) == source ? editor->OpenCount() : 0;
}

void SourceDebug::Started(bool resumed) {
  if (!resumed) unopenable_.clear();
  TfrmEditor* editor = Editor();
  std::vector<std::string> messages = lines_.Load(execution_.Program().exePath);
  // A page edited since it was saved no longer has the lines that were built.
  for (int page = 1; editor && page <= editor->OpenCount(); ++page) {
    const int source = SourceOfPage(page);
    if (source < 0 || !editor->PageModified(page)) continue;
    lines_.Drop(source, debugger::SourceEditedMessage(lines_.Sources()[static_cast<std::size_t>(source)].path));
    messages.push_back(lines_.Sources()[static_cast<std::size_t>(source)].dropped);
  }
  std::string status;
  for (const std::string& m : messages) status += (status.empty() ? "" : "  ") + m;
  ShowStatus(status);
  active_ = true;
  ApplyGutterBreakpoints();
  ApplyReadOnly();
  BreakpointsChanged();
  ShowCurrentLine();
}

void SourceDebug::ClearOtherPagesMarks() {
  // The marks of a page that is no source of the program being debugged are
  // in no table: another program's breakpoints went with its table.
  TfrmEditor* editor = Editor();
  for (int page = 1; editor && page <= editor->OpenCount(); ++page)
    if (SourceOfPage(page) < 0)
      if (LineGutter* gutter = editor->PageGutter(page)) gutter->ClearMarks(kBreakMarks);
}

void SourceDebug::Ended() {
  if (!active_) return;
  active_ = false;
  if (TfrmEditor* editor = Editor()) {
    for (int i = 1; i <= TfrmEditor::kPages; ++i) {
      if (LineGutter* gutter = editor->PageGutter(i)) gutter->ClearMarks(LineGutter::CurrentLineMark);
      if (forms::MarkedLine* marked = forms::MarkedLine::Of(editor->PageEditor(i))) marked->ShowExecutionLine(0);
    }
  }
  ApplyReadOnly();
  lines_.Clear();
}

// The gutter's marks of the program's open pages become the table's rows on
// those lines: marked lines gain a breakpoint on their first instruction,
// unmarked ones lose theirs. A marked line without an instruction loses its
// mark, with a word why.
void SourceDebug::ApplyGutterBreakpoints() {
  TfrmEditor* editor = Editor();
  if (!editor) return;
  std::string dropped;
  for (int page = 1; page <= editor->OpenCount(); ++page) {
    const int source = SourceOfPage(page);
    LineGutter* gutter = editor->PageGutter(page);
    if (source < 0 || !gutter) continue;
    const QList<int> marked = gutter->MarkedLines(kBreakMarks);
    for (int i = execution_.Breakpoints().Count() - 1; i >= 0; --i) {
      SourceLocation at = lines_.Locate(execution_.Breakpoints().Rows()[static_cast<std::size_t>(i)].address);
      if (at.source == source && at.code && !marked.contains(at.line)) execution_.DeleteBreakpoint(i);
    }
    const std::vector<Word> held = [&] {
      std::vector<Word> a;
      for (const debugger::Breakpoint& b : execution_.Breakpoints().Rows()) a.push_back(b.address);
      return a;
    }();
    const std::vector<std::int32_t> covered = lines_.LinesOfAddresses(source, held);
    for (int line : marked) {
      Word address = 0;
      if (!lines_.InstructionOfLine(source, line, address)) {
        if (dropped.empty())
          dropped = debugger::BreakpointDroppedMessage(lines_.Sources()[static_cast<std::size_t>(source)].path, line);
        continue;
      }
      if (std::find(covered.begin(), covered.end(), line) == covered.end()) execution_.ToggleBreakpointAt(address);
    }
  }
  if (!dropped.empty()) ShowStatus(status_.empty() ? dropped : status_ + "  " + dropped);
}

void SourceDebug::ApplyReadOnly() {
  TfrmEditor* editor = Editor();
  if (!editor) return;
  for (int i = 1; i <= TfrmEditor::kPages; ++i)
    if (QPlainTextEdit* e = editor->PageEditor(i)) e->setReadOnly(active_ && SourceOfPage(i) >= 0);
}

void SourceDebug::BreakpointsChanged() {
  TfrmEditor* editor = Editor();
  if (!active_ || !editor) return;
  ClearOtherPagesMarks();
  std::vector<Word> enabled, disabled;
  for (const debugger::Breakpoint& b : execution_.Breakpoints().Rows())
    (b.enabled ? enabled : disabled).push_back(b.address);
  for (int page = 1; page <= editor->OpenCount(); ++page) {
    const int source = SourceOfPage(page);
    LineGutter* gutter = editor->PageGutter(page);
    if (source < 0 || !gutter) continue;
    gutter->ClearMarks(kBreakMarks);
    for (int line : lines_.LinesOfAddresses(source, disabled))
      gutter->SetMarks(line, gutter->Marks(line) | LineGutter::DisabledBreakpointMark);
    for (int line : lines_.LinesOfAddresses(source, enabled))
      gutter->SetMarks(line, (gutter->Marks(line) & ~kBreakMarks) | LineGutter::BreakpointMark);
  }
}

void SourceDebug::ShowCurrentLine() {
  TfrmEditor* editor = Editor();
  if (!active_ || !editor) return;
  const SourceLocation at = lines_.Locate(execution_.Cpu().GetPR());
  const int page = at.Found() ? PageOfSource(at.source, true) : 0;
  for (int i = 1; i <= TfrmEditor::kPages; ++i) {
    if (i == page) continue;
    if (LineGutter* gutter = editor->PageGutter(i)) gutter->ClearMarks(LineGutter::CurrentLineMark);
    if (forms::MarkedLine* marked = forms::MarkedLine::Of(editor->PageEditor(i))) marked->ShowExecutionLine(0);
  }
  if (page == 0) return;
  forms::EditorControl* control = editor->PageEditor(page);
  LineGutter* gutter = editor->PageGutter(page);
  gutter->ClearMarks(LineGutter::CurrentLineMark);
  gutter->SetMarks(at.line, gutter->Marks(at.line) | LineGutter::CurrentLineMark);
  if (forms::MarkedLine* marked = forms::MarkedLine::Of(control)) marked->ShowExecutionLine(at.line);
  // The caret goes to the line too: the page scrolls to it, and a screen
  // reader reads it. The focus stays where the debugger put it.
  const QTextBlock block = control->document()->findBlockByNumber(at.line - 1);
  if (block.isValid()) {
    control->setTextCursor(QTextCursor(block));
    control->ensureCursorVisible();
  }
  if (editor->CurrentPage() != page) {
    QPointer<QWidget> focus = QApplication::focusWidget();
    editor->ActivatePage(page);
    if (focus) focus->setFocus();
  }
}

void SourceDebug::ToggleLine(int page, int line) {
  TfrmEditor* editor = Editor();
  LineGutter* gutter = editor ? editor->PageGutter(page) : nullptr;
  if (!gutter || line < 1) return;
  if (!active_) {
    // Kept in the gutter (the mark moves with its line as the text is edited)
    // until debugging starts.
    const unsigned marks = gutter->Marks(line);
    gutter->SetMarks(line, marks & kBreakMarks ? marks & ~kBreakMarks : marks | LineGutter::BreakpointMark);
    ShowStatus(std::string());
    return;
  }
  // The page is known by its file; the refusal names it as the page shows it.
  debugger::LineTarget target = lines_.ResolveLine(editor->PagePathBytes(page), line, false);
  if (target.source < 0 && !lines_.Empty())
    target.refusal = debugger::NotASourceMessage(forms::ToCp932OrEmpty(editor->PagePath(page)));
  if (!target.Found()) {
    ShowStatus(target.refusal);
    return;
  }
  debugger::ToggleBreakpointOnLine(execution_, lines_, target.source, line);
  ShowStatus(std::string());
}

}  // namespace tolvane::app
