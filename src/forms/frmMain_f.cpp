#include "forms/frmMain_f.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDialog>
#include <QDir>
#include <QDockWidget>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QRegularExpression>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>
#include <QSvgRenderer>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>
#include <QWindow>
#include <algorithm>

#include "common/ChangeExtension.h"
#include "common/Cp932.h"
#include "common/FileNameMarks.h"
#include "debugger/SourceLines.h"
#include "forms/DialogPort.h"
#include "forms/FindDialogs_f.h"
#include "forms/HelpTopic.h"
#include "forms/Printing.h"
#include "forms/UiFonts.h"
#include "forms/Utf8.h"
#include "forms/dlgProject_f.h"
#include "forms/frmDebug_f.h"
#include "forms/frmList_f.h"
#include "forms/frmMessage_f.h"
#include "forms/frmSplash_f.h"
#include "forms/frmStandardIo_f.h"

// The toolbar's drawings live in this static library: they are registered
// before the first window is built.
static void InitToolbarResources() { Q_INIT_RESOURCE(toolbar); }

namespace tolvane::forms {

namespace {

// The tools open files by their file system names (UTF-8 here) and write those
// bytes into their CP932 message lines. This sink puts the CP932 form of the
// names it was given into the lines instead, so that the message window shows
// them readably (and a diagnostic's source can be found again).
class ReadablePathSink : public MessageSink {
 public:
  ReadablePathSink(MessageSink& inner, const std::vector<std::string>& paths) : inner_(inner) {
    for (const std::string& path : paths) marks_.Add(path);
  }
  void AppendMessageLine(const std::string& line) override { inner_.AppendMessageLine(Readable(line)); }
  // The record keeps the file as the tools opened it: the jump to the source
  // must not depend on the name surviving a trip through CP932.
  void AppendDiagnostic(const Diagnostic& diagnostic) override {
    Diagnostic readable = diagnostic;
    readable.subject = Readable(diagnostic.subject);
    readable.message = Readable(diagnostic.message);
    inner_.AppendDiagnostic(readable);
  }
  void ClearMessages() override { inner_.ClearMessages(); }

 private:
  std::string Readable(const std::string& line) const {
    if (marks_.Empty()) return line;
    std::string out;
    marks_.Split(
        line, [&](std::string_view text) { out += text; },
        [&](const std::string& name) {
          // A name CP932 cannot hold stays as the file system's bytes.
          std::string cp932;
          out += Utf8ToCp932(name, cp932) ? cp932 : name;
        });
    return out;
  }

