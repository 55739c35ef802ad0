#include "forms/frmStandardIo_f.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QMenu>
#include <QMetaMethod>
#include <QMimeData>
#include <QScreen>
#include <QScrollBar>
#include <QTextBlock>

#include "common/SourceEncoding.h"
#include "forms/DialogPort.h"
#include "forms/TextPane.h"
#include "forms/UiFonts.h"
#include "forms/Utf8.h"

namespace tolvane::forms {

namespace {

// At most `limit` bytes of `bytes`, never ending inside a double-byte character.
std::string CutCp932(const std::string& bytes, std::size_t limit) {
  if (bytes.size() <= limit) return bytes;
  std::size_t end = 0;
  while (end < limit) {
    const std::size_t width = IsCp932LeadByte(static_cast<unsigned char>(bytes[end])) ? 2 : 1;
    if (end + width > limit) break;
    end += width;
  }
  return bytes.substr(0, end);
}

// CP932 of a typed line. Typing filters out characters without a CP932 form,
// so the per-character fallback only meets text that slipped past the filter.
std::string LineToCp932(const QString& line) {
  std::string out;
  if (ToCp932(line, out)) return out;
  out.clear();
  for (const uint codePoint : line.toUcs4()) {
    std::string one;
    out += ToCp932(QString::fromUcs4(reinterpret_cast<const char32_t*>(&codePoint), 1), one) ? one : "?";
  }
  return out;
}

// QTextBlock::userState of a line the user typed.
constexpr int kInputLineState = 1;

bool LightBackground(const QWidget* w) { return w->palette().color(QPalette::Base).lightness() >= 128; }

}  // namespace

// ---------------------------------------------------------------------------

TMemoStandardIo::TMemoStandardIo(TfrmStandardIo* owner, QWidget* parent) : QPlainTextEdit(parent), owner_(owner) {}

void TMemoStandardIo::keyPressEvent(QKeyEvent* event) {
  if (owner_->memoStandardIoKeyDown(event)) {
    event->accept();
    return;
  }
  QPlainTextEdit::keyPressEvent(event);
}

void TMemoStandardIo::keyReleaseEvent(QKeyEvent* event) {
  if (owner_->memoStandardIoKeyUp(event)) {
    event->accept();
    return;
  }
  QPlainTextEdit::keyReleaseEvent(event);
}

void TMemoStandardIo::mouseReleaseEvent(QMouseEvent* event) {
  QPlainTextEdit::mouseReleaseEvent(event);
  owner_->memoStandardIoClick();
}

void TMemoStandardIo::inputMethodEvent(QInputMethodEvent* event) {
  if (owner_->ConsoleInputPending() && !event->commitString().isEmpty()) {
    owner_->KeepCaretOnInputLine();
    const QString allowed = owner_->Printable(event->commitString());
    if (allowed != event->commitString()) {
      QInputMethodEvent filtered(event->preeditString(), event->attributes());
      filtered.setCommitString(allowed, event->replacementStart(), event->replacementLength());
      QPlainTextEdit::inputMethodEvent(&filtered);
      return;
    }
  }
  QPlainTextEdit::inputMethodEvent(event);
}

void TMemoStandardIo::insertFromMimeData(const QMimeData* source) {
  if (!owner_->ConsoleInputPending() || !source->hasText()) return;
  // A pasted text joins the input line: one line is all an IN takes, and no
  // more of it than the line can hold is looked at.
  QString text = source->text().left(qsizetype{TfrmStandardIo::kLineBufferSize} * 8);
  text.remove(QLatin1Char('\r')).remove(QLatin1Char('\n'));
  owner_->KeepCaretOnInputLine();
  insertPlainText(owner_->Printable(text));
}

// ---------------------------------------------------------------------------

TfrmStandardIo::TfrmStandardIo(QWidget* parent) : TDockForm(3, parent) {
  setObjectName(QStringLiteral("frmStandardIo"));
  setWindowTitle(UiText(u8"標準入出力"));

  memo_ = new TMemoStandardIo(this, this);
  memo_->setObjectName(QStringLiteral("memoStandardIo"));
  memo_->setAccessibleName(UiText(u8"標準入出力"));
  memo_->setUndoRedoEnabled(false);
  memo_->setLineWrapMode(QPlainTextEdit::NoWrap);
  memo_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  memo_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  memo_->setFont(GothicPixels(16));
  memo_->setPlainText(QStringLiteral(">"));
  memo_->setReadOnly(true);
  memo_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  memo_->setContextMenuPolicy(Qt::CustomContextMenu);
  CaretToEnd();
  setWidget(memo_);

  popup_ = new QMenu(this);
  popup_->setObjectName(QStringLiteral("pmnuStandardIo"));
  print_ = popup_->addAction(UiText(u8"印刷(&P)"));
  print_->setObjectName(QStringLiteral("pmnuPrint"));
  selectAll_ = popup_->addAction(UiText(u8"全て選択(&L)"));
  selectAll_->setObjectName(QStringLiteral("pmnuSelectAll"));
  copy_ = popup_->addAction(UiText(u8"コピー(&C)"));
  copy_->setObjectName(QStringLiteral("pmnuCopy"));
  copy_->setEnabled(false);
  connect(print_, &QAction::triggered, this, &TfrmStandardIo::pmnuPrintClick);
  connect(selectAll_, &QAction::triggered, this, &TfrmStandardIo::pmnuSelectAllClick);
  connect(copy_, &QAction::triggered, this, &TfrmStandardIo::pmnuCopyClick);
  connect(memo_, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
    pmnuStandardIoPopup();
    popup_->exec(memo_->mapToGlobal(at));
  });
}

