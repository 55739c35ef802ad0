#pragma once
#include <QHash>
#include <QMainWindow>
#include <QMargins>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "build/Builder.h"
#include "build/Project.h"
#include "common/BuildOptions.h"
#include "common/MessageSink.h"
#include "debugger/SessionState.h"
#include "forms/RecentFiles.h"
#include "forms/frmEditor_f.h"

class QAction;
class QDialog;
class QDockWidget;
class QMenu;
class QTimer;
class QToolBar;

namespace tolvane::forms {

class TfrmList;
class TdlgProject;
class TfrmMessage;
class TfrmStandardIo;
class TfrmDebug;
class TFindReplace;
class TPrinting;
struct TextPrintout;

// The tools and execution control as the build and run commands use them. The
// application binds them to the assembler, the linker and the debugger core;
// tests may bind fakes. Paths are file system paths (local 8-bit bytes).
class ShellCore : public build::BuildTools {
 public:
  // Loads the load module named after `target` with ".exe" and runs it to its end.
  virtual bool RunProgram(const std::string& target, const BuildOptions& options) = 0;
  virtual bool StartDebugging(const std::string& target, const BuildOptions& options) = 0;
  virtual bool DebuggingActive() const = 0;
  // True: the caller abandons its command (asks about ending a debugged program).
  virtual bool DebuggingGuard() = 0;
  virtual void Go() {}
  virtual void GoAnimate() {}
  virtual void Trace() {}
  virtual void Step() {}
  virtual void BackStep() {}
  virtual void Pause() {}
  virtual void EndProgram() {}
  // The shell reset switched the debugging commands off; execution control
  // keeps the same state (and clears the debug window's status line).
  virtual void ResetDebuggerCommands() {}
  // The load module last loaded for debugging (empty without one).
  virtual std::string LoadModulePath() const { return {}; }
  // The sources of the program named after `target` that were changed after
  // its build (their lines could not be debugged).
  virtual std::vector<std::string> SourcesChangedSinceBuild(const std::string& target) const {
    (void)target;
    return {};
  }
};

class TfrmMain;

// What a command does about a program being debugged before it runs.
enum class CommandGuard {
  None,    // nothing: it runs whatever the debugger does
  Ask,     // the debugging guard: asks to end debugging; No abandons the command
  Refuse,  // refuses with a notice while debugging (Run, Run EXE)
  Own,     // the handler decides itself (Print: the debug window's picture needs no guard)
};

// One command of the main window: its menu item, its toolbar button (when it
// has a hint), how both start and what they do. Adding a command is adding a
// row; the menus, the toolbar and the dispatch are all built from this table.
struct CommandRow {
  const char* name;  // "mnuNew"; a separator is "N1" etc. with caption nullptr
  const char* menu;  // "mnuFileBar"
  const char8_t* caption = nullptr;
  const char* shortcut = nullptr;  // QKeySequence text or nullptr
  const char8_t* hint = nullptr;   // toolbar hint, nullptr: no toolbar button ("s" + name)
  const char8_t* glyph = nullptr;  // the button's image: one character
  int toolGroup = 0;               // the button's group: groups stand left to right, separated, coloured
                                   // alike; within a group the buttons follow the menu order
  CommandGuard guard = CommandGuard::None;
  bool startEnabled = true;  // the menu item and the toolbar button at start
  void (TfrmMain::*handler)() = nullptr;
  // The debugger's command this item is, when execution control enables it.
  std::optional<debugger::Command> core{};
};
const std::vector<CommandRow>& CommandTable();
// The toolbar, left to right; "|" is a separator.
const QStringList& ToolbarLayout();

// The main window: menus, toolbar, three docking areas and the shell state.
class TfrmMain : public QMainWindow {
  Q_OBJECT
 public:
  // The shell state shared by the commands (the project is below).
  BuildOptions buildOptions;
  int printTarget = 0;

  explicit TfrmMain(QWidget* parent = nullptr);
  ~TfrmMain() override;

