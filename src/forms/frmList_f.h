#pragma once
#include <QColor>
#include <QFont>
#include <QPlainTextEdit>
#include <string>

#include "forms/DockForm.h"

class QAction;
class QLabel;
class QMenu;
class QStatusBar;
class QTabWidget;

namespace tolvane::forms {

// One page's text control of the listing viewer: read-only plain text with a
// small inset, reporting focus and mouse presses so that the viewer can show
// the caret position.
class TListingEdit : public QPlainTextEdit {
  Q_OBJECT
 public:
  explicit TListingEdit(QWidget* parent = nullptr);
 signals:
  void caretMayHaveMoved();

 protected:
  void focusInEvent(QFocusEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
};

// The listing viewer (form `frmList`, caption "リスティングファイル"): the
// listings of the last assembly, one page per source file, at most ten.
class TfrmList : public TDockForm {
  Q_OBJECT
 public:
  static constexpr int kPages = 10;

  explicit TfrmList(QWidget* parent = nullptr);
  ~TfrmList() override;

  // Loads the listing of `sourcePath` (its ".lst" sibling; the path as the
  // assembler was given it, file-system bytes) into the next free page and puts
  // the first page in front. The listing's text is CP932. False (and nothing
  // changes) when all ten pages are taken or the listing cannot be read.
  bool OpenListing(const std::string& sourcePath);
  void CloseListings();

  int ListingCount() const { return count_; }
  // The page in front (1 ... 10), 0 when no listing is loaded.
  int ActiveListing() const { return active_; }
  // The text control of page k (1 ... 10), nullptr outside that range.
  TListingEdit* ListingControl(int k) const;
  // The full path of the listing file on page k (empty when none is loaded there).
  QString ListingPath(int k) const;
  // Tab stops every eight character cells of control k's current font, keeping
  // its text, caret, selection and modified flag.
  void SetListingTabStops(int k);
  // The font of every listing control (its tab stops follow), and the text and
  // background colour; an invalid colour stands for the system's own.
  void SetListingFont(const QFont& font);
  void SetListingColors(const QColor& text, const QColor& background);
  // Hides the tabs of all ten pages (start-up).
  void HideAllTabs();
  // Brings page k (1 ... count) to the front.
  void ActivatePage(int k);

  // "L: C" of the front control's caret (what the status panel shows).
  QString CaretPositionText() const;
  // The caret column rule shared with the editor: the first `chars` characters
  // of `line` in CP932 with tabs expanded to multiples of 8, plus 1.
  static int CaretColumn(const QString& line, int chars);

  QTabWidget* PageControl1() const { return pages_; }
  QStatusBar* StatusBar1() const { return status_; }
  QLabel* StatusPanel(int i) const { return i == 0 ? panel0_ : panel1_; }
  QMenu* pmnuList() const { return popup_; }
  QAction* pmnuPrint() const { return print_; }
  QAction* pmnuSelectAll() const { return selectAll_; }
  QAction* pmnuCopy() const { return copy_; }

  void pmnuListPopup();
  void pmnuSelectAllClick();
  void pmnuCopyClick();
  void pmnuPrintClick();

 signals:
  // Run the main window's print command (after printTargetChanged(2)).
  void printRequested();

 protected:
  void showEvent(QShowEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void ShowCaretPosition();
  void PageChanged(int index);

  QTabWidget* pages_ = nullptr;
  TListingEdit* edits_[kPages] = {};
  QStatusBar* status_ = nullptr;
  QLabel* panel0_ = nullptr;
  QLabel* panel1_ = nullptr;
  QMenu* popup_ = nullptr;
  QAction* print_ = nullptr;
  QAction* selectAll_ = nullptr;
  QAction* copy_ = nullptr;
  QString paths_[kPages];
  int count_ = 0;
  int active_ = 0;
};

}  // namespace tolvane::forms
