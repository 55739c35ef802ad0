// The debug window on a real debugging session: the pane texts cell by cell,
// the breakpoint double-click and marks, the jumps, the memory and register
// edits, the change marks, the status line, the pane menus and the dialogs.
#include <QAccessible>
#include <QHeaderView>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolTip>
#include <QTreeWidget>
#include <QtTest>
#include <functional>

#include "app/CoreBinding.h"
#include "common/Cp932.h"
#include "debugger/ExecutionControl.h"
#include "forms/DebugPaneModels.h"
#include "forms/UiFonts.h"
#include "forms/WindowTurn.h"
#include "forms/dlgAddBreakPoint_f.h"
#include "forms/dlgAddWatch_f.h"
#include "forms/dlgBreakPoint_f.h"
#include "forms/dlgMemoryDataChange_f.h"
#include "forms/dlgRegisterDataChange_f.h"
#include "forms/dlgWatch_f.h"
#include "forms/frmDebug_f.h"
#include "forms/frmStandardIo_f.h"
#include "support/ShellFixture.h"

using namespace tolvane;
using namespace tolvane::forms;
using namespace tolvane::testing;

namespace {

// PROG LAD GR1,5 / LD GR2,DATA / LOOP ADDA GR1,GR2 / ST GR1,RES / RET /
// DATA DC #8001 / RES DS 1, loaded at 0100H:
//   0100 1210 0005, 0102 1020 0108, 0104 2412, 0105 1110 0109, 0107 8100,
//   0108 8001 (DATA), 0109 0000 (RES).
const char kProgram[] =
    "PROG\tSTART\r\n\tLAD\tGR1,5\r\n\tLD\tGR2,DATA\r\nLOOP\tADDA\tGR1,GR2\r\n\tST\tGR1,RES\r\n\tRET\r\n"
    "DATA\tDC\t#8001\r\nRES\tDS\t1\r\n\tEND\r\n";
// Runs until paused or ended.
const char kForever[] = "FOREVER\tSTART\r\nL1\tADDA\tGR1,GR2\r\n\tJUMP\tL1\r\n\tEND\r\n";
// Reads a line.
const char kReader[] = "READER\tSTART\r\n\tIN\tBUF,LEN\r\n\tRET\r\nBUF\tDS\t256\r\nLEN\tDS\t1\r\n\tEND\r\n";

QString Keys() { return UiText(u8"   Ｆ５-実行(GO)　 Ｆ６-アニメート実行 　Ｆ７-トレース　 Ｆ８-ステップ　 "); }

// Runs `act` with the modal dialog that the next call brings up, from inside
// its own event loop.
void WhenModal(const std::function<void(QWidget*)>& act) {
  QTimer::singleShot(0, qApp, [act] { act(QApplication::activeModalWidget()); });
}

class Session {
 public:
  explicit Session(const char* source = kProgram, const QString& name = QStringLiteral("prog.cas")) : f(false) {
    const QString src = f.Write(name, source);
    if (!f.Main()->OpenPath(src)) QTest::qFail("open", __FILE__, __LINE__);
    f.Main()->RunCommand("mnuBuild");
    f.dialogs.Clear();
    f.Main()->RunCommand("mnuDebugStart");
    QCoreApplication::processEvents();
  }

  TfrmDebug* Debug() const { return f.shell.Debug(); }
  debugger::ExecutionControl& Core() const { return f.shell.Core()->Execution(); }
  TPaneGrid* Dis() const { return Debug()->UnAssemblePane(); }
  TPaneGrid* Mem() const { return Debug()->MemoryDumpPane(); }
  int RowOf(Word address) const { return Core().FindRowOfAddress(address); }
  QString DisText(Word address) const { return Debug()->UnAssembleModel()->index(RowOf(address), 0).data().toString(); }
  QString MemCell(int row, int column) const {
    return Debug()->MemoryDumpModel()->index(row, column).data().toString();
  }
  QStringList MemRow(int row) const {
    QStringList cells{Debug()->MemoryDumpModel()->headerData(row, Qt::Vertical, Qt::DisplayRole).toString()};
    for (int c = 0; c < 16; ++c) cells << MemCell(row, c);
    return cells;
  }
  QStringList WatchRow(int row) const {
    QStringList cells;
    for (int c = 0; c < 6; ++c) cells << Debug()->WatchModel()->index(row, c).data().toString();
    return cells;
  }
  QString Field(const char* name) const { return Debug()->RegisterField(QLatin1String(name))->text(); }
  bool FieldMarked(const char* name) const {
    return Debug()->RegisterField(QLatin1String(name))->palette().color(QPalette::Base) == PaneChangedColor();
  }
  void Trace(int n = 1) {
    for (int i = 0; i < n; ++i) f.Main()->RunCommand("mnuTrace");
  }
  void DoubleClick(TPaneGrid* grid, int row, int column) {
    const QModelIndex index = grid->model()->index(row, column);
    grid->scrollTo(index);
    const QRect r = grid->visualRect(index);
    DoubleClickAt(grid->viewport(), QPoint(r.left() + std::min(r.width() / 2, 20), r.center().y()));
  }
  // As the window system delivers a double-click: a click, then the double-click.
  static void DoubleClickAt(QWidget* w, const QPoint& p) {
    QTest::mouseClick(w, Qt::LeftButton, {}, p);
    QTest::mouseDClick(w, Qt::LeftButton, {}, p);
    // The simulated double-click leaves the button down as far as the
    // application can tell; the user's finger comes off it.
    if (QGuiApplication::mouseButtons() != Qt::NoButton) QTest::mouseRelease(w, Qt::LeftButton, {}, p);
  }
  // How many pixels of a row's mark (16 x 16) have the colour.
  int MarkPixels(int row, const QColor& colour) const {
    QHeaderView* h = Dis()->verticalHeader();
    const QImage image = h->viewport()->grab().toImage();
    const int top = h->sectionViewportPosition(row) + 2;
    int n = 0;
    for (int y = top; y < top + 16; ++y)
      for (int x = 0; x < 16; ++x) n += image.pixelColor(x, y) == colour;
    return n;
  }
  // The colour of a pixel of the mark column at the centre of a row's mark.
  QColor MarkPixel(int row) const {
    QHeaderView* h = Dis()->verticalHeader();
    const QImage image = h->viewport()->grab().toImage();
    return image.pixelColor(8, h->sectionViewportPosition(row) + 2 + 4);
  }

  ShellFixture f;
};

}  // namespace

class DebugWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { InstallFontSubstitutions(); }

  void layoutNamesAndSizes() {
    TfrmDebug d;
    QCOMPARE(d.windowTitle(), UiText(u8"デバッグウインドウ"));
    for (const char* n : {"StatusBar1", "Panel1", "Panel2", "Panel4", "Panel5", "Panel6", "Panel7", "Splitter1",
                          "Splitter2", "Splitter3", "sgrdUnAssemblePane", "sgrdMemoryDumpPane", "lstvWatchPane"})
      QVERIFY2(d.findChild<QWidget*>(QLatin1String(n)), n);
    QVERIFY(!d.Panel1()->isVisibleTo(&d));
    QCOMPARE(d.findChild<QSplitter*>("Splitter1")->handleWidth(), 4);
    QCOMPARE(d.findChild<QSplitter*>("Splitter2")->handleWidth(), 3);
    QCOMPARE(d.findChild<QSplitter*>("Splitter3")->handleWidth(), 3);
    // The register pane scrolls inside its 50-pixel minimum rather than
    // drawing its fields over each other.
    for (const char* n : {"Panel4", "Panel5", "Panel6Scroller", "Panel7"})
      QCOMPARE(d.findChild<QWidget*>(QLatin1String(n))->minimumHeight(), 50);
    // Disassembly: a 20-pixel mark column, a 1000-pixel text column, 17-pixel rows.
    QCOMPARE(d.UnAssemblePane()->verticalHeader()->width(), 20);
    QCOMPARE(d.UnAssemblePane()->columnWidth(0), 1000);
    QCOMPARE(d.UnAssemblePane()->verticalHeader()->defaultSectionSize(), 17);
    QVERIFY(!d.UnAssemblePane()->showGrid());
    // Memory: 8192 rows of 15 pixels, widths by the screen's logical dpi.
    const qreal dpi = d.screen()->logicalDotsPerInchX();
    QCOMPARE(d.MemoryDumpModel()->rowCount(), 8192);
    QCOMPARE(d.MemoryDumpPane()->verticalHeader()->width(), static_cast<int>(dpi * 50 / 96));
    QCOMPARE(d.MemoryDumpPane()->columnWidth(0), static_cast<int>(dpi * 40 / 96));
    QCOMPARE(d.MemoryDumpPane()->columnWidth(15), static_cast<int>(dpi * 14 / 96));
    QCOMPARE(d.MemoryDumpPane()->verticalHeader()->defaultSectionSize(), 15);
    // Watches: six columns with their captions and widths.
    QStringList captions;
    for (int c = 0; c < 6; ++c) captions << d.WatchModel()->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
    QCOMPARE(captions, QStringList({UiText(u8"アドレス"), UiText(u8"ラベル"), UiText(u8"16進数"), UiText(u8"論理値"),
                                    UiText(u8"算術値"), UiText(u8"文字")}));
    const int widths[] = {76, 90, 60, 60, 60};
    for (int c = 0; c < 5; ++c) QCOMPARE(d.WatchPane()->columnWidth(c), widths[c]);
    // The register fields before the first refresh, read-only.
    QCOMPARE(d.RegisterField("editGR0AsBinary")->text(), QStringLiteral("0000 0000 0000 0000"));
    for (const char* n : {"editGR7", "editGR7AsLDecimal", "editGR7AsADecimal", "editPR", "editSP", "editFR"})
      QCOMPARE(d.RegisterField(QLatin1String(n))->text(), QStringLiteral("0000"));
    QVERIFY(d.RegisterField("editGR3")->isReadOnly() && !d.RegisterField("editGR3")->hasFrame());
    // The pane menus and their items; the jumps and the watch item start disabled.
    const struct {
      const char* menu;
      QStringList items;
    } menus[] = {
        {"pmnuUnAssemblePane",
         {"pmnuUnAssemblePaneJumpAddress", "pmnuUnAssemblePaneJumpLabel", "pmnuUnAssemblePaneJumpPr",
          "pmnuDebugWindowPrintFromUnAsm"}},
        {"pmnuMemoryDumpPane", {"pmnuMemoryDumpPaneJumpAddress", "pmnuDebugWindowPrintFromMem"}},
        {"pmnuRegistorPane", {"pmnuDebugWindowPrintFromReg"}},
        {"pmnuWatchPane", {"pmnuWatch", "pmnuDebugWindowPrintFromWatch"}},
    };
    for (const auto& m : menus) {
      QStringList names;
      for (QAction* a : d.PaneMenu(QLatin1String(m.menu))->actions()) names << a->objectName();
      QCOMPARE(names, m.items);
    }
    QCOMPARE(d.PaneItem("pmnuUnAssemblePaneJumpLabel")->text(), UiText(u8"ラベルを指定してジャンプ(&L)"));
    QCOMPARE(d.PaneItem("pmnuMemoryDumpPaneJumpAddress")->text(), UiText(u8"アドレスを指定してジャンプ(&A)"));
    QCOMPARE(d.PaneItem("pmnuDebugWindowPrintFromReg")->text(), UiText(u8"デバッグウインドウの印刷(&P)"));
    QCOMPARE(d.PaneItem("pmnuUnAssemblePaneJumpPr")->text(), UiText(u8"PRの行へジャンプ(&R)"));
    for (const char* n : {"pmnuUnAssemblePaneJumpAddress", "pmnuUnAssemblePaneJumpLabel", "pmnuUnAssemblePaneJumpPr",
                          "pmnuMemoryDumpPaneJumpAddress", "pmnuWatch"})
      QVERIFY2(!d.PaneItem(QLatin1String(n))->isEnabled(), n);
    QVERIFY(d.PaneItem("pmnuDebugWindowPrintFromWatch")->isEnabled());
  }

  void panesShowTheProgramCellByCell() {
    Session s;
    QVERIFY2(s.f.dialogs.boxes.isEmpty(), qPrintable(s.f.dialogs.Texts().join('\n')));
    QVERIFY(s.Debug()->Panel1()->isVisible());
    QCOMPARE(s.Debug()->StatusText(), Keys());
    QCOMPARE(s.Debug()->UnAssembleModel()->rowCount(), s.Core().Disassembly().RowCount());
    const QStringList rows{"0100  1210 0005  PROG     LAD     GR1,#0005", "0102  1020 0108           LD      GR2,DATA",
                           "0104  2412       LOOP     ADDA    GR1,GR2",   "0105  1110 0109           ST      GR1,RES",
                           "0107  8100                RET     ",          "0108  8001       DATA     ****    ",
                           "0109  0000       RES      ****    "};
    const Word addresses[] = {0x100, 0x102, 0x104, 0x105, 0x107, 0x108, 0x109};
    for (int i = 0; i < 7; ++i) QCOMPARE(s.DisText(addresses[i]), rows[i]);
    // The next instruction is the current row, near the top of the view with
    // the rows before it for context, and carries the PR mark.
    QCOMPARE(s.Debug()->CurrentDisassemblyRow(), s.RowOf(0x100));
    QCOMPARE(s.Dis()->TopRow(), s.RowOf(0x100) - TPaneGrid::kContextRows);
    QCOMPARE(s.Debug()->PrRow(), s.RowOf(0x100));
    // It is drawn in the selected colour.
    const QRect current = s.Dis()->visualRect(s.Dis()->currentIndex());
    QCOMPARE(s.Dis()->viewport()->grab().toImage().pixelColor(current.left() + 1, current.top() + 1),
             QColor(204, 204, 255));
    // Memory: the start address's row at the top, its cell current.
    QCOMPARE(s.MemRow(0x20), QStringList({"0100", "1210", "0005", "1020", "0108", "2412", "1110", "0109", "8100", ".",
                                          ".", " ", ".", ".", ".", ".", "."}));
    QCOMPARE(s.Mem()->TopRow(), 0x20);
    QCOMPARE(s.Mem()->currentIndex(), s.Debug()->MemoryDumpModel()->index(0x20, 0));
    // Registers after the first refresh.
    QCOMPARE(s.Field("editGR0AsBinary"), QStringLiteral(" 0000 0000 0000 0000"));
    QCOMPARE(s.Field("editGR0AsLDecimal"), QStringLiteral("    0"));
    QCOMPARE(s.Field("editGR0AsADecimal"), QStringLiteral("     0"));
    QCOMPARE(s.Field("editPR"), QStringLiteral("0100"));
    QCOMPARE(s.Field("editSP"), QStringLiteral("0909"));
    QCOMPARE(s.Field("editFR"), QStringLiteral("(OF=0 SF=0 ZF=0) plus"));
    // Watches: every label of the program, in symbol order.
    QCOMPARE(s.Debug()->WatchModel()->rowCount(), 4);
    QCOMPARE(s.WatchRow(0), QStringList({"0100", "PROG", "1210", "4624", "4624", "."}));
    QCOMPARE(s.WatchRow(2), QStringList({"0108", "DATA", "8001", "32769", "-32767", "."}));

    // Two instructions: GR2 holds 8001H, in four notations; it is marked as
    // changed, GR1 (changed by the instruction before) is not.
    s.Trace(2);
    QCOMPARE(s.Field("editGR2"), QStringLiteral("8001"));
    QCOMPARE(s.Field("editGR2AsBinary"), QStringLiteral(" 1000 0000 0000 0001"));
    QCOMPARE(s.Field("editGR2AsLDecimal"), QStringLiteral("32769"));
    QCOMPARE(s.Field("editGR2AsADecimal"), QStringLiteral("-32767"));
    QCOMPARE(s.Field("editFR"), QStringLiteral("(OF=0 SF=1 ZF=0) minus"));  // LD sets the flags
    for (const char* n : {"editGR2", "editGR2AsBinary", "editGR2AsLDecimal", "editGR2AsADecimal", "editPR", "editFR"})
      QVERIFY2(s.FieldMarked(n), n);
    for (const char* n : {"editGR1", "editGR1AsBinary", "editSP"}) QVERIFY2(!s.FieldMarked(n), n);
    QCOMPARE(s.Debug()->CurrentDisassemblyRow(), s.RowOf(0x104));
    // ADDA: GR1 = 8006H, minus.
    s.Trace();
    QCOMPARE(s.Field("editGR1"), QStringLiteral("8006"));
    QCOMPARE(s.Field("editFR"), QStringLiteral("(OF=0 SF=1 ZF=0) minus"));
    QVERIFY(s.FieldMarked("editGR1") && !s.FieldMarked("editGR2") && !s.FieldMarked("editFR"));
    // ST GR1,RES: the word and the watch are marked.
    s.Trace();
    QCOMPARE(s.MemCell(0x21, 1), QStringLiteral("8006"));
    QVERIFY(s.Debug()->MemoryDumpModel()->index(0x21, 1).data(kChangedRole).toBool());
    QVERIFY(!s.Debug()->MemoryDumpModel()->index(0x21, 0).data(kChangedRole).toBool());
    QCOMPARE(s.WatchRow(3), QStringList({"0109", "RES", "8006", "32774", "-32762", "."}));
    QVERIFY(s.Debug()->WatchModel()->index(3, 2).data(kChangedRole).toBool());
    QVERIFY(!s.Debug()->WatchModel()->index(2, 2).data(kChangedRole).toBool());
    // The next run command starts from here: the marks go.
    s.Trace();
    QVERIFY(!s.Debug()->MemoryDumpModel()->index(0x21, 1).data(kChangedRole).toBool());
    QVERIFY(!s.FieldMarked("editGR1"));
  }

  // The panes repaint only what a step changed: what reaches the screen after
  // a step (the window's backing store, not a fresh rendering) shows the new
  // current row and the marks of the changed word and watch.
  void stepsRepaintWhatChanged() {
    Session s;
    s.Debug()->setFloating(true);  // at its own size, all panes in sight
    QTest::qWait(200);             // the floated window is fitted to the screen first
    s.Debug()->resize(930, 540);
    s.Debug()->show();
    QVERIFY(QTest::qWaitForWindowExposed(s.Debug()));
    s.Trace(3);  // ST GR1,RES next
    QCoreApplication::processEvents();
    auto onScreen = [&](QAbstractItemView* view, const QModelIndex& index) {
      QWidget* port = view->viewport();
      const QImage shot = port->screen()->grabWindow(port->window()->winId()).toImage();
      return shot.pixelColor(port->mapTo(port->window(), view->visualRect(index).topLeft() + QPoint(1, 1)));
    };
    TMemoryDumpModel* memory = s.Debug()->MemoryDumpModel();
    TWatchPaneModel* watches = s.Debug()->WatchModel();
    TUnAssembleModel* rows = s.Debug()->UnAssembleModel();
    QTRY_COMPARE(onScreen(s.Mem(), memory->index(0x21, 1)), QColor(Qt::white));
    QTRY_COMPARE(onScreen(s.Debug()->WatchPane(), watches->index(3, 2)), QColor(Qt::white));
    QTRY_COMPARE(onScreen(s.Dis(), rows->index(s.RowOf(0x105), 0)), PaneSelectedColor());
    s.Trace();
    QCoreApplication::processEvents();
    QTRY_COMPARE(onScreen(s.Mem(), memory->index(0x21, 1)), PaneChangedColor());
    QTRY_COMPARE(onScreen(s.Mem(), memory->index(0x21, 9)), PaneChangedColor());
    QTRY_COMPARE(onScreen(s.Debug()->WatchPane(), watches->index(3, 2)), PaneChangedColor());
    QTRY_COMPARE(onScreen(s.Dis(), rows->index(s.RowOf(0x107), 0)), PaneSelectedColor());
    QTRY_COMPARE(onScreen(s.Dis(), rows->index(s.RowOf(0x105), 0)), QColor(Qt::white));
    // The next step takes the marks away again.
    s.Trace();
    QCoreApplication::processEvents();
    QTRY_COMPARE(onScreen(s.Mem(), memory->index(0x21, 1)), QColor(Qt::white));
    QTRY_COMPARE(onScreen(s.Debug()->WatchPane(), watches->index(3, 2)), QColor(Qt::white));
  }

  void memoryCharactersAndTooltips() {
    Session s;
    struct Case {
      const char* word;
      const char* character;
    } cases[] = {{"0041", "A"}, {"00FF", "."}, {"1F00", "."}, {"007F", "."}, {"0020", " "}, {"FF7E", "~"}};
    for (const Case& c : cases) {
      QVERIFY(s.Core().SetMemory(0x0200, *ParseAddress(c.word)) == debugger::Refusal::None);
      QCOMPARE(s.MemCell(0x40, 0), QLatin1String(c.word));
      QCOMPARE(s.MemCell(0x40, 8), QLatin1String(c.character));
    }
    // The tooltip of a word cell: five lines of address and value.
    QVERIFY(s.Core().SetMemory(0x0200, 0x8000) == debugger::Refusal::None);
    TMemoryDumpModel* m = s.Debug()->MemoryDumpModel();
    QCOMPARE(m->ToolTipText(m->index(0x40, 0)),
             UiText(u8"0200番地\n 16進数   8000\n 論理値  32768\n 算術値 -32768\n 文字　      ."));
    QCOMPARE(m->ToolTipText(m->index(0x21, 0)),
             UiText(u8"0108番地\n 16進数   8001\n 論理値  32769\n 算術値 -32767\n 文字　      ."));
    QVERIFY(m->ToolTipText(m->index(0x40, 8)).isEmpty());  // character cells have none
    // Through the grid: a word cell shows it, a character cell hides it.
    s.Mem()->scrollTo(m->index(0x40, 0));
    const QPoint word = s.Mem()->visualRect(m->index(0x40, 0)).center();
    QHelpEvent help(QEvent::ToolTip, word, s.Mem()->viewport()->mapToGlobal(word));
    QApplication::sendEvent(s.Mem()->viewport(), &help);
    QTRY_COMPARE(QToolTip::text(), m->ToolTipText(m->index(0x40, 0)));
    const QPoint character = s.Mem()->visualRect(m->index(0x40, 9)).center();
    QHelpEvent none(QEvent::ToolTip, character, s.Mem()->viewport()->mapToGlobal(character));
    QApplication::sendEvent(s.Mem()->viewport(), &none);
    QTRY_VERIFY(QToolTip::text().isEmpty() || !QToolTip::isVisible());
  }

  void doubleClickTogglesBreakpoints() {
    Session s;
    const int loop = s.RowOf(0x104);
    s.DoubleClick(s.Dis(), loop, 0);
    QCOMPARE(s.Core().Breakpoints().FindEnabledBreakpoint(0x104), 0);
    QCOMPARE(s.MarkPixel(loop), QColor(255, 0, 0));
    QCOMPARE(s.Debug()->UnAssembleModel()->headerData(loop, Qt::Vertical, Qt::AccessibleTextRole).toString(),
             UiText(u8"ブレークポイント"));
    // A double-click on the mark column does nothing.
    QHeaderView* marks = s.Dis()->verticalHeader();
    s.DoubleClickAt(marks->viewport(), QPoint(8, marks->sectionViewportPosition(loop) + 8));
    QCOMPARE(s.Core().Breakpoints().Count(), 1);
    // Disabled: the olive mark; a double-click removes it rather than enabling it.
    s.Core().SwitchBreakpoint(0);
    QCOMPARE(s.MarkPixel(loop), QColor(128, 128, 0));
    s.DoubleClick(s.Dis(), loop, 0);
    QCOMPARE(s.Core().Breakpoints().Count(), 0);
    QVERIFY(s.MarkPixel(loop) != QColor(255, 0, 0) && s.MarkPixel(loop) != QColor(128, 128, 0));
    // GO stops at a breakpoint set by double-click.
    s.DoubleClick(s.Dis(), s.RowOf(0x107), 0);
    s.f.Main()->RunCommand("mnuGo");
    QCOMPARE(s.Core().Cpu().GetPR(), Word{0x107});
    QCOMPARE(s.Debug()->CurrentDisassemblyRow(), s.RowOf(0x107));
    QCOMPARE(s.Debug()->StatusText(), Keys());
  }

  void jumpsAskAgainAndReport() {
    Session s;
    ScriptedDialogs& d = s.f.dialogs;
    const QString byAddress = UiText(u8"指定行へジャンプ|アドレスを１６進数で入力してください|");
    // Invalid text: the warning, then the same question with an empty text.
    d.TextAnswer(QStringLiteral("xyz"));
    d.TextAnswer(QStringLiteral("0103"));  // the second word of LD at 0102H
    s.Debug()->pmnuUnAssemblePaneJumpAddressClick();
    QCOMPARE(d.textQueries, QStringList({byAddress, byAddress}));
    QCOMPARE(d.Texts(), QStringList({UiText(u8"xyzは正しいデータではありません。")}));
    QCOMPARE(d.boxes[0].kind, BoxKind::Warning);
    QCOMPARE(s.Debug()->CurrentDisassemblyRow(), s.RowOf(0x102));
    // By label: unknown names end the command with the information.
    d.Clear();
    d.TextAnswer(QStringLiteral("loop"));
    d.TextAnswer(QStringLiteral("NOPE"));
    s.Debug()->pmnuUnAssemblePaneJumpLabelClick();
    const QString byLabel = UiText(u8"指定行へジャンプ|ラベル名を入力してください|");
    QCOMPARE(d.textQueries, QStringList({byLabel, byLabel}));
    QCOMPARE(d.Texts(),
             QStringList({UiText(u8"loopは正しいデータではありません。"), UiText(u8"NOPEにはジャンプできません。")}));
    QCOMPARE(d.boxes[1].kind, BoxKind::Information);
    d.Clear();
    d.TextAnswer(QStringLiteral("RES"));
    s.Debug()->pmnuUnAssemblePaneJumpLabelClick();
    QCOMPARE(s.Debug()->CurrentDisassemblyRow(), s.RowOf(0x109));
    QVERIFY(d.boxes.isEmpty());
    // Cancel ends the command.
    d.TextAnswer(QString());
    s.Debug()->pmnuUnAssemblePaneJumpAddressClick();
    QCOMPARE(s.Debug()->CurrentDisassemblyRow(), s.RowOf(0x109));
    // Memory: the cell of the address.
    d.Clear();
    d.TextAnswer(QStringLiteral("1G"));
    d.TextAnswer(QStringLiteral("ffff"));
    s.Debug()->pmnuMemoryDumpPaneJumpAddressClick();
    const QString memory = UiText(u8"指定アドレスへジャンプ|アドレスを１６進数で入力してください|");
    QCOMPARE(d.textQueries, QStringList({memory, memory}));
    QCOMPARE(d.Texts(), QStringList({UiText(u8"1Gは正しいデータではありません。")}));
    QCOMPARE(s.Mem()->currentIndex(), s.Debug()->MemoryDumpModel()->index(8191, 7));
    QVERIFY(d.unexpected.isEmpty());
  }

  void memoryEditsThroughTheDialog() {
    Session s;
    auto* dialog = s.f.Main()->findChild<TdlgMemoryDataChange*>();
    QVERIFY(dialog);
    QCOMPARE(dialog->windowTitle(), UiText(u8"メモリの変更"));
    QWidget* shown = nullptr;
    QString name, data;
    bool focused = false, stayedOpen = false;
    WhenModal([&](QWidget* w) {
      shown = w;
      name = dialog->NameLabel()->text();
      data = dialog->DataEdit()->text();
      focused = dialog->focusWidget() == dialog->DataEdit();
      dialog->DataEdit()->setText(QStringLiteral("1G"));
      QTest::keyClick(dialog->DataEdit(), Qt::Key_Return);  // Enter is OK
      stayedOpen = dialog->isVisible();
      dialog->DataEdit()->setText(QStringLiteral("41"));
      dialog->btnOkClick();
      if (dialog->isVisible()) dialog->reject();
    });
    s.DoubleClick(s.Mem(), 0x21, 1);  // 0109H
    QCOMPARE(shown, dialog);
    QCOMPARE(name, QStringLiteral("0109"));
    QCOMPARE(data, QStringLiteral("0000"));
    QVERIFY(focused);
    QVERIFY(stayedOpen);
    QCOMPARE(s.f.dialogs.Texts(), QStringList({UiText(u8"1Gは正しいデータではありません。")}));
    QCOMPARE(s.f.dialogs.boxes[0].kind, BoxKind::Error);
    QVERIFY(!dialog->isVisible());
    QCOMPARE(s.Core().Mem()[0x109], Word{0x41});
    QCOMPARE(s.MemCell(0x21, 1), QStringLiteral("0041"));
    QCOMPARE(s.MemCell(0x21, 9), QStringLiteral("A"));
    QCOMPARE(s.WatchRow(3), QStringList({"0109", "RES", "0041", "65", "65", "A"}));
    // Columns other than the words, and a cancelled dialog, change nothing.
    int opened = 0;
    connect(dialog, &QDialog::finished, this, [&] { ++opened; });
    s.DoubleClick(s.Mem(), 0x21, 9);
    QCOMPARE(opened, 0);
    WhenModal([&](QWidget*) { dialog->reject(); });
    s.DoubleClick(s.Mem(), 0x21, 2);
    QCOMPARE(opened, 1);

    // Mended: an edit that changes where instructions begin moves the current
    // row with PR, and the view stays where it is.
    s.Trace();  // PR 0102H
    s.Dis()->verticalScrollBar()->setValue(300);
    QVERIFY(s.Core().SetMemory(0x0100, 0x0000) == debugger::Refusal::None);  // LAD's first word becomes NOP
    QCOMPARE(s.Debug()->CurrentDisassemblyRow(), s.RowOf(0x102));
    QCOMPARE(s.DisText(0x101), QStringLiteral("0101  0005                NOP     "));
    QCOMPARE(s.Dis()->verticalScrollBar()->value(), 300);

    // Not debugging: double-clicks do nothing.
    s.f.Main()->RunCommand("mnuEndProgram");
    s.DoubleClick(s.Mem(), 0x21, 1);
    QCOMPARE(opened, 1);
  }

  void registerEditsThroughTheDialog() {
    Session s;
    s.Trace(2);
    auto* dialog = s.f.Main()->findChild<TdlgRegisterDataChange*>();
    QVERIFY(dialog);
    QCOMPARE(dialog->windowTitle(), UiText(u8"レジスタの変更"));
    // By field: the name and the text the dialog starts with.
    struct Case {
      const char* field;
      const char* name;
      const char* data;
    } opens[] = {{"editGR2AsBinary", "GR2", "8001"},
                 {"editGR1AsADecimal", "GR1", "0005"},
                 {"editPR", "PR", "0104"},
                 {"editSP", "SP", "0909"},
                 {"editFR", "FR", "010"}};  // LD left SF set
    for (const Case& c : opens) {
      QString name, data;
      WhenModal([&](QWidget*) {
        name = dialog->NameLabel()->text();
        data = dialog->DataEdit()->text();
        dialog->reject();
      });
      QWidget* field = s.Debug()->RegisterField(QLatin1String(c.field));
      s.DoubleClickAt(field, field->rect().center());
      QCOMPARE(name, QLatin1String(c.name));
      QCOMPARE(data, QLatin1String(c.data));
    }
    // FR: the check of hexadecimal digits comes first, then the three bits.
    auto submit = [&](const char* name, const char* text) {
      s.f.dialogs.Clear();
      dialog->Prepare(QLatin1String(name), QLatin1String(text));
      dialog->btnOkClick();
      return s.f.dialogs.boxes.isEmpty() ? QString() : s.f.dialogs.boxes[0].text;
    };
    QCOMPARE(submit("FR", "7"), UiText(u8"7は正しいデータではありません。"));
    QCOMPARE(s.f.dialogs.boxes[0].kind, BoxKind::Warning);
    QCOMPARE(submit("FR", "1G"), UiText(u8"1Gは正しいデータではありません。"));
    QCOMPARE(s.f.dialogs.boxes[0].kind, BoxKind::Error);
    QCOMPARE(submit("FR", "101"), QString());
    QCOMPARE(s.Field("editFR"), QStringLiteral("(OF=1 SF=0 ZF=1) zero overflow"));
    QCOMPARE(submit("GR7", "ffff"), QString());
    QCOMPARE(s.Field("editGR7AsADecimal"), QStringLiteral("    -1"));
    QCOMPARE(submit("SP", "0a00"), QString());
    QCOMPARE(s.Field("editSP"), QStringLiteral("0A00"));
    // Mended: a new PR moves the current row there, without scrolling.
    s.Dis()->verticalScrollBar()->setValue(200);
    QCOMPARE(submit("PR", "105"), QString());
    QCOMPARE(s.Field("editPR"), QStringLiteral("0105"));
    QCOMPARE(s.Debug()->CurrentDisassemblyRow(), s.RowOf(0x105));
    QCOMPARE(s.Dis()->verticalScrollBar()->value(), 200);
  }

  void statusLineAcrossGoPauseTraceStepAndEnd() {
    Session s(kForever, QStringLiteral("forever.cas"));
    QCOMPARE(s.Debug()->StatusText(), Keys());
    // Two enabled breakpoints that are never reached; Pause works at once.
    QVERIFY(s.Core().AddBreakpoint(0x0200) == debugger::Refusal::None);
    QVERIFY(s.Core().AddBreakpoint(0x0300) == debugger::Refusal::None);
    QString during;
    // Pause once GO has run a few instructions: on a loaded machine (or under
    // the sanitizers) 30 ms may pass before the first one.
    std::function<void()> pauseWhenRunning = [&] {
      if (s.Core().InstructionCount() <= 2) return QTimer::singleShot(10, this, pauseWhenRunning);
      during = s.Debug()->StatusText();
      s.f.Main()->RunCommand("mnuPause");
    };
    QTimer::singleShot(30, this, pauseWhenRunning);
    s.f.Main()->RunCommand("mnuGo");
    QCOMPARE(during, UiText(u8"   「実行(GO)」の実行中です。 　 （Ｆ３-一時停止）"));
    QCOMPARE(s.Debug()->StatusText(), Keys());
    QVERIFY(s.Core().InstructionCount() > 2);
    // The panes show where GO stopped.
    QCOMPARE(s.Debug()->CurrentDisassemblyRow(), s.RowOf(s.Core().Cpu().GetPR()));
    QTimer::singleShot(30, this, [&] {
      during = s.Debug()->StatusText();
      s.f.Main()->RunCommand("mnuPause");
    });
    s.f.Main()->RunCommand("mnuGoAnimate");
    QCOMPARE(during, UiText(u8"   「アニメート実行」の実行中です。 　 （Ｆ３-一時停止）"));
    QCOMPARE(s.Debug()->StatusText(), Keys());
    s.Trace();
    QCOMPARE(s.Debug()->StatusText(), Keys());
    s.f.Main()->RunCommand("mnuEndProgram");
    QCOMPARE(s.Debug()->StatusText(), QString());
    for (const char* n :
         {"pmnuUnAssemblePaneJumpAddress", "pmnuUnAssemblePaneJumpLabel", "pmnuMemoryDumpPaneJumpAddress", "pmnuWatch"})
      QVERIFY2(!s.Debug()->PaneItem(QLatin1String(n))->isEnabled(), n);
  }

  void statusLineWhileTraceAndStepWaitForInput() {
    Session s(kReader, QStringLiteral("reader.cas"));
    TfrmStandardIo* console = s.f.Main()->Windows().standardIo;
    QString during;
    auto endWhenWaiting = [&] {
      connect(
          console, &TfrmStandardIo::inputPendingChanged, this,
          [&](bool pending) {
            if (pending)
              QTimer::singleShot(0, this, [&] {
                during = s.Debug()->StatusText();
                s.f.Main()->RunCommand("mnuEndProgram");
              });
          },
          Qt::SingleShotConnection);
    };
    // The IN macro: trace until the SVC waits.
    endWhenWaiting();
    for (int i = 0; i < 10 && during.isEmpty() && s.Core().DebuggingActive(); ++i) s.Trace();
    QCOMPARE(during, UiText(u8"   「トレース」の実行中です。"));
    QCOMPARE(s.Debug()->StatusText(), QString());
    // Step over the same.
    s.f.Main()->RunCommand("mnuDebugStart");
    during.clear();
    endWhenWaiting();
    for (int i = 0; i < 10 && during.isEmpty() && s.Core().DebuggingActive(); ++i) s.f.Main()->RunCommand("mnuStep");
    QCOMPARE(during, UiText(u8"   「ステップ」の実行中です。"));
    QCOMPARE(s.Debug()->StatusText(), QString());
  }

  void programEndEmptiesTheStatusAndDisablesTheJumps() {
    Session s;
    QVERIFY(s.Debug()->PaneItem("pmnuUnAssemblePaneJumpAddress")->isEnabled());
    QVERIFY(s.Debug()->PaneItem("pmnuWatch")->isEnabled());
    s.f.Main()->RunCommand("mnuGo");
    QCOMPARE(s.f.dialogs.Texts(), QStringList({UiText(u8"プログラムは終了しました。")}));
    QCOMPARE(s.Debug()->StatusText(), QString());
    QVERIFY(!s.Debug()->PaneItem("pmnuUnAssemblePaneJumpLabel")->isEnabled());
    QVERIFY(s.Debug()->PaneItem("pmnuWatch")->isEnabled());  // a normal end leaves the watch item
  }

  void shellResetHidesThePanesAndSwitchesThePopupsOff() {
    Session s;
    s.f.dialogs.Answer(BoxAnswer::Yes);  // end debugging?
    s.f.Main()->RunCommand("mnuClose");
    QVERIFY(!s.Debug()->Panel1()->isVisible());
    QCOMPARE(s.Debug()->StatusText(), QString());
    for (const char* n :
         {"pmnuUnAssemblePaneJumpAddress", "pmnuUnAssemblePaneJumpLabel", "pmnuMemoryDumpPaneJumpAddress", "pmnuWatch"})
      QVERIFY2(!s.Debug()->PaneItem(QLatin1String(n))->isEnabled(), n);
    QVERIFY(s.Core().StatusText().empty());
  }

  void printItemsAndTheWatchItem() {
    Session s;
    QSignalSpy prints(s.Debug(), &TfrmDebug::printRequested);
    s.f.Main()->printTarget = 0;
    for (const char* n : {"pmnuDebugWindowPrintFromUnAsm", "pmnuDebugWindowPrintFromMem", "pmnuDebugWindowPrintFromReg",
                          "pmnuDebugWindowPrintFromWatch"})
      s.Debug()->PaneItem(QLatin1String(n))->trigger();
    QCOMPARE(prints.count(), 4);
    QCOMPARE(s.f.Main()->printTarget, 4);
    QWidget* shown = nullptr;
    WhenModal([&](QWidget* w) {
      shown = w;
      if (w) static_cast<QDialog*>(w)->reject();
    });
    s.Debug()->PaneItem("pmnuWatch")->trigger();
    QVERIFY(shown);
    QCOMPARE(shown->objectName(), QStringLiteral("dlgWatch"));
  }

  void breakpointDialogs() {
    Session s;
    auto* list = s.f.Main()->findChild<TdlgBreakPoint*>();
    auto* add = s.f.Main()->findChild<TdlgAddBreakPoint*>();
    QVERIFY(list && add);
    QCOMPARE(add->windowTitle(), UiText(u8"ブレークポイントの追加"));
    QCOMPARE(add->ItemIndex(), 0);
    // The entry dialog's checks, each message keeping it open.
    struct Step {
      int by;
      const char* text;
      const char8_t* message;  // nullptr: accepted
      BoxKind kind;
    } steps[] = {
        {0, "loop", u8"ラベルとして正しくありません。もう一度入力してください。", BoxKind::Warning},
        {0, "NOPE", u8"このラベルは存在しません。", BoxKind::Warning},
        {0, "LOOP", nullptr, {}},
        {1, "10H", u8"アドレスとして正しくありません。もう一度入力してください。", BoxKind::Warning},
        {1, "104", u8"既に設定してあります。", BoxKind::Information},
        {1, "109", nullptr, {}},
        {1, "0100", nullptr, {}},
    };
    for (const Step& st : steps) {
      s.f.dialogs.Clear();
      bool open = false, focused = false;
      WhenModal([&](QWidget*) {
        focused = add->focusWidget() == add->Edit();
        add->SetItemIndex(st.by);
        add->Edit()->setText(QLatin1String(st.text));
        QTest::keyClick(add->Edit(), Qt::Key_Return);
        open = add->isVisible();
        if (open) add->reject();
      });
      list->btnAddClick();
      QVERIFY(focused);
      QCOMPARE(open, st.message != nullptr);
      if (st.message) {
        QCOMPARE(s.f.dialogs.Texts(), QStringList({UiText(st.message)}));
        QCOMPARE(s.f.dialogs.boxes[0].kind, st.kind);
      }
    }
    // The edit keeps its text; the list shows the table in address order.
    QCOMPARE(add->Edit()->text(), QStringLiteral("0100"));
    auto rows = [&] {
      QStringList out;
      for (int i = 0; i < list->List()->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = list->List()->topLevelItem(i);
        out << item->text(0) + "," + item->text(1) + "," + item->text(2);
      }
      return out;
    };
    QCOMPARE(rows(), QStringList({"0100,PROG,1", "0104,LOOP,1", "0109,RES,1"}));
    QCOMPARE(s.MarkPixel(s.RowOf(0x109)), QColor(255, 0, 0));
    // Enable/disable and delete act on the selected row at once.
    list->List()->setCurrentItem(list->List()->topLevelItem(1));
    list->btnOnOffClick();
    QCOMPARE(rows(), QStringList({"0100,PROG,1", "0104,LOOP,0", "0109,RES,1"}));
    QCOMPARE(s.MarkPixel(s.RowOf(0x104)), QColor(128, 128, 0));
    list->List()->setCurrentItem(list->List()->topLevelItem(0));
    list->btnDeleteClick();
    QCOMPARE(rows(), QStringList({"0104,LOOP,0", "0109,RES,1"}));
    // Without a selection the buttons do nothing.
    list->List()->clearSelection();
    list->btnOnOffClick();
    list->btnDeleteClick();
    QCOMPARE(rows(), QStringList({"0104,LOOP,0", "0109,RES,1"}));
    // The list follows a double-click in the disassembly while it is open.
    list->show();
    s.DoubleClick(s.Dis(), s.RowOf(0x107), 0);
    QCOMPARE(rows(), QStringList({"0104,LOOP,0", "0107,,1", "0109,RES,1"}));
    list->hide();
    // The main menu opens the list.
    QWidget* shown = nullptr;
    WhenModal([&](QWidget* w) {
      shown = w;
      if (w) static_cast<QDialog*>(w)->accept();
    });
    s.f.Main()->RunCommand("mnuBreakPoint");
    QCOMPARE(shown, list);
  }

  void watchDialogs() {
    Session s;
    auto* list = s.f.Main()->findChild<TdlgWatch*>();
    auto* add = s.f.Main()->findChild<TdlgAddWatch*>();
    QVERIFY(list && add);
    QCOMPARE(add->windowTitle(), UiText(u8"ウォッチ式の追加"));
    auto copy = [&] {
      QStringList out;
      for (int i = 0; i < list->List()->topLevelItemCount(); ++i)
        out << list->List()->topLevelItem(i)->text(0) + "," + list->List()->topLevelItem(i)->text(1);
      return out;
    };
    // Opening copies the pane; deleting and closing by the title bar leaves it.
    list->show();
    QCOMPARE(copy(), QStringList({"0100,PROG", "0104,LOOP", "0108,DATA", "0109,RES"}));
    QCOMPARE(list->focusWidget(), list->findChild<QPushButton*>("btnAdd"));
    list->List()->setCurrentItem(list->List()->topLevelItem(0));
    list->btnDeleteClick();
    QCOMPARE(copy().size(), 3);
    list->reject();
    QCOMPARE(s.Debug()->WatchModel()->rowCount(), 4);
    // Again, with additions: already set by label and by address, then new ones.
    list->show();
    struct Step {
      int by;
      const char* text;
      const char8_t* message;
    } steps[] = {{0, "PROG", u8"既に設定してあります。"},
                 {1, "109", u8"既に設定してあります。"},
                 {0, "X1", u8"このラベルは存在しません。"},
                 {1, "#10", u8"アドレスとして正しくありません。もう一度入力してください。"},
                 {1, "fff", nullptr},
                 {1, "10a", nullptr}};
    for (const Step& st : steps) {
      s.f.dialogs.Clear();
      bool open = false;
      WhenModal([&](QWidget*) {
        add->SetItemIndex(st.by);
        add->Edit()->setText(QLatin1String(st.text));
        add->btnOkClick();
        open = add->isVisible();
        if (open) add->reject();
      });
      list->btnAddClick();
      QCOMPARE(open, st.message != nullptr);
      if (st.message) QCOMPARE(s.f.dialogs.Texts(), QStringList({UiText(st.message)}));
    }
    QCOMPARE(list->focusWidget(), list->findChild<QPushButton*>("btnOk"));
    list->List()->setCurrentItem(list->List()->topLevelItem(1));  // LOOP
    list->btnDeleteClick();
    list->btnOkClick();
    QVERIFY(!list->isVisible());
    QCOMPARE(s.Debug()->WatchModel()->rowCount(), 5);
    QCOMPARE(s.WatchRow(0), QStringList({"0100", "PROG", "1210", "4624", "4624", "."}));
    QCOMPARE(s.WatchRow(3), QStringList({"010A", "", "0000", "0", "0", "."}));
    QCOMPARE(s.WatchRow(4), QStringList({"0FFF", "", "0000", "0", "0", "."}));
  }

  void helpButtonsReportAMissingPage() {
    Session s;
    auto* add = s.f.Main()->findChild<TdlgAddBreakPoint*>();
    add->show();
    add->btnHelpClick();
    QCOMPARE(s.f.dialogs.Texts(), QStringList({UiText(u8"ヘルプファイルが見つかりません。")}));
    QCOMPARE(s.f.dialogs.boxes[0].kind, BoxKind::Error);
    QVERIFY(add->isVisible());
    add->hide();
  }

  // The next instruction keeps its mark in the mark column whatever the
  // selection does, and one command brings its row back into view; a row and
  // its marks are told to a screen reader.
  void thePrMarkAndTheJumpBackToIt() {
    Session s;
    auto marksOf = [&](Word address) {
      return s.Debug()->UnAssembleModel()->headerData(s.RowOf(address), Qt::Vertical, kRowMarksRole).toUInt();
    };
    QCOMPARE(s.Debug()->PrRow(), s.RowOf(0x100));
    QCOMPARE(marksOf(0x100), unsigned(TUnAssembleModel::kPrMark));
    s.Trace();
    QCOMPARE(s.Debug()->PrRow(), s.RowOf(0x102));
    QCOMPARE(marksOf(0x100), 0u);
    // The user looks elsewhere: the selection moves, the mark stays.
    s.Dis()->verticalScrollBar()->setValue(3000);
    s.Dis()->setCurrentIndex(s.Debug()->UnAssembleModel()->index(3005, 0));
    QCOMPARE(s.Debug()->PrRow(), s.RowOf(0x102));
    // The pane menu's item and its key (anywhere in the window) go back.
    struct Way {
      const char* name;
      std::function<void()> go;
    } ways[] = {{"menu item", [&] { s.Debug()->PaneItem("pmnuUnAssemblePaneJumpPr")->trigger(); }},
                {"Ctrl+J", [&] { QTest::keyClick(s.Mem(), Qt::Key_J, Qt::ControlModifier); }}};
    for (const Way& way : ways) {
      s.Dis()->verticalScrollBar()->setValue(3000);
      s.Dis()->setCurrentIndex(s.Debug()->UnAssembleModel()->index(3005, 0));
      s.Mem()->setFocus();
      way.go();
      QVERIFY2(s.Debug()->CurrentDisassemblyRow() == s.RowOf(0x102), way.name);
      QVERIFY2(s.Dis()->TopRow() == s.RowOf(0x102) - TPaneGrid::kContextRows, way.name);
    }
    // A breakpoint on PR's row: both marks, in the picture and in words.
    s.Core().ToggleBreakpointAt(0x102);
    QCOMPARE(marksOf(0x102), unsigned(TUnAssembleModel::kPrMark | TUnAssembleModel::kEnabledMark));
    const QString words = UiText(u8"次に実行する命令、ブレークポイント");
    QCOMPARE(s.Debug()->UnAssembleModel()->headerData(s.RowOf(0x102), Qt::Vertical, Qt::AccessibleTextRole), words);
    QCOMPARE(s.Debug()->UnAssembleModel()->index(s.RowOf(0x102), 0).data(Qt::AccessibleDescriptionRole), words);
    QCOMPARE(s.Debug()->UnAssembleModel()->index(s.RowOf(0x104), 0).data(Qt::AccessibleDescriptionRole), QString());
    // The arrow covers the middle of the sign, and the red of the sign shows
    // all round it (against a sign of its own on the next row).
    s.Core().ToggleBreakpointAt(0x104);
    const QColor red(255, 0, 0);
    QVERIFY(s.MarkPixels(s.RowOf(0x102), red) > 40);
    QVERIFY(s.MarkPixels(s.RowOf(0x102), red) < s.MarkPixels(s.RowOf(0x104), red) - 30);
    // Once the program has ended there is no next instruction.
    s.f.Main()->RunCommand("mnuEndProgram");
    QCOMPARE(s.Debug()->PrRow(), -1);
    QCOMPARE(marksOf(0x102), unsigned(TUnAssembleModel::kEnabledMark));
    QCOMPARE(s.MarkPixels(s.RowOf(0x102), red), s.MarkPixels(s.RowOf(0x104), red));
  }

  // A jump target and the next instruction do not land on the edge of the
  // view: a few rows of context stay visible beyond them.
  void jumpTargetsKeepRowsOfContext() {
    Session s;
    const int rows = s.Dis()->VisibleRows();
    QVERIFY(rows > 2 * TPaneGrid::kContextRows + 1);
    // Down: the target ends above the last rows. Up: below the first rows.
    s.Core().Jump(debugger::JumpKind::DisassemblyAddress, 0x0109);
    QCOMPARE(s.Debug()->CurrentDisassemblyRow(), s.RowOf(0x109));
    QCOMPARE(s.Dis()->TopRow(), s.RowOf(0x109) - rows + 1 + TPaneGrid::kContextRows);
    s.Dis()->verticalScrollBar()->setValue(s.RowOf(0x109) + 20);
    s.Core().Jump(debugger::JumpKind::DisassemblyLabel, s.Core().Symbols().AddressOfLabel("LOOP"));
    QCOMPARE(s.Dis()->TopRow(), s.RowOf(0x104) - TPaneGrid::kContextRows);
    // Each trace keeps the next instruction inside the margin.
    s.Dis()->verticalScrollBar()->setValue(s.RowOf(0x100) - rows + 2);
    s.Trace();
    QCOMPARE(s.Dis()->TopRow() + rows - 1 - TPaneGrid::kContextRows, s.RowOf(0x102));
  }

  // The keyboard in the debugger's dialogs: Enter presses the button that has
  // the focus; a list that gets the focus has a selected row at once; Delete
  // deletes it.
  void dialogsByKeyboard() {
    Session s;
    auto* breaks = s.f.Main()->findChild<TdlgBreakPoint*>();
    auto* add = s.f.Main()->findChild<TdlgAddBreakPoint*>();
    auto* watches = s.f.Main()->findChild<TdlgWatch*>();
    for (const Word a : {0x0100, 0x0104, 0x0109}) QVERIFY(s.Core().AddBreakpoint(a) == debugger::Refusal::None);
    auto texts = [](QTreeWidget* list) {
      QStringList out;
      for (int i = 0; i < list->topLevelItemCount(); ++i) out << list->topLevelItem(i)->text(0);
      return out;
    };
    // The list gets the focus from another control, with nothing selected.
    auto focusList = [](QDialog* dialog, QTreeWidget* list) {
      // As the window system does for a dialog it shows (the offscreen
      // platform leaves the main window active).
      QApplication::setActiveWindow(dialog);
      list->clearSelection();
      dialog->findChild<QPushButton*>("btnHelp")->setFocus();
      list->setFocus();
      return list->selectedItems().size() == 1 ? list->selectedItems()[0]->text(0) : QString();
    };
    // The breakpoint list, as the menu command shows it.
    QString selected;
    QStringList afterDelete;
    QString switched;
    bool added = true;
    WhenModal([&](QWidget*) {
      selected = focusList(breaks, breaks->List());
      QTest::keyClick(breaks->List(), Qt::Key_Delete);
      afterDelete = texts(breaks->List());
      // Enter on the focused enable/disable button presses it, not OK.
      auto* onOff = breaks->findChild<QPushButton*>("btnOnOff");
      onOff->setFocus();
      QTest::keyClick(onOff, Qt::Key_Return);
      switched = breaks->List()->topLevelItem(0)->text(2);
      // Enter on the focused Cancel of the entry dialog cancels, though the
      // text in it is valid.
      WhenModal([&](QWidget*) {
        add->Edit()->setText(QStringLiteral("0102"));
        add->SetItemIndex(1);
        auto* cancel = add->findChild<QPushButton*>("btnCancel");
        cancel->setFocus();
        QTest::keyClick(cancel, Qt::Key_Return);
        added = add->isVisible();
        if (added) add->reject();
      });
      breaks->btnAddClick();
      // Enter in the list is the dialog's OK.
      breaks->List()->setFocus();
      QTest::keyClick(breaks->List(), Qt::Key_Return);
      if (breaks->isVisible()) breaks->reject();
    });
    s.f.Main()->RunCommand("mnuBreakPoint");
    QCOMPARE(selected, QStringLiteral("0100"));
    QCOMPARE(afterDelete, QStringList({"0104", "0109"}));
    QCOMPARE(switched, QStringLiteral("0"));
    QVERIFY(!added);
    QCOMPARE(s.Core().Breakpoints().Count(), 2);
    QCOMPARE(QString::fromStdString(s.Core().Breakpoints().Rows()[0].AddressText()), QStringLiteral("0104"));
    QVERIFY(!s.Core().Breakpoints().Rows()[0].enabled);

    // The watch list likewise; Enter in the list keeps the working copy.
    bool closedByEnter = false;
    WhenModal([&](QWidget*) {
      selected = focusList(watches, watches->List());
      QTest::keyClick(watches->List(), Qt::Key_Delete);
      afterDelete = texts(watches->List());
      QTest::keyClick(watches->List(), Qt::Key_Return);
      closedByEnter = !watches->isVisible();
      if (!closedByEnter) watches->reject();
    });
    s.f.Main()->RunCommand("mnuWatch");
    QCOMPARE(selected, QStringLiteral("0100"));
    QCOMPARE(afterDelete, QStringList({"0104", "0108", "0109"}));
    QVERIFY(closedByEnter);
    QCOMPARE(s.Debug()->WatchModel()->rowCount(), 3);
  }

  // A screen reader asks one question at a time, each after the answer to
  // the last; the turn a running program gives the window system stays open
  // while its questions keep coming, instead of answering one per turn.
  void aTurnAnswersAScreenReadersQuestionsInARow() {
    constexpr int kQuestions = 50;
    int answered = 0;
    std::function<void()> answer = [&] {
      if (++answered < kQuestions) QTimer::singleShot(0, qApp, answer);  // the next question
    };
    const struct {
      bool toolListening;
      int answered;
    } cases[] = {{false, 1}, {true, kQuestions}};
    for (const auto& c : cases) {
      QCoreApplication::processEvents();
      answered = 0;
      QTimer::singleShot(0, qApp, answer);
      WindowSystemTurn(c.toolListening);
      QCOMPARE(answered, c.answered);
      QTRY_COMPARE(answered, kQuestions);
    }
  }

  // The debug status line is read by a screen reader as its text.
  void theStatusLineIsReadAsItsText() {
    Session s;
    QLabel* label = s.Debug()->findChild<QLabel*>(QStringLiteral("StatusBar1Text"));
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(label);
    QVERIFY(a);
    QCOMPARE(a->text(QAccessible::Name), Keys());
  }

  // The user types where the keyboard is: with the debug window floating (a
  // window of its own, active), an IN must bring the keys to the console.
  void aFloatingDebugWindowHandsTheKeyboardToTheConsoleAtAnInput() {
    Session s(kReader, QStringLiteral("reader.cas"));
    TfrmStandardIo* console = s.f.Main()->Windows().standardIo;
    s.Debug()->setFloating(true);
    s.Debug()->activateWindow();
    QTRY_COMPARE(QApplication::activeWindow(), static_cast<QWidget*>(s.Debug()));
    s.Dis()->setFocus();
    QWidget* focus = nullptr;
    connect(
        console, &TfrmStandardIo::inputPendingChanged, this,
        [&](bool pending) {
          if (!pending) return;
          QTimer::singleShot(0, this, [&] {
            (void)QTest::qWaitFor([&] { return QApplication::focusWidget() == console->memoStandardIo(); }, 2000);
            focus = QApplication::focusWidget();
            QTest::keyClicks(focus ? focus : s.Debug(), QStringLiteral("abc"));
            QTest::keyClick(focus ? focus : s.Debug(), Qt::Key_Return);
            if (console->ConsoleInputPending()) s.f.Main()->RunCommand("mnuEndProgram");
          });
        },
        Qt::SingleShotConnection);
    s.f.Main()->RunCommand("mnuGo");
    QCOMPARE(focus, static_cast<QWidget*>(console->memoStandardIo()));
    QCOMPARE(QApplication::activeWindow(), static_cast<QWidget*>(s.f.Main()));
    // The line reached the program, which ran to its end.
    QVERIFY(console->Text().contains(QStringLiteral(">abc\n")));
    QCOMPARE(s.f.dialogs.Texts(), QStringList({UiText(u8"プログラムは終了しました。")}));
  }

  // The client area a floating debug window opens with, within the screen.
  void aFloatingDebugWindowOpensAt930By510() {
    Session s;
    s.Debug()->setFloating(true);
    QTRY_COMPARE(s.Debug()->widget()->height(), 510);
    const int extra = s.Debug()->frameGeometry().width() - s.Debug()->widget()->width();
    QCOMPARE(s.Debug()->widget()->width(), std::min(930, s.Debug()->screen()->availableGeometry().width() - extra));
  }

  // At the floating size and at the width the debug panel has while debugging
  // on 1280- and 1024-pixel screens, the disassembly column has room for its
  // rows through their operands. Where there is room beside it (930, 1280)
  // every register field and every watch column shows in full, and nothing is
  // drawn over its neighbour; at 1024 the register pane scrolls sideways, its
  // hexadecimal fields in view.
  void registerFieldsAndWatchColumnsAreNeverCut() {
    TfrmDebug d;
    d.Panel1()->show();
    auto* watches = d.WatchPane();
    auto* scroller = d.findChild<QScrollArea*>(QStringLiteral("Panel6Scroller"));
    auto* columns = d.findChild<QSplitter*>(QStringLiteral("Splitter1"));
    QVERIFY(scroller && columns);
    const int docked1280 = 1280 - static_cast<int>(1280 * 0.3) - 6;
    const int docked1024 = 1024 - static_cast<int>(1024 * 0.3) - 6;
    for (int width : {930, docked1280, docked1024}) {
      d.resize(width, 510);
      d.show();
      QCoreApplication::processEvents();
      const QString at = QStringLiteral("width %1").arg(width);
      QVERIFY2(columns->sizes().first() >= d.LeftColumnWidth(),
               qPrintable(at + QStringLiteral(": %1 for %2").arg(columns->sizes().first()).arg(d.LeftColumnWidth())));
      const bool room = d.width() >= d.NeededWidth();
      QCOMPARE(room, width != docked1024);
      // The register fields, line by line, left to right inside the pane.
      const int visible = scroller->viewport()->width();
      for (int i = 0; i < 8; ++i) {
        int right = 0;
        for (const char* suffix : {"", "AsBinary", "AsLDecimal", "AsADecimal"}) {
          const QLineEdit* e = d.RegisterField(QStringLiteral("editGR%1%2").arg(i).arg(QLatin1String(suffix)));
          const QRect r(e->mapTo(scroller->viewport(), QPoint(0, 0)), e->size());
          QVERIFY2(r.left() >= right && (r.right() < visible || (!room && *suffix)),
                   qPrintable(at + " " + e->objectName()));
          QVERIFY2(e->width() >= e->fontMetrics().horizontalAdvance(e->text()), qPrintable(at + " " + e->objectName()));
          right = r.right() + 1;
        }
      }
      QCOMPARE(scroller->horizontalScrollBar()->isVisible(), !room);
      if (!room) continue;
      // The watch columns, the last one with room for its caption.
      QVERIFY2(!watches->horizontalScrollBar()->isVisible(), qPrintable(at));
      QHeaderView* header = watches->horizontalHeader();
      QVERIFY2(header->sectionViewportPosition(5) + header->sectionSizeHint(5) <= watches->viewport()->width(),
               qPrintable(at));
    }
  }

  // The left column and the upper panes keep their sizes whenever the window
  // has room for them, also after it was made small for a while.
  void columnsComeBackAfterTheWindowWasSmall() {
    TfrmDebug d;
    d.Panel1()->show();
    d.resize(930, 510);
    d.show();
    QCoreApplication::processEvents();
    auto* columns = d.findChild<QSplitter*>(QStringLiteral("Splitter1"));
    auto* left = d.findChild<QSplitter*>(QStringLiteral("Splitter2"));
    auto* right = d.findChild<QSplitter*>(QStringLiteral("Splitter3"));
    QCOMPARE(columns->sizes().first(), 510);
    QCOMPARE(left->sizes().first(), 321);
    QCOMPARE(right->sizes().first(), 321);
    d.resize(500, 250);
    QCoreApplication::processEvents();
    QVERIFY(columns->sizes().first() < 510 && left->sizes().first() < 321);
    d.resize(1200, 700);
    QCoreApplication::processEvents();
    QCOMPARE(columns->sizes().first(), 510);
    QCOMPARE(left->sizes().first(), 321);
    QCOMPARE(right->sizes().first(), 321);
    // Where the user puts the handle is the column's size from then on.
    QSplitterHandle* handle = columns->handle(1);
    QTest::mousePress(handle, Qt::LeftButton, {}, QPoint(2, 10));
    QTest::mouseMove(handle, QPoint(2 + 60, 10));
    QTest::mouseRelease(handle, Qt::LeftButton, {}, QPoint(2 + 60, 10));
    const int dragged = columns->sizes().first();
    QVERIFY(dragged > 510);
    d.resize(700, 700);
    QCoreApplication::processEvents();
    d.resize(1200, 700);
    QCoreApplication::processEvents();
    QCOMPARE(columns->sizes().first(), dragged);
  }

  // Floated and docked again, the debug window takes back its share of the
  // main window; when debugging ends the editor gets back its width.
  void dockedAgainAndAfterDebuggingTheWidthsComeBack() {
    Session s;
    // Debug Start again from the editor's usual width.
    s.f.Main()->RunCommand("mnuEndProgram");
    s.f.Main()->RunCommand("mnuSourceCode");
    QCoreApplication::processEvents();
    const int wide = s.f.Main()->EditAreaWidth();
    s.f.Main()->RunCommand("mnuDebugStart");
    QTRY_VERIFY(s.f.Main()->EditAreaWidth() < wide - 100);
    const int docked = s.Debug()->width();
    s.Debug()->setFloating(true);
    QTRY_COMPARE(s.Debug()->widget()->height(), 510);
    s.Debug()->setFloating(false);
    QTRY_VERIFY2(qAbs(s.Debug()->width() - docked) <= 2, qPrintable(QString::number(s.Debug()->width())));
    s.f.Main()->RunCommand("mnuGo");
    QTRY_VERIFY2(qAbs(s.f.Main()->EditAreaWidth() - wide) <= 12,
                 qPrintable(QString::number(s.f.Main()->EditAreaWidth())));
  }

  // Debugging ends while the debug window floats: docked again, it takes the
  // share it has outside debugging, and the next Debug Start comes back to the
  // editor's usual width, not to the narrow one.
  void floatedEndedAndDockedAgainTheEditorKeepsItsWidth() {
    Session s;
    s.f.Main()->RunCommand("mnuEndProgram");
    s.f.Main()->RunCommand("mnuSourceCode");
    QCoreApplication::processEvents();
    const int wide = s.f.Main()->EditAreaWidth();
    s.f.Main()->RunCommand("mnuDebugStart");
    QTRY_VERIFY(s.f.Main()->EditAreaWidth() < wide - 100);
    const int narrow = s.f.Main()->EditAreaWidth();
    s.Debug()->setFloating(true);
    QTRY_COMPARE(s.Debug()->widget()->height(), 510);
    s.f.Main()->RunCommand("mnuEndProgram");
    QVERIFY(!s.Core().DebuggingActive());
    s.Debug()->setFloating(false);
    QTRY_VERIFY2(qAbs(s.f.Main()->EditAreaWidth() - wide) <= 12,
                 qPrintable(QString::number(s.f.Main()->EditAreaWidth())));
    // Held there once the docking has settled.
    QTest::qWait(600);
    QVERIFY2(qAbs(s.f.Main()->EditAreaWidth() - wide) <= 12, qPrintable(QString::number(s.f.Main()->EditAreaWidth())));
    s.f.Main()->RunCommand("mnuDebugStart");
    QTRY_VERIFY(qAbs(s.f.Main()->EditAreaWidth() - narrow) <= 12);
    s.f.Main()->RunCommand("mnuGo");
    QTRY_VERIFY2(qAbs(s.f.Main()->EditAreaWidth() - wide) <= 12,
                 qPrintable(QString::number(s.f.Main()->EditAreaWidth())));
  }

  // On a small screen Debug Start gives the debug panel what it needs to show
  // the disassembly's instructions beside the registers (the editor keeps
  // what it needs); at that width the code rows show through their operands
  // and the register fields are not cut.
  void theDisassemblyShowsItsInstructionsBesideTheRegisters() {
    Session s;
    QTest::qWait(200);  // the docks laid out
    TfrmMain* main = s.f.Main();
    const int separator = main->style()->pixelMetric(QStyle::PM_DockWidgetSeparatorExtent, nullptr, main);
    const int room = main->width() - main->Windows().editor->minimumSizeHint().width() - separator;
    const int needed = s.Debug()->NeededWidth();
    QTRY_VERIFY2(s.Debug()->width() >= std::min(needed, room) - 12,
                 qPrintable(QStringLiteral("%1 for %2 (room %3)").arg(s.Debug()->width()).arg(needed).arg(room)));

    // The panes at the width needed.
    s.Debug()->setFloating(true);
    QTRY_COMPARE(s.Debug()->widget()->height(), 510);
    s.Debug()->resize(needed - (s.Debug()->width() - s.Debug()->widget()->width()) + 2, s.Debug()->height());
    QTRY_VERIFY(qAbs(s.Debug()->width() - needed) <= 4);
    QCoreApplication::processEvents();
    const QFontMetrics fm(s.Dis()->font());
    const int start = s.RowOf(s.Core().Program().header.start);
    for (int row = start; row < start + 5; ++row) {
      const QString text = s.Dis()->model()->index(row, 0).data(Qt::AccessibleTextRole).toString().trimmed();
      QVERIFY2(fm.horizontalAdvance(text) + 2 <= s.Dis()->viewport()->width(),
               qPrintable(text + QStringLiteral(" in %1").arg(s.Dis()->viewport()->width())));
    }
    auto* scroller = s.Debug()->findChild<QScrollArea*>(QStringLiteral("Panel6Scroller"));
    const QLineEdit* last = s.Debug()->RegisterField(QStringLiteral("editGR7AsADecimal"));
    QVERIFY(last->mapTo(scroller->viewport(), QPoint(last->width(), 0)).x() <= scroller->viewport()->width());
  }

  // Screen readers are told of the disassembly's and the memory dump's rows in
  // view and their neighbours, not of every cell: each an item named by the
  // row's text, the current row the focused one.
  void theGridsExposeTheRowsInView() {
    Session s;
    s.f.Main()->activateWindow();
    s.Dis()->setFocus();
    QTRY_VERIFY(s.Dis()->hasFocus());
    for (TPaneGrid* grid : {s.Dis(), s.Mem()}) {
      const QString name = grid->objectName();
      QAccessibleInterface* list = QAccessible::queryAccessibleInterface(grid);
      QVERIFY(list);
      QCOMPARE(list->role(), QAccessible::List);
      const int inView = grid->VisibleRows();
      QVERIFY2(
          list->childCount() >= inView && list->childCount() <= 3 * inView + 3,
          qPrintable(name + QStringLiteral(": %1 children for %2 rows in view").arg(list->childCount()).arg(inView)));
      for (int i = 0; i < list->childCount(); ++i) {
        QAccessibleInterface* item = list->child(i);
        QVERIFY(item && item->isValid());
        QCOMPARE(list->indexOfChild(item), i);
        QCOMPARE(item->role(), QAccessible::ListItem);
        QVERIFY(!item->text(QAccessible::Name).isEmpty());
      }
      QVERIFY(!list->child(list->childCount()));
    }
    // The disassembly's items read as its rows; the current one has the focus.
    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(s.Dis());
    const int current = s.Dis()->currentIndex().row();
    QVERIFY(current >= 0);
    QAccessibleInterface* focused = list->focusChild();
    QVERIFY(focused);
    QVERIFY(focused->state().focused && focused->state().selected);
    QVERIFY2(focused->text(QAccessible::Name)
                 .contains(s.Dis()->model()->index(current, 0).data(Qt::AccessibleTextRole).toString().trimmed()),
             qPrintable(focused->text(QAccessible::Name)));
    // Scrolled far down, the items are the rows there.
    const int rows = s.Dis()->model()->rowCount();
    s.Dis()->verticalScrollBar()->setValue(rows - s.Dis()->VisibleRows());
    QCoreApplication::processEvents();
    QAccessibleInterface* last = list->child(list->childCount() - 1);
    QCOMPARE(last->text(QAccessible::Name),
             s.Dis()->model()->index(rows - 1, 0).data(Qt::AccessibleTextRole).toString().trimmed());
  }

  void resizingTheDisassemblyGivesItTheFocus() {
    Session s;
    s.f.Editor()->setFocus();
    s.Dis()->resize(s.Dis()->width() - 10, s.Dis()->height() - 10);
    QCoreApplication::processEvents();
    QTRY_VERIFY(s.Dis()->hasFocus());
  }
};

QTEST_MAIN(DebugWindowTest)
#include "DebugWindowTest.moc"
