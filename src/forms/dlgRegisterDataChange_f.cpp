#include "forms/dlgRegisterDataChange_f.h"

namespace tolvane::forms {

TdlgRegisterDataChange::TdlgRegisterDataChange(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("dlgRegisterDataChange"));
  setWindowTitle(QString::fromUtf8(u8"レジスタの変更"));
  setModal(true);
  resize(300, 120);
}

}  // namespace tolvane::forms
