#pragma once
// The item models behind the debug window's grids. They hold no copy of the
// machine: each cell is read from the debugger core when it is painted (or
// read by a screen reader), so that a grid of 65536 disassembly rows or 8192
// memory rows costs only what is visible. The core says when the shown state
// changed (through the debugger's UI port); the window then asks the model to
// look at the visible rows, and the model reports exactly the cells whose
// content differs from what was last painted, so that a step that changes one
// word repaints two cells and not a screenful of text.
#include <QAbstractTableModel>
#include <QColor>
#include <QPixmap>
#include <cstdint>
#include <string>
#include <vector>

#include "common/Word.h"

namespace tolvane::debugger {
class ExecutionControl;
}

namespace tolvane::forms {

// Text typed into the debugger's dialogs as CP932, a character without a
// CP932 form becoming "?", so that the checks refuse it and the message still
// quotes the rest.
std::string TypedCp932(const QString& text);

// Colours of the panes.
QColor PaneSelectedColor();  // the selected (current) cell: RGB 204, 204, 255
QColor PaneChangedColor();   // a value changed since the last stop
QColor PaneFixedColor();     // the fixed column of a grid

// Roles beyond Qt's: whether a value changed since the last stop (bool).
inline constexpr int kChangedRole = Qt::UserRole + 1;
// The marks of a disassembly row (TUnAssembleModel::Marks as an unsigned),
// asked of the vertical header that draws them.
inline constexpr int kRowMarksRole = Qt::UserRole + 2;

// The breakpoint mark pictures, 16 x 16 with a transparent background: a red
// disc with a white bar (enabled), the same in olive (disabled) and a white
// square (erasing a mark).
const QPixmap& StopMark();
const QPixmap& PauseMark();
const QPixmap& ClearMark();

// The disassembly: one row per row of the core's table, one column with the
// row's text. The marks of a row are its vertical header (the grid's fixed
// column): the breakpoint's picture (DecorationRole), the marks as flags
// (kRowMarksRole) and words for them (DisplayRole, AccessibleTextRole, and the
// row's cell's AccessibleDescriptionRole, so that a screen reader reading the
// row hears them). A row whose words changed since the last stop is marked
// (kChangedRole), as in the other panes.
class TUnAssembleModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  enum class Mark { None, Enabled, Disabled };
  enum Marks : unsigned { kEnabledMark = 1u << 0, kDisabledMark = 1u << 1, kPrMark = 1u << 2 };

  explicit TUnAssembleModel(QObject* parent = nullptr) : QAbstractTableModel(parent) {}
  void Bind(const debugger::ExecutionControl* core) { core_ = core; }

  int rowCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : rows_; }
  int columnCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : 1; }
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

  // The core rebuilt its table: rows are added or removed at the end only, so
  // that the views keep their position and current row.
  void SetRowCount(int rows);
  // Rows first..last may show something new: those whose text differs from
  // what was painted are reported; `marks`: their marks too.
  void RowsChanged(int first, int last, bool marks);

  QString RowText(int row) const;
  Word RowAddress(int row) const;
  Mark MarkOf(int row) const;
  unsigned MarksOf(int row) const;
  // The row of the next instruction (the PR shown in the register pane), -1
  // for none; the mark column shows an arrow there.
  void SetPrRow(int row);
  int PrRow() const { return prRow_; }
  // Words for a row's marks, "" for none.
  QString MarkWords(int row) const;

 private:
  std::uint64_t PaintKey(int row) const;

  const debugger::ExecutionControl* core_ = nullptr;
  int rows_ = 0;
  int prRow_ = -1;
  mutable std::vector<std::uint64_t> painted_;  // per row: a hash of the text and mark last handed out
};

// The memory dump: 8192 rows of eight words. Columns 0-7 are the words at
// 8r ... 8r + 7 and columns 8-15 their characters; the row's address is the
// vertical header (the grid's fixed column). Values come from what the core
// says the pane shows (the last refresh).
class TMemoryDumpModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  static constexpr int kRows = 8192;
  static constexpr int kWordColumns = 8;

  explicit TMemoryDumpModel(QObject* parent = nullptr) : QAbstractTableModel(parent) {}
  void Bind(const debugger::ExecutionControl* core) { core_ = core; }

  int rowCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : kRows; }
  int columnCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : 2 * kWordColumns; }
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  // Rows first..last may show something new: the cells whose word or change
  // mark differs from what was painted are reported.
  void RowsChanged(int first, int last);

  // The address of a word or character cell.
  static Word AddressOf(int row, int column) { return static_cast<Word>(row * 8 + column % kWordColumns); }
  static bool IsWordColumn(int column) { return column >= 0 && column < kWordColumns; }
  // The five-line tooltip of a word cell.
  QString ToolTipText(const QModelIndex& index) const;

 private:
  std::uint32_t Key(Word address) const;
  const debugger::ExecutionControl* core_ = nullptr;
  mutable std::vector<std::uint32_t> painted_ = std::vector<std::uint32_t>(kMemoryWords, kUnknown);
  static constexpr std::uint32_t kUnknown = 0xFFFFFFFF;
};

// The watch pane: the core's watch rows in six columns (address, label,
// hexadecimal, logical, arithmetic, character).
class TWatchPaneModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  explicit TWatchPaneModel(QObject* parent = nullptr) : QAbstractTableModel(parent) {}
  void Bind(const debugger::ExecutionControl* core);

  int rowCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : rows_; }
  int columnCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : 6; }
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  // The core's rows changed: a list of another length resets the views; else
  // the rows first..last whose values or marks differ from what was painted
  // are reported (the others are read afresh when they come into view).
  void Refresh(int first, int last);

 private:
  int CoreRows() const;
  std::uint64_t Key(int row) const;
  const debugger::ExecutionControl* core_ = nullptr;
  int rows_ = 0;
  mutable std::vector<std::uint64_t> painted_;
  static constexpr std::uint64_t kUnknown = ~std::uint64_t{0};
};

}  // namespace tolvane::forms
