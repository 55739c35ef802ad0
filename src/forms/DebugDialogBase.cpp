#include "forms/DebugDialogBase.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "forms/DebugPaneModels.h"
#include "forms/DialogPort.h"
#include "forms/HelpTopic.h"
#include "forms/UiFonts.h"
#include "forms/Utf8.h"

namespace tolvane::forms {

QPushButton* NamedButton(QWidget* parent, const QString& name, const QString& caption) {
  auto* b = new QPushButton(caption, parent);
  b->setObjectName(name);
  b->setAutoDefault(true);
  return b;
}

void TReportList::focusInEvent(QFocusEvent* event) {
  QTreeWidget::focusInEvent(event);
  if (topLevelItemCount() == 0 || !selectedItems().isEmpty()) return;
  QTreeWidgetItem* item = currentItem() ? currentItem() : topLevelItem(0);
  setCurrentItem(item);
  item->setSelected(true);
}

void TReportList::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Delete && event->modifiers() == Qt::NoModifier) {
    if (!selectedItems().isEmpty()) emit deleteRequested();
    event->accept();
    return;
  }
  QTreeWidget::keyPressEvent(event);
}

TReportList* ReportList(QWidget* parent, const QString& name, const QStringList& captions, int width) {
  auto* list = new TReportList(parent);
  list->setObjectName(name);
  list->setRootIsDecorated(false);
  list->setItemsExpandable(false);
  list->setUniformRowHeights(true);
  list->setSelectionMode(QAbstractItemView::SingleSelection);
  list->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list->setColumnCount(static_cast<int>(captions.size()));
  list->setHeaderLabels(captions);
  list->header()->setSectionsClickable(false);
  list->header()->setStretchLastSection(false);
  for (int c = 0; c < captions.size(); ++c) list->setColumnWidth(c, width);
  list->setMinimumWidth(width * static_cast<int>(captions.size()) + 24);
  return list;
}

void ListAndButtons(QDialog* dialog, QTreeWidget* list, const QList<QPushButton*>& buttons) {
  auto* layout = new QHBoxLayout(dialog);
  layout->addWidget(list, 1);
  auto* column = new QVBoxLayout;
  for (QPushButton* b : buttons) column->addWidget(b);
  column->addStretch(1);
  layout->addLayout(column);
}

int SelectedRow(const QTreeWidget* list) {
  const QList<QTreeWidgetItem*> selected = list->selectedItems();
  return selected.isEmpty() ? -1 : list->indexOfTopLevelItem(selected.first());
}

void FillReportList(QTreeWidget* list, const QList<QStringList>& rows) {
  const int selected = SelectedRow(list);
  list->clear();
  for (const QStringList& texts : rows) list->addTopLevelItem(new QTreeWidgetItem(texts));
  if (selected >= 0 && list->topLevelItemCount() > 0) {
    QTreeWidgetItem* item = list->topLevelItem(std::min(selected, list->topLevelItemCount() - 1));
    list->setCurrentItem(item);
    item->setSelected(true);
  }
}

bool ReportDialogResult(const debugger::DialogResult& result, QLineEdit* edit) {
  if (result.accepted) return true;
  Dialogs().ShowMessageBox(result.kind, result.message, BoxButtons::Ok);
  edit->setFocus();
  return false;
}

// ---- the common part ----

TDebugDialog::TDebugDialog(QWidget* parent, const QString& formName, const QString& caption, const QString& helpTopic)
    : QDialog(parent), helpTopic_(helpTopic) {
  setObjectName(formName);
  setWindowTitle(caption);
  setModal(true);
}

void TDebugDialog::btnHelpClick() { OpenHelpTopic(parentWidget() ? parentWidget() : this, helpTopic_); }

QHBoxLayout* TDebugDialog::OkCancelHelpRow(QPushButton** ok) {
  auto* row = new QHBoxLayout;
  row->addStretch(1);
  *ok = NamedButton(this, QStringLiteral("btnOk"), QStringLiteral("OK"));
  (*ok)->setDefault(true);
  QPushButton* cancel = NamedButton(this, QStringLiteral("btnCancel"), UiText(u8"キャンセル"));
  QPushButton* help = NamedButton(this, QStringLiteral("btnHelp"), UiText(u8"ヘルプ"));
  row->addWidget(*ok);
  row->addWidget(cancel);
  row->addWidget(help);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(help, &QPushButton::clicked, this, &TDebugDialog::btnHelpClick);
  return row;
}

