// Help: the pages themselves (every topic the program names exists, every link
// between them leads somewhere), the in-app viewer with its history, help from
// a modal dialog, the missing-page message, and the about box.
#include <QAction>
#include <QDialog>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QtTest>

#include "forms/HelpTopic.h"
#include "forms/HelpViewer_f.h"
#include "forms/UiFonts.h"
#include "forms/Utf8.h"
#include "forms/dlgAbout_f.h"
#include "support/ShellFixture.h"

using namespace tolvane;
using namespace tolvane::forms;
using namespace tolvane::testing;

namespace {
const QString kSourceHelp = QStringLiteral(TOLVANE_SOURCE_DIR "/help");

QString Read(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

void WritePage(const QString& folder, const QString& name, const QString& body) {
  QFile f(QDir(folder).filePath(name));
  QVERIFY(f.open(QIODevice::WriteOnly));
  f.write(QStringLiteral("<html><head><meta charset=\"utf-8\"><title>%1</title></head><body>%2</body></html>")
              .arg(name, body)
              .toUtf8());
}

QString ShownFile() { return QFileInfo(THelpViewer::Instance().Source().toLocalFile()).fileName(); }
}  // namespace

class HelpTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { InstallFontSubstitutions(); }
  void cleanup() {
    SetHelpFolder(QString());
    THelpViewer::Instance().hide();
  }

  // Every topic the program opens is there.
  void everyTopicTheProgramNamesExists() {
    const char* topics[] = {"index.html",      "HID00000013.htm", "HID00000014.htm",
                            "HID00000042.htm", "HID00000043.htm", "HID00000044.htm",
                            "HID00000045.htm", "HID00000046.htm", "HID00000047.htm"};
    for (const char* topic : topics) {
      const QString page = Read(QDir(kSourceHelp).filePath(QString::fromLatin1(topic)));
      QVERIFY2(!page.isEmpty(), topic);
      QVERIFY2(page.contains(QLatin1String("<meta charset=\"utf-8\">")), topic);
      QVERIFY2(page.contains(QLatin1String("<title>")), topic);
    }
  }

  // Every link between the pages leads to a page that exists and, with an
  // anchor, to a place in it.
  void everyLinkBetweenThePagesLeadsSomewhere() {
    const QDir folder(kSourceHelp);
    const QStringList pages = folder.entryList({"*.html", "*.htm"}, QDir::Files);
    QVERIFY(pages.size() >= 13);
    const QRegularExpression href(QStringLiteral("href=\"([^\"]*)\""));
    int links = 0;
    for (const QString& page : pages) {
      const QString text = Read(folder.filePath(page));
      for (auto it = href.globalMatch(text); it.hasNext();) {
        const QString target = it.next().captured(1);
        if (target.startsWith(QLatin1String("http")) || target.endsWith(QLatin1String(".css"))) continue;
        const qsizetype hash = target.indexOf(QLatin1Char('#'));
        const QString file = hash < 0 ? target : target.left(hash);
        const QString anchor = hash < 0 ? QString() : target.mid(hash + 1);
        const QString targetPage = file.isEmpty() ? page : file;
        QVERIFY2(folder.exists(targetPage), qPrintable(page + QStringLiteral(" -> ") + target));
        if (!anchor.isEmpty()) {
          const QString targetText = Read(folder.filePath(targetPage));
          QVERIFY2(targetText.contains(QStringLiteral("name=\"%1\"").arg(anchor)),
                   qPrintable(page + QStringLiteral(" -> ") + target));
        }
        ++links;
      }
    }
    QVERIFY(links > 100);
  }

