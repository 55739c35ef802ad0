#pragma once
#include <QPixmap>
#include <QWidget>

class QLabel;

namespace tolvane::forms {

// The product's picture (141 x 148), drawn once; the splash and the about box
// show it.
QPixmap ProductPicture();

// The splash window (form `frmSplash`): borderless, on top, centred on the
// screen, 354 x 263, shown while the main window is being created.
class TfrmSplash : public QWidget {
  Q_OBJECT
 public:
  explicit TfrmSplash(QWidget* parent = nullptr);
  // Centres the window on the screen's work area, shows it and lets the
  // window system paint it.
  void ShowCentred();

  QLabel* ProductName() const { return name_; }
  QLabel* Version() const { return version_; }

 private:
  QLabel* name_ = nullptr;
  QLabel* version_ = nullptr;
};

}  // namespace tolvane::forms
