// The disassembler's full build over a crowded image, and GO against the plain
// run on the same counting program.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "common/ChangeExtension.h"
#include "common/MessageSink.h"
#include "debugger/Disassembler.h"
#include "debugger/ExecutionControl.h"
#include "link/LoadModule.h"
#include "machine/Loader.h"

using namespace tolvane;
using namespace tolvane::debugger;

namespace {

// A full 64K image of mixed words, 20,000 symbols and 30,000 data addresses.
void BM_BuildUnAsmTable(benchmark::State& state) {
  std::unique_ptr<Word[]> mem(new Word[kMemoryWords]);
  std::uint32_t seed = 12345;
  auto next = [&] {
    seed = seed * 1664525u + 1013904223u;
    return seed >> 8;
  };
  static const Word kOps[] = {0x1010, 0x1123, 0x1214, 0x2412, 0x6200, 0x8000, 0x8100, 0x7100, 0xF000, 0x0000, 0x4567};
  for (std::size_t a = 0; a < kMemoryWords; ++a)
    mem[a] = (a & 1) ? static_cast<Word>(next()) : static_cast<Word>(kOps[next() % 11] | (next() & 0x77));
  std::vector<SymbolRecord> records;
  for (int i = 0; i < 20000; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "L%05d", i);
    records.push_back({name, static_cast<Word>(next())});
  }
  SymbolIndex symbols;
  symbols.Assign(std::move(records));
  std::vector<Word> data;
  for (int i = 0; i < 30000; ++i) data.push_back(static_cast<Word>(next()));
  Disassembler dis;
  dis.Attach(mem.get(), &symbols);
  dis.SetDataAddresses(data.data(), data.size());
  dis.SetLayout(0x0100, 0xF000, 0xE000);
  for (auto _ : state) {
    dis.BuildUnAsmTable();
    benchmark::DoNotOptimize(dis.RowCount());
  }
  state.counters["rows"] = dis.RowCount();
}
BENCHMARK(BM_BuildUnAsmTable)->Unit(benchmark::kMillisecond);

class NullUi : public DebuggerUiPort {
 public:
  BoxAnswer ShowMessageBox(BoxKind, const std::string&, BoxButtons) override { return BoxAnswer::Ok; }
};
class NullConsole : public ConsolePort {
 public:
  Bytes ConsoleReadLine() override { return "\x1A"; }
  void ConsoleWrite(const Bytes&) override {}
};
class NullSink : public MessageSink {
 public:
  void AppendMessageLine(const std::string&) override {}
};

std::string WriteProgram(const char* name, const LoadModule& m, const SymbolTable& symbols) {
  std::string p = (std::filesystem::temp_directory_path() / name).string();
  NullSink sink;
  WriteLoadModule(p, m, sink);
  WriteSymbolFile(ChangeExtension(p, ".sym"), symbols, sink);
  return p;
}

// 32 rounds of a 65536-step inner loop: about 4.2 million instructions.
const std::string& CountingProgram() {
  static const std::string path = [] {
    LoadModule m;
    m.origin = 0x100;
    m.start = 0x100;
    m.image = {0x1220, 0x0020,     // 0100 LAD GR2,32
               0x1210, 0x0000,     // 0102 OUTER LAD GR1,0
               0x2310, 0x0110,     // 0104 INNER SUBL GR1,ONE
               0x6200, 0x0104,     // 0106 JNZ INNER
               0x2120, 0x0110,     // 0108 SUBA GR2,ONE
               0x6200, 0x0102,     // 010A JNZ OUTER
               0x8100,             // 010C RET
               0,      0,      0,  // 010D
               0x0001};            // 0110 ONE DC 1
    m.stackLimit = 0x111;
    m.initialSp = 0x211;
    m.dataAddresses = {0x110};
    return WriteProgram("tolvane_bench_count.exe", m, {{"ONE", 0x110}});
  }();
  return path;
}