  MessageSink& inner_;
  FileNameMarks marks_;
};

const QString& CaptionEditor() {
  static const QString s = UiText(u8"ソースコード");
  return s;
}
const QString& CaptionList() {
  static const QString s = UiText(u8"リスティングファイル");
  return s;
}
const QString& CaptionMessage() {
  static const QString s = UiText(u8"メッセージ");
  return s;
}
const QString& CaptionStandardIo() {
  static const QString s = UiText(u8"標準入出力");
  return s;
}

// The toolbar's groups, left to right; each has its own colour.
enum ToolGroup {
  kNoButton,
  kFileButtons,
  kPrintButton,
  kEditButtons,
  kFindButton,
  kViewButtons,
  kRunButtons,
  kDebugButtons
};
constexpr QRgb kToolGroupColours[] = {0, 0x2f5fa8, 0x5a5a5a, 0x2e7d32, 0x00796b, 0x6a1b9a, 0xc62828, 0x8d5524};

// The toolbar's images: a drawing from the resources (":/toolbar/" + the
// command's name + ".svg"), else one character on a tile coloured by the
// button's group. The disabled look of a drawing is made by the style.
QIcon ButtonIcon(const CommandRow& row) {
  QIcon icon;
  const QString file = QStringLiteral(":/toolbar/%1.svg").arg(QString::fromLatin1(row.name));
  if (QSvgRenderer drawing; QFile::exists(file) && drawing.load(file)) {
    for (int size : {20, 40}) {
      QPixmap pixmap(size, size);
      pixmap.fill(Qt::transparent);
      QPainter p(&pixmap);
      drawing.render(&p);
      p.end();
      icon.addPixmap(pixmap, QIcon::Normal);
    }
    return icon;
  }
  for (bool enabled : {true, false}) {
    QPixmap pixmap(20, 20);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(enabled ? QColor(kToolGroupColours[row.toolGroup]) : QColor(0xc8, 0xc8, 0xc8));
    p.drawRoundedRect(QRectF(0.5, 0.5, 19, 19), 4, 4);
    QFont font = MakeFont(FontGothic(), 10);
    font.setPixelSize(14);
    font.setBold(true);
    p.setFont(font);
    p.setPen(enabled ? Qt::white : QColor(0xf4, 0xf4, 0xf4));
    p.drawText(QRect(0, 0, 20, 20), Qt::AlignCenter, UiText(row.glyph));
    p.end();
    icon.addPixmap(pixmap, enabled ? QIcon::Normal : QIcon::Disabled);
  }
  return icon;
}
}  // namespace

const std::vector<CommandRow>& CommandTable() {
  constexpr const char* kFile = "mnuFileBar";
  constexpr const char* kEdit = "mnuEditBar";
  constexpr const char* kView = "mnuVieweBar";
  constexpr const char* kProject = "mnuProjectBar";
  constexpr const char* kRunMenu = "mnuRunBar";
  constexpr CommandGuard kFree = CommandGuard::None;
  constexpr CommandGuard kAsk = CommandGuard::Ask;
  constexpr CommandGuard kRefuse = CommandGuard::Refuse;
  constexpr bool kOn = true;
  constexpr bool kOff = false;
  using M = TfrmMain;
  using C = debugger::Command;
  // name, menu, caption, shortcut, hint, glyph, toolbar group, guard, enabled at start, handler, the
  // debugger's command
  static const std::vector<CommandRow> table = {
      // File
      {"mnuNew", kFile, u8"新規(&N)", "Ctrl+N", u8"新規", u8"新", kFileButtons, kAsk, kOn, &M::mnuNewClick},
      {"mnuOpen", kFile, u8"開く(&O)...", "Ctrl+O", u8"開く", u8"開", kFileButtons, kAsk, kOn, &M::mnuOpenClick},
      {"mnuProjectNew", kFile, u8"プロジェクトの新規作成(&M)", nullptr, nullptr, nullptr, kNoButton, kAsk, kOn,
       &M::mnuProjectNewClick},
      {"mnuProjectOpen", kFile, u8"プロジェクトを開く(&J)...", "Ctrl+F11", nullptr, nullptr, kNoButton, kAsk, kOn,
       &M::mnuProjectOpenClick},
      {"N6", kFile},
      {"mnuSave", kFile, u8"上書き保存(&S)", "Ctrl+S", nullptr, nullptr, kNoButton, kAsk, kOff, &M::mnuSaveClick},
      {"mnuSaveAs", kFile, u8"名前をつけて保存(&A)...", nullptr, nullptr, nullptr, kNoButton, kAsk, kOff,
       &M::mnuSaveAsClick},
      {"mnuProjectSave", kFile, u8"プロジェクトの上書き保存(&T)", nullptr, nullptr, nullptr, kNoButton, kAsk, kOff,
       &M::mnuProjectSaveClick},
      {"mnuProjectSaveAs", kFile, u8"プロジェクトに名前を付けて保存(&E)...", nullptr, nullptr, nullptr, kNoButton, kAsk,
       kOff, &M::mnuProjectSaveAsClick},
      {"mnuAllSave", kFile, u8"全て保存(&V)", "Shift+Ctrl+S", u8"全て保存", u8"保", kFileButtons, kAsk, kOff,
       &M::mnuAllSaveClick},
      {"N1", kFile},
      {"mnuClose", kFile, u8"閉じる(&C)", nullptr, nullptr, nullptr, kNoButton, kAsk, kOff, &M::mnuCloseClick},
      {"mnuAllClose", kFile, u8"全て閉じる(&L)", nullptr, nullptr, nullptr, kNoButton, kAsk, kOff,
       &M::mnuAllCloseClick},
      {"N7", kFile},
      // Print guards itself: the debug window's picture is printed while debugging.
      {"mnuPrint", kFile, u8"印刷(&P)", "Ctrl+P", u8"印刷", u8"印", kPrintButton, CommandGuard::Own, kOff,
       &M::mnuPrintClick},
      {"mnuPrintSetup", kFile, u8"プリンタの設定(&R)...", nullptr, nullptr, nullptr, kNoButton, kAsk, kOn,
       &M::mnuPrintSetupClick},
      {"N2", kFile},
      {"mnuExit", kFile, u8"終了(&X)", "Alt+X", nullptr, nullptr, kNoButton, kAsk, kOn, &M::mnuExitClick},
      // Edit
      {"mnuUnDo", kEdit, u8"元に戻す(&U)", "Ctrl+Z", u8"元に戻す", u8"戻", kEditButtons, kAsk, kOff, &M::mnuUnDoClick},
      {"mnuReDo", kEdit, u8"やり直し(&Y)", "Ctrl+Y", nullptr, nullptr, kNoButton, kAsk, kOff, &M::mnuReDoClick},
      {"N3", kEdit},
      {"mnuCut", kEdit, u8"切り取り(&T)", "Ctrl+X", u8"切り取り", u8"切", kEditButtons, kAsk, kOff, &M::mnuCutClick},
      {"mnuCopy", kEdit, u8"ｺﾋﾟｰ(&C)", "Ctrl+C", u8"コピー", u8"写", kEditButtons, kAsk, kOff, &M::mnuCopyClick},
      {"mnuPaste", kEdit, u8"貼り付け(&P)", "Ctrl+V", u8"貼り付け", u8"貼", kEditButtons, kAsk, kOff,
       &M::mnuPasteClick},
      {"mnuDelete", kEdit, u8"削除(&D)", nullptr, nullptr, nullptr, kNoButton, kAsk, kOff, &M::mnuDeleteClick},
      {"mnuSelectAll", kEdit, u8"全て選択(&L)", nullptr, nullptr, nullptr, kNoButton, kAsk, kOff,
       &M::mnuSelectAllClick},
      {"N4", kEdit},
      {"mnuFind", kEdit, u8"検索(&F)...", "Ctrl+F", u8"検索", u8"検", kFindButton, kAsk, kOff, &M::mnuFindClick},
      {"mnuReplace", kEdit, u8"置換(&R)...", "Ctrl+R", nullptr, nullptr, kNoButton, kAsk, kOff, &M::mnuReplaceClick},
      // View
      {"mnuSourceCode", kView, u8"ソースコード(&C)", nullptr, u8"ソースコード", u8"ソ", kViewButtons, kFree, kOn,
       &M::mnuSourceCodeClick},
      {"mnuListingFile", kView, u8"リスティングファイル(&L)", nullptr, u8"リスティングファイル", u8"リ", kViewButtons,
       kFree, kOn, &M::mnuListingFileClick},
      {"mnuDebugWindow", kView, u8"デバッグウインドウ(&D)", nullptr, u8"デバッグウインドウ", u8"デ", kViewButtons,
       kFree, kOn, &M::mnuDebugWindowClick},
      {"mnuStandardIo", kView, u8"標準入出力ウインドウ(&S)", nullptr, u8"標準入出力ウインドウ", u8"入", kViewButtons,
       kFree, kOn, &M::mnuStandardIoClick},
      {"mnuMessageWindow", kView, u8"メッセージウインドウ(&M)", nullptr, u8"メッセージウインドウ", u8"メ", kViewButtons,
       kFree, kOn, &M::mnuMessageWindowClick},
      // The message window's diagnostics one by one, from the keyboard.
      {"N12", kView},
      {"mnuNextError", kView, u8"次のエラー(&N)", "F11", nullptr, nullptr, kNoButton, kFree, kOn,
       &M::mnuNextErrorClick},
      {"mnuPreviousError", kView, u8"前のエラー(&P)", "Shift+F11", nullptr, nullptr, kNoButton, kFree, kOn,
       &M::mnuPreviousErrorClick},
      // Project
      {"mnuProjectAdd", kProject, u8"プロジェクトに追加(&A)", nullptr, nullptr, nullptr, kNoButton, kAsk, kOff,
       &M::mnuProjectAddClick},
      {"mnuProjectDelete", kProject, u8"プロジェクトから削除(&R)", nullptr, nullptr, nullptr, kNoButton, kAsk, kOff,
       &M::mnuProjectDeleteClick},
      {"mnuProjectEdit", kProject, u8"プロジェクトファイルの編集(&E)...", nullptr, nullptr, nullptr, kNoButton, kAsk,
       kOff, &M::mnuProjectEditClick},
      // Run
      {"mnuRun", kRunMenu, u8"実行(&R)", "F9", u8"実行", u8"実", kRunButtons, kRefuse, kOff, &M::mnuRunClick},
      {"N10", kRunMenu},
      {"mnuAssemble", kRunMenu, u8"アセンブル(&A)", "Ctrl+F7", nullptr, nullptr, kNoButton, kAsk, kOff,
       &M::mnuAssembleClick},
      {"mnuLink", kRunMenu, u8"リンク(&L)", nullptr, nullptr, nullptr, kNoButton, kAsk, kOff, &M::mnuLinkClick},
      {"mnuBuild", kRunMenu, u8"ビルド(&M)", "Ctrl+F9", u8"ビルド", u8"ビ", kRunButtons, kAsk, kOff, &M::mnuBuildClick},
      {"mnuRunExe", kRunMenu, u8"EXEファイルの実行(&X)", "Ctrl+F5", nullptr, nullptr, kNoButton, kRefuse, kOff,
       &M::mnuRunExeClick},
      {"N8", kRunMenu},
      // Each item of this menu has its own letter: Debug Start takes D and
      // Animate N, leaving A to Assemble and S to Step.
      {"mnuDebugStart", kRunMenu, u8"デバッグ開始(&D)", "F4", u8"デバッグ開始", u8"始", kDebugButtons, kFree, kOff,
       &M::mnuDebugStartClick, C::Start},
      {"mnuGo", kRunMenu, u8"実行(GO)(&G)", "F5", u8"実行(GO)", u8"走", kDebugButtons, kFree, kOff, &M::mnuGoClick,
       C::Go},
      {"mnuGoAnimate", kRunMenu, u8"アニメート実行(&N)", "F6", u8"アニメート実行", u8"動", kDebugButtons, kFree, kOff,
       &M::mnuGoAnimateClick, C::Animate},
      {"mnuTrace", kRunMenu, u8"トレース(&T)", "F7", u8"トレース", u8"ト", kDebugButtons, kFree, kOff,
       &M::mnuTraceClick, C::Trace},
      // Undoes the last executed instruction; Shift with Trace's key.
      {"mnuBackStep", kRunMenu, u8"バックステップ(&K)", "Shift+F7", u8"バックステップ", u8"逆", kDebugButtons, kFree,
       kOff, &M::mnuBackStepClick, C::BackStep},
      {"mnuStep", kRunMenu, u8"ステップ(&S)", "F8", u8"ステップ", u8"ス", kDebugButtons, kFree, kOff, &M::mnuStepClick,
       C::Step},
      {"mnuPause", kRunMenu, u8"一時停止(&P)", "F3", u8"一時停止", u8"停", kDebugButtons, kFree, kOff,
       &M::mnuPauseClick, C::Pause},
      {"N11", kRunMenu},
      {"mnuBreakPoint", kRunMenu, u8"ブレークポイントの設定／解除(&B)...", nullptr, nullptr, nullptr, kNoButton, kFree,
       kOff, &M::mnuBreakPointClick, C::BreakPoint},
      {"mnuWatch", kRunMenu, u8"ウォッチ式の追加...(&W)", nullptr, nullptr, nullptr, kNoButton, kFree, kOff,
       &M::mnuWatchClick, C::Watch},
      {"N9", kRunMenu},
      // The toolbar shows End Program with Run and Build.
      {"mnuEndProgram", kRunMenu, u8"プログラムの終了(&E)", "Ctrl+F2", u8"プログラムの終了", u8"終", kRunButtons, kFree,
       kOff, &M::mnuEndProgramClick, C::End},
      // Option
      {"mnuOption", "mnuOptionBar", u8"オプション(&O)...", nullptr, nullptr, nullptr, kNoButton, kAsk, kOn,
       &M::mnuOptionClick},
      // Help
      {"mnuContents", "mnuHelpBar", u8"Tolvaneのヘルプ(&C)", nullptr, nullptr, nullptr, kNoButton, kFree, kOn,
       &M::mnuContentsClick},
      {"N5", "mnuHelpBar"},
      {"mnuAbout", "mnuHelpBar", u8"バージョン情報(&A)...", nullptr, nullptr, nullptr, kNoButton, kFree, kOn,
       &M::mnuAboutClick},
  };
  return table;
}

const QStringList& ToolbarLayout() {
  // The buttons by group, each group in menu order, a separator between groups.
  static const QStringList layout = [] {
    std::vector<const CommandRow*> buttons;
    for (const CommandRow& row : CommandTable())
      if (row.hint) buttons.push_back(&row);
    std::stable_sort(buttons.begin(), buttons.end(),
                     [](const CommandRow* a, const CommandRow* b) { return a->toolGroup < b->toolGroup; });
    QStringList names;
    for (std::size_t i = 0; i < buttons.size(); ++i) {
      if (i > 0 && buttons[i]->toolGroup != buttons[i - 1]->toolGroup) names << QStringLiteral("|");
      names << QLatin1Char('s') + QString::fromLatin1(buttons[i]->name);
    }
    return names;
  }();
  return layout;
}

const QStringList& TfrmMain::EditingGroup() {
  static const QStringList names = {
      "mnuRun",     "mnuAssemble", "mnuBuild",  "mnuUnDo",       "mnuReDo",    "mnuPaste",    "mnuSelectAll",
      "mnuFind",    "mnuReplace",  "mnuSave",   "mnuSaveAs",     "mnuAllSave", "mnuClose",    "mnuAllClose",
      "mnuPrint",   "smnuRun",     "smnuBuild", "smnuUnDo",      "smnuPaste",  "smnuFind",    "smnuAllSave",
      "smnuPrint",  "pmnuUnDo",    "pmnuPaste", "pmnuSelectAll", "pmnuFind",   "pmnuReplace", "pmnuSave",
      "pmnuSaveAs", "pmnuClose",   "pmnuPrint"};
  return names;
}

const QStringList& TfrmMain::ProjectGroup() {
  static const QStringList names = {"mnuProjectAdd",  "pmnuProjectAdd", "mnuProjectDelete", "pmnuProjectDelete",
                                    "mnuProjectEdit", "mnuProjectSave", "mnuProjectSaveAs"};
  return names;
}

const QStringList& TfrmMain::SelectionGroup() {
  static const QStringList names = {"mnuCut",   "mnuCopy", "mnuDelete", "smnuCut",
                                    "smnuCopy", "pmnuCut", "pmnuCopy",  "pmnuDelete"};
  return names;
}

const QStringList& TfrmMain::RunHoldGroup() {
  static const QStringList names = {"mnuDebugStart", "smnuDebugStart", "smnuRun",  "smnuBuild", "mnuRun",
                                    "mnuAssemble",   "mnuLink",        "mnuBuild", "mnuRunExe"};
  return names;
}

// ---------------------------------------------------------------------------

class TfrmMain::EditorHostImpl : public EditorHost {
 public:
  explicit EditorHostImpl(TfrmMain* main) : main_(main) {}
  bool SaveAsCommand() override { return main_->SaveAsCommand(); }
  void PageRenamed(const QString& oldPath, const QString& newPath) override {
    main_->UpdateProjectAfterRename(oldPath, newPath);
  }
  void SetSelectionGroupEnabled(bool enabled) override { main_->EnableSelectionGroup(enabled); }
  void SetPrintTarget(int target) override { main_->printTarget = target; }
  void RunCommand(const QString& name) override { main_->RunCommand(name); }

