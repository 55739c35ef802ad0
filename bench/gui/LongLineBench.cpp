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
#include <memory>

#include "EditorPage.h"
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

void BM_OpenLongLine(benchmark::State& state) {
  const QString text = LongLine(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    auto page = std::make_unique<bench::EditorPage>(text);
    state.PauseTiming();
    page.reset();
    state.ResumeTiming();
  }
}

void BM_TypeAtEndOfLongLine(benchmark::State& state) {
  bench::EditorPage page(LongLine(static_cast<int>(state.range(0))));
  QCoreApplication::processEvents();
  page.editor.moveCursor(QTextCursor::End);
  for (auto _ : state) page.TypeOrErase();
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
