// The source editor: pages, untitled names, saving and closing with their
// questions, file encodings, auto indent and the caret position.
#include <QClipboard>
#include <QFileInfo>
#include <QLabel>
#include <QTabWidget>
#include <QtTest>

#include "forms/UiFonts.h"
#include "support/EditorInput.h"
#include "support/ShellFixture.h"

using namespace tolvane;
using namespace tolvane::forms;
using namespace tolvane::testing;

class EditorTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { InstallFontSubstitutions(); }

  void untitledNamesOnlyGrowAndAnExistingNameIsOpened() {
    ShellFixture f;
    TfrmEditor* e = f.Editor();
    QCOMPARE(e->NewFile(), 1);
    QCOMPARE(e->PagePath(1), QStringLiteral("Noname1.cas"));
    QVERIFY(e->PageUntitled(1));
    QVERIFY(e->PageModified(1));  // a new page counts as modified
    f.dialogs.Answer(BoxAnswer::No);
    QVERIFY(e->CloseCurrent());
    QCOMPARE(e->NewFile(), 1);
    QCOMPARE(e->PagePath(1), QStringLiteral("Noname2.cas"));
    // Noname3.cas exists: New opens it instead, titled and unmodified.
    f.Write("Noname3.cas", "EXISTING");
    QCOMPARE(e->NewFile(), 2);
    QCOMPARE(e->OpenCount(), 2);
    QCOMPARE(e->PagePath(2), f.Path("Noname3.cas"));
    QVERIFY(!e->PageUntitled(2));
    QVERIFY(!e->PageModified(2));
    QCOMPARE(e->PageEditor(2)->toPlainText(), QStringLiteral("EXISTING"));
    auto* tabs = e->findChild<QTabWidget*>("PageControl1");
    QCOMPARE(tabs->tabText(0), QStringLiteral("Noname2.cas"));
    QCOMPARE(tabs->tabText(1), QStringLiteral("Noname3.cas"));
    QVERIFY(tabs->isTabVisible(1) && !tabs->isTabVisible(2));
    // A folder called Noname4.cas is no file: New makes an untitled page of that name.
    QVERIFY(QDir(f.Dir()).mkdir("Noname4.cas"));
    QCOMPARE(e->NewFile(), 1);
    QCOMPARE(e->PagePath(3), QStringLiteral("Noname4.cas"));
    QVERIFY(e->PageUntitled(3));
    QVERIFY(f.dialogs.plain.isEmpty());
  }

  void openRefusesTheSamePathTwiceButNotAnotherCase() {
    ShellFixture f;
    TfrmEditor* e = f.Editor();
    const QString lower = f.Write("a.cas", "a");
    const QString upper = f.Write("A.cas", "A");
    QVERIFY(e->OpenFile(lower));
    QVERIFY(!e->OpenFile(lower));
    QCOMPARE(f.dialogs.boxes.size(), 1);
    QCOMPARE(f.dialogs.boxes[0].kind, BoxKind::Information);
    QVERIFY(f.dialogs.boxes[0].text.startsWith(lower));
    QVERIFY(e->OpenFile(upper));
    QCOMPARE(e->OpenCount(), 2);
    // A load failure leaves the count and the active page as they were.
    QVERIFY(!e->OpenFile(f.Path("none.cas")));
    QCOMPARE(e->OpenCount(), 2);
    QCOMPARE(e->CurrentPage(), 2);
    QCOMPARE(f.dialogs.plain.size(), 1);
  }

  void loadDetectsByteOrderMarksAndReadsCp932Otherwise() {
    ShellFixture f;
    TfrmEditor* e = f.Editor();
    struct Case {
      const char* name;
      QByteArray bytes;
    };
    const QString expected = UiText(u8"日本\nB");
    const Case cases[] = {
        {"sjis.cas", QByteArray("\x93\xfa\x96\x7b\r\nB")},
        {"utf8.cas", QByteArray("\xEF\xBB\xBF") + QString(UiText(u8"日本\rB")).toUtf8()},
        {"utf16le.cas", QByteArray("\xFF\xFE\xE5\x65\x2C\x67\x0A\x00\x42\x00", 10)},
        {"utf16be.cas", QByteArray("\xFE\xFF\x65\xE5\x67\x2C\x00\x0A\x00\x42", 10)},
    };
    for (const Case& c : cases) {
      QVERIFY2(e->OpenFile(f.Write(c.name, c.bytes)), c.name);
      QCOMPARE(e->PageEditor(e->CurrentPage())->toPlainText(), expected);
    }
    // A UTF-16 file is saved as CP932 with CR LF and no byte-order mark, and
    // no final line break; a UTF-8 file keeps its encoding, mark and breaks.
    e->ActivatePage(3);
    e->PageEditor(3)->insertPlainText("x");
    QVERIFY(e->SaveCurrent());
    QCOMPARE(f.Read("utf16le.cas"), QByteArray("x\x93\xfa\x96\x7b\r\nB"));
    QVERIFY(!e->PageModified(3));
    e->ActivatePage(2);
    e->PageEditor(2)->insertPlainText("x");
    QVERIFY(e->SaveCurrent());
    QCOMPARE(f.Read("utf8.cas"), QByteArray("\xEF\xBB\xBF") + QString(UiText(u8"x日本\rB")).toUtf8());
    QVERIFY(!e->PageModified(2));
  }

  void saveAsAsksAboutAMissingDirectoryAndFollowsIt() {
    ShellFixture f;
    TfrmEditor* e = f.Editor();
    e->NewFile();
    SetText(e->PageEditor(1), "A\nB\n");
    const QString target = f.Path("sub/prog.cas");
    // No: nothing is written, the page stays untitled and modified.
    f.dialogs.Answer(BoxAnswer::No);
    QVERIFY(!e->SaveCurrentAs(target));
    QCOMPARE(f.dialogs.boxes.last().text,
             UiText(u8"ディレクトリ") + f.Path("sub") + UiText(u8"が存在しません。作成しますか？"));
    QVERIFY(e->PageUntitled(1) && e->PageModified(1));
    // Yes creates one level, writes, and makes the folder current.
    f.dialogs.Answer(BoxAnswer::Yes);
    QVERIFY(e->SaveCurrentAs(target));
    QCOMPARE(f.Read(target), QByteArray("A\r\nB\r\n"));
    QCOMPARE(e->PagePath(1), target);
    QVERIFY(!e->PageUntitled(1) && !e->PageModified(1));
    QCOMPARE(QDir::currentPath(), f.Path("sub"));
    QCOMPARE(e->findChild<QTabWidget*>("PageControl1")->tabText(0), QStringLiteral("prog.cas"));
  }

  void saveOfAnUntitledPageRunsTheSaveAsCommand() {
    ShellFixture f;
    f.Main()->RunCommand("mnuNew");
    f.Editor()->PageEditor(1)->insertPlainText("T");
    f.dialogs.SaveAnswer(f.Path("t.cas"));
    f.Main()->RunCommand("mnuSave");
    QCOMPARE(f.dialogs.savePresets, QStringList({"Noname1.cas"}));
    QCOMPARE(f.Read("t.cas"), QByteArray("T"));
  }

  void saveAllWritesTitledPagesAndAsksForUntitledOnes() {
    ShellFixture f;
    TfrmEditor* e = f.Editor();
    QVERIFY(e->OpenFile(f.Write("one.cas", "1")));
    e->NewFile();
    e->NewFile();
    SetText(e->PageEditor(1), "one");
    SetText(e->PageEditor(2), "two");
    SetText(e->PageEditor(3), "three");
    // The first untitled page's dialog is cancelled: it stays unsaved, Save All goes on.
    f.dialogs.SaveAnswer(QString());
    f.dialogs.SaveAnswer(f.Path("three.cas"));
    QVERIFY(e->SaveAll());
    QCOMPARE(f.dialogs.savePresets, QStringList({"Noname1.cas", "Noname2.cas"}));
    QCOMPARE(f.Read("one.cas"), QByteArray("one"));
    QCOMPARE(f.Read("three.cas"), QByteArray("three"));
    QVERIFY(!e->PageModified(1) && e->PageModified(2) && !e->PageModified(3));
  }

  void closingAMiddlePageMovesTheLaterPagesDown() {
    ShellFixture f;
    TfrmEditor* e = f.Editor();
    QVERIFY(e->OpenFile(f.Write("a.cas", "AAA")));
    QVERIFY(e->OpenFile(f.Write("b.cas", "BBB")));
    e->NewFile();
    SetText(e->PageEditor(3), "CCC\nDD");
    QTextCursor c = e->PageEditor(3)->textCursor();
    c.setPosition(5);
    e->PageEditor(3)->setTextCursor(c);
    e->ActivatePage(2);
    QVERIFY(e->CloseCurrent());
    QCOMPARE(e->OpenCount(), 2);
    QCOMPARE(e->CurrentPage(), 2);
    QCOMPARE(e->PagePath(2), QStringLiteral("Noname1.cas"));
    QVERIFY(e->PageUntitled(2));
    QVERIFY(e->PageModified(2));
    QCOMPARE(e->PageEditor(2)->toPlainText(), QStringLiteral("CCC\nDD"));
    QCOMPARE(e->PageEditor(2)->textCursor().position(), 5);
    QCOMPARE(e->PageEditor(3)->toPlainText(), QString());
    QVERIFY(!e->PageModified(3));
    auto* tabs = e->findChild<QTabWidget*>("PageControl1");
    QCOMPARE(tabs->tabText(1), QStringLiteral("Noname1.cas"));
    QVERIFY(!tabs->isTabVisible(2));
    // Undo history moved with the text.
    e->PageEditor(2)->insertPlainText("Z");
    e->Undo();
    QCOMPARE(e->PageEditor(2)->toPlainText(), QStringLiteral("CCC\nDD"));
    // Closing the last page activates the one before it.
    f.dialogs.Answer(BoxAnswer::No);
    QVERIFY(e->CloseCurrent());
    QCOMPARE(e->CurrentPage(), 1);
    QCOMPARE(e->PagePath(1), f.Path("a.cas"));
  }

  // A Yes whose save does not happen keeps the page: the dialog cancelled, or
  // the write failing.
  void closeKeepsThePageWhenTheSaveDoesNotHappen() {
    ShellFixture f;
    TfrmEditor* e = f.Editor();
    f.Main()->RunCommand("mnuNew");
    e->PageEditor(1)->insertPlainText("KEEP");
    f.dialogs.Answer(BoxAnswer::Yes);
    f.dialogs.SaveAnswer(QString());
    f.Main()->RunCommand("mnuClose");
    QCOMPARE(e->OpenCount(), 1);
    QCOMPARE(e->PageEditor(1)->toPlainText(), QStringLiteral("KEEP"));
    QVERIFY(f.Main()->IsEnabled("mnuSave"));
    // Close All: the same.
    f.dialogs.Answer(BoxAnswer::Yes);
    f.dialogs.SaveAnswer(QString());
    f.Main()->RunCommand("mnuAllClose");
    QCOMPARE(e->OpenCount(), 1);
    // A titled page whose folder vanished: the write fails, the page stays.
    QDir().mkdir(f.Path("gone"));
    const QString path = f.Write("gone/x.cas", "x");
    QVERIFY(e->OpenFile(path));
    e->PageEditor(2)->insertPlainText("y");
    QFile::remove(path);
    QDir().rmdir(f.Path("gone"));
    f.dialogs.Answer(BoxAnswer::Yes);
    f.Main()->RunCommand("mnuClose");
    QCOMPARE(e->OpenCount(), 2);
    QCOMPARE(f.dialogs.plain.size(), 1);
    QVERIFY(e->PageModified(2));
    QVERIFY(f.dialogs.unexpected.isEmpty());
  }

  void saveIsAtomicAndRefusesTextCp932CannotHold() {
    ShellFixture f;
    TfrmEditor* e = f.Editor();
    const QString path = f.Write("keep.cas", "OLD\r\n");
    QVERIFY(e->OpenFile(path));
    SetText(e->PageEditor(1), UiText(u8"LINE1\nＡ😀B"));
    QVERIFY(!e->SaveCurrent());
    QCOMPARE(f.dialogs.boxes.size(), 1);
    QCOMPARE(f.dialogs.boxes[0].kind, BoxKind::Error);
    const QString text = f.dialogs.boxes[0].text;
    QVERIFY2(text.startsWith(path) && text.contains(QStringLiteral("2")) && text.contains(UiText(u8"😀")) &&
                 text.contains(QStringLiteral("U+1F600")),
             qPrintable(text));
    QVERIFY(e->PageModified(1));
    QCOMPARE(f.Read(path), QByteArray("OLD\r\n"));
    // A failed write leaves the old file as it was and no temporary behind.
    SetText(e->PageEditor(1), "NEW");
    QFile(f.Dir()).setPermissions(QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    const bool refused = !e->SaveCurrent();
    QFile(f.Dir()).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    if (refused) {  // (root may write anyway)
      QCOMPARE(f.Read(path), QByteArray("OLD\r\n"));
      QVERIFY(e->PageModified(1));
    }
    QCOMPARE(QDir(f.Dir()).entryList(QDir::Files), QStringList({"keep.cas"}));
  }

  void autoIndentCopiesTheLeadingBlanks() {
    ShellFixture f;
    TfrmEditor* e = f.Editor();
    e->NewFile();
    EditorControl* ed = e->PageEditor(1);
    ed->setPlainText(QStringLiteral("\t  LD GR1,A"));
    // Caret inside the indentation: the new line gets the whole run.
    QTextCursor c = ed->textCursor();
    c.setPosition(2);
    ed->setTextCursor(c);
    QTest::keyClick(ed, Qt::Key_Return);
    QCOMPARE(ed->toPlainText(), QStringLiteral("\t \n\t   LD GR1,A"));
    ed->setPlainText(QStringLiteral("\t  LD GR1,A"));
    ed->moveCursor(QTextCursor::End);
    QTest::keyClick(ed, Qt::Key_Return);
    Type(ed, QStringLiteral("RET"));
    QCOMPARE(ed->toPlainText(), QStringLiteral("\t  LD GR1,A\n\t  RET"));
    // Off: Enter is a plain line break, also with Shift.
    e->SetAutoIndent(false);
    QTest::keyClick(ed, Qt::Key_Return, Qt::ShiftModifier);
    QCOMPARE(ed->toPlainText(), QStringLiteral("\t  LD GR1,A\n\t  RET\n"));
    // Pasted text keeps its line breaks as ordinary ones.
    QApplication::clipboard()->setText(QStringLiteral("A\r\nB\rC"));
    ed->paste();
    QCOMPARE(ed->toPlainText(), QStringLiteral("\t  LD GR1,A\n\t  RET\nA\nB\nC"));
  }

  void labelAfterAnIndentedLineAndRedo() {
    ShellFixture f;
    TfrmEditor* e = f.Editor();
    f.Main()->RunCommand("mnuNew");
    EditorControl* ed = e->PageEditor(1);
    ed->setFocus();
    Type(ed, QStringLiteral("MAIN\tSTART\n\tLD\tGR1,A\n"));
    // The copied indentation gives way to a label once its word ends (by a
    // tab or a space); an instruction stays in the operation column.
    Type(ed, QStringLiteral("LOOP\tSUBA\tGR1,=1\n\tJNZ\tLOOP\nRET\nA DC 1"));
    QCOMPARE(ed->toPlainText(),
             QStringLiteral("MAIN\tSTART\n\tLD\tGR1,A\nLOOP\tSUBA\tGR1,=1\n\tJNZ\tLOOP\n\tRET\nA DC 1"));
    // Redo (Ctrl+Y) puts back what Undo took.
    QVERIFY(f.Main()->Item(QStringLiteral("mnuReDo")));
    QCOMPARE(f.Main()->Item(QStringLiteral("mnuReDo"))->shortcut(), QKeySequence(QStringLiteral("Ctrl+Y")));
    QVERIFY(f.Main()->IsEnabled("mnuReDo"));
    const QString typed = ed->toPlainText();
    f.Main()->RunCommand("mnuUnDo");
    QVERIFY(ed->toPlainText() != typed);
    f.Main()->RunCommand("mnuReDo");
    QCOMPARE(ed->toPlainText(), typed);
  }

  void tabStopsEveryEightCells() {
    ShellFixture f;
    EditorControl* ed = f.Editor()->PageEditor(1);
    const QFontMetricsF metrics(ed->font());
    QVERIFY(metrics.horizontalAdvance(QLatin1Char(' ')) > 0);
    QCOMPARE(ed->tabStopDistance(), 8 * metrics.horizontalAdvance(QLatin1Char(' ')));
    // Character cells: narrow and wide Latin letters take the same room.
    QCOMPARE(metrics.horizontalAdvance(QLatin1Char('i')), metrics.horizontalAdvance(QLatin1Char('W')));
  }

  void caretPositionExpandsTabsAndCountsCells() {
    QCOMPARE(TfrmEditor::CaretColumn(QString()), 1);
    QCOMPARE(TfrmEditor::CaretColumn(QStringLiteral("\tAB")), 11);
    QCOMPARE(TfrmEditor::CaretColumn(QStringLiteral("ABCDEFG\t")), 9);
    QCOMPARE(TfrmEditor::CaretColumn(QStringLiteral("ABCDEFGH\t")), 17);
    QCOMPARE(TfrmEditor::CaretColumn(UiText(u8"日本\t")), 9);
    QCOMPARE(TfrmEditor::CaretColumn(UiText(u8"ｶﾅ")), 3);
    ShellFixture f;
    TfrmEditor* e = f.Editor();
    e->NewFile();
    EditorControl* ed = e->PageEditor(1);
    ed->setFocus();
    Type(ed, QStringLiteral("1\n2\n3\n4\n"));
    e->SetAutoIndent(false);
    Type(ed, QStringLiteral("\tAB"));
    QCOMPARE(e->CaretText(), QStringLiteral("5 : 11"));
    Type(ed, UiText(u8"漢ｶ"));
    QCOMPARE(e->CaretText(), QStringLiteral("5 : 14"));
    QCOMPARE(ed->toPlainText(), UiText(u8"1\n2\n3\n4\n\tAB漢ｶ"));
  }

  void goToLineOpensOrActivatesThePage() {
    ShellFixture f;
    TfrmEditor* e = f.Editor();
    const QString a = f.Write("a.cas", "L1\r\nL2\r\nL3\r\n");
    e->NewFile();
    QVERIFY(e->GoToLine(a, 3));
    QCOMPARE(e->OpenCount(), 2);
    QCOMPARE(e->CurrentPage(), 2);
    QCOMPARE(e->PageEditor(2)->textCursor().blockNumber(), 2);
    e->ActivatePage(1);
    QVERIFY(e->GoToLine(a, 1));
    QCOMPARE(e->OpenCount(), 2);
    QCOMPARE(e->CurrentPage(), 2);
    QCOMPARE(e->PageEditor(2)->textCursor().blockNumber(), 0);
  }

  void popupItemsForwardToTheMainWindow() {
    ShellFixture f;
    f.Main()->RunCommand("mnuNew");
    QAction* close = f.Editor()->PopupAction("pmnuClose");
    QVERIFY(close && close->isEnabled());
    QCOMPARE(close->text(), UiText(u8"閉じる(&C)"));
    f.dialogs.Answer(BoxAnswer::No);
    close->trigger();
    QCOMPARE(f.Editor()->OpenCount(), 0);
    QVERIFY(!close->isEnabled());  // the shell reset disabled the group
  }
};

QTEST_MAIN(EditorTest)
#include "EditorTest.moc"
