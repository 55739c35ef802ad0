// Debugging in the source page: the line of PR marked across trace, step and
// GO, breakpoints from the gutter (also set before debugging starts), lines
// without instructions refused, and a source changed after the build.
#include <QKeySequence>
#include <QLabel>
#include <QtTest>

#include "app/CoreBinding.h"
#include "app/SourceDebug.h"
#include "common/ChangeExtension.h"
#include "common/Cp932.h"
#include "debugger/ExecutionControl.h"
#include "debugger/SourceLines.h"
#include "forms/DialogPort.h"
#include "forms/EditorSearch.h"
#include "forms/LineGutter.h"
#include "forms/SourceView.h"
#include "forms/frmDebug_f.h"
#include "support/ShellFixture.h"

using namespace tolvane;
using namespace tolvane::forms;
using namespace tolvane::testing;

namespace {

// Loaded at 0100H: 0100 LAD, 0102 CALL, 0104 ST, 0106 RET, 0107 ADDA, 0109 RET,
// 010A RES, 010B the literal =1 (of line 6).
const char kProgram[] =
    "PROG\tSTART\r\n"        // 1
    "\tLAD\tGR1,5\r\n"       // 2
    "\tCALL\tSUB\r\n"        // 3
    "\tST\tGR1,RES\r\n"      // 4
    "\tRET\r\n"              // 5
    "SUB\tADDA\tGR1,=1\r\n"  // 6
    "\tRET\r\n"              // 7
    "RES\tDS\t1\r\n"         // 8
    "\tEND\r\n";             // 9

class Session {
 public:
  explicit Session(bool start = true) : f(false) {
    path = f.Write(QStringLiteral("prog.cas"), kProgram);
    if (!f.Main()->OpenPath(path)) QTest::qFail("open", __FILE__, __LINE__);
    f.Main()->RunCommand("mnuBuild");
    f.dialogs.Clear();
    if (start) Start();
  }
  void Start() {
    f.Main()->RunCommand("mnuDebugStart");
    QCoreApplication::processEvents();
  }
  debugger::ExecutionControl& Core() const { return f.shell.Core()->Execution(); }
  app::SourceDebug& Source() const { return f.shell.Core()->Source(); }
  EditorControl* Page() const { return f.Editor()->PageEditor(1); }
  LineGutter* Gutter() const { return f.Editor()->PageGutter(1); }
  // The line carrying the current-line mark, 0 when none; checks that the
  // gutter and the text's wash agree.
  int CurrentLine() const {
    const QList<int> marked = Gutter()->MarkedLines(LineGutter::CurrentLineMark);
    const int wash = MarkedLine::Of(Page())->ExecutionLine();
    if (marked.size() > 1 || (marked.isEmpty() ? 0 : marked[0]) != wash) return -1;
    return wash;
  }
  QList<int> BreakLines() const { return Gutter()->MarkedLines(LineGutter::BreakpointMark); }
  QString Status() const { return QString::fromStdString(Cp932ToUtf8(Source().StatusText())); }

  ShellFixture f;
  QString path;
};

}  // namespace

class SourceDebugTest : public QObject {
  Q_OBJECT
 private slots:
  void currentLineFollowsTraceStepAndGo() {
    Session s;
    QVERIFY(s.Core().DebuggingActive());
    QCOMPARE(s.CurrentLine(), 2);
    QVERIFY(s.Page()->isReadOnly());
    QCOMPARE(s.Page()->textCursor().blockNumber() + 1, 2);
    // Nothing changes the text of the program being debugged.
    const QString text = s.Page()->toPlainText();
    QTest::keyClicks(s.Page(), QStringLiteral("X"));
    QCOMPARE(ReplaceAll(s.Page(), QStringLiteral("LAD"), QStringLiteral("LD"), true), 0);
    s.f.Main()->RunCommand("mnuUnDo");
    QCOMPARE(s.Page()->toPlainText(), text);

    s.f.Main()->RunCommand("mnuTrace");
    QCOMPARE(s.CurrentLine(), 3);
    s.f.Main()->RunCommand("mnuTrace");  // into SUB
    QCOMPARE(s.CurrentLine(), 6);
    s.f.Main()->RunCommand("mnuTrace");
    QCOMPARE(s.CurrentLine(), 7);
    s.f.Main()->RunCommand("mnuTrace");
    QCOMPARE(s.CurrentLine(), 4);

    // The end of the program: the page is editable again, the mark gone.
    s.f.Main()->RunCommand("mnuGo");
    QVERIFY(!s.Core().DebuggingActive());
    QCOMPARE(s.CurrentLine(), 0);
    QVERIFY(!s.Page()->isReadOnly());

    // Again, with step over the CALL.
    s.Start();
    QCOMPARE(s.CurrentLine(), 2);
    s.f.Main()->RunCommand("mnuTrace");
    s.f.Main()->RunCommand("mnuStep");
    QCOMPARE(s.CurrentLine(), 4);
  }

