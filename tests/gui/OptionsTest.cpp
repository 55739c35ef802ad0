// The options dialog and its stored options, in a settings folder of the
// test's own: what a fresh or damaged store gives, what OK stores and applies,
// the checks of the stack and origin texts and the colour conversions.
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QSettings>
#include <QtTest>
#include <functional>

#include "app/CoreBinding.h"
#include "forms/OptionFile.h"
#include "forms/RecentFiles.h"
#include "forms/UiFonts.h"
#include "forms/dlgOption_f.h"
#include "forms/frmList_f.h"
#include "support/ShellFixture.h"

using namespace tolvane;
using namespace tolvane::forms;
using namespace tolvane::testing;

namespace {

TdlgOption* Options(ShellFixture& f) { return f.shell.Options(); }

template <class T>
T* Control(QWidget* dialog, const char* name) {
  return dialog->findChild<T*>(QString::fromLatin1(name));
}

TRadioGroup* Radio(QWidget* dialog, const char* name) { return Control<TRadioGroup>(dialog, name); }

// The stored options' group.
struct Stored : QSettings {
  Stored() : QSettings(QStringLiteral("ORVELL"), QStringLiteral("Tolvane")) { beginGroup(QStringLiteral("Option")); }
};

// The store's own text of a value (what the settings file holds).
QString Raw(const char* key) { return Stored().value(QString::fromLatin1(key)).toString(); }

// OK in the dialog as shown: stores what the controls hold.
void PressOk(TdlgOption& dialog) {
  dialog.FormShow();
  dialog.btnOKClick();
}

const QString& FailedLoad() {
  static const QString s = UiText(u8"レジストリ情報が取得できませんでしたので、適当な値で初期化します。");
  return s;
}

}  // namespace

class OptionsTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { InstallFontSubstitutions(); }

  void aFreshStoreGivesTheNoticeOnceAndHoldsTheDefaults() {
    ShellFixture f(true, false);  // nothing stored yet
    QTRY_COMPARE(f.dialogs.Texts(), QStringList({FailedLoad()}));
    QCOMPARE(f.dialogs.boxes[0].kind, BoxKind::Information);
    const std::pair<const char*, QString> want[] = {
        {"L", "0"},
        {"ST", "0800"},
        {"ORG", "0100"},
        {"SYM", "0"},
        {"DOSYM", "0"},
        {"Run", "0"},
        {"UnAsmDataToMachine", "0"},
        {"FontName", FontGothic()},
        {"FontSize", "12"},
        {"FontColor", QString::number(0xFF000008u)},
        {"BackColor", QString::number(0xFF000005u)},
        {"AutoIndent", "1"},
    };
    for (const auto& [key, value] : want) QCOMPARE(Raw(key), value);
    // The file holds AutoIndent as a number, not as a flag.
    QFile file(f.settings.File());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readAll().contains("AutoIndent=1"));
    // The next start reads them without a word.
    f.dialogs.Clear();
    TdlgOption again;
    again.LoadOptions();
    QVERIFY(f.dialogs.boxes.isEmpty());
    QCOMPARE(again.Values(), OptionValues());
  }

  void aValueThatFailsResetsEveryOption() {
    struct Case {
      const char* what;
      const char* key;
      QVariant value;  // invalid: removed
      bool fails;
    };
    const Case cases[] = {
        {"AutoIndent removed", "AutoIndent", QVariant(), true},
        {"L not a number", "L", QStringLiteral("abc"), true},
        {"FontSize not whole", "FontSize", QStringLiteral("12.5"), true},
        {"AutoIndent as a flag", "AutoIndent", QStringLiteral("true"), true},
        {"FontColor beyond 32 bits", "FontColor", QStringLiteral("4294967296"), true},
        {"ST removed reads empty", "ST", QVariant(), false},
        {"FontColor as a signed 32-bit number", "FontColor", QStringLiteral("-16777208"), false},
    };
    for (const Case& c : cases) {
      SettingsFolder folder;
      ScriptedDialogs dialogs;
      {
        Stored settings;
        OptionValues changed;
        changed.listingChoice = 1;
        changed.fontSize = 20;
        changed.originText = QStringLiteral("8000");
        WriteOptionValues(settings, changed);
        if (c.value.isValid())
          settings.setValue(QString::fromLatin1(c.key), c.value);
        else
          settings.remove(QString::fromLatin1(c.key));
      }
      QFile stored(folder.File());
      QVERIFY(stored.open(QIODevice::ReadOnly));
      const QByteArray before = stored.readAll();
      stored.close();
      TdlgOption dialog;
      dialog.LoadOptions();
      if (c.fails) {
        // The file that did not read is kept aside before the defaults replace it.
        const QString bad = folder.File() + QStringLiteral(".bad");
        QCOMPARE(dialogs.Texts(), QStringList({FailedLoad() + "\n" + UiText(u8"読めなかった") + folder.File() +
                                               UiText(u8"は") + bad + UiText(u8"に残しました。")}));
        QFile kept(bad);
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), before);
        QVERIFY(QFile::remove(bad));
        QVERIFY2(dialog.Values() == OptionValues(), c.what);
        QCOMPARE(Raw("L"), QStringLiteral("0"));  // the defaults were written back
        QCOMPARE(Raw("ORG"), QStringLiteral("0100"));
      } else {
        QVERIFY2(dialogs.boxes.isEmpty(), c.what);
        QCOMPARE(dialog.Values().listingChoice, 1);
        QCOMPARE(dialog.Values().fontSize, 20);
      }
    }
  }

  // Only a regular file of a sane size is read: a FIFO would block the start
  // for ever, a device or a huge file be read without end. The defaults are
  // used, the reason is shown, and nothing is written there. The nodes are
  // made in the test's own settings folder.
  void aStoreThatIsNotARegularFileIsNeverOpened() {
    struct Case {
      const char* what;
      std::function<bool(const QString&)> make;
      const char8_t* why;
    } cases[] = {
        {"a folder", [](const QString& p) { return QDir().mkpath(p); }, u8"はフォルダです。"},
        {"a FIFO", [](const QString& p) { return mkfifo(QFile::encodeName(p), 0600) == 0; },
         u8"は名前付きパイプです。"},
        {"a device", [](const QString& p) { return mknod(QFile::encodeName(p), S_IFCHR | 0600, makedev(1, 3)) == 0; },
         u8"はデバイスです。"},
        {"a link to a FIFO",
         [](const QString& p) {
           return mkfifo(QFile::encodeName(p + ".fifo"), 0600) == 0 && QFile::link(p + ".fifo", p);
         },
         u8"は名前付きパイプです。"},
        {"a link to nothing", [](const QString& p) { return QFile::link(p + ".gone", p); },
         u8"は存在しないファイルへのリンクです。"},
        {"a file over 1 MB",
         [](const QString& p) {
           QFile f(p);
           return f.open(QIODevice::WriteOnly) && f.resize(kMaxOptionFileBytes + 1);
         },
         u8"は大きすぎます。"},
    };
    for (const Case& c : cases) {
      if (geteuid() != 0 && QByteArray(c.what) == "a device") continue;
      SettingsFolder folder(false);
      const QString file = folder.File();  // (named before anything can block it)
      QVERIFY(QDir().mkpath(QFileInfo(file).path()));
      QVERIFY2(c.make(file), c.what);
      const QFileInfo before(file);
      ScriptedDialogs dialogs;
      TdlgOption dialog;
      dialog.LoadOptions();
      QCOMPARE(dialogs.Texts(), QStringList({FailedLoad() + "\n" + file + UiText(c.why)}));
      QVERIFY2(dialog.Values() == OptionValues(), c.what);
      // OK in the dialog refuses to write there too.
      dialogs.Clear();
      PressOk(dialog);
      QCOMPARE(dialogs.Texts(),
               QStringList({file + UiText(u8"にオプションを保存できませんでした。") + "\n" + file + UiText(c.why)}));
      // The recent files, kept in the same file, go through the same checks.
      TRecentFiles recent;
      QVERIFY2(recent.Files().isEmpty(), c.what);
      recent.Add(folder.Dir() + "/a.cas");
      const QFileInfo after(file);
      QCOMPARE(after.isSymLink(), before.isSymLink());
      QCOMPARE(after.isFile(), before.isFile());
      QCOMPARE(after.size(), before.size());
      QVERIFY2(!QFileInfo::exists(file + ".bad"), c.what);
    }
  }

  // A link to a file that does not read as options (another program's file,
  // say) is never written through, at the start nor by OK.
  void aLinkToAnotherFileIsNeverWrittenThrough() {
    SettingsFolder folder(false);
    const QString file = folder.File();
    QVERIFY(QDir().mkpath(QFileInfo(file).path()));
    const QString other = folder.Dir() + "/notes.txt";
    {
      QFile f(other);
      QVERIFY(f.open(QIODevice::WriteOnly));
      f.write("precious notes\n");
    }
    QVERIFY(QFile::link(other, file));
    ScriptedDialogs dialogs;
    TdlgOption dialog;
    dialog.LoadOptions();
    const QString why = file + UiText(u8"のリンク先はオプションのファイルではないため、書き換えません。");
    QCOMPARE(dialogs.Texts(), QStringList({FailedLoad() + "\n" + why}));
    dialogs.Clear();
    PressOk(dialog);
    QCOMPARE(dialogs.Texts(), QStringList({file + UiText(u8"にオプションを保存できませんでした。") + "\n" + why}));
    TRecentFiles().Add(folder.Dir() + "/a.cas");
    QFile f(other);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("precious notes\n"));
    QVERIFY(QFileInfo(file).isSymLink());
    // A link to a real options file is the user's choice: read and written through.
    QVERIFY(QFile::remove(other));
    {
      QSettings target(other, QSettings::IniFormat);
      target.beginGroup(QStringLiteral("Option"));
      OptionValues v;
      v.fontSize = 20;
      WriteOptionValues(target, v);
    }
    dialogs.Clear();
    dialog.LoadOptions();
    QVERIFY(dialogs.boxes.isEmpty());
    QCOMPARE(dialog.Values().fontSize, 20);
    PressOk(dialog);
    QVERIFY(dialogs.boxes.isEmpty());
    QVERIFY(QFileInfo(file).isSymLink());
  }

  void okStoresAppliesAndShowsTheChangeInTheEditor() {
    ShellFixture f;
    QVERIFY(f.Main()->OpenPath(f.Write("a.cas", "A\tB")));
    f.Editor()->PageEditor(1)->insertPlainText("x");  // modified, and stays so
    f.Editor()->PageEditor(1)->document()->setModified(false);
    TdlgOption* d = Options(f);
    d->FormShow();
    Control<QComboBox>(d, "cmbboxFontName")->setCurrentText(FontFixedSys());
    Control<QComboBox>(d, "cmbboxFontSize")->setCurrentText("20");
    f.dialogs.ColorAnswer(QColor(0x12, 0x34, 0x56));
    f.dialogs.ColorAnswer(QColor(0xFF, 0xFF, 0xE0));
    d->btnForeColorClick();
    d->btnBackColorClick();
    Radio(d, "radiogL")->SetItemIndex(1);
    Control<QLineEdit>(d, "editST")->setText("0x200");
    Control<QLineEdit>(d, "editORG")->setText("12345");
    Radio(d, "radiogDOSYM")->SetItemIndex(1);
    Radio(d, "radiogSYM")->SetItemIndex(1);
    Radio(d, "radiogRun")->SetItemIndex(1);
    Radio(d, "radiogUnAsm")->SetItemIndex(1);
    Radio(d, "radiogAutoIndent")->SetItemIndex(1);
    d->btnOKClick();
    QVERIFY(f.dialogs.boxes.isEmpty());
    // Stored, integers as integers, texts as typed.
    const std::pair<const char*, QString> want[] = {
        {"L", "1"},
        {"ST", "0x200"},
        {"ORG", "12345"},
        {"SYM", "1"},
        {"DOSYM", "1"},
        {"Run", "1"},
        {"UnAsmDataToMachine", "1"},
        {"FontName", "FixedSys"},
        {"FontSize", "20"},
        {"FontColor", QString::number(0x563412)},
        {"BackColor", QString::number(0xE0FFFF)},
        {"AutoIndent", "0"},
    };
    for (const auto& [key, value] : want) QCOMPARE(Raw(key), value);
    // Applied: the editor page shows the font and colours, keeping its modified flag.
    EditorControl* page = f.Editor()->PageEditor(1);
    QCOMPARE(page->font().family(), QStringLiteral("FixedSys"));
    QCOMPARE(page->font().pointSize(), 20);
    QCOMPARE(page->palette().color(QPalette::Text), QColor(0x12, 0x34, 0x56));
    QCOMPARE(page->palette().color(QPalette::Base), QColor(0xFF, 0xFF, 0xE0));
    QVERIFY(!page->document()->isModified());
    QVERIFY(!f.Editor()->AutoIndentOn());
    TListingEdit* listing = f.Main()->Windows().list->ListingControl(3);
    QCOMPARE(listing->font().pointSize(), 20);
    QCOMPARE(listing->palette().color(QPalette::Base), QColor(0xFF, 0xFF, 0xE0));
    // The build options and the debugger's flags.
    const BuildOptions& b = f.Main()->buildOptions;
    QCOMPARE(int(b.listing), 0);
    QCOMPARE(int(b.stackSize), 0x0200);
    QCOMPARE(int(b.origin), 0x2345);
    QCOMPARE(int(b.symbolFile), 0);
    QCOMPARE(int(b.symbolicDebug), 0);
    QVERIFY(!f.shell.Core()->Execution().ShowRegistersAfterRun());
    QVERIFY(f.shell.Core()->Execution().Disassembly().DataAsCode());
    // The next start reads the same values back.
    TdlgOption again;
    again.LoadOptions();
    QVERIFY(again.Values() == d->Values());
  }

  void cancelAndTheDefaultButtonChangeNoStoredValue() {
    ShellFixture f;
    TdlgOption* d = Options(f);
    const OptionValues before = d->Values();
    d->FormShow();
    Control<QComboBox>(d, "cmbboxFontSize")->setCurrentText("48");
    f.dialogs.ColorAnswer(QColor(Qt::red));
    d->btnForeColorClick();
    QCOMPARE(d->EditedForeColor(), quint32(0x0000FF));
    d->reject();
    QVERIFY(d->Values() == before);
    // Showing again starts from the values, not from what was cancelled.
    d->FormShow();
    QCOMPARE(d->EditedForeColor(), quint32(0xFF000008));
    QCOMPARE(Control<QComboBox>(d, "cmbboxFontSize")->currentText(), QStringLiteral("12"));
    // A cancelled colour dialog keeps the colour.
    f.dialogs.ColorAnswer(QColor());
    d->btnBackColorClick();
    QCOMPARE(d->EditedBackColor(), quint32(0xFF000005));
    // Default sets the controls only.
    Radio(d, "radiogRun")->SetItemIndex(1);
    Control<QLineEdit>(d, "editST")->setText("10");
    Control<QComboBox>(d, "cmbboxFontName")->setCurrentText(FontMincho());
    d->btnDefaultClick();
    QCOMPARE(Radio(d, "radiogRun")->ItemIndex(), 0);
    QCOMPARE(Control<QLineEdit>(d, "editST")->text(), QStringLiteral("0800"));
    QCOMPARE(Control<QLineEdit>(d, "editORG")->text(), QStringLiteral("0100"));
    QCOMPARE(Control<QComboBox>(d, "cmbboxFontName")->currentText(), FontGothic());
    QCOMPARE(d->EditedForeColor(), quint32(0xFF000008));
    QVERIFY(d->Values() == before);
    QCOMPARE(Raw("ST"), QStringLiteral("0800"));
  }

  void stackAndOriginWithoutAHexDigitAreRefusedInTheirField() {
    ShellFixture f;
    TdlgOption* d = Options(f);
    d->show();
    QCoreApplication::processEvents();
    for (const char* field : {"editST", "editORG"}) {
      for (const char* text : {"", "xyz", "  ", "-1", "x10"}) {
        d->FormShow();
        f.dialogs.Clear();
        QLineEdit* edit = Control<QLineEdit>(d, field);
        edit->setText(QString::fromLatin1(text));
        d->btnOKClick();
        QCOMPARE(f.dialogs.Texts(),
                 QStringList({QString::fromLatin1(text) + UiText(u8"は正しいデータではありません。")}));
        QCOMPARE(f.dialogs.boxes[0].kind, BoxKind::Error);
        QVERIFY(d->isVisible());
        QCOMPARE(QApplication::focusWidget(), edit);
        QCOMPARE(Raw(field == std::string("editST") ? "ST" : "ORG"),
                 QString::fromLatin1(field == std::string("editST") ? "0800" : "0100"));
      }
    }
    d->hide();
    // What the conversion accepts stays accepted.
    struct Case {
      const char* text;
      int value;
    } accepted[] = {{"8000", 0x8000}, {"0x200", 0x0200}, {"12345", 0x2345}, {"  ff", 0x00FF}, {"0X1aG", 0x001A},
                    {"0", 0},         {"0xg", 0},        {"0x", 0},         {"1 2", 1}};
    for (const Case& c : accepted) {
      Word value = 0xBEEF;
      QVERIFY2(HexOptionValue(QString::fromLatin1(c.text), value), c.text);
      QCOMPARE(int(value), c.value);
    }
  }

  void namesAndSizesOutsideTheListsAndTheSymbolFileRule() {
    ShellFixture f;
    {
      Stored settings;
      settings.setValue(QStringLiteral("FontName"), QStringLiteral("Arial"));
      settings.setValue(QStringLiteral("FontSize"), 13);
    }
    TdlgOption* d = Options(f);
    d->LoadOptions();
    d->FormShow();
    QCOMPARE(Control<QComboBox>(d, "cmbboxFontName")->currentText(), FontGothic());
    QCOMPARE(Control<QComboBox>(d, "cmbboxFontSize")->currentText(), QStringLiteral("12"));
    d->btnOKClick();
    QCOMPARE(Raw("FontName"), FontGothic());
    QCOMPARE(Raw("FontSize"), QStringLiteral("12"));
    // A size far off selects the nearest one.
    d->FormShow();
    {
      Stored settings;
      settings.setValue(QStringLiteral("FontSize"), 100);
    }
    d->LoadOptions();
    d->FormShow();
    QCOMPARE(Control<QComboBox>(d, "cmbboxFontSize")->currentText(), QStringLiteral("72"));
    // A size no font should have is not applied: the pages keep a readable 12.
    for (int size : {5000, 0, -3, 7, 73}) {
      {
        Stored settings;
        settings.setValue(QStringLiteral("FontSize"), size);
      }
      d->LoadOptions();
      d->ApplyOptions();
      QCOMPARE(f.Editor()->PageEditor(1)->font().pointSize(), 12);
      QCOMPARE(f.Main()->Windows().list->ListingControl(1)->font().pointSize(), 12);
    }
    // Symbolic debugging needs the symbol file; without it the file may go.
    Radio(d, "radiogDOSYM")->SetItemIndex(1);
    Radio(d, "radiogSYM")->SetItemIndex(1);
    d->radiogSYMClick();
    QCOMPARE(Radio(d, "radiogSYM")->ItemIndex(), 1);
    Radio(d, "radiogDOSYM")->SetItemIndex(0);
    d->radiogDOSYMClick();
    QCOMPARE(Radio(d, "radiogSYM")->ItemIndex(), 0);
  }

  void colourValuesConvertBothWays() {
    struct Case {
      quint32 stored;
      QColor color;
    } cases[] = {
        {0x000000FF, QColor(255, 0, 0)},
        {0x00FF0000, QColor(0, 0, 255)},
        {0x00563412, QColor(0x12, 0x34, 0x56)},
        {0xFF000008, QApplication::palette().color(QPalette::Text)},
        {0xFF000005, QApplication::palette().color(QPalette::Base)},
        {0xFF000063, QColor()},  // no such system colour
    };
    for (const Case& c : cases) QCOMPARE(ColorFromOption(c.stored), c.color);
    QCOMPARE(OptionFromColor(QColor(0x12, 0x34, 0x56)), quint32(0x00563412));
    QCOMPARE(OptionFromColor(QColor::fromHsv(0, 255, 255)), quint32(0x000000FF));
  }

  void aFailedWriteIsReported() {
    ShellFixture f;
    TdlgOption* d = Options(f);
    // The settings file becomes a folder: nothing can be written any more.
    const QString file = f.settings.File();
    QVERIFY(QFile::remove(file));
    QVERIFY(QDir().mkpath(file));
    d->FormShow();
    Control<QComboBox>(d, "cmbboxFontSize")->setCurrentText("16");
    d->btnOKClick();
    QCOMPARE(f.dialogs.Texts(), QStringList({file + UiText(u8"にオプションを保存できませんでした。") + "\n" + file +
                                             UiText(u8"はフォルダです。")}));
    QCOMPARE(f.dialogs.boxes[0].kind, BoxKind::Error);
    // The choice still holds for this session.
    QCOMPARE(f.Editor()->PageEditor(1)->font().pointSize(), 16);
  }
};

QTEST_MAIN(OptionsTest)
#include "OptionsTest.moc"