 private:
  TfrmMain* main_;
};

TfrmMain::TfrmMain(QWidget* parent) : QMainWindow(parent) {
  setObjectName(QStringLiteral("frmMain"));
  setWindowTitle(QStringLiteral("Tolvane"));
  setFont(MakeFont(FontPGothic(), 9));
  editorHost_ = new EditorHostImpl(this);

  // FormCreate: the splash stays up while this and the other windows are created.
  auto* splash = new TfrmSplash(nullptr);
  splash->setObjectName(QStringLiteral("frmSplash"));
  splash_ = splash;
  splash->ShowCentred();
  QCoreApplication::processEvents();

  // The three docking areas: the editing area on the left, the debug panel
  // filling the rest, the message area along the bottom. The central widget is
  // a hidden placeholder so that the docking areas share the whole window.
  auto* panel2 = new QWidget(this);
  panel2->setObjectName(QStringLiteral("Panel2"));
  setCentralWidget(panel2);
  panel2->hide();
  setDockNestingEnabled(false);
  setCorner(Qt::BottomLeftCorner, Qt::BottomDockWidgetArea);
  setCorner(Qt::BottomRightCorner, Qt::BottomDockWidgetArea);
  setTabPosition(Qt::AllDockWidgetAreas, QTabWidget::South);
  setDockOptions(QMainWindow::AnimatedDocks | QMainWindow::AllowTabbedDocks);
  for (DockArea area : {DockArea::Edit, DockArea::Message, DockArea::Debug}) {
    auto* marker = new QObject(this);
    marker->setObjectName(AreaName(area));
    marker->setProperty("dockArea", static_cast<int>(QtArea(area)));
  }

  BuildMenusAndToolbar();
  // Debugging has ended, however it ended, when Debug Start is offered again.
  if (QAction* start = Item(QStringLiteral("mnuDebugStart"))) {
    connect(start, &QAction::enabledChanged, this, [this](bool on) {
      if (on) RestoreEditAreaAfterDebugging();
    });
    // F4 while Debug Start is off does not vanish without a word: before any
    // build it says why and offers to build. The key is this action's only
    // while Debug Start's own is off, so the two never compete for it.
    auto* why = new QAction(this);
    why->setObjectName(QStringLiteral("actDebugStartUnavailable"));
    why->setShortcutContext(Qt::ApplicationShortcut);
    addAction(why);
    const auto follow = [why](bool on) { why->setShortcut(on ? QKeySequence() : QKeySequence(Qt::Key_F4)); };
    connect(start, &QAction::enabledChanged, why, follow);
    follow(start->isEnabled());
    connect(why, &QAction::triggered, this, &TfrmMain::ExplainDebugStartUnavailable);
  }
  BuildRecentFilesMenu();
  InstallHelpKey(this);
  printing_ = std::make_unique<TPrinting>();
  findReplace_ = new TFindReplace(this, [this]() -> QPlainTextEdit* {
    TfrmEditor* editor = windows_.editor;
    return editor && editor->CurrentPage() ? editor->PageEditor(editor->CurrentPage()) : nullptr;
  });
  auto* status = new QStatusBar(this);
  status->setObjectName(QStringLiteral("StatusBar1"));
  status->setFixedHeight(24);
  status->setSizeGripEnabled(true);
  setStatusBar(status);

  // Size: the work area, from its top left corner; never larger, never
  // smaller than half of it.
  const QRect work = WorkArea();
  setMinimumSize(work.width() / 2, work.height() / 2);
  PlaceInWorkArea();
}

QRect TfrmMain::ClientRectInside(const QRect& work, const QMargins& frame) { return work.marginsRemoved(frame); }

void TfrmMain::PlaceInWorkArea() {
  // The frame (title bar and borders) is part of the work area too: the window
  // system adds it around the client area, so the client area gets less.
  placedMargins_ = windowHandle() ? windowHandle()->frameMargins() : QMargins();
  const QRect client = ClientRectInside(WorkArea(), placedMargins_);
  setMaximumSize(client.size());
  setGeometry(client);
}

void TfrmMain::FollowFrameMargins() {
  // The window system frames the window some time after it was first shown;
  // until the user moves it, it is placed again once its frame is known.
  if (framePlaced_ || !isVisible() || !windowHandle()) return;
  const QMargins margins = windowHandle()->frameMargins();
  if (margins == placedMargins_) return;
  PlaceInWorkArea();
  framePlaced_ = true;
}

void TfrmMain::moveEvent(QMoveEvent* event) {
  QMainWindow::moveEvent(event);
  FollowFrameMargins();
}

void TfrmMain::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  FollowFrameMargins();
}

TfrmMain::~TfrmMain() {
  // The docked windows go after this one's own part is gone: what they signal
  // on the way (the focus moving as they close) must not reach it.
  for (QObject* w : std::initializer_list<QObject*>{windows_.editor, windows_.list, windows_.message,
                                                    windows_.standardIo, windows_.debug})
    if (w) disconnect(w, nullptr, this, nullptr);
  if (windows_.editor) windows_.editor->SetHost(nullptr);
  delete editorHost_;
  ReleaseSplash();
}

void TfrmMain::ReleaseSplash() {
  if (splash_) {
    splash_->hide();
    splash_->deleteLater();
    splash_ = nullptr;
  }
}

void TfrmMain::RunWhenPainted(std::function<void()> action) {
  afterPaint_.push_back(std::move(action));
  if (afterPaint_.size() == 1) QTimer::singleShot(0, this, [this] { RunAfterPaint(0); });
}

void TfrmMain::RunAfterPaint(int tries) {
  // The window system shows the window some time after show(): wait for it
  // (at most two seconds), paint it, then run what waited.
  const bool exposed = isVisible() && windowHandle() && windowHandle()->isExposed();
  if (!exposed && tries < 100) {
    QTimer::singleShot(20, this, [this, tries] { RunAfterPaint(tries + 1); });
    return;
  }
  if (exposed) repaint();
  std::vector<std::function<void()>> actions;
  actions.swap(afterPaint_);
  for (const std::function<void()>& action : actions) action();
}

QRect TfrmMain::WorkArea() const {
  QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
  return s ? s->availableGeometry() : QRect(0, 0, 1024, 768);
}

