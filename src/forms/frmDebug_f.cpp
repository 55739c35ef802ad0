#include "forms/frmDebug_f.h"

#include <QAction>
#include <QApplication>
#include <QGridLayout>
#include <QHeaderView>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSplitter>
#include <QStatusBar>
#include <QStyledItemDelegate>
#include <QToolTip>
#include <QVBoxLayout>
#include <algorithm>
#include <functional>

#include "common/TextRules.h"
#include "debugger/ExecutionControl.h"
#include "debugger/Formats.h"
#include "forms/AccessibleRows.h"
#include "forms/AsmHighlighter.h"
#include "forms/DebugPaneModels.h"
#include "forms/DialogPort.h"
#include "forms/LineGutter.h"
#include "forms/UiFonts.h"
#include "forms/Utf8.h"
#include "forms/dlgMemoryDataChange_f.h"
#include "forms/dlgRegisterDataChange_f.h"

namespace tolvane::forms {

using debugger::ExecutionControl;

namespace {

constexpr int kPaneFontPixels = 15;
constexpr int kUnAssembleRowHeight = 17;
constexpr int kMemoryRowHeight = 15;
constexpr int kMinimumPane = 50;
// How long the memory tooltip stays up, in milliseconds.
constexpr int kToolTipMillis = 100000;

// Draws a grid cell: the selected (or current) cell in the selected colour, a
// changed value on the changed colour, everything else black on white; the
// text 2 pixels right of and below the cell's corner.
class PaneDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    const auto* view = qobject_cast<const QAbstractItemView*>(option.widget);
    const bool current = view && view->currentIndex() == index;
    QColor ground = Qt::white;
    if ((option.state & QStyle::State_Selected) || current)
      ground = PaneSelectedColor();
    else if (index.data(kChangedRole).toBool())
      ground = PaneChangedColor();
    painter->fillRect(option.rect, ground);
    painter->setPen(Qt::black);
    painter->setFont(option.font);
    painter->drawText(option.rect.adjusted(2, 2, 0, 0), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                      index.data(Qt::DisplayRole).toString());
  }
};

// The fixed column 0 of a grid: a vertical header that draws its section's
// picture at the cell's left edge and 2 pixels down, or its text as the cells
// draw theirs, on the fixed colour.
class FixedColumnHeader : public QHeaderView {
 public:
  explicit FixedColumnHeader(QWidget* parent) : QHeaderView(Qt::Vertical, parent) {}

 protected:
  void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override {
    painter->fillRect(rect, PaneFixedColor());
    if (!model()) return;
    const QVariant picture = model()->headerData(logicalIndex, Qt::Vertical, Qt::DecorationRole);
    const QVariant marks = model()->headerData(logicalIndex, Qt::Vertical, kRowMarksRole);
    if (marks.isValid()) {
      // The mark column of the disassembly: the breakpoint's picture, and the
      // arrow of the next instruction over it.
      if (picture.canConvert<QPixmap>()) painter->drawPixmap(rect.x(), rect.y() + 2, picture.value<QPixmap>());
      if (marks.toUInt() & TUnAssembleModel::kPrMark) {
        // White over a sign, as the sign's own bar; else as the editor's.
        const bool overSign = marks.toUInt() & (TUnAssembleModel::kEnabledMark | TUnAssembleModel::kDisabledMark);
        static const QColor fill = SourceColours::Derive(Qt::black, Qt::white).currentLineMark;
        PaintCurrentLineArrow(*painter, QRectF(rect.x(), rect.y() + 2, 16, 16), overSign ? QColor(Qt::white) : fill,
                              QColor(Qt::black), overSign);
      }
      return;
    }
    if (picture.canConvert<QPixmap>() && !picture.value<QPixmap>().isNull()) {
      painter->drawPixmap(rect.x(), rect.y() + 2, picture.value<QPixmap>());
      return;
    }
    if (picture.isValid()) return;
    painter->setPen(Qt::black);
    painter->setFont(font());
    painter->drawText(rect.adjusted(2, 2, 0, 0), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                      model()->headerData(logicalIndex, Qt::Vertical, Qt::DisplayRole).toString());
  }
};

// A register field: borderless, read-only, with an arrow pointer.
QLineEdit* RegisterEdit(QWidget* parent, const QString& name, const QColor& color, int characters) {
  auto* e = new QLineEdit(parent);
  e->setObjectName(name);
  e->setReadOnly(true);
  e->setFrame(false);
  e->setCursor(Qt::ArrowCursor);
  e->setFont(GothicPixels(kPaneFontPixels));
  e->setContextMenuPolicy(Qt::NoContextMenu);  // the pane's menu instead
  QPalette p = e->palette();
  p.setColor(QPalette::Text, color);
  p.setColor(QPalette::Base, Qt::white);
  e->setPalette(p);
  const QFontMetrics fm(e->font());
  e->setFixedWidth(fm.horizontalAdvance(QString(characters, QLatin1Char('0'))) + 8);
  return e;
}

const QColor kHexColor(0, 0, 0);
const QColor kBinaryColor(0, 128, 0);
const QColor kLogicalColor(0, 0, 255);
const QColor kArithmeticColor(128, 0, 128);

