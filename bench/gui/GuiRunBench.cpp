// How fast the IDE's Run executes a program compared with `tolvane-cli run`:
// the same load module (a counting loop of about 131 million instructions) run
//  - by RunOnStdio, the code path of `tolvane-cli run`, and
//  - by the main window's Run EXE command (F9 without the build), offscreen,
//    with the window system getting its turns as in the real IDE.
// Counters: instructions per second.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QSettings>
#include <QTemporaryDir>
#include <cstdio>

#include "app/Shell.h"
#include "debugger/TerminalRun.h"
#include "forms/DialogPort.h"
#include "forms/dlgOption_f.h"
#include "forms/frmMain_f.h"
#include "link/LoadModule.h"

namespace {

constexpr tolvane::Word kOrigin = 0x0100;
constexpr int kOuter = 1000;
// LAD GR1,0 + 65536 x (ADDL, JNZ) + SUBA + JNZ per outer round; two LADs and RET.
constexpr double kInstructions = 2.0 + kOuter * (1.0 + 65536.0 * 2.0 + 2.0) + 1.0;

struct Boxes : tolvane::MessageBoxPort {
  tolvane::BoxAnswer ShowMessageBox(tolvane::BoxKind, const std::string& text, tolvane::BoxButtons) override {
    std::fprintf(stderr, "%s\n", text.c_str());
    return tolvane::BoxAnswer::Ok;
  }
};

struct Sink : tolvane::MessageSink {
  void AppendMessageLine(const std::string& line) override { std::fprintf(stderr, "%s\n", line.c_str()); }
};

// Writes loop.exe, loop.sym (and an empty loop.cas, so that the IDE has a page naming it).
std::string MakeProgram(const QString& dir) {
  using tolvane::Word;
  const auto a = [](Word relative) { return static_cast<Word>(kOrigin + relative); };
  tolvane::LoadModule m;
  m.origin = kOrigin;
  m.start = kOrigin;
  m.image = {
      0x1230, 0x0001,  // 0: LAD GR3,1
      0x1220, kOuter,  // 2: LAD GR2,kOuter
      0x1210, 0x0000,  // 4: LAD GR1,0
      0x2613,          // 6: ADDL GR1,GR3
      0x6200, a(6),    // 7: JNZ 6
      0x2523,          // 9: SUBA GR2,GR3
      0x6200, a(4),    // 10: JNZ 4
      0x8100,          // 12: RET
  };
  m.stackLimit = static_cast<Word>(kOrigin + m.image.size());
  m.initialSp = static_cast<Word>(m.stackLimit + 0x0800);
  const std::string exe = QDir(dir).filePath("loop.exe").toStdString();
  Sink sink;
  if (!tolvane::WriteLoadModule(exe, m, sink)) std::abort();
  // Run loads the symbol file too (symbolic debugging is on by default).
  if (!tolvane::WriteSymbolFile(QDir(dir).filePath("loop.sym").toStdString(), {}, sink)) std::abort();
  QFile cas(QDir(dir).filePath("loop.cas"));
  if (!cas.open(QIODevice::WriteOnly)) std::abort();
  return exe;
}

QTemporaryDir* g_dir = nullptr;
std::string g_exe;

void BM_CliPlainRun(benchmark::State& state) {
  std::FILE* null = std::fopen("/dev/null", "w");
  Boxes boxes;
  for (auto _ : state) {
    const int rc = tolvane::RunOnStdio(g_exe, {}, stdin, null, null, boxes);
    if (rc != tolvane::kRunNormalEnd) state.SkipWithError("run failed");
  }
  std::fclose(null);
  state.counters["instr_per_s"] = benchmark::Counter(kInstructions * state.iterations(), benchmark::Counter::kIsRate);
}

void BM_IdeRunExe(benchmark::State& state) {
  tolvane::app::Shell shell;
  shell.Create();
  shell.Main()->show();
  QCoreApplication::processEvents();
  if (!shell.OpenFile(QDir(g_dir->path()).filePath("loop.cas"))) state.SkipWithError("open failed");
  for (auto _ : state) shell.Main()->RunCommand(QStringLiteral("mnuRunExe"));
  state.counters["instr_per_s"] = benchmark::Counter(kInstructions * state.iterations(), benchmark::Counter::kIsRate);
}

BENCHMARK(BM_CliPlainRun)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_IdeRunExe)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QTemporaryDir dir;
  g_dir = &dir;
  // The options come from a folder of the benchmark's own, holding the defaults.
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.path());
  {
    QSettings settings(QStringLiteral("ORVELL"), QStringLiteral("Tolvane"));
    settings.beginGroup(QStringLiteral("Option"));
    tolvane::forms::WriteOptionValues(settings, tolvane::forms::OptionValues());
  }
  g_exe = MakeProgram(dir.path());
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
