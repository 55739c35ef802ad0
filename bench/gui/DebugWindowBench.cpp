// The debug window's speed, offscreen, on the whole IDE:
//  - BM_TraceStep: F7 on an instruction that stores into a data word (no
//    rebuild of the disassembly), from the command to all four panes
//    refreshed and painted, on a 64K image with 20,000 symbols (and so
//    20,000 watch rows); also the memory the process gains over 10,000 steps;
//  - BM_ShowDisassembly: the rebuild of the listing with the view reset,
//    painted;
//  - BM_GoInWindow against BM_CliPlainRun: GO with two enabled breakpoints that
//    are never reached, against `tolvane-cli run`'s code path, on the same
//    counting loop (instructions per second).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>

#include "app/CoreBinding.h"
#include "app/Shell.h"
#include "debugger/ExecutionControl.h"
#include "debugger/TerminalRun.h"
#include "forms/DialogPort.h"
#include "forms/UiFonts.h"
#include "forms/frmDebug_f.h"
#include "forms/frmMain_f.h"
#include "link/LoadModule.h"

namespace {

using tolvane::Word;

// Message boxes answered at once (a GO ends with "the program has ended").
class QuietDialogs : public tolvane::forms::DialogPort {
 public:
  tolvane::BoxAnswer Ask(tolvane::BoxKind, const QString&, tolvane::BoxButtons) override {
    return tolvane::BoxAnswer::Ok;
  }
  void ShowPlain(const QString&) override {}
  QString GetOpenFileName(QWidget*, const QString&, const QString&, const QString&) override { return {}; }
  QString GetSaveFileName(QWidget*, const QString&, const QString&, const QString&, const QString&) override {
    return {};
  }
  bool GetText(QWidget*, const QString&, const QString&, QString&) override { return false; }
};

struct Sink : tolvane::MessageSink {
  void AppendMessageLine(const std::string& line) override { std::fprintf(stderr, "%s\n", line.c_str()); }
};

struct Boxes : tolvane::MessageBoxPort {
  tolvane::BoxAnswer ShowMessageBox(tolvane::BoxKind, const std::string& text, tolvane::BoxButtons) override {
    std::fprintf(stderr, "%s\n", text.c_str());
    return tolvane::BoxAnswer::Ok;
  }
};

QTemporaryDir* g_dir = nullptr;

std::string Write(const std::string& name, const tolvane::LoadModule& m, const tolvane::SymbolTable& symbols) {
  const std::string exe = QDir(g_dir->path()).filePath(QString::fromStdString(name + ".exe")).toStdString();
  const std::string sym = QDir(g_dir->path()).filePath(QString::fromStdString(name + ".sym")).toStdString();
  Sink sink;
  if (!tolvane::WriteLoadModule(exe, m, sink) || !tolvane::WriteSymbolFile(sym, symbols, sink)) std::abort();
  return exe;
}

// 57344 words from 0100H: a loop at the start that adds and stores into a data
// word, then a mix of one- and two-word instructions; 20,000 labels.
std::string BigProgram() {
  tolvane::LoadModule m;
  m.origin = 0x0100;
  m.start = 0x0100;
  m.image = {
      0x2412, 0x1110, 0x0106,  // 0100 L ADDA GR1,GR2 / ST GR1,0106H
      0x6400, 0x0100,          // 0103 JUMP L
      0x0000,                  // 0105
      0x0000,                  // 0106 the data word
  };
  m.dataAddresses = {0x0106};
  std::uint32_t seed = 2024;
  auto next = [&] {
    seed = seed * 1664525u + 1013904223u;
    return seed >> 8;
  };
  static const Word kOps[] = {0x1010, 0x1120, 0x1230, 0x2412, 0x6200, 0x8000, 0x8100, 0x7140, 0x0000, 0x4523};
  while (m.image.size() < 0xE000) {
    const Word op = kOps[next() % 10];
    m.image.push_back(op);
    if (tolvane::InstructionWords(op) == 2) m.image.push_back(static_cast<Word>(0x0100 + next() % 0xE000));
  }
  m.image.resize(0xE000);
  m.stackLimit = static_cast<Word>(m.origin + m.image.size());
  m.initialSp = static_cast<Word>(m.stackLimit + 0x0800);
  tolvane::SymbolTable symbols;
  for (int i = 0; i < 20000; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "L%05d", i);
    symbols.push_back({name, static_cast<Word>(0x0107 + i * 2)});
  }
  return Write("big", m, symbols);
}

constexpr int kOuter = 1000;
// LAD GR1,0 + 65536 x (ADDL, JNZ) + SUBA + JNZ per outer round; two LADs and RET.
constexpr double kLoopInstructions = 2.0 + kOuter * (1.0 + 65536.0 * 2.0 + 2.0) + 1.0;

std::string LoopProgram() {
  const auto a = [](Word relative) { return static_cast<Word>(0x0100 + relative); };
  tolvane::LoadModule m;
  m.origin = 0x0100;
  m.start = 0x0100;
  m.image = {0x1230, 0x0001, 0x1220, kOuter, 0x1210, 0x0000, 0x2613, 0x6200, a(6), 0x2523, 0x6200, a(4), 0x8100};
  m.stackLimit = static_cast<Word>(m.origin + m.image.size());
  m.initialSp = static_cast<Word>(m.stackLimit + 0x0800);
  return Write("loop", m, {});
}

