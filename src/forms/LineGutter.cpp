#include "forms/LineGutter.h"

#include <QCoreApplication>
#include <QEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>
#include <QTextBlock>
#include <QWheelEvent>
#include <algorithm>

#include "forms/AsmHighlighter.h"
#include "forms/Utf8.h"
#include "forms/frmEditor_f.h"

namespace tolvane::forms {

namespace {

// The marks of one line live in its block, so that they follow the text.
class LineMarks : public QTextBlockUserData {
 public:
  unsigned marks = 0;
};

unsigned MarksOf(const QTextBlock& block) {
  const auto* data = dynamic_cast<const LineMarks*>(block.userData());
  return data ? data->marks : 0;
}

// Room between the numbers and the text's inset, and before the numbers.
constexpr int kPadRight = 6;
constexpr int kPadLeft = 4;
// At least this many digits wide, so that the text does not move while a
// short file grows.
constexpr int kMinDigits = 3;

}  // namespace

LineGutter::LineGutter(EditorControl* editor) : QWidget(editor), editor_(editor) {
  setObjectName(QStringLiteral("LineGutter"));
  setAccessibleName(QString::fromUtf8("\xE8\xA1\x8C\xE7\x95\xAA\xE5\x8F\xB7"));  // "行番号"
  SetColours(SourceColours::Derive(QColor(), QColor()));
  connect(editor_, &QPlainTextEdit::blockCountChanged, this, &LineGutter::UpdateWidth);
  connect(editor_, &QPlainTextEdit::updateRequest, this, &LineGutter::OnUpdateRequest);
  connect(editor_, &QPlainTextEdit::cursorPositionChanged, this, qOverload<>(&QWidget::update));
  editor_->installEventFilter(this);
  UpdateWidth();
  show();
}

LineGutter* LineGutter::Of(const QPlainTextEdit* editor) {
  return editor ? editor->findChild<LineGutter*>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
}

int LineGutter::GutterWidth() const {
  const QFontMetrics metrics(editor_->font());
  int digits = 1;
  for (int count = std::max(1, editor_->blockCount()); count >= 10; count /= 10) ++digits;
  digits = std::max(digits, kMinDigits);
  const int marks = markColumn_ ? metrics.height() : 0;
  return marks + kPadLeft + digits * metrics.horizontalAdvance(QLatin1Char('9')) + kPadRight;
}

void LineGutter::UpdateWidth() {
  const int width = GutterWidth();
  if (width != width_) {
    width_ = width;
    editor_->SetGutterWidth(width_);
  }
  UpdateGeometry();
}

void LineGutter::UpdateGeometry() {
  const QRect contents = editor_->contentsRect();
  const QRect viewport = editor_->viewport()->geometry();
  // Down to the bottom of the text's inset; the inset after the gutter is
  // painted in the page's colour.
  setGeometry(contents.left(), contents.top(), width_ + EditorControl::kInsetX,
              viewport.bottom() + EditorControl::kInsetY - contents.top() + 1);
  update();
}

int LineGutter::ViewportTop() const { return editor_->viewport()->geometry().top() - geometry().top(); }

void LineGutter::OnUpdateRequest(const QRect& rect, int dy) {
  if (dy != 0) {
    scroll(0, dy);
  } else {
    update(0, rect.y() + ViewportTop(), width(), rect.height());
  }
  if (rect.contains(editor_->viewport()->rect())) UpdateWidth();
}

bool LineGutter::eventFilter(QObject* watched, QEvent* event) {
  if (watched == editor_) {
    if (event->type() == QEvent::Resize) UpdateGeometry();
    if (event->type() == QEvent::FontChange) UpdateWidth();
  }
  return QWidget::eventFilter(watched, event);
}

void LineGutter::SetColours(const SourceColours& colours) {
  background_ = colours.gutterBackground;
  numbers_ = colours.gutterText;
  currentNumber_ = colours.text;
  breakpoint_ = colours.breakpointMark;
  disabledBreakpoint_ = colours.disabledBreakpointMark;
  currentLine_ = colours.currentLineMark;
  textBackground_ = colours.background;
  update();
}

void LineGutter::SetMarkColumnVisible(bool visible) {
  if (markColumn_ == visible) return;
  markColumn_ = visible;
  UpdateWidth();
}

QTextBlock LineGutter::BlockOfLine(int line) const {
  return line >= 1 ? editor_->document()->findBlockByNumber(line - 1) : QTextBlock();
}

void LineGutter::SetMarks(int line, unsigned marks) {
  QTextBlock block = BlockOfLine(line);
  if (!block.isValid()) return;
  auto* data = dynamic_cast<LineMarks*>(block.userData());
  if (!data) {
    if (marks == 0) return;
    data = new LineMarks;
    block.setUserData(data);
  }
  data->marks = marks;
  update();
  MarksChanged();
}

unsigned LineGutter::Marks(int line) const { return MarksOf(BlockOfLine(line)); }

void LineGutter::ClearMarks(unsigned mask) {
  for (QTextBlock block = editor_->document()->begin(); block.isValid(); block = block.next()) {
    if (auto* data = dynamic_cast<LineMarks*>(block.userData())) data->marks &= ~mask;
  }
  update();
  MarksChanged();
}

void LineGutter::MarksChanged() {
  // Told once the marks have settled: a step takes the current line's mark
  // off and puts it on again, and the breakpoints come one line at a time.
  if (describePending_) return;
  describePending_ = true;
  QMetaObject::invokeMethod(
      this,
      [this] {
        describePending_ = false;
        setAccessibleDescription(MarksDescription());
      },
      Qt::QueuedConnection);
}

QString LineGutter::MarksDescription() const {
  // What a screen reader says about the column: the lines of each kind of mark.
  const struct {
    unsigned mark;
    const char8_t* words;
  } kinds[] = {{CurrentLineMark, u8"実行中の行"},
               {BreakpointMark, u8"ブレークポイント"},
               {DisabledBreakpointMark, u8"無効なブレークポイント"}};
  QStringList parts;
  for (const auto& kind : kinds) {
    const QList<int> lines = MarkedLines(kind.mark);
    if (lines.isEmpty()) continue;
    QStringList numbers;
    for (int line : lines) numbers << QString::number(line);
    parts << UiText(kind.words) + QLatin1Char(' ') + numbers.join(QLatin1Char(','));
  }
  return parts.join(QStringLiteral("; "));
}

QList<int> LineGutter::MarkedLines(unsigned mask) const {
  QList<int> lines;
  for (QTextBlock block = editor_->document()->begin(); block.isValid(); block = block.next()) {
    if (MarksOf(block) & mask) lines.append(block.blockNumber() + 1);
  }
  return lines;
}

int LineGutter::LineAt(int y) const {
  const int inViewport = y - ViewportTop();
  const QTextBlock block = editor_->cursorForPosition(QPoint(0, inViewport)).block();
  if (!block.isValid()) return 0;
  const QRect row = editor_->cursorRect(QTextCursor(block));
  return inViewport >= row.top() && inViewport <= row.bottom() ? block.blockNumber() + 1 : 0;
}

void LineGutter::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
  const int line = LineAt(event->position().toPoint().y());
  if (line > 0) emit clicked(line);
  event->accept();
}

