#include "forms/frmEditor_f.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextDocumentLayout>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QStringDecoder>
#include <QTabBar>
#include <QTabWidget>
#include <QTextBlock>
#include <QTimer>
#include <QVBoxLayout>
#include <cerrno>
#include <cstdint>
#include <cstring>

#include "common/AtomicFile.h"
#include "common/BinaryIo.h"
#include "common/Cp932.h"
#include "common/SourceEncoding.h"
#include "forms/AccessibleTabs.h"
#include "forms/DialogPort.h"
#include "forms/EditorSearch.h"
#include "forms/LineGutter.h"
#include "forms/SourceView.h"
#include "forms/TextPane.h"
#include "forms/UiFonts.h"
#include "forms/Utf8.h"
#include "lang/SourceModel.h"

namespace tolvane::forms {

namespace {

// Cells a character takes in CP932: one for ASCII and half-width katakana,
// two for everything else.
int Cp932Cells(char16_t c) {
  if (c < 0x80) return 1;
  if (c >= 0xFF61 && c <= 0xFF9F) return 1;
  return 2;
}

bool HasUtf16Mark(const std::string& bytes) { return bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF"); }

// The encoding by the core's rule, and the kind of line break most lines end
// with (the first one's on a tie): edited lines take it, so a file with a
// stray lone CR or LF keeps writing its usual line end.
FileFormat FormatOfFile(const std::string& bytes) {
  FileFormat format;
  // A UTF-16 file is read through its mark and written back as CP932 with
  // CR LF, as every file was before UTF-8 files were kept.
  if (HasUtf16Mark(bytes)) return format;
  const EncodingGuess guess = DetectEncoding(bytes);
  format.encoding = guess.encoding;
  format.byteOrderMark = guess.byteOrderMark;
  std::array<std::size_t, 3> count{};  // by FileFormat::Breaks
  std::array<std::size_t, 3> first{SIZE_MAX, SIZE_MAX, SIZE_MAX};
  for (std::size_t at = bytes.find_first_of("\r\n"); at != std::string::npos;
       at = bytes.find_first_of("\r\n", at + 1)) {
    FileFormat::Breaks kind = FileFormat::Breaks::Lf;
    if (bytes[at] == '\r') {
      kind = at + 1 < bytes.size() && bytes[at + 1] == '\n' ? FileFormat::Breaks::CrLf : FileFormat::Breaks::Cr;
      if (kind == FileFormat::Breaks::CrLf) ++at;
    }
    const auto k = static_cast<std::size_t>(kind);
    if (count[k]++ == 0) first[k] = at;
  }
  std::size_t best = static_cast<std::size_t>(FileFormat::Breaks::CrLf);
  for (std::size_t k = 0; k < count.size(); ++k)
    if (count[k] > count[best] || (count[k] == count[best] && count[k] > 0 && first[k] < first[best])) best = k;
  format.breaks = static_cast<FileFormat::Breaks>(best);
  return format;
}

// A UTF-16 file, read through its mark.
QString DecodeUtf16(const std::string& bytes) {
  const QByteArray raw = QByteArray::fromStdString(bytes);
  QStringDecoder decoder(raw.startsWith("\xFF\xFE") ? QStringDecoder::Utf16LE : QStringDecoder::Utf16BE);
  return decoder(raw.mid(2));
}

std::string_view LineEndOf(const FileFormat& format) {
  switch (format.breaks) {
    case FileFormat::Breaks::Lf:
      return "\n";
    case FileFormat::Breaks::Cr:
      return "\r";
    case FileFormat::Breaks::CrLf:
      break;
  }
  return "\r\n";
}

// Every kind of line break becomes one paragraph break of the control.
QString NormaliseBreaks(QString text) {
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return text;
}
}  // namespace

// ---------------------------------------------------------------------------

EditorControl::EditorControl(QWidget* parent) : QPlainTextEdit(parent) {
  setLineWrapMode(QPlainTextEdit::NoWrap);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setTabChangesFocus(false);
  setFont(MakeFont(FontGothic(), 12));
  // The text sits 6 pixels from the left and right edges and 2 from the top and bottom.
  setViewportMargins(kInsetX, kInsetY, kInsetX, kInsetY);
  ApplyTabStops();
  // A caret moved by anything but typing (keys, the mouse, undo, a search)
  // ends the current undo step.
  connect(this, &QPlainTextEdit::cursorPositionChanged, this, [this] {
    if (!typing_) undoBreak_ = true;
  });
}

bool EditorControl::IsTypingKey(const QKeyEvent* event) {
  if (event->key() == Qt::Key_Backspace || event->key() == Qt::Key_Delete) return true;
  const QString text = event->text();
  if (text.isEmpty() || (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))) return false;
  return text.at(0).isPrint() || text.at(0) == QLatin1Char('\t');
}

void EditorControl::Typing(const std::function<void()>& edit) {
  // Qt's document merges an insertion with the one before it whenever they
  // touch, across line breaks and caret jumps alike. Each run of typing is an
  // edit block instead: a new run opens one (nothing before it merges with
  // it), the keys that continue the run join it.
  QTextCursor cursor = textCursor();
  typing_ = true;
  if (undoBreak_) {
    cursor.beginEditBlock();
  } else {
    cursor.joinPreviousEditBlock();
  }
  edit();
  cursor.endEditBlock();
  typing_ = false;
  undoBreak_ = false;
}

void EditorControl::SetGutterWidth(int pixels) { setViewportMargins(pixels + kInsetX, kInsetY, kInsetX, kInsetY); }

void EditorControl::ApplyTabStops() {
  const QFontMetricsF metrics(font());
  setTabStopDistance(8 * metrics.horizontalAdvance(QLatin1Char(' ')));
}

void EditorControl::keyPressEvent(QKeyEvent* event) {
  const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
  // Every Enter makes one ordinary line break (never the control's own line
  // separator, which a file could not hold), followed by the current line's
  // leading tabs and spaces when auto indent is on.
  if (enter && !isReadOnly() && !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))) {
    QTextCursor cursor = textCursor();
    QString indent;
    if (autoIndent_) {
      const QString line = cursor.block().text();
      int n = 0;
      while (n < line.size() && (line[n] == QLatin1Char('\t') || line[n] == QLatin1Char(' '))) ++n;
      indent = line.left(n);
    }
    // A new line is an undo step of its own, and so is what follows it.
    cursor.beginEditBlock();
    cursor.insertText(QStringLiteral("\n") + indent);
    cursor.endEditBlock();
    setTextCursor(cursor);
    undoBreak_ = true;
    ensureCursorVisible();
    event->accept();
    return;
  }
  // Typed text stops at the control's limit.
  if (!event->text().isEmpty() && event->text().at(0).isPrint() && !textCursor().hasSelection() &&
      document()->characterCount() - 1 >= kMaxChars) {
    event->accept();
    return;
  }
  if (!isReadOnly() && IsTypingKey(event)) {
    const int indent = autoIndent_ ? IndentBeforeLabel(event) : 0;
    Typing([&] {
      if (indent > 0) {
        // The word just typed after the copied indentation is a label: it
        // belongs in the label column, before the separator that ends it.
        QTextCursor cursor = textCursor();
        cursor.setPosition(cursor.block().position());
        cursor.setPosition(cursor.block().position() + indent, QTextCursor::KeepAnchor);
        cursor.removeSelectedText();
      }
      QPlainTextEdit::keyPressEvent(event);
    });
    ensureCursorVisible();
    return;
  }
  QPlainTextEdit::keyPressEvent(event);
}

