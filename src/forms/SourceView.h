#pragma once
// What a source page shows besides its text: syntax colours, the line-number
// gutter, the line the user was sent to, and the modified mark on its tab.
#include <QColor>
#include <QObject>
#include <QTextCursor>
#include <QWidget>

class QPlainTextEdit;
class QTabWidget;
class QTextDocument;

namespace tolvane::forms {

class EditorControl;
struct SourceColours;

// A line the user was sent to (a diagnostic's), shown with a wash behind the
// whole line until the user edits that line, takes the caret off it, or
// another line is marked.
class MarkedLine : public QObject {
  Q_OBJECT
 public:
  explicit MarkedLine(QPlainTextEdit* editor);
  // Marks line `line` (from 1) of the editor's document; 0 or a line past the
  // end clears the mark.
  void Show(int line);
  void Clear();
  // The marked line, 0 when there is none.
  int Line() const;
  void SetColour(const QColor& colour);
  // The line the debugged program stands at: a wash of its own that stays
  // until it is moved or cleared (0), under a marked line's wash. Showing a
  // line brings the page to the front of its docking area and the line into
  // view with a few lines of context.
  void ShowExecutionLine(int line);
  int ExecutionLine() const;
  void SetExecutionColour(const QColor& colour);
  static MarkedLine* Of(const QPlainTextEdit* editor);

 private:
  void OnContentsChange(int position, int removed, int added);
  void OnCursorMoved();
  void Apply();

  QPlainTextEdit* editor_;
  QTextCursor start_;  // the start of the marked line; null when none
  QString text_;       // its text when it was marked
  QColor colour_;
  QTextCursor execution_;
  QColor executionColour_;
};

// Scrolls as little as needed to show line `line` (from 1) of the editor with
// kContextLines lines above and below it (fewer in a short page).
inline constexpr int kContextLines = 3;
void ScrollLineIntoView(QPlainTextEdit* editor, int line);
// Brings the docked window holding `page` to the front when another window's
// tab covers it.
void BringPageForward(QWidget* page);

// The modified mark of one page's tab: a dot after the caption (the caption
// itself stays the file name), and the tab's tooltip, the path with the word
// for modified, which screen readers also give as the tab's description.
void ShowTabModified(QTabWidget* tabs, int index, bool modified, const QString& path);

// A page's text control gets its gutter, its marked line and a highlighter
// for its document.
void AttachSourceView(EditorControl* editor, const SourceColours& colours);
// A document that will be shown in a page gets its highlighter.
void AttachHighlighter(QTextDocument* document, const SourceColours& colours);
// New colours for a page: its document's syntax colours, gutter and marked line.
void ApplySourceColours(EditorControl* editor, const SourceColours& colours);

}  // namespace tolvane::forms