// A splitter between two panes that keeps the first pane at its own size (the
// starting one, then wherever the user drags the handle) whenever the window
// has the room, and otherwise takes from the first what the second needs to
// show all its columns, but never what the first needs itself: where there is
// not room for both, the second pane scrolls. A plain splitter only scales its
// panes as the window grows and shrinks, so that a window made small once
// (floated, or docked into a narrow panel) kept the squeezed widths after it
// grew again.
class PaneSplitter : public QSplitter {
 public:
  PaneSplitter(Qt::Orientation orientation, QWidget* parent, const QString& name, int handle, int first)
      : QSplitter(orientation, parent), first_(first) {
    setObjectName(name);
    setHandleWidth(handle);
    setChildrenCollapsible(false);
    connect(this, &QSplitter::splitterMoved, this, [this](int position) { first_ = position; });
  }
  // What each pane needs (at least kMinimumPane).
  void SetFirstNeeds(std::function<int()> needs) { firstNeeds_ = std::move(needs); }
  void SetSecondNeeds(std::function<int()> needs) { secondNeeds_ = std::move(needs); }
  int FirstSize() const { return first_; }

  void Apply() {
    if (count() != 2) return;
    const int total = (orientation() == Qt::Horizontal ? width() : height()) - handleWidth();
    if (total < 2 * kMinimumPane) return;
    const int second = std::max(kMinimumPane, secondNeeds_ ? secondNeeds_() : 0);
    int first = std::min(first_, total - second);
    if (firstNeeds_) first = std::max(first, std::min(first_, firstNeeds_()));
    first = std::clamp(first, kMinimumPane, total - kMinimumPane);
    if (sizes() != QList<int>{first, total - first}) setSizes({first, total - first});
  }

 protected:
  void resizeEvent(QResizeEvent* event) override {
    QSplitter::resizeEvent(event);
    Apply();
  }

 private:
  int first_;
  std::function<int()> firstNeeds_;
  std::function<int()> secondNeeds_;
};

}  // namespace

// ---------------------------------------------------------------------------
// TPaneGrid

TPaneGrid::TPaneGrid(QWidget* parent) : QTableView(parent) {
  setVerticalHeader(new FixedColumnHeader(this));
  horizontalHeader()->hide();
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  verticalHeader()->setMinimumSectionSize(1);
  verticalHeader()->setSectionsClickable(false);
  verticalHeader()->setHighlightSections(false);
  horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  horizontalHeader()->setMinimumSectionSize(1);
  setShowGrid(false);
  setWordWrap(false);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setSelectionBehavior(QAbstractItemView::SelectItems);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
  setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
  setItemDelegate(new PaneDelegate(this));
  setFont(GothicPixels(kPaneFontPixels));
  verticalHeader()->setFont(font());
  QPalette p = palette();
  p.setColor(QPalette::Base, Qt::white);
  p.setColor(QPalette::Text, Qt::black);
  setPalette(p);
  verticalHeader()->viewport()->installEventFilter(this);
  ExposeRowsInView(this);
}

void TPaneGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
  // Past the table view, whose notice names the cell by its index among all
  // the table's cells.
  QAbstractItemView::currentChanged(current, previous);
  RowsInViewCurrentChanged(this, current);
}

void TPaneGrid::selectionChanged(const QItemSelection& selected, const QItemSelection& deselected) {
  // The current row is the selection: its focus notice says it.
  QAbstractItemView::selectionChanged(selected, deselected);
}

void TPaneGrid::SetFixedColumnWidth(int width) { verticalHeader()->setFixedWidth(width); }

void TPaneGrid::SetRowHeight(int height) { verticalHeader()->setDefaultSectionSize(height); }

int TPaneGrid::TopRow() const {
  const int row = rowAt(0);
  return row < 0 ? 0 : row;
}

int TPaneGrid::LastRefreshRow() const {
  const int height = std::max(1, verticalHeader()->defaultSectionSize());
  const int fullyVisible = std::max(1, viewport()->height() / height);
  return TopRow() + fullyVisible - 1 + 2;
}

void TPaneGrid::SelectCell(int row, int column, bool scroll) {
  if (!model()) return;
  const QModelIndex index = model()->index(row, column);
  if (!index.isValid()) return;
  // The grid's own scrolling would move sideways too.
  const bool autoScrolling = hasAutoScroll();
  setAutoScroll(false);
  selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
  setAutoScroll(autoScrolling);
  if (scroll) {
    // As little as needed, but with a few rows of context on either side, so
    // that the row does not land on the edge of the view.
    const int visible = VisibleRows();
    const int context = ContextRows();
    const int top = verticalScrollBar()->value();
    if (row < top + context)
      verticalScrollBar()->setValue(std::max(0, row - context));
    else if (row > top + visible - 1 - context)
      verticalScrollBar()->setValue(row - visible + 1 + context);
  }
}

int TPaneGrid::VisibleRows() const {
  return std::max(1, viewport()->height() / std::max(1, verticalHeader()->defaultSectionSize()));
}

int TPaneGrid::ContextRows() const { return std::clamp((VisibleRows() - 1) / 2, 0, kContextRows); }

void TPaneGrid::RecordCell(const QPoint& viewportPos) {
  const QModelIndex index = indexAt(viewportPos);
  mouseRow_ = index.isValid() ? index.row() : -1;
  mouseColumn_ = index.isValid() ? index.column() : -1;
}

void TPaneGrid::mousePressEvent(QMouseEvent* event) {
  RecordCell(event->position().toPoint());
  // Only the left button moves the current cell; the right one opens the
  // pane's menu where the selection is.
  if (event->button() != Qt::LeftButton) return;
  QTableView::mousePressEvent(event);
}

void TPaneGrid::mouseReleaseEvent(QMouseEvent* event) {
  RecordCell(event->position().toPoint());
  QTableView::mouseReleaseEvent(event);
}

void TPaneGrid::mouseDoubleClickEvent(QMouseEvent* event) {
  RecordCell(event->position().toPoint());
  if (event->button() == Qt::LeftButton && mouseRow_ >= 0) emit cellDoubleClicked(mouseRow_, mouseColumn_, false);
}

