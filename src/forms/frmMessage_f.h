#pragma once
#include <string>
#include <vector>

#include "common/FileNameMarks.h"
#include "common/MessageSink.h"
#include "forms/DockForm.h"

class QAction;
class QMenu;
class QPlainTextEdit;

namespace tolvane::forms {

// The message window (form `frmMessage`, caption "メッセージ"): the progress and
// diagnostic lines of the assembler and the linker. A dock widget, so that the
// main window docks it into its message area and it floats on top when dragged
// out. The core writes to it directly through MessageSink.
class TfrmMessage : public TDockForm, public MessageSink {
  Q_OBJECT
 public:
  explicit TfrmMessage(QWidget* parent = nullptr);
  ~TfrmMessage() override;

  // MessageSink: one CP932 line, shown converted. Asks the main window to show
  // the message page (showRequested; without a receiver the window shows
  // itself), focuses the memo, appends the line and scrolls to it. A record
  // is kept with its line for the jump to its source; a bare line is about
  // no source.
  void AppendMessageLine(const std::string& cp932Line) override;
  void AppendDiagnostic(const Diagnostic& diagnostic) override;
  void ClearMessages() override;

  // How a line is shown: CP932 text, except that the paths the tools were
  // given (named in "Assemble[...]" and "LINK[...]" lines, and their .obj,
  // .lst, .exe and .sym siblings) are file-system bytes and decoded as such.
  QString DisplayText(const std::string& line) const;

  // The lines shown, as CP932 bytes (what the core sent) and as text.
  std::vector<std::string> Lines() const;
  QString Text() const;
  // The record of line `index` (0-based), or null.
  const Diagnostic* RecordAt(int index) const;

  // Whether line `index` (0-based) is an error or warning about a source and,
  // if so, that source (the file-system bytes the tool was given) and its line
  // number (0 when the message names no line).
  bool DiagnosticAt(int index, std::string* path, int* lineNumber) const;
  // The jump to the source of line `index` (a double-click, or the keyboard):
  // emits sourceLineRequested when the line is a diagnostic. Returns whether it did.
  bool ActivateLine(int index);
  // The next (step +1) or previous (step -1) diagnostic from the caret's line,
  // going round at either end: its line becomes the memo's selection and is
  // activated as by a double-click. False when there is no diagnostic.
  bool GoToDiagnostic(int step);

  QPlainTextEdit* memoMessage() const { return memo_; }
  QMenu* pmnuMessage() const { return popup_; }
  QAction* pmnuSelectAll() const { return selectAll_; }
  QAction* pmnuCopy() const { return copy_; }

  // Handlers of the popup menu (public so that the main window and tests can
  // run them as a user would).
  void pmnuMessagePopup();
  void pmnuSelectAllClick();
  void pmnuCopyClick();

 signals:
  // Show this window and bring its page to the front (the main window's
  // message-window view command).
  void showRequested();
  // A diagnostic line was activated: open or activate the source page of
  // `path` and put the caret on line `lineNumber` (1-based; 0: only activate the
  // page).
  void sourceLineRequested(const QString& path, int lineNumber);

 protected:
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QPlainTextEdit* memo_ = nullptr;
  QMenu* popup_ = nullptr;
  QAction* selectAll_ = nullptr;
  QAction* copy_ = nullptr;
  void NotePaths(const Diagnostic& diagnostic);

  std::vector<Diagnostic> records_;  // one per line shown
  FileNameMarks names_;              // file-system names seen in this run's Assemble and LINK lines
};

}  // namespace tolvane::forms
