// Assemble, Build and Run on real files through the real assembler, linker and
// execution control: the message lines, the listing pages and the console.
#include <QPlainTextEdit>
#include <QTimer>
#include <QtTest>

#include "common/Cp932.h"
#include "forms/UiFonts.h"
#include "forms/frmList_f.h"
#include "forms/frmMessage_f.h"
#include "forms/frmStandardIo_f.h"
#include "support/ShellFixture.h"

using namespace tolvane;
using namespace tolvane::forms;
using namespace tolvane::testing;

namespace {
QByteArray Cp932(const char8_t* utf8) {
  const std::string bytes = Cp932Text(utf8);
  return QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

// Types a line into the console as key events with text (kana included), then Enter.
void TypeLine(QWidget* w, const QString& text) {
  for (QChar c : text) {
    QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
    QApplication::sendEvent(w, &press);
    QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(c));
    QApplication::sendEvent(w, &release);
  }
  QTest::keyClick(w, Qt::Key_Return);
}

QStringList MessageLines(TfrmMain* main) {
  QStringList out;
  for (const std::string& line : main->Windows().message->Lines()) out << FromCp932(line);
  return out;
}

const char8_t kEcho[] =
    u8"ECHO\tSTART\r\n"
    u8"\tIN\tBUF,LEN\r\n"
    u8"\tOUT\tBUF,LEN\r\n"
    u8"\tOUT\tMSG,MLEN\r\n"
    u8"\tRET\r\n"
    u8"BUF\tDS\t256\r\n"
    u8"LEN\tDS\t1\r\n"
    u8"MSG\tDC\t'終わり'\r\n"
    u8"MLEN\tDC\t6\r\n"
    u8"\tEND\r\n";
}  // namespace

class BuildRunFilesTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { InstallFontSubstitutions(); }

  void runAssemblesLinksAndRunsWithConsoleInput() {
    ShellFixture f(false);
    const QString src = f.Write("echo.cas", Cp932(kEcho));
    QVERIFY(f.Main()->OpenPath(src));
    TfrmStandardIo* console = f.Main()->Windows().standardIo;
    QString typed = UiText(u8"abcあいう");
    connect(console, &TfrmStandardIo::inputPendingChanged, this, [&](bool pending) {
      if (pending) QTimer::singleShot(0, this, [&] { TypeLine(console->memoStandardIo(), typed); });
    });
    f.Main()->RunCommand("mnuRun");
    QVERIFY2(f.dialogs.boxes.isEmpty(), qPrintable(f.dialogs.Texts().join('\n')));
    const QStringList lines = MessageLines(f.Main());
    QVERIFY2(lines.size() >= 3, qPrintable(lines.join('\n')));
    QCOMPARE(lines[0], QStringLiteral("Assemble[%1]").arg(src));
    QCOMPARE(lines[1], QStringLiteral("   0 Errors"));
    QCOMPARE(lines[2], QStringLiteral("LINK[%1]").arg(f.Path("echo.exe")));
    for (const char* ext : {"echo.obj", "echo.lst", "echo.exe", "echo.sym"}) QVERIFY2(QFile::exists(f.Path(ext)), ext);
    const QString text = console->Text();
    QVERIFY2(text.contains(typed + QLatin1Char('\n')) || text.contains(typed + QLatin1Char('\r')), qPrintable(text));
    QVERIFY2(text.count(typed) >= 2, qPrintable(text));  // typed, then echoed by OUT
    QVERIFY2(text.contains(UiText(u8"終わり")), qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("Program terminated normally")), qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("GR0=")), qPrintable(text));
    // The listing of the run is open in the listing viewer.
    TfrmList* list = f.Main()->Windows().list;
    QCOMPARE(list->ListingCount(), 1);
    QVERIFY(list->ListingControl(1)->toPlainText().contains(QStringLiteral("ECHO")));
    // Link, Run EXE and Debug Start are on afterwards; Run, Build again too.
    for (const QString& n : TfrmMain::RunHoldGroup()) QVERIFY2(f.Main()->IsEnabled(n), qPrintable(n));
  }

  void assembleReportsDiagnosticsAndBuildStopsBeforeLinking() {
    ShellFixture f(false);
    const QString src = f.Write("bad.cas", "BAD\tSTART\r\n\tLD\tGR9,X\r\n\tRET\r\n\tEND\r\n");
    QVERIFY(f.Main()->OpenPath(src));
    f.Main()->RunCommand("mnuBuild");
    QCOMPARE(f.dialogs.Texts(), QStringList({UiText(u8"アセンブル中にエラーが発生しました。")}));
    const QStringList lines = MessageLines(f.Main());
    QVERIFY(!lines.isEmpty());
    QCOMPARE(lines.first(), QStringLiteral("Assemble[%1]").arg(src));
    QVERIFY2(lines.size() >= 3 && lines[1].startsWith(QStringLiteral(" (  2) : Error  ")),
             qPrintable(lines.join('\n')));
    QVERIFY(!QFile::exists(f.Path("bad.exe")));
    QVERIFY(!f.Main()->IsEnabled("mnuRunExe"));
    // Double-clicking the diagnostic puts the caret on line 2.
    QVERIFY(f.Main()->Windows().message->ActivateLine(1));
    QCOMPARE(f.Editor()->PageEditor(1)->textCursor().blockNumber(), 1);
  }

  // A source with a Japanese name: its lines name it readably, the listing
  // opens, and the diagnostic leads back to it.
  void japaneseFileNamesInMessageLines() {
    ShellFixture f(false);
    const QString src = f.Write(UiText(u8"試験.cas"), "BAD\tSTART\r\n\tRET\r\n\tLD\tGR9,X\r\n\tEND\r\n");
    QVERIFY(f.Main()->OpenPath(src));
    f.Main()->RunCommand("mnuAssemble");
    const QStringList lines = MessageLines(f.Main());
    QVERIFY(!lines.isEmpty());
    QCOMPARE(lines.first(), QStringLiteral("Assemble[%1]").arg(src));
    // What the user sees names the file readably too.
    QVERIFY2(f.Main()->Windows().message->Text().startsWith(QStringLiteral("Assemble[%1]\r\n").arg(src)),
             qPrintable(f.Main()->Windows().message->Text()));
    QVERIFY(f.Main()->Windows().message->ActivateLine(1));
    QCOMPARE(f.Editor()->OpenCount(), 1);
    QCOMPARE(f.Editor()->PageEditor(1)->textCursor().blockNumber(), 2);
    // Fixed, saved and built: the linker's line names the load module readably too.
    EditorControl* ed = f.Editor()->PageEditor(1);
    ed->selectAll();
    ed->insertPlainText(QStringLiteral("OK\tSTART\n\tRET\n\tEND\n"));
    QVERIFY(f.Editor()->SaveCurrent());
    f.Main()->RunCommand("mnuBuild");
    QVERIFY(MessageLines(f.Main()).contains(QStringLiteral("LINK[%1]").arg(f.Path(UiText(u8"試験.exe")))));
    QCOMPARE(f.Main()->Windows().list->ListingCount(), 1);
  }

  // A name that reads like the message lines themselves and holds a wave dash
  // (U+301C, which comes back from CP932 as U+FF5E): the line shows the name,
  // and the jump opens that very file, also after its page was closed.
  void aDiagnosticLeadsBackToAFileWithAnAwkwardName() {
    ShellFixture f(false);
    const QString src =
        f.Write(UiText(u8"課題〜1 (2) : Error  [a].cas"), "BAD\tSTART\r\n\tRET\r\n\tLD\tGR9,X\r\n\tEND\r\n");
    QVERIFY(f.Main()->OpenPath(src));
    f.Main()->RunCommand("mnuAssemble");
    TfrmMessage* messages = f.Main()->Windows().message;
    QVERIFY(MessageLines(f.Main()).value(0).endsWith(QStringLiteral(" (2) : Error  [a].cas]")));
    QVERIFY(MessageLines(f.Main()).value(1).startsWith(QStringLiteral(" (  3) : Error  ")));
    QVERIFY(messages->ActivateLine(1));
    QCOMPARE(f.Editor()->PagePath(f.Editor()->CurrentPage()), src);
    QCOMPARE(f.Editor()->PageEditor(f.Editor()->CurrentPage())->textCursor().blockNumber(), 2);
    QVERIFY(f.Main()->OpenPath(f.Write("other.cas", "X")));
    f.Editor()->ActivatePage(1);
    f.Main()->RunCommand("mnuClose");
    QCOMPARE(f.Editor()->OpenCount(), 1);
    QVERIFY(messages->ActivateLine(1));
    QCOMPARE(f.Editor()->PagePath(f.Editor()->CurrentPage()), src);
    QCOMPARE(f.Editor()->PageEditor(f.Editor()->CurrentPage())->textCursor().blockNumber(), 2);
    // The closing line leads nowhere.
    QVERIFY(!messages->ActivateLine(MessageLines(f.Main()).size() - 1));
  }

  void assembleThenLinkThenRunExe() {
    ShellFixture f(false);
    const QString src = f.Write("echo.cas", Cp932(kEcho));
    QVERIFY(f.Main()->OpenPath(src));
    f.Main()->RunCommand("mnuAssemble");
    QVERIFY(f.Main()->IsEnabled("mnuLink"));
    QCOMPARE(f.Main()->Windows().list->ListingCount(), 1);
    f.Main()->RunCommand("mnuLink");
    QVERIFY(f.Main()->IsEnabled("mnuRunExe") && f.Main()->IsEnabled("mnuDebugStart"));
    TfrmStandardIo* console = f.Main()->Windows().standardIo;
    connect(console, &TfrmStandardIo::inputPendingChanged, this, [&](bool pending) {
      if (pending) QTimer::singleShot(0, this, [&] { TypeLine(console->memoStandardIo(), QStringLiteral("xyz")); });
    });
    f.Main()->RunCommand("mnuRunExe");
    QVERIFY2(f.dialogs.boxes.isEmpty(), qPrintable(f.dialogs.Texts().join('\n')));
    QVERIFY(console->Text().count(QStringLiteral("xyz")) >= 2);
    QVERIFY(console->Text().contains(QStringLiteral("Program terminated normally")));
  }

  // End Program during a run that waits for input ends it; the window stayed usable.
  void endProgramWhileInputWaits() {
    ShellFixture f(false);
    const QString src = f.Write("echo.cas", Cp932(kEcho));
    QVERIFY(f.Main()->OpenPath(src));
    TfrmStandardIo* console = f.Main()->Windows().standardIo;
    connect(console, &TfrmStandardIo::inputPendingChanged, this, [&](bool pending) {
      if (pending)
        QTimer::singleShot(0, this, [&] {
          // While the program waits, view commands still work.
          f.Main()->RunCommand("mnuSourceCode");
          QVERIFY(f.Main()->IsEnabled("mnuEndProgram"));
          f.Main()->RunCommand("mnuEndProgram");
        });
    });
    f.Main()->RunCommand("mnuRun");
    QVERIFY(console->Text().contains(QStringLiteral("Program terminated abnormally")));
    QVERIFY(!console->ConsoleInputPending());
    QVERIFY(!f.Main()->IsEnabled("mnuEndProgram"));
    QVERIFY(f.Main()->IsEnabled("mnuRun"));
  }

  void debugStartSwitchesTheDebuggingCommandsAndTheGuardAsks() {
    ShellFixture f(false);
    const QString src = f.Write("hello.cas", "HELLO\tSTART\r\n\tRET\r\n\tEND\r\n");
    QVERIFY(f.Main()->OpenPath(src));
    f.Main()->RunCommand("mnuBuild");
    QVERIFY(f.Main()->IsEnabled("mnuDebugStart"));
    f.Main()->RunCommand("mnuDebugStart");
    QVERIFY2(f.dialogs.boxes.isEmpty(), qPrintable(f.dialogs.Texts().join('\n')));
    for (const char* n : {"mnuGo", "smnuGo", "mnuGoAnimate", "mnuTrace", "smnuTrace", "mnuStep", "mnuBreakPoint",
                          "mnuWatch", "mnuEndProgram", "smnuEndProgram"})
      QVERIFY2(f.Main()->IsEnabled(n), n);
    QVERIFY(!f.Main()->IsEnabled("mnuDebugStart") && !f.Main()->IsEnabled("smnuDebugStart"));
    // Run refuses while debugging; a guarded command asks, and No keeps debugging.
    f.Main()->RunCommand("mnuRun");
    f.dialogs.Answer(BoxAnswer::No);
    f.Main()->RunCommand("mnuAssemble");
    QCOMPARE(f.dialogs.Texts(), QStringList({UiText(u8"デバッグ中です。デバッグを終了してから実行してください。"),
                                             UiText(u8"デバッグ中です。デバッグを終了しますか？")}));
    QVERIFY(f.Main()->IsEnabled("mnuGo"));
    // Yes ends the program and the command goes on.
    f.dialogs.Answer(BoxAnswer::Yes);
    f.Main()->RunCommand("mnuAssemble");
    QVERIFY(!f.Main()->IsEnabled("mnuGo") && !f.Main()->IsEnabled("mnuEndProgram"));
    QVERIFY(f.Main()->IsEnabled("mnuDebugStart"));
    QVERIFY(f.Main()->Windows().standardIo->Text().contains(QStringLiteral("Program terminated abnormally")));
  }

  void goRunsADebuggedProgramToItsEnd() {
    ShellFixture f(false);
    const QString src = f.Write("hello.cas", "HELLO\tSTART\r\n\tLAD\tGR1,5\r\n\tRET\r\n\tEND\r\n");
    QVERIFY(f.Main()->OpenPath(src));
    f.Main()->RunCommand("mnuBuild");
    f.Main()->RunCommand("mnuDebugStart");
    f.Main()->RunCommand("mnuGo");
    QCOMPARE(f.dialogs.Texts(), QStringList({UiText(u8"プログラムは終了しました。")}));
    QVERIFY(f.Main()->Windows().standardIo->Text().contains(QStringLiteral("GR1=0005")));
    QVERIFY(!f.Main()->IsEnabled("mnuGo") && f.Main()->IsEnabled("mnuDebugStart"));
    // Closing the last file resets the shell: no debugging command stays on.
    f.Main()->RunCommand("mnuClose");
    for (const char* n : {"mnuDebugStart", "smnuDebugStart", "mnuGo", "mnuTrace", "mnuBreakPoint", "mnuLink"})
      QVERIFY2(!f.Main()->IsEnabled(n), n);
  }

  // A program that never ends: the window keeps handling events while it runs,
  // and End Program (here from a timer, as a click would arrive) ends it.
  void longRunStaysResponsiveAndEnds() {
    ShellFixture f(false);
    const QString src = f.Write("loop.cas", "LOOP\tSTART\r\nL1\tJUMP\tL1\r\n\tEND\r\n");
    QVERIFY(f.Main()->OpenPath(src));
    int ticks = 0;
    QTimer ticker;
    connect(&ticker, &QTimer::timeout, this, [&] { ++ticks; });
    ticker.start(10);
    QTimer::singleShot(300, this, [&] {
      QVERIFY(f.Main()->IsRunning());
      QVERIFY(!f.Main()->IsEnabled("mnuRun") && !f.Main()->IsEnabled("smnuBuild"));
      f.Main()->RunCommand("mnuEndProgram");
    });
    QElapsedTimer clock;
    clock.start();
    f.Main()->RunCommand("mnuRun");
    QVERIFY(clock.elapsed() < 10000);
    QVERIFY2(ticks >= 5, qPrintable(QString::number(ticks)));
    QVERIFY(f.Main()->Windows().standardIo->Text().contains(QStringLiteral("Program terminated abnormally")));
    QVERIFY(f.Main()->IsEnabled("mnuRun"));
  }

  // Closing the window while a program waits for input ends the program.
  void closingTheWindowEndsARunningProgram() {
    ShellFixture f(false);
    const QString src = f.Write("echo.cas", Cp932(kEcho));
    QVERIFY(f.Main()->OpenPath(src));
    TfrmStandardIo* console = f.Main()->Windows().standardIo;
    bool closed = false;
    connect(console, &TfrmStandardIo::inputPendingChanged, this, [&](bool pending) {
      if (pending) QTimer::singleShot(0, this, [&] { closed = f.Main()->close(); });
    });
    f.Main()->RunCommand("mnuRun");
    QVERIFY(closed);
    QVERIFY(!f.Main()->IsRunning());
    QVERIFY(console->Text().contains(QStringLiteral("Program terminated abnormally")));
  }
};

QTEST_MAIN(BuildRunFilesTest)
#include "BuildRunFilesTest.moc"
