#pragma once
#include <string>

namespace tolvane {

// Modal message boxes, reduced to what the core needs to ask or tell. The GUI
// shows real boxes; the command-line tool prints the text; tests script answers.
enum class BoxKind { Error, Warning, Information, Confirm };
enum class BoxButtons { Ok, YesNo, YesNoCancel };
enum class BoxAnswer { Ok, Yes, No, Cancel };

class MessageBoxPort {
 public:
  virtual ~MessageBoxPort() = default;
  // `text` is CP932. The caption follows from the kind: "エラー", "警告", "情報", "確認".
  virtual BoxAnswer ShowMessageBox(BoxKind kind, const std::string& text, BoxButtons buttons = BoxButtons::Ok) = 0;
};

}  // namespace tolvane