  // The windows docked at first show. Any may be null (tests build a partial shell).
  struct DockedWindows {
    TfrmEditor* editor = nullptr;
    TfrmList* list = nullptr;
    TfrmMessage* message = nullptr;
    TfrmStandardIo* standardIo = nullptr;
    TfrmDebug* debug = nullptr;
  };
  void SetWindows(const DockedWindows& windows);
  // The modal dialogs the menus show, by form name ("dlgOption", "dlgAbout",
  // "dlgBreakPoint", "dlgWatch", "dlgProject").
  void SetDialog(const QString& formName, QDialog* dialog);
  void SetCore(ShellCore* core) { core_ = core; }
  // Run at first show before docking (loading the options) and at its end
  // (applying them).
  void SetFirstShowHooks(std::function<void()> loadOptions, std::function<void()> applyOptions);
  // Where the assembler's and linker's lines go when there is no message
  // window (tests of a partial shell).
  void SetMessageSink(MessageSink* sink) { fallbackSink_ = sink; }
  MessageSink& Messages();

  TfrmEditor* Editor() const { return windows_.editor; }
  const DockedWindows& Windows() const { return windows_; }
  // The splash shown while the windows are created; null once released.
  QWidget* Splash() const { return splash_; }
  // Releases the splash (start-up, after the last window was created).
  void ReleaseSplash();
  // Runs `action` once the window is on the screen and painted (a box asked at
  // first show would otherwise stand on an empty screen).
  void RunWhenPainted(std::function<void()> action);

  // Menu item or toolbar button by name ("mnuNew", "smnuNew").
  QAction* Item(const QString& name) const;
  void SetEnabled(const QStringList& names, bool enabled);
  bool IsEnabled(const QString& name) const;
  // Runs a command by its menu item's name, its guard first; false when there
  // is none.
  bool RunCommand(const QString& name);

  // The docking areas.
  enum class DockArea { Edit, Message, Debug };
  static QString AreaName(DockArea area);  // pagecontrolEdit, pagecontrolMessage, panelDebug
  bool AreaAccepts(DockArea area, const QDockWidget* form) const;
  // The area a window is docked in; false when floating, hidden or not docked.
  bool DockedIn(const QDockWidget* form, DockArea* area) const;
  // Activates every page of the area whose caption equals `caption`.
  void ActivatePage(DockArea area, const QString& caption);
  QString ActivePageCaption(DockArea area) const;
  void SetEditAreaWidth(int width);
  int EditAreaWidth() const;
  QRect WorkArea() const;
  // The client area of a window whose frame (title bar and borders, `frame`
  // around the client area) covers `work`.
  static QRect ClientRectInside(const QRect& work, const QMargins& frame);

  // Groups of the enabling rules.
  static const QStringList& EditingGroup();
  static const QStringList& ProjectGroup();
  static const QStringList& SelectionGroup();
  static const QStringList& RunHoldGroup();  // disabled while Run / Run EXE execute
  void EnableEditingGroup(bool on);
  void EnableProjectGroup(bool on);
  void EnableSelectionGroup(bool on);
  // Execution control's enabled commands: every item (and button) that is one
  // of them follows the set.
  void ApplyDebuggerCommands(const debugger::CommandSet& enabled);
  void ShellReset();

  // Build steps: 0 a tool failed, 1 success, 2 refused (a box was shown).
  int AssembleCurrent();
  int AssembleAll();
  int LinkAll();
  // The source file that names the program (empty without one).
  QString Target() const;
  // The editor pages as the build core sees them.
  build::Workspace CurrentWorkspace() const;
  // Shows a box the build core decided on.
  void ShowNotice(const build::Notice& notice);