TfrmStandardIo::~TfrmStandardIo() = default;

QString TfrmStandardIo::Text() const { return memo_->toPlainText(); }

void TfrmStandardIo::ShowConsole() {
  if (isSignalConnected(QMetaMethod::fromSignal(&TfrmStandardIo::showRequested))) {
    emit showRequested();
  } else if (!isVisible()) {
    show();
  }
}

void TfrmStandardIo::CaretToEnd() {
  QTextCursor cursor = memo_->textCursor();
  cursor.movePosition(QTextCursor::End);
  memo_->setTextCursor(cursor);
  memo_->ensureCursorVisible();
}

void TfrmStandardIo::AppendRaw(const QString& text) {
  QTextCursor cursor(memo_->document());
  cursor.movePosition(QTextCursor::End);
  // In the plain format: what follows an input line is not input.
  cursor.insertText(text, QTextCharFormat());
}

void TfrmStandardIo::MarkInputLine(const QTextCursor& on) {
  QTextBlock block = on.block();
  if (!block.isValid()) return;
  block.setUserState(kInputLineState);
  QTextCursor typed(block);
  typed.setPosition(block.position() + std::min(1, block.length() - 1));  // after the prompt
  typed.setPosition(block.position() + block.length() - 1, QTextCursor::KeepAnchor);
  QTextCharFormat format;
  format.setForeground(LightBackground(memo_) ? QColor(0x00, 0x40, 0xC0) : QColor(0x80, 0xC8, 0xFF));
  format.setFontUnderline(true);  // not by colour alone
  typed.mergeCharFormat(format);
}

bool TfrmStandardIo::IsInputLine(int line) const {
  return memo_->document()->findBlockByNumber(line).userState() == kInputLineState;
}

