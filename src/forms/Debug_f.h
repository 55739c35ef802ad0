#pragma once
#include <QWidget>

class QPushButton;
class QTextEdit;

namespace tolvane::forms {

// The developer trace window (form `Debug`, caption "Debug Window"): a text box
// with Clear and OK. Created at start-up and hidden; nothing in the program
// shows it or writes to it except a developer's own trace calls.
class TDebug : public QWidget {
  Q_OBJECT
 public:
  explicit TDebug(QWidget* parent = nullptr);

  // Appends one line (a development aid).
  void Trace(const QString& line);

  QPushButton* btnClear() const { return clear_; }
  QPushButton* btnOk() const { return ok_; }
  QTextEdit* reditDebug() const { return text_; }

  void btnClearClick();
  void btnOkClick();

 private:
  QPushButton* clear_ = nullptr;
  QPushButton* ok_ = nullptr;
  QTextEdit* text_ = nullptr;
};

}  // namespace tolvane::forms
