#pragma once
#include <QHash>
#include <QPixmap>
#include <QPointer>
#include <QTableView>

#include "common/Word.h"
#include "forms/DockForm.h"

class QAction;
class QLabel;
class QLineEdit;
class QMenu;
class QSplitter;
class QStatusBar;

namespace tolvane::debugger {
class ExecutionControl;
struct PanesChanged;
}  // namespace tolvane::debugger

namespace tolvane::forms {

class TUnAssembleModel;
class TMemoryDumpModel;
class TWatchPaneModel;
class TdlgMemoryDataChange;
class TdlgRegisterDataChange;

// A grid of the debug window: a table view whose vertical header is the fixed
// column 0 (it does not scroll sideways), without grid lines, that remembers
// the cell under the mouse at every button press and release. Cells are
// drawn 2 pixels right of and below their corner, the current cell in the
// selected colour and a changed value on the changed colour.
class TPaneGrid : public QTableView {
  Q_OBJECT
 public:
  explicit TPaneGrid(QWidget* parent = nullptr);

  // The fixed column's width and the row height.
  void SetFixedColumnWidth(int width);
  void SetRowHeight(int height);
  // The cell under the mouse at the last button press or release; column -1 is
  // the fixed column, row -1 outside the rows.
  int MouseRow() const { return mouseRow_; }
  int MouseColumn() const { return mouseColumn_; }

  // The rows from the top visible one through the one two past the last fully
  // visible one (the rows a refresh writes).
  int TopRow() const;
  int LastRefreshRow() const;
  // Makes the cell current and selected. `scroll`: scroll vertically as little
  // as needed to show it with ContextRows rows above and below (never
  // sideways); otherwise the view stays.
  void SelectCell(int row, int column, bool scroll);
  // Rows fully visible, and the rows kept in view around a selected row (3,
  // fewer in a short view).
  int VisibleRows() const;
  int ContextRows() const;
  static constexpr int kContextRows = 3;
  // Brings the scroll ranges up to date with the rows now in the model, so
  // that a scroll right after a change of the row count lands.
  using QTableView::updateGeometries;

 signals:
  // A double-click; `fixed` when it was on the fixed column.
  void cellDoubleClicked(int row, int column, bool fixed);
  void resized();

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  // Screen readers hear of the rows by their place among the rows exposed.
  void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
  void selectionChanged(const QItemSelection& selected, const QItemSelection& deselected) override;

 private:
  void RecordCell(const QPoint& viewportPos);

  int mouseRow_ = -1;
  int mouseColumn_ = -1;
};

// The debug window (form `frmDebug`, caption "デバッグウインドウ"), docked into
// the main window's debug panel: the disassembly above the memory dump on the
// left, the registers above the watches on the right, and the status line.
// The panes (`Panel1`) stay hidden until a program is debugged.
//
// The window shows the debugger core's state and calls its operations; the
// core's PanesChanged records (forwarded by the application's binding) say
// what to show anew, and the window decides how its views follow.
class TfrmDebug : public TDockForm {
  Q_OBJECT
 public:
  explicit TfrmDebug(QWidget* parent = nullptr);
  ~TfrmDebug() override;

  // The core the panes show and edit; null leaves them empty and inert.
  void Bind(debugger::ExecutionControl* core);
  debugger::ExecutionControl* Core() const { return core_; }
  // The dialogs opened by double-clicks on the memory dump and the registers.
  void SetEditDialogs(TdlgMemoryDataChange* memory, TdlgRegisterDataChange* registers);

  QWidget* Panel1() const { return panel1_; }
  TPaneGrid* UnAssemblePane() const { return unAssemble_; }  // sgrdUnAssemblePane
  TPaneGrid* MemoryDumpPane() const { return memory_; }      // sgrdMemoryDumpPane
  QTableView* WatchPane() const { return watches_; }         // lstvWatchPane
  QWidget* RegisterPane() const { return panel6_; }          // Panel6
  TUnAssembleModel* UnAssembleModel() const { return unAssembleModel_; }
  TMemoryDumpModel* MemoryDumpModel() const { return memoryModel_; }
  TWatchPaneModel* WatchModel() const { return watchModel_; }
  QStatusBar* StatusBar1() const { return statusBar_; }
  QString StatusText() const;
  // A register field by name ("editGR0", "editGR0AsBinary", "editPR", "editFR", ...).
  QLineEdit* RegisterField(const QString& name) const { return fields_.value(name); }
  // A pane menu by name ("pmnuUnAssemblePane", ...) and an item by name.
  QMenu* PaneMenu(const QString& name) const;
  QAction* PaneItem(const QString& name) const;

