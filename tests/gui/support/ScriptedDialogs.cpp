#include "support/ScriptedDialogs.h"

namespace tolvane::testing {

ScriptedDialogs::ScriptedDialogs() { forms::SetDialogs(this); }
ScriptedDialogs::~ScriptedDialogs() { forms::SetDialogs(nullptr); }

BoxAnswer ScriptedDialogs::Ask(BoxKind kind, const QString& text, BoxButtons buttons) {
  boxes.append({kind, text, buttons});
  if (buttons == BoxButtons::Ok) return BoxAnswer::Ok;
  if (answers_.isEmpty()) {
    unexpected << text;
    return buttons == BoxButtons::YesNoCancel ? BoxAnswer::Cancel : BoxAnswer::No;
  }
  return answers_.dequeue();
}

void ScriptedDialogs::ShowPlain(const QString& text) { plain << text; }

QString ScriptedDialogs::GetOpenFileName(QWidget*, const QString&, const QString&, const QString&) {
  ++openDialogs;
  if (openAnswers_.isEmpty()) {
    unexpected << QStringLiteral("<open dialog>");
    return {};
  }
  return openAnswers_.dequeue();
}

QString ScriptedDialogs::GetSaveFileName(QWidget*, const QString&, const QString& presetName, const QString&,
                                         const QString&) {
  savePresets << presetName;
  if (saveAnswers_.isEmpty()) {
    unexpected << QStringLiteral("<save dialog>");
    return {};
  }
  return saveAnswers_.dequeue();
}

bool ScriptedDialogs::GetText(QWidget*, const QString& caption, const QString& prompt, QString& text) {
  textQueries << caption + QLatin1Char('|') + prompt + QLatin1Char('|') + text;
  if (textAnswers_.isEmpty()) {
    unexpected << QStringLiteral("<input query>");
    return false;
  }
  const QString answer = textAnswers_.dequeue();
  if (answer.isNull()) return false;
  text = answer;
  return true;
}

QColor ScriptedDialogs::GetColor(QWidget*, const QColor& initial) {
  colorPresets << initial;
  if (colorAnswers_.isEmpty()) {
    unexpected << QStringLiteral("<colour dialog>");
    return {};
  }
  return colorAnswers_.dequeue();
}

QStringList ScriptedDialogs::Texts() const {
  QStringList out;
  for (const Box& b : boxes) out << b.text;
  return out;
}

void ScriptedDialogs::Clear() {
  boxes.clear();
  plain.clear();
  savePresets.clear();
  textQueries.clear();
  colorPresets.clear();
  openDialogs = 0;
  unexpected.clear();
}

}  // namespace tolvane::testing
