// The source editor's files when things go wrong: a full disk, a file changed
// by another program, files that are no text to edit, names that are not UTF-8.
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QtTest>

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
};

QTEST_MAIN(EditorFilesTest)
#include "EditorFilesTest.moc"
