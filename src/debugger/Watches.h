#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "common/Word.h"
#include "debugger/DialogResult.h"
#include "debugger/SymbolIndex.h"

namespace tolvane::debugger {

// One row of the watch pane. The address and label are the watch's identity;
// the four value columns show the word read by the last RefreshWatches (empty
// before). The texts are made when asked for, so that a refresh of a long list
// (every label of a large program) costs one read per row.
struct Watch {
  // Which value columns have a text: none before the first refresh, only the
  // hexadecimal one for a row filled from the symbol table, all after a refresh.
  enum class Shown : std::uint8_t { Nothing, HexOnly, All };

  Word address = 0;
  std::string label;  // CP932, may be empty
  Shown shown = Shown::Nothing;
  Word value = 0;  // the word the value columns show

  Word Address() const { return address; }
  std::string AddressText() const;     // four upper-case hexadecimal digits
  std::string HexText() const;         // "%.4hX"
  std::string LogicalText() const;     // "%hu"
  std::string ArithmeticText() const;  // "%hd"
  std::string CharacterText() const;   // the low byte if 20H-7EH, else "."
};

// The identity part, as the list dialog's working copy holds it.
struct WatchEntry {
  std::string addressText;
  std::string label;
};

// The watch pane's rows and the list dialog's working copy.
class WatchList {
 public:
  const std::vector<Watch>& Rows() const { return rows_; }
  const std::vector<WatchEntry>& WorkingCopy() const { return working_; }

  // Recomputes the value columns of every row from memory.
  void RefreshWatches(const Word* memory);
  // Replaces the rows by one per symbol record, in table order, skipping literals.
  void FillWatchesFromSymbols(const SymbolIndex& symbols, const Word* memory);
  // Empties the pane and the working copy.
  void ClearWatches();

  // The list dialog: opening copies the pane's rows; the entry dialog and the
  // delete button change only the copy; OK writes it back in address order.
  void OpenWorkingCopy();
  DialogResult AddToWorkingCopy(AddBy by, const std::string& text, const SymbolIndex& symbols);
  void DeleteFromWorkingCopy(int index);  // out of range: nothing
  void CommitWorkingCopy(const Word* memory);
  void DiscardWorkingCopy() {}  // closing by the title bar leaves the pane as it was

  // Adds one row to the pane directly (the CLI's `watch`), keeping address order,
  // and tells where (`added`, when not null). Refused with the same messages as
  // the entry dialog.
  DialogResult AddDirect(AddBy by, const std::string& text, const SymbolIndex& symbols, const Word* memory,
                         int* added = nullptr);

 private:
  static void SortByAddress(std::vector<WatchEntry>& v);

  std::vector<Watch> rows_;
  std::vector<WatchEntry> working_;
};

}  // namespace tolvane::debugger
