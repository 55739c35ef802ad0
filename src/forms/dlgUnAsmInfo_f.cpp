#include "forms/dlgUnAsmInfo_f.h"

namespace tolvane::forms {

TdlgUnAsmInfo::TdlgUnAsmInfo(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("dlgUnAsmInfo"));
  setWindowTitle(QString::fromUtf8(u8"情報"));
  setModal(true);
  resize(300, 120);
}

}  // namespace tolvane::forms
