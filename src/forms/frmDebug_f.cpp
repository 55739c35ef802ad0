#include "forms/frmDebug_f.h"

#include <QApplication>
#include <QVBoxLayout>

namespace tolvane::forms {

TfrmDebug::TfrmDebug(QWidget* parent) : QDockWidget(parent) {
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

  // Losing the focus makes the debug window the print target.
  connect(qApp, &QApplication::focusChanged, this, [this](QWidget* old, QWidget* now) {
    if (old && isAncestorOf(old) && !(now && isAncestorOf(now))) emit printTargetChanged(4);
  });
}

}  // namespace tolvane::forms
