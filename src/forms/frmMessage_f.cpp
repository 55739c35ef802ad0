#include "forms/frmMessage_f.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QFile>
#include <QKeyEvent>
#include <QMenu>
#include <QMetaMethod>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QScreen>
#include <QScrollBar>
#include <QStringDecoder>
#include <QTextBlock>
#include <algorithm>

#include "common/ChangeExtension.h"
#include "forms/DialogPort.h"
#include "forms/TextPane.h"
#include "forms/UiFonts.h"
#include "forms/Utf8.h"

namespace tolvane::forms {

namespace {

QString FromFileSystem(const std::string& bytes) { return PathFromBytes(bytes); }

// File-system names are UTF-8 here; a name that is not (the main window writes
// names into the lines in CP932 where it can) is part of the CP932 text.
bool IsUtf8(const std::string& bytes) {
  QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  const QString decoded = decoder(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
  return !decoder.hasError();
}

}  // namespace

TfrmMessage::TfrmMessage(QWidget* parent) : TDockForm(0, parent) {
  setObjectName(QStringLiteral("frmMessage"));
  setWindowTitle(UiText(u8"メッセージ"));

  memo_ = new QPlainTextEdit(this);
  memo_->setObjectName(QStringLiteral("memoMessage"));
  memo_->setAccessibleName(UiText(u8"メッセージ"));
  memo_->setReadOnly(true);
  memo_->setUndoRedoEnabled(false);
  memo_->setLineWrapMode(QPlainTextEdit::NoWrap);
  memo_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  memo_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  memo_->setFont(GothicPixels(16));
  QPalette palette = memo_->palette();
  palette.setColor(QPalette::Text, Qt::black);
  memo_->setPalette(palette);
  memo_->setContextMenuPolicy(Qt::CustomContextMenu);
  memo_->viewport()->installEventFilter(this);
  memo_->installEventFilter(this);
  setWidget(memo_);

  popup_ = new QMenu(this);
  popup_->setObjectName(QStringLiteral("pmnuMessage"));
  selectAll_ = popup_->addAction(UiText(u8"全て選択(&L)"));
  selectAll_->setObjectName(QStringLiteral("pmnuSelectAll"));
  copy_ = popup_->addAction(UiText(u8"コピー(&C)"));
  copy_->setObjectName(QStringLiteral("pmnuCopy"));
  copy_->setEnabled(false);
  connect(selectAll_, &QAction::triggered, this, &TfrmMessage::pmnuSelectAllClick);
  connect(copy_, &QAction::triggered, this, &TfrmMessage::pmnuCopyClick);
  connect(memo_, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
    pmnuMessagePopup();
    popup_->exec(memo_->mapToGlobal(at));
  });
}

TfrmMessage::~TfrmMessage() = default;

void TfrmMessage::AppendMessageLine(const std::string& cp932Line) {
  AppendDiagnostic({DiagCode::None, Severity::Info, {}, 0, -1, 0, {}, cp932Line});
}

void TfrmMessage::AppendDiagnostic(const Diagnostic& diagnostic) {
  const std::string cp932Line = MessageLine(diagnostic);
  if (isSignalConnected(QMetaMethod::fromSignal(&TfrmMessage::showRequested))) {
    emit showRequested();
  } else if (!isVisible()) {
    show();
  }
  memo_->setFocus();
  records_.push_back(diagnostic);
  NotePaths(diagnostic);
  // A line break inside a line would shift every later line against records_.
  QString text = DisplayText(cp932Line);
  text.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
  // One memo line per message line, the first one included even when empty.
  QTextCursor cursor(memo_->document());
  cursor.movePosition(QTextCursor::End);
  cursor.insertText(records_.size() == 1 ? text : QLatin1Char('\n') + text);
  memo_->setTextCursor(cursor);
  memo_->ensureCursorVisible();
  // Lines show while a long assembly is still running.
  if (memo_->isVisible()) memo_->viewport()->repaint();
}

void TfrmMessage::NotePaths(const Diagnostic& diagnostic) {
  // "Assemble[...]" and "LINK[...]" name the files the lines after them write.
  if (ShapeOf(diagnostic.code) == DiagShape::Progress && IsUtf8(diagnostic.subject)) names_.Add(diagnostic.subject);
}

QString TfrmMessage::DisplayText(const std::string& line) const {
  // The tools write their texts in CP932 but name files by the bytes they were
  // given; on a UTF-8 file system those bytes are no CP932.
  QString text;
  names_.Split(
      line, [&](std::string_view run) { text += FromCp932(std::string(run)); },
      [&](const std::string& name) { text += FromFileSystem(name); });
  return text;
}

void TfrmMessage::ClearMessages() {
  records_.clear();
  names_.Clear();
  memo_->clear();
}

QString TfrmMessage::Text() const {
  // The memo holds one block per line; the last line ends with a line break too.
  QString text;
  for (const Diagnostic& record : records_) text += DisplayText(MessageLine(record)) + QStringLiteral("\r\n");
  return text;
}

std::vector<std::string> TfrmMessage::Lines() const {
  std::vector<std::string> lines;
  lines.reserve(records_.size());
  for (const Diagnostic& record : records_) lines.push_back(MessageLine(record));
  return lines;
}

const Diagnostic* TfrmMessage::RecordAt(int index) const {
  if (index < 0 || index >= static_cast<int>(records_.size())) return nullptr;
  return &records_[static_cast<std::size_t>(index)];
}

bool TfrmMessage::DiagnosticAt(int index, std::string* path, int* lineNumber) const {
  const Diagnostic* record = RecordAt(index);
  if (!record || record->severity == Severity::Info || record->file.empty()) return false;
  if (path) *path = record->file;
  if (lineNumber) *lineNumber = std::max(0, static_cast<int>(record->line));
  return true;
}

bool TfrmMessage::ActivateLine(int index) {
  std::string path;
  int number = 0;
  if (!DiagnosticAt(index, &path, &number)) return false;
  emit sourceLineRequested(FromFileSystem(path), number);
  return true;
}

bool TfrmMessage::GoToDiagnostic(int step) {
  const int count = static_cast<int>(records_.size());
  if (count == 0) return false;
  const int from = memo_->textCursor().blockNumber();
  for (int n = 1; n <= count; ++n) {
    const int index = ((from + step * n) % count + count) % count;
    if (!DiagnosticAt(index, nullptr, nullptr)) continue;
    // The line stays marked in the memo, so that the next press goes on from it.
    QTextCursor cursor(memo_->document()->findBlockByNumber(index));
    cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    memo_->setTextCursor(cursor);
    memo_->ensureCursorVisible();
    return ActivateLine(index);
  }
  return false;
}

void TfrmMessage::pmnuMessagePopup() {
  if (memo_->textCursor().hasSelection()) copy_->setEnabled(true);
}

void TfrmMessage::pmnuSelectAllClick() { SelectAllForCopy(memo_, copy_); }

void TfrmMessage::pmnuCopyClick() { CopySelectionAndClear(memo_, copy_); }

void TfrmMessage::showEvent(QShowEvent* event) {
  QDockWidget::showEvent(event);
  QTextCursor cursor = memo_->textCursor();
  cursor.clearSelection();
  memo_->setTextCursor(cursor);
}

bool TfrmMessage::eventFilter(QObject* watched, QEvent* event) {
  if (watched == memo_->viewport() && event->type() == QEvent::MouseButtonDblClick) {
    auto* mouse = static_cast<QMouseEvent*>(event);
    const QTextCursor at = memo_->cursorForPosition(mouse->position().toPoint());
    if (ActivateLine(at.blockNumber())) return true;
  }
  // Enter on a line does what a double-click does.
  if (watched == memo_ && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) && ActivateLine(memo_->textCursor().blockNumber())) return true;
  }
  return QDockWidget::eventFilter(watched, event);
}

}  // namespace tolvane::forms
