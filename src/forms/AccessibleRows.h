#pragma once

class QAbstractItemView;
class QModelIndex;

namespace tolvane::forms {

// A grid with tens of thousands of rows (the disassembly, the memory dump):
// screen readers are told of the rows in view and a view's worth on either
// side, each one item whose name is the row's text (its fixed column and its
// cells), as a list view does. Qt's own description makes every cell of every
// row a child, so that a walk of the tree takes minutes.
void ExposeRowsInView(QAbstractItemView* view);

// The grid's current row changed: tells screen readers which item now has
// the focus, by its place among the items exposed. (The table view's own
// notice counts cells of the whole table, which no item here answers to.)
void RowsInViewCurrentChanged(QAbstractItemView* view, const QModelIndex& current);

}  // namespace tolvane::forms