  // The open project (at most one). The project dialog edits its entries and
  // calls ProjectChanged afterwards.
  const build::Project& Project() const { return project_; }
  build::Project& ProjectState() { return project_; }
  bool ProjectOpen() const { return project_.IsOpen(); }
  bool ProjectModified() const { return project_.IsModified(); }
  // The project file's path as shown ("Project.Mak" while never saved).
  QString ProjectFileName() const;
  // The folder the project's entries live in: the project file's folder once
  // it has one, else the current folder (no trailing separator).
  QString ProjectFolder() const;
  // Asks about unsaved changes, then forgets the project; false when the
  // project stays (Cancel, or a save that did not happen).
  bool CloseProject();
  // Writes the entries to the project file (through Save As while it has none);
  // true only when they were written.
  bool SaveProject();
  // Writes the entries to `path` (making its folder current, creating it on
  // request); the caller names the project after it.
  bool SaveProjectAs(const QString& path);
  void MarkProjectModified();
  // The project's entries, file name or main routine changed: the project
  // dialog shows them again.
  void ProjectChanged();
  // Project Open after its dialog; true when the project opened.
  bool OpenProjectPath(const QString& path);
  bool IsRunning() const { return running_; }

  // The Open command after its dialog: makes the file's folder current and
  // opens it in a new page. True when it opened.
  bool OpenPath(const QString& path);
  // The File menu's list of the files opened or saved last.
  TRecentFiles& RecentFiles() { return *recentFiles_; }
  QMenu* RecentFilesMenu() const { return recentMenu_; }
  // The Save As command for the current page; true when the page was written.
  bool SaveAsCommand();
  // The find and replace dialogs with their handlers.
  TFindReplace* FindReplace() const { return findReplace_; }
  // The picture printout of the debug window (its pane menus and printTarget 4).
  void PrintDebugWindow();
  // The printer and the print jobs.
  TPrinting& Printing() { return *printing_; }
  // The text printout of print target 1, 2 or 3; false when that window is
  // hidden or has nothing in front (no current page, no listing).
  bool TextPrintoutFor(int target, TextPrintout& printout) const;
  // A page was saved under a new path: the open project follows it.
  void UpdateProjectAfterRename(const QString& oldPath, const QString& newPath);

