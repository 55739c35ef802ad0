#include "build/BuildPlan.h"

#include <algorithm>
#include <filesystem>
#include <set>

#include "build/ProjectFile.h"
#include "common/AtomicFile.h"
#include "common/ChangeExtension.h"
#include "common/Cp932.h"

namespace tolvane::build {

namespace fs = std::filesystem;

namespace {

Notice Error(const std::string& text) { return {NoticeKind::Error, text}; }

}  // namespace

std::optional<Notice> PlanFiles(const std::vector<std::string>& paths, const BuildOptions& options, BuildPlan& plan) {
  plan = BuildPlan{};
  plan.options = options;
  if (paths.empty()) return Error(Cp932Text(u8"アセンブルできません。"));
  for (const std::string& path : paths) {
    // What the tools will read: the source itself, or the object file of any other name.
    const std::string needed = IsSourceName(path) ? path : ChangeExtension(path, ".obj");
    if (!IsFile(needed)) return Error(DisplayPath(needed) + InputProblemText(needed));
  }
  plan.files = paths;
  return std::nullopt;
}

std::optional<Notice> PlanProjectBuild(const std::string& projectPath, const std::string& entryFolder,
                                       const BuildOptions& options, BuildPlan& plan) {
  plan = BuildPlan{};
  plan.options = options;
  if (std::optional<Notice> refused = ReadEntries(projectPath, plan.entries)) return refused;
  plan.files = EntryPaths(entryFolder, plan.entries);
  return std::nullopt;
}

std::optional<Notice> PlanProject(const std::string& projectPath, const BuildOptions& options, BuildPlan& plan) {
  if (std::optional<Notice> refused = PlanProjectBuild(projectPath, FolderOf(projectPath), options, plan))
    return refused;
  if (plan.files.empty()) return Error(DisplayPath(projectPath) + ": the project has no entries");
  return std::nullopt;
}

std::optional<Notice> PlanFolder(const std::string& folder, const BuildOptions& options, BuildPlan& plan) {
  plan = BuildPlan{};
  plan.options = options;
  std::error_code ec;
  std::vector<std::string> sources, projects;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (!IsSourceName(name) && !IsProjectName(name)) continue;
    if (it->is_directory(ec)) continue;
    (IsSourceName(name) ? sources : projects).push_back(it->path().string());
  }
  if (ec) return Error(DisplayPath(folder) + ": " + DisplayPath(ec.message()));
  if (sources.empty()) return Error(DisplayPath(folder) + ": a folder without .cas files");
  std::sort(sources.begin(), sources.end());
  if (projects.empty()) {
    plan.files = std::move(sources);
    plan.chooseMain = plan.files.size() > 1;
    return std::nullopt;
  }
  std::sort(projects.begin(), projects.end());
  if (std::optional<Notice> refused = PlanProject(projects.front(), options, plan)) return refused;
  // The project's order, then any source it does not name.
  for (const std::string& s : sources)
    if (std::none_of(plan.files.begin(), plan.files.end(),
                     [&](const std::string& f) { return fs::equivalent(f, s, ec); }))
      plan.files.push_back(s);
  return std::nullopt;
}

int ChooseMainProgram(const std::vector<ObjectFile>& objects, std::string& why) {
  std::set<std::string> called, defined;
  for (const ObjectFile& o : objects) {
    for (const SymbolRecord& x : o.externals) called.insert(x.name);
    for (const SymbolRecord& e : o.entries) defined.insert(e.name);
  }
  std::vector<int> mains;
  for (std::size_t i = 0; i < objects.size(); ++i)
    if (std::any_of(objects[i].entries.begin(), objects[i].entries.end(),
                    [&](const SymbolRecord& e) { return !called.count(e.name); }))
      mains.push_back(static_cast<int>(i));
  if (mains.size() == 1) return mains.front();
  why = mains.empty() ? "no program that no other calls, so no main program"
                      : "more than one program that no other calls; name the main one in a .mak";
  // A CALL of a label nobody defines leaves the program meant to be called
  // looking like a main program of its own: that is the thing to mend.
  for (const std::string& name : called)
    if (!defined.count(name)) {
      why += " (" + name + " is called but no program defines it)";
      break;
    }
  return -1;
}

}  // namespace tolvane::build
