// An editor page as the IDE shows it (the 12-point Gothic, syntax colours on a
// white background, the line-number gutter), shown offscreen, for the editor
// benchmarks.
#pragma once

#include <QApplication>
#include <QKeyEvent>

#include "forms/LineGutter.h"
#include "forms/SourceView.h"
#include "forms/UiFonts.h"
#include "forms/frmEditor_f.h"

namespace bench {

inline const tolvane::forms::SourceColours& Colours() {
  static const tolvane::forms::SourceColours colours = tolvane::forms::SourceColours::Derive(Qt::black, Qt::white);
  return colours;
}

struct EditorPage {
  tolvane::forms::EditorControl editor;
  int typed = 0;

  explicit EditorPage(const QString& text) {
    editor.setFont(tolvane::forms::MakeFont(tolvane::forms::FontGothic(), 12));
    tolvane::forms::AttachSourceView(&editor, Colours());
    editor.resize(1000, 700);
    editor.show();
    editor.setPlainText(text);
    Paint();
  }
  void Paint() {
    editor.viewport()->repaint();
    tolvane::forms::LineGutter::Of(&editor)->repaint();
  }
  // Types a letter at the caret, or takes the last one back, in turns, so that
  // the line stays as long; then paints the page and its gutter.
  void TypeOrErase() {
    const bool erase = (typed++ % 2) != 0;
    QKeyEvent press(QEvent::KeyPress, erase ? Qt::Key_Backspace : Qt::Key_X, Qt::NoModifier,
                    erase ? QString() : QStringLiteral("X"));
    QApplication::sendEvent(&editor, &press);
    Paint();
  }
};

}  // namespace bench