bool TPaneGrid::eventFilter(QObject* watched, QEvent* event) {
  if (watched == verticalHeader()->viewport()) {
    // The fixed column: a press records it (no row, as the fixed cells have
    // none to select), a double-click reports it.
    if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonRelease ||
        event->type() == QEvent::MouseButtonDblClick) {
      const auto* me = static_cast<QMouseEvent*>(event);
      mouseRow_ = verticalHeader()->logicalIndexAt(me->position().toPoint());
      mouseColumn_ = -1;
      if (event->type() == QEvent::MouseButtonDblClick && mouseRow_ >= 0) emit cellDoubleClicked(mouseRow_, -1, true);
    }
  }
  return QTableView::eventFilter(watched, event);
}

void TPaneGrid::resizeEvent(QResizeEvent* event) {
  QTableView::resizeEvent(event);
  emit resized();
}

// ---------------------------------------------------------------------------
// TfrmDebug

TfrmDebug::TfrmDebug(QWidget* parent) : TDockForm(4, parent) {
  setObjectName(QStringLiteral("frmDebug"));
  setWindowTitle(UiText(u8"デバッグウインドウ"));
  auto* body = new QWidget(this);
  body->setObjectName(QStringLiteral("frmDebugBody"));
  auto* layout = new QVBoxLayout(body);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  panel1_ = new QWidget(body);
  panel1_->setObjectName(QStringLiteral("Panel1"));
  panel1_->hide();
  layout->addWidget(panel1_, 1);
  statusBar_ = new QStatusBar(body);
  statusBar_->setObjectName(QStringLiteral("StatusBar1"));
  statusBar_->setSizeGripEnabled(false);
  statusLabel_ = new QLabel(statusBar_);
  statusLabel_->setObjectName(QStringLiteral("StatusBar1Text"));
  // A screen reader reads the label's text as its name (and hears it change);
  // a name of its own would hide the text.
  statusLabel_->setAccessibleDescription(UiText(u8"デバッグの状態"));
  // A long status text is cut at the window's edge: it must not hold the
  // window (and the debug panel of the main window) at its own width.
  statusLabel_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  statusBar_->addWidget(statusLabel_, 1);
  layout->addWidget(statusBar_, 0);
  setWidget(body);

  BuildPanes();
  BuildMenus();
  resize(930, 510 + statusBar_->sizeHint().height());

  // Tooltips are on; the memory grid gives its own (see eventFilter).
  memory_->viewport()->installEventFilter(this);
}

TfrmDebug::~TfrmDebug() = default;

