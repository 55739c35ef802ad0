#include "app/Shell.h"

#include <QCoreApplication>
#include <QDialog>
#include <QDir>
#include <QFileInfo>

#include "app/CoreBinding.h"
#include "forms/Debug_f.h"
#include "forms/DialogPort.h"
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
#include "forms/frmEditor_f.h"
#include "forms/frmList_f.h"
#include "forms/frmMain_f.h"
#include "forms/frmMessage_f.h"
#include "forms/frmStandardIo_f.h"

namespace tolvane::app {

using namespace tolvane::forms;

Shell::Shell() = default;

Shell::~Shell() {
  // The binding refers to the windows; it goes first.
  if (main_) main_->SetCore(nullptr);
  core_.reset();
  mainOwner_.reset();
  trace_.reset();
}

void Shell::Create() {
  mainOwner_ = std::make_unique<TfrmMain>();
  main_ = mainOwner_.get();
  windows_.push_back(main_);

  auto keep = [this](QWidget* w) {
    windows_.push_back(w);
    return w;
  };
  message_ = new TfrmMessage(main_);
  keep(message_);
  standardIo_ = new TfrmStandardIo(main_);
  keep(standardIo_);
  trace_ = std::make_unique<TDebug>();
  keep(trace_.get());
  QDialog* unAsmInfo = new TdlgUnAsmInfo(main_);
  keep(unAsmInfo);
  QDialog* about = new TdlgAbout(main_);
  keep(about);
  QDialog* addBreakPoint = new TdlgAddBreakPoint(main_);
  keep(addBreakPoint);
  option_ = new TdlgOption(main_);
  QDialog* option = option_;
  keep(option);
  QDialog* project = new TdlgProject(main_);
  keep(project);
  QDialog* addWatch = new TdlgAddWatch(main_);
  keep(addWatch);
  QDialog* breakPoint = new TdlgBreakPoint(main_);
  keep(breakPoint);
  QDialog* memoryChange = new TdlgMemoryDataChange(main_);
  keep(memoryChange);
  QDialog* registerChange = new TdlgRegisterDataChange(main_);
  keep(registerChange);
  QDialog* watch = new TdlgWatch(main_);
  keep(watch);
  editor_ = new TfrmEditor(main_);
  keep(editor_);
  list_ = new TfrmList(main_);
  keep(list_);
  debug_ = new TfrmDebug(main_);
  keep(debug_);

  TfrmMain::DockedWindows docked;
  docked.editor = editor_;
  docked.list = list_;
  docked.message = message_;
  docked.standardIo = standardIo_;
  docked.debug = debug_;
  main_->SetWindows(docked);
  main_->SetDialog(QStringLiteral("dlgAbout"), about);
  main_->SetDialog(QStringLiteral("dlgOption"), option);
  main_->SetDialog(QStringLiteral("dlgProject"), project);
  main_->SetDialog(QStringLiteral("dlgBreakPoint"), breakPoint);
  main_->SetDialog(QStringLiteral("dlgWatch"), watch);

  core_ = std::make_unique<CoreBinding>(*main_, standardIo_, debug_);
  main_->SetCore(core_.get());
  OptionTargets targets;
  targets.editor = editor_;
  targets.list = list_;
  targets.buildOptions = &main_->buildOptions;
  targets.setShowRegistersAfterRun = [this](bool on) { core_->Execution().SetShowRegistersAfterRun(on); };
  targets.setUnAsmDataAsCode = [this](bool on) { core_->Execution().SetUnAsmDataAsCode(on); };
  option_->SetTargets(targets);
  // The first-start notice shows over the painted main window, not before it.
  main_->SetFirstShowHooks(
      [this] {
        option_->LoadOptions([this](const QString& text) {
          main_->RunWhenPainted([text] { forms::Dialogs().Ask(BoxKind::Information, text); });
        });
      },
      [this] { ApplyOptions(); });

  // Every window exists: the splash goes once pending events are processed.
  main_->ReleaseSplash();
}

QStringList Shell::CreationOrder() const {
  QStringList names;
  for (QWidget* w : windows_) names << w->objectName();
  return names;
}

void Shell::ApplyOptions() {
  if (option_) option_->ApplyOptions();
}

bool Shell::OpenFile(const QString& path) { return main_ && main_->OpenPath(path); }

}  // namespace tolvane::app