int EditorControl::IndentBeforeLabel(const QKeyEvent* event) const {
  if (event->text() != QLatin1String("\t") && event->text() != QLatin1String(" ")) return 0;
  const QTextCursor cursor = textCursor();
  if (cursor.hasSelection()) return 0;
  const QString line = cursor.block().text();
  if (cursor.positionInBlock() != line.size()) return 0;
  int n = 0;
  while (n < line.size() && (line[n] == QLatin1Char('\t') || line[n] == QLatin1Char(' '))) ++n;
  if (n == 0 || n == line.size()) return 0;
  const QString word = line.mid(n);
  for (QChar c : word)
    if (c.unicode() >= 0x80) return 0;
  return lang::IsLabelNotOperation(word.toStdString()) ? n : 0;
}

void EditorControl::inputMethodEvent(QInputMethodEvent* event) {
  if (event->commitString().isEmpty()) return QPlainTextEdit::inputMethodEvent(event);
  Typing([&] { QPlainTextEdit::inputMethodEvent(event); });
}

void EditorControl::insertFromMimeData(const QMimeData* source) {
  if (!source || !source->hasText()) return;
  QString text = source->text();
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  text.replace(QChar::LineSeparator, QLatin1Char('\n'));
  text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
  const int room =
      kMaxChars - (document()->characterCount() - 1) + static_cast<int>(textCursor().selectedText().size());
  if (room <= 0) return;
  // A paste is an undo step of its own.
  QTextCursor cursor = textCursor();
  cursor.beginEditBlock();
  cursor.insertText(text.left(room));
  cursor.endEditBlock();
  undoBreak_ = true;
  ensureCursorVisible();
}

void EditorControl::contextMenuEvent(QContextMenuEvent* event) {
  if (popup_) {
    popup_->exec(event->globalPos());
    return;
  }
  QPlainTextEdit::contextMenuEvent(event);
}

void EditorControl::focusOutEvent(QFocusEvent* event) {
  QPlainTextEdit::focusOutEvent(event);
  emit focusLost();
}

void EditorControl::focusInEvent(QFocusEvent* event) {
  QPlainTextEdit::focusInEvent(event);
  emit focusGained();
}

// ---------------------------------------------------------------------------

