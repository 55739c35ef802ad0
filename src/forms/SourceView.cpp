#include "forms/SourceView.h"

#include <QDockWidget>
#include <QMainWindow>
#include <QPainter>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTextBlock>
#include <algorithm>

#include "forms/AsmHighlighter.h"
#include "forms/EditorLanguage.h"
#include "forms/LineGutter.h"
#include "forms/Utf8.h"
#include "forms/frmEditor_f.h"

namespace tolvane::forms {

namespace {

// The dot after a modified page's caption. It keeps its room whether it shows
// or not, so that tabs do not change width as pages are edited and saved.
class ModifiedDot : public QWidget {
 public:
  explicit ModifiedDot(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("ModifiedMark"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
  }
  QSize sizeHint() const override {
    const int h = fontMetrics().height();
    return QSize(h * 2 / 3, h);
  }
  void SetModified(bool modified) {
    if (modified_ == modified) return;
    modified_ = modified;
    setAccessibleName(modified ? UiText(u8"変更あり") : QString());
    update();
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    if (!modified_) return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(Qt::NoPen);
    painter.setBrush(palette().color(QPalette::WindowText));
    const double d = std::min(width(), height()) * 0.5;
    painter.drawEllipse(QRectF((width() - d) / 2.0, (height() - d) / 2.0, d, d));
  }

 private:
  bool modified_ = false;
};

}  // namespace

// ---------------------------------------------------------------------------

MarkedLine::MarkedLine(QPlainTextEdit* editor) : QObject(editor), editor_(editor) {
  setObjectName(QStringLiteral("MarkedLine"));
  connect(editor_, &QPlainTextEdit::cursorPositionChanged, this, &MarkedLine::OnCursorMoved);
}

MarkedLine* MarkedLine::Of(const QPlainTextEdit* editor) {
  return editor ? editor->findChild<MarkedLine*>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
}

void MarkedLine::SetColour(const QColor& colour) {
  colour_ = colour;
  if (!start_.isNull()) Apply();
}

int MarkedLine::Line() const {
  if (start_.isNull() || start_.document() != editor_->document()) return 0;
  return start_.blockNumber() + 1;
}

void MarkedLine::Show(int line) {
  Clear();
  QTextDocument* document = editor_->document();
  const QTextBlock block = line >= 1 ? document->findBlockByNumber(line - 1) : QTextBlock();
  if (!block.isValid()) return;
  start_ = QTextCursor(block);
  text_ = block.text();
  connect(document, &QTextDocument::contentsChange, this, &MarkedLine::OnContentsChange, Qt::UniqueConnection);
  Apply();
}

void MarkedLine::Clear() {
  if (start_.isNull()) return;
  if (QTextDocument* document = start_.document())
    disconnect(document, &QTextDocument::contentsChange, this, &MarkedLine::OnContentsChange);
  start_ = QTextCursor();
  text_.clear();
  Apply();
}

// A change of formats only (new colours painted) leaves the text as it was;
// anything that changes the text's length, or this line's text, is an edit.
void MarkedLine::OnContentsChange(int, int removed, int added) {
  if (start_.isNull()) return;
  if (removed != added || start_.document() != editor_->document() || start_.block().text() != text_) Clear();
}

void MarkedLine::OnCursorMoved() {
  if (start_.isNull()) return;
  if (start_.document() != editor_->document() || editor_->textCursor().block() != start_.block()) Clear();
}

void MarkedLine::ShowExecutionLine(int line) {
  QTextDocument* document = editor_->document();
  const QTextBlock block = line >= 1 ? document->findBlockByNumber(line - 1) : QTextBlock();
  execution_ = block.isValid() ? QTextCursor(block) : QTextCursor();
  Apply();
  if (!block.isValid()) return;
  // The line the program stands at is what the user steps for: its page comes
  // to the front of its docking area (before the listing, say), and the line
  // into view with some lines around it.
  BringPageForward(editor_);
  ScrollLineIntoView(editor_, line);
}

int MarkedLine::ExecutionLine() const {
  if (execution_.isNull() || execution_.document() != editor_->document()) return 0;
  return execution_.blockNumber() + 1;
}

void MarkedLine::SetExecutionColour(const QColor& colour) {
  executionColour_ = colour;
  Apply();
}

void MarkedLine::Apply() {
  QList<QTextEdit::ExtraSelection> selections;
  if (ExecutionLine() > 0) {
    QTextEdit::ExtraSelection selection;
    selection.cursor = execution_;
    selection.format.setBackground(executionColour_);
    selection.format.setProperty(QTextFormat::FullWidthSelection, true);
    selections.append(selection);
  }
  if (!start_.isNull()) {
    QTextEdit::ExtraSelection selection;
    selection.cursor = start_;
    selection.format.setBackground(colour_);
    selection.format.setProperty(QTextFormat::FullWidthSelection, true);
    selections.append(selection);
  }
  editor_->setExtraSelections(selections);
}

// ---------------------------------------------------------------------------

void ScrollLineIntoView(QPlainTextEdit* editor, int line) {
  const QTextBlock block = editor->document()->findBlockByNumber(line - 1);
  if (!block.isValid()) return;
  // Lines do not wrap in these pages: the scroll bar counts lines.
  const int rowHeight = std::max(1, editor->cursorRect(QTextCursor(block)).height());
  const int visible = std::max(1, editor->viewport()->height() / rowHeight);
  const int context = std::clamp((visible - 1) / 2, 0, kContextLines);
  QScrollBar* bar = editor->verticalScrollBar();
  const int index = line - 1;
  const int top = bar->value();
  if (index < top + context)
    bar->setValue(std::max(0, index - context));
  else if (index > top + visible - 1 - context)
    bar->setValue(index - visible + 1 + context);
}

void BringPageForward(QWidget* page) {
  QDockWidget* dock = nullptr;
  for (QWidget* w = page ? page->parentWidget() : nullptr; w && !dock; w = w->parentWidget())
    dock = qobject_cast<QDockWidget*>(w);
  if (!dock || dock->isFloating() || !dock->visibleRegion().isEmpty()) return;
  // Docked and showing nothing: behind another window's tab (or closed).
  // Raising it brings its tab to the front.
  auto* main = qobject_cast<QMainWindow*>(dock->parentWidget());
  if (!main || main->dockWidgetArea(dock) == Qt::NoDockWidgetArea) return;
  dock->show();
  dock->raise();
}

void ShowTabModified(QTabWidget* tabs, int index, bool modified, const QString& path) {
  QTabBar* bar = tabs->tabBar();
  // Before the name: the tab's close button takes the side after it.
  auto* dot = dynamic_cast<ModifiedDot*>(bar->tabButton(index, QTabBar::LeftSide));
  if (!dot) {
    dot = new ModifiedDot(bar);
    bar->setTabButton(index, QTabBar::LeftSide, dot);
    dot->setVisible(tabs->isTabVisible(index));
  }
  dot->SetModified(modified);
  QString tip = path;
  if (modified && !path.isEmpty()) tip += QLatin1Char('\n') + UiText(u8"変更あり");
  tabs->setTabToolTip(index, tip);
}

void AttachSourceView(EditorControl* editor, const SourceColours& colours) {
  (new LineGutter(editor))->SetColours(colours);
  auto* marked = new MarkedLine(editor);
  marked->SetColour(colours.markedLine);
  marked->SetExecutionColour(colours.executionLine);
  AttachHighlighter(editor->document(), colours);
  new EditorLanguage(editor);
}

void AttachHighlighter(QTextDocument* document, const SourceColours& colours) {
  if (AsmHighlighter* highlighter = AsmHighlighter::Of(document)) {
    highlighter->SetColours(colours);
  } else {
    new AsmHighlighter(document, colours);
  }
}

void ApplySourceColours(EditorControl* editor, const SourceColours& colours) {
  AttachHighlighter(editor->document(), colours);
  if (LineGutter* gutter = LineGutter::Of(editor)) gutter->SetColours(colours);
  if (MarkedLine* marked = MarkedLine::Of(editor)) {
    marked->SetColour(colours.markedLine);
    marked->SetExecutionColour(colours.executionLine);
  }
}

}  // namespace tolvane::forms
