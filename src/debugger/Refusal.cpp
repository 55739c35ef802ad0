#include "debugger/Refusal.h"

#include "common/Cp932.h"
#include "common/TextRules.h"

namespace tolvane::debugger {

RefusalBox Explain(Refusal why, std::string_view typed) {
  struct Row {
    Refusal why;
    BoxKind kind;
    const char8_t* text;
    bool afterTyped;  // the text follows what was typed
  };
  static const Row kRows[] = {
      {Refusal::None, BoxKind::Information, u8"", false},
      {Refusal::InvalidValue, BoxKind::Error, u8"は正しいデータではありません。", true},
      {Refusal::InvalidFlags, BoxKind::Warning, u8"は正しいデータではありません。", true},
      {Refusal::InvalidJumpText, BoxKind::Warning, u8"は正しいデータではありません。", true},
      {Refusal::InvalidName, BoxKind::Warning, u8"は正しいデータではありません。", true},
      {Refusal::CannotJump, BoxKind::Information, u8"にはジャンプできません。", true},
      {Refusal::NotALabel, BoxKind::Warning, u8"ラベルとして正しくありません。もう一度入力してください。", false},
      {Refusal::NoSuchLabel, BoxKind::Warning, u8"このラベルは存在しません。", false},
      {Refusal::NotAnAddress, BoxKind::Warning, u8"アドレスとして正しくありません。もう一度入力してください。", false},
      {Refusal::AlreadySet, BoxKind::Information, u8"既に設定してあります。", false},
  };
  for (const Row& r : kRows)
    if (r.why == why) return {r.kind, (r.afterTyped ? std::string(typed) : std::string()) + Cp932Text(r.text)};
  return {};
}

Entry ReadValueEntry(std::string_view text) {
  const std::optional<Word> v = ParseWordValue(text);
  if (!v) return Entry::Refuse(Refusal::InvalidValue);
  return Entry::Of(*v);
}

Entry ReadFlagsEntry(std::string_view text) {
  Entry e = ReadValueEntry(text);
  if (!e.Ok()) return e;
  const std::optional<Word> fr = ParseFlagDigits(text);
  if (!fr) return Entry::Refuse(Refusal::InvalidFlags);
  return Entry::Of(*fr);
}

Entry ReadAddressEntry(std::string_view text) {
  const std::optional<Word> a = ParseAddress(text);
  if (!a) return Entry::Refuse(Refusal::NotAnAddress);
  return Entry::Of(*a);
}

Entry ReadLabelEntry(std::string_view text, const SymbolIndex& symbols) {
  if (!IsLabelText(text)) return Entry::Refuse(Refusal::NotALabel);
  if (!symbols.LabelExists(text)) return Entry::Refuse(Refusal::NoSuchLabel);
  return Entry::Of(symbols.AddressOfLabel(text), std::string(text));
}

}  // namespace tolvane::debugger
