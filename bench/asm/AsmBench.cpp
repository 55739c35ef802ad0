// Assembly speed on generated sources: several programs, thousands of labels,
// literals, DC strings, calls between programs and external references.
// Reports lines per second with and without the listing, for three sizes,
// so that the growth with the source size can be read off.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "asm/Assembler.h"

namespace {

class CountingSink : public tolvane::MessageSink {
 public:
  void AppendMessageLine(const std::string&) override { ++lines; }
  int lines = 0;
};

// About `lines` source lines in programs of 2,700 lines; nine lines make nine
// words, so 60,000 lines fill most of the 64K-word image without overflowing.
std::string MakeSource(int lines) {
  std::string s;
  const int blocks = lines / 9;
  const int perProgram = 300;
  int program = 0;
  char buf[512];
  for (int b = 0; b < blocks; ++b) {
    if (b % perProgram == 0) {
      if (b) s += "\tRET\n\tEND\n";
      std::snprintf(buf, sizeof buf, "PRG%d\tSTART\tL%05d\t; program %d\n", program, b, program);
      s += buf;
      ++program;
    }
    int back = b % perProgram == 0 ? b : b - 1;  // a label of the same program
    std::snprintf(buf, sizeof buf,
                  "; block %d: load, add, call, data\n"
                  "L%05d\tLD\tGR1,=%d\t; literal shared inside the program\n"
                  "\tADDA\tGR1,L%05d\n"
                  "\tCALL\t%s%d\n"
                  "M%05d\tDC\t'AB'\n"
                  "N%05d\tDS\t0\n"
                  "\tLD\tGR2,GR3\n"
                  ";\n"
                  "; %s\n",
                  b, b, b % 40, back, b % 3 == 0 ? "EXT" : "PRG", b % 3 == 0 ? b % 17 : program - 1, b, b,
                  "comment lines count as lines too");
    s += buf;
  }
  s += "\tRET\n\tEND\n";
  return s;
}

void Run(benchmark::State& state, bool listing) {
  const int lines = static_cast<int>(state.range(0));
  std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("tolvane_asm_bench_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  std::string path = (dir / "big.cas").string();
  std::string src = MakeSource(lines);
  std::ofstream(path, std::ios::binary) << src;
  int counted = 0;
  for (char c : src) counted += c == '\n';
  tolvane::BuildOptions options;
  options.listing = listing ? 1 : 0;
  for (auto _ : state) {
    CountingSink sink;
    int ok = tolvane::Assemble(path, options, sink);
    if (ok != 1) state.SkipWithError("the generated source did not assemble");
  }
  state.SetItemsProcessed(state.iterations() * counted);
  state.counters["lines"] = counted;
  std::filesystem::remove_all(dir);
}

void BM_AssembleWithListing(benchmark::State& state) { Run(state, true); }
void BM_AssembleWithoutListing(benchmark::State& state) { Run(state, false); }

BENCHMARK(BM_AssembleWithListing)->Arg(15000)->Arg(30000)->Arg(60000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AssembleWithoutListing)->Arg(15000)->Arg(30000)->Arg(60000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