QString TfrmMain::AreaName(DockArea area) {
  switch (area) {
    case DockArea::Edit:
      return QStringLiteral("pagecontrolEdit");
    case DockArea::Message:
      return QStringLiteral("pagecontrolMessage");
    case DockArea::Debug:
      return QStringLiteral("panelDebug");
  }
  return {};
}

Qt::DockWidgetArea TfrmMain::QtArea(DockArea area) const {
  switch (area) {
    case DockArea::Edit:
      return Qt::LeftDockWidgetArea;
    case DockArea::Message:
      return Qt::BottomDockWidgetArea;
    case DockArea::Debug:
      return Qt::RightDockWidgetArea;
  }
  return Qt::NoDockWidgetArea;
}

void TfrmMain::BuildMenusAndToolbar() {
  InitToolbarResources();
  struct MenuRow {
    const char* name;
    const char8_t* caption;
  };
  static const MenuRow kMenus[] = {
      {"mnuFileBar", u8"ファイル(&F)"},        {"mnuEditBar", u8"編集(&E)"}, {"mnuVieweBar", u8"表示(&V)"},
      {"mnuProjectBar", u8"プロジェクト(&P)"}, {"mnuRunBar", u8"実行(&R)"},  {"mnuOptionBar", u8"オプション(&O)"},
      {"mnuHelpBar", u8"ヘルプ(&H)"},
  };
  QMenuBar* bar = menuBar();
  bar->setObjectName(QStringLiteral("MainMenu1"));
  QHash<QString, QMenu*> menus;
  for (const MenuRow& m : kMenus) {
    QMenu* menu = bar->addMenu(UiText(m.caption));
    menu->setObjectName(QString::fromLatin1(m.name));
    menus.insert(QString::fromLatin1(m.name), menu);
  }

  for (const CommandRow& row : CommandTable()) {
    QMenu* menu = menus.value(QString::fromLatin1(row.menu));
    const QString name = QString::fromLatin1(row.name);
    if (!row.caption) {
      menu->addSeparator()->setObjectName(name);
      continue;
    }
    QAction* action = menu->addAction(UiText(row.caption));
    action->setObjectName(name);
    if (row.shortcut) {
      action->setShortcut(QKeySequence(QString::fromLatin1(row.shortcut)));
      // Floating windows are windows of their own; the shortcuts work there too.
      action->setShortcutContext(Qt::ApplicationShortcut);
    }
    action->setEnabled(row.startEnabled);
    items_.insert(name, action);
    commands_.insert(name, &row);
    connect(action, &QAction::triggered, this, [this, name] { RunCommand(name); });
    if (row.hint) {
      // The toolbar button holds its own enabled state.
      auto* button = new QAction(UiText(row.hint), this);
      button->setObjectName(QLatin1Char('s') + name);
      // The tooltip tells the key too: "実行 (F9)".
      const QString key = action->shortcut().toString(QKeySequence::NativeText);
      button->setToolTip(key.isEmpty() ? UiText(row.hint)
                                       : UiText(row.hint) + QStringLiteral(" (") + key + QLatin1Char(')'));
      button->setIcon(ButtonIcon(row));
      action->setIcon(button->icon());
      button->setEnabled(row.startEnabled);
      items_.insert(button->objectName(), button);
      connect(button, &QAction::triggered, this, [this, name] { RunCommand(name); });
    }
  }

  // Known to the code as ToolBar1; a user (and a screen reader) calls it ツールバー.
  toolBar_ = addToolBar(UiText(u8"ツールバー"));
  toolBar_->setObjectName(QStringLiteral("ToolBar1"));
  toolBar_->setAccessibleName(UiText(u8"ツールバー"));
  toolBar_->setMovable(false);
  toolBar_->setIconSize(QSize(20, 20));
  toolBar_->setToolButtonStyle(Qt::ToolButtonIconOnly);
  for (const QString& entry : ToolbarLayout()) {
    if (entry == QLatin1String("|")) {
      toolBar_->addSeparator();
      continue;
    }
    QAction* button = items_.value(entry);
    if (button) toolBar_->addAction(button);
  }
}

void TfrmMain::BuildRecentFilesMenu() {
  recentFiles_ = std::make_unique<TRecentFiles>();
  QMenu* file = menuBar()->findChild<QMenu*>(QStringLiteral("mnuFileBar"));
  QAction* before = items_.value(QStringLiteral("mnuExit"));
  if (!file || !before) return;
  // Above Exit, with a separator of its own.
  recentMenu_ = new QMenu(UiText(u8"最近使ったファイル(&F)"), file);
  recentMenu_->setObjectName(QStringLiteral("mnuRecentFiles"));
  file->insertMenu(before, recentMenu_);
  file->insertSeparator(before)->setObjectName(QStringLiteral("N13"));
  connect(recentMenu_, &QMenu::aboutToShow, this, &TfrmMain::FillRecentFilesMenu);
  FillRecentFilesMenu();
}

void TfrmMain::FillRecentFilesMenu() {
  recentMenu_->clear();
  const QStringList& files = recentFiles_->Files();
  for (int i = 0; i < files.size(); ++i) {
    const QString path = files.at(i);
    // The number is the item's letter; "&" in a path is no accelerator.
    QString shown = QDir::toNativeSeparators(path);
    shown.replace(QLatin1Char('&'), QStringLiteral("&&"));
    QAction* item = recentMenu_->addAction(QStringLiteral("&%1 %2").arg(i + 1).arg(shown));
    item->setObjectName(QStringLiteral("mnuRecentFile%1").arg(i + 1));
    connect(item, &QAction::triggered, this, [this, path] { OpenRecentFile(path); });
  }
  recentMenu_->menuAction()->setEnabled(!files.isEmpty());
}

void TfrmMain::OpenRecentFile(const QString& path) {
  // As Open does after its dialog, guard and page limit included.
  if (!Guard() || !windows_.editor) return;
  if (const int page = windows_.editor->PageOfPath(path)) {
    ActivatePage(DockArea::Edit, CaptionEditor());
    windows_.editor->ActivatePage(page);
    return;
  }
  if (!RoomForAnotherPage()) return;
  // A file that is gone is reported by the editor and leaves the list.
  if (!OpenPath(path) && !QFileInfo(path).isFile()) recentFiles_->Remove(path);
  FillRecentFilesMenu();
}

void TfrmMain::UpdateTitle() {
  TfrmEditor* editor = windows_.editor;
  const int page = editor ? editor->CurrentPage() : 0;
  const QString name = page ? QFileInfo(editor->PagePath(page)).fileName() : QString();
  setWindowTitle(name.isEmpty() ? QStringLiteral("Tolvane") : name + QStringLiteral(" - Tolvane"));
}

QAction* TfrmMain::Item(const QString& name) const {
  if (QAction* a = items_.value(name)) return a;
  if (name.startsWith(QLatin1String("pmnu"))) {
    if (windows_.editor)
      if (QAction* a = windows_.editor->PopupAction(name)) return a;
  }
  return nullptr;
}

void TfrmMain::SetEnabled(const QStringList& names, bool enabled) {
  for (const QString& name : names) {
    if (QAction* a = Item(name)) a->setEnabled(enabled);
  }
}

bool TfrmMain::IsEnabled(const QString& name) const {
  const QAction* a = Item(name);
  return a && a->isEnabled();
}

bool TfrmMain::RunCommand(const QString& name) {
  const CommandRow* row = commands_.value(name);
  if (!row || !row->handler) return false;
  switch (row->guard) {
    case CommandGuard::Ask:
      if (!Guard()) return true;
      break;
    case CommandGuard::Refuse:
      if (RefuseWhileDebugging()) return true;
      break;
    case CommandGuard::None:
    case CommandGuard::Own:
      break;
  }
  (this->*row->handler)();
  return true;
}

void TfrmMain::EnableEditingGroup(bool on) {
  SetEnabled(EditingGroup(), on);
  // The listing viewer's print item belongs to the group too.
  if (windows_.list && windows_.list->pmnuPrint()) windows_.list->pmnuPrint()->setEnabled(on);
}

void TfrmMain::EnableProjectGroup(bool on) { SetEnabled(ProjectGroup(), on); }

void TfrmMain::ApplyDebuggerCommands(const debugger::CommandSet& enabled) {
  for (const CommandRow& row : CommandTable()) {
    if (!row.core) continue;
    const QString name = QString::fromLatin1(row.name);
    SetEnabled({name, QLatin1Char('s') + name}, enabled[static_cast<std::size_t>(*row.core)]);
  }
}
void TfrmMain::EnableSelectionGroup(bool on) { SetEnabled(SelectionGroup(), on); }

// ---------------------------------------------------------------------------
// Windows and docking