void TfrmDebug::BuildPanes() {
  auto* outer = new QVBoxLayout(panel1_);
  outer->setContentsMargins(0, 0, 0, 0);
  // The left column 510 wide, the upper panes 321 high; the rest fills.
  auto* splitter1 = new PaneSplitter(Qt::Horizontal, panel1_, QStringLiteral("Splitter1"), 4, 510);
  outer->addWidget(splitter1);

  auto* panel2 = new QWidget(splitter1);
  panel2->setObjectName(QStringLiteral("Panel2"));
  auto* left = new QVBoxLayout(panel2);
  left->setContentsMargins(0, 0, 0, 0);
  auto* splitter2 = new PaneSplitter(Qt::Vertical, panel2, QStringLiteral("Splitter2"), 3, 321);
  left->addWidget(splitter2);

  auto* right = new QWidget(splitter1);
  right->setObjectName(QStringLiteral("Panel3"));
  auto* rightLayout = new QVBoxLayout(right);
  rightLayout->setContentsMargins(0, 0, 0, 0);
  auto* splitter3 = new PaneSplitter(Qt::Vertical, right, QStringLiteral("Splitter3"), 3, 321);
  rightLayout->addWidget(splitter3);

  // A pane in its panel, at least 50 pixels each way so that no splitter can
  // squeeze it away.
  auto pane = [](QSplitter* splitter, const QString& panelName, QWidget* content) {
    auto* panel = new QWidget(splitter);
    panel->setObjectName(panelName);
    panel->setMinimumSize(kMinimumPane, kMinimumPane);
    auto* l = new QVBoxLayout(panel);
    l->setContentsMargins(0, 0, 0, 0);
    content->setParent(panel);
    l->addWidget(content);
    return panel;
  };

  // Disassembly: the mark column (20 pixels, fixed) and the text column of 1000.
  unAssemble_ = new TPaneGrid;
  unAssemble_->setObjectName(QStringLiteral("sgrdUnAssemblePane"));
  unAssemble_->setAccessibleName(UiText(u8"逆アセンブル"));
  unAssembleModel_ = new TUnAssembleModel(this);
  unAssemble_->setModel(unAssembleModel_);
  unAssemble_->SetFixedColumnWidth(20);
  unAssemble_->SetRowHeight(kUnAssembleRowHeight);
  unAssemble_->setColumnWidth(0, 1000);
  pane(splitter2, QStringLiteral("Panel4"), unAssemble_);

  // Memory dump: widths follow the screen's pixels per logical inch.
  memory_ = new TPaneGrid;
  memory_->setObjectName(QStringLiteral("sgrdMemoryDumpPane"));
  memory_->setAccessibleName(UiText(u8"メモリダンプ"));
  memoryModel_ = new TMemoryDumpModel(this);
  memory_->setModel(memoryModel_);
  const qreal dpi = screen() ? screen()->logicalDotsPerInchX() : 96.0;
  memory_->SetFixedColumnWidth(static_cast<int>(dpi * 50 / 96));
  for (int c = 0; c < TMemoryDumpModel::kWordColumns; ++c) {
    memory_->setColumnWidth(c, static_cast<int>(dpi * 40 / 96));
    memory_->setColumnWidth(c + TMemoryDumpModel::kWordColumns, static_cast<int>(dpi * 14 / 96));
  }
  memory_->SetRowHeight(kMemoryRowHeight);
  pane(splitter2, QStringLiteral("Panel5"), memory_);

  // Registers. Their fields have fixed widths: a pane narrower than the
  // fields scrolls instead of drawing them over each other.
  panel6_ = new QWidget;
  panel6_->setObjectName(QStringLiteral("Panel6"));
  panel6_->setAutoFillBackground(true);
  QPalette white = panel6_->palette();
  white.setColor(QPalette::Window, Qt::white);
  panel6_->setPalette(white);
  BuildRegisterPane();
  auto* registerScroller = new QScrollArea(splitter3);
  registerScroller->setObjectName(QStringLiteral("Panel6Scroller"));
  registerScroller->setFrameShape(QFrame::NoFrame);
  registerScroller->setWidgetResizable(true);
  registerScroller->setPalette(white);
  registerScroller->setWidget(panel6_);
  registerScroller->setMinimumSize(kMinimumPane, kMinimumPane);
  splitter3->addWidget(registerScroller);

  // Watches.
  watches_ = new QTableView;
  watches_->setObjectName(QStringLiteral("lstvWatchPane"));
  watches_->setAccessibleName(UiText(u8"ウォッチ"));
  watchModel_ = new TWatchPaneModel(this);
  watches_->setModel(watchModel_);
  watches_->setFont(GothicPixels(kPaneFontPixels));
  watches_->verticalHeader()->hide();
  watches_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  watches_->verticalHeader()->setDefaultSectionSize(QFontMetrics(watches_->font()).height() + 4);
  watches_->setShowGrid(false);
  watches_->setWordWrap(false);
  watches_->setSelectionBehavior(QAbstractItemView::SelectRows);
  watches_->setSelectionMode(QAbstractItemView::SingleSelection);
  watches_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  watches_->horizontalHeader()->setSectionsClickable(false);
  watches_->horizontalHeader()->setHighlightSections(false);
  const int widths[] = {76, 90, 60, 60, 60};
  for (int c = 0; c < 5; ++c) watches_->setColumnWidth(c, widths[c]);
  // The character column takes the rest of the pane. Stretched, it never
  // shrinks below the width it had before: that is its caption's width, not
  // the header's default, which would push it out of a narrow pane.
  watches_->setColumnWidth(5, watches_->horizontalHeader()->sectionSizeHint(5));
  watches_->horizontalHeader()->setStretchLastSection(true);
  pane(splitter3, QStringLiteral("Panel7"), watches_);

  for (QSplitter* splitter :
       {static_cast<QSplitter*>(splitter1), static_cast<QSplitter*>(splitter2), static_cast<QSplitter*>(splitter3)}) {
    splitter->setStretchFactor(0, 0);
    splitter->setStretchFactor(1, 1);
  }
  splitter1->setSizes({510, 416});
  splitter2->setSizes({321, 186});
  splitter3->setSizes({321, 186});
  // The right column is given what its widest pane needs, so that no register
  // field and no watch column is cut while the window has room for them; but
  // the disassembly keeps room for its instructions (on a small screen the
  // registers scroll sideways instead).
  splitter1->SetSecondNeeds([this] { return RightColumnWidth(); });
  splitter1->SetFirstNeeds([this] { return LeftColumnWidth(); });

  // Resizing the disassembly pane refills it and gives the grid the focus;
  // resizing the memory pane refills it.
  connect(unAssemble_, &TPaneGrid::resized, this, [this] {
    if (!panel1_->isVisible()) return;
    FillVisibleDisassembly();
    unAssemble_->setFocus();
  });
  connect(memory_, &TPaneGrid::resized, this, [this] { RefreshVisibleMemory(); });
  connect(unAssemble_, &TPaneGrid::cellDoubleClicked, this, [this](int, int, bool fixed) {
    if (!fixed) sgrdUnAssemblePaneDblClick();
  });
  connect(memory_, &TPaneGrid::cellDoubleClicked, this, [this] { sgrdMemoryDumpPaneDblClick(); });
}

int TfrmDebug::RightColumnWidth() const {
  const int registers = panel6_->minimumSizeHint().width();
  const QHeaderView* header = watches_->horizontalHeader();
  const int last = watchModel_->columnCount() - 1;
  int columns = header->sectionSizeHint(last);  // the last column takes the rest: room for its caption
  for (int c = 0; c < last; ++c) columns += header->sectionSize(c);
  const int scrollBar = watches_->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, watches_);
  return std::max(registers, columns + scrollBar + 2 * watches_->frameWidth());
}

int TfrmDebug::LeftColumnWidth() const {
  // A long row: address, code words, label, mnemonic, and an operand with
  // both registers and an address.
  const int text = QFontMetrics(unAssemble_->font())
                       .horizontalAdvance(QStringLiteral("0000  0000 0000  LABEL123 SUBL    GR0,#0000,GR0"));
  const int scrollBar = unAssemble_->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, unAssemble_);
  return unAssemble_->verticalHeader()->minimumWidth() + text + 4 + scrollBar + 2 * unAssemble_->frameWidth();
}

int TfrmDebug::NeededWidth() const {
  const auto* columns = findChild<QSplitter*>(QStringLiteral("Splitter1"));
  const int handle = columns ? columns->handleWidth() : 0;
  return LeftColumnWidth() + handle + RightColumnWidth() + (width() - widget()->width());
}

QSize TfrmDebug::FloatingSize() const {
  // The client area with the window's own title bar.
  return QSize(930, 510) + (size() - widget()->size());
}

