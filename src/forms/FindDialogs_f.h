#pragma once
#include <QDialog>
#include <QPlainTextEdit>
#include <QPointer>
#include <functional>

#include "forms/EditorSearch.h"

class QCheckBox;
class QLayout;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace tolvane::forms {

// What the find and replace dialogs share: the text to find, the match-case
// box (ticked at start) and a Cancel button. Both are modeless; they keep
// their texts and options between uses. A button that searches is enabled only
// while there is something to find.
class TSearchDialog : public QDialog {
  Q_OBJECT
 public:
  QString FindText() const;
  void SetFindText(const QString& text);
  bool MatchCase() const;
  void SetMatchCase(bool on);
  // Match case, whole word and wrap-around as the boxes say.
  SearchOptions Options() const;
  QLineEdit* editFind() const { return find_; }
  QCheckBox* chkMatchCase() const { return matchCase_; }
  QCheckBox* chkWholeWord() const { return wholeWord_; }
  QCheckBox* chkWrapAround() const { return wrapAround_; }
  QPushButton* btnCancel() const { return cancel_; }

 signals:
  // The dialog was shown / was closed (Cancel, Esc or the title bar).
  void dialogShown();
  void dialogClosed();

 protected:
  TSearchDialog(const QString& name, const QString& caption, QWidget* parent);
  // Buttons that need a text to find.
  void AddSearchButton(QPushButton* button);
  void showEvent(QShowEvent* event) override;

  QLineEdit* find_ = nullptr;
  QCheckBox* matchCase_ = nullptr;
  QCheckBox* wholeWord_ = nullptr;
  QCheckBox* wrapAround_ = nullptr;
  QPushButton* cancel_ = nullptr;
  // The three option boxes, one under the other.
  QLayout* OptionBoxes();

 private:
  void UpdateButtons();
  QList<QPushButton*> searchButtons_;
};

// `FindDialog1`: find the next occurrence up or down (down at start).
class TFindDialog : public TSearchDialog {
  Q_OBJECT
 public:
  explicit TFindDialog(QWidget* parent = nullptr);
  bool SearchDown() const;
  void SetSearchDown(bool down);
  QPushButton* btnFindNext() const { return findNext_; }
  QRadioButton* rbUp() const { return up_; }
  QRadioButton* rbDown() const { return down_; }

 signals:
  void findNext();

 private:
  QPushButton* findNext_ = nullptr;
  QRadioButton* up_ = nullptr;
  QRadioButton* down_ = nullptr;
};

// `ReplaceDialog1`: always searches downward.
class TReplaceDialog : public TSearchDialog {
  Q_OBJECT
 public:
  enum class Action { FindNext, Replace, ReplaceAll };
  explicit TReplaceDialog(QWidget* parent = nullptr);
  QString ReplaceText() const;
  void SetReplaceText(const QString& text);
  QLineEdit* editReplace() const { return replace_; }
  QPushButton* btnFindNext() const { return findNext_; }
  QPushButton* btnReplace() const { return replaceOne_; }
  QPushButton* btnReplaceAll() const { return replaceAll_; }

 signals:
  void replace(tolvane::forms::TReplaceDialog::Action action);

 private:
  QLineEdit* replace_ = nullptr;
  QPushButton* findNext_ = nullptr;
  QPushButton* replaceOne_ = nullptr;
  QPushButton* replaceAll_ = nullptr;
};

// The main window's find and replace: the two dialogs and their handlers,
// acting on the text control of the editor's current page at the moment a
// button is pressed. While a dialog is open that control shows its selection
// without the focus; when the dialogs close it hides it again and gets the
// focus back.
class TFindReplace : public QObject {
  Q_OBJECT
 public:
  // `currentControl` gives the current page's control (null without a page).
  TFindReplace(QWidget* owner, std::function<QPlainTextEdit*()> currentControl);

  TFindDialog* FindDialog1() const { return find_; }
  TReplaceDialog* ReplaceDialog1() const { return replace_; }

  // The find and replace commands after their guard: focus the current page's
  // control and open the dialog.
  void ShowFind();
  void ShowReplace();

  void FindDialog1Find();
  void ReplaceDialog1Replace(TReplaceDialog::Action action);
  void DialogShow();
  void DialogClose();

 private:
  void NotFound(const QString& pattern);
  void Open(QDialog* dialog);

  std::function<QPlainTextEdit*()> currentControl_;
  TFindDialog* find_ = nullptr;
  TReplaceDialog* replace_ = nullptr;
  QPointer<QPlainTextEdit> showing_;  // the control showing its selection for a dialog
};

}  // namespace tolvane::forms