void LineGutter::wheelEvent(QWheelEvent* event) {
  // The gutter scrolls with the text.
  QCoreApplication::sendEvent(editor_->viewport(), event);
}

void PaintBreakpointSign(QPainter& painter, const QRectF& cell, const QColor& colour, bool barred) {
  const qreal side = cell.width();
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, true);
  painter.setPen(Qt::NoPen);
  painter.setBrush(colour);
  painter.drawEllipse(cell.adjusted(side * 0.1, side * 0.1, -side * 0.1, -side * 0.1));
  if (barred) {
    painter.setBrush(Qt::white);
    painter.drawRect(QRectF(cell.left() + side * 0.22, cell.center().y() - side * 0.07, side * 0.56, side * 0.14));
  }
  painter.restore();
}

void PaintCurrentLineArrow(QPainter& painter, const QRectF& cell, const QColor& fill, const QColor& outline,
                           bool overSign) {
  const qreal side = cell.width();
  const QRectF a = overSign ? cell.adjusted(side * 0.22, side * 0.26, -side * 0.1, -side * 0.26)
                            : cell.adjusted(side * 0.1, side * 0.2, -side * 0.1, -side * 0.2);
  QPainterPath arrow;
  arrow.moveTo(a.left(), a.top() + a.height() * 0.3);
  arrow.lineTo(a.center().x(), a.top() + a.height() * 0.3);
  arrow.lineTo(a.center().x(), a.top());
  arrow.lineTo(a.right(), a.center().y());
  arrow.lineTo(a.center().x(), a.bottom());
  arrow.lineTo(a.center().x(), a.top() + a.height() * 0.7);
  arrow.lineTo(a.left(), a.top() + a.height() * 0.7);
  arrow.closeSubpath();
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, true);
  painter.setPen(QPen(outline, 1.0));
  painter.setBrush(fill);
  painter.drawPath(arrow);
  painter.restore();
}

void LineGutter::PaintMarks(QPainter& painter, const QRect& row, unsigned marks) const {
  const int side = std::min(row.height(), QFontMetrics(editor_->font()).height());
  const QRectF cell(kPadLeft / 2.0, row.top() + (row.height() - side) / 2.0, side, side);
  if (marks & BreakpointMark) {
    PaintBreakpointSign(painter, cell, breakpoint_, false);
  } else if (marks & DisabledBreakpointMark) {
    PaintBreakpointSign(painter, cell, disabledBreakpoint_, true);
  }
  if (marks & CurrentLineMark) {
    // Over a sign the arrow is white, as the signs' own bar, so that it reads
    // on the disc whatever its colour.
    const bool overSign = marks & (BreakpointMark | DisabledBreakpointMark);
    PaintCurrentLineArrow(painter, cell, overSign ? QColor(Qt::white) : currentLine_, numbers_, overSign);
  }
}

void LineGutter::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  painter.fillRect(event->rect(), background_);
  painter.fillRect(QRect(width_, 0, width() - width_, height()), textBackground_);
  painter.setFont(editor_->font());
  const int top = ViewportTop();
  const int bottom = editor_->viewport()->height();
  const int current = editor_->textCursor().blockNumber();
  for (QTextBlock block = editor_->cursorForPosition(QPoint(0, 0)).block(); block.isValid(); block = block.next()) {
    if (!block.isVisible()) continue;
    const QRect line = editor_->cursorRect(QTextCursor(block));
    if (line.top() > bottom) break;
    const QRect row(0, line.top() + top, width_, line.height());
    if (row.bottom() < event->rect().top() || row.top() > event->rect().bottom()) continue;
    if (markColumn_) {
      if (const unsigned marks = MarksOf(block)) PaintMarks(painter, row, marks);
    }
    painter.setPen(block.blockNumber() == current ? currentNumber_ : numbers_);
    painter.drawText(row.adjusted(0, 0, -kPadRight, 0), Qt::AlignRight | Qt::AlignTop,
                     QString::number(block.blockNumber() + 1));
  }
}

}  // namespace tolvane::forms
