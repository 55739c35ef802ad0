#include "forms/dlgMemoryDataChange_f.h"

namespace tolvane::forms {

TdlgMemoryDataChange::TdlgMemoryDataChange(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("dlgMemoryDataChange"));
  setWindowTitle(QString::fromUtf8(u8"メモリの変更"));
  setModal(true);
  resize(300, 120);
}

}  // namespace tolvane::forms
