#pragma once
// The language services in a source page: errors underlined as you type,
// completion (Ctrl+Space, and by itself in the operand column), hover
// tooltips, go to definition (F12, Ctrl+click), references (Shift+F12),
// the page's symbols (Ctrl+Shift+O), quick fixes (Ctrl+.), rename (F2) and
// formatting the page (Shift+Alt+F).
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <string>
#include <vector>

#include "lang/LanguageService.h"

class QCompleter;
class QModelIndex;
class QListWidget;
class QPlainTextEdit;
class QTextCursor;

namespace tolvane::forms {

class CompletionModel;
class DiagnosticUnderline;

class EditorLanguage : public QObject {
  Q_OBJECT
 public:
  explicit EditorLanguage(QPlainTextEdit* editor);
  ~EditorLanguage() override;
  static EditorLanguage* Of(const QPlainTextEdit* editor);

  // The page's text analysed now (otherwise a moment after the last change).
  void Analyse();
  // The message-window line of each diagnostic, by editor line (from 0).
  std::vector<std::pair<int, QString>> DiagnosticLines();

  bool GoToDefinition();                // at the caret; false when there is none
  void ShowCompletion();                // at the caret
  void ShowReferences();                // a list of the uses of the label at the caret
  void ShowSymbols();                   // a list of the page's programs and labels
  void ShowQuickFixes();                // the fixes for the errors on the caret's line
  bool Rename(const QString& newName);  // the label at the caret, in every page; false with a message
  void AskRename();
  void FormatPage();  // one undo step
  QString HoverText(const QTextCursor& at);

  // What is underlined now: the field a diagnostic is about, in characters of
  // its line (from 0), or the whole line when the diagnostic names no field.
  struct Underline {
    int line = 0;
    int first = 0;  // the first character
    int end = -1;   // after the last character; -1: to the end of the line
    friend bool operator==(const Underline&, const Underline&) = default;
  };
  const std::vector<Underline>& Underlines() const { return underlined_; }
  std::vector<int> UnderlinedLines() const;
  QCompleter* Completer() const { return completer_; }
  QListWidget* ReferenceList() const { return references_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  std::string Name() const { return name_; }
  lang::Position PositionOf(const QTextCursor& cursor);
  QTextCursor CursorAt(int line, int byteColumn) const;
  void ApplyEdits(const std::vector<lang::TextEdit>& edits);
  void ShowList();                        // the references' or symbols' list under the caret
  void Choose(const QModelIndex& index);  // a row of the completion list
  void Insert(const lang::Completion& completion);
  void ShowCompletion(std::vector<lang::Completion> items);
  bool NothingToOffer() const;                  // the list as narrowed now
  void OfferWhileTyping(const QString& typed);  // in the operand column the list opens by itself

  QPlainTextEdit* editor_;
  // Kept from the start: while the page is destroyed its viewport still sends
  // events, and asking the half-destroyed page for it is undefined.
  QObject* viewport_ = nullptr;
  std::string name_;
  bool dirty_ = true;
  QTimer timer_;
  QCompleter* completer_ = nullptr;
  CompletionModel* model_ = nullptr;
  bool chosen_ = false;  // the student moved the list's highlight with the arrow keys
  QListWidget* references_ = nullptr;
  DiagnosticUnderline* underline_ = nullptr;
  std::vector<Underline> underlined_;
  std::vector<std::vector<lang::TextEdit>> fixes_;  // of the quick-fix list shown
};

}  // namespace tolvane::forms