void TfrmMain::SetWindows(const DockedWindows& windows) {
  windows_ = windows;
  if (windows_.editor) {
    windows_.editor->SetHost(editorHost_);
    connect(windows_.editor, &TfrmEditor::currentPageChanged, this, &TfrmMain::UpdateTitle);
  }
  if (windows_.message) {
    connect(windows_.message, &TfrmMessage::showRequested, this, &TfrmMain::mnuMessageWindowClick);
    connect(windows_.message, &TfrmMessage::sourceLineRequested, this, [this](const QString& path, int line) {
      if (windows_.editor && windows_.editor->GoToLine(path, line)) mnuSourceCodeClick();
    });
  }
  if (windows_.standardIo) {
    connect(windows_.standardIo, &TfrmStandardIo::showRequested, this, &TfrmMain::mnuStandardIoClick);
    connect(windows_.standardIo, &TfrmStandardIo::printRequested, this, &TfrmMain::mnuPrintClick);
    windows_.standardIo->SetUndoAction(items_.value(QStringLiteral("mnuUnDo")));
    // The program waits for a line: said in the status line, wherever the
    // student is looking (the console may be a page behind another).
    if (QStatusBar* bar = statusBar(); bar && !bar->findChild<QLabel*>(QStringLiteral("lblInputWaiting"))) {
      auto* waiting = new QLabel(UiText(u8"入力待ち: 標準入出力ウインドウに入力してEnter (入力の終わりはCtrl+Z)"), bar);
      waiting->setObjectName(QStringLiteral("lblInputWaiting"));
      waiting->setVisible(false);
      bar->addPermanentWidget(waiting);
      connect(windows_.standardIo, &TfrmStandardIo::inputPendingChanged, waiting, &QLabel::setVisible);
    }
  }
  if (windows_.debug) {
    // Docked again, the debug window took back the share it had when it
    // floated; the layout in force now decides (debugging may have started or
    // ended while it floated).
    connect(windows_.debug, &TDockForm::dockedAgain, this,
            [this] { SetEditAreaWidth(debugLayout_ ? DebugEditWidth() : NormalEditWidth()); });
  }
  if (windows_.list) {
    connect(windows_.list, &TfrmList::printRequested, this, &TfrmMain::mnuPrintClick);
    if (windows_.list->pmnuPrint()) windows_.list->pmnuPrint()->setEnabled(false);
  }
  // Each window that prints becomes the print target when it loses the focus.
  for (TDockForm* form : {static_cast<TDockForm*>(windows_.editor), static_cast<TDockForm*>(windows_.list),
                          static_cast<TDockForm*>(windows_.standardIo), static_cast<TDockForm*>(windows_.debug)})
    if (form) connect(form, &TDockForm::printTargetChanged, this, [this](int t) { printTarget = t; });
  if (windows_.debug) {
    connect(windows_.debug, &TfrmDebug::printRequested, this, &TfrmMain::PrintDebugWindow);
    connect(windows_.debug, &TfrmDebug::watchRequested, this, &TfrmMain::mnuWatchClick);
  }
}

void TfrmMain::SetDialog(const QString& formName, QDialog* dialog) {
  dialogs_.insert(formName, dialog);
  if (auto* project = qobject_cast<TdlgProject*>(dialog)) project->SetMain(this);
}

void TfrmMain::SetFirstShowHooks(std::function<void()> loadOptions, std::function<void()> applyOptions) {
  loadOptions_ = std::move(loadOptions);
  applyOptions_ = std::move(applyOptions);
}

MessageSink& TfrmMain::Messages() {
  if (windows_.message) return *windows_.message;
  if (fallbackSink_) return *fallbackSink_;
  struct Null : MessageSink {
    void AppendMessageLine(const std::string&) override {}
  };
  static Null null;
  return null;
}

void TfrmMain::Dock(QDockWidget* dock, DockArea area) {
  if (!dock) return;
  homes_.insert(dock, area);
  const Qt::DockWidgetArea qtArea = QtArea(area);
  // Each docking area takes only its own windows.
  dock->setAllowedAreas(qtArea);
  dock->setFeatures(QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable |
                    QDockWidget::DockWidgetClosable);
  if (area == DockArea::Edit) dock->setMinimumWidth(60);
  if (area == DockArea::Message) dock->setMinimumSize(60, 60);
  if (area == DockArea::Debug) dock->setMinimumWidth(60);
  QDockWidget* first = nullptr;
  for (QDockWidget* other : findChildren<QDockWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
    if (other != dock && homes_.contains(other) && homes_.value(other) == area && dockWidgetArea(other) == qtArea) {
      first = other;
      break;
    }
  }
  addDockWidget(qtArea, dock);
  if (first) tabifyDockWidget(first, dock);
  dock->show();
  connect(dock, &QDockWidget::visibilityChanged, this, [this, dock](bool visible) {
    if (visible && !dock->isFloating())
      activeCaption_.insert(static_cast<int>(dockWidgetArea(dock)), dock->windowTitle());
  });
}

bool TfrmMain::AreaAccepts(DockArea area, const QDockWidget* form) const {
  return form && form->isAreaAllowed(QtArea(area));
}

bool TfrmMain::DockedIn(const QDockWidget* form, DockArea* area) const {
  if (!form || form->isFloating() || form->isHidden()) return false;
  const Qt::DockWidgetArea a = dockWidgetArea(const_cast<QDockWidget*>(form));
  for (DockArea candidate : {DockArea::Edit, DockArea::Message, DockArea::Debug}) {
    if (QtArea(candidate) == a) {
      if (area) *area = candidate;
      return true;
    }
  }
  return false;
}

void TfrmMain::ActivatePage(DockArea area, const QString& caption) {
  for (QDockWidget* dock : findChildren<QDockWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
    if (dock->isFloating() || dockWidgetArea(dock) != QtArea(area)) continue;
    if (dock->windowTitle() == caption) {
      dock->show();
      dock->raise();
      activeCaption_.insert(static_cast<int>(QtArea(area)), caption);
    }
  }
}

QString TfrmMain::ActivePageCaption(DockArea area) const {
  return activeCaption_.value(static_cast<int>(QtArea(area)));
}

QDockWidget* TfrmMain::FrontDock(DockArea area) const {
  const QString caption = ActivePageCaption(area);
  QDockWidget* any = nullptr;
  for (QDockWidget* dock : findChildren<QDockWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
    if (dock->isFloating() || dock->isHidden() || dockWidgetArea(dock) != QtArea(area)) continue;
    if (dock->windowTitle() == caption) return dock;
    if (!any) any = dock;
  }
  return any;
}

void TfrmMain::SetEditAreaWidth(int width) {
  QDockWidget* edit = FrontDock(DockArea::Edit);
  QDockWidget* debug = FrontDock(DockArea::Debug);
  if (!edit) return;
  // Both sides are given their share, so that the debug panel fills the rest.
  if (debug) {
    const int total = edit->width() + debug->width();
    resizeDocks({edit, debug}, {width, std::max(60, total - width)}, Qt::Horizontal);
  } else {
    resizeDocks({edit}, {width}, Qt::Horizontal);
  }
}

int TfrmMain::EditAreaWidth() const {
  QDockWidget* edit = FrontDock(DockArea::Edit);
  return edit ? edit->width() : 0;
}

void TfrmMain::ApplyStartSizes() {
  const QRect work = WorkArea();
  QList<QDockWidget*> docks;
  QList<int> sizes;
  QDockWidget* top = nullptr;
  for (QDockWidget* dock : findChildren<QDockWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
    if (dock->isFloating() || dock->isHidden()) continue;
    if (!top && dockWidgetArea(dock) != QtArea(DockArea::Message)) top = dock;
  }
  const int messageHeight = static_cast<int>(work.height() * 0.2);
  if (windows_.message && !windows_.message->isFloating()) {
    docks << windows_.message;
    sizes << messageHeight;
    if (top) {
      docks << top;
      sizes << std::max(60, height() - messageHeight - 100);
    }
    resizeDocks(docks, sizes, Qt::Vertical);
  }
  SetEditAreaWidth(static_cast<int>(work.width() * 0.8));
}

void TfrmMain::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  FollowFrameMargins();
  if (!framePlaced_ && !frameWatch_) {
    // The window system tells the frame's size when it has framed the window,
    // without moving it: look for it for a while once the window is on the
    // screen (a box asked at first show can keep it off the screen for long).
    frameWatch_ = new QTimer(this);
    frameWatch_->setInterval(50);
    connect(frameWatch_, &QTimer::timeout, this, [this, ticks = 0]() mutable {
      FollowFrameMargins();
      if (windowHandle() && windowHandle()->isExposed()) ++ticks;
      if (framePlaced_ || ticks >= 60) frameWatch_->stop();
    });
    frameWatch_->start();
  }
  if (!shownOnce_) {
    shownOnce_ = true;
    FormShow();
  }
}

