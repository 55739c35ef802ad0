#pragma once
#include <QPlainTextEdit>
#include <QPointer>
#include <QTextCursor>
#include <deque>
#include <string>

#include "forms/DockForm.h"
#include "machine/Svc.h"

class QAction;
class QMenu;

namespace tolvane::forms {

class TfrmStandardIo;

// The console's text control: hands its keys and clicks to the console first.
class TMemoStandardIo : public QPlainTextEdit {
  Q_OBJECT
 public:
  explicit TMemoStandardIo(TfrmStandardIo* owner, QWidget* parent = nullptr);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void inputMethodEvent(QInputMethodEvent* event) override;
  void insertFromMimeData(const QMimeData* source) override;

 private:
  TfrmStandardIo* owner_;
};

// The standard input/output console (form `frmStandardIo`, caption "標準入出力").
// It shows what the running program writes (OUT) and the debugger's messages,
// and takes one line from the user when the program asks (IN). Every line
// begins with the prompt ">". While an input is pending the memo is editable
// and Ctrl+Z belongs to the console instead of the main window's undo.
//
// Waiting for a line (ReadLine) gives the event loop turns through a local
// QEventLoop: the rest of the application stays usable, and ending the program
// (ConsoleCancelInput) or quitting the application ends the wait.
class TfrmStandardIo : public TDockForm, public ConsolePort {
  Q_OBJECT
 public:
  static constexpr int kTrimLength = 32000;     // characters, line breaks counted as CR LF
  static constexpr int kLineBufferSize = 1024;  // bytes, so lines of at most 1023 bytes

  explicit TfrmStandardIo(QWidget* parent = nullptr);
  ~TfrmStandardIo() override;

  // Appends `text` after the prompt of the last line, then a line break and a
  // new prompt; trims lines from the top beyond kTrimLength; caret to the end.
  // CR LF (or a lone CR or LF) inside `text` breaks the line.
  void ConsoleWrite(const QString& text);
  void ConsoleWriteCp932(const std::string& cp932Text);
  // A line of the program's output (OUT): written as ConsoleWrite does, and
  // remembered so that the debugger can withdraw it when it goes back.
  void ConsoleWriteOutput(const std::string& cp932Text);
  // Removes the most recent output line still shown (and only that line,
  // whatever was written after it). False when there is none.
  bool WithdrawLastOutput();
  // A line of the run itself (how it ended, the register dump), remembered
  // the same way: the debugger withdraws it when it goes back over the end.
  void ConsoleWriteMessage(const std::string& cp932Text);
  bool WithdrawLastMessage();
  // Output lines remembered for withdrawal at most.
  static constexpr std::size_t kWithdrawable = 8192;
  // The input lines the same way: the debugger went back over an IN, so the
  // line it read (typed, cancelled or echoed) goes; going forward again shows
  // the line as it was typed, 1AH as "^Z".
  bool WithdrawLastInput();
  void EchoInput(const std::string& cp932Line);

  // The machine's console (IN and OUT, and the run's own messages): CP932.
  void ConsoleWrite(const Bytes& cp932Text) override { ConsoleWriteCp932(cp932Text); }
  Bytes ConsoleReadLine() override { return ReadLine(); }
  void ConsoleWithdrawInput() override { WithdrawLastInput(); }
  void ConsoleEchoInput(const Bytes& line) override { EchoInput(line); }

  // The steps of an input request.
  void ConsoleBeginInput();
  bool ConsoleInputPending() const { return pending_; }
  // The last line entered (CP932, without the prompt; ends with 1AH after
  // Ctrl+Z), at most kLineBufferSize - 1 bytes.
  std::string ConsoleTakeLine() const { return lineBuffer_; }
  // Ends a pending input with an empty line and writes a fresh prompt line.
  void ConsoleCancelInput();

  // All of an input request: begin, wait (event loop turns) until the user
  // ends the line or the input is cancelled, and return the line. When the
  // application quits during the wait (or has quit before), the result is the
  // end-of-input line "\x1A".
  std::string ReadLine();

  // Whether line `line` (from 0) holds what the user typed for an IN (or
  // such a line shown again): those lines are drawn in a colour of their own,
  // so that they stand apart from the program's output after the same prompt.
  bool IsInputLine(int line) const;

  // The main window's undo item: its Ctrl+Z shortcut is taken away while an
  // input is pending and given back (as Ctrl+Z) afterwards.
  void SetUndoAction(QAction* mnuUnDo) { undoAction_ = mnuUnDo; }

  TMemoStandardIo* memoStandardIo() const { return memo_; }
  QString Text() const;
  QMenu* pmnuStandardIo() const { return popup_; }
  QAction* pmnuPrint() const { return print_; }
  QAction* pmnuSelectAll() const { return selectAll_; }
  QAction* pmnuCopy() const { return copy_; }

  // Handlers, named as the form's events; the key handlers return true when
  // they consumed the key.
  bool memoStandardIoKeyDown(QKeyEvent* event);
  bool memoStandardIoKeyUp(QKeyEvent* event);
  void memoStandardIoClick();
  void pmnuStandardIoPopup();
  void pmnuSelectAllClick();
  void pmnuCopyClick();
  void pmnuPrintClick();

 signals:
  // Show the console and bring its page to the front (the main window's
  // command behind mnuStandardIo). Without a receiver the window shows itself.
  void showRequested();
  // Run the main window's print command (after printTargetChanged(3)).
  void printRequested();
  void inputPendingChanged(bool pending);

 protected:
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  friend class TMemoStandardIo;
  void EndInput();
  // The input line stands out (its background) while the program waits for it.
  void ShowWaiting(bool waiting);
  void MarkInputLine(const QTextCursor& on);  // the line the cursor is on
  void ShowConsole();
  void AppendRaw(const QString& text);
  // Writes a line; the written text (the line and the break after it) as a selection.
  QTextCursor Write(const QString& text);
  void TrimTop();
  // Where the input line's text begins (after its prompt), and the line from
  // there to the end of the text, the next prompt included, remembered.
  QTextCursor InputStart() const;
  void RememberInput(const QTextCursor& start);
  static void Remember(std::deque<QTextCursor>& lines, QTextCursor line);
  bool WithdrawLast(std::deque<QTextCursor>& lines);
  void CaretToEnd();
  void StoreLastLine(bool endOfInput);
  // Keeps edits on the input line: moves the caret to the end when it or the
  // selection lies before the text typed after the last prompt.
  void KeepCaretOnInputLine();
  // Of `text`, the leading characters that have a CP932 form and still fit
  // the input line (kLineBufferSize - 1 bytes, the selection replaced):
  // typed and pasted text is cut as it arrives, so a huge paste costs no
  // more than a full line.
  QString Printable(const QString& text) const;

  TMemoStandardIo* memo_ = nullptr;
  QMenu* popup_ = nullptr;
  QAction* print_ = nullptr;
  QAction* selectAll_ = nullptr;
  QAction* copy_ = nullptr;
  QPointer<QAction> undoAction_;
  bool pending_ = false;
  bool quitting_ = false;
  std::string lineBuffer_;
  // The output lines, oldest first, each a selection that follows the edits
  // around it (an empty one was trimmed away).
  std::deque<QTextCursor> outputs_;
  std::deque<QTextCursor> inputs_;    // the input lines, as the outputs
  std::deque<QTextCursor> messages_;  // the run's own lines, as the outputs
};

}  // namespace tolvane::forms
