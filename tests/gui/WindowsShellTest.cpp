// The smaller windows: the splash, the trace window, the debug window's shell
// and the dialogs that later work fills in; their names and captions are what
// start-up and the tests of other windows look them up by.
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTextEdit>
#include <QtTest>
#include <memory>

#include "forms/Debug_f.h"
#include "forms/Utf8.h"
#include "forms/dlgAbout_f.h"
#include "forms/dlgAddBreakPoint_f.h"
#include "forms/dlgAddWatch_f.h"
#include "forms/dlgBreakPoint_f.h"
#include "forms/dlgMemoryDataChange_f.h"
#include "forms/dlgOption_f.h"
#include "forms/dlgProject_f.h"
#include "forms/dlgRegisterDataChange_f.h"
#include "forms/dlgUnAsmInfo_f.h"
#include "forms/dlgWatch_f.h"
#include "forms/frmDebug_f.h"
#include "forms/frmList_f.h"
#include "forms/frmMessage_f.h"
#include "forms/frmSplash_f.h"
#include "forms/frmStandardIo_f.h"

using namespace tolvane::forms;

class WindowsShellTest : public QObject {
  Q_OBJECT

 private slots:
  void dialogsHaveTheirNamesAndCaptions() {
    struct Case {
      std::unique_ptr<QDialog> dialog;
      const char* name;
      const char8_t* caption;
    };
    Case cases[] = {
        {std::make_unique<TdlgUnAsmInfo>(), "dlgUnAsmInfo", u8"情報"},
        {std::make_unique<TdlgAbout>(), "dlgAbout", u8"ﾊﾞｰｼﾞｮﾝ情報"},
        {std::make_unique<TdlgAddBreakPoint>(), "dlgAddBreakPoint", u8"ブレークポイントの追加"},
        {std::make_unique<TdlgOption>(), "dlgOption", u8"オプション"},
        {std::make_unique<TdlgProject>(), "dlgProject", u8"プロジェクトの管理"},
        {std::make_unique<TdlgAddWatch>(), "dlgAddWatch", u8"ウォッチ式の追加"},
        {std::make_unique<TdlgBreakPoint>(), "dlgBreakPoint", u8"BreakPoint"},
        {std::make_unique<TdlgMemoryDataChange>(), "dlgMemoryDataChange", u8"メモリの変更"},
        {std::make_unique<TdlgRegisterDataChange>(), "dlgRegisterDataChange", u8"レジスタの変更"},
        {std::make_unique<TdlgWatch>(), "dlgWatch", u8"Watch"},
    };
    for (const Case& c : cases) {
      QCOMPARE(c.dialog->objectName(), QString::fromLatin1(c.name));
      QCOMPARE(c.dialog->windowTitle(), UiText(c.caption));
      QVERIFY(c.dialog->isModal());
      QVERIFY(!c.dialog->isVisible());
    }
  }

  void floatingWindowsStayBelowTheScreenTop() {
    TfrmMessage message;
    TfrmList list;
    TfrmStandardIo console;
    for (QDockWidget* window :
         {static_cast<QDockWidget*>(&message), static_cast<QDockWidget*>(&list), static_cast<QDockWidget*>(&console)}) {
      window->show();
      QVERIFY(window->isFloating());
      const int top = window->screen()->availableGeometry().top();
      window->move(40, top - 30);
      QTRY_COMPARE(window->y(), top);
      QCOMPARE(window->x(), 40);
      window->move(40, top + 20);
      QCOMPARE(window->y(), top + 20);
    }
  }

  void debugWindowShell() {
    TfrmDebug window;
    QCOMPARE(window.objectName(), QStringLiteral("frmDebug"));
    QCOMPARE(window.windowTitle(), UiText(u8"デバッグウインドウ"));
    QVERIFY(window.Panel1());
    QCOMPARE(window.Panel1()->objectName(), QStringLiteral("Panel1"));
    QVERIFY(window.Panel1()->isHidden());
  }

  void splash() {
    TfrmSplash splash;
    QCOMPARE(splash.objectName(), QStringLiteral("frmSplash"));
    QCOMPARE(splash.size(), QSize(354, 263));
    QVERIFY(splash.windowFlags() & Qt::WindowStaysOnTopHint);
    QVERIFY(splash.windowFlags() & Qt::FramelessWindowHint);
    QCOMPARE(splash.ProductName()->text(), QStringLiteral("Tolvane"));
    QVERIFY(splash.ProductName()->font().bold());
    QCOMPARE(splash.ProductName()->font().pixelSize(), 35);
    QCOMPARE(splash.Version()->text(), QStringLiteral("Version 2.6.3"));
    auto* picture = splash.findChild<QLabel*>(QStringLiteral("ProgramIcon"));
    QVERIFY(picture);
    QCOMPARE(picture->pixmap().size(), QSize(141, 148));
    splash.ShowCentred();
    QVERIFY(splash.isVisible());
  }

  void traceWindow() {
    TDebug trace;
    QCOMPARE(trace.objectName(), QStringLiteral("Debug"));
    QCOMPARE(trace.windowTitle(), QStringLiteral("Debug Window"));
    QCOMPARE(trace.size(), QSize(500, 365));
    QVERIFY(trace.windowFlags() & Qt::WindowStaysOnTopHint);
    QCOMPARE(trace.btnClear()->text(), UiText(u8"クリア"));
    QCOMPARE(trace.btnOk()->text(), QStringLiteral("OK"));
    QCOMPARE(trace.reditDebug()->objectName(), QStringLiteral("reditDebug"));
    QCOMPARE(trace.reditDebug()->lineWrapMode(), QTextEdit::NoWrap);
    trace.show();
    trace.Trace(QStringLiteral("line"));
    QCOMPARE(trace.reditDebug()->toPlainText(), QStringLiteral("line"));
    QTest::mouseClick(trace.btnClear(), Qt::LeftButton);
    QVERIFY(trace.reditDebug()->toPlainText().isEmpty());
    QTest::mouseClick(trace.btnOk(), Qt::LeftButton);
    QVERIFY(!trace.isVisible());
  }
};

QTEST_MAIN(WindowsShellTest)
#include "WindowsShellTest.moc"
