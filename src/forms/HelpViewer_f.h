#pragma once
#include <QPointer>
#include <QUrl>
#include <QWidget>

class QAction;
class QTextBrowser;

namespace tolvane::forms {

// The help viewer (form `frmHelp`): the help pages shown inside the program,
// so that help works on a machine without a browser. Back, forward and home
// (the index) as in a browser; links between the pages are followed, links to
// the web go to the desktop's browser.
//
// One viewer serves the whole application. Help asked for while a modal dialog
// is open is shown as a window of that dialog, so that both stay usable; when
// the dialog closes the viewer stays open on its own.
class THelpViewer : public QWidget {
  Q_OBJECT
 public:
  // The application's viewer, created on first use.
  static THelpViewer& Instance();

  // Shows `file` (an absolute path of a help page) and brings the viewer to
  // the front, beside the modal dialog that is open, if any.
  // `fragment` names a place in the page ("editor" for "windows.html#editor").
  void ShowPage(const QString& file, const QString& fragment = QString());

  QTextBrowser* Browser() const { return browser_; }
  QAction* actBack() const { return back_; }
  QAction* actForward() const { return forward_; }
  QAction* actHome() const { return home_; }
  // The page shown.
  QUrl Source() const;

  void Home();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;  // Escape closes the viewer, as it closes a dialog

 private:
  explicit THelpViewer(QWidget* parent = nullptr);
  void AttachTo(QWidget* dialog);
  void UpdateTitle();

  QTextBrowser* browser_ = nullptr;
  QAction* back_ = nullptr;
  QAction* forward_ = nullptr;
  QAction* home_ = nullptr;
  QPointer<QWidget> dialog_;  // the modal dialog the viewer belongs to for now
};

}  // namespace tolvane::forms
