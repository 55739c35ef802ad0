#include "forms/dlgBreakPoint_f.h"

#include <QPushButton>
#include <QTreeWidget>

#include "debugger/ExecutionControl.h"
#include "forms/DialogPort.h"
#include "forms/HelpTopic.h"
#include "forms/Utf8.h"
#include "forms/dlgAddBreakPoint_f.h"

namespace tolvane::forms {

TdlgBreakPoint::TdlgBreakPoint(QWidget* parent)
    : TDebugDialog(parent, QStringLiteral("dlgBreakPoint"), QStringLiteral("BreakPoint"),
                   QStringLiteral("HID00000043.htm")) {
  list_ = ReportList(this, QStringLiteral("lstvBreakPoint"),
                     {UiText(u8"アドレス"), UiText(u8"ラベル"), UiText(u8"有効／無効")}, 90);
  QPushButton* onOff = NamedButton(this, QStringLiteral("btnOnOff"), UiText(u8"有効／無効"));
  QPushButton* add = NamedButton(this, QStringLiteral("btnAdd"), UiText(u8"追加..."));
  QPushButton* del = NamedButton(this, QStringLiteral("btnDelete"), UiText(u8"削除"));
  QPushButton* ok = NamedButton(this, QStringLiteral("btnOk"), UiText(u8"ＯＫ"));
  QPushButton* help = NamedButton(this, QStringLiteral("btnHelp"), UiText(u8"ヘルプ"));
  ok->setDefault(true);  // Enter in the list
  ListAndButtons(this, list_, {onOff, add, del, ok, help});
  connect(onOff, &QPushButton::clicked, this, &TdlgBreakPoint::btnOnOffClick);
  connect(add, &QPushButton::clicked, this, &TdlgBreakPoint::btnAddClick);
  connect(del, &QPushButton::clicked, this, &TdlgBreakPoint::btnDeleteClick);
  connect(list_, &TReportList::deleteRequested, this, &TdlgBreakPoint::btnDeleteClick);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  connect(help, &QPushButton::clicked, this, &TDebugDialog::btnHelpClick);
}

void TdlgBreakPoint::Bind(debugger::ExecutionControl* core, TdlgAddBreakPoint* addDialog) {
  TDebugDialog::Bind(core);
  add_ = addDialog;
  if (add_) add_->Bind(core);
  Reload();
}

void TdlgBreakPoint::Reload() {
  QList<QStringList> rows;
  if (Core())
    for (const debugger::Breakpoint& b : Core()->Breakpoints().Rows())
      rows << QStringList{QString::fromStdString(b.AddressText()), FromCp932(b.label), QLatin1String(b.StateText())};
  FillReportList(list_, rows);
}

// The core repaints the disassembly pane and, through it, this list.
void TdlgBreakPoint::btnOnOffClick() {
  const int row = SelectedRow(list_);
  if (Core() && row >= 0) Core()->SwitchBreakpoint(row);
  Reload();
}

void TdlgBreakPoint::btnAddClick() {
  if (!add_) return;
  add_->exec();
  add_->hide();
  Reload();
}

void TdlgBreakPoint::btnDeleteClick() {
  const int row = SelectedRow(list_);
  if (Core() && row >= 0) Core()->DeleteBreakpoint(row);
  Reload();
}

void TdlgBreakPoint::showEvent(QShowEvent* event) {
  Reload();
  QDialog::showEvent(event);
}

}  // namespace tolvane::forms