void TfrmMain::FormShow() {
  if (loadOptions_) loadOptions_();
  // Dock: editor and listing into the editing area, messages and console into
  // the message area, the debug window into its panel.
  Dock(windows_.editor, DockArea::Edit);
  Dock(windows_.list, DockArea::Edit);
  Dock(windows_.message, DockArea::Message);
  Dock(windows_.standardIo, DockArea::Message);
  Dock(windows_.debug, DockArea::Debug);

  const QRect work = WorkArea();
  for (QDockWidget* dock : {static_cast<QDockWidget*>(windows_.editor), static_cast<QDockWidget*>(windows_.list)})
    if (dock) dock->setMaximumWidth(std::max(60, work.width() - 60));
  ApplyStartSizes();
  // The docks have their real room only once the layout ran: once more then.
  QTimer::singleShot(0, this, [this] {
    ApplyStartSizes();
    SetEditAreaWidth(static_cast<int>(WorkArea().width() * 0.8));
  });

  mnuMessageWindowClick();
  mnuSourceCodeClick();

  if (windows_.editor) {
    windows_.editor->show();
    windows_.editor->HideFreeTabs();
  }
  if (windows_.list) windows_.list->HideAllTabs();
  if (applyOptions_) applyOptions_();
}

// ---------------------------------------------------------------------------
// Guard and close query

bool TfrmMain::Guard() { return !core_ || !core_->DebuggingGuard(); }

bool TfrmMain::RefuseWhileDebugging() {
  if (core_ && core_->DebuggingActive()) {
    Dialogs().Ask(BoxKind::Information, UiText(u8"デバッグ中です。デバッグを終了してから実行してください。"));
    return true;
  }
  return false;
}

void TfrmMain::closeEvent(QCloseEvent* event) {
  if (!FormCloseQuery()) {
    event->ignore();
    return;
  }
  // A plain run still on the stack ends with the window.
  if (running_ && core_) core_->EndProgram();
  event->accept();
  for (QDockWidget* dock : findChildren<QDockWidget*>(QString(), Qt::FindDirectChildrenOnly))
    if (dock->isFloating()) dock->hide();
  QMainWindow::closeEvent(event);
}

bool TfrmMain::FormCloseQuery() {
  if (!Guard()) return false;
  if (windows_.editor && !windows_.editor->QueryClose()) return false;
  if (project_.IsModified()) {
    const BoxAnswer answer = Dialogs().Ask(BoxKind::Confirm, ProjectFileName() + UiText(u8"に変更を保存しますか？"),
                                           BoxButtons::YesNoCancel);
    if (answer == BoxAnswer::Cancel) return false;
    // Not saved (a cancelled Save As, a failed write): stay open rather than lose the changes.
    if (answer == BoxAnswer::Yes && !SaveProject()) return false;
  }
  return true;
}

void TfrmMain::ShellReset() {
  if (windows_.debug && windows_.debug->Panel1()) windows_.debug->Panel1()->hide();
  ClearMessages();
  EnableEditingGroup(false);
  EnableProjectGroup(false);
  if (core_) core_->ResetDebuggerCommands();
  if (windows_.debug) windows_.debug->ShellReset();
  SetEnabled({"mnuLink", "mnuRunExe", "mnuDebugStart", "mnuGo", "mnuGoAnimate", "mnuTrace", "mnuPause", "mnuStep",
              "mnuBreakPoint", "mnuWatch", "smnuDebugStart", "smnuGo", "smnuGoAnimate", "smnuTrace", "smnuPause",
              "smnuStep", "mnuBackStep", "smnuBackStep"},
             false);
}

// ---------------------------------------------------------------------------
// File menu

void TfrmMain::mnuNewClick() {
  if (!windows_.editor) return;
  ActivatePage(DockArea::Edit, CaptionEditor());
  windows_.editor->NewFile();
  EnableEditingGroup(true);
}

bool TfrmMain::RoomForAnotherPage() {
  if (windows_.editor->OpenCount() < TfrmEditor::kPages) return true;
  Dialogs().Ask(BoxKind::Warning, UiText(u8"これ以上開けません。"));
  return false;
}

void TfrmMain::NoteRecentFile(const QString& path) {
  recentFiles_->Add(path);
  FillRecentFilesMenu();
}

void TfrmMain::mnuOpenClick() {
  if (!windows_.editor || !RoomForAnotherPage()) return;
  const QString path =
      Dialogs().GetOpenFileName(this, QString(), QDir::currentPath(), UiText(u8"CASLソースファイル(*.cas);;全て(*)"));
  if (path.isEmpty()) return;
  OpenPath(path);
}

bool TfrmMain::OpenPath(const QString& path) {
  if (!windows_.editor) return false;
  const QFileInfo info(path);
  QDir::setCurrent(info.absolutePath());
  ActivatePage(DockArea::Edit, CaptionEditor());
  if (!windows_.editor->OpenFile(info.absoluteFilePath())) return false;
  EnableEditingGroup(true);
  NoteRecentFile(info.absoluteFilePath());
  return true;
}

void TfrmMain::mnuSaveClick() {
  if (!windows_.editor) return;
  const int page = windows_.editor->CurrentPage();
  // A saved file is a file in use, as an opened one is. (An untitled page goes
  // through Save As, which notes the name chosen; cancelled, it stays unsaved.)
  if (windows_.editor->SaveCurrent() && page && !windows_.editor->PageModified(page) &&
      QFileInfo(windows_.editor->PagePath(page)).isAbsolute())
    NoteRecentFile(windows_.editor->PagePath(page));
}

bool TfrmMain::SaveAsCommand() {
  if (!windows_.editor) return false;
  TfrmEditor* editor = windows_.editor;
  const int page = editor->CurrentPage();
  const QString preset = page ? QFileInfo(editor->PagePath(page)).fileName() : QString();
  const QString chosen =
      Dialogs().GetSaveFileName(this, QString(), preset, UiText(u8"CASLソースファイル(*.cas)"), QStringLiteral("cas"));
  if (chosen.isEmpty()) return false;
  const QString old = page ? editor->PagePath(page) : QString();
  if (!editor->SaveCurrentAs(chosen)) return false;
  if (project_.IsOpen()) UpdateProjectAfterRename(old, chosen);
  NoteRecentFile(chosen);
  return page != 0;
}

void TfrmMain::mnuSaveAsClick() { SaveAsCommand(); }

void TfrmMain::mnuAllSaveClick() {
  if (!windows_.editor) return;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  const bool saved = windows_.editor->SaveAll();
  QApplication::restoreOverrideCursor();
  if (saved && project_.IsOpen()) SaveProject();
}

void TfrmMain::mnuCloseClick() {
  if (!windows_.editor) return;
  if (!windows_.editor->CloseCurrent()) return;
  CloseListings();
  if (windows_.editor->OpenCount() > 0) return;
  if (!CloseProject()) return;
  ShellReset();
}

void TfrmMain::mnuAllCloseClick() {
  if (!windows_.editor) return;
  if (!windows_.editor->CloseAll() || !CloseProject()) return;
  CloseListings();
  ShellReset();
}

namespace {
// Point size of a window's font (the text panes set theirs in pixels).
int PointsOf(const QFont& font) {
  if (font.pointSize() > 0) return font.pointSize();
  return font.pixelSize() > 0 ? std::max(1, font.pixelSize() * 72 / 96) : 12;
}

std::vector<std::string> PrintLines(const QString& text) {
  std::vector<std::string> lines;
  if (text.isEmpty()) return lines;
  for (const QString& line : text.split(QLatin1Char('\n'))) lines.push_back(PrintableCp932(line));
  return lines;
}

// A window the user has not closed (one behind another page of its area counts as shown).
bool Shown(const QWidget* window) { return window && !window->isHidden(); }
}  // namespace

bool TfrmMain::TextPrintoutFor(int target, TextPrintout& printout) const {
  const QString prefix = QStringLiteral("Tolvane - ");
  switch (target) {
    case 1: {
      TfrmEditor* editor = windows_.editor;
      if (!Shown(editor) || editor->CurrentPage() == 0) return false;
      const int page = editor->CurrentPage();
      printout.title = prefix + editor->PagePath(page);
      printout.fontName = FontGothic();
      printout.fontPoints = PointsOf(editor->PageEditor(page)->font());
      printout.firstHeader = printout.laterHeader = editor->PagePath(page);
      printout.lines = PrintLines(editor->PageEditor(page)->toPlainText());
      return true;
    }
    case 2: {
      TfrmList* list = windows_.list;
      if (!Shown(list) || list->ActiveListing() == 0) return false;
      const int k = list->ActiveListing();
      const QString caption = list->PageControl1()->tabText(k - 1);
      printout.title = prefix + caption;
      printout.fontName = FontGothic();
      printout.fontPoints = PointsOf(list->ListingControl(k)->font());
      // Page 1 names the listing in full (the listing's own file, also when the
      // editor's current page is another source); later pages by its name.
      printout.firstHeader = list->ListingPath(k).isEmpty() ? caption : list->ListingPath(k);
      printout.laterHeader = caption;
      printout.lines = PrintLines(list->ListingControl(k)->toPlainText());
      return true;
    }
    case 3: {
      TfrmStandardIo* console = windows_.standardIo;
      if (!Shown(console)) return false;
      const QFont font = console->memoStandardIo()->font();
      printout.title = prefix + QStringLiteral("Standard I/O");
      printout.fontName = font.family();
      printout.fontPoints = PointsOf(font);
      printout.firstHeader = printout.laterHeader = QStringLiteral("Standard I/O");
      printout.lines = PrintLines(console->Text());
      return true;
    }
    default:
      return false;
  }
}

