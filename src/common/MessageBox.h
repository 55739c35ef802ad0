#pragma once
#include <string>

namespace tolvane {

// Modal message boxes, reduced to what the core needs to ask or tell. The GUI
// shows real boxes; the command-line tool prints the text; tests script answers.
enum class BoxKind { Error, Warning, Information, Confirm };
enum class BoxButtons { Ok, YesNo, YesNoCancel };
enum class BoxAnswer { Ok, Yes, No, Cancel };

// The caption that names a box's kind, as UTF-8 (both front ends show and
// print UTF-8): the IDE's box title, tolvane-cli's prefix of the printed text.
inline const char* BoxCaption(BoxKind kind) {
  switch (kind) {
    case BoxKind::Error:
      return reinterpret_cast<const char*>(u8"エラー");
    case BoxKind::Warning:
      return reinterpret_cast<const char*>(u8"警告");
    case BoxKind::Information:
      return reinterpret_cast<const char*>(u8"情報");
    case BoxKind::Confirm:
      break;
  }
  return reinterpret_cast<const char*>(u8"確認");
}

class MessageBoxPort {
 public:
  virtual ~MessageBoxPort() = default;
  // `text` is CP932. The caption follows from the kind (BoxCaption).
  virtual BoxAnswer ShowMessageBox(BoxKind kind, const std::string& text, BoxButtons buttons = BoxButtons::Ok) = 0;
};

}  // namespace tolvane
