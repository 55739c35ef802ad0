// The IDE's part of the typed-text table: the memory and register dialogs read
// a value by the same rule as `tolvane-cli debug` and the adapter, the add
// breakpoint dialog refuses register names as labels, and the options read
// their stack and origin by their own lenient rule.
#include <QLineEdit>
#include <QtTest>

#include "../common/TypedTextCases.h"
#include "app/CoreBinding.h"
#include "debugger/ExecutionControl.h"
#include "forms/Utf8.h"
#include "forms/dlgAddBreakPoint_f.h"
#include "forms/dlgMemoryDataChange_f.h"
#include "forms/dlgOption_f.h"
#include "forms/dlgRegisterDataChange_f.h"
#include "support/ShellFixture.h"

using namespace tolvane;
using namespace tolvane::forms;
using namespace tolvane::testing;

namespace {

// MAIN LAD GR2,0 / RET / X DS 1, loaded at 0100H: X is 0103H.
const char kProgram[] = "MAIN\tSTART\r\n\tLAD\tGR2,0\r\n\tRET\r\nX\tDS\t1\r\n\tEND\r\n";

}  // namespace

class TypedTextTest : public QObject {
  Q_OBJECT

  struct Session {
    ShellFixture f{false};
    Session() {
      const QString src = f.Write(QStringLiteral("t.cas"), kProgram);
      if (!f.Main()->OpenPath(src)) QTest::qFail("open", __FILE__, __LINE__);
      f.Main()->RunCommand("mnuBuild");
      f.dialogs.Clear();
      f.Main()->RunCommand("mnuDebugStart");
      QCoreApplication::processEvents();
    }
    debugger::ExecutionControl& Core() const { return f.shell.Core()->Execution(); }
    // Submits the dialog with the name and text; the text of its box, if any.
    QString Submit(TDataChangeDialog* dialog, const QString& name, const QString& text) {
      f.dialogs.Clear();
      dialog->Prepare(name, text);
      dialog->btnOkClick();
      return f.dialogs.boxes.isEmpty() ? QString() : f.dialogs.boxes[0].text;
    }
  };

 private slots:
  void valuesInTheChangeDialogs() {
    Session s;
    auto* memory = s.f.Main()->findChild<TdlgMemoryDataChange*>();
    auto* reg = s.f.Main()->findChild<TdlgRegisterDataChange*>();
    QVERIFY(memory && reg);
    for (const typed::ValueCase& c : typed::ValueCases()) {
      const QString text = QString::fromLatin1(c.text);
      s.Core().SetRegister(Register::GR1, 0x1111);
      s.Core().SetMemory(0x0103, 0x1111);
      const QString byRegister = s.Submit(reg, QStringLiteral("GR1"), text);
      const BoxKind registerKind = s.f.dialogs.boxes.isEmpty() ? BoxKind::Information : s.f.dialogs.boxes[0].kind;
      const QString byMemory = s.Submit(memory, QStringLiteral("0103"), text);
      if (c.value) {
        QVERIFY2(byRegister.isEmpty() && byMemory.isEmpty(), c.text);
        QCOMPARE(s.Core().Cpu().GetRegister(1), *c.value);
        QCOMPARE(s.Core().Mem()[0x0103], *c.value);
      } else {
        const QString refused = text + UiText(u8"は正しいデータではありません。");
        QCOMPARE(byRegister, refused);
        QCOMPARE(byMemory, refused);
        QCOMPARE(registerKind, BoxKind::Error);
        QCOMPARE(s.Core().Cpu().GetRegister(1), Word{0x1111});
        QCOMPARE(s.Core().Mem()[0x0103], Word{0x1111});
      }
    }
    // FR: a value first (error), then one of the six flag combinations (warning).
    QCOMPARE(s.Submit(reg, QStringLiteral("FR"), QStringLiteral("-1")), UiText(u8"-1は正しいデータではありません。"));
    QCOMPARE(s.f.dialogs.boxes[0].kind, BoxKind::Warning);
    QCOMPARE(s.Submit(reg, QStringLiteral("FR"), QStringLiteral("#5")), UiText(u8"#5は正しいデータではありません。"));
    QCOMPARE(s.f.dialogs.boxes[0].kind, BoxKind::Warning);
    QCOMPARE(s.Submit(reg, QStringLiteral("FR"), QStringLiteral("110")), QString());
    QCOMPARE(s.Core().Cpu().GetFR(), Word{6});
  }

  void registerNamesAreNoLabels() {
    Session s;
    auto* add = s.f.Main()->findChild<TdlgAddBreakPoint*>();
    QVERIFY(add);
    add->SetItemIndex(0);  // by label
    for (const typed::LabelCase& c : typed::LabelCases()) {
      s.f.dialogs.Clear();
      add->Edit()->setText(QString::fromLatin1(c.text));
      add->btnOkClick();
      QCOMPARE(s.f.dialogs.Texts(),
               QStringList({c.wellFormed ? UiText(u8"このラベルは存在しません。")
                                         : UiText(u8"ラベルとして正しくありません。もう一度入力してください。")}));
    }
    QCOMPARE(s.Core().Breakpoints().Count(), 0);
  }

  void optionsReadTheirOwnRule() {
    for (const typed::ValueCase& c : typed::ValueCases()) {
      Word w = 0x7777;
      const bool ok = HexOptionValue(QString::fromLatin1(c.text), w);
      QCOMPARE(ok, c.options.has_value());
      if (ok) QCOMPARE(w, *c.options);
    }
  }
};

QTEST_MAIN(TypedTextTest)
#include "TypedTextTest.moc"