void TfrmMain::mnuPrintClick() {
  // The target is the window that lost the focus last (or whose own print item
  // was used), never the one a command happened to focus: at start-up, with a
  // file opened and nothing left yet, there is no target.
  TfrmDebug* debug = windows_.debug;
  if (printTarget == 4 && Shown(debug) && debug->Panel1() && !debug->Panel1()->isHidden()) {
    debug->setFocus();
    PrintDebugWindow();
    return;
  }
  if (!Guard()) return;
  TextPrintout printout;
  if (!TextPrintoutFor(printTarget, printout)) {
    Dialogs().Ask(BoxKind::Warning, UiText(u8"印刷の対象にフォーカスがありません。"));
    return;
  }
  QApplication::setOverrideCursor(Qt::WaitCursor);
  printing_->PrintText(this, printout);
  QApplication::restoreOverrideCursor();
}

void TfrmMain::mnuPrintSetupClick() { printing_->Setup(this); }

void TfrmMain::PrintDebugWindow() {
  if (!windows_.debug) return;
  // The debug window itself, as it is on the screen; the clipboard is left alone.
  PicturePrintout printout;
  printout.picture = windows_.debug->grab().toImage();
  printout.title = QStringLiteral("Tolvane - ") + windows_.debug->windowTitle();
  if (core_) printout.nameLine = QFileInfo(PathFromBytes(core_->LoadModulePath())).fileName();
  QApplication::setOverrideCursor(Qt::WaitCursor);
  printing_->PrintPicture(this, printout);
  QApplication::restoreOverrideCursor();
}

void TfrmMain::mnuExitClick() { close(); }

// ---------------------------------------------------------------------------
// Edit menu

bool TfrmMain::EditorCommand(void (TfrmEditor::*command)()) {
  if (!windows_.editor) return false;
  (windows_.editor->*command)();
  return true;
}
void TfrmMain::mnuUnDoClick() { EditorCommand(&TfrmEditor::Undo); }
void TfrmMain::mnuReDoClick() { EditorCommand(&TfrmEditor::Redo); }
void TfrmMain::mnuCutClick() { EditorCommand(&TfrmEditor::CutSelection); }
void TfrmMain::mnuCopyClick() { EditorCommand(&TfrmEditor::CopySelection); }
void TfrmMain::mnuPasteClick() { EditorCommand(&TfrmEditor::PasteClipboard); }
void TfrmMain::mnuDeleteClick() { EditorCommand(&TfrmEditor::DeleteSelection); }
void TfrmMain::mnuSelectAllClick() {
  if (EditorCommand(&TfrmEditor::SelectAllText)) EnableSelectionGroup(windows_.editor->HasSelection());
}
void TfrmMain::mnuFindClick() { findReplace_->ShowFind(); }
void TfrmMain::mnuReplaceClick() { findReplace_->ShowReplace(); }

// ---------------------------------------------------------------------------
// View menu

void TfrmMain::mnuSourceCodeClick() {
  SetEditAreaWidth(static_cast<int>(WorkArea().width() * 0.8));
  if (windows_.editor) windows_.editor->show();
  ActivatePage(DockArea::Edit, CaptionEditor());
}

void TfrmMain::mnuListingFileClick() {
  SetEditAreaWidth(static_cast<int>(WorkArea().width() * 0.8));
  if (windows_.list) windows_.list->show();
  ActivatePage(DockArea::Edit, CaptionList());
}

void TfrmMain::mnuDebugWindowClick() {
  // While debugging, the share of the debugging layout.
  const auto share = [this] {
    SetEditAreaWidth(debugLayout_ ? DebugEditWidth() : static_cast<int>(WorkArea().width() * 0.3));
  };
  if (windows_.debug) {
    if (windows_.debug->isVisible()) {
      windows_.debug->raise();
      windows_.debug->setFocus();
    } else {
      windows_.debug->show();
    }
  }
  // The editor's share is set once the debug window is back in its panel (a
  // hidden panel takes no share), and once more when the layout has given the
  // panel its room.
  share();
  QTimer::singleShot(0, this, share);
}

void TfrmMain::mnuStandardIoClick() {
  if (windows_.standardIo) windows_.standardIo->show();
  ActivatePage(DockArea::Message, CaptionStandardIo());
}

void TfrmMain::mnuMessageWindowClick() {
  if (windows_.message) windows_.message->show();
  ActivatePage(DockArea::Message, CaptionMessage());
}

void TfrmMain::mnuNextErrorClick() {
  if (windows_.message) windows_.message->GoToDiagnostic(1);
}

void TfrmMain::mnuPreviousErrorClick() {
  if (windows_.message) windows_.message->GoToDiagnostic(-1);
}

// ---------------------------------------------------------------------------
// Build and run

void TfrmMain::ClearMessages() { Messages().ClearMessages(); }

void TfrmMain::OpenListingOf(const QString& sourcePath) {
  if (windows_.list) windows_.list->OpenListing(PathBytes(sourcePath));
}

void TfrmMain::CloseListings() {
  if (windows_.list) windows_.list->CloseListings();
}

// The tools as the build core calls them: each call's message lines name its
// files readably in the message window.
class TfrmMain::ToolsImpl : public build::BuildTools {
 public:
  explicit ToolsImpl(ShellCore* core) : core_(core) {}
  bool Assemble(const std::string& sourcePath, const BuildOptions& options, MessageSink& sink) override {
    ReadablePathSink readable(sink, {sourcePath});
    return core_ && core_->Assemble(sourcePath, options, readable);
  }
  bool Link(const std::vector<std::string>& paths, const BuildOptions& options, MessageSink& sink) override {
    ReadablePathSink readable(sink, paths);
    return core_ && core_->Link(paths, options, readable);
  }

 private:
  ShellCore* core_;
};

class TfrmMain::ListingsImpl : public build::ListingPort {
 public:
  explicit ListingsImpl(TfrmMain* main) : main_(main) {}
  void CloseListings() override { main_->CloseListings(); }
  void OpenListing(const std::string& sourcePath) override { main_->OpenListingOf(PathFromBytes(sourcePath)); }

 private:
  TfrmMain* main_;
};

build::Workspace TfrmMain::CurrentWorkspace() const {
  build::Workspace workspace;
  if (TfrmEditor* editor = windows_.editor) {
    for (int i = 1; i <= editor->OpenCount(); ++i)
      workspace.pages.push_back({editor->PagePathBytes(i), editor->PageModified(i)});
    workspace.currentPage = editor->CurrentPage();
  }
  return workspace;
}

void TfrmMain::ShowNotice(const build::Notice& notice) {
  switch (notice.kind) {
    case build::NoticeKind::Error:
      Dialogs().ShowMessageBox(BoxKind::Error, notice.text, BoxButtons::Ok);
      break;
    case build::NoticeKind::Warning:
      Dialogs().ShowMessageBox(BoxKind::Warning, notice.text, BoxButtons::Ok);
      break;
    case build::NoticeKind::Information:
      Dialogs().ShowMessageBox(BoxKind::Information, notice.text, BoxButtons::Ok);
      break;
    case build::NoticeKind::Failure:
      Dialogs().ShowPlain(FromCp932(notice.text));
      break;
  }
}

QString TfrmMain::Target() const { return PathFromBytes(build::Target(CurrentWorkspace(), project_)); }

int TfrmMain::ShowStep(const build::StepResult& step) {
  if (step.notice) ShowNotice(*step.notice);
  return step.outcome;
}

int TfrmMain::AssembleCurrent() {
  ToolsImpl tools(core_);
  ListingsImpl listings(this);
  return ShowStep(build::Builder(tools, Messages(), &listings).AssembleCurrent(CurrentWorkspace(), buildOptions));
}

int TfrmMain::AssembleAll() {
  ToolsImpl tools(core_);
  ListingsImpl listings(this);
  return ShowStep(build::Builder(tools, Messages(), &listings).AssembleAll(CurrentWorkspace(), project_, buildOptions));
}

