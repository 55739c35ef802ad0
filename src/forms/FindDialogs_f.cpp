#include "forms/FindDialogs_f.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QVBoxLayout>

#include "forms/DialogPort.h"
#include "forms/EditorSearch.h"
#include "forms/Utf8.h"

namespace tolvane::forms {

namespace {

QPushButton* Button(const char8_t* caption, const char* name, QWidget* parent) {
  auto* button = new QPushButton(UiText(caption), parent);
  button->setObjectName(QString::fromLatin1(name));
  button->setAutoDefault(false);
  return button;
}
}  // namespace

// ---------------------------------------------------------------------------

TSearchDialog::TSearchDialog(const QString& name, const QString& caption, QWidget* parent) : QDialog(parent) {
  setObjectName(name);
  setWindowTitle(caption);
  setModal(false);
  setSizeGripEnabled(false);
  find_ = new QLineEdit(this);
  find_->setObjectName(QStringLiteral("editFind"));
  // Heard without the label's "(&N):".
  find_->setAccessibleName(UiText(u8"検索する文字列"));
  matchCase_ = new QCheckBox(UiText(u8"大文字と小文字を区別する(&C)"), this);
  matchCase_->setObjectName(QStringLiteral("chkMatchCase"));
  matchCase_->setChecked(true);
  // Off at start: the plain search stays as it always was.
  wholeWord_ = new QCheckBox(UiText(u8"単語単位で探す(&W)"), this);
  wholeWord_->setObjectName(QStringLiteral("chkWholeWord"));
  wrapAround_ = new QCheckBox(UiText(u8"先頭（末尾）から再検索する(&Z)"), this);
  wrapAround_->setObjectName(QStringLiteral("chkWrapAround"));
  cancel_ = Button(u8"キャンセル", "btnCancel", this);
  connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
  connect(find_, &QLineEdit::textChanged, this, &TSearchDialog::UpdateButtons);
  connect(this, &QDialog::finished, this, &TSearchDialog::dialogClosed);
}

QString TSearchDialog::FindText() const { return find_->text(); }
void TSearchDialog::SetFindText(const QString& text) { find_->setText(text); }
bool TSearchDialog::MatchCase() const { return matchCase_->isChecked(); }
void TSearchDialog::SetMatchCase(bool on) { matchCase_->setChecked(on); }

SearchOptions TSearchDialog::Options() const {
  return SearchOptions{matchCase_->isChecked(), wholeWord_->isChecked(), wrapAround_->isChecked()};
}

QLayout* TSearchDialog::OptionBoxes() {
  auto* boxes = new QVBoxLayout;
  for (QCheckBox* box : {matchCase_, wholeWord_, wrapAround_}) boxes->addWidget(box);
  setTabOrder(matchCase_, wholeWord_);
  setTabOrder(wholeWord_, wrapAround_);
  return boxes;
}

void TSearchDialog::AddSearchButton(QPushButton* button) {
  searchButtons_ << button;
  UpdateButtons();
}

void TSearchDialog::UpdateButtons() {
  // Nothing to find: no search can start (an empty pattern would match
  // everywhere, and Replace All would never end).
  for (QPushButton* button : searchButtons_) button->setEnabled(!find_->text().isEmpty());
}

void TSearchDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (event->spontaneous()) return;
  find_->setFocus();
  find_->selectAll();
  emit dialogShown();
}

// ---------------------------------------------------------------------------