void TfrmDebug::BuildRegisterPane() {
  auto* grid = new QGridLayout(panel6_);
  grid->setContentsMargins(6, 4, 6, 4);
  grid->setHorizontalSpacing(6);
  grid->setVerticalSpacing(1);
  // Headings, 13 pixels high, in the colours of their fields.
  const struct {
    const char8_t* text;
    QColor color;
  } headings[] = {
      {u8"16進数", kHexColor}, {u8"2進数", kBinaryColor}, {u8"論理値", kLogicalColor}, {u8"算術値", kArithmeticColor}};
  for (int c = 0; c < 4; ++c) {
    auto* l = new QLabel(UiText(headings[c].text), panel6_);
    l->setFont(GothicPixels(12));
    l->setFixedHeight(13);
    QPalette p = l->palette();
    p.setColor(QPalette::WindowText, headings[c].color);
    l->setPalette(p);
    grid->addWidget(l, 0, c + 1);
  }
  auto name = [this, grid](const QString& text, int row, QLineEdit* buddy) {
    auto* l = new QLabel(text, panel6_);
    QFont bold = GothicPixels(kPaneFontPixels);
    bold.setBold(true);
    l->setFont(bold);
    l->setBuddy(buddy);
    grid->addWidget(l, row, 0);
  };
  auto keep = [this](QLineEdit* e) {
    fields_.insert(e->objectName(), e);
    fieldNames_.insert(e, e->objectName());
    e->installEventFilter(this);
    return e;
  };
  const QString kZero = QStringLiteral("0000");
  for (int i = 0; i < 8; ++i) {
    const QString gr = QStringLiteral("GR%1").arg(i);
    const QString base = QStringLiteral("edit") + gr;
    QLineEdit* hex = keep(RegisterEdit(panel6_, base, kHexColor, 4));
    QLineEdit* bin = keep(RegisterEdit(panel6_, base + QStringLiteral("AsBinary"), kBinaryColor, 20));
    QLineEdit* log = keep(RegisterEdit(panel6_, base + QStringLiteral("AsLDecimal"), kLogicalColor, 5));
    QLineEdit* ari = keep(RegisterEdit(panel6_, base + QStringLiteral("AsADecimal"), kArithmeticColor, 6));
    // What a screen reader says for each field: the register and the notation.
    for (int c = 0; c < 4; ++c)
      QList<QLineEdit*>{hex, bin, log, ari}[c]->setAccessibleName(gr + QLatin1Char(' ') + UiText(headings[c].text));
    hex->setText(kZero);
    bin->setText(QString::fromLatin1(debugger::kRegisterBinaryInitial));
    log->setText(kZero);
    ari->setText(kZero);
    name(gr, i + 1, hex);
    grid->addWidget(hex, i + 1, 1);
    grid->addWidget(bin, i + 1, 2);
    grid->addWidget(log, i + 1, 3);
    grid->addWidget(ari, i + 1, 4);
  }
  const struct {
    const char* reg;
    int row;
  } others[] = {{"PR", 9}, {"SP", 10}};
  for (const auto& o : others) {
    QLineEdit* e = keep(RegisterEdit(panel6_, QStringLiteral("edit") + QLatin1String(o.reg), kHexColor, 4));
    e->setAccessibleName(QLatin1String(o.reg));
    e->setText(kZero);
    name(QLatin1String(o.reg), o.row, e);
    grid->addWidget(e, o.row, 1);
  }
  QLineEdit* fr = keep(RegisterEdit(panel6_, QStringLiteral("editFR"), kHexColor, 32));
  fr->setAccessibleName(QStringLiteral("FR"));
  fr->setMinimumWidth(fr->width());
  fr->setMaximumWidth(QWIDGETSIZE_MAX);
  fr->setText(kZero);
  name(QStringLiteral("FR"), 11, fr);
  grid->addWidget(fr, 11, 1, 1, 4);
  grid->setColumnStretch(5, 1);
  grid->setRowStretch(12, 1);
}

QMenu* TfrmDebug::AddMenu(QWidget* pane, const QString& name) {
  auto* menu = new QMenu(this);
  menu->setObjectName(name);
  menus_.insert(name, menu);
  pane->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(pane, &QWidget::customContextMenuRequested, this, [pane, menu](const QPoint& pos) {
    const auto* scroller = qobject_cast<QAbstractScrollArea*>(pane);
    menu->popup((scroller ? scroller->viewport() : pane)->mapToGlobal(pos));
  });
  return menu;
}

QAction* TfrmDebug::AddItem(QMenu* menu, const QString& name, const char8_t* caption) {
  QAction* a = menu->addAction(UiText(caption));
  a->setObjectName(name);
  items_.insert(name, a);
  return a;
}