int TfrmMain::LinkAll() {
  ToolsImpl tools(core_);
  ListingsImpl listings(this);
  return ShowStep(build::Builder(tools, Messages(), &listings).LinkAll(CurrentWorkspace(), project_, buildOptions));
}

build::BuildResult TfrmMain::RunBuild(build::BuildResult (build::Builder::*command)(const build::Workspace&,
                                                                                    const build::Project&,
                                                                                    const BuildOptions&)) {
  ToolsImpl tools(core_);
  ListingsImpl listings(this);
  build::Builder builder(tools, Messages(), &listings);
  build::BuildResult result = (builder.*command)(CurrentWorkspace(), project_, buildOptions);
  // Any successful assembly enables Link, also when the link then fails.
  if (result.assembled == build::kStepSucceeded) SetEnabled({"mnuLink"}, true);
  if (result.notice) ShowNotice(*result.notice);
  return result;
}

bool TfrmMain::SaveBeforeBuilding(bool currentOnly) {
  TfrmEditor* editor = windows_.editor;
  if (!editor) return true;
  for (int asked = 0; asked < TfrmEditor::kPages; ++asked) {
    const int page = build::UnsavedPage(CurrentWorkspace(), currentOnly);
    if (page == 0) return true;
    switch (editor->AskToSave(page)) {
      case BoxAnswer::Yes:
        continue;
      case BoxAnswer::No:
        return true;
      default:
        return false;
    }
  }
  return true;
}

void TfrmMain::mnuAssembleClick() {
  if (!SaveBeforeBuilding(true)) return;
  ToolsImpl tools(core_);
  ListingsImpl listings(this);
  const build::BuildResult result =
      build::Builder(tools, Messages(), &listings).AssembleCommand(CurrentWorkspace(), buildOptions);
  if (result.assembled == build::kStepSucceeded) SetEnabled({"mnuLink"}, true);
  if (result.notice) ShowNotice(*result.notice);
}

bool TfrmMain::LinkAndOfferTarget(build::BuildResult (build::Builder::*command)(const build::Workspace&,
                                                                                const build::Project&,
                                                                                const BuildOptions&)) {
  if (RunBuild(command).linked != build::kStepSucceeded) return false;
  SetEnabled({"mnuRunExe", "mnuDebugStart", "smnuDebugStart"}, true);
  return true;
}

void TfrmMain::mnuLinkClick() { LinkAndOfferTarget(&build::Builder::LinkCommand); }

void TfrmMain::mnuBuildClick() {
  if (SaveBeforeBuilding(false)) LinkAndOfferTarget(&build::Builder::BuildCommand);
}

void TfrmMain::RunHeld(const QString& target) {
  SetEnabled(RunHoldGroup(), false);
  running_ = true;
  if (core_) core_->RunProgram(PathBytes(target), buildOptions);
  running_ = false;
  SetEnabled(RunHoldGroup(), true);
}

void TfrmMain::mnuRunClick() {
  if (running_ || !SaveBeforeBuilding(false)) return;
  const build::BuildResult result = RunBuild(&build::Builder::RunCommand);
  if (!result.Succeeded()) return;
  mnuStandardIoClick();
  RunHeld(PathFromBytes(result.target));
}

void TfrmMain::mnuRunExeClick() {
  if (running_) return;
  mnuStandardIoClick();
  std::string target;
  if (const std::optional<build::Notice> refused = build::RunExeTarget(CurrentWorkspace(), project_, target)) {
    ShowNotice(*refused);
    return;
  }
  RunHeld(PathFromBytes(target));
}

void TfrmMain::mnuDebugStartClick() {
  NarrowEditAreaForDebugging();
  StartDebuggingNarrowed();
  // Refused, cancelled or failed: the editor gets its width back.
  if (!core_ || !core_->DebuggingActive()) RestoreEditAreaAfterDebugging();
}

void TfrmMain::StartDebuggingNarrowed() {
  std::string target;
  if (const std::optional<build::Notice> refused = build::DebugStartTarget(CurrentWorkspace(), project_, target)) {
    ShowNotice(*refused);
    return;
  }
  if (!core_) return;
  // A source saved after the build no longer has the lines that were built:
  // build first, or debug it by the disassembly alone.
  if (const std::vector<std::string> changed = core_->SourcesChangedSinceBuild(target); !changed.empty()) {
    switch (Dialogs().ShowMessageBox(BoxKind::Confirm, debugger::RebuildQuestion(changed), BoxButtons::YesNoCancel)) {
      case BoxAnswer::Yes:
        if (!LinkAndOfferTarget(&build::Builder::BuildCommand)) return;
        break;
      case BoxAnswer::No:
        break;
      default:
        return;
    }
  }
  core_->StartDebugging(target, buildOptions);
}

void TfrmMain::ExplainDebugStartUnavailable() {
  // Running or debugging already: F4 has nothing to add.
  if (running_ || (core_ && core_->DebuggingActive())) return;
  if (!windows_.editor || (windows_.editor->OpenCount() == 0 && !project_.IsOpen())) {
    Dialogs().Ask(BoxKind::Information,
                  UiText(u8"デバッグするプログラムがありません。ソースファイルを開いてビルド(Ctrl+F9)すると、"
                         u8"デバッグを開始(F4)できます。"));
    return;
  }
  if (Dialogs().Ask(BoxKind::Confirm, UiText(u8"まだビルドしていません。ビルドしてデバッグを開始しますか？"),
                    BoxButtons::YesNo) != BoxAnswer::Yes)
    return;
  if (!SaveBeforeBuilding(false) || !LinkAndOfferTarget(&build::Builder::BuildCommand)) return;
  RunCommand(QStringLiteral("mnuDebugStart"));
}

int TfrmMain::NormalEditWidth() const {
  return normalEditWidth_ > 0 ? normalEditWidth_ : static_cast<int>(WorkArea().width() * 0.8);
}

int TfrmMain::DebugEditWidth() const {
  // 30 % of the screen, less on a small one, where the debug panel beside it
  // would cut the disassembly's instructions or the register fields; never
  // less than the editor needs for its status panels.
  int width = static_cast<int>(WorkArea().width() * 0.3);
  if (windows_.debug) {
    const int separator = style()->pixelMetric(QStyle::PM_DockWidgetSeparatorExtent, nullptr, this);
    width = std::min(width, this->width() - windows_.debug->NeededWidth() - separator);
  }
  return std::max(width, windows_.editor ? windows_.editor->minimumSizeHint().width() : 60);
}

void TfrmMain::NarrowEditAreaForDebugging() {
  if (!debugLayout_) {
    debugLayout_ = true;
    // The width the editor has beside the docked debug panel is the one to
    // come back to; beside a floating one the editor fills the window, which
    // is no width of its own.
    if (FrontDock(DockArea::Debug)) normalEditWidth_ = EditAreaWidth();
  }
  SetEditAreaWidth(DebugEditWidth());
}

void TfrmMain::RestoreEditAreaAfterDebugging() {
  if (!debugLayout_) return;
  debugLayout_ = false;
  SetEditAreaWidth(NormalEditWidth());
}

void TfrmMain::DebuggingLayout(bool live) {
  if (live == debugLayout_) return;
  if (live)
    NarrowEditAreaForDebugging();
  else
    RestoreEditAreaAfterDebugging();
}

void TfrmMain::mnuGoClick() {
  if (core_) core_->Go();
}
void TfrmMain::mnuGoAnimateClick() {
  if (core_) core_->GoAnimate();
}
void TfrmMain::mnuTraceClick() {
  if (core_) core_->Trace();
}
void TfrmMain::mnuStepClick() {
  if (core_) core_->Step();
}
void TfrmMain::mnuBackStepClick() {
  if (core_) core_->BackStep();
}
void TfrmMain::mnuPauseClick() {
  if (core_) core_->Pause();
}
void TfrmMain::mnuBreakPointClick() { ShowDialog(QStringLiteral("dlgBreakPoint")); }
void TfrmMain::mnuWatchClick() { ShowDialog(QStringLiteral("dlgWatch")); }
void TfrmMain::mnuEndProgramClick() {
  if (core_) core_->EndProgram();
}

// ---------------------------------------------------------------------------
// Option and help

void TfrmMain::ShowDialog(const QString& formName) {
  if (QDialog* dialog = dialogs_.value(formName)) {
    dialog->exec();
    dialog->hide();
  }
}

void TfrmMain::mnuOptionClick() { ShowDialog(QStringLiteral("dlgOption")); }

void TfrmMain::mnuContentsClick() { OpenHelpTopic(this, QStringLiteral("index.html")); }

void TfrmMain::mnuAboutClick() { ShowDialog(QStringLiteral("dlgAbout")); }

}  // namespace tolvane::forms
