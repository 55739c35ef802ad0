#include "forms/dlgProject_f.h"

#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

#include "build/ProjectFile.h"
#include "forms/DialogPort.h"
#include "forms/HelpTopic.h"
#include "forms/Utf8.h"
#include "forms/frmEditor_f.h"
#include "forms/frmMain_f.h"

namespace tolvane::forms {

namespace {

QPushButton* Button(QWidget* parent, const char* name, const char8_t* caption) {
  auto* button = new QPushButton(UiText(caption), parent);
  button->setObjectName(QString::fromLatin1(name));
  button->setAutoDefault(false);
  return button;
}

QToolButton* ArrowButton(QWidget* parent, const char* name, Qt::ArrowType arrow, const char8_t* hint) {
  auto* button = new QToolButton(parent);
  button->setObjectName(QString::fromLatin1(name));
  button->setArrowType(arrow);
  button->setToolTip(UiText(hint));
  button->setAccessibleName(UiText(hint));
  button->setFixedSize(28, 28);
  return button;
}
}  // namespace

TdlgProject::TdlgProject(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("dlgProject"));
  setWindowTitle(UiText(u8"プロジェクトの管理"));
  setModal(true);

  auto* layout = new QVBoxLayout(this);
  auto* group1 = new QGroupBox(UiText(u8"メインルーチン"), this);
  group1->setObjectName(QStringLiteral("GroupBox1"));
  auto* group1Layout = new QHBoxLayout(group1);
  mainRoutine_ = new QLineEdit(group1);
  mainRoutine_->setObjectName(QStringLiteral("editMainRoutin"));
  mainRoutine_->setReadOnly(true);
  mainRoutine_->setAccessibleName(UiText(u8"メインルーチン"));
  group1Layout->addWidget(mainRoutine_);
  layout->addWidget(group1);

  auto* group2 = new QGroupBox(UiText(u8"プロジェクトファイルの編集"), this);
  group2->setObjectName(QStringLiteral("GroupBox2"));
  auto* grid = new QGridLayout(group2);
  auto* label1 = new QLabel(UiText(u8"ファイル名"), group2);
  label1->setObjectName(QStringLiteral("Label1"));
  fileName_ = new QLabel(group2);
  fileName_->setObjectName(QStringLiteral("lblMakeFileName"));
  fileName_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  // A long path is cut at the dialog's edge rather than widening it; the tip shows it whole.
  fileName_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  label1->setBuddy(fileName_);
  auto* nameRow = new QHBoxLayout;
  nameRow->addWidget(label1);
  nameRow->addWidget(fileName_, 1);
  grid->addLayout(nameRow, 0, 0, 1, 3);

  list_ = new QListWidget(group2);
  list_->setObjectName(QStringLiteral("lstbProject"));
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  list_->setAccessibleName(UiText(u8"プロジェクトのファイル"));
  grid->addWidget(list_, 1, 0, 4, 1);

  auto* arrows = new QVBoxLayout;
  auto* up = ArrowButton(group2, "bbtnForUp", Qt::UpArrow, u8"上へ");
  auto* down = ArrowButton(group2, "bbtnFoDown", Qt::DownArrow, u8"下へ");
  arrows->addStretch();
  arrows->addWidget(up);
  arrows->addWidget(down);
  arrows->addStretch();
  grid->addLayout(arrows, 1, 1, 4, 1);

  auto* add = Button(group2, "btnAdd", u8"ファイルから追加...");
  auto* remove = Button(group2, "btnDelete", u8"削除");
  auto* save = Button(group2, "btnSave", u8"上書き保存");
  auto* saveAs = Button(group2, "btnSaveAs", u8"名前を付けて保存");
  grid->addWidget(add, 1, 2);
  grid->addWidget(remove, 2, 2);
  grid->addWidget(save, 3, 2);
  grid->addWidget(saveAs, 4, 2, Qt::AlignTop);
  grid->setColumnStretch(0, 1);
  layout->addWidget(group2, 1);

  auto* buttons = new QHBoxLayout;
  auto* ok = Button(this, "btnOK", u8"ＯＫ");
  ok->setDefault(true);
  auto* help = Button(this, "btnHelp", u8"ヘルプ");
  buttons->addStretch();
  buttons->addWidget(ok);
  buttons->addWidget(help);
  layout->addLayout(buttons);

  connect(ok, &QPushButton::clicked, this, &TdlgProject::btnOKClick);
  connect(add, &QPushButton::clicked, this, &TdlgProject::btnAddClick);
  connect(remove, &QPushButton::clicked, this, &TdlgProject::btnDeleteClick);
  connect(save, &QPushButton::clicked, this, &TdlgProject::btnSaveClick);
  connect(saveAs, &QPushButton::clicked, this, &TdlgProject::btnSaveAsClick);
  connect(up, &QToolButton::clicked, this, &TdlgProject::bbtnForUpClick);
  connect(down, &QToolButton::clicked, this, &TdlgProject::bbtnFoDownClick);
  connect(help, &QPushButton::clicked, this, &TdlgProject::btnHelpClick);