// ---- add by label or address ----

TAddEntryDialog::TAddEntryDialog(QWidget* parent, const QString& formName, const QString& caption,
                                 const QString& helpTopic)
    : TDebugDialog(parent, formName, caption, helpTopic) {
  auto* layout = new QVBoxLayout(this);
  group_ = new QGroupBox(UiText(u8"追加"), this);
  group_->setObjectName(QStringLiteral("RadioGroup1"));
  auto* items = new QVBoxLayout(group_);
  byLabel_ = new QRadioButton(UiText(u8"ラベル名で追加"), group_);
  byLabel_->setObjectName(QStringLiteral("RadioGroup1Label"));
  byAddress_ = new QRadioButton(UiText(u8"アドレスで追加"), group_);
  byAddress_->setObjectName(QStringLiteral("RadioGroup1Address"));
  byLabel_->setChecked(true);
  items->addWidget(byLabel_);
  items->addWidget(byAddress_);
  layout->addWidget(group_);
  edit_ = new QLineEdit(this);
  edit_->setObjectName(QStringLiteral("editAddAddress"));
  edit_->setAccessibleName(UiText(u8"ラベル名またはアドレス"));
  layout->addWidget(edit_);
  QPushButton* ok = nullptr;
  layout->addLayout(OkCancelHelpRow(&ok));
  connect(ok, &QPushButton::clicked, this, &TAddEntryDialog::btnOkClick);
  // Choosing the way puts the focus where the text goes.
  for (QRadioButton* r : {byLabel_, byAddress_})
    connect(r, &QRadioButton::clicked, this, [this] { edit_->setFocus(); });
  setTabOrder(edit_, ok);
}

int TAddEntryDialog::ItemIndex() const { return byAddress_->isChecked() ? 1 : 0; }

void TAddEntryDialog::SetItemIndex(int index) { (index == 1 ? byAddress_ : byLabel_)->setChecked(true); }

void TAddEntryDialog::btnOkClick() {
  const auto by = ItemIndex() == 1 ? debugger::AddBy::Address : debugger::AddBy::Label;
  if (!Core()) return;
  if (ReportDialogResult(Submit(by, TypedCp932(edit_->text())), edit_)) accept();
}

void TAddEntryDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  edit_->setFocus();
}

// ---- change a memory word or a register ----

TDataChangeDialog::TDataChangeDialog(QWidget* parent, const QString& formName, const QString& caption,
                                     const QString& helpTopic)
    : TDebugDialog(parent, formName, caption, helpTopic) {
  auto* layout = new QVBoxLayout(this);
  auto* line = new QHBoxLayout;
  name_ = new QLabel(this);
  name_->setObjectName(QStringLiteral("lblName"));
  name_->setFont(GothicPixels(16));
  data_ = new QLineEdit(this);
  data_->setObjectName(QStringLiteral("editData"));
  data_->setFont(GothicPixels(16));
  name_->setBuddy(data_);
  line->addWidget(name_);
  line->addWidget(data_, 1);
  layout->addLayout(line);
  QPushButton* ok = nullptr;
  layout->addLayout(OkCancelHelpRow(&ok));
  connect(ok, &QPushButton::clicked, this, &TDataChangeDialog::btnOkClick);
}

void TDataChangeDialog::Prepare(const QString& name, const QString& data) {
  name_->setText(name);
  data_->setText(data);
}

int TDataChangeDialog::Open(const QString& name, const QString& data) {
  Prepare(name, data);
  const int result = exec();
  hide();
  return result;
}

void TDataChangeDialog::btnOkClick() {
  if (!Core()) return;
  if (ReportDialogResult(Submit(TypedCp932(name_->text()), TypedCp932(data_->text())), data_)) accept();
}

void TDataChangeDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  data_->setFocus();
  data_->selectAll();
}

}  // namespace tolvane::forms
