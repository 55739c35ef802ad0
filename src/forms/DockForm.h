#pragma once
#include <QDockWidget>
#include <QRect>

namespace tolvane::forms {

// What every window docked into the main window shares:
//  - losing the focus to a widget outside it makes it the print target
//    (printTargetChanged with its number; windows that print nothing pass 0
//    and never send it);
//  - floating, it stays on the screen: a window dragged with its top above the
//    screen comes back to the top edge, and a window that starts floating is
//    given a size that fits the screen instead of keeping its docked size.
class TDockForm : public QDockWidget {
  Q_OBJECT
 public:
  explicit TDockForm(int printTarget, QWidget* parent = nullptr);
  ~TDockForm() override;

  int PrintTarget() const { return printTarget_; }

  // Where a window that starts floating goes: `frame` (its frame as it came out
  // of its docking area) shrunk to at most half the work area's width and
  // height but never below `minimum`, then moved so that the whole frame lies
  // inside `work`. `margins` is the frame's extra size (title bar and borders).
  static QRect FloatingFrame(const QRect& frame, const QRect& work, const QSize& minimum, const QSize& margins);

  // Gives a floating window its floating size and keeps it on the screen; does
  // nothing when docked. Run when the window starts floating, once the mouse
  // button that dragged it out is released.
  void FitFloatingWindow();

 signals:
  // The main window's printTarget becomes `target`.
  void printTargetChanged(int target);

 protected:
  void moveEvent(QMoveEvent* event) override;

 private:
  void FocusChanged(QWidget* old, QWidget* now);
  void TopLevelChanged(bool floating);

  int printTarget_;
};

}  // namespace tolvane::forms
