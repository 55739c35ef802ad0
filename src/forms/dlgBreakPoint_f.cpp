#include "forms/dlgBreakPoint_f.h"

#include <QPushButton>
#include <QTreeWidget>

#include "debugger/ExecutionControl.h"
#include "forms/DialogPort.h"
#include "forms/HelpTopic.h"
#include "forms/dlgAddBreakPoint_f.h"

namespace tolvane::forms {

namespace {
QString T(const char8_t* utf8) { return QString::fromUtf8(utf8); }
}  // namespace

TdlgBreakPoint::TdlgBreakPoint(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("dlgBreakPoint"));
  setWindowTitle(QStringLiteral("BreakPoint"));
  setModal(true);
  list_ = ReportList(this, QStringLiteral("lstvBreakPoint"), {T(u8"アドレス"), T(u8"ラベル"), T(u8"有効／無効")}, 90);
  QPushButton* onOff = NamedButton(this, QStringLiteral("btnOnOff"), T(u8"有効／無効"));
  QPushButton* add = NamedButton(this, QStringLiteral("btnAdd"), T(u8"追加..."));
  QPushButton* del = NamedButton(this, QStringLiteral("btnDelete"), T(u8"削除"));
  QPushButton* ok = NamedButton(this, QStringLiteral("btnOk"), T(u8"ＯＫ"));
  QPushButton* help = NamedButton(this, QStringLiteral("btnHelp"), T(u8"ヘルプ"));
  ListAndButtons(this, list_, {onOff, add, del, ok, help});
  connect(onOff, &QPushButton::clicked, this, &TdlgBreakPoint::btnOnOffClick);
  connect(add, &QPushButton::clicked, this, &TdlgBreakPoint::btnAddClick);
  connect(del, &QPushButton::clicked, this, &TdlgBreakPoint::btnDeleteClick);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  connect(help, &QPushButton::clicked, this, &TdlgBreakPoint::btnHelpClick);
}

void TdlgBreakPoint::Bind(debugger::ExecutionControl* core, TdlgAddBreakPoint* addDialog) {
  core_ = core;
  add_ = addDialog;
  if (add_) add_->Bind(core);
  Reload();
}

void TdlgBreakPoint::Reload() {
  QList<QStringList> rows;
  if (core_)
    for (const debugger::Breakpoint& b : core_->Breakpoints().Rows())
      rows << QStringList{QString::fromStdString(b.AddressText()), FromCp932(b.label), QLatin1String(b.StateText())};
  FillReportList(list_, rows);
}

// The core repaints the disassembly pane and, through it, this list.
void TdlgBreakPoint::btnOnOffClick() {
  const int row = SelectedRow(list_);
  if (core_ && row >= 0) core_->SwitchBreakpoint(row);
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
  if (core_ && row >= 0) core_->DeleteBreakpoint(row);
  Reload();
}

void TdlgBreakPoint::btnHelpClick() {
  OpenHelpTopic(parentWidget() ? parentWidget() : this, QStringLiteral("HID00000043.htm"));
}

void TdlgBreakPoint::showEvent(QShowEvent* event) {
  Reload();
  QDialog::showEvent(event);
}

}  // namespace tolvane::forms
