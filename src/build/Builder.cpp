#include "build/Builder.h"

#include "asm/Assembler.h"
#include "build/BuildPlan.h"
#include "common/AtomicFile.h"
#include "common/ChangeExtension.h"
#include "common/Cp932.h"
#include "link/Linker.h"

namespace tolvane::build {

namespace {

Notice Error(const std::string& text) { return {NoticeKind::Error, text}; }
Notice Warning(const std::string& text) { return {NoticeKind::Warning, text}; }

StepResult Refused(Notice notice) { return {kStepRefused, std::move(notice)}; }

std::string PleaseSave(const std::string& path) { return DisplayPath(path) + Cp932Text(u8"を保存してください。"); }

const Notice& AssemblyFailed() {
  static const Notice notice = Error(Cp932Text(u8"アセンブル中にエラーが発生しました。"));
  return notice;
}
const Notice& LinkFailed() {
  static const Notice notice = Error(Cp932Text(u8"リンク中にエラーが発生しました。"));
  return notice;
}

// The open project's plan: its entries from its file on disk, as paths in its folder.
std::optional<Notice> PlanOf(const Project& project, const BuildOptions& options, BuildPlan& plan) {
  return PlanProjectBuild(project.FileName(), project.EntryFolder(), options, plan);
}

}  // namespace

bool CoreTools::Assemble(const std::string& sourcePath, const BuildOptions& options, MessageSink& sink) {
  return tolvane::Assemble(sourcePath, options, sink) == 1;
}

bool CoreTools::Link(const std::vector<std::string>& paths, const BuildOptions& options, MessageSink& sink) {
  return tolvane::Link(paths, options, sink);
}

const EditorPage* Workspace::Current() const {
  if (currentPage < 1 || currentPage > static_cast<int>(pages.size())) return nullptr;
  return &pages[static_cast<std::size_t>(currentPage - 1)];
}

std::string Target(const Workspace& workspace, const Project& project) {
  if (project.IsOpen()) {
    const std::string main = project.MainRoutine();
    return main.empty() ? std::string() : EntryPath(project.EntryFolder(), main);
  }
  const EditorPage* page = workspace.Current();
  return page ? page->path : std::string();
}

std::optional<Notice> ReadEntries(const std::string& projectPath, std::vector<std::string>& entries) {
  entries.clear();
  std::vector<std::string> lines;
  std::string error;
  bool unconvertible = false;
  if (!ReadProjectFile(projectPath, lines, error, &unconvertible))
    return Notice{unconvertible ? NoticeKind::Error : NoticeKind::Failure, error};
  // A line that is not a plain name in the project's folder would make a build
  // read or write elsewhere: the whole file is refused, naming the line.
  for (std::size_t i = 0; i < lines.size(); ++i) {
    switch (CheckEntryName(lines[i])) {
      case EntryProblem::None:
        break;
      case EntryProblem::Empty:
        return Error(DisplayPath(projectPath) + Cp932Text(u8"の") + std::to_string(i + 1) +
                     Cp932Text(u8"行目が空です。"));
      case EntryProblem::NotBareName:
        return Error(DisplayPath(projectPath) + Cp932Text(u8"の") + std::to_string(i + 1) + Cp932Text(u8"行目の") +
                     ShownEntry(lines[i]) +
                     Cp932Text(u8"はプロジェクトファイルと同じディレクトリのファイル名ではありません。"));
    }
  }
  entries = std::move(lines);
  return std::nullopt;
}

std::optional<Notice> ReadProjectForOpen(const std::string& projectPath, std::vector<std::string>& entries) {
  if (std::optional<Notice> refused = ReadEntries(projectPath, entries)) return refused;
  FolderIndex folder(FolderOf(projectPath));
  for (const std::string& entry : entries) {
    const std::string path = folder.EntryPath(entry);
    if (!IsFile(path)) {
      entries.clear();
      if (KindBehindPath(path) != PathKind::Missing) return Error(ShownEntry(entry) + InputProblemText(path));
      return Error(ShownEntry(entry) + Cp932Text(u8"が存在しません。") + "\n" +
                   Cp932Text(u8"同じディレクトリに追加してください。"));
    }
  }
  return std::nullopt;
}

std::optional<Notice> RunExeTarget(const Workspace& workspace, const Project& project, std::string& target) {
  target = Target(workspace, project);
  if (target.empty()) return Error(Cp932Text(u8"実行できません。"));
  return std::nullopt;
}

std::optional<Notice> DebugStartTarget(const Workspace& workspace, const Project& project, std::string& target) {
  target = Target(workspace, project);
  if (target.empty()) return Error(Cp932Text(u8"実行できません。"));
  if (project.IsOpen()) return std::nullopt;
  // A single file: its load module must be there already.
  const std::string program = ChangeExtension(target, ".exe");
  if (!IsFile(program)) {
    target.clear();
    return Error(DisplayPath(program) + InputProblemText(program));
  }
  return std::nullopt;
}

// ---------------------------------------------------------------------------

bool Builder::AssembleOne(const std::string& path, const BuildOptions& options) {
  return tools_.Assemble(path, options, messages_);
}

void Builder::CloseListings() {
  if (listings_) listings_->CloseListings();
}

void Builder::OpenListing(const std::string& path) {
  if (listings_) listings_->OpenListing(path);
}

int UnsavedPage(const Workspace& workspace, bool currentOnly) {
  if (currentOnly) {
    const EditorPage* page = workspace.Current();
    return page && page->modified ? workspace.currentPage : 0;
  }
  for (std::size_t i = 0; i < workspace.pages.size(); ++i)
    if (workspace.pages[i].modified) return static_cast<int>(i + 1);
  return 0;
}

StepResult Builder::AssembleCurrent(const Workspace& workspace, const BuildOptions& options) {
  const EditorPage* page = workspace.Current();
  if (!page) return Refused(Error(Cp932Text(u8"アセンブルできません。")));
  // An untitled page counts as modified until saved, so it is refused here.
  if (UnsavedPage(workspace, true)) return Refused(Warning(PleaseSave(page->path)));
  messages_.ClearMessages();
  if (!AssembleOne(page->path, options)) return {kStepFailed, std::nullopt};
  if (options.listing) OpenListing(page->path);
  return {kStepSucceeded, std::nullopt};
}

StepResult Builder::AssembleAll(const Workspace& workspace, const Project& project, const BuildOptions& options) {
  if (const int unsaved = UnsavedPage(workspace, false))
    return Refused(Warning(PleaseSave(workspace.pages[static_cast<std::size_t>(unsaved - 1)].path)));
  if (project.IsModified()) return Refused(Warning(PleaseSave(project.FileName())));
  if (!project.IsOpen()) {
    const EditorPage* page = workspace.Current();
    if (!page) return Refused(Error(Cp932Text(u8"アセンブルできません。")));
    messages_.ClearMessages();
    if (!AssembleOne(page->path, options)) return {kStepFailed, std::nullopt};
    if (options.listing) OpenListing(page->path);
    return {kStepSucceeded, std::nullopt};
  }
  BuildPlan plan;
  if (std::optional<Notice> refused = PlanOf(project, options, plan)) return Refused(*refused);
  return AssemblePlan(plan);
}

StepResult Builder::AssemblePlan(const BuildPlan& plan) {
  // Every entry is checked before anything is assembled.
  for (std::size_t i = 0; i < plan.entries.size() && i < plan.files.size(); ++i)
    if (!IsFile(plan.files[i])) return Refused(Error(ShownEntry(plan.entries[i]) + InputProblemText(plan.files[i])));
  messages_.ClearMessages();
  bool failed = false;
  for (const std::string& path : plan.files) {
    if (!IsSourceName(path)) continue;  // an object file is only linked
    if (!AssembleOne(path, plan.options)) failed = true;
    // Its listing is shown whether or not it assembled: the errors are marked there.
    if (plan.options.listing) OpenListing(path);
  }
  return {failed ? kStepFailed : kStepSucceeded, std::nullopt};
}

StepResult Builder::LinkAll(const Workspace& workspace, const Project& project, const BuildOptions& options) {
  if (project.IsModified()) return Refused(Warning(PleaseSave(project.FileName())));
  std::vector<std::string> paths;
  if (project.IsOpen()) {
    BuildPlan plan;
    if (std::optional<Notice> refused = PlanOf(project, options, plan)) return Refused(*refused);
    paths = std::move(plan.files);
  } else {
    const EditorPage* page = workspace.Current();
    if (!page) return Refused(Error(Cp932Text(u8"リンクできません。")));
    paths.push_back(page->path);
  }
  return {tools_.Link(paths, options, messages_) ? kStepSucceeded : kStepFailed, std::nullopt};
}

BuildResult Builder::AssembleCommand(const Workspace& workspace, const BuildOptions& options) {
  CloseListings();
  StepResult step = AssembleCurrent(workspace, options);
  BuildResult result;
  result.assembled = step.outcome;
  if (step.outcome == kStepFailed) result.notice = AssemblyFailed();
  if (step.outcome == kStepRefused) result.notice = std::move(step.notice);
  return result;
}

BuildResult Builder::LinkCommand(const Workspace& workspace, const Project& project, const BuildOptions& options) {
  messages_.ClearMessages();
  StepResult step = LinkAll(workspace, project, options);
  BuildResult result;
  result.linked = step.outcome;
  if (step.outcome == kStepFailed) result.notice = LinkFailed();
  if (step.outcome == kStepRefused) result.notice = std::move(step.notice);
  return result;
}

void Builder::AssembleAndLink(const Workspace& workspace, const Project& project, const BuildOptions& options,
                              BuildResult& result) {
  StepResult assembled = AssembleAll(workspace, project, options);
  result.assembled = assembled.outcome;
  if (assembled.outcome == kStepFailed) result.notice = AssemblyFailed();
  if (assembled.outcome == kStepRefused) result.notice = std::move(assembled.notice);
  if (assembled.outcome != kStepSucceeded) return;
  // LinkAll neither checks pages nor clears the messages: its lines follow the assembler's.
  StepResult linked = LinkAll(workspace, project, options);
  result.linked = linked.outcome;
  if (linked.outcome == kStepFailed) result.notice = LinkFailed();
  if (linked.outcome == kStepRefused) result.notice = std::move(linked.notice);
}

BuildResult Builder::BuildCommand(const Workspace& workspace, const Project& project, const BuildOptions& options) {
  CloseListings();
  BuildResult result;
  result.target = Target(workspace, project);
  AssembleAndLink(workspace, project, options, result);
  return result;
}

BuildResult Builder::RunCommand(const Workspace& workspace, const Project& project, const BuildOptions& options) {
  BuildResult result;
  result.target = Target(workspace, project);
  if (result.target.empty()) {
    result.notice = Error(Cp932Text(u8"アセンブルできません。"));
    return result;
  }
  CloseListings();
  AssembleAndLink(workspace, project, options, result);
  return result;
}

BuildResult Builder::BuildProjectFile(const std::string& projectPath, const BuildOptions& options,
                                      const EntriesSeen& opened) {
  BuildPlan plan;
  if (std::optional<Notice> refused = PlanProjectBuild(projectPath, FolderOf(projectPath), options, plan)) {
    BuildResult result;
    result.assembled = kStepRefused;
    result.notice = refused;
    return result;
  }
  if (opened) opened(plan.entries);
  return RunPlan(plan);
}

BuildResult Builder::BuildFiles(const std::vector<std::string>& paths, const BuildOptions& options) {
  BuildPlan plan;
  if (std::optional<Notice> refused = PlanFiles(paths, options, plan)) {
    BuildResult result;
    result.assembled = kStepRefused;
    result.notice = std::move(refused);
    return result;
  }
  return RunPlan(plan);
}

BuildResult Builder::RunPlan(const BuildPlan& plan) {
  BuildResult result;
  if (plan.chooseMain) {
    result.assembled = kStepRefused;
    result.notice = Error(Cp932Text(u8"アセンブルできません。"));
    return result;
  }
  CloseListings();
  result.target = plan.MainProgram();
  StepResult assembled = AssemblePlan(plan);
  result.assembled = assembled.outcome;
  if (assembled.outcome == kStepFailed) result.notice = AssemblyFailed();
  if (assembled.outcome == kStepRefused) result.notice = std::move(assembled.notice);
  if (assembled.outcome != kStepSucceeded) return result;
  result.linked = tools_.Link(plan.files, plan.options, messages_) ? kStepSucceeded : kStepFailed;
  if (result.linked == kStepFailed) result.notice = LinkFailed();
  return result;
}

}  // namespace tolvane::build
