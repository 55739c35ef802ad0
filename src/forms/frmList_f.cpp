#include "forms/frmList_f.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QScreen>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTextBlock>
#include <QVBoxLayout>
#include <fstream>
#include <iterator>

#include "common/ChangeExtension.h"
#include "forms/AccessibleTabs.h"
#include "forms/DialogPort.h"
#include "forms/TextPane.h"
#include "forms/UiFonts.h"
#include "forms/Utf8.h"

namespace tolvane::forms {

namespace {

// The bare file name of a path given as file-system bytes.
QString BareName(const std::string& path) { return QFileInfo(PathFromBytes(path)).fileName(); }

}  // namespace

TListingEdit::TListingEdit(QWidget* parent) : QPlainTextEdit(parent) {
  // The text keeps a small distance from the frame.
  setViewportMargins(6, 2, 6, 2);
}

void TListingEdit::focusInEvent(QFocusEvent* event) {
  QPlainTextEdit::focusInEvent(event);
  emit caretMayHaveMoved();
}

void TListingEdit::mousePressEvent(QMouseEvent* event) {
  QPlainTextEdit::mousePressEvent(event);
  emit caretMayHaveMoved();
}

TfrmList::TfrmList(QWidget* parent) : TDockForm(2, parent) {
  setObjectName(QStringLiteral("frmList"));
  setWindowTitle(UiText(u8"リスティングファイル"));

  auto* body = new QWidget(this);
  auto* layout = new QVBoxLayout(body);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);

  pages_ = new QTabWidget(body);
  pages_->setObjectName(QStringLiteral("PageControl1"));
  ExposeOnlyShownTabs(pages_->tabBar());
  pages_->setTabPosition(QTabWidget::North);
  popup_ = new QMenu(this);
  popup_->setObjectName(QStringLiteral("pmnuList"));
  print_ = popup_->addAction(UiText(u8"印刷(&P)"));
  print_->setObjectName(QStringLiteral("pmnuPrint"));
  print_->setEnabled(false);
  selectAll_ = popup_->addAction(UiText(u8"全て選択(&L)"));
  selectAll_->setObjectName(QStringLiteral("pmnuSelectAll"));
  copy_ = popup_->addAction(UiText(u8"コピー(&C)"));
  copy_->setObjectName(QStringLiteral("pmnuCopy"));
  copy_->setEnabled(false);
  connect(print_, &QAction::triggered, this, &TfrmList::pmnuPrintClick);
  connect(selectAll_, &QAction::triggered, this, &TfrmList::pmnuSelectAllClick);
  connect(copy_, &QAction::triggered, this, &TfrmList::pmnuCopyClick);

  for (int k = 1; k <= kPages; ++k) {
    auto* sheet = new QWidget(pages_);
    sheet->setObjectName(QStringLiteral("TabSheet%1").arg(k));
    auto* sheetLayout = new QVBoxLayout(sheet);
    sheetLayout->setContentsMargins(0, 0, 0, 0);
    auto* edit = new TListingEdit(sheet);
    edit->setObjectName(QStringLiteral("reditList%1").arg(k));
    edit->setReadOnly(true);
    edit->setUndoRedoEnabled(false);
    edit->setLineWrapMode(QPlainTextEdit::NoWrap);
    edit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    edit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    edit->setFont(GothicPixels(16));
    edit->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    edit->setContextMenuPolicy(Qt::CustomContextMenu);
    edit->hide();
    sheetLayout->addWidget(edit);
    edits_[k - 1] = edit;
    pages_->addTab(sheet, QString());
    connect(edit, &TListingEdit::caretMayHaveMoved, this, [this, k] {
      if (k == active_) ShowCaretPosition();
    });
    connect(edit, &QPlainTextEdit::cursorPositionChanged, this, [this, k] {
      if (k == active_) ShowCaretPosition();
    });
    connect(edit, &QPlainTextEdit::selectionChanged, this, [this, k] {
      if (k == active_) ShowCaretPosition();
    });
    connect(edit, &QWidget::customContextMenuRequested, this, [this, edit](const QPoint& at) {
      pmnuListPopup();
      popup_->exec(edit->mapToGlobal(at));
    });
    SetListingTabStops(k);
  }
  layout->addWidget(pages_, 1);

  status_ = new QStatusBar(body);
  status_->setObjectName(QStringLiteral("StatusBar1"));
  status_->setSizeGripEnabled(false);
  panel0_ = new QLabel(status_);
  panel0_->setObjectName(QStringLiteral("StatusPanel0"));
  panel0_->setFixedWidth(200);
  panel1_ = new QLabel(status_);
  panel1_->setObjectName(QStringLiteral("StatusPanel1"));
  panel1_->setFixedWidth(50);
  status_->addWidget(panel0_);
  status_->addWidget(panel1_);
  layout->addWidget(status_);
  setWidget(body);

  HideAllTabs();
  connect(pages_, &QTabWidget::currentChanged, this, &TfrmList::PageChanged);
}

TfrmList::~TfrmList() = default;

TListingEdit* TfrmList::ListingControl(int k) const { return k >= 1 && k <= kPages ? edits_[k - 1] : nullptr; }

QString TfrmList::ListingPath(int k) const { return k >= 1 && k <= kPages ? paths_[k - 1] : QString(); }

void TfrmList::HideAllTabs() {
  for (int k = 1; k <= kPages; ++k) pages_->setTabVisible(k - 1, false);
  ShownTabsChanged(pages_->tabBar());
}

