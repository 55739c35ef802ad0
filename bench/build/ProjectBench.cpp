// Finding a project's entries in its folder when their letter case differs
// from the files' (a project written where names ignore case): the folder is
// read once per build, so the time per entry stays flat from 1,000 to 5,000
// entries instead of growing with the folder (BM_EntryPathOneByOne, one
// lookup per entry, shows the growth it had).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "build/ProjectFile.h"

namespace {

namespace fs = std::filesystem;

class Folder {
 public:
  explicit Folder(int files) {
    path_ = fs::temp_directory_path() /
            ("tolvane-bench-project-" + std::to_string(::getpid()) + "-" + std::to_string(files));
    fs::create_directories(path_);
    for (int i = 0; i < files; ++i) {
      std::ofstream(path_ / ("src" + std::to_string(i) + ".cas")) << "x";
      entries_.push_back("SRC" + std::to_string(i) + ".CAS");
    }
  }
  ~Folder() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  Folder(const Folder&) = delete;
  Folder& operator=(const Folder&) = delete;
  std::string Name() const { return path_.string() + "/"; }
  const std::vector<std::string>& Entries() const { return entries_; }

 private:
  fs::path path_;
  std::vector<std::string> entries_;
};

void BM_EntryPathsOtherCase(benchmark::State& state) {
  const Folder folder(static_cast<int>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(tolvane::build::EntryPaths(folder.Name(), folder.Entries()));
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_EntryPathsOtherCase)->Arg(1000)->Arg(3000)->Arg(5000)->Unit(benchmark::kMillisecond);

// For comparison, what a build did before: one lookup of its own per entry,
// each reading the whole folder.
void BM_EntryPathOneByOne(benchmark::State& state) {
  const Folder folder(static_cast<int>(state.range(0)));
  for (auto _ : state)
    for (const std::string& entry : folder.Entries())
      benchmark::DoNotOptimize(tolvane::build::EntryPath(folder.Name(), entry));
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_EntryPathOneByOne)->Arg(1000)->Arg(3000)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