void TfrmDebug::BuildMenus() {
  const char8_t* const kJumpAddress = u8"アドレスを指定してジャンプ(&A)";
  const char8_t* const kPrint = u8"デバッグウインドウの印刷(&P)";
  QMenu* un = AddMenu(unAssemble_, QStringLiteral("pmnuUnAssemblePane"));
  connect(AddItem(un, QStringLiteral("pmnuUnAssemblePaneJumpAddress"), kJumpAddress), &QAction::triggered, this,
          &TfrmDebug::pmnuUnAssemblePaneJumpAddressClick);
  connect(AddItem(un, QStringLiteral("pmnuUnAssemblePaneJumpLabel"), u8"ラベルを指定してジャンプ(&L)"),
          &QAction::triggered, this, &TfrmDebug::pmnuUnAssemblePaneJumpLabelClick);
  // Back to the next instruction after the user has looked elsewhere; its
  // key works anywhere in the window.
  QAction* jumpPr = AddItem(un, QStringLiteral("pmnuUnAssemblePaneJumpPr"), u8"PRの行へジャンプ(&R)");
  jumpPr->setShortcut(QKeySequence(QStringLiteral("Ctrl+J")));
  jumpPr->setShortcutContext(Qt::WidgetWithChildrenShortcut);
  addAction(jumpPr);
  connect(jumpPr, &QAction::triggered, this, &TfrmDebug::pmnuUnAssemblePaneJumpPrClick);
  connect(AddItem(un, QStringLiteral("pmnuDebugWindowPrintFromUnAsm"), kPrint), &QAction::triggered, this,
          &TfrmDebug::pmnuDebugWindowPrintClick);

  QMenu* mem = AddMenu(memory_, QStringLiteral("pmnuMemoryDumpPane"));
  connect(AddItem(mem, QStringLiteral("pmnuMemoryDumpPaneJumpAddress"), kJumpAddress), &QAction::triggered, this,
          &TfrmDebug::pmnuMemoryDumpPaneJumpAddressClick);
  connect(AddItem(mem, QStringLiteral("pmnuDebugWindowPrintFromMem"), kPrint), &QAction::triggered, this,
          &TfrmDebug::pmnuDebugWindowPrintClick);

  QMenu* reg = AddMenu(panel6_, QStringLiteral("pmnuRegistorPane"));
  connect(AddItem(reg, QStringLiteral("pmnuDebugWindowPrintFromReg"), kPrint), &QAction::triggered, this,
          &TfrmDebug::pmnuDebugWindowPrintClick);

  QMenu* watch = AddMenu(watches_, QStringLiteral("pmnuWatchPane"));
  connect(AddItem(watch, QStringLiteral("pmnuWatch"), u8"ウォッチ式の追加...(&W)"), &QAction::triggered, this,
          &TfrmDebug::watchRequested);
  connect(AddItem(watch, QStringLiteral("pmnuDebugWindowPrintFromWatch"), kPrint), &QAction::triggered, this,
          &TfrmDebug::pmnuDebugWindowPrintClick);

  // The jumps and the watch item wait for a program.
  SetJumpPopupsEnabled(false);
  SetWatchPopupEnabled(false);
}

QMenu* TfrmDebug::PaneMenu(const QString& name) const { return menus_.value(name); }
QAction* TfrmDebug::PaneItem(const QString& name) const { return items_.value(name); }

const QPixmap& TfrmDebug::imgStop() { return StopMark(); }
const QPixmap& TfrmDebug::imgPause() { return PauseMark(); }
const QPixmap& TfrmDebug::imgClear() { return ClearMark(); }

void TfrmDebug::Bind(ExecutionControl* core) {
  core_ = core;
  unAssembleModel_->Bind(core);
  memoryModel_->Bind(core);
  watchModel_->Bind(core);
  if (core) DisassemblyRebuilt(core->Disassembly().RowCount(), false);
}

void TfrmDebug::SetEditDialogs(TdlgMemoryDataChange* memory, TdlgRegisterDataChange* registers) {
  memoryDialog_ = memory;
  registerDialog_ = registers;
}

// ---- status line and popups ----

void TfrmDebug::SetStatusText(const QString& text) {
  statusLabel_->setText(text);
  // The status changes with every change of state: the end of the program
  // takes the PR mark away.
  UpdatePrMark();
}
QString TfrmDebug::StatusText() const { return statusLabel_->text(); }

void TfrmDebug::SetJumpPopupsEnabled(bool on) {
  for (const char* n : {"pmnuUnAssemblePaneJumpAddress", "pmnuUnAssemblePaneJumpLabel", "pmnuUnAssemblePaneJumpPr",
                        "pmnuMemoryDumpPaneJumpAddress"})
    items_.value(QLatin1String(n))->setEnabled(on);
  UpdatePrMark();
}

void TfrmDebug::SetWatchPopupEnabled(bool on) { items_.value(QStringLiteral("pmnuWatch"))->setEnabled(on); }

void TfrmDebug::ShellReset() {
  SetStatusText(QString());
  SetJumpPopupsEnabled(false);
  SetWatchPopupEnabled(false);
}

// ---- what the core tells ----

void TfrmDebug::ShowPanes(const debugger::PanesChanged& change) {
  using debugger::Focus;
  using debugger::Pane;
  const Focus& focus = change.focus;
  const bool row = focus.kind != Focus::Kind::None && focus.pane == Pane::Disassembly;
  const bool cell = focus.kind != Focus::Kind::None && focus.pane == Pane::Memory;
  if (change.rebuilt && core_) DisassemblyRebuilt(core_->Disassembly().RowCount(), change.scrollToTop);
  if (change.which.Has(Pane::Breakpoints)) BreakpointsChanged();
  if (row) {
    switch (focus.kind) {
      case Focus::Kind::Start:
        // Near the top, the rows before it showing what led there.
        ScrollDisassemblyRowToTop(focus.row);
        SelectDisassemblyRow(focus.row);
        break;
      case Focus::Kind::PrMoved:
        // The user may be looking elsewhere: the view stays.
        MarkDisassemblyRow(focus.row);
        break;
      default:
        // From row 0, a target by address comes into view from the top.
        if (change.fromStart) SelectDisassemblyRow(0);
        SelectDisassemblyRow(focus.row);
        break;
    }
  }
  if (change.which.Has(Pane::Registers)) RefreshRegisters();
  if (change.which.Has(Pane::Watches)) RefreshWatches();
  if (change.which.Has(Pane::Disassembly) && !change.rebuilt) FillVisibleDisassembly();
  if (cell && focus.kind == Focus::Kind::Start) {
    ResetMemoryDump(focus.address);
  } else {
    if (change.which.Has(Pane::Memory)) RefreshMemoryDump();
    if (cell) {
      if (change.fromStart) SelectMemoryCell(0);
      SelectMemoryCell(focus.address);
    }
  }
  if (change.which.Has(Pane::ChangeMarks)) ChangeMarksReset();
}

