#include "forms/TextPane.h"

#include <QAction>
#include <QApplication>
#include <QPalette>
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

void SetPaneColors(QPlainTextEdit* edit, const QColor& text, const QColor& background) {
  QPalette palette = edit->palette();
  palette.setColor(QPalette::Text, text.isValid() ? text : QApplication::palette().color(QPalette::Text));
  palette.setColor(QPalette::Base, background.isValid() ? background : QApplication::palette().color(QPalette::Base));
  edit->setPalette(palette);
}

}  // namespace tolvane::forms
