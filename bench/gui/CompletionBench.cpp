// Completion in the operand column of a source of 20,000 labels in one
// program, offscreen: from the request to the list shown and painted, the
// page analysed afresh each time as after a keystroke.
#include <benchmark/benchmark.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QCompleter>
#include <QTextBlock>

#include "EditorPage.h"
#include "forms/EditorLanguage.h"

namespace {

constexpr int kLabels = 20000;

QString MakeSource() {
  QString s = QStringLiteral("MAIN\tSTART\n\tLD\tGR1,M\n");
  for (int i = 0; i < kLabels; ++i) s += QStringLiteral("M%1\tDC\t%2\n").arg(i, 5, 10, QLatin1Char('0')).arg(i);
  return s + QStringLiteral("\tRET\n\tEND\n");
}

void BM_CompletionShown(benchmark::State& state) {
  bench::EditorPage page(MakeSource());
  auto* language = new tolvane::forms::EditorLanguage(&page.editor);
  QAbstractItemView* popup = language->Completer()->popup();
  for (auto _ : state) {
    // A change on the line, as typing makes, and the list asked for at its end.
    QTextCursor c(page.editor.document()->findBlockByNumber(1));
    c.movePosition(QTextCursor::EndOfBlock);
    c.insertText(QStringLiteral("0"));
    c.deletePreviousChar();
    page.editor.setTextCursor(c);
    language->ShowCompletion();
    popup->repaint();
    state.PauseTiming();
    if (!popup->isVisible()) state.SkipWithError("no list");
    popup->hide();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_CompletionShown)->Unit(benchmark::kMillisecond);

// The same list asked for again with the page unchanged: the list alone.
void BM_CompletionAgain(benchmark::State& state) {
  bench::EditorPage page(MakeSource());
  auto* language = new tolvane::forms::EditorLanguage(&page.editor);
  QAbstractItemView* popup = language->Completer()->popup();
  QTextCursor c(page.editor.document()->findBlockByNumber(1));
  c.movePosition(QTextCursor::EndOfBlock);
  page.editor.setTextCursor(c);
  language->Analyse();
  for (auto _ : state) {
    language->ShowCompletion();
    popup->repaint();
    state.PauseTiming();
    popup->hide();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_CompletionAgain)->Unit(benchmark::kMillisecond);

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