// ---- disassembly ----

void TfrmDebug::DisassemblyRebuilt(int rows, bool scrollToTop) {
  if (scrollToTop) unAssemble_->verticalScrollBar()->setValue(0);
  unAssembleModel_->SetRowCount(rows);
  unAssemble_->updateGeometries();
  FillVisibleDisassembly();
  UpdatePrMark();  // the rows before PR may have changed length
}

void TfrmDebug::ScrollDisassemblyRowToTop(int row) {
  unAssemble_->updateGeometries();
  // Near the top: the rows before it show what led there.
  unAssemble_->verticalScrollBar()->setValue(std::max(0, row - unAssemble_->ContextRows()));
}

void TfrmDebug::SelectDisassemblyRow(int row) {
  unAssemble_->SelectCell(row, 0, true);
  unAssemble_->setFocus();
}

void TfrmDebug::MarkDisassemblyRow(int row) { unAssemble_->SelectCell(row, 0, false); }

int TfrmDebug::CurrentDisassemblyRow() const {
  const QModelIndex i = unAssemble_->currentIndex();
  return i.isValid() ? i.row() : -1;
}

int TfrmDebug::PrRow() const { return unAssembleModel_->PrRow(); }

void TfrmDebug::UpdatePrMark() {
  int row = -1;
  if (core_ && core_->DebuggingActive()) row = core_->FindRowOfAddress(core_->Panes().ShownRegister(CCpu::kPR));
  unAssembleModel_->SetPrRow(row);
}

void TfrmDebug::pmnuUnAssemblePaneJumpPrClick() {
  UpdatePrMark();
  if (PrRow() >= 0) SelectDisassemblyRow(PrRow());
}

void TfrmDebug::FillVisibleDisassembly() {
  unAssembleModel_->RowsChanged(unAssemble_->TopRow(), unAssemble_->LastRefreshRow(), false);
}

void TfrmDebug::BreakpointsChanged() {
  unAssembleModel_->RowsChanged(unAssemble_->TopRow(), unAssemble_->LastRefreshRow(), true);
  unAssemble_->verticalHeader()->viewport()->update();
  emit breakpointsChanged();
}

// ---- memory dump ----

void TfrmDebug::RefreshVisibleMemory() { memoryModel_->RowsChanged(memory_->TopRow(), memory_->LastRefreshRow()); }

void TfrmDebug::RefreshMemoryDump() { RefreshVisibleMemory(); }

void TfrmDebug::ResetMemoryDump(Word startAddress) {
  memory_->verticalScrollBar()->setValue(0);
  RefreshVisibleMemory();
  memory_->updateGeometries();
  memory_->verticalScrollBar()->setValue(startAddress / 8);
  SelectMemoryCell(startAddress);
}

void TfrmDebug::SelectMemoryCell(Word address) {
  memory_->updateGeometries();
  const QModelIndex index = memoryModel_->index(address / 8, address % 8);
  memory_->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
  memory_->setFocus();
}

// ---- registers and watches ----

void TfrmDebug::RefreshRegisters() {
  if (!core_) return;
  const debugger::PaneState& panes = core_->Panes();
  // A field is only told a text it does not show yet: laying out a line of
  // text is what a refresh costs.
  auto set = [this](const QString& name, const QString& text) {
    QLineEdit* e = fields_.value(name);
    if (e->text() != text) e->setText(text);
  };
  auto latin = [](const std::string& s) { return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size())); };
  for (int i = 0; i < 8; ++i) {
    const Word v = panes.ShownRegister(CCpu::kGR0 + i);
    const QString base = QStringLiteral("editGR%1").arg(i);
    set(base, latin(Hex4(v)));
    set(base + QStringLiteral("AsBinary"), latin(debugger::RegisterBinaryText(v)));
    set(base + QStringLiteral("AsLDecimal"), latin(debugger::RegisterLogicalText(v)));
    set(base + QStringLiteral("AsADecimal"), latin(debugger::RegisterArithmeticText(v)));
  }
  set(QStringLiteral("editPR"), latin(Hex4(panes.ShownRegister(CCpu::kPR))));
  set(QStringLiteral("editSP"), latin(Hex4(panes.ShownRegister(CCpu::kSP))));
  set(QStringLiteral("editFR"), FromCp932(debugger::FlagText(panes.ShownRegister(CCpu::kFR))));
  RepaintRegisterMarks();
  UpdatePrMark();
}

void TfrmDebug::RepaintRegisterMarks() {
  for (auto it = fields_.constBegin(); it != fields_.constEnd(); ++it) {
    const QString& name = it.key();
    int index = -1;
    if (name.startsWith(QStringLiteral("editGR")))
      index = CCpu::kGR0 + name.at(6).digitValue();
    else if (name == QStringLiteral("editPR"))
      index = CCpu::kPR;
    else if (name == QStringLiteral("editSP"))
      index = CCpu::kSP;
    else if (name == QStringLiteral("editFR"))
      index = CCpu::kFR;
    const bool changed = core_ && index >= 0 && core_->Panes().RegisterChanged(index);
    QLineEdit* e = it.value();
    const QColor ground = changed ? PaneChangedColor() : QColor(Qt::white);
    if (e->palette().color(QPalette::Base) != ground) {
      QPalette p = e->palette();
      p.setColor(QPalette::Base, ground);
      e->setPalette(p);
      e->setAccessibleDescription(changed ? UiText(u8"変更あり") : QString());
    }
  }
}