// The same rounds with a store and a call in the inner loop (every instruction
// but the jump writes memory or the stack): about 10.5 million instructions.
const std::string& StoringProgram() {
  static const std::string path = [] {
    LoadModule m;
    m.origin = 0x100;
    m.start = 0x100;
    m.image = {0x1220, 0x0020,  // 0100 LAD GR2,32
               0x1210, 0x0000,  // 0102 OUTER LAD GR1,0
               0x2310, 0x0112,  // 0104 INNER SUBL GR1,ONE
               0x1110, 0x0113,  // 0106 ST GR1,RES
               0x8000, 0x0111,  // 0108 CALL SUB
               0x6200, 0x0104,  // 010A JNZ INNER
               0x2120, 0x0112,  // 010C SUBA GR2,ONE
               0x6200, 0x0102,  // 010E JNZ OUTER
               0x8100,          // 0110 RET
               0x8100,          // 0111 SUB RET
               0x0001,          // 0112 ONE DC 1
               0x0000};         // 0113 RES DS 1
    m.stackLimit = 0x114;
    m.initialSp = 0x214;
    m.dataAddresses = {0x112, 0x113};
    return WriteProgram("tolvane_bench_store.exe", m, {{"SUB", 0x111}, {"ONE", 0x112}, {"RES", 0x113}});
  }();
  return path;
}

const std::string& Program(std::int64_t which) { return which == 0 ? CountingProgram() : StoringProgram(); }

std::uint64_t PlainInstructions(const std::string& path) {
  NullUi ui;
  NullConsole console;
  CCpu cpu;
  auto memory = std::make_unique<Memory>();
  LoadedProgram program;
  LoadProgram(path, false, cpu, *memory, program, ui);
  return RunToEnd(cpu, *memory, console).steps;
}

// The machine's plain run, as RunProgram uses it (turns every 4096
// instructions). Argument: 0 the counting program, 1 the storing one.
void BM_PlainRun(benchmark::State& state) {
  NullUi ui;
  NullConsole console;
  ExecutionControl ec(ui, console);
  ec.SetShowRegistersAfterRun(false);
  BuildOptions options;
  options.symbolicDebug = 0;
  const std::string& path = Program(state.range(0));
  for (auto _ : state) {
    // Loading is part of RunProgram; BM_LoadOnly shows its share.
    if (!ec.RunProgram(path, options)) state.SkipWithError("run failed");
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * PlainInstructions(path)));
}
BENCHMARK(BM_PlainRun)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// GO with two enabled breakpoints that are never reached, through a UI that
// does nothing. Arguments: the program (as above); 1 with the Back Step
// recording (as debugging always runs), 0 without it.
void BM_GoWithBreakpoints(benchmark::State& state) {
  NullUi ui;
  NullConsole console;
  ExecutionControl ec(ui, console);
  ec.SetShowRegistersAfterRun(false);
  ec.SetRecording(state.range(1) != 0);
  BuildOptions options;
  options.symbolicDebug = 0;
  const std::string& path = Program(state.range(0));
  for (auto _ : state) {
    state.PauseTiming();
    ec.StartDebugging(path, options);
    if (ec.Breakpoints().Count() == 0) {
      ec.Breakpoints().AddRow(0x0300, "");
      ec.Breakpoints().AddRow(0x0400, "");
    }
    state.ResumeTiming();
    if (!ec.Go() || ec.DebuggingActive()) state.SkipWithError("go did not run to the end");
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * PlainInstructions(path)));
}
BENCHMARK(BM_GoWithBreakpoints)->ArgsProduct({{0, 1}, {0, 1}})->Unit(benchmark::kMillisecond);

// Loading alone, for reading the two figures above.
void BM_LoadOnly(benchmark::State& state) {
  NullUi ui;
  CCpu cpu;
  auto memory = std::make_unique<Memory>();
  LoadedProgram program;
  for (auto _ : state) LoadProgram(CountingProgram(), false, cpu, *memory, program, ui);
}
BENCHMARK(BM_LoadOnly)->Unit(benchmark::kMillisecond);

}  // namespace