void TfrmStandardIo::ShowWaiting(bool waiting) {
  QList<QTextEdit::ExtraSelection> marks;
  if (waiting) {
    QTextEdit::ExtraSelection line;
    line.cursor = QTextCursor(memo_->document()->lastBlock());
    line.format.setBackground(LightBackground(memo_) ? QColor(0xFF, 0xF4, 0xC0) : QColor(0x50, 0x48, 0x20));
    line.format.setProperty(QTextFormat::FullWidthSelection, true);
    marks << line;
  }
  memo_->setExtraSelections(marks);
  // Told to a screen reader as well: the console's state, not only its colours.
  memo_->setAccessibleDescription(waiting ? UiText(u8"入力待ち") : QString());
}

void TfrmStandardIo::TrimTop() {
  // The length counts each line break as CR LF, as the text is printed and copied.
  QTextDocument* document = memo_->document();
  auto length = [document] { return document->characterCount() - 1 + document->blockCount() - 1; };
  while (length() > kTrimLength && document->blockCount() > 1) {
    QTextCursor cursor(document);
    cursor.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
  }
}

void TfrmStandardIo::ConsoleWrite(const QString& text) { Write(text); }

QTextCursor TfrmStandardIo::Write(const QString& text) {
  ShowConsole();
  QString body = text;
  body.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  body.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  // The line is written after the prompt that ends the text; it ends with the
  // next line's prompt, which what follows is written after.
  QTextDocument* document = memo_->document();
  const int from = document->characterCount() - 1;
  AppendRaw(body + QStringLiteral("\n>"));
  QTextCursor written(document);
  written.setPosition(from);
  written.setPosition(document->characterCount() - 1, QTextCursor::KeepAnchor);  // with the new prompt
  // Text appended later at its end must stay outside the selection.
  written.setKeepPositionOnInsert(true);
  TrimTop();
  CaretToEnd();
  return written;
}

void TfrmStandardIo::Remember(std::deque<QTextCursor>& lines, QTextCursor line) {
  lines.push_back(std::move(line));
  if (lines.size() > kWithdrawable) lines.pop_front();
}

void TfrmStandardIo::ConsoleWriteOutput(const std::string& cp932Text) {
  Remember(outputs_, Write(FromCp932(cp932Text)));
}

bool TfrmStandardIo::WithdrawLast(std::deque<QTextCursor>& lines) {
  while (!lines.empty()) {
    QTextCursor line = lines.back();
    lines.pop_back();
    if (!line.hasSelection()) continue;  // trimmed from the top meanwhile
    line.removeSelectedText();
    CaretToEnd();
    return true;
  }
  return false;
}

void TfrmStandardIo::ConsoleWriteMessage(const std::string& cp932Text) {
  Remember(messages_, Write(FromCp932(cp932Text)));
}

bool TfrmStandardIo::WithdrawLastOutput() { return WithdrawLast(outputs_); }
bool TfrmStandardIo::WithdrawLastMessage() { return WithdrawLast(messages_); }
bool TfrmStandardIo::WithdrawLastInput() { return WithdrawLast(inputs_); }

QTextCursor TfrmStandardIo::InputStart() const {
  QTextCursor start(memo_->document());
  start.setPosition(memo_->document()->lastBlock().position() + 1);
  // Text appended from here on belongs to the line; lines trimmed from the top move it.
  start.setKeepPositionOnInsert(true);
  return start;
}

void TfrmStandardIo::RememberInput(const QTextCursor& start) {
  QTextCursor line(memo_->document());
  line.setPosition(start.position());
  line.setPosition(memo_->document()->characterCount() - 1, QTextCursor::KeepAnchor);
  line.setKeepPositionOnInsert(true);
  Remember(inputs_, line);
}

void TfrmStandardIo::EchoInput(const std::string& cp932Line) {
  std::string shown = cp932Line;
  if (const std::size_t eof = shown.find('\x1A'); eof != std::string::npos) shown = shown.substr(0, eof) + "^Z";
  const QTextCursor written = Write(FromCp932(shown));
  QTextCursor line(memo_->document());
  line.setPosition(written.selectionStart());
  MarkInputLine(line);
  Remember(inputs_, written);
}

