#pragma once
#include <QColor>
#include <QPlainTextEdit>
#include <QString>
#include <QWidget>
#include <array>
#include <functional>
#include <string>
#include <vector>

#include "common/MessageBox.h"
#include "common/SourceEncoding.h"
#include "common/SourceLines.h"
#include "forms/AsmHighlighter.h"
#include "forms/DockForm.h"

class QLabel;
class QMenu;
class QAction;
class QStatusBar;
class QTabWidget;
class QTextDocument;

namespace tolvane::forms {

class LineGutter;

// What the editor asks of the main window it is docked in. The main window
// implements it; tests may implement it on their own.
class EditorHost {
 public:
  virtual ~EditorHost() = default;
  // The main window's Save As command (guard, dialog, project update) for the
  // current page. Returns true when the page was written.
  virtual bool SaveAsCommand() = 0;
  // A page got a new path through Save All's dialog (the project follows it).
  virtual void PageRenamed(const QString& oldPath, const QString& newPath) = 0;
  // The selection group follows the current page's selection.
  virtual void SetSelectionGroupEnabled(bool enabled) = 0;
  virtual void SetPrintTarget(int target) = 0;
  // A popup item forwards to the main window's command of that name ("mnuSave").
  virtual void RunCommand(const QString& menuItemName) = 0;
};

// The text control of one page: a plain text editor without word wrap, tab
// stops every eight character cells, Enter copying the line's indentation.
class EditorControl : public QPlainTextEdit {
  Q_OBJECT
 public:
  // At most this many characters of text (typed or pasted).
  static constexpr int kMaxChars = 1048576;
  // The text's inset from the control's edges (left and right, top and bottom).
  static constexpr int kInsetX = 6;
  static constexpr int kInsetY = 2;

  explicit EditorControl(QWidget* parent = nullptr);
  void SetAutoIndent(bool on) { autoIndent_ = on; }
  bool AutoIndent() const { return autoIndent_; }
  void SetPopup(QMenu* popup) { popup_ = popup; }
  // Tab stops every eight cells of the current font.
  void ApplyTabStops();
  // Room left of the text for the line-number gutter (before the text's inset).
  void SetGutterWidth(int pixels);

 signals:
  void focusLost();
  void focusGained();

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void insertFromMimeData(const QMimeData* source) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void inputMethodEvent(QInputMethodEvent* event) override;

 private:
  // Undo steps end at a new line and wherever the caret jumps, as in common
  // editors: typing after either starts a step of its own.
  static bool IsTypingKey(const QKeyEvent* event);
  // How much indentation to take away before a Tab or space that ends a
  // label typed first on an indented line; 0 when the word is no label.
  int IndentBeforeLabel(const QKeyEvent* event) const;
  void Typing(const std::function<void()>& edit);
  bool undoBreak_ = true;
  bool typing_ = false;
  bool autoIndent_ = true;
  QMenu* popup_ = nullptr;
};

// How a page's file is written back: the encoding and line breaks it was
// read in (or the options' choice for a new file), so that saving a file
// another editor wrote changes only what the user changed.
struct FileFormat {
  enum class Breaks { CrLf, Lf, Cr };
  TextEncoding encoding = TextEncoding::Cp932;
  bool byteOrderMark = false;
  Breaks breaks = Breaks::CrLf;
  bool operator==(const FileFormat&) const = default;
};

// The source editor (form `frmEditor`, caption "ソースコード"): up to ten files,
// one per page (pages numbered 1 to 10). A dock widget, docked into the main
// window's editing area. Paths are absolute file system paths; an untitled
// page's path is its bare untitled name ("Noname1.cas").
class TfrmEditor : public TDockForm {
  Q_OBJECT
 public:
  static constexpr int kPages = 10;
  // Files the editor refuses to open: larger than kMaxFileBytes, or with a
  // line longer than kMaxLineChars characters. Measured on this control, a
  // line of 100,000 characters costs about 0.1 s per keystroke or repaint and
  // one of 1,000,000 about a second; files of 16 MB in ordinary lines open in
  // about a second.
  static constexpr qint64 kMaxFileBytes = qint64{16} * 1024 * 1024;
  static constexpr int kMaxLineChars = 10000;

  explicit TfrmEditor(QWidget* parent = nullptr);
  ~TfrmEditor() override;

  void SetHost(EditorHost* host) { host_ = host; }

  int CurrentPage() const { return currentPage_; }
  int OpenCount() const { return openCount_; }
  QString PagePath(int i) const;
  // The path as the core's tools take it (local 8-bit file name bytes).
  std::string PagePathBytes(int i) const;
  EditorControl* PageEditor(int i) const;
  bool PageModified(int i) const;
  // The page has never been saved (its path is still its untitled name).
  bool PageUntitled(int i) const;
  int PageOfPath(const QString& path) const;  // 0 when not open

  // 0 refused, 1 new untitled page, 2 an existing file of that name opened instead.
  int NewFile();
  bool OpenFile(const QString& path);
  bool SaveCurrent();
  bool SaveCurrentAs(const QString& path);
  bool SavePageAs(const QString& path, int i);
  bool SaveAll();
  bool CloseCurrent();
  bool CloseAll();
  // Writes page i to its path (a titled page); false after reporting the failure.
  bool SavePage(int i);
  // Before a build that page i would block: asks whether to save its changes
  // and saves on Yes. Yes only when the page is saved now; a failed save or a
  // cancelled save dialog answers Cancel.
  BoxAnswer AskToSave(int i);
  // The close query at exit: asks about every modified page in order. False
  // keeps the window open (Cancel, or a Yes whose save did not happen).
  bool QueryClose();
  // Offers to reload each unmodified page whose file another program changed
  // since the page read or wrote it (each change is offered once). Runs
  // whenever the application becomes active again.
  void CheckFilesChangedOnDisk();

