#include "forms/DockForm.h"

#include <QApplication>
#include <QScreen>
#include <QTimer>
#include <algorithm>

namespace tolvane::forms {

TDockForm::TDockForm(int printTarget, QWidget* parent) : QDockWidget(parent), printTarget_(printTarget) {
  if (printTarget_ != 0) connect(qApp, &QApplication::focusChanged, this, &TDockForm::FocusChanged);
  connect(this, &QDockWidget::topLevelChanged, this, &TDockForm::TopLevelChanged);
}

TDockForm::~TDockForm() {
  // The widgets inside go after this part of the window is gone, and the
  // focus moves as they go: nothing the application signals may reach the
  // window from then on.
  disconnect(qApp, nullptr, this, nullptr);
}

void TDockForm::FocusChanged(QWidget* old, QWidget* now) {
  if (old && isAncestorOf(old) && !(now && isAncestorOf(now))) emit printTargetChanged(printTarget_);
}

QRect TDockForm::FloatingFrame(const QRect& frame, const QRect& work, const QSize& minimum, const QSize& margins) {
  const int width = std::max(std::min(frame.width(), work.width() / 2), minimum.width() + margins.width());
  const int height = std::max(std::min(frame.height(), work.height() / 2), minimum.height() + margins.height());
  QRect fitted(frame.topLeft(), QSize(std::min(width, work.width()), std::min(height, work.height())));
  // The whole frame, title bar included, on the work area.
  if (fitted.right() > work.right()) fitted.moveRight(work.right());
  if (fitted.bottom() > work.bottom()) fitted.moveBottom(work.bottom());
  if (fitted.left() < work.left()) fitted.moveLeft(work.left());
  if (fitted.top() < work.top()) fitted.moveTop(work.top());
  return fitted;
}

void TDockForm::FitFloatingWindow() {
  if (!isFloating()) return;
  QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
  if (!screen) return;
  const QRect frame = frameGeometry();
  const QSize margins = frame.size() - size();
  const QRect fitted =
      FloatingFrame(frame, screen->availableGeometry(), minimumSizeHint().expandedTo(minimumSize()), margins);
  resize(fitted.size() - margins);
  move(fitted.topLeft());
}

void TDockForm::TopLevelChanged(bool floating) {
  if (!floating) return;
  // While the mouse still drags the window out, its size stays as Qt keeps it
  // under the pointer; the window is fitted once the button is released.
  auto* poll = new QTimer(this);
  poll->setInterval(50);
  connect(poll, &QTimer::timeout, this, [this, poll] {
    if (QGuiApplication::mouseButtons() != Qt::NoButton) return;
    poll->stop();
    poll->deleteLater();
    FitFloatingWindow();
  });
  poll->start();
}

void TDockForm::moveEvent(QMoveEvent* event) {
  QDockWidget::moveEvent(event);
  // A floating window dragged with its top above the screen comes back to the top edge.
  if (!isFloating()) return;
  if (QScreen* screen = this->screen(); screen && y() < screen->availableGeometry().top())
    move(x(), screen->availableGeometry().top());
}

}  // namespace tolvane::forms