void TfrmStandardIo::ConsoleWriteCp932(const std::string& cp932Text) { ConsoleWrite(FromCp932(cp932Text)); }

void TfrmStandardIo::ConsoleBeginInput() {
  ShowConsole();
  memo_->setReadOnly(false);
  memo_->setFocus();
  // The focus only takes the keys when the console's window is the active
  // one: a floating debug window (or a floating console) keeps the keyboard
  // otherwise, and the line the user types goes to the wrong window.
  if (QWidget* window = memo_->window(); window != QApplication::activeWindow()) window->activateWindow();
  CaretToEnd();
  lineBuffer_.clear();
  pending_ = true;
  if (undoAction_) undoAction_->setShortcut(QKeySequence());
  ShowWaiting(true);
  emit inputPendingChanged(true);
}

void TfrmStandardIo::EndInput() {
  pending_ = false;
  ShowWaiting(false);
  if (undoAction_) undoAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
  memo_->setReadOnly(true);
  memo_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  emit inputPendingChanged(false);
}

void TfrmStandardIo::ConsoleCancelInput() {
  const QTextCursor inputStart = InputStart();
  const QTextCursor line(memo_->document()->lastBlock());
  lineBuffer_.clear();
  EndInput();
  ConsoleWrite(QString());
  MarkInputLine(line);
  // The IN completes with an empty line: this is its line, whatever was typed.
  RememberInput(inputStart);
}

std::string TfrmStandardIo::ReadLine() {
  // Once the application has been told to quit, no line will ever come.
  if (quitting_) return std::string(1, '\x1A');
  ConsoleBeginInput();
  if (pending_) {
    QEventLoop loop;
    connect(this, &TfrmStandardIo::inputPendingChanged, &loop, [&loop](bool pending) {
      if (!pending) loop.quit();
    });
    QPointer<TfrmStandardIo> self(this);
    loop.exec();
    if (!self) return std::string(1, '\x1A');
  }
  if (pending_) {
    // The wait ended while the line was still pending: the application is
    // quitting. The program sees the end of its input.
    quitting_ = true;
    ConsoleCancelInput();
    return std::string(1, '\x1A');
  }
  return ConsoleTakeLine();
}

void TfrmStandardIo::StoreLastLine(bool endOfInput) {
  const QString last = memo_->document()->lastBlock().text();
  std::string bytes = LineToCp932(last.mid(1));
  if (endOfInput) {
    lineBuffer_ = CutCp932(bytes, kLineBufferSize - 2) + '\x1A';
  } else {
    lineBuffer_ = CutCp932(bytes, kLineBufferSize - 1);
  }
}

void TfrmStandardIo::KeepCaretOnInputLine() {
  const QTextCursor cursor = memo_->textCursor();
  const int inputStart = memo_->document()->lastBlock().position() + 1;
  if (std::min(cursor.selectionStart(), cursor.position()) < inputStart) CaretToEnd();
}

QString TfrmStandardIo::Printable(const QString& text) const {
  // What the input line holds outside the selection (which the text replaces).
  const QTextBlock last = memo_->document()->lastBlock();
  const QTextCursor cursor = memo_->textCursor();
  const int inputStart = last.position() + 1;
  QString kept = last.text().mid(1);
  if (cursor.hasSelection() && cursor.selectionStart() >= inputStart)
    kept.remove(cursor.selectionStart() - inputStart, cursor.selectionEnd() - cursor.selectionStart());
  std::size_t used = LineToCp932(kept).size();
  const std::size_t room = kLineBufferSize - 1;
  QString allowed;
  // Never more characters than the line has bytes, however long the text.
  int looked = 0;
  for (qsizetype i = 0; i < text.size() && used < room && looked < kLineBufferSize * 4; ++looked) {
    const qsizetype width = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
    const QString one = text.mid(i, width);
    i += width;
    std::string bytes;
    if (!ToCp932(one, bytes) || bytes.empty()) continue;
    if (used + bytes.size() > room) break;
    used += bytes.size();
    allowed += one;
  }
  return allowed;
}

