#include "forms/AccessibleTabs.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QHash>
#include <QPointer>
#include <QTabBar>

namespace tolvane::forms {

namespace {

const char kShownOnly[] = "tolvaneShownTabsOnly";

// One tab. A shown one is a page tab that names its page and brings it to the
// front; a hidden one is an invisible placeholder with no role and no name,
// there only so that the tab bar's own notices, which count every tab, find
// the tab they are about.
class ShownTab : public QAccessibleInterface, public QAccessibleActionInterface {
 public:
  ShownTab(QTabBar* bar, int index) : bar_(bar), index_(index) {}

  bool isValid() const override { return bar_ && index_ < bar_->count(); }
  bool Shown() const { return isValid() && bar_->isTabVisible(index_); }
  QObject* object() const override { return nullptr; }
  QWindow* window() const override { return bar_ ? bar_->window()->windowHandle() : nullptr; }
  QAccessibleInterface* focusChild() const override { return nullptr; }
  QAccessibleInterface* childAt(int, int) const override { return nullptr; }
  QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(bar_.data()); }
  QAccessibleInterface* child(int) const override { return nullptr; }
  int childCount() const override { return 0; }
  int indexOfChild(const QAccessibleInterface*) const override { return -1; }
  QString text(QAccessible::Text t) const override {
    if (!Shown()) return {};
    if (t == QAccessible::Name) return bar_->tabText(index_);
    if (t == QAccessible::Description) return bar_->tabToolTip(index_);
    return {};
  }
  void setText(QAccessible::Text, const QString&) override {}
  QRect rect() const override {
    if (!Shown()) return {};
    const QRect r = bar_->tabRect(index_);
    return QRect(bar_->mapToGlobal(r.topLeft()), r.size());
  }
  QAccessible::Role role() const override { return Shown() ? QAccessible::PageTab : QAccessible::NoRole; }
  QAccessible::State state() const override {
    QAccessible::State s;
    if (!Shown()) {
      s.invisible = true;
      s.offscreen = true;
      return s;
    }
    s.selectable = true;
    s.selected = bar_->currentIndex() == index_;
    s.focusable = true;
    return s;
  }
  void* interface_cast(QAccessible::InterfaceType type) override {
    return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this) : nullptr;
  }
  QStringList actionNames() const override { return Shown() ? QStringList{pressAction()} : QStringList(); }
  void doAction(const QString& name) override {
    if (name == pressAction() && Shown()) bar_->setCurrentIndex(index_);
  }
  QStringList keyBindingsForAction(const QString&) const override { return {}; }

  int Index() const { return index_; }

 private:
  QPointer<QTabBar> bar_;
  int index_;
};

// The tab bar: a list of its tabs by their indexes, the index the tab bar's
// notices (current tab, names) give; only the shown ones are page tabs.
class ShownTabList : public QAccessibleWidget {
 public:
  explicit ShownTabList(QTabBar* bar) : QAccessibleWidget(bar, QAccessible::PageTabList) {}
  ~ShownTabList() override {
    for (QAccessible::Id id : ids_) QAccessible::deleteAccessibleInterface(id);
  }

  int childCount() const override { return Bar()->count(); }
  QAccessibleInterface* child(int index) const override {
    if (index < 0 || index >= Bar()->count()) return nullptr;
    if (!ids_.contains(index)) {
      auto* item = new ShownTab(Bar(), index);
      ids_.insert(index, QAccessible::registerAccessibleInterface(item));
    }
    return QAccessible::accessibleInterface(ids_.value(index));
  }
  int indexOfChild(const QAccessibleInterface* child) const override {
    const auto* item = dynamic_cast<const ShownTab*>(child);
    return item && item->isValid() ? item->Index() : -1;
  }
  QAccessibleInterface* focusChild() const override {
    const int current = Bar()->currentIndex();
    return Bar()->hasFocus() && current >= 0 && Bar()->isTabVisible(current) ? child(current) : nullptr;
  }
  QString text(QAccessible::Text t) const override {
    if (t == QAccessible::Name && Bar()->currentIndex() >= 0 && Bar()->isTabVisible(Bar()->currentIndex()))
      return Bar()->tabText(Bar()->currentIndex());
    return QAccessibleWidget::text(t);
  }

 private:
  QTabBar* Bar() const { return static_cast<QTabBar*>(widget()); }
  mutable QHash<int, QAccessible::Id> ids_;
};

QAccessibleInterface* Factory(const QString&, QObject* object) {
  auto* bar = qobject_cast<QTabBar*>(object);
  return bar && bar->property(kShownOnly).toBool() ? new ShownTabList(bar) : nullptr;
}

}  // namespace

void ExposeOnlyShownTabs(QTabBar* bar) {
  static const bool installed = [] {
    QAccessible::installFactory(&Factory);
    return true;
  }();
  (void)installed;
  bar->setProperty(kShownOnly, true);
}

void ShownTabsChanged(QTabBar* bar) {
  if (!QAccessible::isActive()) return;
  QAccessibleEvent event(bar, QAccessible::ObjectReorder);
  QAccessible::updateAccessibility(&event);
}

}  // namespace tolvane::forms