TfrmEditor::TfrmEditor(QWidget* parent) : TDockForm(1, parent) {
  setObjectName(QStringLiteral("frmEditor"));
  setWindowTitle(UiText(u8"ソースコード"));

  auto* content = new QWidget(this);
  setWidget(content);
  auto* layout = new QVBoxLayout(content);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  auto* panel1 = new QWidget(content);
  panel1->setObjectName(QStringLiteral("Panel1"));
  auto* panelLayout = new QVBoxLayout(panel1);
  panelLayout->setContentsMargins(0, 0, 0, 0);
  pageControl_ = new QTabWidget(panel1);
  pageControl_->setObjectName(QStringLiteral("PageControl1"));
  ExposeOnlyShownTabs(pageControl_->tabBar());
  pageControl_->setTabPosition(QTabWidget::North);
  pageControl_->setFont(MakeFont(FontPGothic(), 11));
  pageControl_->setDocumentMode(true);
  panelLayout->addWidget(pageControl_);
  layout->addWidget(panel1, 1);

  statusBar_ = new QStatusBar(content);
  statusBar_->setObjectName(QStringLiteral("StatusBar1"));
  statusBar_->setSizeGripEnabled(false);
  panel0_ = new QLabel(statusBar_);
  panel0_->setObjectName(QStringLiteral("StatusPanel0"));
  panel0_->setMinimumWidth(200);
  panel1_ = new QLabel(statusBar_);
  panel1_->setObjectName(QStringLiteral("StatusPanel1"));
  panel1_->setMinimumWidth(50);
  statusBar_->addWidget(panel0_);
  statusBar_->addWidget(panel1_);
  panel2_ = new QLabel(statusBar_);
  panel2_->setObjectName(QStringLiteral("StatusPanelEncoding"));
  panel2_->setAccessibleName(UiText(u8"文字コード"));
  statusBar_->addPermanentWidget(panel2_);
  layout->addWidget(statusBar_);

  popup_ = new QMenu(this);
  popup_->setObjectName(QStringLiteral("pmnuEditor"));
  struct PopupItem {
    const char* name;
    const char8_t* caption;
    const char* command;
  };
  static const PopupItem kItems[] = {
      {"pmnuSave", u8"上書き保存(&S)", "mnuSave"},
      {"pmnuSaveAs", u8"名前を付けて保存(&A)...", "mnuSaveAs"},
      {"pmnuClose", u8"閉じる(&C)", "mnuClose"},
      {"pmnuPrint", u8"印刷(&P)", "mnuPrint"},
      {"N1", nullptr, nullptr},
      {"pmnuUnDo", u8"元に戻す(&U)", "mnuUnDo"},
      {"pmnuCut", u8"切り取り(&T)", "mnuCut"},
      {"pmnuCopy", u8"コピー(&C)", "mnuCopy"},
      {"pmnuPaste", u8"貼り付け(&P)", "mnuPaste"},
      {"pmnuDelete", u8"削除(&D)", "mnuDelete"},
      {"pmnuSelectAll", u8"全て選択(&L)", "mnuSelectAll"},
      {"pmnuFind", u8"検索(&F)...", "mnuFind"},
      {"pmnuReplace", u8"置換(&R)...", "mnuReplace"},
      {"N2", nullptr, nullptr},
      {"pmnuProjectAdd", u8"プロジェクトに追加(&A)", "mnuProjectAdd"},
      {"pmnuProjectDelete", u8"プロジェクトから削除(&M)", "mnuProjectDelete"},
  };
  for (const PopupItem& item : kItems) {
    if (!item.caption) {
      popup_->addSeparator()->setObjectName(QString::fromLatin1(item.name));
      continue;
    }
    QAction* action = popup_->addAction(UiText(item.caption));
    action->setObjectName(QString::fromLatin1(item.name));
    action->setEnabled(false);
    const QString command = QString::fromLatin1(item.command);
    const bool print = command == QLatin1String("mnuPrint");
    connect(action, &QAction::triggered, this, [this, command, print] {
      if (!host_) return;
      if (print) host_->SetPrintTarget(1);
      host_->RunCommand(command);
    });
  }

  // The file's encoding: read it again as the other one (a file the rule
  // guessed wrongly), or save it as the other one from now on.
  popup_->addSeparator()->setObjectName(QStringLiteral("N3"));
  reopenAction_ = popup_->addAction(QString());
  reopenAction_->setObjectName(QStringLiteral("pmnuReopenEncoding"));
  connect(reopenAction_, &QAction::triggered, this, [this] { ReopenInOtherEncoding(); });
  convertAction_ = popup_->addAction(QString());
  convertAction_->setObjectName(QStringLiteral("pmnuConvertEncoding"));
  connect(convertAction_, &QAction::triggered, this, [this] { ConvertToOtherEncoding(); });
  ShowFormat();

  for (int i = 1; i <= kPages; ++i) {
    auto* sheet = new QWidget(pageControl_);
    sheet->setObjectName(QStringLiteral("TabSheet%1").arg(i));
    auto* sheetLayout = new QVBoxLayout(sheet);
    sheetLayout->setContentsMargins(0, 0, 0, 0);
    auto* editor = new EditorControl(sheet);
    editor->setObjectName(QStringLiteral("reditEditor%1").arg(i));
    editor->SetPopup(popup_);
    // An unfocused page hides its selection (the find dialogs show it while open).
    ShowSelectionWithoutFocus(editor, false);
    editor->setVisible(false);
    sheetLayout->addWidget(editor);
    editors_[i] = editor;
    // Documents move between the controls when a page closes; the form owns them.
    editor->document()->setParent(this);
    AttachSourceView(editor, sourceColours_);
    connect(editor, &QPlainTextEdit::modificationChanged, this, &TfrmEditor::RefreshTabMarks);
    pageControl_->addTab(sheet, QString());
    connect(editor, &QPlainTextEdit::cursorPositionChanged, this, [this, editor] { OnCursorOrSelection(editor); });
    connect(editor, &QPlainTextEdit::selectionChanged, this, [this, editor] { OnCursorOrSelection(editor); });
    connect(editor, &EditorControl::focusGained, this, [this, editor] { ShowCaretPosition(editor); });
  }
  connect(pageControl_, &QTabWidget::currentChanged, this, &TfrmEditor::PageControl1Change);
  connect(this, &TfrmEditor::pagesChanged, this, &TfrmEditor::RefreshTabMarks);
  connect(this, &TfrmEditor::pagesChanged, this, &TfrmEditor::currentPageChanged);
  // A tab's close button closes its page as File > Close does (asking about
  // unsaved changes, closing the project with the last page).
  pageControl_->setTabsClosable(true);
  for (int i = 1; i <= kPages; ++i) ShowTab(i, false);
  connect(pageControl_, &QTabWidget::tabCloseRequested, this, [this](int index) {
    if (index >= openCount_ || !host_) return;
    ActivatePage(index + 1);
    host_->RunCommand(QStringLiteral("mnuClose"));
  });
  // Back from another program, which may have changed an open file.
  connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
    if (state == Qt::ApplicationActive) QTimer::singleShot(0, this, &TfrmEditor::CheckFilesChangedOnDisk);
  });
}

TfrmEditor::~TfrmEditor() = default;

QTextDocument* TfrmEditor::NewDocument() {
  auto* doc = new QTextDocument(this);
  doc->setDocumentLayout(new QPlainTextDocumentLayout(doc));
  AttachHighlighter(doc, sourceColours_);
  return doc;
}

QString TfrmEditor::PagePath(int i) const { return (i >= 1 && i <= kPages) ? filePaths_[i] : QString(); }

std::string TfrmEditor::PagePathBytes(int i) const { return PathBytes(PagePath(i)); }

EditorControl* TfrmEditor::PageEditor(int i) const { return (i >= 1 && i <= kPages) ? editors_[i] : nullptr; }

bool TfrmEditor::PageModified(int i) const { return i >= 1 && i <= kPages && editors_[i]->document()->isModified(); }

bool TfrmEditor::PageUntitled(int i) const {
  return i >= 1 && i <= openCount_ && !filePaths_[i].isEmpty() && filePaths_[i] == untitledNames_[i];
}

int TfrmEditor::PageOfPath(const QString& path) const {
  for (int i = 1; i <= openCount_; ++i)
    if (filePaths_[i] == path) return i;
  return 0;
}

QAction* TfrmEditor::PopupAction(const QString& name) const { return popup_->findChild<QAction*>(name); }

