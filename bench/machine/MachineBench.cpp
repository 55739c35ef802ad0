// The machine's speed, against the baseline copy of the loop it replaced
// (BaselineLoop.h), on the same programs in the same run:
//  - the plain run (`tolvane-cli run` and the IDE's Run) on four workloads: a
//    register loop, a memory loop, CALL/PUSH recursion and self-modifying code;
//  - the debugger's paths on the register loop: GO's batches (RunHooked) and
//    one Execute call per instruction with the hooks on (Step over a routine).
// Every pair is first checked to leave the same registers and memory. At the
// end a table gives each pair's speed-up (baseline CPU time / engine CPU time),
// measured as the median of back-to-back pairs so that other load on the
// machine hits both alike. `--pairs=N` sets the number of pairs (0: no table).
#include <benchmark/benchmark.h>
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "BaselineLoop.h"
#include "asm/AsmCore.h"
#include "machine/Cpu.h"
#include "machine/Svc.h"

namespace {

using namespace tolvane;
using baseline::BaselineMemory;

class NullConsole : public ConsolePort {
 public:
  Bytes ConsoleReadLine() override { return "\x1A"; }
  void ConsoleWrite(const Bytes&) override {}
};

class NullSink : public MessageSink {
 public:
  void AppendMessageLine(const std::string& line) override { std::fprintf(stderr, "%s\n", line.c_str()); }
};

constexpr Word kInitialSp = 0xE000;
constexpr Word kStackLimit = 0xD000;

struct Workload {
  const char* name;
  const char* source;  // assembled at address 0 and started there
};

// 150 x 65536 passes of four register instructions: about 39 million instructions.
const Workload kRegisterLoop = {"RegisterLoop", R"(MAIN  START
      LAD  GR2,1
      LAD  GR5,150
OUTER LAD  GR3,0
INNER ADDA GR1,GR2
      XOR  GR4,GR1
      SUBL GR3,GR2
      JNZ  INNER
      SUBL GR5,GR2
      JNZ  OUTER
      RET
      END
)"};

// Load, add, store and mask through an index: 100 x 65536 passes of eight instructions.
const Workload kMemoryLoop = {"MemoryLoop", R"(MAIN  START
      LAD  GR2,1
      LAD  GR7,100
OUTER LAD  GR5,0
      LAD  GR6,0
LOOP  LD   GR1,BUF,GR6
      ADDA GR1,ONE
      ST   GR1,BUF,GR6
      LAD  GR6,1,GR6
      AND  GR6,MASK
      SUBL GR5,GR2
      JNZ  LOOP
      SUBL GR7,GR2
      JNZ  OUTER
      RET
ONE   DC   1
MASK  DC   #03FF
BUF   DS   1024
      END
)"};

// Fibonacci by double recursion, saving registers with PUSH/POP: fib(27) takes
// about 630,000 calls.
const Workload kRecursion = {"CallPushRecursion", R"(MAIN  START
      LAD  GR7,4
AGAIN LAD  GR1,27
      CALL FIB
      LAD  GR7,-1,GR7
      LD   GR7,GR7
      JNZ  AGAIN
      RET
FIB   CPA  GR1,TWO
      JMI  BASE
      PUSH 0,GR1
      LAD  GR1,-1,GR1
      CALL FIB
      POP  GR1
      PUSH 0,GR3
      LAD  GR1,-2,GR1
      CALL FIB
      POP  GR2
      ADDL GR3,GR2
      RET
BASE  LD   GR3,GR1
      RET
TWO   DC   2
      END
)"};

// Code that rewrites itself on every pass: the address word of a load (walking
// a table) and a whole instruction word (ADDA and SUBA in turn). 60 x 65536
// passes of twelve instructions, two of them stores into code.
const Workload kSelfModifying = {"SelfModifyingCode", R"(MAIN  START
      LAD  GR2,1
      LAD  GR7,60
      LAD  GR6,PATCH
OUTER LAD  GR5,0
PATCH LD   GR1,BUF
      ADDL GR0,GR1
FLIP  ADDA GR4,GR2
      LAD  GR3,1,GR3
      AND  GR3,MASK
      LAD  GR1,BUF,GR3
      ST   GR1,1,GR6
      LD   GR1,FLIP
      XOR  GR1,TOGGLE
      ST   GR1,FLIP
      SUBL GR5,GR2
      JNZ  PATCH
      SUBL GR7,GR2
      JNZ  OUTER
      RET
MASK  DC   #03FF
TOGGLE DC  #0100
BUF   DS   1024
      END
)"};

// The tightest loop there is, the one of bench/gui: two instructions, the
// jump's outcome depending on the addition just before it. 300 x 65536 passes.
const Workload kCountingLoop = {"CountingLoop", R"(MAIN  START
      LAD  GR3,1
      LAD  GR2,300
OUTER LAD  GR1,0
INNER ADDL GR1,GR3
      JNZ  INNER
      SUBA GR2,GR3
      JNZ  OUTER
      RET
      END
)"};
const Workload* const kWorkloads[] = {&kRegisterLoop, &kMemoryLoop, &kRecursion, &kSelfModifying, &kCountingLoop};

// The program image: memory as the loader would leave it (minus the system areas,
// which these programs never touch), with F000H pushed as the return address.
BaselineMemory Assemble(const Workload& w) {
  NullSink sink;
  auto as = std::make_unique<Assembler>(sink);
  as->AssembleText(w.source, nullptr);
  if (as->errorCount != 0) {
    std::fprintf(stderr, "%s does not assemble\n", w.name);  // the lines above say why (CP932)
    std::abort();
  }
  BaselineMemory image{};
  for (std::size_t a = 0; a < kMemoryWords; ++a) image[a] = as->codeImage[a];
  image[kInitialSp - 1] = kProgramEndAddress;
  return image;
}

CCpu StartRegisters() {
  CCpu cpu;
  cpu.SetPR(0);
  cpu.SetSP(kInitialSp - 1);
  cpu.SetStackLimit(kStackLimit);
  return cpu;
}

void CopyInto(Memory& m, const BaselineMemory& image) {
  for (std::size_t a = 0; a < kMemoryWords; ++a) m.Store(static_cast<Word>(a), image[a]);
}

// The ways of running a program that are compared.
enum class Path { PlainRun, GoBatches, StepCalls };

struct Outcome {
  std::uint64_t instructions = 0;
  CCpu cpu;
};

// GO's batch size and the hooks of a debugger with nothing to show.
constexpr unsigned kGoBatch = 1024;
class CountingHooks : public MachineHooks {};

// The three entry points of each side.
struct EngineCalls {
  static RunResult Plain(CCpu& cpu, Memory& m, ConsolePort& console) { return RunToEnd(cpu, m, console); }
  static ExecStatus Batch(CCpu& cpu, Memory& m, ConsolePort& console, MachineHooks& hooks, unsigned& n) {
    static const std::bitset<kMemoryWords> none;
    static const bool no = false;
    return RunHooked(cpu, m, console, hooks, none, no, no, kGoBatch, n);
  }
  static ExecStatus Step(CCpu& cpu, Memory& m, ConsolePort& console, MachineHooks& hooks) {
    return cpu.Execute(m, console, &hooks);
  }
};
struct BaselineCalls {
  static RunResult Plain(CCpu& cpu, BaselineMemory& m, ConsolePort& console) {
    return baseline::RunToEnd(cpu, m, console);
  }
  static ExecStatus Batch(CCpu& cpu, BaselineMemory& m, ConsolePort& console, MachineHooks& hooks, unsigned& n) {
    static const std::bitset<kMemoryWords> none;
    static const bool no = false;
    return baseline::RunHooked(cpu, m, console, hooks, none, no, no, kGoBatch, n);
  }
  static ExecStatus Step(CCpu& cpu, BaselineMemory& m, ConsolePort& console, MachineHooks& hooks) {
    return baseline::Execute(cpu, m, console, &hooks);
  }
};

template <class Calls, class Mem>
Outcome Run(Path path, Mem& m, NullConsole& console) {
  Outcome o;
  o.cpu = StartRegisters();
  if (path == Path::PlainRun) {
    o.instructions = Calls::Plain(o.cpu, m, console).steps;
    return o;
  }
  CountingHooks hooks;
  for (;;) {
    unsigned n = 1;
    hooks.unAsmTracking = true;
    const ExecStatus s =
        path == Path::GoBatches ? Calls::Batch(o.cpu, m, console, hooks, n) : Calls::Step(o.cpu, m, console, hooks);
    hooks.unAsmTracking = false;
    o.instructions += n;
    if (s != ExecStatus::Continue) break;
  }
  return o;
}

Outcome RunEngine(Path path, Memory& m, NullConsole& console) { return Run<EngineCalls>(path, m, console); }
Outcome RunBaseline(Path path, BaselineMemory& m, NullConsole& console) { return Run<BaselineCalls>(path, m, console); }

// Both loops must leave the same machine; a benchmark of a wrong result is worthless.
bool SameResult(const Workload& w, Path path) {
  const BaselineMemory image = Assemble(w);
  NullConsole console;
  auto engineMemory = std::make_unique<Memory>();
  CopyInto(*engineMemory, image);
  auto baselineMemory = std::make_unique<BaselineMemory>(image);
  const Outcome a = RunEngine(path, *engineMemory, console);
  const Outcome b = RunBaseline(path, *baselineMemory, console);
  return a.instructions == b.instructions && a.cpu.Registers() == b.cpu.Registers() &&
         std::equal(baselineMemory->begin(), baselineMemory->end(), engineMemory->data());
}

void BM_Run(benchmark::State& state, const Workload* w, Path path, bool engine) {
  if (!SameResult(*w, path)) {
    state.SkipWithError("the engine and the baseline disagree");
    return;
  }
  const BaselineMemory image = Assemble(*w);
  NullConsole console;
  auto engineMemory = std::make_unique<Memory>();
  auto baselineMemory = std::make_unique<BaselineMemory>();
  std::uint64_t total = 0;
  for (auto _ : state) {
    // Each run starts from the freshly loaded program (no decodes cached yet).
    state.PauseTiming();
    if (engine)
      CopyInto(*engineMemory, image);
    else
      *baselineMemory = image;
    state.ResumeTiming();
    total += engine ? RunEngine(path, *engineMemory, console).instructions
                    : RunBaseline(path, *baselineMemory, console).instructions;
  }
  state.counters["instr/s"] = benchmark::Counter(static_cast<double>(total), benchmark::Counter::kIsRate);
}

// Thread CPU time, in milliseconds.
double CpuMillis() {
  timespec t;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

// The speed-up of one pair: the baseline and the engine run back to back, in
// alternating order, `pairs` times; the median of the pairs' ratios is robust
// against other load on the machine, which changes slowly compared with a pair.
struct Speedup {
  double baselineMs, engineMs, ratio;
};
Speedup MeasurePairs(const Workload& w, Path path, int pairs) {
  const BaselineMemory image = Assemble(w);
  NullConsole console;
  auto engineMemory = std::make_unique<Memory>();
  auto baselineMemory = std::make_unique<BaselineMemory>();
  std::vector<double> ratios, baselineTimes, engineTimes;
  for (int i = 0; i < pairs; ++i) {
    double tb = 0, te = 0;
    for (int k = 0; k < 2; ++k) {
      if ((k == 0) == (i % 2 == 0)) {
        *baselineMemory = image;
        const double t0 = CpuMillis();
        benchmark::DoNotOptimize(RunBaseline(path, *baselineMemory, console).instructions);
        tb = CpuMillis() - t0;
      } else {
        CopyInto(*engineMemory, image);
        const double t0 = CpuMillis();
        benchmark::DoNotOptimize(RunEngine(path, *engineMemory, console).instructions);
        te = CpuMillis() - t0;
      }
    }
    baselineTimes.push_back(tb);
    engineTimes.push_back(te);
    ratios.push_back(tb / te);
  }
  auto median = [](std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
  };
  return {median(baselineTimes), median(engineTimes), median(ratios)};
}

struct Pair {
  std::string name;
  const Workload* workload;
  Path path;
};
std::vector<Pair>& Pairs() {
  static std::vector<Pair> pairs;
  return pairs;
}

void Register(const std::string& name, const Workload* w, Path path) {
  Pairs().push_back({name, w, path});
  for (bool engine : {false, true}) {
    benchmark::RegisterBenchmark((name + (engine ? "/engine" : "/baseline")).c_str(), BM_Run, w, path, engine)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(1)
        ->Repetitions(3);
  }
}

}  // namespace

int main(int argc, char** argv) {
  for (const Workload* w : kWorkloads) Register(std::string("PlainRun/") + w->name, w, Path::PlainRun);
  Register("GoBatches/RegisterLoop", &kRegisterLoop, Path::GoBatches);
  Register("StepCalls/RegisterLoop", &kRegisterLoop, Path::StepCalls);

  // --pairs=N: the number of back-to-back pairs for the speed-up table (0: none).
  int pairs = 15;
  std::vector<char*> args;
  for (int i = 0; i < argc; ++i) {
    const std::string a = argv[i];
    if (a.rfind("--pairs=", 0) == 0)
      pairs = std::atoi(a.c_str() + 8);
    else
      args.push_back(argv[i]);
  }
  int n = static_cast<int>(args.size());
  benchmark::Initialize(&n, args.data());
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();

  if (pairs <= 0) return 0;
  std::printf("\nSpeed-up of the engine over the baseline: medians of %d back-to-back pairs (thread CPU time)\n",
              pairs);
  std::printf("%-32s %12s %12s %8s\n", "", "baseline ms", "engine ms", "ratio");
  for (const Pair& p : Pairs()) {
    if (!SameResult(*p.workload, p.path)) {
      std::printf("%-32s the engine and the baseline disagree\n", p.name.c_str());
      continue;
    }
    const Speedup r = MeasurePairs(*p.workload, p.path, pairs);
    std::printf("%-32s %12.1f %12.1f %7.2fx\n", p.name.c_str(), r.baselineMs, r.engineMs, r.ratio);
  }
  return 0;
}
