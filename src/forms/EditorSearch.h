#pragma once
#include <QString>

class QPlainTextEdit;

namespace tolvane::forms {

// Literal search and replacement in one text control, as the find and replace
// dialogs use them. Positions are the control's character positions (a line
// break counts as one). Case is ignored, when asked, by comparing characters
// case-insensitively, never by changing the text (lower-casing a copy can
// change its length and so every position after it). An empty pattern finds
// nothing and changes nothing.

// How a search matches. Whole word: the characters on either side of an
// occurrence are no letters, digits or '_' (so GR1 is not found in GR10).
// Wrap around: a forward search that reaches the end goes on from the start,
// a backward one from the end. Neither is on unless asked for.
struct SearchOptions {
  bool matchCase = true;
  bool wholeWord = false;
  bool wrapAround = false;
};

// The operations below take the options; those with a bare `matchCase` search
// without whole word and wrap-around.

// From the end of the selection (or the caret) towards the end of the text:
// selects the first occurrence and returns its position + 1, or -1 (the caret
// is then at the end of the former selection). No wrap-around.
int SearchForward(QPlainTextEdit* control, const QString& pattern, bool matchCase);

// Wholly before the start of the selection (or the caret): selects the last of
// the occurrences found from the start of the text without overlapping and
// returns its position + 1, or -1 (the caret is then at the start of the former
// selection).
int SearchBackward(QPlainTextEdit* control, const QString& pattern, bool matchCase);

// One press of Replace. A selection that is an occurrence of the pattern is
// replaced (one undo step) and the next occurrence after it is selected (the
// inserted text stays selected when there is none): Replaced. Otherwise the
// next occurrence after the selection is found and selected, so that the user
// sees it before it is replaced: Found; or there is none: NotFound.
enum class ReplaceStep { Replaced, Found, NotFound };
ReplaceStep ReplaceNext(QPlainTextEdit* control, const QString& pattern, const QString& replacement, bool matchCase);

// Replaces every occurrence from the start of the text, left to right without
// overlapping, in one pass and as one undo step; the caret ends after the last
// inserted text. Returns the number of replacements (0: none found, nothing
// changed).
int ReplaceAll(QPlainTextEdit* control, const QString& pattern, const QString& replacement, bool matchCase);

int SearchForward(QPlainTextEdit* control, const QString& pattern, const SearchOptions& options);
int SearchBackward(QPlainTextEdit* control, const QString& pattern, const SearchOptions& options);
ReplaceStep ReplaceNext(QPlainTextEdit* control, const QString& pattern, const QString& replacement,
                        const SearchOptions& options);
int ReplaceAll(QPlainTextEdit* control, const QString& pattern, const QString& replacement,
               const SearchOptions& options);

// Whether the control shows its selection while it does not have the focus
// (the find and replace dialogs turn this on while they are open).
void ShowSelectionWithoutFocus(QPlainTextEdit* control, bool show);

}  // namespace tolvane::forms