  // The mark pictures (imgStop, imgPause, imgClear).
  static const QPixmap& imgStop();
  static const QPixmap& imgPause();
  static const QPixmap& imgClear();

  // ---- what the core tells ----
  void SetStatusText(const QString& text);
  // Shows what changed: the panes' values and rows, and where the views go.
  void ShowPanes(const debugger::PanesChanged& change);
  void SetJumpPopupsEnabled(bool on);
  void SetWatchPopupEnabled(bool on);
  // The main window's shell reset: empty status line, jump and watch items off.
  void ShellReset();

  // The current row of the disassembly (-1: none).
  int CurrentDisassemblyRow() const;
  // The row the PR mark stands at: the next instruction, as the register pane
  // shows PR, while a program is debugged (-1: none).
  int PrRow() const;

 public slots:
  void pmnuUnAssemblePaneJumpAddressClick();
  void pmnuUnAssemblePaneJumpLabelClick();
  // Shows the next instruction's row again and makes it current.
  void pmnuUnAssemblePaneJumpPrClick();
  void pmnuMemoryDumpPaneJumpAddressClick();
  void pmnuDebugWindowPrintClick();
  void sgrdUnAssemblePaneDblClick();
  void sgrdMemoryDumpPaneDblClick();
  // A double-click on a register field (by its name).
  void RegisterDblClick(const QString& fieldName);

 signals:
  // One of the four "デバッグウインドウの印刷(&P)" items.
  void printRequested();
  // pmnuWatch: show the watch list.
  void watchRequested();
  // The breakpoint table changed (the list dialog follows it).
  void breakpointsChanged();

 public:
  // The width the window needs docked to show the disassembly's rows through
  // their operands beside every register field and watch column.
  int NeededWidth() const;
  // What the left column needs to show a disassembly row through its operand.
  int LeftColumnWidth() const;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  // Floating, the window opens with its client area of 930 x 510.
  QSize FloatingSize() const override;

 private:
  // The panes' own operations, which ShowPanes chooses from.
  // The disassembly table was rebuilt with `rows` rows.
  void DisassemblyRebuilt(int rows, bool scrollToTop);
  void ScrollDisassemblyRowToTop(int row);
  // Makes the row current (scrolling as little as needed) and focuses the grid.
  void SelectDisassemblyRow(int row);
  // Moves the current row without scrolling.
  void MarkDisassemblyRow(int row);
  void FillVisibleDisassembly();
  void BreakpointsChanged();
  void RefreshMemoryDump();
  // Scrolls to the start address and selects its cell.
  void ResetMemoryDump(Word startAddress);
  // Makes the cell current (scrolling as little as needed) and focuses the grid.
  void SelectMemoryCell(Word address);
  void RefreshRegisters();
  void RefreshWatches();
  void ChangeMarksReset();

  void BuildPanes();
  // What the right column needs to show the register fields and every watch
  // column without cutting one.
  int RightColumnWidth() const;
  void BuildRegisterPane();
  void BuildMenus();
  QMenu* AddMenu(QWidget* pane, const QString& name);
  QAction* AddItem(QMenu* menu, const QString& name, const char8_t* caption);
  void RepaintRegisterMarks();
  // Moves the PR mark to the row of the PR the register pane shows.
  void UpdatePrMark();
  void RefreshVisibleMemory();
  void RefreshVisibleWatches();

  debugger::ExecutionControl* core_ = nullptr;
  QPointer<TdlgMemoryDataChange> memoryDialog_;
  QPointer<TdlgRegisterDataChange> registerDialog_;

  QWidget* panel1_ = nullptr;
  QWidget* panel6_ = nullptr;
  QStatusBar* statusBar_ = nullptr;
  QLabel* statusLabel_ = nullptr;
  TPaneGrid* unAssemble_ = nullptr;
  TPaneGrid* memory_ = nullptr;
  QTableView* watches_ = nullptr;
  TUnAssembleModel* unAssembleModel_ = nullptr;
  TMemoryDumpModel* memoryModel_ = nullptr;
  TWatchPaneModel* watchModel_ = nullptr;
  QHash<QString, QLineEdit*> fields_;
  QHash<QLineEdit*, QString> fieldNames_;
  QHash<QString, QMenu*> menus_;
  QHash<QString, QAction*> items_;
};

}  // namespace tolvane::forms