TFindDialog::TFindDialog(QWidget* parent) : TSearchDialog(QStringLiteral("FindDialog1"), UiText(u8"検索"), parent) {
  auto* label = new QLabel(UiText(u8"検索する文字列(&N):"), this);
  label->setBuddy(find_);
  auto* direction = new QGroupBox(UiText(u8"方向"), this);
  direction->setObjectName(QStringLiteral("grpDirection"));
  up_ = new QRadioButton(UiText(u8"上へ(&U)"), direction);
  up_->setObjectName(QStringLiteral("rbUp"));
  down_ = new QRadioButton(UiText(u8"下へ(&D)"), direction);
  down_->setObjectName(QStringLiteral("rbDown"));
  down_->setChecked(true);
  auto* directionLayout = new QHBoxLayout(direction);
  directionLayout->addWidget(up_);
  directionLayout->addWidget(down_);

  findNext_ = Button(u8"次を検索(&F)", "btnFindNext", this);
  findNext_->setDefault(true);
  AddSearchButton(findNext_);
  connect(findNext_, &QPushButton::clicked, this, &TFindDialog::findNext);

  auto* grid = new QGridLayout(this);
  grid->addWidget(label, 0, 0);
  grid->addWidget(find_, 0, 1, 1, 2);
  grid->addWidget(findNext_, 0, 3);
  grid->addLayout(OptionBoxes(), 1, 0, 1, 2, Qt::AlignBottom);
  grid->addWidget(direction, 1, 2, Qt::AlignBottom);
  grid->addWidget(cancel_, 1, 3, Qt::AlignTop);
  grid->setColumnStretch(1, 1);
  setMinimumWidth(420);
  // Tab walks the fields in reading order.
  setTabOrder(find_, matchCase_);
  setTabOrder(wrapAround_, up_);
  setTabOrder(up_, down_);
  setTabOrder(down_, findNext_);
  setTabOrder(findNext_, cancel_);
}

bool TFindDialog::SearchDown() const { return down_->isChecked(); }
void TFindDialog::SetSearchDown(bool down) { (down ? down_ : up_)->setChecked(true); }

// ---------------------------------------------------------------------------

TReplaceDialog::TReplaceDialog(QWidget* parent)
    : TSearchDialog(QStringLiteral("ReplaceDialog1"), UiText(u8"置換"), parent) {
  auto* findLabel = new QLabel(UiText(u8"検索する文字列(&N):"), this);
  findLabel->setBuddy(find_);
  replace_ = new QLineEdit(this);
  replace_->setObjectName(QStringLiteral("editReplace"));
  replace_->setAccessibleName(UiText(u8"置換後の文字列"));
  auto* replaceLabel = new QLabel(UiText(u8"置換後の文字列(&P):"), this);
  replaceLabel->setBuddy(replace_);

  findNext_ = Button(u8"次を検索(&F)", "btnFindNext", this);
  findNext_->setDefault(true);
  replaceOne_ = Button(u8"置換して次に(&R)", "btnReplace", this);
  replaceAll_ = Button(u8"すべて置換(&A)", "btnReplaceAll", this);
  for (QPushButton* button : {findNext_, replaceOne_, replaceAll_}) AddSearchButton(button);
  connect(findNext_, &QPushButton::clicked, this, [this] { emit replace(Action::FindNext); });
  connect(replaceOne_, &QPushButton::clicked, this, [this] { emit replace(Action::Replace); });
  connect(replaceAll_, &QPushButton::clicked, this, [this] { emit replace(Action::ReplaceAll); });

  auto* grid = new QGridLayout(this);
  grid->addWidget(findLabel, 0, 0);
  grid->addWidget(find_, 0, 1);
  grid->addWidget(replaceLabel, 1, 0);
  grid->addWidget(replace_, 1, 1);
  grid->addLayout(OptionBoxes(), 3, 0, 1, 2, Qt::AlignBottom);
  auto* buttons = new QVBoxLayout;
  for (QPushButton* button : {findNext_, replaceOne_, replaceAll_, cancel_}) buttons->addWidget(button);
  buttons->addStretch(1);
  grid->addLayout(buttons, 0, 2, 4, 1);
  grid->setColumnStretch(1, 1);
  grid->setRowStretch(2, 1);
  setMinimumWidth(440);
  // Tab walks the fields in reading order.
  setTabOrder(find_, replace_);
  setTabOrder(replace_, matchCase_);
  setTabOrder(wrapAround_, findNext_);
  setTabOrder(findNext_, replaceOne_);
  setTabOrder(replaceOne_, replaceAll_);
  setTabOrder(replaceAll_, cancel_);
}