void TfrmEditor::SetTabCaption(int i, const QString& caption) {
  pageControl_->setTabText(i - 1, caption);
  // A screen reader names the text control after its file.
  editors_[i]->setAccessibleName(caption.isEmpty() ? QString() : UiText(u8"ソースコード: ") + caption);
}

void TfrmEditor::ShowTab(int i, bool visible) {
  pageControl_->setTabVisible(i - 1, visible);
  // The tab bar leaves a hidden tab's close button shown (and reachable).
  QTabBar* bar = pageControl_->tabBar();
  for (QTabBar::ButtonPosition side : {QTabBar::LeftSide, QTabBar::RightSide})
    if (QWidget* button = bar->tabButton(i - 1, side)) button->setVisible(visible);
  ShownTabsChanged(bar);
}

void TfrmEditor::UsePage(int i) {
  ShowTab(i, true);
  pageControl_->setCurrentIndex(i - 1);
  currentPage_ = i;
  SetTabStops(i);
  editors_[i]->setVisible(true);
}

void TfrmEditor::EmptyPage(int i) {
  EditorControl* editor = editors_[i];
  editor->clear();
  editor->document()->clearUndoRedoStacks();
  editor->document()->setModified(false);
  editor->setVisible(false);
  filePaths_[i].clear();
  untitledNames_[i].clear();
  formats_[i] = {};
  originals_[i] = {};
  diskStamps_[i] = offeredStamps_[i] = {};
  SetTabCaption(i, QString());
  ShowTab(i, false);
}

void TfrmEditor::HideFreeTabs() {
  for (int i = openCount_ + 1; i <= kPages; ++i) ShowTab(i, false);
}

int TfrmEditor::NewFile() {
  if (openCount_ >= kPages) {
    Dialogs().Ask(BoxKind::Information, UiText(u8"これ以上開けません。"));
    return 0;
  }
  ++untitledCounter_;
  const QString name = QStringLiteral("Noname%1.cas").arg(untitledCounter_);
  const QString path = QDir(QDir::currentPath()).filePath(name);
  // Only a file takes the name; a folder called so leaves it to the new page.
  if (QFileInfo(path).isFile()) return OpenFile(path) ? 2 : 0;

  shifting_ = true;
  ++openCount_;
  const int i = openCount_;
  UsePage(i);
  SetTabCaption(i, name);
  filePaths_[i] = name;
  untitledNames_[i] = name;
  formats_[i] = newFileFormat_;
  originals_[i] = {};
  diskStamps_[i] = offeredStamps_[i] = {};
  EditorControl* editor = editors_[i];
  editor->clear();
  editor->document()->clearUndoRedoStacks();
  editor->setFocus();
  editor->moveCursor(QTextCursor::Start);
  editor->document()->setModified(true);  // a new page counts as modified
  shifting_ = false;
  ShowCaretPosition(editor);
  emit pagesChanged();
  return 1;
}

bool TfrmEditor::LoadInto(int i, const QString& path, QString& error, const TextEncoding* forced) {
  const std::string name = PathBytes(path);
  struct stat st {};
  if (::stat(name.c_str(), &st) != 0) {
    error =
        path + UiText(u8"がオープンできません。(") + QString::fromLocal8Bit(std::strerror(errno)) + QStringLiteral(")");
    return false;
  }
  // A FIFO would wait for a writer forever, a device could be endless.
  if (!S_ISREG(st.st_mode)) {
    error = path + UiText(u8"は通常のファイルではないため開けません。");
    return false;
  }
  const QString limit = QString::number(kMaxFileBytes);
  std::string bytes;
  switch (ReadWholeFile(name, bytes, static_cast<std::size_t>(kMaxFileBytes))) {
    case FileReadResult::Ok:
      break;
    case FileReadResult::TooLarge:
      error =
          path + UiText(u8"は大きすぎるため開けません。(開けるのは") + limit + UiText(u8"バイトまでのファイルです)");
      return false;
    case FileReadResult::CannotOpen:
      error = path + UiText(u8"がオープンできません。(") + QString::fromLocal8Bit(std::strerror(errno)) +
              QStringLiteral(")");
      return false;
    case FileReadResult::ReadError:
    case FileReadResult::CannotClose:
      error = path + UiText(u8"の読み込み中にエラーが発生しました。");
      return false;
  }
  FileFormat format = FormatOfFile(bytes);
  if (forced) {
    format.encoding = *forced;
    format.byteOrderMark = *forced == TextEncoding::Utf8 && bytes.starts_with(kUtf8ByteOrderMark);
  }
  // The control gets each line's text as ShownLines gives it, so that a line
  // stays one line and reads back unchanged; the bytes are kept beside it.
  // A UTF-16 file is written anew on save, so nothing of it is kept.
  SourceLines original;
  QString text;
  if (HasUtf16Mark(bytes)) {
    text = NormaliseBreaks(DecodeUtf16(bytes));
  } else {
    original = SplitSourceLines(bytes, format.encoding, format.byteOrderMark);
    std::string joined;
    joined.reserve(bytes.size() + bytes.size() / 2);
    for (std::size_t n = 0; n < original.lines.size(); ++n) {
      if (n > 0) joined += '\n';
      joined += ShownLine(original, n);
    }
    text = QString::fromStdString(joined);
  }
  bytes = std::string();
  // A line is laid out and painted as a whole, at a cost that grows with its
  // length: beyond the limit the window would stop responding for minutes.
  qsizetype start = 0;
  for (int line = 1;; ++line) {
    qsizetype end = text.indexOf(QLatin1Char('\n'), start);
    if (end < 0) end = text.size();
    if (end - start > kMaxLineChars) {
      error = path + UiText(u8"は") + QString::number(line) + UiText(u8"行目が長すぎるため開けません。(") +
              QString::number(end - start) + UiText(u8"文字あります。開けるのは1行") + QString::number(kMaxLineChars) +
              UiText(u8"文字までです)");
      return false;
    }
    if (end == text.size()) break;
    start = end + 1;
  }
  editors_[i]->setPlainText(text);
  editors_[i]->document()->clearUndoRedoStacks();
  formats_[i] = format;
  originals_[i] = std::move(original);
  ShowFormat();
  return true;
}

