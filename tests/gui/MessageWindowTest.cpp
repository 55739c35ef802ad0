// The message window: CP932 lines shown converted, clearing, the popup menu and
// the double-click on a diagnostic line that asks for its source line.
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QMenu>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTextBlock>
#include <QtTest>

#include "common/Cp932.h"
#include "forms/DialogPort.h"
#include "forms/Utf8.h"
#include "forms/frmMessage_f.h"
#include "support/Records.h"

using namespace tolvane;
using namespace tolvane::forms;
using tolvane::testing::RecordOf;

class MessageWindowTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<TfrmMessage> window_;

  QStringList Shown() const { return window_->memoMessage()->toPlainText().split(QLatin1Char('\n')); }

  // A real double-click in the memo on line `index`.
  void DoubleClickLine(int index) {
    QPlainTextEdit* memo = window_->memoMessage();
    QTextCursor cursor(memo->document()->findBlockByNumber(index));
    cursor.movePosition(QTextCursor::Right);
    const QPoint at = memo->cursorRect(cursor).center();
    QTest::mouseDClick(memo->viewport(), Qt::LeftButton, Qt::NoModifier, at);
  }

 private slots:
  void init() {
    window_ = std::make_unique<TfrmMessage>();
    window_->resize(600, 400);
  }
  void cleanup() { window_.reset(); }

  void namesAndMenu() {
    QCOMPARE(window_->objectName(), QStringLiteral("frmMessage"));
    QCOMPARE(window_->windowTitle(), UiText(u8"メッセージ"));
    QCOMPARE(window_->memoMessage()->objectName(), QStringLiteral("memoMessage"));
    QVERIFY(window_->memoMessage()->isReadOnly());
    QCOMPARE(window_->memoMessage()->lineWrapMode(), QPlainTextEdit::NoWrap);
    QCOMPARE(window_->pmnuMessage()->objectName(), QStringLiteral("pmnuMessage"));
    QCOMPARE(window_->pmnuSelectAll()->text(), UiText(u8"全て選択(&L)"));
    QCOMPARE(window_->pmnuCopy()->text(), UiText(u8"コピー(&C)"));
    QVERIFY(!window_->pmnuCopy()->isEnabled());
    QVERIFY(window_->memoMessage()->font().fixedPitch());
  }

  void linesAreConvertedAndShown() {
    QVERIFY(!window_->isVisible());
    MessageSink& sink = *window_;
    sink.AppendMessageLine("Assemble[a.cas]");
    QVERIFY(window_->isVisible());  // no main window connected: it shows itself
    sink.AppendMessageLine(Cp932Text(u8" (  3) : Error  ラベルが不正です"));
    sink.AppendMessageLine("");
    sink.AppendMessageLine("   1 Errors");
    QCOMPARE(Shown(), (QStringList{QStringLiteral("Assemble[a.cas]"), UiText(u8" (  3) : Error  ラベルが不正です"),
                                   QString(), QStringLiteral("   1 Errors")}));
    QCOMPARE(window_->Text(), Shown().join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"));
    QCOMPARE(window_->Lines().size(), std::size_t{4});
    // The caret follows the last line.
    QCOMPARE(window_->memoMessage()->textCursor().blockNumber(), 3);

    sink.ClearMessages();
    QVERIFY(window_->memoMessage()->toPlainText().isEmpty());
    QVERIFY(window_->Lines().empty());
    // An empty first line still keeps one memo line per message line.
    sink.AppendMessageLine("");
    sink.AppendMessageLine("LINK[x.exe]");
    QCOMPARE(Shown(), (QStringList{QString(), QStringLiteral("LINK[x.exe]")}));
  }

  void everyLineAsksForTheMessagePage() {
    int asked = 0;
    connect(window_.get(), &TfrmMessage::showRequested, this, [&] { ++asked; });
    window_->AppendMessageLine("one");
    window_->AppendMessageLine("two");
    QCOMPARE(asked, 2);
    QVERIFY(!window_->isVisible());  // the main window decides how to show it
  }

  // The place of a line is the record the tool sent with it; the text is never
  // read back, so a bare line that looks like a diagnostic leads nowhere.
  void diagnosticsKnowTheirSource() {
    const std::string work = "C:\\work\\a.cas";
    const std::string japanesePath = Cp932Text(u8"C:\\作業\\表.cas");
    struct Case {
      Diagnostic sent;  // through AppendDiagnostic, or AppendMessageLine when `bare`
      bool bare;
      bool diagnostic;
      int line;
    };
    const Case cases[] = {
        {RecordOf(work, 0, Severity::Info, "Assemble[" + work + "]"), false, false, 0},
        {RecordOf(work, 3, Severity::Error, " (  3) : Error  bad operand"), false, true, 3},
        {RecordOf(work, 0, Severity::Error, " (   ) : Error  no END"), false, true, 0},
        {RecordOf(work, 0, Severity::Info, "   2 Errors"), false, false, 0},
        {RecordOf(japanesePath, 1234, Severity::Error, " (1234) : Error  x"), false, true, 1234},
        {RecordOf(work, 0, Severity::Warning, " a.objmap cannot be written"), false, true, 0},
        {RecordOf("C:\\work\\a.exe", 0, Severity::Info, "LINK[C:\\work\\a.exe]"), false, false, 0},
        {RecordOf({}, 0, Severity::Error, " Error:  C:\\work\\b.objcannot"), false, false, 0},
        {RecordOf({}, 0, Severity::Info, " (  7) : Error  looks like one"), true, false, 0},
    };
    for (const Case& c : cases) {
      if (c.bare)
        window_->AppendMessageLine(MessageLine(c.sent));
      else
        window_->AppendDiagnostic(c.sent);
    }
    for (int i = 0; i < static_cast<int>(std::size(cases)); ++i) {
      const Case& c = cases[i];
      QCOMPARE(window_->Lines().at(static_cast<std::size_t>(i)), MessageLine(c.sent));
      std::string path;
      int line = -1;
      QCOMPARE(window_->DiagnosticAt(i, &path, &line), c.diagnostic);
      if (!c.diagnostic) continue;
      QCOMPARE(path, c.sent.file);
      QCOMPARE(line, c.line);
    }
    QVERIFY(!window_->DiagnosticAt(-1, nullptr, nullptr));
    QVERIFY(!window_->DiagnosticAt(static_cast<int>(std::size(cases)), nullptr, nullptr));
    // Clearing drops the records with the lines.
    window_->ClearMessages();
    QVERIFY(!window_->DiagnosticAt(1, nullptr, nullptr));
    QCOMPARE(window_->RecordAt(0), nullptr);
  }

  void pathsShowAsFileNamesAndTextsAsCp932() {
    // The tools name files by the file-system bytes they were given (UTF-8
    // here) and write everything else in CP932.
    const std::string source = QFile::encodeName(UiText(u8"/tmp/作業/表.cas")).toStdString();
    const std::string object = QFile::encodeName(UiText(u8"/tmp/作業/表.obj")).toStdString();
    const std::string exe = QFile::encodeName(UiText(u8"/tmp/作業/表.exe")).toStdString();
    // The names are those of the progress records before the lines.
    window_->AppendDiagnostic(RecordOf(source, 0, Severity::Info, "Assemble[" + source + "]"));
    window_->AppendMessageLine(" Error:  " + source + Cp932Text(u8"がオープンできません。"));
    window_->AppendMessageLine(Cp932Text(u8" (  2) : Error  ラベルが不正です"));
    window_->AppendDiagnostic(RecordOf(exe, 0, Severity::Info, "LINK[" + exe + "]"));
    window_->AppendMessageLine(" Error:  " + object + Cp932Text(u8"が読めません"));
    QCOMPARE(Shown(), (QStringList{UiText(u8"Assemble[/tmp/作業/表.cas]"),
                                   UiText(u8" Error:  /tmp/作業/表.casがオープンできません。"),
                                   UiText(u8" (  2) : Error  ラベルが不正です"), UiText(u8"LINK[/tmp/作業/表.exe]"),
                                   UiText(u8" Error:  /tmp/作業/表.objが読めません")}));
    // A new run starts from the CP932 reading again.
    window_->ClearMessages();
    window_->AppendMessageLine(" Error:  " + source);
    QCOMPARE(window_->DisplayText(" Error:  " + source), QString::fromUtf8(" Error:  ") + FromCp932(source));
  }

  // A file name that reads like the lines themselves (parentheses, a colon,
  // brackets) or does not survive a trip through CP932 (U+301C becomes
  // U+FF5E) still leads back to its own file.
  void doubleClickAsksForTheSourceLine() {
    window_->show();
    const QString name = UiText(u8"/tmp/作業〜1 (2) : Error  [x]/prog].cas");
    const std::string path = QFile::encodeName(name).toStdString();
    window_->AppendDiagnostic(RecordOf(path, 0, Severity::Info, "Assemble[" + path + "]"));
    window_->AppendDiagnostic(RecordOf(path, 12, Severity::Error, " ( 12) : Error  bad"));
    window_->AppendDiagnostic(RecordOf(path, 0, Severity::Info, "   1 Errors"));
    QSignalSpy text(window_.get(), &TfrmMessage::sourceLineRequested);
    DoubleClickLine(1);
    QCOMPARE(text.count(), 1);
    QCOMPARE(text.at(0).at(0).toString(), name);
    QCOMPARE(text.at(0).at(1).toInt(), 12);
    // The lines themselves stay as they were.
    QCOMPARE(Shown().at(1), QStringLiteral(" ( 12) : Error  bad"));
    DoubleClickLine(0);
    DoubleClickLine(2);
    QCOMPARE(text.count(), 1);
  }

  void selectAllAndCopy() {
    window_->show();
    window_->AppendMessageLine("alpha");
    window_->AppendMessageLine("beta");
    window_->pmnuMessagePopup();
    QVERIFY(!window_->pmnuCopy()->isEnabled());
    window_->pmnuSelectAll()->trigger();
    QVERIFY(window_->pmnuCopy()->isEnabled());
    window_->pmnuCopy()->trigger();
    QVERIFY(!window_->pmnuCopy()->isEnabled());
    QVERIFY(!window_->memoMessage()->textCursor().hasSelection());
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("alpha\nbeta"));
    // Opening the menu enables copy with a selection and never disables it.
    QTextCursor cursor = window_->memoMessage()->textCursor();
    cursor.setPosition(0);
    cursor.setPosition(3, QTextCursor::KeepAnchor);
    window_->memoMessage()->setTextCursor(cursor);
    window_->pmnuMessagePopup();
    QVERIFY(window_->pmnuCopy()->isEnabled());
    cursor.clearSelection();
    window_->memoMessage()->setTextCursor(cursor);
    window_->pmnuMessagePopup();
    QVERIFY(window_->pmnuCopy()->isEnabled());
    // Showing the window collapses the selection.
    window_->pmnuSelectAllClick();
    window_->hide();
    window_->show();
    QVERIFY(!window_->memoMessage()->textCursor().hasSelection());
  }
};

QTEST_MAIN(MessageWindowTest)
#include "MessageWindowTest.moc"
