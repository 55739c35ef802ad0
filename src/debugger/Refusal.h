#pragma once
// Why the debugger refuses a command or a typed entry, and the one table that
// turns the reason into the message box the user sees. Execution control's
// typed commands answer with a Refusal; the front ends read the typed text with
// the text rules (common/TextRules.h) and report a text that does not read
// with the Refusal of that entry.
#include <string>
#include <string_view>

#include "common/MessageBox.h"
#include "common/Word.h"
#include "debugger/SymbolIndex.h"

namespace tolvane::debugger {

enum class Refusal {
  None,
  InvalidValue,     // a value for a memory word or a register that does not read: error box
  InvalidFlags,     // FR takes only the six flag combinations: warning box
  InvalidJumpText,  // the text of a jump box is no address or label: warning, ask again
  InvalidName,      // what should name a register or an address names neither: warning
  CannotJump,       // no row (or no label) to jump to: information, the jump ends
  NotALabel,        // an entry by label that is no label
  NoSuchLabel,      // a label that the program does not have
  NotAnAddress,     // an entry by address that is no address
  AlreadySet,       // the breakpoint or watch is there already
};

// The message box of a refusal. Some texts begin with what was typed.
struct RefusalBox {
  BoxKind kind = BoxKind::Information;
  std::string text;  // CP932
};
RefusalBox Explain(Refusal why, std::string_view typed = {});

// A typed entry read by its rule: the value, or why it is refused.
struct Entry {
  Refusal refusal = Refusal::None;
  Word address = 0;   // or the value
  std::string label;  // the label typed, for an entry by label (CP932)
  bool Ok() const { return refusal == Refusal::None; }
  static Entry Refuse(Refusal why) { return {why, 0, {}}; }
  static Entry Of(Word value, std::string label = {}) { return {Refusal::None, value, std::move(label)}; }
};
// The value of the memory and register dialogs, `set` and the adapter's
// setVariable (TextRules' ParseWordValue).
Entry ReadValueEntry(std::string_view text);
// FR's entry: a value first (as every register), then one of the six flag
// digit combinations.
Entry ReadFlagsEntry(std::string_view text);
// An entry by address (1-4 hexadecimal digits).
Entry ReadAddressEntry(std::string_view text);
// An entry by label: a label of the program; its address.
Entry ReadLabelEntry(std::string_view text, const SymbolIndex& symbols);

// The two choices of the entry dialogs' radio group.
enum class AddBy { Label = 0, Address = 1 };
inline Entry ReadEntry(AddBy by, std::string_view text, const SymbolIndex& symbols) {
  return by == AddBy::Label ? ReadLabelEntry(text, symbols) : ReadAddressEntry(text);
}

}  // namespace tolvane::debugger