bool TfrmEditor::OpenFile(const QString& path) {
  if (PageOfPath(path) != 0) {
    Dialogs().Ask(BoxKind::Information, path + UiText(u8"は既に開かれています。"));
    return false;
  }
  if (openCount_ >= kPages) {
    Dialogs().Ask(BoxKind::Information, UiText(u8"これ以上開けません。"));
    return false;
  }
  const int remembered = currentPage_;
  shifting_ = true;
  ++openCount_;
  const int i = openCount_;
  UsePage(i);
  QString error;
  if (!LoadInto(i, path, error)) {
    editors_[i]->document()->setModified(false);
    editors_[i]->setVisible(false);
    ShowTab(i, false);
    --openCount_;
    if (remembered >= 1) pageControl_->setCurrentIndex(remembered - 1);
    currentPage_ = remembered;
    shifting_ = false;
    Dialogs().ShowPlain(error);
    return false;
  }
  filePaths_[i] = path;
  untitledNames_[i].clear();
  diskStamps_[i] = offeredStamps_[i] = StampOf(path);
  SetTabCaption(i, QFileInfo(path).fileName());
  EditorControl* editor = editors_[i];
  editor->viewport()->update();
  editor->setFocus();
  editor->moveCursor(QTextCursor::Start);
  editor->document()->setModified(false);
  shifting_ = false;
  ShowCaretPosition(editor);
  emit pagesChanged();
  NoticeUnreadableBytes(i);
  return true;
}

void TfrmEditor::NoticeUnreadableBytes(int i) {
  if (formats_[i].encoding != TextEncoding::Utf8 || !HasUnreadableBytes(originals_[i])) return;
  Dialogs().Ask(BoxKind::Warning, filePaths_[i] + UiText(u8"にはUTF-8として読めないバイトがあります。"
                                                         u8"読めないバイトは「\uFFFD」と表示し、"
                                                         u8"編集しない限り元のバイトのまま保存します。"
                                                         u8"Shift-JIS (CP932)のファイルであれば開き直してください。"));
}

std::vector<std::string> TfrmEditor::PageLines(int i) const {
  std::vector<std::string> lines;
  // Block by block: the document's plain text would give a space for each
  // no-break space and a line break for each line separator.
  for (QTextBlock block = editors_[i]->document()->begin(); block.isValid(); block = block.next())
    lines.push_back(block.text().toStdString());
  return lines;
}

ComposedFile TfrmEditor::ComposePage(int i, const FileFormat& format) const {
  return ComposeSourceFile(originals_[i], PageLines(i), {format.encoding, format.byteOrderMark, LineEndOf(format)});
}

// Writes the page's text in its file's encoding and line breaks. The file is
// replaced only when the whole text was written (a temporary file renamed over
// it), and text CP932 cannot hold is refused rather than replaced.
bool TfrmEditor::WriteFile(int i, const QString& path) {
  const FileFormat& format = formats_[i];
  const ComposedFile composed = ComposePage(i, format);
  if (!composed.ok) {
    Dialogs().Ask(BoxKind::Error, path + UiText(u8"を保存できません。") + Cp932Problem(PageLines(i), composed));
    return false;
  }
  // The old file stays as it was unless every byte reached the disk: a full
  // disk must never leave an empty file behind a page that counts as saved.
  int error = 0;
  if (!WriteFileAtomically(PathBytes(path), composed.bytes, {.followLink = true, .keepMode = true, .sync = true},
                           &error)) {
    Dialogs().ShowPlain(path + UiText(u8"を保存できません。(") + QString::fromLocal8Bit(std::strerror(error)) +
                        QStringLiteral(")"));
    return false;
  }
  originals_[i] = SplitSourceLines(composed.bytes, format.encoding, format.byteOrderMark);
  return true;
}

QString TfrmEditor::Cp932Problem(const std::vector<std::string>& lines, const ComposedFile& composed) {
  const QString rest = QString::fromStdString(lines[composed.badLine].substr(composed.badOffset));
  const char32_t code = rest.isEmpty() ? 0 : rest.toUcs4().value(0);
  const QString character = QString::fromUcs4(&code, 1);
  return QString::number(composed.badLine + 1) + UiText(u8"行目の文字「") + character +
         QStringLiteral("」(U+%1)").arg(static_cast<uint>(code), 4, 16, QLatin1Char('0')).toUpper() +
         UiText(u8"はShift-JIS(CP932)で表せません。");
}

QString TfrmEditor::FormatText(const FileFormat& format) {
  QString text = format.encoding == TextEncoding::Utf8
                     ? (format.byteOrderMark ? UiText(u8"UTF-8 (BOM付き)") : UiText(u8"UTF-8"))
                     : UiText(u8"Shift-JIS (CP932)");
  switch (format.breaks) {
    case FileFormat::Breaks::CrLf:
      return text + QStringLiteral("  CRLF");
    case FileFormat::Breaks::Lf:
      return text + QStringLiteral("  LF");
    case FileFormat::Breaks::Cr:
      return text + QStringLiteral("  CR");
  }
  return text;
}

QString TfrmEditor::EncodingText() const { return panel2_->text(); }

void TfrmEditor::ShowFormat() {
  const bool page = currentPage_ > 0;
  const bool utf8 = page && formats_[currentPage_].encoding == TextEncoding::Utf8;
  panel2_->setText(page ? FormatText(formats_[currentPage_]) : QString());
  reopenAction_->setText(utf8 ? UiText(u8"Shift-JIS (CP932)で開き直す(&E)") : UiText(u8"UTF-8で開き直す(&E)"));
  reopenAction_->setEnabled(page && !PageUntitled(currentPage_));
  convertAction_->setText(utf8 ? UiText(u8"Shift-JIS (CP932)に変換(&V)") : UiText(u8"UTF-8に変換(&V)"));
  convertAction_->setEnabled(page);
}

void TfrmEditor::SetNewFileEncoding(int choice) {
  newFileFormat_ = {};
  if (choice == 1 || choice == 2) {
    newFileFormat_.encoding = TextEncoding::Utf8;
    newFileFormat_.byteOrderMark = choice == 2;
  }
}

