// The language services on a 20,000-line source: every answer should come in
// well under 50 ms and an edit be analysed again in under 10 ms, so that the
// editor never waits on them as the user types.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "lang/LanguageService.h"

namespace {

using tolvane::lang::LanguageService;
using tolvane::lang::Position;

constexpr int kLines = 20000;

// Programs of 2,000 lines: loads, a literal, a call to the next program, a
// jump back, a string constant and an area per block of ten lines.
std::string MakeSource() {
  std::string s;
  char buf[512];
  int program = 0;
  for (int b = 0; b < kLines / 10; ++b) {
    if (b % 200 == 0) {
      if (b) s += "\tRET\n\tEND\n";
      std::snprintf(buf, sizeof buf, "PRG%d\tSTART\n", program++);
      s += buf;
    }
    std::snprintf(buf, sizeof buf,
                  "; block %d\n"
                  "L%05d\tLD\tGR1,=%d\t; literal\n"
                  "\tADDA\tGR1,D%05d\n"
                  "\tCALL\tPRG%d\n"
                  "\tJUMP\tL%05d\n"
                  "D%05d\tDC\t'A B',%d\n"
                  "A%05d\tDS\t2\n"
                  "\tLD\tGR2,GR3\n"
                  "\tST\tGR2,A%05d,GR1\n"
                  ";\n",
                  b, b, b % 40, b, (program + 1) % 10, b, b, b, b, b);
    s += buf;
  }
  s += "\tRET\n\tEND\n";
  return s;
}

// Where `needle` starts in the source, column `column` of its line.
Position LineOf(const std::string& needle, int column) {
  const std::string source = MakeSource();
  const std::size_t at = source.find(needle);
  int line = 0;
  for (std::size_t i = 0; i < at; ++i) line += source[i] == '\n';
  return {line, column};
}

// A use of D01000 in the middle of the file, and of PRG6 (called by a tenth of the blocks).
const Position kUse = LineOf("\tADDA\tGR1,D01000\n", 11);
const Position kCall{LineOf("L01001\tLD", 0).line + 2, 7};

LanguageService& Loaded() {
  static LanguageService* service = [] {
    auto* s = new LanguageService;
    s->SetDocument("big.cas", MakeSource());
    return s;
  }();
  return *service;
}

void BM_Open(benchmark::State& state) {
  const std::string source = MakeSource();
  LanguageService service;
  for (auto _ : state) service.SetDocument("big.cas", source);
}
BENCHMARK(BM_Open)->Unit(benchmark::kMillisecond);

// One character typed and taken back: two analyses per iteration.
void BM_EditTwice(benchmark::State& state) {
  LanguageService& service = Loaded();
  for (auto _ : state) {
    service.ChangeDocument("big.cas", {kUse.line, 1}, {kUse.line, 1}, "X");
    service.ChangeDocument("big.cas", {kUse.line, 1}, {kUse.line, 2}, "");
  }
}
BENCHMARK(BM_EditTwice)->Unit(benchmark::kMillisecond);

void BM_Definition(benchmark::State& state) {
  // A position that answers nothing would time nothing.
  if (!Loaded().Definition("big.cas", kUse) || Loaded().References("big.cas", kCall, true).size() < 100)
    state.SkipWithError("the positions do not name the labels");
  for (auto _ : state) benchmark::DoNotOptimize(Loaded().Definition("big.cas", kUse));
}
BENCHMARK(BM_Definition)->Unit(benchmark::kMicrosecond);

void BM_References(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(Loaded().References("big.cas", kCall, true));
}
BENCHMARK(BM_References)->Unit(benchmark::kMicrosecond);

void BM_Hover(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(Loaded().HoverAt("big.cas", kUse));
}
BENCHMARK(BM_Hover)->Unit(benchmark::kMicrosecond);

void BM_Completion(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(Loaded().Complete("big.cas", kUse));
}
BENCHMARK(BM_Completion)->Unit(benchmark::kMicrosecond);

// One program of 20,000 labels (a table of constants): the list holds them all.
void BM_CompletionOneProgram(benchmark::State& state) {
  std::string source = "MAIN\tSTART\n\tLD\tGR1,M\n";
  char buf[64];
  for (int i = 0; i < kLines; ++i) {
    std::snprintf(buf, sizeof buf, "M%05d\tDC\t%d\n", i, i);
    source += buf;
  }
  source += "\tEND\n";
  LanguageService service;
  service.SetDocument("table.cas", source);
  if (service.Complete("table.cas", {1, 9}).size() < kLines) state.SkipWithError("the labels are not offered");
  for (auto _ : state) benchmark::DoNotOptimize(service.Complete("table.cas", {1, 9}));
}
BENCHMARK(BM_CompletionOneProgram)->Unit(benchmark::kMillisecond);

void BM_Symbols(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(Loaded().Symbols("big.cas"));
}
BENCHMARK(BM_Symbols)->Unit(benchmark::kMillisecond);

void BM_Format(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(Loaded().Format("big.cas", {}));
}
BENCHMARK(BM_Format)->Unit(benchmark::kMillisecond);

void BM_Rename(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(Loaded().Rename("big.cas", kCall, "PRGX"));
}
BENCHMARK(BM_Rename)->Unit(benchmark::kMicrosecond);

void BM_CodeActions(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(Loaded().CodeActions("big.cas", 0, kLines));
}
BENCHMARK(BM_CodeActions)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