  void viewerFollowsLinksWithItsHistory() {
    ScriptedDialogs dialogs;  // a box the test does not expect is recorded, not shown
    QTemporaryDir dir;
    WritePage(dir.path(), "index.html", "<a href=\"a.html\">to a</a>");
    WritePage(dir.path(), "a.html", "<a href=\"b.htm#here\">to b</a>");
    WritePage(dir.path(), "b.htm", "<p><a name=\"here\"></a>b</p>");
    SetHelpFolder(dir.path());
    QVERIFY(OpenHelpTopic(nullptr, QStringLiteral("a.html")));
    THelpViewer& viewer = THelpViewer::Instance();
    QVERIFY(viewer.isVisible());
    QCOMPARE(viewer.objectName(), QStringLiteral("frmHelp"));
    QCOMPARE(ShownFile(), QStringLiteral("a.html"));
    QVERIFY(viewer.windowTitle().endsWith(QLatin1String("a.html")));
    // A link is followed like a click in a browser.
    viewer.Browser()->setSource(viewer.Browser()->source().resolved(QUrl(QStringLiteral("b.htm#here"))));
    QCOMPARE(ShownFile(), QStringLiteral("b.htm"));
    QVERIFY(viewer.Browser()->toPlainText().contains(QLatin1Char('b')));
    QVERIFY(viewer.actBack()->isEnabled());
    QVERIFY(!viewer.actForward()->isEnabled());
    viewer.actBack()->trigger();
    QCOMPARE(ShownFile(), QStringLiteral("a.html"));
    QVERIFY(viewer.actForward()->isEnabled());
    viewer.actForward()->trigger();
    QCOMPARE(ShownFile(), QStringLiteral("b.htm"));
    viewer.actHome()->trigger();
    QCOMPARE(ShownFile(), QStringLiteral("index.html"));
    // Escape in the page closes the viewer, as it closes a dialog.
    QTest::keyClick(viewer.Browser(), Qt::Key_Escape);
    QVERIFY(!viewer.isVisible());
  }

  void theRealPagesOpenInTheViewer() {
    ScriptedDialogs dialogs;  // a box the test does not expect is recorded, not shown
    SetHelpFolder(kSourceHelp);
    QVERIFY(OpenHelpTopic(nullptr, QStringLiteral("index.html")));
    QTextBrowser* browser = THelpViewer::Instance().Browser();
    QVERIFY(browser->toPlainText().contains(UiText(u8"はじめに")));
    QCOMPARE(browser->documentTitle(), UiText(u8"Tolvane ヘルプ 目次"));
    QVERIFY(OpenHelpTopic(nullptr, QStringLiteral("HID00000046.htm")));
    QVERIFY(browser->toPlainText().contains(UiText(u8"オプション")));
  }

  void aMissingPageIsReported() {
    ShellFixture f;
    QTemporaryDir empty;
    SetHelpFolder(empty.path());
    QVERIFY(!OpenHelpTopic(f.Main(), QStringLiteral("HID00000046.htm")));
    QCOMPARE(f.dialogs.Texts(), QStringList{UiText(u8"ヘルプファイルが見つかりません。")});
    QCOMPARE(f.dialogs.boxes.at(0).kind, BoxKind::Error);
    // The help menu reports the same when the folder has no index.
    f.dialogs.Clear();
    f.Main()->RunCommand("mnuContents");
    QCOMPARE(f.dialogs.Texts(), QStringList{UiText(u8"ヘルプファイルが見つかりません。")});
  }

  // Help asked for from a modal dialog is usable while the dialog stays open,
  // and stays open itself when the dialog closes.
  void helpFromAModalDialog() {
    ScriptedDialogs dialogs;  // a box the test does not expect is recorded, not shown
    SetHelpFolder(kSourceHelp);
    QWidget main;
    main.show();
    QDialog dialog(&main);
    dialog.setModal(true);
    bool helpUsable = false;
    bool dialogOpen = false;
    QTimer::singleShot(0, &dialog, [&] {
      QVERIFY(OpenHelpTopic(&dialog, QStringLiteral("HID00000043.htm")));
      THelpViewer& viewer = THelpViewer::Instance();
      // A modal dialog blocks every window but its own: the viewer is one of them.
      helpUsable =
          viewer.isVisible() && viewer.parentWidget() == &dialog && QApplication::activeModalWidget() == &dialog;
      dialogOpen = dialog.isVisible();
      viewer.actHome()->trigger();
      dialog.accept();
    });
    dialog.exec();
    QVERIFY(helpUsable);
    QVERIFY(dialogOpen);
    THelpViewer& viewer = THelpViewer::Instance();
    QCOMPARE(ShownFile(), QStringLiteral("index.html"));
    QTRY_VERIFY(viewer.isVisible());
    QVERIFY(viewer.parentWidget() == nullptr);
  }

