// Instructions per second of the plain run (the loop `tolvane-cli run` uses) and
// of the debugger's single step, on programs built as words in memory.
#include <benchmark/benchmark.h>

#include <memory>

#include "machine/Cpu.h"
#include "machine/Svc.h"

namespace {

using namespace tolvane;

constexpr Word Op(int op, int r = 0, int x = 0) { return static_cast<Word>((op << 8) | (r << 4) | x); }

class NullConsole : public ConsolePort {
 public:
  Bytes ConsoleReadLine() override { return "\x1A"; }
  void ConsoleWrite(const Bytes&) override {}
};

struct Program {
  std::unique_ptr<Memory> mem = std::make_unique<Memory>();
  CCpu cpu;
  void Start() {
    cpu = CCpu{};
    cpu.Initialize(*mem, 0x0100, 0xE000, 0xD000);
  }
};

// Register-only inner loop of 4 instructions, 65536 times per outer pass:
//   OUT  LAD  GR3,0
//   IN   ADDA GR1,GR2 ; XOR GR4,GR1 ; SUBL GR3,GR2 ; JNZ IN
//        SUBL GR5,GR2 ; JNZ OUT ; RET
void BuildRegisterLoop(Program& p, Word outer) {
  Memory& m = *p.mem;
  const Word words[] = {
      Op(0x12, 2),    1,       // 0100 LAD GR2,1
      Op(0x12, 5),    outer,   // 0102 LAD GR5,outer
      Op(0x12, 3),    0,       // 0104 OUT LAD GR3,0
      Op(0x24, 1, 2),          // 0106 IN ADDA GR1,GR2
      Op(0x36, 4, 1),          // 0107 XOR GR4,GR1
      Op(0x27, 3, 2),          // 0108 SUBL GR3,GR2
      Op(0x62),       0x0106,  // 0109 JNZ IN
      Op(0x27, 5, 2),          // 010B SUBL GR5,GR2
      Op(0x62),       0x0104,  // 010C JNZ OUT
      Op(0x81),                // 010E RET
  };
  for (std::size_t i = 0; i < std::size(words); ++i) m[0x0100 + i] = words[i];
}

// A loop that touches memory and the stack: LD/ADDA/ST through an index, and a
// CALL/RET pair with PUSH/POP, 12 instructions per pass.
void BuildMemoryLoop(Program& p, Word passes) {
  Memory& m = *p.mem;
  const Word words[] = {
      Op(0x12, 2),    1,       // 0100 LAD GR2,1
      Op(0x12, 5),    passes,  // 0102 LAD GR5,passes
      Op(0x12, 6),    0,       // 0104 LAD GR6,0          (index)
      Op(0x10, 1, 6), 0x2000,  // 0106 L LD GR1,2000H,GR6
      Op(0x20, 1, 2), 0x0100,  // 0108 ADDA GR1,0100H,GR2  (reads 0101H)
      Op(0x11, 1, 6), 0x2000,  // 010A ST GR1,2000H,GR6
      Op(0x80),       0x0120,  // 010C CALL SUB
      Op(0x12, 6, 6), 1,       // 010E LAD GR6,1,GR6
      Op(0x30, 6),    0x0130,  // 0110 AND GR6,MASK
      Op(0x27, 5, 2),          // 0112 SUBL GR5,GR2
      Op(0x62),       0x0106,  // 0113 JNZ L
      Op(0x81),                // 0115 RET
  };
  for (std::size_t i = 0; i < std::size(words); ++i) m[0x0100 + i] = words[i];
  const Word sub[] = {
      Op(0x70, 0, 1), 0,  // 0120 PUSH 0,GR1
      Op(0x71, 3),        // 0122 POP GR3
      Op(0x81),           // 0123 RET
  };
  for (std::size_t i = 0; i < std::size(sub); ++i) m[0x0120 + i] = sub[i];
  m[0x0130] = 0x03FF;
}

void BM_PlainRunRegisterLoop(benchmark::State& state) {
  Program p;
  BuildRegisterLoop(p, static_cast<Word>(state.range(0)));
  NullConsole console;
  std::uint64_t total = 0;
  for (auto _ : state) {
    p.Start();
    const RunResult r = RunToEnd(p.cpu, *p.mem, console);
    if (r.stop != RunStop::ProgramEnd) state.SkipWithError("program did not end");
    total += r.steps;
  }
  state.counters["instructions"] = static_cast<double>(total) / static_cast<double>(state.iterations());
  state.counters["instr/s"] = benchmark::Counter(static_cast<double>(total), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_PlainRunRegisterLoop)->Arg(1500)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_PlainRunMemoryLoop(benchmark::State& state) {
  Program p;
  BuildMemoryLoop(p, static_cast<Word>(state.range(0)));
  NullConsole console;
  std::uint64_t total = 0;
  for (auto _ : state) {
    p.Start();
    // 12 instructions per pass; run the pass count 500 times over.
    for (int k = 0; k < 500; ++k) {
      p.Start();
      const RunResult r = RunToEnd(p.cpu, *p.mem, console);
      if (r.stop != RunStop::ProgramEnd) state.SkipWithError("program did not end");
      total += r.steps;
    }
  }
  state.counters["instr/s"] = benchmark::Counter(static_cast<double>(total), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_PlainRunMemoryLoop)->Arg(60000)->Unit(benchmark::kMillisecond)->Iterations(3);

// The debugger's GO path: one Execute call per instruction with the hooks on.
void BM_DebuggerStepRegisterLoop(benchmark::State& state) {
  Program p;
  BuildRegisterLoop(p, static_cast<Word>(state.range(0)));
  NullConsole console;
  MachineHooks hooks;
  std::uint64_t total = 0;
  for (auto _ : state) {
    p.Start();
    for (;;) {
      hooks.unAsmTracking = true;
      const ExecStatus s = p.cpu.Execute(*p.mem, console, &hooks);
      hooks.unAsmTracking = false;
      ++total;
      if (s != ExecStatus::Continue) break;
    }
  }
  state.counters["instr/s"] = benchmark::Counter(static_cast<double>(total), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_DebuggerStepRegisterLoop)->Arg(300)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
