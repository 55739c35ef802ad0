// One very long line in an editor page, coloured and with its gutter: what
// opening it and typing at its end cost. The editor refuses lines longer than
// TfrmEditor::kMaxLineChars; these figures are what that limit rests on (a
// keystroke should stay well under a tenth of a second). Runs offscreen.
//  - BM_OpenLongLine/N: a page's text set to a line of N characters, the page
//    shown and painted;
//  - BM_TypeAtEndOfLongLine/N: one typed character at the end of that line
//    (then taken back), the page and its gutter painted.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QKeyEvent>
#include <memory>

#include "forms/LineGutter.h"
#include "forms/SourceView.h"
#include "forms/UiFonts.h"
#include "forms/frmEditor_f.h"

namespace {

// A line of the kind a user might paste by mistake: a DC with a long string,
// words and spaces in it, so that wrapping has places to break.
QString LongLine(int chars) {
  QString line = QStringLiteral("DATA\tDC\t'");
  const QString words = QStringLiteral("HELLO WORLD 12345 ");
  while (line.size() < chars - 1) line += words;
  line.truncate(chars - 1);
  return line + QLatin1Char('\'');
}

const tolvane::forms::SourceColours& Colours() {
  static const tolvane::forms::SourceColours colours = tolvane::forms::SourceColours::Derive(Qt::black, Qt::white);
  return colours;
}

struct Page {
  tolvane::forms::EditorControl editor;
  explicit Page(const QString& text) {
    editor.setFont(tolvane::forms::MakeFont(tolvane::forms::FontGothic(), 12));
    tolvane::forms::AttachSourceView(&editor, Colours());
    editor.resize(1000, 700);
    editor.show();
    editor.setPlainText(text);
    Paint();
  }
  void Paint() {
    editor.viewport()->repaint();
    tolvane::forms::LineGutter::Of(&editor)->repaint();
  }
};

void BM_OpenLongLine(benchmark::State& state) {
  const QString text = LongLine(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    auto page = std::make_unique<Page>(text);
    state.PauseTiming();
    page.reset();
    state.ResumeTiming();
  }
}

void BM_TypeAtEndOfLongLine(benchmark::State& state) {
  Page page(LongLine(static_cast<int>(state.range(0))));
  page.editor.moveCursor(QTextCursor::End);
  int n = 0;
  for (auto _ : state) {
    const bool erase = (n++ % 2) != 0;
    QKeyEvent press(QEvent::KeyPress, erase ? Qt::Key_Backspace : Qt::Key_X, Qt::NoModifier,
                    erase ? QString() : QStringLiteral("X"));
    QApplication::sendEvent(&page.editor, &press);
    page.Paint();
  }
}

BENCHMARK(BM_OpenLongLine)
    ->Arg(1000)
    ->Arg(tolvane::forms::TfrmEditor::kMaxLineChars)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TypeAtEndOfLongLine)
    ->Arg(1000)
    ->Arg(tolvane::forms::TfrmEditor::kMaxLineChars)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  tolvane::forms::InstallFontSubstitutions();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
