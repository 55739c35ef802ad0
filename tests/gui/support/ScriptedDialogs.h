#pragma once
#include <QColor>
#include <QList>
#include <QQueue>
#include <QString>
#include <QStringList>

#include "forms/DialogPort.h"
#include "forms/Utf8.h"

namespace tolvane::testing {

// Answers the windows' questions from a script and records everything asked.
// Installed as the dialog port for its lifetime. A question without a scripted
// answer is recorded in `unexpected` and answered with Cancel / No / Ok.
class ScriptedDialogs : public forms::DialogPort {
 public:
  struct Box {
    BoxKind kind;
    QString text;
    BoxButtons buttons;
  };

  ScriptedDialogs();
  ~ScriptedDialogs() override;

  // Answers for message boxes with buttons Yes/No(/Cancel), in order.
  void Answer(BoxAnswer answer) { answers_.enqueue(answer); }
  // Answers for the file dialogs, in order; an empty path cancels.
  void OpenAnswer(const QString& path) { openAnswers_.enqueue(path); }
  void SaveAnswer(const QString& path) { saveAnswers_.enqueue(path); }
  // Answers for the input query, in order; a null QString cancels it.
  void TextAnswer(const QString& text) { textAnswers_.enqueue(text); }
  // Answers for the colour dialog, in order; an invalid colour cancels.
  void ColorAnswer(const QColor& color) { colorAnswers_.enqueue(color); }

  BoxAnswer Ask(BoxKind kind, const QString& text, BoxButtons buttons) override;
  void ShowPlain(const QString& text) override;
  QString GetOpenFileName(QWidget* parent, const QString& caption, const QString& directory,
                          const QString& filter) override;
  QString GetSaveFileName(QWidget* parent, const QString& caption, const QString& presetName, const QString& filter,
                          const QString& defaultSuffix) override;
  bool GetText(QWidget* parent, const QString& caption, const QString& prompt, QString& text) override;
  QColor GetColor(QWidget* parent, const QColor& initial) override;

  // Everything shown, in order.
  QList<Box> boxes;
  QStringList plain;           // texts of plain boxes (failure descriptions)
  QStringList savePresets;     // the preset names of each save dialog
  QStringList textQueries;     // "caption|prompt|preset" of each input query
  QList<QColor> colorPresets;  // the colour each colour dialog started from
  int openDialogs = 0;
  QStringList unexpected;  // questions and dialogs nobody scripted an answer for

  // The texts of all boxes, for compact comparisons.
  QStringList Texts() const;
  // True when every scripted answer was used.
  bool AllAnswersUsed() const {
    return answers_.isEmpty() && openAnswers_.isEmpty() && saveAnswers_.isEmpty() && textAnswers_.isEmpty() &&
           colorAnswers_.isEmpty();
  }
  void Clear();

 private:
  QQueue<BoxAnswer> answers_;
  QQueue<QString> openAnswers_;
  QQueue<QString> saveAnswers_;
  QQueue<QString> textAnswers_;
  QQueue<QColor> colorAnswers_;
};

// UTF-8 literal to QString, as the windows write theirs.
using forms::UiText;

}  // namespace tolvane::testing
