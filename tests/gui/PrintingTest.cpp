// Printing: the page geometry and contents of the text printouts, the picture
// printout of the debug window, the print command's choice of what to print,
// and real PDF output where no printer is installed.
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QtTest>

#include "common/Cp932.h"
#include "forms/Printing.h"
#include "forms/UiFonts.h"
#include "forms/frmDebug_f.h"
#include "forms/frmList_f.h"
#include "forms/frmStandardIo_f.h"
#include "support/RecordingSurface.h"
#include "support/ShellFixture.h"

using namespace tolvane;
using namespace tolvane::forms;
using namespace tolvane::testing;

namespace {
// A 600-dpi printer's printable area: 8 x 11 inches.
const QSize kPage(4800, 6600);
constexpr int kDpi = 600;

TextPrintout Lines(int count, const QString& first = QStringLiteral("first"),
                   const QString& later = QStringLiteral("later")) {
  TextPrintout p;
  p.title = QStringLiteral("Tolvane - job");
  p.fontName = FontGothic();
  p.fontPoints = 12;
  p.firstHeader = first;
  p.laterHeader = later;
  for (int i = 1; i <= count; ++i) p.lines.push_back("line " + std::to_string(i));
  return p;
}

const RecordingSurface::Text* Find(const RecordingSurface& s, int page, const QString& text) {
  for (const RecordingSurface::Text& t : s.texts)
    if (t.page == page && t.text == text) return &t;
  return nullptr;
}
}  // namespace

class PrintingTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { InstallFontSubstitutions(); }

  void pageGeometry_data() {
    QTest::addColumn<int>("points");
    QTest::addColumn<int>("dpi");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("h");
    QTest::addColumn<int>("L");
    QTest::newRow("12 pt, 600 dpi") << 12 << 600 << 6600 << 100 << 63;
    QTest::newRow("10 pt, 300 dpi rounds up") << 10 << 300 << 3300 << 42 << 75;
    QTest::newRow("11 pt, 96 dpi") << 11 << 96 << 1056 << 15 << 67;
    QTest::newRow("9 pt, 96 dpi") << 9 << 96 << 1056 << 12 << 85;
  }
  void pageGeometry() {
    QFETCH(int, points);
    QFETCH(int, dpi);
    QFETCH(int, height);
    QFETCH(int, h);
    QFETCH(int, L);
    const TextPageGeometry g = PageGeometry(points, dpi, 4800, height);
    QCOMPARE(g.lineHeight, h);
    QCOMPARE(g.linesPerPage, L);
    QCOMPARE(g.BodyLinesPerPage(), L - 3);
    QCOMPARE(g.FooterY(), (L + 2) * h);
    QCOMPARE(g.HeaderX(), 4800 / 11);
    QCOMPARE(g.BodyX(), 600);
    QCOMPARE(g.FooterX(), 2400);
  }

  void tabsExpandToMultiplesOfEightBytes() {
    struct Case {
      const char8_t* line;
      const char8_t* expanded;
    };
    const Case cases[] = {
        {u8"\tLD", u8"        LD"},
        {u8"abc\tX", u8"abc     X"},
        {u8"12345678\tX", u8"12345678        X"},
        {u8"あ\tX", u8"あ      X"},  // two bytes in CP932
        {u8"ｱ\tX", u8"ｱ       X"},   // one byte
        {u8"a\t\tb", u8"a               b"},
        {u8"", u8""},
    };
    for (const Case& c : cases) {
      const std::string expanded = ExpandTabs(Cp932Text(c.line));
      QCOMPARE(QString::fromStdString(Cp932ToUtf8(expanded)), UiText(c.expanded));
    }
    // A character without a CP932 form prints as "?" rather than losing the line.
    QCOMPARE(QString::fromStdString(Cp932ToUtf8(PrintableCp932(UiText(u8"a😀\tb")))), QStringLiteral("a?\tb"));
  }

  void textPagesAreLaidOutByLines() {
    RecordingSurface s(kPage, kDpi);
    QString error;
    QVERIFY(DrawTextPrintout(s, Lines(130), &error));
    QVERIFY(error.isEmpty());
    // 60 body lines per page: 60, 60 and 10.
    QCOMPARE(s.pages, 3);
    QCOMPARE(s.TextsOn(1).size(), 1 + 60 + 1);
    QCOMPARE(s.TextsOn(3).size(), 1 + 10 + 1);
    struct Where {
      int page;
      const char* text;
      int x;
      int top;
    };
    const Where places[] = {
        {1, "first", 436, 100},     {1, "line 1", 600, 300},   {1, "line 60", 600, 6200}, {1, "Page 1", 2400, 6500},
        {2, "later", 436, 100},     {2, "line 61", 600, 300},  {2, "Page 2", 2400, 6500}, {3, "later", 436, 100},
        {3, "line 130", 600, 1200}, {3, "Page 3", 2400, 6500},
    };
    for (const Where& w : places) {
      const RecordingSurface::Text* t = Find(s, w.page, QString::fromLatin1(w.text));
      QVERIFY2(t, w.text);
      QCOMPARE(qRound(t->at.x()), w.x);
      QCOMPARE(t->top, w.top);
      QCOMPARE(t->font.family(), FontGothic());
      QCOMPARE(t->font.pointSize(), 12);
    }
  }

  void anEmptyDocumentPrintsOnePage() {
    RecordingSurface s(kPage, kDpi);
    QVERIFY(DrawTextPrintout(s, Lines(0), nullptr));
    QCOMPARE(s.pages, 1);
    QCOMPARE(s.TextsOn(1), QStringList({"first", "Page 1"}));
  }

  void longLinesAreWrappedNotCut() {
    RecordingSurface s(kPage, kDpi);
    TextPrintout p = Lines(0);
    p.lines.push_back(std::string(400, 'X') + "END");  // far more than 255 bytes and than the page is wide
    p.lines.push_back("next");
    QVERIFY(DrawTextPrintout(s, p, nullptr));
    const QStringList texts = s.TextsOn(1);
    QVERIFY(texts.size() > 4);  // header, pieces, "next", footer
    const QString joined = texts.mid(1, texts.size() - 3).join(QString());
    QCOMPARE(joined, QString(400, QLatin1Char('X')) + QStringLiteral("END"));
    QCOMPARE(texts.at(texts.size() - 2), QStringLiteral("next"));
    // Each piece starts at the body's left edge, one line below the one before.
    int top = 300;
    for (const RecordingSurface::Text& t : s.texts) {
      if (t.text.startsWith(QLatin1Char('X')) || t.text.endsWith(QLatin1String("END"))) {
        QCOMPARE(qRound(t.at.x()), 600);
        QCOMPARE(t.top, top);
        top += 100;
      }
    }
  }

  void aPageTooShortIsRefused() {
    // 12 points on 500 pixels at 600 dpi: h = 100, L = 2, no body line between header and footer.
    RecordingSurface s(QSize(4800, 500), kDpi);
    QString error;
    QVERIFY(!DrawTextPrintout(s, Lines(3), &error));
    QVERIFY(!error.isEmpty());
    QCOMPARE(s.jobs, 0);
    // The smallest page that holds one body line works (h = 100, L = 4).
    RecordingSurface fits(QSize(4800, 700), kDpi);
    QVERIFY(DrawTextPrintout(fits, Lines(3), nullptr));
    QCOMPARE(fits.pages, 3);
  }

  // The print command: which window is printed, with which title, headers and font.
  void printCommandChoosesItsSource() {
    ShellFixture f;
    RecordingSurface s(kPage, kDpi);
    f.Main()->Printing().SetSurfaceOverride(&s);
    const QString source = f.Write("prog.cas", "A\tSTART\r\n\tRET\r\n\tEND\r\n");
    f.Write("prog.lst", "0001 0000 lst line\r\n");
    QVERIFY(f.Main()->OpenPath(source));
    // The target as the windows left it, with the focus nowhere.
    const auto print = [&](int target) {
      if (QApplication::focusWidget()) QApplication::focusWidget()->clearFocus();
      f.Main()->printTarget = target;
      f.Main()->RunCommand("mnuPrint");
    };
    // Nothing has lost the focus yet.
    print(0);
    QCOMPARE(f.dialogs.Texts(), QStringList{UiText(u8"印刷の対象にフォーカスがありません。")});
    QCOMPARE(f.dialogs.boxes.at(0).kind, BoxKind::Warning);
    QCOMPARE(s.jobs, 0);

    // The editor: its path heads every page, tabs are expanded.
    f.dialogs.Clear();
    print(1);
    QCOMPARE(s.title, QStringLiteral("Tolvane - ") + source);
    QCOMPARE(s.TextsOn(1), QStringList({source, "A       START", "        RET", "        END", "Page 1"}));
    QCOMPARE(s.texts.at(0).font.family(), FontGothic());
    QCOMPARE(s.texts.at(0).font.pointSize(), f.Editor()->PageEditor(1)->font().pointSize());

    // The listing: its full path heads the first page, its name the later ones.
    s.texts.clear();
    QVERIFY(f.Main()->Windows().list->OpenListing(QFile::encodeName(source).toStdString()));
    print(2);
    QCOMPARE(s.title, QStringLiteral("Tolvane - prog.lst"));
    QCOMPARE(s.TextsOn(1), QStringList({f.Path("prog.lst"), "0001 0000 lst line", "Page 1"}));

    // The console, in its own font.
    s.texts.clear();
    f.Main()->Windows().standardIo->ConsoleWrite(QStringLiteral("out"));
    print(3);
    QCOMPARE(s.title, QStringLiteral("Tolvane - Standard I/O"));
    QCOMPARE(s.TextsOn(1).first(), QStringLiteral("Standard I/O"));
    QVERIFY(s.TextsOn(1).contains(QStringLiteral(">out")));
    QCOMPARE(s.texts.at(0).font.family(), f.Main()->Windows().standardIo->memoStandardIo()->font().family());

    // A closed editor is no target, and no other window is printed instead.
    s.texts.clear();
    f.Editor()->close();
    print(1);
    QVERIFY(s.texts.isEmpty());
    QCOMPARE(f.dialogs.Texts(), QStringList{UiText(u8"印刷の対象にフォーカスがありません。")});
    QVERIFY(f.dialogs.unexpected.isEmpty());
  }

  // The target is the window that lost the focus last, not the one that holds
  // it: a file opened at start-up has the focus, yet nothing has lost it.
  void theWindowThatLostTheFocusLastIsTheTarget() {
    ShellFixture f;
    RecordingSurface s(kPage, kDpi);
    f.Main()->Printing().SetSurfaceOverride(&s);
    QVERIFY(f.Main()->OpenPath(f.Write("a.cas", "text")));
    QApplication::setActiveWindow(f.Main());
    QTRY_VERIFY(f.Editor()->PageEditor(1)->hasFocus());
    f.Main()->RunCommand("mnuPrint");
    QCOMPARE(f.dialogs.Texts(), QStringList{UiText(u8"印刷の対象にフォーカスがありません。")});
    QCOMPARE(s.jobs, 0);

    // The editor hands the focus to the console: the editor is printed.
    f.dialogs.Clear();
    f.Main()->Windows().standardIo->memoStandardIo()->setFocus();
    QTRY_VERIFY(f.Main()->Windows().standardIo->memoStandardIo()->hasFocus());
    QCOMPARE(f.Main()->printTarget, 1);
    f.Main()->RunCommand("mnuPrint");
    QVERIFY(f.dialogs.boxes.isEmpty());
    QCOMPARE(s.title, QStringLiteral("Tolvane - ") + f.Path("a.cas"));
  }

  void debuggingGuardAndTheDebugWindow() {
    ShellFixture f;
    RecordingSurface s(kPage, kDpi);
    f.Main()->Printing().SetSurfaceOverride(&s);
    QVERIFY(f.Main()->OpenPath(f.Write("a.cas", "text")));
    f.fake.debugging = true;
    f.fake.loadModulePath = f.Path("prog.exe").toStdString();
    if (QApplication::focusWidget()) QApplication::focusWidget()->clearFocus();
    // A text target asks the debugging question first; No prints nothing.
    f.Main()->printTarget = 1;
    f.dialogs.Answer(BoxAnswer::No);
    f.Main()->RunCommand("mnuPrint");
    QCOMPARE(f.dialogs.Texts(), QStringList{UiText(u8"デバッグ中です。デバッグを終了しますか？")});
    QCOMPARE(s.jobs, 0);

    // The debug window with its panes shown is printed as a picture without the question.
    f.dialogs.Clear();
    TfrmDebug* debug = f.Main()->Windows().debug;
    debug->Panel1()->show();
    QApplication::clipboard()->setText(QStringLiteral("keep me"));
    f.Main()->printTarget = 4;
    f.Main()->RunCommand("mnuPrint");
    QVERIFY(f.dialogs.boxes.isEmpty());
    QCOMPARE(s.pictures.size(), 1);
    QCOMPARE(s.title, QStringLiteral("Tolvane - ") + debug->windowTitle());
    QCOMPARE(s.TextsOn(1), QStringList{"prog.exe"});
    const RecordingSurface::Text& name = s.texts.at(0);
    QCOMPARE(qRound(name.at.x()), 4800 / 11);
    QCOMPARE(name.top, 0);
    // The window itself, not the screen: its picture, fitted into 85 % of the width at 4 : 3.
    const RecordingSurface::Picture& picture = s.pictures.at(0);
    QCOMPARE(picture.size, debug->grab().size());
    QCOMPARE(picture.target.topLeft(), QPointF(600, 200));
    const int boxWidth = int(0.85 * 4800), boxHeight = int(0.75 * boxWidth);
    QVERIFY(picture.target.width() <= boxWidth && picture.target.height() <= boxHeight);
    QVERIFY(qAbs(picture.target.width() - boxWidth) <= 1 || qAbs(picture.target.height() - boxHeight) <= 1);
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("keep me"));

    // Panes hidden (nothing debugged yet): the guard is asked, then there is no target.
    debug->Panel1()->hide();
    f.fake.debugging = false;
    f.dialogs.Clear();
    f.Main()->RunCommand("mnuPrint");
    QCOMPARE(f.dialogs.Texts(), QStringList{UiText(u8"印刷の対象にフォーカスがありません。")});
    QCOMPARE(s.pictures.size(), 1);
  }

  void aRealPdfWhereNoPrinterIsInstalled() {
    ShellFixture f;
    if (!f.Main()->Printing().PrintsToPdf()) QSKIP("a printer is installed");
    QStringList lines;
    QByteArray text;
    for (int i = 1; i <= 70; ++i) text += "\tLD\tGR1,DATA" + QByteArray::number(i) + "\r\n";
    QVERIFY(f.Main()->OpenPath(f.Write("prog.cas", text)));
    f.Main()->printTarget = 1;
    const QString pdf = f.Path("prog.pdf");
    f.dialogs.SaveAnswer(pdf);
    f.Main()->RunCommand("mnuPrint");
    QCOMPARE(f.dialogs.savePresets, QStringList{f.Path("prog.pdf")});
    QFile file(pdf);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    QVERIFY(bytes.startsWith("%PDF-"));
    QVERIFY(bytes.trimmed().endsWith("%%EOF"));
    // 70 lines at 12 points on A4: two pages.
    QCOMPARE(bytes.count("/Type /Page\n"), 2);
    // The job's title is the document's title.
    QVERIFY(bytes.contains("/Title"));
    QVERIFY(f.dialogs.boxes.isEmpty());

    // A PDF file that cannot be written is reported, not taken as printed.
    f.dialogs.SaveAnswer(f.Path("no such folder/prog.pdf"));
    f.Main()->RunCommand("mnuPrint");
    QCOMPARE(f.dialogs.Texts(), QStringList{f.Path("no such folder/prog.pdf") + UiText(u8"に書き込めません。")});
    QCOMPARE(f.dialogs.boxes.at(0).kind, BoxKind::Error);
    // Cancelling the file name prints nothing and says nothing.
    f.dialogs.Clear();
    f.dialogs.SaveAnswer(QString());
    f.Main()->RunCommand("mnuPrint");
    QVERIFY(f.dialogs.boxes.isEmpty());
  }

  void printerSetupIsGuardedAndKeepsItsChoices() {
    ShellFixture f;
    f.fake.debugging = true;
    f.dialogs.Answer(BoxAnswer::No);
    f.Main()->RunCommand("mnuPrintSetup");  // refused: no dialog
    QCOMPARE(f.dialogs.Texts(), QStringList{UiText(u8"デバッグ中です。デバッグを終了しますか？")});
    f.fake.debugging = false;
    bool seen = false;
    QTimer::singleShot(0, [&] {
      auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
      if (!dialog || dialog->objectName() != QLatin1String("PrinterSetupDialog1")) return;
      seen = true;
      dialog->findChild<QRadioButton*>("rbLandscape")->setChecked(true);
      auto* paper = dialog->findChild<QComboBox*>("cmbboxPaper");
      paper->setCurrentIndex(paper->findData(int(QPageSize::B5)));
      dialog->accept();
    });
    f.Main()->RunCommand("mnuPrintSetup");
    QVERIFY(seen);
    QCOMPARE(f.Main()->Printing().Printer().pageLayout().orientation(), QPageLayout::Landscape);
    QCOMPARE(f.Main()->Printing().Printer().pageLayout().pageSize().id(), QPageSize::B5);
  }
};

QTEST_MAIN(PrintingTest)
#include "PrintingTest.moc"
