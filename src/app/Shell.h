#pragma once
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

class QWidget;

namespace tolvane::forms {
class TfrmMain;
class TfrmEditor;
class TfrmList;
class TfrmMessage;
class TfrmStandardIo;
class TfrmDebug;
class TDebug;
class TdlgOption;
}  // namespace tolvane::forms

namespace tolvane::app {

class CoreBinding;

// The running IDE: the seventeen windows created in their fixed order (the
// main window first), bound to the core. The windows live as long as the shell.
class Shell {
 public:
  Shell();
  ~Shell();
  Shell(const Shell&) = delete;
  Shell& operator=(const Shell&) = delete;

  // Creates every window; the main window's splash is up meanwhile and is
  // released at the end. The main window is not shown yet.
  void Create();

  forms::TfrmMain* Main() const { return main_; }
  forms::TfrmEditor* Editor() const { return editor_; }
  forms::TfrmList* List() const { return list_; }
  forms::TfrmMessage* Message() const { return message_; }
  forms::TfrmStandardIo* StandardIo() const { return standardIo_; }
  forms::TfrmDebug* Debug() const { return debug_; }
  CoreBinding* Core() const { return core_.get(); }

  // The form names in the order the windows were created.
  QStringList CreationOrder() const;
  std::vector<QWidget*> Windows() const { return windows_; }

  // The options dialog's current options, sent to the editor, the listing
  // viewer, the build options and the debugger.
  void ApplyOptions();
  forms::TdlgOption* Options() const { return option_; }

  // Opens a source file as the Open command does after its dialog.
  bool OpenFile(const QString& path);

 private:
  forms::TfrmMain* main_ = nullptr;
  forms::TfrmEditor* editor_ = nullptr;
  forms::TfrmList* list_ = nullptr;
  forms::TfrmMessage* message_ = nullptr;
  forms::TfrmStandardIo* standardIo_ = nullptr;
  forms::TfrmDebug* debug_ = nullptr;
  forms::TdlgOption* option_ = nullptr;
  std::unique_ptr<forms::TDebug> trace_;
  std::unique_ptr<forms::TfrmMain> mainOwner_;
  std::unique_ptr<CoreBinding> core_;
  std::vector<QWidget*> windows_;
};

}  // namespace tolvane::app
