// Syntax colours on a source of 20,000 lines (goal: the whole file coloured in
// under 50 ms), and what a keystroke and a page of scrolling cost on it with
// colours and the line-number gutter, painting included. Runs offscreen.
//  - BM_ScanWholeFile: the core's scan of every line, without Qt's formats;
//  - BM_HighlightWholeFile: the highlighter colouring every line of a document;
//  - BM_LoadPlain / BM_LoadColoured: a page's text set without and with colours;
//  - BM_Keystroke: one typed character in the middle of the file, then the
//    page and its gutter painted;
//  - BM_ScrollPage: one page down, then the page and its gutter painted.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QPlainTextDocumentLayout>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>
#include <memory>
#include <vector>

#include "EditorPage.h"
#include "asm/LineTokens.h"
#include "forms/AsmHighlighter.h"
#include "forms/UiFonts.h"

namespace {

constexpr int kLines = 20000;

// A program of `lines` lines of every kind: labels, machine instructions with
// registers and literals, macros, directives with strings, comments.
QString MakeSource(int lines) {
  static const char* const kBody[] = {
      "L%1\tLD\tGR1,=%1\t\t; load the counter",
      "\tADDA\tGR1,GR2",
      "\tLAD\tGR3,#%2,GR4",
      "\tCPA\tGR1,=#FFFF",
      "\tJPL\tL%1",
      "; a comment line that explains the next few lines in some detail",
      "M%1\tDC\t'IT''S A STRING; NOT A COMMENT',#0A,-%1,L%1",
      "\tOUT\tM%1,N%1",
      "N%1\tDS\t%1",
      "\tPUSH\t='A',GR5",
      "\tRPUSH",
      "\tCALL\tSUB%1\t\t; call",
  };
  constexpr int kBodyLines = static_cast<int>(std::size(kBody));
  QStringList out;
  out.reserve(lines);
  out << QStringLiteral("MAIN\tSTART");
  for (int i = 1; out.size() < lines - 1; ++i) {
    QString line = QString::fromLatin1(kBody[i % kBodyLines]);
    line.replace(QLatin1String("%1"), QString::number(i % 10000));
    line.replace(QLatin1String("%2"), QString::number(i % 0x10000, 16).rightJustified(4, QLatin1Char('0')).toUpper());
    out << line;
  }
  out << QStringLiteral("\tEND");
  return out.join(QLatin1Char('\n'));
}

QString g_source;

void BM_ScanWholeFile(benchmark::State& state) {
  const QStringList lines = g_source.split(QLatin1Char('\n'));
  std::vector<tolvane::LineToken> tokens;
  std::size_t total = 0;
  for (auto _ : state) {
    for (const QString& line : lines) {
      tolvane::ScanLineTokens(
          std::u16string_view(reinterpret_cast<const char16_t*>(line.utf16()), static_cast<std::size_t>(line.size())),
          tokens);
      total += tokens.size();
    }
  }
  benchmark::DoNotOptimize(total);
  state.counters["lines"] = static_cast<double>(lines.size());
}

std::unique_ptr<QTextDocument> NewDocument() {
  auto doc = std::make_unique<QTextDocument>();
  doc->setDocumentLayout(new QPlainTextDocumentLayout(doc.get()));
  doc->setDefaultFont(tolvane::forms::MakeFont(tolvane::forms::FontGothic(), 12));
  return doc;
}

using bench::Colours;

void BM_HighlightWholeFile(benchmark::State& state) {
  auto doc = NewDocument();
  doc->setPlainText(g_source);
  auto* highlighter = new tolvane::forms::AsmHighlighter(doc.get(), Colours());
  for (auto _ : state) highlighter->rehighlight();
  state.counters["lines"] = doc->blockCount();
}

void LoadInto(benchmark::State& state, bool coloured) {
  for (auto _ : state) {
    state.PauseTiming();
    auto doc = NewDocument();
    if (coloured) tolvane::forms::AttachHighlighter(doc.get(), Colours());
    state.ResumeTiming();
    doc->setPlainText(g_source);
    state.PauseTiming();
    doc.reset();
    state.ResumeTiming();
  }
}
void BM_LoadPlain(benchmark::State& state) { LoadInto(state, false); }
void BM_LoadColoured(benchmark::State& state) { LoadInto(state, true); }

// An editor page of the usual size holding the file, coloured, with its gutter.
void BM_Keystroke(benchmark::State& state) {
  bench::EditorPage page(g_source);
  QCoreApplication::processEvents();  // the page laid out as on screen
  QTextCursor cursor(page.editor.document()->findBlockByNumber(kLines / 2));
  cursor.movePosition(QTextCursor::EndOfBlock);
  page.editor.setTextCursor(cursor);
  page.editor.centerCursor();
  for (auto _ : state) page.TypeOrErase();
}

void BM_ScrollPage(benchmark::State& state) {
  bench::EditorPage page(g_source);
  QCoreApplication::processEvents();  // the page laid out as on screen
  QScrollBar* bar = page.editor.verticalScrollBar();
  for (auto _ : state) {
    int next = bar->value() + bar->pageStep();
    if (next > bar->maximum()) next = 0;
    bar->setValue(next);
    page.Paint();
  }
}

BENCHMARK(BM_ScanWholeFile)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HighlightWholeFile)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadPlain)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_LoadColoured)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_Keystroke)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScrollPage)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  tolvane::forms::InstallFontSubstitutions();
  g_source = MakeSource(kLines);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
