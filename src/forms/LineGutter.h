#pragma once
// The column left of a source page's text: line numbers, and room for marks
// on single lines (a breakpoint, the line being executed).
#include <QColor>
#include <QWidget>

class QPainter;
class QPlainTextEdit;
class QRectF;
class QTextBlock;

namespace tolvane::forms {

class EditorControl;
struct SourceColours;

// The signs of a line's marks, drawn alike in a source page's gutter and in
// the disassembly's mark column, into the square `cell`.
// A breakpoint: a disc in `colour`, with a white bar across it when `barred`.
void PaintBreakpointSign(QPainter& painter, const QRectF& cell, const QColor& colour, bool barred);
// The line the program stands at: an arrow pointing at the text, filled with
// `fill` and outlined in `outline`. Over a breakpoint sign (`overSign`) it is
// drawn smaller, so that the sign shows all round it.
void PaintCurrentLineArrow(QPainter& painter, const QRectF& cell, const QColor& fill, const QColor& outline,
                           bool overSign);

class LineGutter : public QWidget {
  Q_OBJECT
 public:
  // Marks of one line, any combination.
  enum Mark : unsigned {
    NoMark = 0,
    BreakpointMark = 1u << 0,
    CurrentLineMark = 1u << 1,
    DisabledBreakpointMark = 1u << 2,  // a disc in olive with a white bar across
  };

  // Attaches itself to `editor` (as its child) and makes room for itself.
  explicit LineGutter(EditorControl* editor);

  // Lines count from 1. Marks belong to the text: they move with their line
  // as lines are inserted or removed above it, and travel with the document
  // when it moves to another page. A line that is removed takes its marks
  // with it.
  void SetMarks(int line, unsigned marks);
  unsigned Marks(int line) const;
  // Takes the marks in `mask` off every line.
  void ClearMarks(unsigned mask);
  // The lines that carry any mark of `mask`, in order.
  QList<int> MarkedLines(unsigned mask) const;

  // The column that draws the marks, left of the numbers (off at first).
  void SetMarkColumnVisible(bool visible);
  bool MarkColumnVisible() const { return markColumn_; }

  void SetColours(const SourceColours& colours);

  // Width of the gutter itself (without the text's inset after it).
  int GutterWidth() const;
  // The line whose row holds the gutter's y coordinate, or 0 below the last line.
  int LineAt(int y) const;

  // The gutter of an editor control, or null.
  static LineGutter* Of(const QPlainTextEdit* editor);

 signals:
  // A press of the left mouse button on a line's row.
  void clicked(int line);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void UpdateWidth();
  void UpdateGeometry();
  void OnUpdateRequest(const QRect& rect, int dy);
  // Vertical offset from the editor's viewport to this widget.
  int ViewportTop() const;
  QTextBlock BlockOfLine(int line) const;
  void PaintMarks(class QPainter& painter, const QRect& row, unsigned marks) const;
  // The marks changed: the description a screen reader reads follows.
  void MarksChanged();
  QString MarksDescription() const;
  bool describePending_ = false;

  EditorControl* editor_;
  bool markColumn_ = false;
  int width_ = 0;
  QColor background_, numbers_, currentNumber_, breakpoint_, disabledBreakpoint_, currentLine_, textBackground_;
};

}  // namespace tolvane::forms