  // A fixed dialog border.
  setFixedSize(QSize(512, 320).expandedTo(minimumSizeHint()));
}

void TdlgProject::SetMain(TfrmMain* main) {
  main_ = main;
  Refresh();
}

void TdlgProject::Refresh(int selectRow) {
  const int keep = selectRow == -2 ? list_->currentRow() : selectRow;
  list_->clear();
  if (!main_) return;
  const build::Project& project = main_->Project();
  for (const std::string& entry : project.Entries()) list_->addItem(FromCp932(entry));
  mainRoutine_->setText(FromCp932(project.MainRoutine()));
  // The file name is shown while a project is open (a new one as "Project.Mak").
  fileName_->setText(project.IsOpen() ? main_->ProjectFileName() : QString());
  fileName_->setToolTip(fileName_->text());
  if (keep >= 0 && keep < list_->count()) list_->setCurrentRow(keep);
}

void TdlgProject::showEvent(QShowEvent* event) {
  Refresh();
  // Centred on the screen.
  if (QScreen* s = screen()) move(s->availableGeometry().center() - rect().center());
  QDialog::showEvent(event);
  list_->setFocus();
}

void TdlgProject::btnOKClick() { accept(); }

void TdlgProject::Move(int delta) {
  const int k = list_->currentRow();
  if (!main_ || k < 0) return;
  build::Project& project = main_->ProjectState();
  if (!(delta < 0 ? project.MoveUp(k) : project.MoveDown(k))) return;
  main_->ProjectChanged();
  Refresh(k + delta);
}

void TdlgProject::bbtnForUpClick() { Move(-1); }
void TdlgProject::bbtnFoDownClick() { Move(+1); }

void TdlgProject::btnAddClick() {
  if (!main_) return;
  // Only files of the project's folder belong to it: the folder of its file
  // once saved, the current folder before.
  const QString folder = main_->ProjectFolder();
  const QString path = Dialogs().GetOpenFileName(
      this, QString(), folder, UiText(u8"CASLソースファイル(*.cas);;CASLオブジェクトファイル(*.obj)"));
  if (path.isEmpty()) return;
  const QFileInfo chosen(path);
  if (QDir::cleanPath(chosen.absolutePath()) != QDir::cleanPath(folder)) {
    Dialogs().Ask(BoxKind::Warning, UiText(u8"プロジェクトファイルと同じディレクトリのファイル\nしか追加できません。"));
    return;
  }
  const QString name = chosen.fileName();
  std::string entry;
  if (name.isEmpty() || !ToCp932(name, entry)) {
    Dialogs().Ask(BoxKind::Error,
                  name + UiText(u8"はShift-JIS(CP932)で表せない名前のため、プロジェクトに追加できません。"));
    return;
  }
  build::Project& project = main_->ProjectState();
  if (project.Find(entry) >= 0) {
    Dialogs().Ask(BoxKind::Information, name + UiText(u8"は既に追加されています。"));
    return;
  }
  if (build::IsSourceName(entry) && main_->Editor()) main_->Editor()->OpenFile(chosen.absoluteFilePath());
  // A project closed here (its last entry deleted) opens again, as Add in the menu does.
  if (!project.IsOpen()) {
    project.OpenUnsaved();
    main_->EnableProjectGroup(true);
  }
  project.Add(entry);
  main_->ProjectChanged();
  Refresh(list_->count());
}

void TdlgProject::btnDeleteClick() {
  if (!main_) return;
  build::Project& project = main_->ProjectState();
  const int count = static_cast<int>(project.Entries().size());
  if (count >= 2) {
    const int k = list_->currentRow();
    if (k < 0 || !project.RemoveAt(k)) return;  // nothing selected: nothing changes
    main_->ProjectChanged();
    Refresh(std::min(k, count - 2));
  } else if (count == 1) {
    if (!main_->CloseProject()) return;
    main_->SetEnabled({"mnuProjectDelete", "pmnuProjectDelete", "mnuProjectEdit", "mnuProjectSave", "mnuProjectSaveAs"},
                      false);
    Refresh();
  }
}

void TdlgProject::btnSaveClick() {
  if (main_) main_->RunCommand(QStringLiteral("mnuProjectSave"));
  Refresh();
}

void TdlgProject::btnSaveAsClick() {
  if (main_) main_->RunCommand(QStringLiteral("mnuProjectSaveAs"));
  Refresh();
}

void TdlgProject::btnHelpClick() { OpenHelpTopic(this, QStringLiteral("HID00000047.htm")); }

}  // namespace tolvane::forms
