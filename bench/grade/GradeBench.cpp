// Judging a class: 300 submissions x 3 small cases in process (the grader,
// two threads), against the way teachers did it before, one `tolvane-cli go`
// process per submission and case. Both report submissions per second
// (items_per_second). The grader's peak memory is given for 30 and for 300
// submissions (max_rss_kib): it must not grow with the class.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "grade/Grade.h"

namespace {

namespace fs = std::filesystem;
using namespace tolvane::grade;

// The class: an echo exercise, every third submission wrong.
struct Class {
  fs::path dir;
  std::vector<std::string> submissions;
  std::vector<Case> cases;

  explicit Class(int count) {
    dir = fs::temp_directory_path() / ("grade_bench_" + std::to_string(count));
    fs::remove_all(dir);
    fs::create_directories(dir);
    for (int i = 0; i < count; ++i) {
      const fs::path p = dir / ("student" + std::to_string(i) + ".cas");
      std::ofstream(p) << "ECHO    START\n"
                          "LOOP    IN      BUF,LEN\n"
                          "        LD      GR1,LEN\n"
                          "        JMI     FIN\n"
                          "        OUT     BUF,LEN\n"
                       << (i % 3 == 2 ? "" : "        JUMP    LOOP\n")
                       << "FIN     RET\n"
                          "BUF     DS      256\n"
                          "LEN     DS      1\n"
                          "        END\n";
      submissions.push_back(p.string());
    }
    const char* inputs[] = {"hello\n", "first\nsecond\nthird\n", ""};
    for (int k = 0; k < 3; ++k) {
      Case c;
      c.name = "case" + std::to_string(k);
      c.input = inputs[k];
      c.expected = inputs[k];
      cases.push_back(c);
      std::ofstream(dir / (c.name + ".in")) << inputs[k];
    }
  }
  ~Class() { fs::remove_all(dir); }
};

long MaxRssKib() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss;
}

void BM_Grader(benchmark::State& state) {
  Class cls(static_cast<int>(state.range(0)));
  GradeOptions options;
  options.jobs = 2;
  std::size_t passed = 0;
  for (auto _ : state) {
    passed = 0;
    for (const SubmissionResult& s : Grade(cls.submissions, cls.cases, options)) passed += s.passed;
    benchmark::DoNotOptimize(passed);
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
  state.counters["max_rss_kib"] = static_cast<double>(MaxRssKib());
}
BENCHMARK(BM_Grader)->Arg(30)->Arg(300)->Unit(benchmark::kMillisecond)->UseRealTime();

// One process per case, two at a time as a shell script with `xargs -P 2`
// would; the program's output goes to a file for the comparison.
void BM_GoPerCase(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  Class cls(count);
  const std::string script = (cls.dir / "run.sh").string();
  {
    std::ofstream s(script);
    s << "cd '" << cls.dir.string() << "' && for i in $(seq 0 " << count - 1
      << "); do for k in 0 1 2; do echo \"$i $k\"; done; done | xargs -P 2 -n 2 sh -c '\"" TOLVANE_CLI
         "\" go student$0.cas <case$1.in >out$0_$1.txt 2>/dev/null; true'\n";
  }
  for (auto _ : state) {
    if (std::system(("sh " + script).c_str()) != 0) state.SkipWithError("the script failed");
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * count);
}
BENCHMARK(BM_GoPerCase)->Arg(30)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

}  // namespace

BENCHMARK_MAIN();
