#pragma once
#include <string>

#include "common/MessageBox.h"

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
};

// The two choices of the entry dialogs' radio group.
enum class AddBy { Label = 0, Address = 1 };

// Message texts shared by the entry dialogs (CP932).
const std::string& NotALabelMessage();  // "ラベルとして正しくありません。もう一度入力してください。"
const std::string& NoSuchLabelMessage();  // "このラベルは存在しません。"
const std::string& NotAnAddressMessage();  // "アドレスとして正しくありません。もう一度入力してください。"
const std::string& AlreadySetMessage();  // "既に設定してあります。"
// text + "は正しいデータではありません。"
std::string NotValidDataMessage(const std::string& text);

}  // namespace tolvane::debugger
