#pragma once
// The build and run commands' rules, shared by the IDE and tolvane-cli: which
// files take part, the refusals before any tool runs, the order of the steps
// and the box each outcome shows. The front ends only show the result's box
// and switch their commands.
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "build/Project.h"
#include "common/BuildOptions.h"
#include "common/MessageSink.h"

namespace tolvane::build {

// The tools a build calls. Paths are file-system bytes.
class BuildTools {
 public:
  virtual ~BuildTools() = default;
  // True when the source assembled without errors and its object file was written.
  virtual bool Assemble(const std::string& sourcePath, const BuildOptions& options, MessageSink& sink) = 0;
  // True when the load module (and the symbol file, if wanted) was written.
  virtual bool Link(const std::vector<std::string>& paths, const BuildOptions& options, MessageSink& sink) = 0;
};

// The assembler and the linker themselves.
class CoreTools : public BuildTools {
 public:
  bool Assemble(const std::string& sourcePath, const BuildOptions& options, MessageSink& sink) override;
  bool Link(const std::vector<std::string>& paths, const BuildOptions& options, MessageSink& sink) override;
};

// The listing viewer as the builds use it (the IDE has one; the CLI none).
class ListingPort {
 public:
  virtual ~ListingPort() = default;
  virtual void CloseListings() = 0;
  // Shows the listing of `sourcePath` (its ".lst" sibling) in the next page.
  virtual void OpenListing(const std::string& sourcePath) = 0;
};

// A box for the user. `Failure` is the system's description of a failed file
// operation, shown without caption and icon.
enum class NoticeKind { Error, Warning, Information, Failure };
struct Notice {
  NoticeKind kind;
  std::string text;  // CP932
  bool operator==(const Notice&) const = default;
};

// The outcome of one build step.
enum StepOutcome : int {
  kStepFailed = 0,     // the tool ran and reported failure
  kStepSucceeded = 1,  // success
  kStepRefused = 2,    // refused before any tool ran; the notice says why
  kStepNotRun = -1,    // (in a BuildResult) the command did not get to this step
};

struct StepResult {
  int outcome = kStepNotRun;
  std::optional<Notice> notice;
};

// The editor pages as a build sees them.
struct EditorPage {
  std::string path;  // file-system bytes; an untitled page's bare untitled name
  bool modified = false;
};
struct Workspace {
  std::vector<EditorPage> pages;  // the open pages, in page order
  int currentPage = 0;            // 1-based; 0 when no page is open
  const EditorPage* Current() const;
};

// What a command did: the outcome of each step it ran and the one box it shows.
struct BuildResult {
  int assembled = kStepNotRun;
  int linked = kStepNotRun;
  std::optional<Notice> notice;
  std::string target;  // Run and the CLI's builds: the source path naming the program
  // Every step the command has ran and succeeded.
  bool Succeeded() const {
    return assembled != kStepFailed && assembled != kStepRefused && linked != kStepFailed && linked != kStepRefused &&
           !notice;
  }
};

// The first modified page (1-based) that keeps a build from running: the
// current page for Assemble (`currentOnly`), any open page for Build and Run;
// 0 when none. A front end may offer to save it before the command refuses.
int UnsavedPage(const Workspace& workspace, bool currentOnly);

// The source file that names the program: with an open project its folder and
// main routine, otherwise the current page's path; empty when there is neither.
std::string Target(const Workspace& workspace, const Project& project);

// Reads a project file and checks its lines as entries (no file has to exist).
// On failure the notice says why and `entries` is empty.
std::optional<Notice> ReadEntries(const std::string& projectPath, std::vector<std::string>& entries);

// Project Open's checks: ReadEntries, then every entry must name a file in the
// project file's folder.
std::optional<Notice> ReadProjectForOpen(const std::string& projectPath, std::vector<std::string>& entries);

// Run EXE and Debug Start: the target, or the refusal.
std::optional<Notice> RunExeTarget(const Workspace& workspace, const Project& project, std::string& target);
std::optional<Notice> DebugStartTarget(const Workspace& workspace, const Project& project, std::string& target);

struct BuildPlan;

class Builder {
 public:
  Builder(BuildTools& tools, MessageSink& messages, ListingPort* listings = nullptr)
      : tools_(tools), messages_(messages), listings_(listings) {}

  // The build steps.
  StepResult AssembleCurrent(const Workspace& workspace, const BuildOptions& options);
  StepResult AssembleAll(const Workspace& workspace, const Project& project, const BuildOptions& options);
  StepResult LinkAll(const Workspace& workspace, const Project& project, const BuildOptions& options);

  // The commands (after their debugging guard).
  BuildResult AssembleCommand(const Workspace& workspace, const BuildOptions& options);
  BuildResult LinkCommand(const Workspace& workspace, const Project& project, const BuildOptions& options);
  BuildResult BuildCommand(const Workspace& workspace, const Project& project, const BuildOptions& options);
  // Run up to the program: the target check, assembly and link. The program is
  // run (by the caller) when the result succeeded; `target` names it.
  BuildResult RunCommand(const Workspace& workspace, const Project& project, const BuildOptions& options);

  // Files named on a command line: every source (IsSourceName) is assembled,
  // then all are linked in order (others as object files). `target` is the first.
  BuildResult BuildFiles(const std::vector<std::string>& paths, const BuildOptions& options);
  // A build plan (BuildPlan.h) to disk: a project's entries checked on disk,
  // its sources assembled, then all its files linked in order. A plan that
  // still has to choose its main program is refused (only the grader, which
  // links in memory, chooses).
  BuildResult RunPlan(const BuildPlan& plan);

  // A project file named on a command line, built as Project Open and then
  // Build leave it: its plan (PlanProjectBuild) run to disk. `opened`, when
  // given, sees the entries before the build starts.
  using EntriesSeen = std::function<void(const std::vector<std::string>& entries)>;
  BuildResult BuildProjectFile(const std::string& projectPath, const BuildOptions& options,
                               const EntriesSeen& opened = {});

 private:
  bool AssembleOne(const std::string& path, const BuildOptions& options);
  // The assembly step of a plan: after the checks of a project's entries the
  // messages are cleared and every source is assembled, its listing shown.
  StepResult AssemblePlan(const BuildPlan& plan);
  void CloseListings();
  void OpenListing(const std::string& path);
  // Assembly, then link when it succeeded, with the boxes of their failures.
  void AssembleAndLink(const Workspace& workspace, const Project& project, const BuildOptions& options,
                       BuildResult& result);

  BuildTools& tools_;
  MessageSink& messages_;
  ListingPort* listings_;
};

}  // namespace tolvane::build