  // Back Step after the end (the final RET, or End Program) makes the
  // program live again, and with it the source line and the read-only pages.
  void backFromTheEndDebugsTheSourceAgain() {
    Session s;
    for (const char* end : {"mnuGo", "mnuEndProgram"}) {
      if (QByteArray(end) == "mnuEndProgram") {
        s.f.Main()->RunCommand("mnuTrace");
        s.f.Main()->RunCommand("mnuTrace");  // into SUB, line 6
      }
      s.f.Main()->RunCommand(end);
      QVERIFY(!s.Core().DebuggingActive());
      QCOMPARE(s.CurrentLine(), 0);
      QVERIFY(!s.Page()->isReadOnly());
      s.f.Main()->RunCommand("mnuBackStep");
      QVERIFY(s.Core().DebuggingActive());
      QVERIFY(s.Source().Active());
      // Before the final RET, or before the CALL traced last.
      QCOMPARE(s.CurrentLine(), QByteArray(end) == "mnuGo" ? 5 : 3);
      QVERIFY(s.Page()->isReadOnly());
      // Further back, or into SUB again.
      s.f.Main()->RunCommand(QByteArray(end) == "mnuGo" ? "mnuBackStep" : "mnuTrace");
      QCOMPARE(s.CurrentLine(), QByteArray(end) == "mnuGo" ? 4 : 6);
      if (QByteArray(end) == "mnuGo") {
        s.f.Main()->RunCommand("mnuEndProgram");
        s.Start();
      }
    }
    // A page edited after the end has no lines when the program comes back.
    s.f.Main()->RunCommand("mnuEndProgram");
    QTest::keyClicks(s.Page(), QStringLiteral(";"));
    QVERIFY(s.f.Editor()->PageModified(1));
    s.f.Main()->RunCommand("mnuBackStep");
    QVERIFY(s.Core().DebuggingActive());
    QCOMPARE(s.CurrentLine(), 0);
    QVERIFY(!s.Page()->isReadOnly());
    QVERIFY(
        s.Status().contains(QString::fromStdString(Cp932ToUtf8(Cp932Text(u8"逆アセンブルのみでデバッグします。")))));
  }

  void gutterBreakpointIsTheTablesAndStopsGo() {
    Session s;
    emit s.Gutter()->clicked(7);
    QCOMPARE(s.Core().Breakpoints().Count(), 1);
    QCOMPARE(s.Core().Breakpoints().Rows()[0].address, Word{0x0109});
    QCOMPARE(s.BreakLines(), QList<int>{7});
    QVERIFY(s.Status().isEmpty());

    // Lines without an instruction refuse, with a word why.
    for (int line : {1, 8, 9}) {
      emit s.Gutter()->clicked(line);
      QCOMPARE(s.Status(), QString::fromStdString(Cp932ToUtf8(debugger::NoInstructionOnLineMessage())));
    }
    QCOMPARE(s.Core().Breakpoints().Count(), 1);

    s.f.Main()->RunCommand("mnuGo");
    QVERIFY(s.Core().DebuggingActive());
    QCOMPARE(s.Core().Cpu().GetPR(), Word{0x0109});
    QCOMPARE(s.CurrentLine(), 7);

    // Set from the disassembly, shown in the gutter; removed from the gutter,
    // gone from the table.
    s.Core().ToggleBreakpointAt(0x0104);
    QCOMPARE(s.BreakLines(), (QList<int>{4, 7}));
    emit s.Gutter()->clicked(7);
    QCOMPARE(s.Core().Breakpoints().Count(), 1);
    QCOMPARE(s.BreakLines(), QList<int>{4});
    s.Core().SwitchBreakpoint(0);
    QCOMPARE(s.Gutter()->MarkedLines(LineGutter::DisabledBreakpointMark), QList<int>{4});
    QVERIFY(s.BreakLines().isEmpty());

    // The key toggles the caret's line, which is the line of PR.
    s.f.Main()->RunCommand("mnuTrace");
    QCOMPARE(s.CurrentLine(), 4);
    s.f.Editor()->activateWindow();
    s.Page()->setFocus();
    QTest::keySequence(s.Page(), QKeySequence(QStringLiteral("Ctrl+B")));
    QCOMPARE(s.Core().Breakpoints().Count(), 0);  // the disabled one went
    QTest::keySequence(s.Page(), QKeySequence(QStringLiteral("Ctrl+B")));
    QCOMPARE(s.Core().Breakpoints().Count(), 1);
    QCOMPARE(s.BreakLines(), QList<int>{4});
  }

