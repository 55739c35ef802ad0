#include "forms/dlgWatch_f.h"

#include <QPushButton>
#include <QTreeWidget>

#include "debugger/ExecutionControl.h"
#include "forms/DialogPort.h"
#include "forms/HelpTopic.h"
#include "forms/Utf8.h"
#include "forms/dlgAddWatch_f.h"

namespace tolvane::forms {

TdlgWatch::TdlgWatch(QWidget* parent)
    : TDebugDialog(parent, QStringLiteral("dlgWatch"), QStringLiteral("Watch"), QStringLiteral("HID00000014.htm")) {
  list_ = ReportList(this, QStringLiteral("lstvWatch"), {UiText(u8"アドレス"), UiText(u8"ラベル")}, 90);
  btnAdd_ = NamedButton(this, QStringLiteral("btnAdd"), UiText(u8"追加..."));
  QPushButton* del = NamedButton(this, QStringLiteral("btnDelete"), UiText(u8"削除"));
  btnOk_ = NamedButton(this, QStringLiteral("btnOk"), UiText(u8"ＯＫ"));
  QPushButton* help = NamedButton(this, QStringLiteral("btnHelp"), UiText(u8"ヘルプ"));
  btnOk_->setDefault(true);  // Enter in the list
  ListAndButtons(this, list_, {btnAdd_, del, btnOk_, help});
  connect(btnAdd_, &QPushButton::clicked, this, &TdlgWatch::btnAddClick);
  connect(del, &QPushButton::clicked, this, &TdlgWatch::btnDeleteClick);
  connect(list_, &TReportList::deleteRequested, this, &TdlgWatch::btnDeleteClick);
  connect(btnOk_, &QPushButton::clicked, this, &TdlgWatch::btnOkClick);
  connect(help, &QPushButton::clicked, this, &TDebugDialog::btnHelpClick);
}

void TdlgWatch::Bind(debugger::ExecutionControl* core, TdlgAddWatch* addDialog) {
  TDebugDialog::Bind(core);
  add_ = addDialog;
  if (add_) add_->Bind(core);
}

void TdlgWatch::Reload() {
  QList<QStringList> rows;
  if (Core())
    for (const debugger::WatchEntry& e : Core()->Watches().WorkingCopy())
      rows << QStringList{QString::fromStdString(e.addressText), FromCp932(e.label)};
  FillReportList(list_, rows);
}

void TdlgWatch::showEvent(QShowEvent* event) {
  // The copy is taken once, when the dialog opens.
  if (Core()) Core()->Watches().OpenWorkingCopy();
  list_->clear();
  Reload();
  QDialog::showEvent(event);
  btnAdd_->setFocus();
}

void TdlgWatch::btnAddClick() {
  if (!add_) return;
  const int result = add_->exec();
  add_->hide();
  Reload();
  if (result == QDialog::Accepted) btnOk_->setFocus();
}

void TdlgWatch::btnDeleteClick() {
  const int row = SelectedRow(list_);
  if (Core() && row >= 0) Core()->Watches().DeleteFromWorkingCopy(row);
  Reload();
}

void TdlgWatch::btnOkClick() {
  if (Core()) Core()->CommitWatchWorkingCopy();
  accept();
}

void TdlgWatch::done(int result) {
  // Closed without OK: the working copy is dropped, the pane stays as it was.
  if (result != QDialog::Accepted && Core()) Core()->Watches().DiscardWorkingCopy();
  QDialog::done(result);
}

}  // namespace tolvane::forms
