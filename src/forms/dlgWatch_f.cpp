#include "forms/dlgWatch_f.h"

namespace tolvane::forms {

TdlgWatch::TdlgWatch(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("dlgWatch"));
  setWindowTitle(QString::fromUtf8(u8"Watch"));
  setModal(true);
  resize(400, 260);
}

}  // namespace tolvane::forms