long ResidentKb() {
  std::ifstream statm("/proc/self/statm");
  long pages = 0, resident = 0;
  statm >> pages >> resident;
  return resident * 4;
}

// A shown IDE with the debug window floating at its own size.
struct Ide {
  tolvane::app::Shell shell;
  QuietDialogs dialogs;
  Ide() {
    tolvane::forms::SetDialogs(&dialogs);
    shell.Create();
    shell.Main()->show();
    QCoreApplication::processEvents();
    shell.Debug()->setFloating(true);
    shell.Debug()->resize(930, 540);
    shell.Debug()->show();
    QCoreApplication::processEvents();
  }
  ~Ide() { tolvane::forms::SetDialogs(nullptr); }
  tolvane::debugger::ExecutionControl& Core() { return shell.Core()->Execution(); }
  bool Start(const std::string& exe) {
    tolvane::BuildOptions options;
    options.symbolicDebug = 1;
    const bool ok = Core().StartDebugging(exe, options);
    shell.Debug()->repaint();
    return ok;
  }
};

std::string g_big, g_loop;

void BM_TraceStep(benchmark::State& state) {
  Ide ide;
  if (!ide.Start(g_big)) state.SkipWithError("start failed");
  for (int i = 0; i < 1000; ++i) ide.shell.Main()->RunCommand(QStringLiteral("mnuTrace"));
  const long before = ResidentKb();
  double command = 0, paint = 0;
  for (auto _ : state) {
    const auto t0 = std::chrono::steady_clock::now();
    ide.shell.Main()->RunCommand(QStringLiteral("mnuTrace"));
    const auto t1 = std::chrono::steady_clock::now();
    // The window system's turn paints what the step changed.
    QCoreApplication::processEvents();
    const auto t2 = std::chrono::steady_clock::now();
    command += std::chrono::duration<double, std::micro>(t1 - t0).count();
    paint += std::chrono::duration<double, std::micro>(t2 - t1).count();
  }
  state.counters["command_us"] = command / static_cast<double>(state.iterations());
  state.counters["paint_us"] = paint / static_cast<double>(state.iterations());
  state.counters["watch_rows"] = static_cast<double>(ide.Core().Watches().Rows().size());
  // The memory over 10,000 more steps, painted every time.
  const long start = ResidentKb();
  for (int i = 0; i < 10000; ++i) {
    ide.shell.Main()->RunCommand(QStringLiteral("mnuTrace"));
    QCoreApplication::processEvents();
  }
  state.counters["rss_kb_after_warmup"] = static_cast<double>(before);
  state.counters["rss_growth_kb_10000_steps"] = static_cast<double>(ResidentKb() - start);
  if (!ide.Core().DebuggingActive()) state.SkipWithError("the program ended");
}

void BM_ShowDisassembly(benchmark::State& state) {
  Ide ide;
  if (!ide.Start(g_big)) state.SkipWithError("start failed");
  for (auto _ : state) {
    ide.Core().ShowDisassembly();
    QCoreApplication::processEvents();
  }
  state.counters["rows"] = ide.Core().Disassembly().RowCount();
}

void BM_CliPlainRun(benchmark::State& state) {
  std::FILE* null = std::fopen("/dev/null", "w");
  Boxes boxes;
  for (auto _ : state) {
    if (tolvane::RunOnStdio(g_loop, {}, stdin, null, null, boxes) != tolvane::kRunNormalEnd)
      state.SkipWithError("run failed");
  }
  std::fclose(null);
  state.counters["instr_per_s"] =
      benchmark::Counter(kLoopInstructions * state.iterations(), benchmark::Counter::kIsRate);
}

void BM_GoInWindow(benchmark::State& state) {
  Ide ide;
  for (auto _ : state) {
    state.PauseTiming();
    if (!ide.Start(g_loop)) state.SkipWithError("start failed");
    ide.Core().AddBreakpoint(0x0050);
    ide.Core().AddBreakpoint(0x0111);
    state.ResumeTiming();
    ide.shell.Main()->RunCommand(QStringLiteral("mnuGo"));
    if (ide.Core().DebuggingActive()) state.SkipWithError("GO did not run to the end");
  }
  state.counters["instr_per_s"] =
      benchmark::Counter(kLoopInstructions * state.iterations(), benchmark::Counter::kIsRate);
}

BENCHMARK(BM_TraceStep)->Unit(benchmark::kMillisecond)->Iterations(2000);
BENCHMARK(BM_ShowDisassembly)->Unit(benchmark::kMillisecond)->Iterations(50);
BENCHMARK(BM_CliPlainRun)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_GoInWindow)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  tolvane::forms::InstallFontSubstitutions();
  QTemporaryDir dir;
  g_dir = &dir;
  g_big = BigProgram();
  g_loop = LoopProgram();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