bool TfrmEditor::ReopenInOtherEncoding() {
  const int i = currentPage_;
  if (i == 0 || PageUntitled(i)) return false;
  if (PageModified(i) &&
      Dialogs().Ask(BoxKind::Confirm, filePaths_[i] + UiText(u8"の変更は失われます。開き直しますか？"),
                    BoxButtons::YesNo) != BoxAnswer::Yes)
    return false;
  const TextEncoding other = formats_[i].encoding == TextEncoding::Utf8 ? TextEncoding::Cp932 : TextEncoding::Utf8;
  QString error;
  if (!LoadInto(i, filePaths_[i], error, &other)) {
    Dialogs().ShowPlain(error);
    return false;
  }
  diskStamps_[i] = offeredStamps_[i] = StampOf(filePaths_[i]);
  editors_[i]->document()->setModified(false);
  ShowCaretPosition(editors_[i]);
  NoticeUnreadableBytes(i);
  return true;
}

bool TfrmEditor::ConvertToOtherEncoding() {
  const int i = currentPage_;
  if (i == 0) return false;
  FileFormat& format = formats_[i];
  if (format.encoding == TextEncoding::Cp932) {
    format.encoding = TextEncoding::Utf8;
    format.byteOrderMark = false;
  } else {
    FileFormat target = format;
    target.encoding = TextEncoding::Cp932;
    target.byteOrderMark = false;
    if (const ComposedFile composed = ComposePage(i, target); !composed.ok) {
      Dialogs().Ask(BoxKind::Error,
                    filePaths_[i] + UiText(u8"を変換できません。") + Cp932Problem(PageLines(i), composed));
      return false;
    }
    format.encoding = TextEncoding::Cp932;
    format.byteOrderMark = false;
  }
  // The file on disk is still in the old encoding until the page is saved.
  editors_[i]->document()->setModified(true);
  ShowFormat();
  return true;
}

bool TfrmEditor::SavePage(int i) {
  if (!ConfirmOverwriteIfChanged(i, filePaths_[i])) return false;
  if (!WriteFile(i, filePaths_[i])) return false;
  diskStamps_[i] = offeredStamps_[i] = StampOf(filePaths_[i]);
  editors_[i]->document()->setModified(false);
  if (i == currentPage_) ShowFormat();  // a page saved under its first name can be reopened
  return true;
}

TfrmEditor::DiskStamp TfrmEditor::StampOf(const QString& path) {
  struct stat st {};
  DiskStamp stamp;
  if (::stat(PathBytes(path).c_str(), &st) != 0) return stamp;
  stamp.exists = true;
  stamp.device = st.st_dev;
  stamp.inode = st.st_ino;
  stamp.size = st.st_size;
  stamp.seconds = st.st_mtim.tv_sec;
  stamp.nanoseconds = st.st_mtim.tv_nsec;
  return stamp;
}

bool TfrmEditor::ConfirmOverwriteIfChanged(int i, const QString& path) {
  if (path != filePaths_[i] || !diskStamps_[i].exists) return true;
  const DiskStamp now = StampOf(path);
  // A file that is gone is simply written again.
  if (!now.exists || now == diskStamps_[i]) return true;
  return Dialogs().Ask(BoxKind::Confirm, path + UiText(u8"は他のプログラムによって変更されています。上書きしますか？"),
                       BoxButtons::YesNo) == BoxAnswer::Yes;
}

void TfrmEditor::CheckFilesChangedOnDisk() {
  if (checkingDisk_) return;
  checkingDisk_ = true;
  for (int i = 1; i <= openCount_; ++i) {
    if (PageUntitled(i) || !diskStamps_[i].exists || PageModified(i)) continue;
    const DiskStamp now = StampOf(filePaths_[i]);
    if (!now.exists || now == diskStamps_[i] || now == offeredStamps_[i]) continue;
    offeredStamps_[i] = now;
    if (Dialogs().Ask(BoxKind::Confirm,
                      filePaths_[i] + UiText(u8"は他のプログラムによって変更されました。再読み込みしますか？"),
                      BoxButtons::YesNo) != BoxAnswer::Yes)
      continue;
    // The page may have changed while the question was open.
    if (PageModified(i)) continue;
    EditorControl* editor = editors_[i];
    const int line = editor->textCursor().blockNumber();
    QString error;
    if (!LoadInto(i, filePaths_[i], error)) {
      Dialogs().ShowPlain(error);
      continue;
    }
    diskStamps_[i] = offeredStamps_[i] = StampOf(filePaths_[i]);
    editor->document()->setModified(false);
    QTextBlock block = editor->document()->findBlockByNumber(line);
    if (block.isValid()) editor->setTextCursor(QTextCursor(block));
    NoticeUnreadableBytes(i);
  }
  checkingDisk_ = false;
}

bool TfrmEditor::SaveCurrent() {
  if (currentPage_ == 0) return true;
  if (PageUntitled(currentPage_)) {
    if (host_) host_->SaveAsCommand();
    return true;
  }
  return SavePage(currentPage_);
}

bool TfrmEditor::EnsureDirectory(const QString& path) {
  const QString directory = QFileInfo(path).absolutePath();
  if (::chdir(PathBytes(directory).c_str()) == 0) return true;
  const BoxAnswer answer =
      Dialogs().Ask(BoxKind::Confirm, UiText(u8"ディレクトリ") + directory + UiText(u8"が存在しません。作成しますか？"),
                    BoxButtons::YesNoCancel);
  if (answer != BoxAnswer::Yes) return false;
  const std::string bytes = PathBytes(directory);
  if (::mkdir(bytes.c_str(), 0777) != 0 || ::chdir(bytes.c_str()) != 0) {
    Dialogs().ShowPlain(directory + UiText(u8"を作成できません。"));
    return false;
  }
  return true;
}

