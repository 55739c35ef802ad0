#pragma once
#include <string>
#include <string_view>

#include "common/MessageBox.h"
#include "debugger/Refusal.h"

namespace tolvane::debugger {

// What an OK button of an entry dialog leads to: either the change was made
// (the dialog closes), or a message box is due and the dialog stays open with
// the focus back in its edit field.
struct DialogResult {
  bool accepted = false;
  BoxKind kind = BoxKind::Information;
  std::string message;  // CP932; empty when accepted

  static DialogResult Accept() { return {true, BoxKind::Information, {}}; }
  static DialogResult Refuse(BoxKind kind, std::string message) { return {false, kind, std::move(message)}; }
  // Accepted for Refusal::None, else the refusal's box (`typed` for the texts
  // that begin with it).
  static DialogResult From(Refusal why, std::string_view typed = {}) {
    if (why == Refusal::None) return Accept();
    RefusalBox box = Explain(why, typed);
    return Refuse(box.kind, std::move(box.text));
  }
};

}  // namespace tolvane::debugger