bool TfrmList::OpenListing(const std::string& sourcePath) {
  if (count_ >= kPages) return false;
  const std::string path = ChangeExtension(sourcePath, ".lst");
  // The same path bytes the assembler wrote the listing under.
  std::ifstream file(path, std::ios::binary);
  if (!file) return false;
  // The whole listing: a large build's error summary sits at its very end.
  std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  if (file.bad()) return false;
  QString text = FromCp932(bytes);
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  text.replace(QLatin1Char('\r'), QLatin1Char('\n'));

  const int k = ++count_;
  TListingEdit* edit = edits_[k - 1];
  SetListingTabStops(k);
  pages_->setTabVisible(k - 1, true);
  edit->show();
  edit->setPlainText(text);
  edit->document()->setModified(false);
  pages_->setTabText(k - 1, BareName(path));
  edit->setAccessibleName(UiText(u8"リスティングファイル: ") + BareName(path));
  ShownTabsChanged(pages_->tabBar());
  paths_[k - 1] = QFileInfo(PathFromBytes(path)).absoluteFilePath();
  pages_->setTabToolTip(k - 1, paths_[k - 1]);
  {
    // The front page is the first one, whichever was loaded.
    const QSignalBlocker block(pages_);
    pages_->setCurrentIndex(0);
  }
  active_ = 1;
  return true;
}

void TfrmList::CloseListings() {
  for (int k = count_; k >= 1; --k) {
    edits_[k - 1]->clear();
    edits_[k - 1]->hide();
    pages_->setTabText(k - 1, QString());
    pages_->setTabToolTip(k - 1, QString());
    paths_[k - 1].clear();
    pages_->setTabVisible(k - 1, false);
    edits_[k - 1]->setAccessibleName(QString());
  }
  ShownTabsChanged(pages_->tabBar());
  count_ = 0;
  active_ = 0;
  panel0_->clear();
}

void TfrmList::SetListingTabStops(int k) {
  TListingEdit* edit = ListingControl(k);
  if (!edit) return;
  // Listings align their columns on tab stops every eight character cells,
  // the same cells that the caret column counts.
  const bool modified = edit->document()->isModified();
  const QTextCursor cursor = edit->textCursor();
  edit->setTabStopDistance(8.0 * QFontMetricsF(edit->font()).horizontalAdvance(QLatin1Char(' ')));
  edit->setTextCursor(cursor);
  edit->document()->setModified(modified);
}

void TfrmList::SetListingFont(const QFont& font) {
  for (int k = 1; k <= kPages; ++k) {
    edits_[k - 1]->setFont(font);
    SetListingTabStops(k);
  }
}

void TfrmList::SetListingColors(const QColor& text, const QColor& background) {
  for (TListingEdit* edit : edits_) SetPaneColors(edit, text, background);
}

void TfrmList::ActivatePage(int k) {
  if (k < 1 || k > count_) return;
  pages_->setCurrentIndex(k - 1);
}

void TfrmList::PageChanged(int index) {
  if (count_ == 0) return;
  if (index >= count_) {
    // Ctrl+Tab and the wheel also step onto the hidden free pages; stay put.
    const QSignalBlocker block(pages_);
    pages_->setCurrentIndex(active_ >= 1 ? active_ - 1 : 0);
    return;
  }
  active_ = index + 1;
  TListingEdit* edit = edits_[index];
  edit->setFocus();
  edit->viewport()->update();
  ShowCaretPosition();
}

int TfrmList::CaretColumn(const QString& line, int chars) {
  std::string bytes;
  if (!ToCp932(line.left(chars), bytes)) bytes = ToCp932OrEmpty(line.left(chars));
  int column = 0;
  for (char c : bytes) column = c == '\t' ? (column / 8 + 1) * 8 : column + 1;
  return column + 1;
}

QString TfrmList::CaretPositionText() const {
  if (active_ == 0) return QString();
  const QTextCursor cursor = edits_[active_ - 1]->textCursor();
  const int line = cursor.blockNumber() + 1;
  const int column = CaretColumn(cursor.block().text(), cursor.positionInBlock());
  return QStringLiteral("%1: %2").arg(line).arg(column);
}

void TfrmList::ShowCaretPosition() { panel0_->setText(CaretPositionText()); }

void TfrmList::pmnuListPopup() {
  if (active_ != 0) copy_->setEnabled(edits_[active_ - 1]->textCursor().hasSelection());
}

void TfrmList::pmnuSelectAllClick() {
  if (active_ == 0) return;
  TListingEdit* edit = edits_[active_ - 1];
  edit->setFocus();
  edit->selectAll();
  if (edit->textCursor().hasSelection()) copy_->setEnabled(true);
}

void TfrmList::pmnuCopyClick() {
  if (active_ == 0) return;
  TListingEdit* edit = edits_[active_ - 1];
  QTextCursor cursor = edit->textCursor();
  if (!cursor.hasSelection()) return;
  edit->copy();
  cursor.setPosition(cursor.selectionStart());
  edit->setTextCursor(cursor);
  copy_->setEnabled(false);
}

void TfrmList::pmnuPrintClick() {
  emit printTargetChanged(2);
  emit printRequested();
}

void TfrmList::showEvent(QShowEvent* event) {
  QDockWidget::showEvent(event);
  if (edits_[0]->isVisible() && edits_[0]->focusPolicy() != Qt::NoFocus) edits_[0]->setFocus();
}

void TfrmList::resizeEvent(QResizeEvent* event) {
  QDockWidget::resizeEvent(event);
  if (active_ != 0) edits_[active_ - 1]->viewport()->update();
}

}  // namespace tolvane::forms