bool TfrmEditor::SavePageAs(const QString& path, int i) {
  if (i < 1 || i > openCount_) return false;
  if (!EnsureDirectory(path)) return false;
  if (!ConfirmOverwriteIfChanged(i, path)) return false;
  if (!WriteFile(i, path)) return false;
  diskStamps_[i] = offeredStamps_[i] = StampOf(path);
  editors_[i]->document()->setModified(false);
  filePaths_[i] = path;
  SetTabCaption(i, QFileInfo(path).fileName());
  emit pagesChanged();
  return true;
}

bool TfrmEditor::SaveCurrentAs(const QString& path) {
  if (currentPage_ == 0) return true;
  return SavePageAs(path, currentPage_);
}

// Save All's way with an untitled page: the save dialog preset with its
// untitled name. False only when the chosen path could not be written;
// `saved` tells whether the page was written.
bool TfrmEditor::SaveUntitledThroughDialog(int i) {
  const QString chosen = Dialogs().GetSaveFileName(this, QString(), untitledNames_[i],
                                                   UiText(u8"CASLソースファイル(*.cas)"), QStringLiteral("cas"));
  if (chosen.isEmpty()) return true;
  const QString old = filePaths_[i];
  if (!SavePageAs(chosen, i)) return false;
  if (host_) host_->PageRenamed(old, chosen);
  return true;
}

bool TfrmEditor::SaveAll() {
  for (int i = 1; i <= openCount_; ++i) {
    if (!PageModified(i)) continue;
    if (PageUntitled(i)) {
      if (!SaveUntitledThroughDialog(i)) return false;
    } else if (!SavePage(i)) {
      return false;
    }
  }
  return true;
}

// Asks about one modified page and saves it on Yes. True when the page may be
// given up: No, or Yes and the text reached its file. A Yes whose save fails
// or whose save dialog is cancelled keeps the page (and its text).
bool TfrmEditor::AskAndSave(int i, bool viaSaveAll) {
  const BoxAnswer answer =
      Dialogs().Ask(BoxKind::Confirm, filePaths_[i] + UiText(u8"に変更を保存しますか？"), BoxButtons::YesNoCancel);
  if (answer == BoxAnswer::Cancel) return false;
  if (answer == BoxAnswer::No) return true;
  if (viaSaveAll || i != currentPage_) {
    if (PageUntitled(i)) {
      if (!SaveUntitledThroughDialog(i)) return false;
    } else if (!SavePage(i)) {
      return false;
    }
  } else if (!SaveCurrent()) {
    return false;
  }
  return !PageModified(i);
}

BoxAnswer TfrmEditor::AskToSave(int i) {
  const BoxAnswer answer =
      Dialogs().Ask(BoxKind::Confirm, filePaths_[i] + UiText(u8"に変更を保存しますか？"), BoxButtons::YesNoCancel);
  if (answer != BoxAnswer::Yes) return answer;
  if (PageUntitled(i) ? !SaveUntitledThroughDialog(i) : !SavePage(i)) return BoxAnswer::Cancel;
  return PageModified(i) ? BoxAnswer::Cancel : BoxAnswer::Yes;
}

bool TfrmEditor::CloseCurrent() {
  if (currentPage_ == 0) return true;
  const int page = currentPage_;
  if (PageModified(page) && !AskAndSave(page, false)) return false;

  shifting_ = true;
  if (page < openCount_) {
    // Later pages move down by one; each takes its successor's document
    // (text, undo, modified flag), caret, path, untitled name and caption.
    QTextDocument* freed = editors_[page]->document();
    for (int b = page; b < openCount_; ++b) {
      EditorControl* to = editors_[b];
      EditorControl* from = editors_[b + 1];
      const int caret = from->textCursor().position();
      const int anchor = from->textCursor().anchor();
      QTextDocument* doc = from->document();
      // A fresh empty document keeps every control with one of its own.
      from->setDocument(NewDocument());
      QTextDocument* old = to->document();
      to->setDocument(doc);
      if (old != freed) delete old;
      QTextCursor cursor(doc);
      cursor.setPosition(anchor);
      cursor.setPosition(caret, QTextCursor::KeepAnchor);
      to->setTextCursor(cursor);
      to->ApplyTabStops();
      filePaths_[b] = filePaths_[b + 1];
      untitledNames_[b] = untitledNames_[b + 1];
      formats_[b] = formats_[b + 1];
      originals_[b] = std::move(originals_[b + 1]);
      diskStamps_[b] = diskStamps_[b + 1];
      offeredStamps_[b] = offeredStamps_[b + 1];
      SetTabCaption(b, pageControl_->tabText(b));
    }
    // The last used control takes over the freed document, emptied below.
    EditorControl* last = editors_[openCount_];
    QTextDocument* placeholder = last->document();
    last->setDocument(freed);
    delete placeholder;
    EmptyPage(openCount_);
    pageControl_->setCurrentIndex(page - 1);
  } else {
    EmptyPage(page);
    if (openCount_ > 1) pageControl_->setCurrentIndex(page - 2);
  }
  --openCount_;
  shifting_ = false;
  if (openCount_ > 0) {
    currentPage_ = pageControl_->currentIndex() + 1;
    editors_[currentPage_]->setFocus();
    ShowCaretPosition(editors_[currentPage_]);
  } else {
    currentPage_ = 0;
    panel0_->clear();
    ShowFormat();
  }
  emit pagesChanged();
  return true;
}

bool TfrmEditor::CloseAll() {
  if (!QueryClose()) return false;
  shifting_ = true;
  for (int i = 1; i <= openCount_; ++i) EmptyPage(i);
  openCount_ = 0;
  currentPage_ = 0;
  shifting_ = false;
  panel0_->clear();
  ShowFormat();
  emit pagesChanged();
  return true;
}

bool TfrmEditor::QueryClose() {
  for (int i = 1; i <= openCount_; ++i) {
    if (PageModified(i) && !AskAndSave(i, true)) return false;
  }
  return true;
}