 public slots:
  // The commands' handlers. The menus, the toolbar and the editor's popup run
  // them through RunCommand, which applies the command's guard first; a direct
  // call skips it.
  void mnuNewClick();
  void mnuOpenClick();
  void mnuProjectNewClick();
  void mnuProjectOpenClick();
  void mnuSaveClick();
  void mnuSaveAsClick();
  void mnuProjectSaveClick();
  void mnuProjectSaveAsClick();
  void mnuAllSaveClick();
  void mnuCloseClick();
  void mnuAllCloseClick();
  void mnuPrintClick();
  void mnuPrintSetupClick();
  void mnuExitClick();
  void mnuUnDoClick();
  void mnuReDoClick();
  void mnuCutClick();
  void mnuCopyClick();
  void mnuPasteClick();
  void mnuDeleteClick();
  void mnuSelectAllClick();
  void mnuFindClick();
  void mnuReplaceClick();
  void mnuSourceCodeClick();
  void mnuListingFileClick();
  void mnuDebugWindowClick();
  void mnuStandardIoClick();
  void mnuMessageWindowClick();
  void mnuNextErrorClick();
  void mnuPreviousErrorClick();
  void mnuProjectAddClick();
  void mnuProjectDeleteClick();
  void mnuProjectEditClick();
  void mnuRunClick();
  void mnuAssembleClick();
  void mnuLinkClick();
  void mnuBuildClick();
  void mnuRunExeClick();
  void mnuDebugStartClick();
  // The program being debugged became live (Debug Start, Back Step from the
  // end) or ended: the editing area narrows for the debug panel, or gets back
  // the width it had beside it. Only a change of the two does something, so
  // that a width the user drags meanwhile stays.
  void DebuggingLayout(bool live);
  // Debugging ended: the editor gets back the width it had before Debug Start.
  void RestoreEditAreaAfterDebugging();
  // F4 while Debug Start is disabled and nothing runs: why, and an offer to build.
  void ExplainDebugStartUnavailable();
  void mnuGoClick();
  void mnuGoAnimateClick();
  void mnuTraceClick();
  void mnuStepClick();
  void mnuBackStepClick();
  void mnuPauseClick();
  void mnuBreakPointClick();
  void mnuWatchClick();
  void mnuEndProgramClick();
  void mnuOptionClick();
  void mnuContentsClick();
  void mnuAboutClick();

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  class EditorHostImpl;
  void BuildMenusAndToolbar();
  void BuildRecentFilesMenu();
  void FillRecentFilesMenu();
  void OpenRecentFile(const QString& path);
  // `path` goes to the top of the recent files.
  void NoteRecentFile(const QString& path);
  // True when the editor has a page left for another file; else says so.
  bool RoomForAnotherPage();
  // Offers to save each page that would keep the build from running (the
  // current page only for Assemble). False when the student cancelled: the
  // command is then not run. After No the command runs and refuses as ever.
  bool SaveBeforeBuilding(bool currentOnly);
  // "name - Tolvane" for the editor's current page, "Tolvane" without one.
  void UpdateTitle();
  // Puts the frame, title bar included, on the work area.
  void PlaceInWorkArea();
  void FollowFrameMargins();
  void FormShow();
  bool FormCloseQuery();
  bool Guard();
  // An Edit menu command on the editor, after the guard; false when it did not run.
  bool EditorCommand(void (TfrmEditor::*command)());
  bool RefuseWhileDebugging();
  void RunHeld(const QString& target);
  // The Project Save As command after its guard; true when the project was written.
  bool ProjectSaveAsCommand();
  TdlgProject* ProjectDialog() const;
  // A build command through the core: its box shown, its enabling done by the caller.
  build::BuildResult RunBuild(build::BuildResult (build::Builder::*command)(const build::Workspace&,
                                                                            const build::Project&,
                                                                            const BuildOptions&));
  // Link or Build through RunBuild; a linked load module offers Run EXE and
  // Debug Start. True when it was linked.
  bool LinkAndOfferTarget(build::BuildResult (build::Builder::*command)(const build::Workspace&, const build::Project&,
                                                                        const BuildOptions&));
  // Debug Start once the editor was narrowed; returns early wherever it stops.
  void StartDebuggingNarrowed();
  void Dock(QDockWidget* dock, DockArea area);
  void ApplyStartSizes();
  // The docked window in front in an area (the page shown).
  QDockWidget* FrontDock(DockArea area) const;
  void ShowDialog(const QString& formName);
  Qt::DockWidgetArea QtArea(DockArea area) const;
  void OpenListingOf(const QString& sourcePath);
  void CloseListings();
  void ClearMessages();
  // A step's box, and its outcome.
  int ShowStep(const build::StepResult& step);
  class ToolsImpl;
  class ListingsImpl;

  DockedWindows windows_;
  ShellCore* core_ = nullptr;
  MessageSink* fallbackSink_ = nullptr;
  QHash<QString, QDialog*> dialogs_;
  QPointer<QWidget> splash_;
  EditorHostImpl* editorHost_ = nullptr;
  TFindReplace* findReplace_ = nullptr;
  std::unique_ptr<TPrinting> printing_;
  build::Project project_;
  QHash<QString, QAction*> items_;
  QHash<QString, const CommandRow*> commands_;
  QHash<const QWidget*, DockArea> homes_;
  QHash<int, QString> activeCaption_;
  QToolBar* toolBar_ = nullptr;
  std::unique_ptr<TRecentFiles> recentFiles_;
  QMenu* recentMenu_ = nullptr;
  std::function<void()> loadOptions_;
  std::function<void()> applyOptions_;
  bool shownOnce_ = false;
  QMargins placedMargins_;
  bool framePlaced_ = false;
  QTimer* frameWatch_ = nullptr;
  bool running_ = false;
  // The editor's width before Debug Start narrowed it (0: not narrowed); it
  // gets it back when debugging ends.
  // The debugging layout is in force: the editing area narrowed for the debug
  // panel. normalEditWidth_: the editor's width beside the docked debug panel
  // outside debugging (0: the start share).
  bool debugLayout_ = false;
  int normalEditWidth_ = 0;
  void NarrowEditAreaForDebugging();
  int NormalEditWidth() const;
  int DebugEditWidth() const;
  std::vector<std::function<void()>> afterPaint_;
  void RunAfterPaint(int tries);
};

}  // namespace tolvane::forms
