#include "debugger/DialogResult.h"

#include "common/Cp932.h"

namespace tolvane::debugger {

const std::string& NotALabelMessage() {
  static const std::string s = J(u8"ラベルとして正しくありません。もう一度入力してください。");
  return s;
}
const std::string& NoSuchLabelMessage() {
  static const std::string s = J(u8"このラベルは存在しません。");
  return s;
}
const std::string& NotAnAddressMessage() {
  static const std::string s = J(u8"アドレスとして正しくありません。もう一度入力してください。");
  return s;
}
const std::string& AlreadySetMessage() {
  static const std::string s = J(u8"既に設定してあります。");
  return s;
}
std::string NotValidDataMessage(const std::string& text) {
  static const std::string s = J(u8"は正しいデータではありません。");
  return text + s;
}

}  // namespace tolvane::debugger
