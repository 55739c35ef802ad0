#include "forms/EditorSearch.h"

#include <QEvent>
#include <QPalette>
#include <QPlainTextEdit>
#include <QStringView>
#include <QTextCursor>
#include <QTextDocument>

namespace tolvane::forms {

namespace {

Qt::CaseSensitivity Sensitivity(bool matchCase) { return matchCase ? Qt::CaseSensitive : Qt::CaseInsensitive; }

// The text with one character per position: block separators are
// QChar::ParagraphSeparator, which no pattern typed into a one-line field holds.
QString PositionText(const QPlainTextEdit* control) { return control->document()->toRawText(); }

void Select(QPlainTextEdit* control, int start, int length) {
  QTextCursor cursor = control->textCursor();
  cursor.setPosition(start);
  cursor.setPosition(start + length, QTextCursor::KeepAnchor);
  control->setTextCursor(cursor);
}

void PlaceCaret(QPlainTextEdit* control, int position) {
  QTextCursor cursor = control->textCursor();
  cursor.setPosition(position);
  control->setTextCursor(cursor);
}

}  // namespace

namespace {
bool IsWordChar(QChar c) { return c.isLetterOrNumber() || c == QLatin1Char('_'); }

// The first occurrence at or after `from` (a whole word when asked), or -1.
qsizetype FindFrom(QStringView text, const QString& pattern, qsizetype from, const SearchOptions& options) {
  const Qt::CaseSensitivity cs = Sensitivity(options.matchCase);
  for (qsizetype at = text.indexOf(pattern, from, cs); at >= 0; at = text.indexOf(pattern, at + 1, cs)) {
    if (!options.wholeWord) return at;
    const qsizetype after = at + pattern.size();
    if ((at == 0 || !IsWordChar(text.at(at - 1))) && (after >= text.size() || !IsWordChar(text.at(after)))) return at;
  }
  return -1;
}

// The last of the occurrences found from the start without overlapping that
// end at or before `before`, or -1.
qsizetype FindLastBefore(QStringView text, const QString& pattern, qsizetype before, const SearchOptions& options) {
  const QStringView head = text.left(before);
  qsizetype last = -1;
  for (qsizetype at = FindFrom(head, pattern, 0, options); at >= 0;
       at = FindFrom(head, pattern, at + pattern.size(), options)) {
    // A whole word is judged in the whole text, not at the cut.
    const qsizetype after = at + pattern.size();
    if (options.wholeWord && after < text.size() && IsWordChar(text.at(after))) continue;
    last = at;
  }
  return last;
}
}  // namespace

int SearchForward(QPlainTextEdit* control, const QString& pattern, const SearchOptions& options) {
  if (!control || pattern.isEmpty()) return -1;
  const int from = control->textCursor().selectionEnd();
  PlaceCaret(control, from);
  const QString text = PositionText(control);
  qsizetype found = FindFrom(text, pattern, from, options);
  if (found < 0 && options.wrapAround) found = FindFrom(text, pattern, 0, options);
  if (found < 0) return -1;
  Select(control, static_cast<int>(found), static_cast<int>(pattern.size()));
  return static_cast<int>(found) + 1;
}

int SearchBackward(QPlainTextEdit* control, const QString& pattern, const SearchOptions& options) {
  if (!control || pattern.isEmpty()) return -1;
  const int before = control->textCursor().selectionStart();
  PlaceCaret(control, before);
  const QString text = PositionText(control);
  qsizetype last = FindLastBefore(text, pattern, before, options);
  if (last < 0 && options.wrapAround) last = FindLastBefore(text, pattern, text.size(), options);
  if (last < 0) return -1;
  Select(control, static_cast<int>(last), static_cast<int>(pattern.size()));
  return static_cast<int>(last) + 1;
}

ReplaceStep ReplaceNext(QPlainTextEdit* control, const QString& pattern, const QString& replacement,
                        const SearchOptions& options) {
  if (!control || pattern.isEmpty()) return ReplaceStep::NotFound;
  // A read-only page (its program is being debugged) is searched, not changed.
  if (control->isReadOnly())
    return SearchForward(control, pattern, options) < 0 ? ReplaceStep::NotFound : ReplaceStep::Found;
  QTextCursor cursor = control->textCursor();
  // The selection is replaced only when it is an occurrence the search would find.
  const bool isOccurrence =
      cursor.hasSelection() && cursor.selectionEnd() - cursor.selectionStart() == pattern.size() &&
      FindFrom(PositionText(control), pattern, cursor.selectionStart(), options) == cursor.selectionStart();
  if (!isOccurrence) return SearchForward(control, pattern, options) < 0 ? ReplaceStep::NotFound : ReplaceStep::Found;
  const int start = cursor.selectionStart();
  cursor.beginEditBlock();
  cursor.insertText(replacement);
  cursor.endEditBlock();
  Select(control, start, static_cast<int>(replacement.size()));
  const QTextCursor inserted = control->textCursor();
  if (SearchForward(control, pattern, options) < 0) control->setTextCursor(inserted);
  return ReplaceStep::Replaced;
}

int ReplaceAll(QPlainTextEdit* control, const QString& pattern, const QString& replacement,
               const SearchOptions& options) {
  if (!control || pattern.isEmpty() || control->isReadOnly()) return 0;
  const QString text = PositionText(control);
  qsizetype first = FindFrom(text, pattern, 0, options);
  if (first < 0) return 0;
  // One pass over the text: the stretch from the first occurrence to the end
  // of the last is built once and put in place of the old one in a single edit.
  QString stretch;
  qsizetype copied = first;
  qsizetype end = first;
  int count = 0;
  for (qsizetype at = first; at >= 0; at = FindFrom(text, pattern, end, options)) {
    stretch += QStringView(text).mid(copied, at - copied);
    stretch += replacement;
    end = at + pattern.size();
    copied = end;
    ++count;
  }
  QTextCursor cursor(control->document());
  cursor.beginEditBlock();
  cursor.setPosition(static_cast<int>(first));
  cursor.setPosition(static_cast<int>(end), QTextCursor::KeepAnchor);
  cursor.insertText(stretch);
  cursor.endEditBlock();
  PlaceCaret(control, static_cast<int>(first + stretch.size()));
  return count;
}

int SearchForward(QPlainTextEdit* control, const QString& pattern, bool matchCase) {
  return SearchForward(control, pattern, SearchOptions{matchCase});
}
int SearchBackward(QPlainTextEdit* control, const QString& pattern, bool matchCase) {
  return SearchBackward(control, pattern, SearchOptions{matchCase});
}
ReplaceStep ReplaceNext(QPlainTextEdit* control, const QString& pattern, const QString& replacement, bool matchCase) {
  return ReplaceNext(control, pattern, replacement, SearchOptions{matchCase});
}
int ReplaceAll(QPlainTextEdit* control, const QString& pattern, const QString& replacement, bool matchCase) {
  return ReplaceAll(control, pattern, replacement, SearchOptions{matchCase});
}

namespace {
// Keeps a control's colours for an unfocused selection: the selection colours
// while shown, else no highlight and the text in its own colour. It follows
// later palette changes (the options set the text and background colours).
class UnfocusedSelection : public QObject {
 public:
  explicit UnfocusedSelection(QPlainTextEdit* control) : QObject(control), control_(control) {
    setObjectName(Name());
    control->installEventFilter(this);
  }
  static QString Name() { return QStringLiteral("UnfocusedSelection"); }
  void SetShown(bool shown) {
    shown_ = shown;
    Apply();
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == control_ && event->type() == QEvent::PaletteChange && !applying_) Apply();
    return false;
  }

 private:
  void Apply() {
    QPalette palette = control_->palette();
    palette.setColor(QPalette::Inactive, QPalette::Highlight,
                     shown_ ? palette.color(QPalette::Active, QPalette::Highlight) : QColor(Qt::transparent));
    palette.setColor(QPalette::Inactive, QPalette::HighlightedText,
                     palette.color(QPalette::Active, shown_ ? QPalette::HighlightedText : QPalette::Text));
    if (palette == control_->palette()) return;
    applying_ = true;
    control_->setPalette(palette);
    applying_ = false;
  }

  QPlainTextEdit* control_;
  bool shown_ = false;
  bool applying_ = false;
};
}  // namespace

void ShowSelectionWithoutFocus(QPlainTextEdit* control, bool show) {
  if (!control) return;
  // One keeper per control, found by its name (it has no meta-object of its own).
  auto* keeper = static_cast<UnfocusedSelection*>(
      control->findChild<QObject*>(UnfocusedSelection::Name(), Qt::FindDirectChildrenOnly));
  if (!keeper) keeper = new UnfocusedSelection(control);
  keeper->SetShown(show);
}

}  // namespace tolvane::forms
