// The listing viewer: loading listings into pages, closing them, the caret
// column, the front page, the popup menu and the print target.
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QtTest>
#include <fstream>

#include "common/Cp932.h"
#include "forms/Utf8.h"
#include "forms/frmList_f.h"

using namespace tolvane;
using namespace tolvane::forms;

namespace {

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out << bytes;
}

}  // namespace

class ListingViewerTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<TfrmList> viewer_;
  std::unique_ptr<QTemporaryDir> dir_;

  std::string Path(const char* name) const { return dir_->filePath(QString::fromUtf8(name)).toStdString(); }

  // Writes name.lst with `text` (CP932 bytes) and returns the path of name.cas.
  std::string Listing(const char* name, const std::string& text) {
    WriteBytes(Path(name) + ".lst", text);
    return Path(name) + ".cas";
  }

  bool TabVisible(int k) const { return viewer_->PageControl1()->isTabVisible(k - 1); }

 private slots:
  void init() {
    dir_ = std::make_unique<QTemporaryDir>();
    viewer_ = std::make_unique<TfrmList>();
    viewer_->resize(700, 500);
    viewer_->show();
  }
  void cleanup() {
    viewer_.reset();
    dir_.reset();
  }

  void startsEmpty() {
    QCOMPARE(viewer_->objectName(), QStringLiteral("frmList"));
    QCOMPARE(viewer_->windowTitle(), UiText(u8"リスティングファイル"));
    QCOMPARE(viewer_->PageControl1()->objectName(), QStringLiteral("PageControl1"));
    QCOMPARE(viewer_->PageControl1()->count(), 10);
    for (int k = 1; k <= 10; ++k) {
      QCOMPARE(viewer_->ListingControl(k)->objectName(), QStringLiteral("reditList%1").arg(k));
      QCOMPARE(viewer_->PageControl1()->widget(k - 1)->objectName(), QStringLiteral("TabSheet%1").arg(k));
      QVERIFY(viewer_->ListingControl(k)->isReadOnly());
      QVERIFY(viewer_->ListingControl(k)->isHidden());
      QVERIFY(!TabVisible(k));
    }
    QVERIFY(!viewer_->ListingControl(0));
    QVERIFY(!viewer_->ListingControl(11));
    QCOMPARE(viewer_->ActiveListing(), 0);
    QCOMPARE(viewer_->StatusBar1()->objectName(), QStringLiteral("StatusBar1"));
    QCOMPARE(viewer_->StatusPanel(0)->width(), 200);
    QCOMPARE(viewer_->StatusPanel(1)->width(), 50);
    QCOMPARE(viewer_->pmnuList()->objectName(), QStringLiteral("pmnuList"));
    QCOMPARE(viewer_->pmnuPrint()->text(), UiText(u8"印刷(&P)"));
    QVERIFY(!viewer_->pmnuPrint()->isEnabled());
    QVERIFY(!viewer_->pmnuCopy()->isEnabled());
  }

  void threeListingsThreeTabsFirstInFront() {
    QVERIFY(viewer_->OpenListing(Listing("one", "ONE\r\n")));
    QVERIFY(viewer_->OpenListing(Listing("two", Cp932Text(u8"TWO\tコメント\r\nsecond\r\n"))));
    QVERIFY(viewer_->OpenListing(Listing("three", "THREE")));
    QCOMPARE(viewer_->ListingCount(), 3);
    QCOMPARE(viewer_->ActiveListing(), 1);
    QCOMPARE(viewer_->PageControl1()->currentIndex(), 0);
    const QStringList names{QStringLiteral("one.lst"), QStringLiteral("two.lst"), QStringLiteral("three.lst")};
    for (int k = 1; k <= 3; ++k) {
      QVERIFY(TabVisible(k));
      QVERIFY(!viewer_->ListingControl(k)->isHidden());
      QCOMPARE(viewer_->PageControl1()->tabText(k - 1), names[k - 1]);
    }
    QVERIFY(!TabVisible(4));
    QCOMPARE(viewer_->ListingControl(2)->toPlainText(), UiText(u8"TWO\tコメント\nsecond\n"));
    QCOMPARE(viewer_->ListingControl(3)->toPlainText(), QStringLiteral("THREE"));

    // Building again replaces the tabs.
    viewer_->CloseListings();
    QCOMPARE(viewer_->ListingCount(), 0);
    QCOMPARE(viewer_->ActiveListing(), 0);
    QVERIFY(viewer_->StatusPanel(0)->text().isEmpty());
    for (int k = 1; k <= 3; ++k) {
      QVERIFY(!TabVisible(k));
      QVERIFY(viewer_->ListingControl(k)->isHidden());
      QVERIFY(viewer_->ListingControl(k)->toPlainText().isEmpty());
      QVERIFY(viewer_->PageControl1()->tabText(k - 1).isEmpty());
    }
    QVERIFY(viewer_->OpenListing(Listing("four", "FOUR")));
    QCOMPARE(viewer_->PageControl1()->tabText(0), QStringLiteral("four.lst"));
    QCOMPARE(viewer_->ListingControl(1)->toPlainText(), QStringLiteral("FOUR"));
  }

  void japaneseFileNameAndMissingListing() {
    // Paths are handed over as the file-system bytes the assembler wrote the
    // listing under; the listing's text is CP932.
    QDir(dir_->path()).mkdir(UiText(u8"作業"));
    const QByteArray folder = QFile::encodeName(dir_->filePath(UiText(u8"作業")));
    const std::string source = folder.toStdString() + QFile::encodeName(UiText(u8"/表.cas")).toStdString();
    WriteBytes(folder.toStdString() + QFile::encodeName(UiText(u8"/表.lst")).toStdString(), Cp932Text(u8"表"));
    QVERIFY(viewer_->OpenListing(source));
    QCOMPARE(viewer_->PageControl1()->tabText(0), UiText(u8"表.lst"));
    QCOMPARE(viewer_->ListingControl(1)->toPlainText(), UiText(u8"表"));
    // No listing written (the assembly stopped early): no page is taken.
    QVERIFY(!viewer_->OpenListing(Path("missing") + ".cas"));
    QCOMPARE(viewer_->ListingCount(), 1);
    QVERIFY(!TabVisible(2));
  }

  void atMostTenListings() {
    for (int k = 1; k <= 10; ++k) QVERIFY(viewer_->OpenListing(Listing(qPrintable(QString::number(k)), "L")));
    QVERIFY(!viewer_->OpenListing(Listing("eleven", "L")));
    QCOMPARE(viewer_->ListingCount(), 10);
    QCOMPARE(viewer_->PageControl1()->tabText(9), QStringLiteral("10.lst"));
  }

  void longListingIsShownWhole() {
    // Past a million characters, as a 20,000-line build writes; the summary at
    // the end must still be there.
    std::string big;
    for (int i = 0; i < 25000; ++i)
      big += "   " + std::to_string(i) + " 0000 1234 5678\tLD\tGR1,DATA,GR2   ; padding the line out\r\n";
    big += "0 Errors\r\n";
    QVERIFY(big.size() > 1048576);
    QVERIFY(viewer_->OpenListing(Listing("big", big)));
    const QString shown = viewer_->ListingControl(1)->toPlainText();
    QVERIFY(shown.endsWith(QStringLiteral("0 Errors\n")));
    QCOMPARE(shown.count(QLatin1Char('\n')), 25001);
  }

  void caretColumnExpandsTabs() {
    struct Case {
      const char8_t* line;
      int chars;
      int column;
    };
    const Case cases[] = {
        {u8"\tLD GR1", 1, 9},                          // just after a leading tab
        {u8"\tLD GR1", 0, 1},     {u8"ABC\tX", 4, 9},  // a tab after three characters still ends at 8
        {u8"ABCDEFGH\tX", 9, 17}, {u8"あ\tX", 2, 9},   // a double-byte character takes two cells
        {u8"あい", 2, 5},         {u8"ｱ", 1, 2},       // half-width katakana takes one
    };
    for (const Case& c : cases) QCOMPARE(TfrmList::CaretColumn(UiText(c.line), c.chars), c.column);
  }

  void statusShowsTheCaretPosition() {
    QVERIFY(viewer_->OpenListing(Listing("pos", "first\r\n\tsecond\r\n")));
    QTextCursor cursor(viewer_->ListingControl(1)->document()->findBlockByNumber(1));
    cursor.movePosition(QTextCursor::Right);
    viewer_->ListingControl(1)->setTextCursor(cursor);
    QCOMPARE(viewer_->StatusPanel(0)->text(), QStringLiteral("2: 9"));
    QCOMPARE(viewer_->CaretPositionText(), QStringLiteral("2: 9"));
  }

  void changingTheFrontPage() {
    QVERIFY(viewer_->OpenListing(Listing("p1", "one")));
    QVERIFY(viewer_->OpenListing(Listing("p2", "two\r\nlines")));
    viewer_->PageControl1()->setCurrentIndex(1);
    QCOMPARE(viewer_->ActiveListing(), 2);
    QCOMPARE(viewer_->StatusPanel(0)->text(), QStringLiteral("1: 1"));
    viewer_->ActivatePage(1);
    QCOMPARE(viewer_->ActiveListing(), 1);
    viewer_->ActivatePage(5);  // no such listing
    QCOMPARE(viewer_->ActiveListing(), 1);
  }

  void tabStopsEveryEightCells() {
    QVERIFY(viewer_->OpenListing(Listing("tabs", "x")));
    TListingEdit* edit = viewer_->ListingControl(1);
    const qreal space = QFontMetricsF(edit->font()).horizontalAdvance(QLatin1Char(' '));
    QCOMPARE(edit->tabStopDistance(), 8 * space);
    // Changing the font and resetting the stops keeps caret and modified flag.
    QTextCursor cursor = edit->textCursor();
    cursor.setPosition(1);
    edit->setTextCursor(cursor);
    edit->document()->setModified(true);
    QFont bigger = edit->font();
    bigger.setPixelSize(24);
    edit->setFont(bigger);
    viewer_->SetListingTabStops(1);
    QCOMPARE(edit->tabStopDistance(), 8 * QFontMetricsF(bigger).horizontalAdvance(QLatin1Char(' ')));
    QCOMPARE(edit->textCursor().position(), 1);
    QVERIFY(edit->document()->isModified());
  }

  void losingTheFocusMakesItThePrintTarget() {
    QVERIFY(viewer_->OpenListing(Listing("focus", "x")));
    QWidget other;
    auto* edit = new QLineEdit(&other);
    other.show();
    QSignalSpy target(viewer_.get(), &TfrmList::printTargetChanged);
    viewer_->activateWindow();
    viewer_->ListingControl(1)->setFocus();
    QTRY_VERIFY(viewer_->ListingControl(1)->hasFocus());
    QCOMPARE(viewer_->StatusPanel(0)->text(), QStringLiteral("1: 1"));
    other.activateWindow();
    edit->setFocus();
    QTRY_COMPARE(target.count(), 1);
    QCOMPARE(target.at(0).at(0).toInt(), 2);
  }

  void popupMenu() {
    // Without a listing the items do nothing.
    viewer_->pmnuSelectAllClick();
    QVERIFY(!viewer_->pmnuCopy()->isEnabled());
    QVERIFY(viewer_->OpenListing(Listing("menu", "abc\r\ndef")));
    viewer_->pmnuListPopup();
    QVERIFY(!viewer_->pmnuCopy()->isEnabled());
    viewer_->pmnuSelectAll()->trigger();
    QVERIFY(viewer_->pmnuCopy()->isEnabled());
    viewer_->pmnuCopy()->trigger();
    QVERIFY(!viewer_->pmnuCopy()->isEnabled());
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("abc\ndef"));
    const QTextCursor cursor = viewer_->ListingControl(1)->textCursor();
    QVERIFY(!cursor.hasSelection());
    QCOMPARE(cursor.position(), 0);  // collapsed to its start

    QSignalSpy target(viewer_.get(), &TfrmList::printTargetChanged);
    QSignalSpy print(viewer_.get(), &TfrmList::printRequested);
    viewer_->pmnuPrintClick();
    QCOMPARE(target.count(), 1);
    QCOMPARE(target.at(0).at(0).toInt(), 2);
    QCOMPARE(print.count(), 1);
  }
};

QTEST_MAIN(ListingViewerTest)
#include "ListingViewerTest.moc"
