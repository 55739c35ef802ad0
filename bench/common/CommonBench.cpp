// CP932 to UTF-8 conversion, as the editor, the listing viewer and the message
// window use it: ordinary Japanese text, and binary data in which a large part
// of the bytes are no CP932 at all. Both must grow linearly with the size;
// bytes per second are reported for three sizes so that the growth can be
// read off.
#include <benchmark/benchmark.h>

#include <random>
#include <string>

#include "common/Cp932.h"

namespace {

std::string Text(std::size_t bytes) {
  // "LD GR1,=''日本語''" and the like: ASCII with double-byte characters.
  const std::string line = "LABEL\tLD\tGR1,='\x93\xfa\x96\x7b\x8c\xea'\t; \x83\x52\x83\x81\x83\x93\x83\x67\r\n";
  std::string s;
  while (s.size() < bytes) s += line;
  s.resize(bytes);
  return s;
}

std::string Binary(std::size_t bytes) {
  std::mt19937 random(42);
  std::string s(bytes, '\0');
  for (char& c : s) c = static_cast<char>(random());
  return s;
}

void BM_Cp932ToUtf8Text(benchmark::State& state) {
  const std::string input = Text(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(tolvane::Cp932ToUtf8(input));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

void BM_Cp932ToUtf8Binary(benchmark::State& state) {
  const std::string input = Binary(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(tolvane::Cp932ToUtf8(input));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

BENCHMARK(BM_Cp932ToUtf8Text)->Arg(1 << 16)->Arg(1 << 20)->Arg(8 << 20)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Cp932ToUtf8Binary)->Arg(1 << 16)->Arg(1 << 20)->Arg(8 << 20)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