  void gutterBreakpointsBeforeStartAreApplied() {
    Session s(false);
    emit s.Gutter()->clicked(4);
    emit s.Gutter()->clicked(8);  // DS: no instruction
    emit s.Gutter()->clicked(2);
    emit s.Gutter()->clicked(2);  // set and cleared again
    QCOMPARE(s.BreakLines(), (QList<int>{4, 8}));
    QCOMPARE(s.Core().Breakpoints().Count(), 0);

    s.Start();
    QCOMPARE(s.Core().Breakpoints().Count(), 1);
    QCOMPARE(s.Core().Breakpoints().Rows()[0].address, Word{0x0104});
    QCOMPARE(s.BreakLines(), QList<int>{4});
    QVERIFY(s.Status().contains(QStringLiteral("prog.cas(8)")));

    s.f.Main()->RunCommand("mnuGo");
    QCOMPARE(s.Core().Cpu().GetPR(), Word{0x0104});
    QCOMPARE(s.CurrentLine(), 4);

    // After the end the gutter keeps its marks for the next start, where
    // the table follows them.
    s.f.Main()->RunCommand("mnuEndProgram");
    emit s.Gutter()->clicked(4);
    emit s.Gutter()->clicked(6);
    s.Start();
    QCOMPARE(s.Core().Breakpoints().Count(), 1);
    QCOMPARE(s.Core().Breakpoints().Rows()[0].address, Word{0x0107});
  }

  // Debug Start on a source saved after the build asks first: build and
  // debug, debug by the disassembly alone, or do nothing.
  void debugStartAsksToBuildASourceSavedSince() {
    Session s(false);
    QTest::keyClick(s.Page(), Qt::Key_End, Qt::ControlModifier);
    QTest::keyClicks(s.Page(), QStringLiteral("; saved after the build"));
    s.f.Main()->RunCommand("mnuSave");
    QVERIFY(!s.f.Editor()->PageModified(1));
    const QString question = QString::fromStdString(Cp932ToUtf8(debugger::RebuildQuestion({forms::PathBytes(s.path)})));

    s.f.dialogs.Answer(BoxAnswer::Cancel);
    s.Start();
    QVERIFY(!s.Core().DebuggingActive());
    QCOMPARE(s.f.dialogs.boxes.last().text, question);
    QCOMPARE(s.f.dialogs.boxes.last().buttons, BoxButtons::YesNoCancel);

    s.f.dialogs.Answer(BoxAnswer::Yes);
    s.Start();
    QVERIFY(s.Core().DebuggingActive());
    QCOMPARE(s.CurrentLine(), 2);  // built again: the lines are there
    QVERIFY(s.Status().isEmpty());
    QVERIFY(s.f.dialogs.unexpected.isEmpty());
  }

  // A note about a command goes when the next one runs the program.
  void notesGoAtTheNextCommand() {
    Session s;
    emit s.Gutter()->clicked(1);
    QVERIFY(!s.Status().isEmpty());
    s.f.Main()->RunCommand("mnuTrace");
    QVERIFY(s.Status().isEmpty());
    QVERIFY(!s.f.Main()->findChild<QLabel*>(QStringLiteral("lblSourceDebug"))->isVisible());
  }

