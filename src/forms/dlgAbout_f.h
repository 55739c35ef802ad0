#pragma once
#include <QDialog>

class QLabel;
class QPushButton;

namespace tolvane::forms {

// The about box (form `dlgAbout`, caption "ﾊﾞｰｼﾞｮﾝ情報"): the product's picture,
// name and version, credits, release dates and a link. Created at start-up,
// shown modally and hidden again, never destroyed.
//
// The program has no maker's web page, so the link opens the local help index.
class TdlgAbout : public QDialog {
  Q_OBJECT
 public:
  explicit TdlgAbout(QWidget* parent = nullptr);

  QLabel* ProgramIcon() const { return icon_; }
  QLabel* ProductName() const { return name_; }
  QLabel* Label1() const { return version_; }
  QLabel* Comments() const { return comments_; }
  QLabel* StaticText1() const { return link_; }
  QPushButton* Button1() const { return ok_; }

  void Button1Click();
  void StaticText1Click();

 private:
  QLabel* icon_ = nullptr;
  QLabel* name_ = nullptr;
  QLabel* version_ = nullptr;
  QLabel* comments_ = nullptr;
  QLabel* link_ = nullptr;
  QPushButton* ok_ = nullptr;
};

}  // namespace tolvane::forms
