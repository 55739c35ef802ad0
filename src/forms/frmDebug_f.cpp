#include "forms/frmDebug_f.h"

#include <QApplication>
#include <QVBoxLayout>

namespace tolvane::forms {

TfrmDebug::TfrmDebug(QWidget* parent) : TDockForm(4, parent) {
  setObjectName(QStringLiteral("frmDebug"));
  setWindowTitle(QString::fromUtf8(u8"デバッグウインドウ"));
  auto* body = new QWidget(this);
  auto* layout = new QVBoxLayout(body);
  layout->setContentsMargins(0, 0, 0, 0);
  panel1_ = new QWidget(body);
  panel1_->setObjectName(QStringLiteral("Panel1"));
  panel1_->hide();
  layout->addWidget(panel1_, 1);
  setWidget(body);
}

}  // namespace tolvane::forms