  // Debugging another load module empties the table: the pages of the other
  // program show no breakpoint, and none comes back when it is debugged again.
  void anotherProgramsPageShowsNoBreakpoints() {
    Session s;
    const QString other = s.f.Write(QStringLiteral("other.cas"), QByteArray(kProgram).replace("PROG", "OTHER"));
    emit s.Gutter()->clicked(4);
    QCOMPARE(s.BreakLines(), QList<int>{4});
    s.f.Main()->RunCommand("mnuEndProgram");

    QVERIFY(s.f.Main()->OpenPath(other));
    QCOMPARE(s.f.Editor()->CurrentPage(), 2);
    s.f.Main()->RunCommand("mnuBuild");
    s.f.dialogs.Clear();
    s.Start();
    QVERIFY(s.Core().DebuggingActive());
    QCOMPARE(s.Core().Breakpoints().Count(), 0);
    QVERIFY(s.BreakLines().isEmpty());  // page 1: not this program's
    emit s.f.Editor()->PageGutter(2)->clicked(7);
    QCOMPARE(s.f.Editor()->PageGutter(2)->MarkedLines(LineGutter::BreakpointMark), QList<int>{7});
    s.f.Main()->RunCommand("mnuEndProgram");

    s.f.Editor()->ActivatePage(1);
    s.Start();
    QCOMPARE(s.Core().Breakpoints().Count(), 0);
    QVERIFY(s.BreakLines().isEmpty());
    QVERIFY(s.f.Editor()->PageGutter(2)->MarkedLines(LineGutter::BreakpointMark).isEmpty());
  }

  // A source the editor cannot open (too large) is reported once per debugging
  // session, not at every stop.
  void aSourceTooLargeToOpenIsReportedOnce() {
    ShellFixture f(false);
    QByteArray big = "BIG\tSTART\n\tNOP\n\tNOP\n\tNOP\n\tRET\n";
    const QByteArray comment = ";" + QByteArray(98, 'x') + "\n";
    while (big.size() <= TfrmEditor::kMaxFileBytes) big += comment;
    big += "\tEND\n";
    const QString path = f.Write(QStringLiteral("big.cas"), big);
    BuildOptions options;
    options.listing = 0;
    app::CoreBinding* core = f.shell.Core();
    QVERIFY(core->Assemble(forms::PathBytes(path), options, f.Main()->Messages()));
    QVERIFY(core->Link({forms::PathBytes(path)}, options, f.Main()->Messages()));
    QVERIFY(core->StartDebugging(ChangeExtension(forms::PathBytes(path), ".exe"), options));
    for (int i = 0; i < 3; ++i) f.Main()->RunCommand("mnuTrace");
    QCOMPARE(core->Execution().Cpu().GetPR(), Word{0x0103});
    QCOMPARE(f.dialogs.plain.size(), 1);
    f.Main()->RunCommand("mnuEndProgram");
    QVERIFY(core->StartDebugging(ChangeExtension(forms::PathBytes(path), ".exe"), options));
    QCOMPARE(f.dialogs.plain.size(), 2);  // a new session says it again
  }

  void changedSourceFallsBackToDisassembly() {
    Session s(false);
    QByteArray changed(kProgram);
    changed.replace("GR1,5", "GR1,6");
    s.f.Write(QStringLiteral("prog.cas"), changed);
    s.f.dialogs.Answer(BoxAnswer::No);  // debug it without building again
    s.Start();
    QVERIFY(s.Core().DebuggingActive());
    QCOMPARE(s.CurrentLine(), 0);
    QVERIFY(!s.Page()->isReadOnly());
    QVERIFY(
        s.Status().contains(QString::fromStdString(Cp932ToUtf8(Cp932Text(u8"逆アセンブルのみでデバッグします。")))));
    QVERIFY(s.f.Main()->findChild<QLabel*>(QStringLiteral("lblSourceDebug"))->isVisible());
  }
};

QTEST_MAIN(SourceDebugTest)
#include "SourceDebugTest.moc"
