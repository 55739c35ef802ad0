#include "forms/DockForm.h"

#include <QApplication>
#include <QLayout>
#include <QMainWindow>
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

QRect TDockForm::FloatingFrame(const QRect& frame, const QRect& work, const QSize& minimum, const QSize& margins,
                               const QSize& preferred) {
  const QSize wanted = preferred.isValid() ? preferred + margins
                                           : QSize(std::min(frame.width(), work.width() / 2),
                                                   std::min(frame.height(), work.height() / 2));
  const int width = std::max(wanted.width(), minimum.width() + margins.width());
  const int height = std::max(wanted.height(), minimum.height() + margins.height());
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
  // The contents are placed under the floating window's own title bar first,
  // so that FloatingSize can tell what the window adds around them.
  if (layout()) layout()->activate();
  const QRect frame = frameGeometry();
  const QSize margins = frame.size() - size();
  const QRect fitted = FloatingFrame(frame, screen->availableGeometry(), minimumSizeHint().expandedTo(minimumSize()),
                                     margins, FloatingSize());
  resize(fitted.size() - margins);
  move(fitted.topLeft());
}

void TDockForm::TopLevelChanged(bool floating) {
  if (!floating) {
    if (!beforeFloat_.isValid()) return;
    // The main window has laid its docking areas out without this window:
    // once it has placed it (it animates the window into its place), the
    // window takes its old share back.
    const QSize size = beforeFloat_;
    beforeFloat_ = QSize();
    auto* poll = new QTimer(this);
    poll->setInterval(50);
    connect(poll, &QTimer::timeout, this, [this, poll, size, last = QRect(), ticks = 0]() mutable {
      if (geometry() != last && ++ticks < 40) {
        last = geometry();
        return;
      }
      poll->stop();
      poll->deleteLater();
      TakeDockedSize(size);
      emit dockedAgain();
    });
    poll->start();
    return;
  }
  beforeFloat_ = docked_;
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

void TDockForm::TakeDockedSize(const QSize& size) {
  auto* main = qobject_cast<QMainWindow*>(parentWidget());
  if (!main || isFloating() || isHidden()) return;
  const Qt::DockWidgetArea area = main->dockWidgetArea(this);
  const Qt::Orientation orientation =
      area == Qt::LeftDockWidgetArea || area == Qt::RightDockWidgetArea ? Qt::Horizontal : Qt::Vertical;
  auto extent = [orientation](const QWidget* w) { return orientation == Qt::Horizontal ? w->width() : w->height(); };
  // The room comes from a window beside it (across the orientation's
  // splitter), which is given the rest: resizing one side alone leaves the
  // main window to share the difference as it likes.
  QList<QDockWidget*> docks{this};
  QList<int> sizes{orientation == Qt::Horizontal ? size.width() : size.height()};
  for (QDockWidget* other : main->findChildren<QDockWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
    // A page behind another one's tab counts as visible, but shows nothing.
    if (other == this || other->isFloating() || other->visibleRegion().isEmpty() || main->dockWidgetArea(other) == area)
      continue;
    const Qt::DockWidgetArea otherArea = main->dockWidgetArea(other);
    const bool across = orientation == Qt::Horizontal
                            ? otherArea == Qt::LeftDockWidgetArea || otherArea == Qt::RightDockWidgetArea
                            : otherArea != Qt::NoDockWidgetArea;
    if (!across) continue;
    docks << other;
    sizes << std::max(60, extent(this) + extent(other) - sizes.first());
    break;
  }
  main->resizeDocks(docks, sizes, orientation);
}

void TDockForm::resizeEvent(QResizeEvent* event) {
  QDockWidget::resizeEvent(event);
  if (!isFloating()) docked_ = size();
}

void TDockForm::moveEvent(QMoveEvent* event) {
  QDockWidget::moveEvent(event);
  // A floating window dragged with its top above the screen comes back to the top edge.
  if (!isFloating()) return;
  if (QScreen* screen = this->screen(); screen && y() < screen->availableGeometry().top())
    move(x(), screen->availableGeometry().top());
}

}  // namespace tolvane::forms
