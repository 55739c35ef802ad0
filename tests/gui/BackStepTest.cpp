// Back Step in the windows: the command beside Trace, the console's output
// line withdrawn, the input line given again, and the panes after going back.
#include <QAction>
#include <QLineEdit>
#include <QTimer>
#include <QToolBar>
#include <QtTest>

#include "app/CoreBinding.h"
#include "common/Cp932.h"
#include "debugger/ExecutionControl.h"
#include "forms/DebugPaneModels.h"
#include "forms/UiFonts.h"
#include "forms/frmDebug_f.h"
#include "forms/frmStandardIo_f.h"
#include "support/ShellFixture.h"

using namespace tolvane;
using namespace tolvane::forms;
using namespace tolvane::testing;

namespace {

// ECHO IN BUF,LEN / OUT BUF,LEN / RET; the macros expand to RPUSH, LADs, SVC, RPOP.
const char kEcho[] =
    "ECHO\tSTART\r\n\tIN\tBUF,LEN\r\n\tOUT\tBUF,LEN\r\n\tRET\r\nBUF\tDS\t16\r\nLEN\tDS\t1\r\n\tEND\r\n";

}  // namespace

class BackStepTest : public QObject {
  Q_OBJECT

  TfrmStandardIo* Console(ShellFixture& f) { return f.Main()->Windows().standardIo; }
  debugger::ExecutionControl& Core(ShellFixture& f) { return f.shell.Core()->Execution(); }
  // Traces until PR is at `address` (a bounded number of times).
  void TraceTo(ShellFixture& f, Word address) {
    for (int i = 0; i < 100 && Core(f).DebuggingActive() && Core(f).Cpu().GetPR() != address; ++i)
      f.Main()->RunCommand("mnuTrace");
  }
  // The word of the SVC instruction of the IN (1) or OUT (2) expansion.
  Word SvcAddress(ShellFixture& f, Word number) {
    const Memory& m = Core(f).Mem();
    for (Word a = 0x100; a < 0x140; ++a)
      if (m[a] == 0xF000 && m[static_cast<Word>(a + 1)] == number) return a;
    return 0;
  }

 private slots:
  void initTestCase() { InstallFontSubstitutions(); }

  void theCommandSitsBesideTrace() {
    ShellFixture f;
    QAction* item = f.Main()->Item("mnuBackStep");
    QVERIFY(item);
    QCOMPARE(item->text(), UiText(u8"バックステップ(&K)"));
    QCOMPARE(item->shortcut(), QKeySequence(QStringLiteral("Shift+F7")));
    QVERIFY(!item->isEnabled());
    QAction* button = f.Main()->Item("smnuBackStep");
    QVERIFY(button);
    QCOMPARE(button->toolTip(), UiText(u8"バックステップ (Shift+F7)"));
    const QStringList layout = ToolbarLayout();
    QCOMPARE(layout.indexOf("smnuBackStep"), layout.indexOf("smnuTrace") + 1);
    QVERIFY(f.Main()->findChild<QToolBar*>("ToolBar1")->actions().contains(button));
  }

