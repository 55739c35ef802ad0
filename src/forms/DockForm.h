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
//    given a size that fits the screen instead of keeping its docked size (its
//    own floating size, when it has one);
//  - docked again, it gets back the size it had in its docking area before it
//    floated (the other windows have taken its room meanwhile).
class TDockForm : public QDockWidget {
  Q_OBJECT
 public:
  explicit TDockForm(int printTarget, QWidget* parent = nullptr);
  ~TDockForm() override;

  int PrintTarget() const { return printTarget_; }

  // Where a window that starts floating goes: `frame` (its frame as it came out
  // of its docking area) shrunk to at most half the work area's width and
  // height, or given the size `preferred` (plus the margins) when that is
  // valid, but never below `minimum` nor beyond the work area; then moved so
  // that the whole frame lies inside `work`. `margins` is the frame's extra
  // size (title bar and borders).
  static QRect FloatingFrame(const QRect& frame, const QRect& work, const QSize& minimum, const QSize& margins,
                             const QSize& preferred = QSize());

  // Gives a floating window its floating size and keeps it on the screen; does
  // nothing when docked. Run when the window starts floating, once the mouse
  // button that dragged it out is released.
  void FitFloatingWindow();

 signals:
  // The main window's printTarget becomes `target`.
  void printTargetChanged(int target);
  // Docked again after floating, the window has taken back its old size.
  void dockedAgain();

 protected:
  // The window's size (without the window system's frame) when it starts
  // floating; invalid (the default): what it had docked, at most half the
  // screen.
  virtual QSize FloatingSize() const { return QSize(); }
  void moveEvent(QMoveEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void FocusChanged(QWidget* old, QWidget* now);
  void TopLevelChanged(bool floating);
  // Docked: takes `size` across its docking area's splitter.
  void TakeDockedSize(const QSize& size);

  int printTarget_;
  QSize docked_;       // the size while docked, as last seen
  QSize beforeFloat_;  // the docked size when it started floating
};

}  // namespace tolvane::forms