  // The options dialog's Help with its page deleted: the message, and the dialog stays open.
  void optionsHelpWithItsPageMissing() {
    ShellFixture f;
    QTemporaryDir dir;
    for (const QString& page : QDir(kSourceHelp).entryList({"*.htm", "*.html", "*.css"}, QDir::Files))
      if (page != QLatin1String("HID00000046.htm"))
        QVERIFY(QFile::copy(QDir(kSourceHelp).filePath(page), QDir(dir.path()).filePath(page)));
    SetHelpFolder(dir.path());
    bool stayedOpen = false;
    bool helpShown = false;
    QTimer::singleShot(0, f.Main(), [&] {
      auto* options = qobject_cast<QDialog*>(QApplication::activeModalWidget());
      QVERIFY(options && options->objectName() == QLatin1String("dlgOption"));
      auto* help = options->findChild<QPushButton*>(QStringLiteral("btnHelp"));
      QTest::mouseClick(help, Qt::LeftButton);
      stayedOpen = options->isVisible() && QApplication::activeModalWidget() == options;
      // With the page back, Help shows it beside the open dialog.
      SetHelpFolder(kSourceHelp);
      QTest::mouseClick(help, Qt::LeftButton);
      helpShown = THelpViewer::Instance().isVisible() && THelpViewer::Instance().parentWidget() == options &&
                  ShownFile() == QLatin1String("HID00000046.htm");
      options->reject();
    });
    f.Main()->RunCommand("mnuOption");
    QCOMPARE(f.dialogs.Texts(), QStringList{UiText(u8"ヘルプファイルが見つかりません。")});
    QVERIFY(stayedOpen);
    QVERIFY(helpShown);
  }

  void aboutBox() {
    ScriptedDialogs dialogs;  // a box the test does not expect is recorded, not shown
    SetHelpFolder(kSourceHelp);
    TdlgAbout about;
    QCOMPARE(about.objectName(), QStringLiteral("dlgAbout"));
    QCOMPARE(about.windowTitle(), UiText(u8"ﾊﾞｰｼﾞｮﾝ情報"));
    QCOMPARE(about.size(), QSize(363, 188));
    QCOMPARE(about.minimumSize(), about.maximumSize());
    QCOMPARE(about.palette().color(QPalette::Window), QColor(Qt::white));
    QCOMPARE(about.ProgramIcon()->pixmap().size(), QSize(141, 148));
    QCOMPARE(about.ProductName()->text(), QStringLiteral("Tolvane"));
    QVERIFY(about.ProductName()->font().bold());
    QCOMPARE(about.ProductName()->font().pixelSize(), 29);
    QCOMPARE(about.Label1()->text(), QStringLiteral("Version 2.6.3"));
    QCOMPARE(about.Label1()->font().pixelSize(), 19);
    QVERIFY(about.Comments()->wordWrap());
    QCOMPARE(about.Button1()->text(), QStringLiteral("OK"));
    QCOMPARE(about.StaticText1()->cursor().shape(), Qt::PointingHandCursor);
    // The link opens the help index, usable while the about box is open; then
    // Enter presses OK (the link gave the focus back).
    bool opened = false;
    bool enterClosed = false;
    bool okFocused = false;
    QStringList overflowing;
    QTimer::singleShot(0, &about, [&] {
      // No date is cut by the word wrap: every line of the dates fits.
      const QFontMetrics metrics(about.Comments()->font());
      for (const QString& line : about.Comments()->text().split(QLatin1Char('\n')))
        if (metrics.horizontalAdvance(line) > about.Comments()->contentsRect().width()) overflowing << line;
      // A click on the link, which leaves the focus on it.
      QLabel* link = about.StaticText1();
      QTest::mouseClick(link, Qt::LeftButton, {}, QPoint(link->contentsRect().left() + 8, link->height() / 2));
      opened = THelpViewer::Instance().isVisible() && THelpViewer::Instance().parentWidget() == &about;
      // A focused link would take Enter for itself and open the help again.
      okFocused = about.focusWidget() == about.Button1();
      QTest::keyClick(about.focusWidget(), Qt::Key_Return);
      enterClosed = !about.isVisible();
      if (!enterClosed) about.reject();
    });
    QCOMPARE(about.exec(), int(QDialog::Accepted));
    QVERIFY(okFocused);
    QVERIFY(enterClosed);
    QVERIFY2(overflowing.isEmpty(), qPrintable(overflowing.join(QLatin1Char('|'))));
    QVERIFY(opened);
    QCOMPARE(ShownFile(), QStringLiteral("index.html"));
  }

  void helpMenuOpensTheIndex() {
    ShellFixture f;
    SetHelpFolder(kSourceHelp);
    f.Main()->RunCommand("mnuContents");
    QVERIFY(THelpViewer::Instance().isVisible());
    QCOMPARE(ShownFile(), QStringLiteral("index.html"));
    QVERIFY(f.dialogs.boxes.isEmpty());
  }
};

QTEST_MAIN(HelpTest)
#include "HelpTest.moc"
