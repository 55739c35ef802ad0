#include "forms/TextPane.h"

#include <QAction>
#include <QPlainTextEdit>
#include <QTextCursor>

namespace tolvane::forms {

void SelectAllForCopy(QPlainTextEdit* edit, QAction* copy) {
  edit->selectAll();
  copy->setEnabled(edit->textCursor().hasSelection());
}

void CopySelectionAndClear(QPlainTextEdit* edit, QAction* copy) {
  QTextCursor cursor = edit->textCursor();
  if (!cursor.hasSelection()) return;
  edit->copy();
  cursor.clearSelection();
  edit->setTextCursor(cursor);
  copy->setEnabled(false);
}

}  // namespace tolvane::forms