bool TfrmStandardIo::memoStandardIoKeyDown(QKeyEvent* event) {
  if (!pending_) return false;
  const int key = event->key();
  const bool ctrl = event->modifiers() & Qt::ControlModifier;
  if (key == Qt::Key_Z && ctrl) {
    const QTextCursor inputStart = InputStart();
    const QTextCursor line(memo_->document()->lastBlock());
    StoreLastLine(true);
    AppendRaw(QStringLiteral("^Z\n>"));
    MarkInputLine(line);
    RememberInput(inputStart);
    CaretToEnd();
    EndInput();
    return true;
  }
  if (key == Qt::Key_Return || key == Qt::Key_Enter) {
    const QTextCursor inputStart = InputStart();
    const QTextCursor line(memo_->document()->lastBlock());
    StoreLastLine(false);
    AppendRaw(QStringLiteral("\n>"));
    MarkInputLine(line);
    RememberInput(inputStart);
    CaretToEnd();
    EndInput();
    return true;
  }
  if (key == Qt::Key_Left || key == Qt::Key_Up) return true;  // the caret stays on the input line
  const QTextCursor cursor = memo_->textCursor();
  const int inputStart = memo_->document()->lastBlock().position() + 1;
  if (key == Qt::Key_Backspace) {
    KeepCaretOnInputLine();
    const QTextCursor now = memo_->textCursor();
    // The prompt is never deleted.
    return !now.hasSelection() && now.position() <= inputStart;
  }
  if (key == Qt::Key_Delete || event->matches(QKeySequence::Cut) || event->matches(QKeySequence::Paste)) {
    if (event->matches(QKeySequence::Cut) && cursor.hasSelection() && cursor.selectionStart() < inputStart) {
      memo_->copy();  // earlier lines are history: copied, never cut
      return true;
    }
    KeepCaretOnInputLine();
    return false;
  }
  const QString text = event->text();
  if (!text.isEmpty() && !ctrl && QChar::isPrint(text.toUcs4().value(0))) {
    KeepCaretOnInputLine();
    const QString allowed = Printable(text);
    if (allowed != text) {
      if (!allowed.isEmpty()) memo_->insertPlainText(allowed);
      QApplication::beep();
      return true;
    }
  }
  return false;
}

bool TfrmStandardIo::memoStandardIoKeyUp(QKeyEvent* event) {
  if (!pending_) return false;
  const int key = event->key();
  if (key == Qt::Key_Backspace && memo_->textCursor().block().text().size() == 1) {
    CaretToEnd();
    return true;
  }
  return key == Qt::Key_Left || key == Qt::Key_Up;
}

void TfrmStandardIo::memoStandardIoClick() {
  if (pending_) CaretToEnd();
}

void TfrmStandardIo::pmnuStandardIoPopup() {
  if (memo_->textCursor().hasSelection()) copy_->setEnabled(true);
}

void TfrmStandardIo::pmnuSelectAllClick() { SelectAllForCopy(memo_, copy_); }

void TfrmStandardIo::pmnuCopyClick() { CopySelectionAndClear(memo_, copy_); }

void TfrmStandardIo::pmnuPrintClick() {
  emit printTargetChanged(3);
  emit printRequested();
}

void TfrmStandardIo::closeEvent(QCloseEvent* event) {
  if (pending_) {
    Dialogs().Ask(BoxKind::Warning, UiText(u8"INマクロの実行中は閉じれません。"));
    event->ignore();
    return;
  }
  QDockWidget::closeEvent(event);
}

void TfrmStandardIo::showEvent(QShowEvent* event) {
  QDockWidget::showEvent(event);
  QTextCursor cursor = memo_->textCursor();
  cursor.clearSelection();
  memo_->setTextCursor(cursor);
}

}  // namespace tolvane::forms