  void outputWithdrawnInputGivenAgainPanesRefreshed() {
    ShellFixture f(false);
    const QString src = f.Write("echo.cas", kEcho);
    QVERIFY(f.Main()->OpenPath(src));
    f.Main()->RunCommand("mnuBuild");
    f.dialogs.Clear();
    f.Main()->RunCommand("mnuDebugStart");
    QVERIFY(Core(f).DebuggingActive());
    QVERIFY(!f.Main()->IsEnabled("mnuBackStep"));
    const Word in = SvcAddress(f, 1), out = SvcAddress(f, 2);
    QVERIFY(in && out);
    const Word buf = Core(f).Symbols().AddressOfLabel("BUF");

    // The IN: the user types a line when it waits.
    TfrmStandardIo* console = Console(f);
    int asked = 0;
    connect(console, &TfrmStandardIo::inputPendingChanged, this, [&](bool pending) {
      if (!pending) return;
      ++asked;
      QTimer::singleShot(0, this, [console] {
        QTest::keyClicks(console->memoStandardIo(), "HELLO");
        QTest::keyClick(console->memoStandardIo(), Qt::Key_Return);
      });
    });
    TraceTo(f, in);
    f.Main()->RunCommand("mnuTrace");
    QCOMPARE(asked, 1);
    TraceTo(f, out);
    f.Main()->RunCommand("mnuTrace");
    QCOMPARE(console->Text().count("HELLO"), 2);  // typed, then written
    QVERIFY(f.Main()->IsEnabled("mnuBackStep") && f.Main()->IsEnabled("smnuBackStep"));

    // Back over the OUT: its line goes, the typed one stays; PR's row is current again.
    const QString beforeOut = console->Text();
    f.Main()->RunCommand("mnuBackStep");
    QCOMPARE(Core(f).Cpu().GetPR(), out);
    QCOMPARE(console->Text().count("HELLO"), 1);
    QVERIFY(console->Text().endsWith(QStringLiteral("HELLO\n>")));
    QCOMPARE(f.shell.Debug()->UnAssemblePane()->currentIndex().row(), Core(f).FindRowOfAddress(out));
    QCOMPARE(f.shell.Debug()->RegisterField(QStringLiteral("editPR"))->text().left(4), QString::asprintf("%04X", out));

    // Back to the IN (through the RPOP/LAD words between): BUF is empty again, as the dump shows.
    while (Core(f).Cpu().GetPR() != in && Core(f).BackStepsAvailable() > 0) f.Main()->RunCommand("mnuBackStep");
    QCOMPARE(Core(f).Cpu().GetPR(), in);
    QCOMPARE(Core(f).Mem()[buf], Word{0});
    QCOMPARE(console->Text().count("HELLO"), 0);  // the line it read went with it
    const QModelIndex cell = f.shell.Debug()->MemoryDumpModel()->index(buf / 8, buf % 8);
    QCOMPARE(cell.data().toString(), QStringLiteral("0000"));

    // Forward again: the line is not asked for but shown as typed, and the output comes back.
    f.Main()->RunCommand("mnuTrace");
    QCOMPARE(asked, 1);
    QCOMPARE(console->Text().count("HELLO"), 1);
    QCOMPARE(Core(f).Mem()[buf], Word{'H'});
    QCOMPARE(cell.data().toString(), QStringLiteral("0048"));
    TraceTo(f, out);
    f.Main()->RunCommand("mnuTrace");
    QCOMPARE(console->Text(), beforeOut);
    QCOMPARE(console->Text().count("HELLO"), 2);

    // To the end and back: the program is live again and the guard asks again.
    f.Main()->RunCommand("mnuGo");
    QVERIFY(!Core(f).DebuggingActive());
    QVERIFY(f.Main()->IsEnabled("mnuBackStep"));
    QVERIFY(!f.Main()->IsEnabled("mnuGo"));
    f.Main()->RunCommand("mnuBackStep");
    QVERIFY(Core(f).DebuggingActive());
    QVERIFY(f.Main()->IsEnabled("mnuGo") && f.Main()->IsEnabled("mnuTrace") && f.Main()->IsEnabled("mnuEndProgram"));
    QVERIFY(!f.Main()->IsEnabled("mnuDebugStart"));
    QCOMPARE(f.shell.Debug()->StatusText(),
             UiText(u8"   Ｆ５-実行(GO)　 Ｆ６-アニメート実行 　Ｆ７-トレース　 Ｆ８-ステップ　 "));

    // Debug Start clears what could be undone.
    f.Main()->RunCommand("mnuEndProgram");
    f.Main()->RunCommand("mnuDebugStart");
    QVERIFY(!f.Main()->IsEnabled("mnuBackStep"));
    QCOMPARE(Core(f).BackStepsAvailable(), std::size_t{0});
  }

  // Back over the end, and on to the end again: the console reads as one
  // straight run (the first end's lines went with it), and the editing area
  // narrows again for the live program.
  void backOverTheEndReadsAsAStraightRun() {
    ShellFixture f(false);
    const QString src = f.Write("echo.cas", kEcho);
    QVERIFY(f.Main()->OpenPath(src));
    f.Main()->RunCommand("mnuBuild");
    f.dialogs.Clear();
    // Debug Start from the editor's usual width.
    f.Main()->RunCommand("mnuSourceCode");
    QTest::qWait(200);  // the docks laid out
    const int wide = f.Main()->EditAreaWidth();
    f.Main()->RunCommand("mnuDebugStart");
    QVERIFY(Core(f).DebuggingActive());
    QTest::qWait(200);
    const int narrow = f.Main()->EditAreaWidth();
    QVERIFY(narrow < wide - 100);
    TfrmStandardIo* console = Console(f);
    connect(console, &TfrmStandardIo::inputPendingChanged, this, [&](bool pending) {
      if (!pending) return;
      QTimer::singleShot(0, this, [console] {
        QTest::keyClicks(console->memoStandardIo(), "one");
        QTest::keyClick(console->memoStandardIo(), Qt::Key_Return);
      });
    });
    const QString before = console->Text();
    f.Main()->RunCommand("mnuGo");
    QVERIFY(!Core(f).DebuggingActive());
    const QString straight = console->Text();
    QCOMPARE(straight.count(QStringLiteral("Program terminated normally")), 1);
    QVERIFY(straight.contains(QStringLiteral("GR0=")));
    QTRY_VERIFY(qAbs(f.Main()->EditAreaWidth() - wide) <= 12);  // the editor's width back after the end

    f.Main()->RunCommand("mnuBackStep");
    QVERIFY(Core(f).DebuggingActive());
    QVERIFY(!console->Text().contains(QStringLiteral("Program terminated")));
    QVERIFY(!console->Text().contains(QStringLiteral("GR0=")));
    QTRY_VERIFY2(qAbs(f.Main()->EditAreaWidth() - narrow) <= 12,
                 qPrintable(QString::number(f.Main()->EditAreaWidth())));
    QVERIFY(f.shell.Debug()->width() > 200);

    // Back before the IN, whose line is given again: the same console as the straight run.
    const Word in = SvcAddress(f, 1);
    while (Core(f).Cpu().GetPR() != in && Core(f).BackStepsAvailable() > 0) f.Main()->RunCommand("mnuBackStep");
    QCOMPARE(console->Text(), before);
    f.Main()->RunCommand("mnuGo");
    QCOMPARE(console->Text(), straight);
  }
};

QTEST_MAIN(BackStepTest)
#include "BackStepTest.moc"