  void Undo();
  void Redo();  // what Undo took back, step by step
  void CutSelection();
  void CopySelection();
  void PasteClipboard();
  void DeleteSelection();
  void SelectAllText();
  bool HasSelection() const;

  void SetTabStops(int i);
  void ShowCaretPosition(EditorControl* control);
  QString CaretText() const;  // panel 0 of the status bar
  void SetAutoIndent(bool on);
  bool AutoIndentOn() const { return autoIndent_; }
  // The options' encoding of new files: 0 CP932, 1 UTF-8, 2 UTF-8 with a mark.
  void SetNewFileEncoding(int choice);
  FileFormat PageFormat(int i) const { return formats_[i]; }
  // The status bar's panel for the current page's encoding and line breaks.
  QString EncodingText() const;
  static QString FormatText(const FileFormat& format);
  // Reads the current page's file again in the encoding it is not shown in
  // (asks first when the page has unsaved changes). False when nothing changed.
  bool ReopenInOtherEncoding();
  // The current page will be saved in the other encoding (the page becomes
  // modified). Refused when the text has characters CP932 cannot hold.
  bool ConvertToOtherEncoding();
  void SetEditorFont(const QFont& font);
  // Text and background colour of every page, keeping each page's modified
  // flag. An invalid colour stands for the system's own (text, window).
  void SetEditorColors(const QColor& text, const QColor& background);

  // Hides the tabs of every page without an open file.
  void HideFreeTabs();
  // Makes page i active and puts the caret at the start of line `line` (1-based).
  bool GoToLine(const QString& path, int line);
  // Activates page i (1..OpenCount()).
  void ActivatePage(int i);
  // The line-number gutter of page i's control.
  LineGutter* PageGutter(int i) const;

  QMenu* PopupMenu() const { return popup_; }
  QAction* PopupAction(const QString& name) const;

  // Caret column of `textBeforeCaret` as shown in panel 0: CP932 cells, tabs to
  // the next multiple of eight, plus one.
  static int CaretColumn(const QString& textBeforeCaret);

 signals:
  void pagesChanged();
  // Another page came to the front, or the current page's file got another name.
  void currentPageChanged();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  QTextDocument* NewDocument();
  void UsePage(int i);
  void EmptyPage(int i);
  void SetTabCaption(int i, const QString& caption);
  void ShowTab(int i, bool visible);
  // `forced` reads the file in that encoding instead of the detected one.
  bool LoadInto(int i, const QString& path, QString& error, const TextEncoding* forced = nullptr);
  void ShowFormat();
  // The text of page i, line by line (UTF-8), exactly as the control holds it.
  std::vector<std::string> PageLines(int i) const;
  // The bytes of page i written in `format` over the file it was read from.
  ComposedFile ComposePage(int i, const FileFormat& format) const;
  // A message naming the character `composed` stopped at and its line.
  static QString Cp932Problem(const std::vector<std::string>& lines, const ComposedFile& composed);
  // After page i was read: a notice when some of its bytes are no UTF-8
  // although the page is shown as UTF-8.
  void NoticeUnreadableBytes(int i);
  bool WriteFile(int i, const QString& path);
  bool EnsureDirectory(const QString& path);
  void PageControl1Change(int index);
  void OnCursorOrSelection(EditorControl* control);
  bool AskAndSave(int i, bool viaSaveAll);
  // What a file on disk looks like: identity, size and modification time.
  struct DiskStamp {
    bool exists = false;
    quint64 device = 0, inode = 0;
    qint64 size = 0, seconds = 0, nanoseconds = 0;
    friend bool operator==(const DiskStamp&, const DiskStamp&) = default;
  };
  static DiskStamp StampOf(const QString& path);
  // Before a save over page i's own file: when another program changed the
  // file since the page read or wrote it, asks whether to overwrite.
  bool ConfirmOverwriteIfChanged(int i, const QString& path);
  bool SaveUntitledThroughDialog(int i);
  // Each open page's tab shows whether the page is modified.
  void RefreshTabMarks();

  EditorHost* host_ = nullptr;
  QTabWidget* pageControl_ = nullptr;
  QStatusBar* statusBar_ = nullptr;
  QLabel* panel0_ = nullptr;
  QLabel* panel1_ = nullptr;
  QLabel* panel2_ = nullptr;  // encoding and line breaks
  QAction* reopenAction_ = nullptr;
  QAction* convertAction_ = nullptr;
  QMenu* popup_ = nullptr;
  std::array<EditorControl*, kPages + 1> editors_{};  // index 0 unused
  std::array<QString, kPages + 1> filePaths_{};
  std::array<QString, kPages + 1> untitledNames_{};
  std::array<FileFormat, kPages + 1> formats_{};
  // Each page's file as read or last written, line by line: a save writes the
  // lines nobody edited back with these bytes.
  std::array<SourceLines, kPages + 1> originals_{};
  FileFormat newFileFormat_;
  std::array<DiskStamp, kPages + 1> diskStamps_{};     // as the page last read or wrote its file
  std::array<DiskStamp, kPages + 1> offeredStamps_{};  // the change last offered for reloading
  bool checkingDisk_ = false;
  int untitledCounter_ = 0;
  int currentPage_ = 0;
  int openCount_ = 0;
  bool autoIndent_ = true;
  bool shownOnce_ = false;
  bool shifting_ = false;
  // Of every page, from the options' colours.
  SourceColours sourceColours_ = SourceColours::Derive(QColor(), QColor());
};

}  // namespace tolvane::forms
