#pragma once
// Text put into an editor page as the user would put it there.
#include <QApplication>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QString>
#include <QTest>

namespace tolvane::testing {

// Types text into the control as key events (kana included): Enter for a
// line break, Tab for a tab.
inline void Type(QWidget* w, const QString& text) {
  for (QChar c : text) {
    if (c == QLatin1Char('\n')) {
      QTest::keyClick(w, Qt::Key_Return);
    } else if (c == QLatin1Char('\t')) {
      QTest::keyClick(w, Qt::Key_Tab);
    } else {
      QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
      QApplication::sendEvent(w, &press);
      QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(c));
      QApplication::sendEvent(w, &release);
    }
  }
}

// Replaces the whole text as the user would (the page becomes modified).
inline void SetText(QPlainTextEdit* e, const QString& text) {
  e->selectAll();
  e->insertPlainText(text);
}

}  // namespace tolvane::testing
