#include "forms/AccessibleRows.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QHash>
#include <QHeaderView>
#include <QPointer>
#include <QScrollBar>
#include <QTableView>
#include <algorithm>

namespace tolvane::forms {

namespace {

const char kRowsInView[] = "tolvaneRowsInView";

// The rows shown now: the first one in view and how many fit.
struct Window {
  int first = 0;
  int count = 0;
};

Window RowsExposed(QAbstractItemView* view) {
  QAbstractItemModel* model = view ? view->model() : nullptr;
  const int rows = model ? model->rowCount() : 0;
  if (rows == 0) return {};
  const int top = std::max(0, view->indexAt(QPoint(1, 1)).row());
  const auto* table = qobject_cast<QTableView*>(view);
  const int rowHeight = std::max(1, table ? table->verticalHeader()->defaultSectionSize() : view->sizeHintForRow(top));
  const int inView = view->viewport()->height() / rowHeight + 1;
  const int first = std::max(0, top - inView);
  const int last = std::min(rows - 1, top + 2 * inView - 1);
  return {first, last - first + 1};
}

// One row: its fixed column's text and its cells', as one item.
class RowItem : public QAccessibleInterface {
 public:
  RowItem(QAbstractItemView* view, int row) : view_(view), row_(row) {}

  bool isValid() const override { return view_ && view_->model() && row_ < view_->model()->rowCount(); }
  QObject* object() const override { return nullptr; }
  QWindow* window() const override { return view_ ? view_->window()->windowHandle() : nullptr; }
  QAccessibleInterface* focusChild() const override { return nullptr; }
  QAccessibleInterface* childAt(int, int) const override { return nullptr; }
  QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(view_.data()); }
  QAccessibleInterface* child(int) const override { return nullptr; }
  int childCount() const override { return 0; }
  int indexOfChild(const QAccessibleInterface*) const override { return -1; }
  QString text(QAccessible::Text t) const override {
    if (t != QAccessible::Name || !isValid()) return {};
    const QAbstractItemModel* model = view_->model();
    QStringList parts;
    const QString fixed = model->headerData(row_, Qt::Vertical, Qt::AccessibleTextRole).toString().trimmed();
    if (!fixed.isEmpty()) parts << fixed;
    for (int c = 0; c < model->columnCount(); ++c) {
      const QString cell = model->data(model->index(row_, c), Qt::AccessibleTextRole).toString().trimmed();
      if (!cell.isEmpty()) parts << cell;
    }
    return parts.join(QLatin1Char(' '));
  }
  void setText(QAccessible::Text, const QString&) override {}
  QRect rect() const override {
    if (!isValid()) return {};
    const QAbstractItemModel* model = view_->model();
    QRect r = view_->visualRect(model->index(row_, 0));
    r = r.united(view_->visualRect(model->index(row_, model->columnCount() - 1)));
    return QRect(view_->viewport()->mapToGlobal(r.topLeft()), r.size());
  }
  QAccessible::Role role() const override { return QAccessible::ListItem; }
  QAccessible::State state() const override {
    QAccessible::State s;
    s.selectable = true;
    s.focusable = true;
    if (!isValid()) return s;
    const bool current = view_->currentIndex().isValid() && view_->currentIndex().row() == row_;
    s.selected = current;
    s.focused = current && view_->hasFocus();
    const QRect shown = view_->visualRect(view_->model()->index(row_, 0));
    s.invisible = !view_->viewport()->rect().intersects(shown);
    s.offscreen = s.invisible;
    return s;
  }

  int Row() const { return row_; }

 private:
  QPointer<QAbstractItemView> view_;
  int row_;
};

class RowList : public QAccessibleWidget {
 public:
  explicit RowList(QAbstractItemView* view) : QAccessibleWidget(view, QAccessible::List) {}
  ~RowList() override {
    for (QAccessible::Id id : ids_) QAccessible::deleteAccessibleInterface(id);
  }

  int childCount() const override { return RowsExposed(View()).count; }
  QAccessibleInterface* child(int index) const override {
    const Window w = RowsExposed(View());
    return index >= 0 && index < w.count ? ItemForRow(w.first + index) : nullptr;
  }
  int indexOfChild(const QAccessibleInterface* child) const override {
    const auto* item = dynamic_cast<const RowItem*>(child);
    if (!item) return -1;
    const Window w = RowsExposed(View());
    const int i = item->Row() - w.first;
    return i >= 0 && i < w.count ? i : -1;
  }
  QAccessibleInterface* focusChild() const override {
    const QModelIndex current = View()->currentIndex();
    return View()->hasFocus() && current.isValid() ? ItemForRow(current.row()) : nullptr;
  }
  QAccessibleInterface* childAt(int x, int y) const override {
    const QModelIndex at = View()->indexAt(View()->viewport()->mapFromGlobal(QPoint(x, y)));
    return at.isValid() ? ItemForRow(at.row()) : nullptr;
  }

  QAccessibleInterface* ItemForRow(int row) const {
    if (row < 0 || !View()->model() || row >= View()->model()->rowCount()) return nullptr;
    auto found = ids_.constFind(row);
    if (found == ids_.constEnd()) {
      // Rows scrolled far away are forgotten, so that the cache stays as small
      // as what is exposed.
      if (ids_.size() > 4 * std::max(1, RowsExposed(View()).count)) {
        for (QAccessible::Id id : ids_) QAccessible::deleteAccessibleInterface(id);
        ids_.clear();
      }
      found = ids_.insert(row, QAccessible::registerAccessibleInterface(new RowItem(View(), row)));
    }
    return QAccessible::accessibleInterface(*found);
  }

 private:
  QAbstractItemView* View() const { return static_cast<QAbstractItemView*>(widget()); }
  mutable QHash<int, QAccessible::Id> ids_;
};

QAccessibleInterface* Factory(const QString&, QObject* object) {
  auto* view = qobject_cast<QAbstractItemView*>(object);
  return view && view->property(kRowsInView).toBool() ? new RowList(view) : nullptr;
}

}  // namespace

void ExposeRowsInView(QAbstractItemView* view) {
  static const bool installed = [] {
    QAccessible::installFactory(&Factory);
    return true;
  }();
  (void)installed;
  view->setProperty(kRowsInView, true);
  // Scrolling changes which rows are exposed.
  QObject::connect(view->verticalScrollBar(), &QScrollBar::valueChanged, view, [view] {
    if (!QAccessible::isActive()) return;
    QAccessibleEvent event(view, QAccessible::ObjectReorder);
    QAccessible::updateAccessibility(&event);
  });
}

void RowsInViewCurrentChanged(QAbstractItemView* view, const QModelIndex& current) {
  if (!QAccessible::isActive() || !current.isValid() || !view->hasFocus()) return;
  auto* list = dynamic_cast<RowList*>(QAccessible::queryAccessibleInterface(view));
  const int index = list ? list->indexOfChild(list->ItemForRow(current.row())) : -1;
  if (index < 0) return;
  QAccessibleEvent event(view, QAccessible::Focus);
  event.setChild(index);
  QAccessible::updateAccessibility(&event);
}

}  // namespace tolvane::forms
