#pragma once
class QAction;
class QColor;
class QPlainTextEdit;

namespace tolvane::forms {

// The Select All and Copy items of the read-mostly text panes (message window,
// console): Copy is enabled only while there is something to copy.
void SelectAllForCopy(QPlainTextEdit* edit, QAction* copy);
// Copies the selection, then drops it and disables Copy until the next one.
void CopySelectionAndClear(QPlainTextEdit* edit, QAction* copy);
// Text and background colour of a pane; an invalid colour stands for the
// system's own (the application palette's text or base colour).
void SetPaneColors(QPlainTextEdit* edit, const QColor& text, const QColor& background);

}  // namespace tolvane::forms
