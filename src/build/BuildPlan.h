#pragma once
// What a build assembles and links: the files in link order (the main program
// first) and the options, made once from what the user named. The builder runs
// a plan to disk (build, go); the grader runs the same plan in memory, so a
// program builds under both or under neither.
#include <optional>
#include <string>
#include <vector>

#include "build/Builder.h"
#include "common/BuildOptions.h"
#include "link/ObjectFile.h"

namespace tolvane::build {

struct BuildPlan {
  // File-system paths in link order: sources (IsSourceName) are assembled,
  // any other file is an object file. The first is the main program unless
  // `chooseMain` is set.
  std::vector<std::string> files;
  // A project's entries as its file names them (CP932), for the first files:
  // the build checks those files before it starts and names a missing one so.
  std::vector<std::string> entries;
  // A folder without a project file: which program is the main one is known
  // only once the sources are assembled (ChooseMainProgram).
  bool chooseMain = false;
  BuildOptions options;
  std::string MainProgram() const { return files.empty() ? std::string() : files.front(); }
};

// Files named on a command line, linked in the order given (a non-source name
// stands for its object file). Refused when none is given or one is missing.
std::optional<Notice> PlanFiles(const std::vector<std::string>& paths, const BuildOptions& options, BuildPlan& plan);

// A project file: its entries as Project Open reads them (ReadEntries), found
// in its folder as the IDE's build finds them (CP932 names, any letter case).
// Entries need not exist yet; the build reports a missing one.
// A project without entries is refused.
std::optional<Notice> PlanProject(const std::string& projectPath, const BuildOptions& options, BuildPlan& plan);

// The same as the IDE's project build reads it: the entries found in
// `entryFolder` (the open project's folder), and a project without entries
// planned as it is (its link reports that nothing was given).
std::optional<Notice> PlanProjectBuild(const std::string& projectPath, const std::string& entryFolder,
                                       const BuildOptions& options, BuildPlan& plan);

// A folder: with a project file (the first .mak by name) its entries, then
// every other source of the folder; without one every source, sorted by name,
// and the main program chosen after assembly.
std::optional<Notice> PlanFolder(const std::string& folder, const BuildOptions& options, BuildPlan& plan);

// The main program among assembled objects: the one whose START label no
// other calls. -1 with `why` (message text) when there is none or several;
// when none, a CALL of a label no object defines is named, as that is
// usually why the program that should be the main one is missing.
int ChooseMainProgram(const std::vector<ObjectFile>& objects, std::string& why);

}  // namespace tolvane::build