void TfrmEditor::Undo() {
  // The document's undo would change a read-only page (one being debugged).
  if (currentPage_ == 0 || editors_[currentPage_]->isReadOnly()) return;
  editors_[currentPage_]->undo();
}
void TfrmEditor::Redo() {
  if (currentPage_ == 0 || editors_[currentPage_]->isReadOnly()) return;
  editors_[currentPage_]->redo();
}
void TfrmEditor::CutSelection() {
  if (currentPage_ != 0) editors_[currentPage_]->cut();
}
void TfrmEditor::CopySelection() {
  if (currentPage_ != 0) editors_[currentPage_]->copy();
}
void TfrmEditor::PasteClipboard() {
  if (currentPage_ != 0) editors_[currentPage_]->paste();
}
void TfrmEditor::DeleteSelection() {
  if (currentPage_ != 0 && !editors_[currentPage_]->isReadOnly())
    editors_[currentPage_]->textCursor().removeSelectedText();
}
void TfrmEditor::SelectAllText() {
  if (currentPage_ == 0) return;
  editors_[currentPage_]->setFocus();
  editors_[currentPage_]->selectAll();
}

bool TfrmEditor::HasSelection() const {
  return currentPage_ != 0 && editors_[currentPage_]->textCursor().hasSelection();
}

void TfrmEditor::SetTabStops(int i) {
  if (i < 1 || i > kPages) return;
  editors_[i]->ApplyTabStops();
  editors_[i]->viewport()->update();
}

int TfrmEditor::CaretColumn(const QString& textBeforeCaret) {
  int width = 0;
  for (QChar c : textBeforeCaret) {
    if (c == QLatin1Char('\t')) {
      width = 8 * (width / 8 + 1);
    } else if (!c.isLowSurrogate()) {
      width += Cp932Cells(c.unicode());
    }
  }
  return width + 1;
}

void TfrmEditor::ShowCaretPosition(EditorControl* control) {
  if (!control) return;
  const QTextCursor cursor = control->textCursor();
  const int line = cursor.blockNumber() + 1;
  const QString before = cursor.block().text().left(cursor.positionInBlock());
  panel0_->setText(QStringLiteral("%1 : %2").arg(line).arg(CaretColumn(before)));
  ShowFormat();
}

QString TfrmEditor::CaretText() const { return panel0_->text(); }

void TfrmEditor::SetAutoIndent(bool on) {
  autoIndent_ = on;
  for (int i = 1; i <= kPages; ++i) editors_[i]->SetAutoIndent(on);
}

void TfrmEditor::SetEditorFont(const QFont& font) {
  for (int i = 1; i <= kPages; ++i) {
    const bool modified = editors_[i]->document()->isModified();
    editors_[i]->setFont(font);
    SetTabStops(i);
    editors_[i]->document()->setModified(modified);
  }
}

void TfrmEditor::SetEditorColors(const QColor& text, const QColor& background) {
  for (int i = 1; i <= kPages; ++i) {
    const bool modified = editors_[i]->document()->isModified();
    SetPaneColors(editors_[i], text, background);
    editors_[i]->document()->setModified(modified);
  }
  sourceColours_ = SourceColours::Derive(text, background);
  for (int i = 1; i <= kPages; ++i) ApplySourceColours(editors_[i], sourceColours_);
}

void TfrmEditor::OnCursorOrSelection(EditorControl* control) {
  if (shifting_) return;
  ShowCaretPosition(control);
  if (host_ && currentPage_ != 0 && control == editors_[currentPage_]) host_->SetSelectionGroupEnabled(HasSelection());
}

void TfrmEditor::PageControl1Change(int index) {
  if (shifting_ || index < 0) return;
  if (index >= openCount_) {
    // Ctrl+Tab and the wheel on the tab bar also step onto hidden tabs; a free
    // page must never come forward, or Save and Build act on an empty page.
    const QSignalBlocker block(pageControl_);
    pageControl_->setCurrentIndex(currentPage_ >= 1 ? currentPage_ - 1 : 0);
    if (currentPage_ >= 1) editors_[currentPage_]->setFocus();
    return;
  }
  currentPage_ = index + 1;
  EditorControl* editor = editors_[currentPage_];
  editor->setFocus();
  editor->viewport()->update();
  ShowCaretPosition(editor);
  if (host_) host_->SetSelectionGroupEnabled(HasSelection());
  emit currentPageChanged();
}

void TfrmEditor::ActivatePage(int i) {
  if (i < 1 || i > openCount_) return;
  pageControl_->setCurrentIndex(i - 1);
  PageControl1Change(i - 1);
}

bool TfrmEditor::GoToLine(const QString& path, int line) {
  int page = PageOfPath(path);
  if (page == 0) {
    if (!StampOf(path).exists || !OpenFile(path)) return false;
    page = openCount_;
  }
  ActivatePage(page);
  EditorControl* editor = editors_[page];
  if (line <= 0) return true;  // a diagnostic without a line: the page only
  QTextBlock block = editor->document()->findBlockByNumber(std::max(0, line - 1));
  if (!block.isValid()) block = editor->document()->lastBlock();
  QTextCursor cursor(block);
  editor->setTextCursor(cursor);
  editor->centerCursor();
  editor->setFocus();
  ShowCaretPosition(editor);
  // The line stays marked until the user edits it or leaves it; one page at a time.
  for (int i = 1; i <= kPages; ++i) MarkedLine::Of(editors_[i])->Clear();
  MarkedLine::Of(editor)->Show(block.blockNumber() + 1);
  return true;
}

LineGutter* TfrmEditor::PageGutter(int i) const {
  return i >= 1 && i <= kPages ? LineGutter::Of(editors_[i]) : nullptr;
}

void TfrmEditor::RefreshTabMarks() {
  for (int i = 1; i <= kPages; ++i) {
    const bool open = i <= openCount_;
    ShowTabModified(pageControl_, i - 1, open && PageModified(i), open ? filePaths_[i] : QString());
  }
}

void TfrmEditor::showEvent(QShowEvent* event) {
  QDockWidget::showEvent(event);
  // Only the first show starts from clean pages: later shows (View Source
  // Code) must not forget unsaved changes.
  if (!shownOnce_) {
    shownOnce_ = true;
    for (int i = 1; i <= kPages; ++i)
      if (i > openCount_) editors_[i]->document()->setModified(false);
  }
}

}  // namespace tolvane::forms
