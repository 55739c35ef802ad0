// The source editor's files when things go wrong: a full disk, a file changed
// by another program, files that are no text to edit, names that are not UTF-8.
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QTextBlock>
#include <QtTest>

#include "common/BinaryIo.h"
#include "forms/UiFonts.h"
#include "support/ShellFixture.h"

using namespace tolvane;
using namespace tolvane::forms;
using namespace tolvane::testing;

namespace {

void SetText(QPlainTextEdit* e, const QString& text) {
  e->selectAll();
  e->insertPlainText(text);
}

// While it lives, writing a file beyond `bytes` fails (EFBIG) as it would on a
// full disk; the signal that comes with it is ignored.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &old_);
    oldHandler_ = signal(SIGXFSZ, SIG_IGN);
    rlimit limit{bytes, old_.rlim_max};
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &old_);
    signal(SIGXFSZ, oldHandler_);
  }

 private:
  rlimit old_{};
  sighandler_t oldHandler_;
};

// Fills the file system holding `folder` to the last byte.
void FillUp(const QString& folder) {
  QFile filler(QDir(folder).filePath(QStringLiteral("filler")));
  if (!filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) return;
  const QByteArray block(4096, 'F');
  while (filler.write(block) == block.size()) {
  }
  // The last partial page too.
  while (filler.write(block.left(1)) == 1) {
  }
}

// Another program rewrites the file: new contents, and a modification time
// that differs even on a file system with coarse timestamps.
void ChangeBehindTheEditor(const QString& path, const QByteArray& bytes) {
  static int tick = 0;
  QFile f(path);
  if (f.open(QIODevice::WriteOnly | QIODevice::Truncate)) f.write(bytes);
  f.close();
  const timespec times[2] = {{0, UTIME_OMIT}, {1000000000 + ++tick, 0}};
  utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0);
}

QStringList FilesIn(const QString& folder) {
  QStringList names = QDir(folder).entryList(QDir::Files | QDir::Hidden);
  names.removeAll(QStringLiteral("filler"));
  return names;
}

}  // namespace

class EditorFilesTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { InstallFontSubstitutions(); }

  // A save that cannot write every byte keeps the old file, says so, and leaves
  // the page modified, so that quitting still asks.
  void saveOnAFullDiskKeepsTheOldFile_data() {
    QTest::addColumn<bool>("fileSystem");
    QTest::addColumn<int>("size");
    // A short text stays in a write buffer until the very end; a long one fails early.
    QTest::newRow("file size limit, short text") << false << 3000;
    QTest::newRow("file size limit, long text") << false << 40000;
    QTest::newRow("full file system, short text") << true << 3000;
    QTest::newRow("full file system, long text") << true << 40000;
  }
  void saveOnAFullDiskKeepsTheOldFile() {
    QFETCH(bool, fileSystem);
    QFETCH(int, size);
    ShellFixture f;
    TfrmEditor* e = f.Editor();
    QString folder = f.Dir();
    if (fileSystem) {
      // A small file system of its own, mounted by the test's wrapper script.
      folder = qEnvironmentVariable("TOLVANE_SMALL_FS");
      if (folder.isEmpty()) QSKIP("no small file system to fill (TOLVANE_SMALL_FS unset)");
    }
    const QString path = QDir(folder).filePath(QStringLiteral("full.cas"));
    {
      QFile old(path);
      QVERIFY(old.open(QIODevice::WriteOnly));
      old.write("OLD\r\n");
    }
    QVERIFY(e->OpenFile(path));
    SetText(e->PageEditor(1), QString(size, QLatin1Char('N')));
    bool saved;
    {
      std::unique_ptr<FileSizeLimit> limit;
      if (fileSystem)
        FillUp(folder);
      else
        limit = std::make_unique<FileSizeLimit>(1000);
      f.Main()->RunCommand(QStringLiteral("mnuSave"));
      saved = !e->PageModified(1);
    }
    QFile::remove(QDir(folder).filePath(QStringLiteral("filler")));
    QVERIFY(!saved);
    QCOMPARE(f.dialogs.plain.size(), 1);
    QVERIFY2(f.dialogs.plain[0].startsWith(path), qPrintable(f.dialogs.plain[0]));
    QCOMPARE(f.Read(path), QByteArray("OLD\r\n"));
    QCOMPARE(FilesIn(folder), QStringList({QStringLiteral("full.cas")}));
    // Quitting asks about the unsaved page.
    f.dialogs.Answer(BoxAnswer::Cancel);
    QVERIFY(!e->QueryClose());
    QCOMPARE(f.dialogs.boxes.size(), 1);
    QVERIFY(e->PageModified(1));
    if (fileSystem) QFile::remove(path);
  }

  // A save over a file that another program changed since the page read it
  // asks first; No keeps the other program's text on disk and the page modified.
  void saveAsksBeforeOverwritingAFileChangedOnDisk() {
    ShellFixture f;
    TfrmEditor* e = f.Editor();
    const QString path = f.Write("a.cas", "MINE");
    QVERIFY(e->OpenFile(path));
    SetText(e->PageEditor(1), "EDITED");
    ChangeBehindTheEditor(path, "THEIRS");
    f.dialogs.Answer(BoxAnswer::No);
    QVERIFY(!e->SaveCurrent());
    QCOMPARE(f.dialogs.Texts(),
             QStringList({path + UiText(u8"は他のプログラムによって変更されています。上書きしますか？")}));
    QCOMPARE(f.Read(path), QByteArray("THEIRS"));
    QVERIFY(e->PageModified(1));
    // Yes writes; after that, saving again asks nothing.
    f.dialogs.Answer(BoxAnswer::Yes);
    QVERIFY(e->SaveCurrent());
    QCOMPARE(f.Read(path), QByteArray("EDITED"));
    SetText(e->PageEditor(1), "AGAIN");
    QVERIFY(e->SaveCurrent());
    QCOMPARE(f.dialogs.boxes.size(), 2);
    // Save All and the question when closing ask the same way.
    SetText(e->PageEditor(1), "ALL");
    ChangeBehindTheEditor(path, "THEIRS2");
    f.dialogs.Answer(BoxAnswer::No);
    QVERIFY(!e->SaveAll());
    f.dialogs.Answer(BoxAnswer::Yes);  // save changes?
    f.dialogs.Answer(BoxAnswer::No);   // overwrite?
    QVERIFY(!e->CloseAll());
    QCOMPARE(e->OpenCount(), 1);
    QCOMPARE(f.Read(path), QByteArray("THEIRS2"));
    // A file deleted meanwhile is simply written again.
    QFile::remove(path);
    QVERIFY(e->SaveCurrent());
    QCOMPARE(f.Read(path), QByteArray("ALL"));
    QVERIFY(f.dialogs.unexpected.isEmpty());
  }

  // An unmodified page is offered the new text once per change; a modified
  // page is left alone until it is saved.
  void anUnmodifiedPageIsOfferedAReload() {
    ShellFixture f;
    TfrmEditor* e = f.Editor();
    const QString a = f.Write("a.cas", "L1\r\nL2\r\nL3");
    const QString b = f.Write("b.cas", "B");
    QVERIFY(e->OpenFile(a));
    QVERIFY(e->OpenFile(b));
    e->CheckFilesChangedOnDisk();
    QVERIFY(f.dialogs.boxes.isEmpty());
    QTextCursor c(e->PageEditor(1)->document()->findBlockByNumber(1));
    e->PageEditor(1)->setTextCursor(c);
    SetText(e->PageEditor(2), "B EDITED");
    ChangeBehindTheEditor(a, "N1\r\nN2\r\nN3\r\nN4");
    ChangeBehindTheEditor(b, "B THEIRS");
    f.dialogs.Answer(BoxAnswer::Yes);
    e->CheckFilesChangedOnDisk();
    QCOMPARE(f.dialogs.Texts(),
             QStringList({a + UiText(u8"は他のプログラムによって変更されました。再読み込みしますか？")}));
    QCOMPARE(e->PageEditor(1)->toPlainText(), QStringLiteral("N1\nN2\nN3\nN4"));
    QVERIFY(!e->PageModified(1));
    QCOMPARE(e->PageEditor(1)->textCursor().blockNumber(), 1);  // the caret stays on its line
    QCOMPARE(e->PageEditor(2)->toPlainText(), QStringLiteral("B EDITED"));
    // No keeps the text, and the same change is not offered again ...
    ChangeBehindTheEditor(a, "X");
    f.dialogs.Answer(BoxAnswer::No);
    e->CheckFilesChangedOnDisk();
    e->CheckFilesChangedOnDisk();
    QCOMPARE(f.dialogs.boxes.size(), 2);
    QCOMPARE(e->PageEditor(1)->toPlainText(), QStringLiteral("N1\nN2\nN3\nN4"));
    // ... but saving over it still asks.
    SetText(e->PageEditor(1), "MINE");
    e->ActivatePage(1);
    f.dialogs.Answer(BoxAnswer::No);
    QVERIFY(!e->SaveCurrent());
    QCOMPARE(f.dialogs.boxes.size(), 3);
    QCOMPARE(f.Read(a), QByteArray("X"));
    QVERIFY(f.dialogs.unexpected.isEmpty());
  }

  // Only regular files of a size and line length the editor can handle open;
  // everything else is refused at once with a message naming the file, and
  // the pages stay as they were.
  void whatCannotBeEditedIsRefused() {
    ShellFixture f;
    TfrmEditor* e = f.Editor();
    QVERIFY(e->OpenFile(f.Write("first.cas", "FIRST")));
    const QString fifo = f.Path("fifo.cas");
    QCOMPARE(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString huge = f.Write("huge.cas", "");
    QVERIFY(QFile::resize(huge, TfrmEditor::kMaxFileBytes + 1));
    const QString longLine = f.Write("long.cas", "L1\r\n" + QByteArray(TfrmEditor::kMaxLineChars + 1, 'x') + "\r\nL3");
    struct Case {
      QString path, message;
    };
    const Case cases[] = {
        {fifo, fifo + UiText(u8"は通常のファイルではないため開けません。")},
        {QStringLiteral("/dev/zero"), UiText(u8"/dev/zeroは通常のファイルではないため開けません。")},
        {f.Dir(), f.Dir() + UiText(u8"は通常のファイルではないため開けません。")},
        {huge, huge + UiText(u8"は大きすぎるため開けません。(開けるのは16777216バイトまでのファイルです)")},
        {longLine,
         longLine + UiText(u8"は2行目が長すぎるため開けません。(10001文字あります。開けるのは1行10000文字までです)")},
    };
    for (const Case& c : cases) {
      f.dialogs.Clear();
      QVERIFY2(!e->OpenFile(c.path), qPrintable(c.path));
      QCOMPARE(f.dialogs.plain, QStringList({c.message}));
      QCOMPARE(e->OpenCount(), 1);
      QCOMPARE(e->CurrentPage(), 1);
      QCOMPARE(e->PageEditor(1)->toPlainText(), QStringLiteral("FIRST"));
    }
    // At the limits themselves the file opens; so does a binary file.
    QVERIFY(e->OpenFile(f.Write("edge.cas", QByteArray(TfrmEditor::kMaxLineChars, 'y') + "\n")));
    QByteArray binary(1 << 20, '\0');
    for (int k = 0; k < binary.size(); ++k) binary[k] = static_cast<char>((static_cast<unsigned>(k) * 7919u) >> 3);
    QVERIFY(e->OpenFile(f.Write("binary.cas", binary)));
    QCOMPARE(e->OpenCount(), 3);
  }

  // A file whose name is not UTF-8 opens, saves and builds under its own name.
  void aNameThatIsNotUtf8SurvivesTheRoundTrip() {
    const struct {
      const char* bytes;
      const char* utf8;  // what the name reads as, or nullptr when it is not UTF-8
    } names[] = {
        {"plain.cas", "plain.cas"},
        {"\xE6\x97\xA5\xE6\x9C\xAC.cas", "\xE6\x97\xA5\xE6\x9C\xAC.cas"},  // 日本.cas
        {"\xF0\x9F\x98\x80.cas", "\xF0\x9F\x98\x80.cas"},                  // 😀.cas
        {"\x93\xfa\x96\x7b.cas", nullptr},                                 // 日本 in CP932
        {"\xC0\xAF.cas", nullptr},                                         // an overlong '/'
        {"\xED\xA0\x80.cas", nullptr},                                     // an encoded surrogate
        {"a\xFF", nullptr},
    };
    for (const auto& n : names) {
      const QString name = PathFromBytes(n.bytes);
      QCOMPARE(PathBytes(name), std::string(n.bytes));
      if (n.utf8) QCOMPARE(name, QString::fromUtf8(n.utf8));
    }
    ShellFixture f;
    TfrmEditor* e = f.Editor();
    const std::string bytes = PathBytes(f.Dir()) + "/\x93\xfa\x96\x7b.cas";
    {
      std::FILE* file = std::fopen(bytes.c_str(), "wb");
      QVERIFY(file);
      std::fputs("OLD", file);
      std::fclose(file);
    }
    const QString path = PathFromBytes(bytes);
    QVERIFY(e->OpenFile(path));
    QCOMPARE(e->PageEditor(1)->toPlainText(), QStringLiteral("OLD"));
    QCOMPARE(e->PagePathBytes(1), bytes);
    SetText(e->PageEditor(1), "NEW");
    QVERIFY(e->SaveCurrent());
    std::string saved;
    QCOMPARE(ReadWholeFile(bytes, saved), FileReadResult::Ok);
    QCOMPARE(saved, std::string("NEW"));
    QVERIFY(f.dialogs.plain.isEmpty());
  }
};

QTEST_MAIN(EditorFilesTest)
#include "EditorFilesTest.moc"
