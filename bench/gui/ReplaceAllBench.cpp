// Replace All on a full page: 1 MB of source text (the editor's limit of
// 1048576 characters) holding 50,000 occurrences of the pattern, replaced in a
// shown editor control, the window system's turn that repaints it included.
// The goal is well under a second.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QPlainTextEdit>

#include "forms/EditorSearch.h"
#include "forms/frmEditor_f.h"

namespace {

constexpr int kMatches = 50000;
constexpr int kPageChars = 1048576;

// Source lines "\tLD\tGR1,A0000...\n", padded so that the page is exactly 1 MB.
QString Page() {
  QString text;
  text.reserve(kPageChars);
  const int perLine = kPageChars / kMatches;  // 20 characters, a few lines get one more
  int extra = kPageChars - perLine * kMatches;
  for (int i = 0; i < kMatches; ++i) {
    QString line = QStringLiteral("\tLD\tGR1,A");
    const int width = perLine - static_cast<int>(line.size()) - 1 + (extra > 0 ? 1 : 0);
    if (extra > 0) --extra;
    line += QStringLiteral("%1").arg(i, width, 10, QLatin1Char('0')).right(width);
    line += QLatin1Char('\n');
    text += line;
  }
  return text;
}

void ReplaceAllOnAFullPage(benchmark::State& state) {
  const bool matchCase = state.range(0) != 0;
  const QString page = Page();
  if (page.size() != kPageChars) state.SkipWithError("page size");
  tolvane::forms::EditorControl control;
  control.resize(900, 700);
  control.show();
  QCoreApplication::processEvents();
  int count = 0;
  for (auto _ : state) {
    state.PauseTiming();
    control.setPlainText(page);
    QCoreApplication::processEvents();
    state.ResumeTiming();
    count = tolvane::forms::ReplaceAll(&control, QString::fromLatin1(matchCase ? "GR1" : "gr1"), QStringLiteral("GR7"),
                                       matchCase);
    QCoreApplication::processEvents();
  }
  if (count != kMatches) state.SkipWithError("wrong number of replacements");
  state.counters["replacements"] = count;
}
BENCHMARK(ReplaceAllOnAFullPage)->Arg(1)->Arg(0)->ArgName("matchCase")->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
