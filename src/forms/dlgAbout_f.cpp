#include "forms/dlgAbout_f.h"

namespace tolvane::forms {

TdlgAbout::TdlgAbout(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("dlgAbout"));
  setWindowTitle(QString::fromUtf8(u8"ﾊﾞｰｼﾞｮﾝ情報"));
  setModal(true);
  resize(363, 188);
}

}  // namespace tolvane::forms