void TfrmDebug::RefreshWatches() { RefreshVisibleWatches(); }

void TfrmDebug::RefreshVisibleWatches() {
  const int top = std::max(0, watches_->rowAt(0));
  const int bottom = watches_->rowAt(watches_->viewport()->height() - 1);
  watchModel_->Refresh(top, bottom < 0 ? watchModel_->rowCount() - 1 : bottom);
}

void TfrmDebug::ChangeMarksReset() {
  RepaintRegisterMarks();
  RefreshVisibleMemory();
  RefreshVisibleWatches();
}

// ---- double-clicks ----

void TfrmDebug::sgrdUnAssemblePaneDblClick() {
  if (!core_ || unAssemble_->MouseColumn() < 0) return;
  const int row = CurrentDisassemblyRow();
  if (row < 0 || row >= core_->Disassembly().RowCount()) return;
  // The core repaints the marks through BreakpointsChanged.
  core_->ToggleBreakpointAt(core_->Disassembly().Row(row).address);
}

void TfrmDebug::sgrdMemoryDumpPaneDblClick() {
  if (!core_ || !core_->DebuggingActive() || !memoryDialog_) return;
  const int column = memory_->MouseColumn();
  const int row = memory_->MouseRow();
  if (row < 0 || !TMemoryDumpModel::IsWordColumn(column)) return;
  const Word address = TMemoryDumpModel::AddressOf(row, column);
  auto latin = [](const std::string& s) { return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size())); };
  memoryDialog_->Open(latin(Hex4(address)), latin(Hex4(core_->Mem()[address])));
}

void TfrmDebug::RegisterDblClick(const QString& fieldName) {
  if (!core_ || !core_->DebuggingActive() || !registerDialog_) return;
  if (fieldName.startsWith(QStringLiteral("editGR"))) {
    const QString gr = fieldName.mid(4, 3);
    registerDialog_->Open(gr, fields_.value(QStringLiteral("edit") + gr)->text());
    RefreshRegisters();
  } else if (fieldName == QStringLiteral("editPR") || fieldName == QStringLiteral("editSP")) {
    registerDialog_->Open(fieldName.mid(4), fields_.value(fieldName)->text());
  } else if (fieldName == QStringLiteral("editFR")) {
    const std::string bits = debugger::FlagBitsText(core_->Panes().ShownRegister(CCpu::kFR));
    registerDialog_->Open(QStringLiteral("FR"), QString::fromLatin1(bits.c_str()));
  }
}

// ---- pane menus ----

namespace {

// Asks for a jump target until the core takes it, the user cancels, or there is
// nothing to jump to.
void AskAndJump(QWidget* owner, ExecutionControl* core, ExecutionControl::JumpKind kind, const QString& caption,
                const QString& prompt) {
  if (!core) return;
  for (;;) {
    QString text;
    if (!Dialogs().GetText(owner, caption, prompt, text)) return;
    const std::string typed = TypedCp932(text);
    const debugger::Entry e = debugger::ReadJumpEntry(kind, typed, core->Symbols());
    const debugger::Refusal why = e.Ok() ? core->Jump(kind, e.address) : e.refusal;
    if (why == debugger::Refusal::None) return;
    const debugger::RefusalBox box = debugger::Explain(why, typed);
    Dialogs().ShowMessageBox(box.kind, box.text, BoxButtons::Ok);
    if (why != debugger::Refusal::InvalidJumpText) return;
  }
}

}  // namespace

void TfrmDebug::pmnuUnAssemblePaneJumpAddressClick() {
  AskAndJump(this, core_, ExecutionControl::JumpKind::DisassemblyAddress, UiText(u8"指定行へジャンプ"),
             UiText(u8"アドレスを１６進数で入力してください"));
}

void TfrmDebug::pmnuUnAssemblePaneJumpLabelClick() {
  AskAndJump(this, core_, ExecutionControl::JumpKind::DisassemblyLabel, UiText(u8"指定行へジャンプ"),
             UiText(u8"ラベル名を入力してください"));
}

void TfrmDebug::pmnuMemoryDumpPaneJumpAddressClick() {
  AskAndJump(this, core_, ExecutionControl::JumpKind::MemoryAddress, UiText(u8"指定アドレスへジャンプ"),
             UiText(u8"アドレスを１６進数で入力してください"));
}

void TfrmDebug::pmnuDebugWindowPrintClick() {
  emit printTargetChanged(4);
  emit printRequested();
}

// ---- events ----

bool TfrmDebug::eventFilter(QObject* watched, QEvent* event) {
  if (watched == memory_->viewport() && event->type() == QEvent::ToolTip) {
    // A word cell shows its five-line tooltip for as long as the mouse stays
    // in the cell; elsewhere the grid shows none.
    auto* help = static_cast<QHelpEvent*>(event);
    const QModelIndex index = memory_->indexAt(help->pos());
    const QString text = memoryModel_->ToolTipText(index);
    if (text.isEmpty()) {
      QToolTip::hideText();
      event->ignore();
    } else {
      QToolTip::showText(help->globalPos(), text, memory_->viewport(), memory_->visualRect(index), kToolTipMillis);
    }
    return true;
  }
  if (event->type() == QEvent::MouseButtonDblClick) {
    if (auto* field = qobject_cast<QLineEdit*>(watched); field && fieldNames_.contains(field)) {
      RegisterDblClick(fieldNames_.value(field));
      return true;  // no word selection in a field
    }
  }
  return TDockForm::eventFilter(watched, event);
}

}  // namespace tolvane::forms
