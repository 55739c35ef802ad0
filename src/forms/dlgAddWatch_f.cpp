#include "forms/dlgAddWatch_f.h"

namespace tolvane::forms {

TdlgAddWatch::TdlgAddWatch(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("dlgAddWatch"));
  setWindowTitle(QString::fromUtf8(u8"ウォッチ式の追加"));
  setModal(true);
  resize(300, 160);
}

}  // namespace tolvane::forms
