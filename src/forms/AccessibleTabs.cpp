#include "forms/AccessibleTabs.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QHash>
#include <QPointer>
#include <QTabBar>

namespace tolvane::forms {

namespace {

const char kShownOnly[] = "tolvaneShownTabsOnly";

// One shown tab: a page tab that names its page and brings it to the front.
class ShownTab : public QAccessibleInterface, public QAccessibleActionInterface {
 public:
  ShownTab(QTabBar* bar, int index) : bar_(bar), index_(index) {}

  bool isValid() const override { return bar_ && index_ < bar_->count() && bar_->isTabVisible(index_); }
  QObject* object() const override { return nullptr; }
  QWindow* window() const override { return bar_ ? bar_->window()->windowHandle() : nullptr; }
  QAccessibleInterface* focusChild() const override { return nullptr; }
  QAccessibleInterface* childAt(int, int) const override { return nullptr; }
  QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(bar_.data()); }
  QAccessibleInterface* child(int) const override { return nullptr; }
  int childCount() const override { return 0; }
  int indexOfChild(const QAccessibleInterface*) const override { return -1; }
  QString text(QAccessible::Text t) const override {
    if (!bar_) return {};
    if (t == QAccessible::Name) return bar_->tabText(index_);
    if (t == QAccessible::Description) return bar_->tabToolTip(index_);
    return {};
  }
  void setText(QAccessible::Text, const QString&) override {}
  QRect rect() const override {
    if (!bar_) return {};
    const QRect r = bar_->tabRect(index_);
    return QRect(bar_->mapToGlobal(r.topLeft()), r.size());
  }
  QAccessible::Role role() const override { return QAccessible::PageTab; }
  QAccessible::State state() const override {
    QAccessible::State s;
    s.selectable = true;
    s.selected = bar_ && bar_->currentIndex() == index_;
    s.focusable = true;
    return s;
  }
  void* interface_cast(QAccessible::InterfaceType type) override {
    return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this) : nullptr;
  }
  QStringList actionNames() const override { return {pressAction()}; }
  void doAction(const QString& name) override {
    if (name == pressAction() && bar_) bar_->setCurrentIndex(index_);
  }
  QStringList keyBindingsForAction(const QString&) const override { return {}; }

  int Index() const { return index_; }

 private:
  QPointer<QTabBar> bar_;
  int index_;
};

// The tab bar: a list of its shown tabs only.
class ShownTabList : public QAccessibleWidget {
 public:
  explicit ShownTabList(QTabBar* bar) : QAccessibleWidget(bar, QAccessible::PageTabList) {}
  ~ShownTabList() override {
    for (QAccessible::Id id : ids_) QAccessible::deleteAccessibleInterface(id);
  }

  int childCount() const override { return static_cast<int>(Shown().size()); }
  QAccessibleInterface* child(int index) const override {
    const QList<int> shown = Shown();
    if (index < 0 || index >= shown.size()) return nullptr;
    const int tab = shown.at(index);
    if (!ids_.contains(tab)) {
      auto* item = new ShownTab(Bar(), tab);
      ids_.insert(tab, QAccessible::registerAccessibleInterface(item));
    }
    return QAccessible::accessibleInterface(ids_.value(tab));
  }
  int indexOfChild(const QAccessibleInterface* child) const override {
    const auto* item = dynamic_cast<const ShownTab*>(child);
    return item ? static_cast<int>(Shown().indexOf(item->Index())) : -1;
  }
  QAccessibleInterface* focusChild() const override {
    const int shownIndex = static_cast<int>(Shown().indexOf(Bar()->currentIndex()));
    return Bar()->hasFocus() && shownIndex >= 0 ? child(shownIndex) : nullptr;
  }
  QString text(QAccessible::Text t) const override {
    if (t == QAccessible::Name && Bar()->currentIndex() >= 0 && Bar()->isTabVisible(Bar()->currentIndex()))
      return Bar()->tabText(Bar()->currentIndex());
    return QAccessibleWidget::text(t);
  }

 private:
  QTabBar* Bar() const { return static_cast<QTabBar*>(widget()); }
  QList<int> Shown() const {
    QList<int> shown;
    for (int i = 0; i < Bar()->count(); ++i)
      if (Bar()->isTabVisible(i)) shown << i;
    return shown;
  }
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