QString TReplaceDialog::ReplaceText() const { return replace_->text(); }
void TReplaceDialog::SetReplaceText(const QString& text) { replace_->setText(text); }

// ---------------------------------------------------------------------------

TFindReplace::TFindReplace(QWidget* owner, std::function<QPlainTextEdit*()> currentControl)
    : QObject(owner), currentControl_(std::move(currentControl)) {
  find_ = new TFindDialog(owner);
  replace_ = new TReplaceDialog(owner);
  connect(find_, &TFindDialog::findNext, this, &TFindReplace::FindDialog1Find);
  connect(replace_, &TReplaceDialog::replace, this, &TFindReplace::ReplaceDialog1Replace);
  for (TSearchDialog* dialog : {static_cast<TSearchDialog*>(find_), static_cast<TSearchDialog*>(replace_)}) {
    connect(dialog, &TSearchDialog::dialogShown, this, &TFindReplace::DialogShow);
    connect(dialog, &TSearchDialog::dialogClosed, this, &TFindReplace::DialogClose);
  }
}

void TFindReplace::Open(QDialog* dialog) {
  if (QPlainTextEdit* control = currentControl_()) control->setFocus();
  dialog->show();
  dialog->raise();
  dialog->activateWindow();
}

void TFindReplace::ShowFind() { Open(find_); }
void TFindReplace::ShowReplace() { Open(replace_); }

void TFindReplace::DialogShow() {
  QPlainTextEdit* control = currentControl_();
  if (showing_ && showing_ != control) ShowSelectionWithoutFocus(showing_, false);
  showing_ = control;
  ShowSelectionWithoutFocus(control, true);
}

void TFindReplace::DialogClose() {
  if (find_->isVisible() || replace_->isVisible()) return;
  if (showing_) ShowSelectionWithoutFocus(showing_, false);
  showing_ = nullptr;
  if (QPlainTextEdit* control = currentControl_()) {
    control->activateWindow();
    control->setFocus();
  }
}

void TFindReplace::NotFound(const QString& pattern) {
  Dialogs().Ask(BoxKind::Information, UiText(u8"検索文字列 ' ") + pattern + UiText(u8" ' は見つかりませんでした。"));
}

void TFindReplace::FindDialog1Find() {
  QPlainTextEdit* control = currentControl_();
  const QString pattern = find_->FindText();
  if (!control || pattern.isEmpty()) return;
  // The page may have changed since the dialog opened: it shows its selection too.
  if (control != showing_) DialogShow();
  const SearchOptions options = find_->Options();
  const int found =
      find_->SearchDown() ? SearchForward(control, pattern, options) : SearchBackward(control, pattern, options);
  if (found < 0) NotFound(pattern);
}

void TFindReplace::ReplaceDialog1Replace(TReplaceDialog::Action action) {
  QPlainTextEdit* control = currentControl_();
  const QString pattern = replace_->FindText();
  if (!control || pattern.isEmpty()) return;
  if (control != showing_) DialogShow();
  const SearchOptions options = replace_->Options();
  switch (action) {
    case TReplaceDialog::Action::ReplaceAll:
      if (ReplaceAll(control, pattern, replace_->ReplaceText(), options) == 0) NotFound(pattern);
      break;
    case TReplaceDialog::Action::Replace:
      if (ReplaceNext(control, pattern, replace_->ReplaceText(), options) == ReplaceStep::NotFound) NotFound(pattern);
      break;
    case TReplaceDialog::Action::FindNext:
      if (SearchForward(control, pattern, options) < 0) NotFound(pattern);
      break;
  }
}

}  // namespace tolvane::forms
