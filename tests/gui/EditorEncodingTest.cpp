// The source editor keeps each file's encoding, byte-order mark and line
// breaks, shows them, and reads or writes a file in the other encoding on request.
#include <QtTest>

#include "forms/UiFonts.h"
#include "forms/dlgOption_f.h"
#include "forms/frmList_f.h"
#include "forms/frmMessage_f.h"
#include "support/ShellFixture.h"

using namespace tolvane;
using namespace tolvane::forms;
using namespace tolvane::testing;

namespace {

const QByteArray kBom("\xEF\xBB\xBF");
// "; 挨拶" and " DC 'こんにちは'" in each encoding.
const QByteArray kCommentSjis("; \x88\xA5\x8E\x41");
const QByteArray kStringSjis(" DC '\x82\xB1\x82\xF1\x82\xC9\x82\xBF\x82\xCD'");
const QByteArray kCommentUtf8 = QStringLiteral("; 挨拶").toUtf8();
const QByteArray kStringUtf8 = QStringLiteral(" DC 'こんにちは'").toUtf8();

void TypeAtStart(QPlainTextEdit* e, const QString& text) {
  QTextCursor c(e->document());
  c.insertText(text);
}

void TypeAtLine(QPlainTextEdit* e, int line, const QString& text) {
  QTextCursor c(e->document()->findBlockByNumber(line));
  c.insertText(text);
}

const QString kUnreadable = QStringLiteral("UTF-8として読めないバイトがあります。");

}  // namespace

class EditorEncodingTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { InstallFontSubstitutions(); }

  // An edit and a save change only what was typed: encoding, mark and line
  // breaks stay as the file had them, and the status bar names them.
  void saveKeepsTheFilesFormat_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("firstLine");
    QTest::newRow("CP932, CR LF") << kCommentSjis + "\r\n" + kStringSjis + "\r\n"
                                  << QStringLiteral("Shift-JIS (CP932)  CRLF") << QStringLiteral("; 挨拶");
    QTest::newRow("CP932, LF") << kCommentSjis + "\n" + kStringSjis << QStringLiteral("Shift-JIS (CP932)  LF")
                               << QStringLiteral("; 挨拶");
    QTest::newRow("UTF-8, LF") << kCommentUtf8 + "\n" + kStringUtf8 + "\n"
                               << QStringLiteral("UTF-8  LF") << QStringLiteral("; 挨拶");
    QTest::newRow("UTF-8 with mark, CR LF") << kBom + kCommentUtf8 + "\r\n" + kStringUtf8 + "\r\n"
                                            << QStringLiteral("UTF-8 (BOM付き)  CRLF") << QStringLiteral("; 挨拶");
    QTest::newRow("UTF-8 with mark, ASCII only, CR")
        << kBom + "A\rB\r" << QStringLiteral("UTF-8 (BOM付き)  CR") << QStringLiteral("A");
    // A character CP932 cannot hold stays in a UTF-8 file.
    QTest::newRow("UTF-8 with an emoji") << QByteArray("; \xF0\x9F\x98\x80\n") << QStringLiteral("UTF-8  LF")
                                         << QString::fromUtf8("; \xF0\x9F\x98\x80");
  }
  void saveKeepsTheFilesFormat() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, status);
    QFETCH(QString, firstLine);
    ShellFixture f;
    TfrmEditor* e = f.Editor();
    const QString path = f.Write(QStringLiteral("kept.cas"), bytes);
    QVERIFY(e->OpenFile(path));
    QCOMPARE(e->EncodingText(), status);
    QCOMPARE(e->PageEditor(1)->document()->firstBlock().text(), firstLine);  // read readably
    TypeAtStart(e->PageEditor(1), QStringLiteral("X"));
    QVERIFY(e->SavePage(1));
    const bool bom = bytes.startsWith(kBom);
    QCOMPARE(f.Read(path), bom ? kBom + "X" + bytes.mid(3) : "X" + bytes);
    QVERIFY(f.dialogs.Texts().isEmpty());
  }

  // Bytes of lines nobody edited are written back exactly, whatever a text
  // control or a conversion there and back would make of them; an edited line
  // takes the line end most lines of the file have.
  void saveChangesOnlyTheEditedLine_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("line");  // where "X" is typed
    QTest::addColumn<QByteArray>("edited");
    QTest::addColumn<bool>("notice");
    QTest::newRow("UTF-8, NBSP in a string") << QByteArray(
                                                    "; \xE3\x81\x82\n DC 'A\xC2\xA0"
                                                    "B'\n")
                                             << 0
                                             << QByteArray(
                                                    "X; \xE3\x81\x82\n DC 'A\xC2\xA0"
                                                    "B'\n")
                                             << false;
    QTest::newRow("UTF-8, separators and a noncharacter") << QByteArray(
                                                                 " DC 'A\xE2\x80\xA8"
                                                                 "B\xE2\x80\xA9"
                                                                 "C'\n DC '\xEF\xB7\x90'\n")
                                                          << 1
                                                          << QByteArray(
                                                                 " DC 'A\xE2\x80\xA8"
                                                                 "B\xE2\x80\xA9"
                                                                 "C'\nX DC '\xEF\xB7\x90'\n")
                                                          << false;
    QTest::newRow("CP932, duplicate codes on the edited line")
        << QByteArray("; x\r\n DC '\xED\x40\x87\x9A\xEE\xF9'\r\n") << 1
        << QByteArray("; x\r\nX DC '\xED\x40\x87\x9A\xEE\xF9'\r\n") << false;
    QTest::newRow("CP932 after a UTF-8 mark") << kBom + "; \x82\xA0\r\n DC '\x82\xA2'\r\n"
                                              << 1 << kBom + "; \x82\xA0\r\nX DC '\x82\xA2'\r\n"
                                              << true;
    QTest::newRow("mixed line ends and a lone CR") << QByteArray(" LD GR1,A\r LD GR2,B\r\n RET\n END\r\n") << 2
                                                   << QByteArray(" LD GR1,A\r LD GR2,B\r\nX RET\r\n END\r\n") << false;
  }
  void saveChangesOnlyTheEditedLine() {
    QFETCH(QByteArray, bytes);
    QFETCH(int, line);
    QFETCH(QByteArray, edited);
    QFETCH(bool, notice);
    ShellFixture f;
    TfrmEditor* e = f.Editor();
    const QString path = f.Write(QStringLiteral("bytes.cas"), bytes);
    QVERIFY(e->OpenFile(path));
    // A file that cannot be shown as it is says so when it opens.
    QCOMPARE(f.dialogs.Texts().join(QString()).contains(kUnreadable), notice);
    QVERIFY(e->SavePage(1));
    QCOMPARE(f.Read(path), bytes);
    TypeAtLine(e->PageEditor(1), line, QStringLiteral("X"));
    QVERIFY(e->SavePage(1));
    QCOMPARE(f.Read(path), edited);
    // Undone and saved again: the line's characters keep their bytes, its
    // line end is the one it was last saved with.
    e->PageEditor(1)->undo();
    QVERIFY(e->SavePage(1));
    QCOMPARE(f.Read(path), QByteArray(edited).remove(edited.indexOf('X'), 1));
    QCOMPARE(f.dialogs.boxes.size(), notice ? 1 : 0);
  }

  // Reopening reads the same bytes as the other encoding; converting makes
  // the next save write the other one.
  void reopenAndConvert() {
    ShellFixture f;
    TfrmEditor* e = f.Editor();
    const QString path = f.Write(QStringLiteral("other.cas"), kStringSjis + "\r\n");
    QVERIFY(e->OpenFile(path));
    QCOMPARE(e->PageEditor(1)->toPlainText(), QStringLiteral(" DC 'こんにちは'\n"));
    QVERIFY(e->PopupAction(QStringLiteral("pmnuReopenEncoding"))->isEnabled());

    // Wrongly as UTF-8: the page shows replacement characters, unmodified.
    QVERIFY(e->ReopenInOtherEncoding());
    QCOMPARE(e->PageFormat(1).encoding, TextEncoding::Utf8);
    QVERIFY(e->PageEditor(1)->toPlainText().contains(QChar(0xFFFD)));
    QVERIFY(!e->PageModified(1));
    QCOMPARE(f.dialogs.boxes.size(), 1);
    QVERIFY(f.dialogs.Texts().join(QString()).contains(kUnreadable));
    QVERIFY(e->ReopenInOtherEncoding());
    QCOMPARE(e->PageEditor(1)->toPlainText(), QStringLiteral(" DC 'こんにちは'\n"));

    // Converted to UTF-8 and saved: the same text in UTF-8, the breaks kept.
    QVERIFY(e->ConvertToOtherEncoding());
    QVERIFY(e->PageModified(1));
    QCOMPARE(e->EncodingText(), QStringLiteral("UTF-8  CRLF"));
    QVERIFY(e->SavePage(1));
    QCOMPARE(f.Read(path), kStringUtf8 + "\r\n");

    // Back to CP932 is refused while the text has a character CP932 cannot hold.
    TypeAtStart(e->PageEditor(1), QString::fromUtf8("\xF0\x9F\x98\x80"));
    QVERIFY(!e->ConvertToOtherEncoding());
    QCOMPARE(f.dialogs.boxes.size(), 2);
    QVERIFY2(f.dialogs.Texts().join(QString()).contains(QStringLiteral("1行目")),
             qPrintable(f.dialogs.Texts().join(QString())));
    QCOMPARE(e->PageFormat(1).encoding, TextEncoding::Utf8);
  }

  // New files are CP932 unless the options choose UTF-8 (with or without a mark).
  void newFilesFollowTheOption_data() {
    QTest::addColumn<int>("choice");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("CP932") << 0 << kStringSjis + "\r\n";
    QTest::newRow("UTF-8") << 1 << kStringUtf8 + "\r\n";
    QTest::newRow("UTF-8 with mark") << 2 << kBom + kStringUtf8 + "\r\n";
  }
  void newFilesFollowTheOption() {
    QFETCH(int, choice);
    QFETCH(QByteArray, bytes);
    ShellFixture f;
    TfrmEditor* e = f.Editor();
    e->SetNewFileEncoding(choice);
    QCOMPARE(e->NewFile(), 1);
    TypeAtStart(e->PageEditor(1), QStringLiteral(" DC 'こんにちは'\n"));
    const QString path = QDir(f.Dir()).filePath(QStringLiteral("new.cas"));
    QVERIFY(e->SaveCurrentAs(path));
    QCOMPARE(f.Read(path), bytes);
  }

  // Through the real assembler: a UTF-8 source's Japanese reads the same in
  // the listing viewer, and a character CP932 cannot hold is named by line in
  // the message window.
  void utf8SourceInTheListingAndMessageWindows() {
    ShellFixture f(false);
    const QString good = f.Write(QStringLiteral("good.cas"), kBom + QStringLiteral("P\tSTART\t; 挨拶\n"
                                                                                   "\tRET\n"
                                                                                   "M\tDC\t'こんにちは'\n"
                                                                                   "\tEND\n")
                                                                        .toUtf8());
    const QString bad = f.Write(QStringLiteral("bad.cas"), QStringLiteral("P\tSTART\n"
                                                                          "\tRET\n"
                                                                          "E\tDC\t'あ\U0001F600'\n"
                                                                          "\tEND\n")
                                                               .toUtf8());
    QVERIFY(f.Main()->OpenPath(good));
    QCOMPARE(f.Editor()->EncodingText(), QStringLiteral("UTF-8 (BOM付き)  LF"));
    f.Main()->RunCommand(QStringLiteral("mnuAssemble"));
    TfrmList* list = f.Main()->Windows().list;
    QCOMPARE(list->ListingCount(), 1);
    const QString listing = list->ListingControl(1)->toPlainText();
    QVERIFY2(listing.contains(QStringLiteral("; 挨拶")) && listing.contains(QStringLiteral("'こんにちは'")),
             qPrintable(listing));

    QVERIFY(f.Main()->OpenPath(bad));
    f.Main()->RunCommand(QStringLiteral("mnuAssemble"));
    const QString messages = f.Main()->Windows().message->Text();
    QVERIFY2(messages.contains(QStringLiteral(" (  3) : Error  Shift-JIS(CP932)で表せない文字があります。")),
             qPrintable(messages));
  }

  // A lone CR still ends the assembler's line, and the message window says
  // so with the line it can lead to; the assembly succeeds as before.
  void aLineCutByALoneCrIsWarned() {
    ShellFixture f(false);
    const QString path =
        f.Write(QStringLiteral("cut.cas"), "P\tSTART\n\tLD\tGR1,A\r\tLD\tGR2,A\n\tRET\nA\tDC\t1\n\tEND\n");
    QVERIFY(f.Main()->OpenPath(path));
    f.Main()->RunCommand(QStringLiteral("mnuAssemble"));
    TfrmMessage* message = f.Main()->Windows().message;
    const QString text = message->Text();
    QVERIFY2(text.contains(QStringLiteral(" (  2) : Warning  行の途中にCR(復帰)だけの改行があります。")) &&
                 text.contains(QStringLiteral("   0 Errors")),
             qPrintable(text));
    const std::vector<std::string> lines = message->Lines();
    const auto at = std::find_if(lines.begin(), lines.end(),
                                 [](const std::string& l) { return l.find("Warning") != std::string::npos; });
    QVERIFY(at != lines.end());
    int line = 0;
    QVERIFY(message->DiagnosticAt(static_cast<int>(at - lines.begin()), nullptr, &line));
    QCOMPARE(line, 2);
    QVERIFY(QFileInfo::exists(QDir(f.Dir()).filePath(QStringLiteral("cut.obj"))));
  }

  // The option is stored with the others; a store written before it existed
  // still loads.
  void theOptionIsStored() {
    QTemporaryDir dir;
    QSettings settings(dir.filePath(QStringLiteral("o.ini")), QSettings::IniFormat);
    OptionValues v;
    v.newFileEncodingChoice = 2;
    QVERIFY(WriteOptionValues(settings, v));
    OptionValues read;
    QVERIFY(ReadOptionValues(settings, read));
    QCOMPARE(read.newFileEncodingChoice, 2);
    settings.remove(QStringLiteral("NewFileEncoding"));
    OptionValues older;
    QVERIFY(ReadOptionValues(settings, older));
    QCOMPARE(older.newFileEncodingChoice, 0);
  }
};

QTEST_MAIN(EditorEncodingTest)
#include "EditorEncodingTest.moc"
