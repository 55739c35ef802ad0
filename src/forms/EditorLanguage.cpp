// The source page's side of the language services: the page's text goes to
// the shared service as CP932 (a character without a CP932 form as two
// question marks, so that columns stay where they were), answers come back
// as byte columns that are mapped onto the page's characters.
#include "forms/EditorLanguage.h"

#include <QAbstractItemView>
#include <QAbstractListModel>
#include <QAbstractProxyModel>
#include <QApplication>
#include <QCompleter>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QListView>
#include <QListWidget>
#include <QMap>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QStyle>
#include <QTabWidget>
#include <QTextBlock>
#include <QToolTip>
#include <algorithm>
#include <functional>
#include <map>

#include "common/Cp932.h"
#include "forms/DialogPort.h"
#include "forms/Utf8.h"

namespace tolvane::forms {

namespace {

lang::LanguageService& Service() {
  static lang::LanguageService service;
  return service;
}

std::map<std::string, QPlainTextEdit*>& Pages() {
  static std::map<std::string, QPlainTextEdit*> pages;
  return pages;
}

int CharBytes(QChar c) {
  const char16_t u = c.unicode();
  return u < 0x80 || (u >= 0xFF61 && u <= 0xFF9F) ? 1 : 2;
}

std::string ServiceText(const QString& text) {
  std::string out;
  if (Utf8ToCp932(text.toStdString(), out)) return out;
  out.clear();
  for (QChar c : text) {
    std::string one;
    if (Utf8ToCp932(QString(c).toStdString(), one) && static_cast<int>(one.size()) == CharBytes(c))
      out += one;
    else
      out.append(static_cast<std::size_t>(CharBytes(c)), '?');
  }
  return out;
}

int CharColumn(const QString& line, int byteColumn) {
  int bytes = 0, i = 0;
  for (; i < line.size() && bytes < byteColumn; ++i) bytes += CharBytes(line[i]);
  return i;
}

int ByteColumn(const QString& line, int charColumn) {
  int bytes = 0;
  for (int i = 0; i < charColumn && i < line.size(); ++i) bytes += CharBytes(line[i]);
  return bytes;
}

QString MessageLine(const lang::PlacedDiagnostic& d) { return FromCp932(tolvane::MessageLine(d.diagnostic)); }

}  // namespace

// The completion list: the service's answer kept as it came, each item's
// texts made only when the view or a screen reader asks for them. A list of
// tens of thousands of labels is then filled at the cost of its names.
class CompletionModel : public QAbstractListModel {
 public:
  using QAbstractListModel::QAbstractListModel;
  void Set(std::vector<lang::Completion> items, QStringList labels) {
    beginResetModel();
    items_ = std::move(items);
    labels_ = std::move(labels);
    endResetModel();
  }
  const lang::Completion& Item(int row) const { return items_[static_cast<std::size_t>(row)]; }
  int rowCount(const QModelIndex& parent = QModelIndex()) const override {
    return parent.isValid() ? 0 : static_cast<int>(labels_.size());
  }
  QVariant data(const QModelIndex& index, int role) const override {
    if (!index.isValid() || index.row() >= labels_.size()) return {};
    const lang::Completion& c = Item(index.row());
    switch (role) {
      case Qt::DisplayRole:
      case Qt::EditRole:
        return labels_[index.row()];
      case Qt::ToolTipRole:
        return FromCp932(c.documentation.empty() ? c.detail : c.documentation);
      case Qt::AccessibleDescriptionRole:
        return FromCp932(c.detail);
      default:
        return {};
    }
  }

 private:
  std::vector<lang::Completion> items_;
  QStringList labels_;
};

// Wavy lines under the fields with errors, drawn over the page's text.
class DiagnosticUnderline : public QWidget {
 public:
  explicit DiagnosticUnderline(QPlainTextEdit* editor) : QWidget(editor->viewport()), editor_(editor) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
    Follow();
    // Scrolling moves the children of the viewport with its pixels: put it back.
    connect(editor, &QPlainTextEdit::updateRequest, this, [this](const QRect&, int dy) {
      if (dy) Follow();
    });
  }
  void SetMarks(std::vector<EditorLanguage::Underline> marks) {
    marks_ = std::move(marks);
    update();
  }
  void Follow() {
    setGeometry(editor_->viewport()->rect());
    raise();
    update();
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.setPen(QPen(QColor(0xE0, 0x20, 0x20), 1));
    QTextDocument* doc = editor_->document();
    for (const EditorLanguage::Underline& m : marks_) {
      const QTextBlock block = doc->findBlockByNumber(m.line);
      if (!block.isValid() || !block.isVisible()) continue;
      const int length = block.length() - 1;
      QTextCursor c(block);
      c.setPosition(block.position() + std::min(m.first, length));
      const QRect a = editor_->cursorRect(c);
      c.setPosition(block.position() + (m.end < 0 ? length : std::min(m.end, length)));
      QRect b = editor_->cursorRect(c);
      if (a.bottom() < 0 || a.top() > height()) continue;
      const int right = std::max(b.right(), a.left() + editor_->fontMetrics().horizontalAdvance(u'M'));
      QPainterPath wave;
      const int y = a.bottom() - 1;
      wave.moveTo(a.left(), y);
      for (int x = a.left(), k = 0; x < right; x += 2, ++k) wave.lineTo(x + 2, y + (k % 2 ? 0 : -2));
      p.drawPath(wave);
    }
  }

 private:
  QPlainTextEdit* editor_;
  std::vector<EditorLanguage::Underline> marks_;
};

EditorLanguage::EditorLanguage(QPlainTextEdit* editor) : QObject(editor), editor_(editor) {
  setObjectName(QStringLiteral("editorLanguage"));
  name_ = "page:" + std::to_string(reinterpret_cast<std::uintptr_t>(editor));
  Pages()[name_] = editor;
  underline_ = new DiagnosticUnderline(editor);
  timer_.setSingleShot(true);
  timer_.setInterval(300);
  connect(&timer_, &QTimer::timeout, this, &EditorLanguage::Analyse);
  connect(editor->document(), &QTextDocument::contentsChanged, this, [this] {
    dirty_ = true;
    timer_.start();
  });

  model_ = new CompletionModel(this);
  completer_ = new QCompleter(model_, this);
  completer_->setWidget(editor);
  completer_->setCompletionMode(QCompleter::PopupCompletion);
  completer_->setCaseSensitivity(Qt::CaseInsensitive);
  completer_->popup()->setAccessibleName(UiText(u8"入力候補"));
  if (auto* list = qobject_cast<QListView*>(completer_->popup())) list->setUniformItemSizes(true);
  completer_->popup()->setTextElideMode(Qt::ElideNone);
  connect(completer_, qOverload<const QModelIndex&>(&QCompleter::activated), this, &EditorLanguage::Choose);
  completer_->popup()->installEventFilter(this);  // after the completer's own: runs before it
  // Keys typed while the list is open reach the page past this filter: follow the word from the caret.
  connect(editor, &QPlainTextEdit::cursorPositionChanged, this, [this] {
    if (!completer_->popup()->isVisible()) return;
    const QTextCursor cursor = editor_->textCursor();
    const QString line = cursor.block().text();
    int start = cursor.positionInBlock();
    while (start > 0 && line[start - 1].isLetterOrNumber()) --start;
    const QString prefix = line.mid(start, cursor.positionInBlock() - start);
    if (prefix == completer_->completionPrefix()) return;
    completer_->setCompletionPrefix(prefix);
    chosen_ = false;  // the list has changed under the highlight
    if (NothingToOffer())
      completer_->popup()->hide();
    else
      completer_->popup()->setCurrentIndex(completer_->completionModel()->index(0, 0));
  });

  references_ = new QListWidget(editor);
  references_->setWindowFlags(Qt::Popup);
  references_->setAccessibleName(UiText(u8"参照"));
  auto jump = [this](QListWidgetItem* item) {
    const QVariant fix = item->data(Qt::UserRole + 3);
    if (fix.isValid()) {  // a quick fix, not a place
      references_->hide();
      const auto k = static_cast<std::size_t>(fix.toInt());
      if (k < fixes_.size()) ApplyEdits(fixes_[k]);
      editor_->setFocus();
      return;
    }
    const QString page = item->data(Qt::UserRole).toString();
    const int line = item->data(Qt::UserRole + 1).toInt(), column = item->data(Qt::UserRole + 2).toInt();
    references_->hide();
    QPlainTextEdit* target = Pages().count(page.toStdString()) ? Pages()[page.toStdString()] : editor_;
    if (EditorLanguage* other = Of(target)) {
      target->setTextCursor(other->CursorAt(line, column));
      target->setFocus();
    }
  };
  references_->installEventFilter(this);  // Escape closes it
  connect(references_, &QListWidget::itemActivated, this, jump);
  connect(references_, &QListWidget::itemClicked, this, jump);

  editor->installEventFilter(this);
  viewport_ = editor->viewport();
  viewport_->installEventFilter(this);
  dirty_ = true;
  timer_.start();
}

EditorLanguage::~EditorLanguage() {
  Pages().erase(name_);
  Service().RemoveDocument(name_);
}

EditorLanguage* EditorLanguage::Of(const QPlainTextEdit* editor) {
  return editor ? editor->findChild<EditorLanguage*>(QStringLiteral("editorLanguage"), Qt::FindDirectChildrenOnly)
                : nullptr;
}

void EditorLanguage::Analyse() {
  timer_.stop();
  if (!dirty_) return;
  dirty_ = false;
  Service().SetDocument(name_, ServiceText(editor_->toPlainText()));
  // The records' fields are byte columns of the text the service read; the
  // page counts characters.
  std::vector<Underline> marks;
  for (const lang::PlacedDiagnostic& d : Service().Diagnostics(name_)) {
    Underline m{d.line};
    if (!d.span.Empty()) {
      const QString text = editor_->document()->findBlockByNumber(d.line).text();
      m.first = CharColumn(text, d.span.start);
      m.end = CharColumn(text, d.span.start + d.span.length);
    }
    marks.push_back(m);
  }
  underlined_ = marks;
  underline_->SetMarks(std::move(marks));
}

std::vector<int> EditorLanguage::UnderlinedLines() const {
  std::vector<int> lines;
  for (const Underline& m : underlined_) lines.push_back(m.line);
  return lines;
}

std::vector<std::pair<int, QString>> EditorLanguage::DiagnosticLines() {
  Analyse();
  std::vector<std::pair<int, QString>> out;
  for (const lang::PlacedDiagnostic& d : Service().Diagnostics(name_)) out.emplace_back(d.line, MessageLine(d));
  return out;
}

lang::Position EditorLanguage::PositionOf(const QTextCursor& cursor) {
  // Every page: an answer may lie in another one.
  for (const auto& [name, page] : Pages())
    if (EditorLanguage* l = Of(page)) l->Analyse();
  const QTextBlock block = cursor.block();
  return {block.blockNumber(), ByteColumn(block.text(), cursor.positionInBlock())};
}

QTextCursor EditorLanguage::CursorAt(int line, int byteColumn) const {
  const QTextBlock block = editor_->document()->findBlockByNumber(line);
  QTextCursor c(editor_->document());
  if (!block.isValid()) return c;
  c.setPosition(block.position() + CharColumn(block.text(), byteColumn));
  return c;
}

bool EditorLanguage::GoToDefinition() {
  const auto def = Service().Definition(name_, PositionOf(editor_->textCursor()));
  if (!def) return false;
  QPlainTextEdit* target = Pages().count(def->document) ? Pages()[def->document] : nullptr;
  EditorLanguage* other = Of(target);
  if (!other) return false;
  // A definition in another page: bring that page to the front first.
  for (QWidget* w = target; w && target != editor_; w = w->parentWidget()) {
    QWidget* stack = w->parentWidget();
    if (auto* tabs = qobject_cast<QTabWidget*>(stack ? stack->parentWidget() : nullptr)) {
      if (tabs->indexOf(w) >= 0) tabs->setCurrentWidget(w);
      break;
    }
  }
  target->setTextCursor(other->CursorAt(def->line, def->span.start));
  target->centerCursor();
  target->setFocus();
  return true;
}

void EditorLanguage::ShowCompletion() { ShowCompletion(Service().Complete(name_, PositionOf(editor_->textCursor()))); }

void EditorLanguage::ShowCompletion(std::vector<lang::Completion> items) {
  const QTextCursor cursor = editor_->textCursor();
  QAbstractItemView* popup = completer_->popup();
  chosen_ = false;
  if (items.empty()) {
    popup->hide();
    return;
  }
  QStringList labels;
  labels.reserve(static_cast<qsizetype>(items.size()));
  const QFontMetrics metrics(popup->font());
  int widest = 0;
  for (const lang::Completion& c : items) {
    labels.append(FromCp932(c.label));
    widest = std::max(widest, metrics.horizontalAdvance(labels.back()));
  }
  model_->Set(std::move(items), std::move(labels));
  // The word already typed before the caret narrows the list.
  const QString line = cursor.block().text();
  int start = cursor.positionInBlock();
  while (start > 0 && (line[start - 1].isLetterOrNumber())) --start;
  completer_->setCompletionPrefix(line.mid(start, cursor.positionInBlock() - start));
  if (NothingToOffer()) {
    popup->hide();
    return;
  }
  // Wide enough for the longest item of the whole list, not only of the rows
  // in view (which left the later, longer labels cut short when scrolled to).
  const int frame = 2 * popup->frameWidth() + 2 * popup->style()->pixelMetric(QStyle::PM_FocusFrameHMargin);
  QRect r = editor_->cursorRect();
  r.setWidth(widest + frame + metrics.averageCharWidth() * 2 + popup->verticalScrollBar()->sizeHint().width());
  completer_->complete(r);
  popup->setCurrentIndex(completer_->completionModel()->index(0, 0));  // what Tab takes
}

bool EditorLanguage::NothingToOffer() const {
  // A list whose only item is what is already typed has nothing left to give.
  const int count = completer_->completionCount();
  return count == 0 ||
         (count == 1 && completer_->completionModel()->index(0, 0).data().toString() == completer_->completionPrefix());
}

void EditorLanguage::Choose(const QModelIndex& index) {
  auto* proxy = qobject_cast<QAbstractProxyModel*>(completer_->completionModel());
  const int row = proxy ? proxy->mapToSource(index).row() : index.row();
  if (row >= 0 && row < model_->rowCount()) Insert(model_->Item(row));
}

void EditorLanguage::Insert(const lang::Completion& completion) {
  QTextCursor cursor = editor_->textCursor();
  const QString line = cursor.block().text();
  int start = cursor.positionInBlock();
  while (start > 0 && line[start - 1].isLetterOrNumber()) --start;
  const QString text = FromCp932(completion.text);
  cursor.beginEditBlock();
  cursor.setPosition(cursor.block().position() + start, QTextCursor::KeepAnchor);
  cursor.insertText(text);
  cursor.endEditBlock();
  // The first operand to fill in is selected, so that typing replaces it.
  if (!completion.placeholders.empty()) {
    const lang::Span first = completion.placeholders.front();
    const std::string& bytes = completion.text;
    const auto at = static_cast<int>(cursor.position() - text.size() + FromCp932(bytes.substr(0, first.start)).size());
    cursor.setPosition(at);
    cursor.setPosition(at + static_cast<int>(FromCp932(bytes.substr(first.start, first.length)).size()),
                       QTextCursor::KeepAnchor);
  }
  editor_->setTextCursor(cursor);
}

void EditorLanguage::ShowReferences() {
  const auto refs = Service().References(name_, PositionOf(editor_->textCursor()), true);
  references_->clear();
  references_->setAccessibleName(UiText(u8"参照"));
  for (const lang::Location& l : refs) {
    QPlainTextEdit* page = Pages().count(l.document) ? Pages()[l.document] : nullptr;
    if (!page) continue;
    const QString text = page->document()->findBlockByNumber(l.line).text().trimmed();
    auto* item = new QListWidgetItem(QStringLiteral("%1: %2").arg(l.line + 1).arg(text), references_);
    item->setData(Qt::UserRole, QString::fromStdString(l.document));
    item->setData(Qt::UserRole + 1, l.line);
    item->setData(Qt::UserRole + 2, l.span.start);
  }
  ShowList();
}

void EditorLanguage::ShowSymbols() {
  Analyse();
  references_->clear();
  references_->setAccessibleName(UiText(u8"シンボル"));
  const QString page = QString::fromStdString(name_);
  std::function<void(const lang::Symbol&, int)> add = [&](const lang::Symbol& s, int depth) {
    auto* item = new QListWidgetItem(QString(depth * 4, u' ') + FromCp932(s.name), references_);
    item->setData(Qt::UserRole, page);
    item->setData(Qt::UserRole + 1, s.line);
    item->setData(Qt::UserRole + 2, s.selection.start);
    for (const lang::Symbol& c : s.children) add(c, depth + 1);
  };
  for (const lang::Symbol& s : Service().Symbols(name_)) add(s, 0);
  ShowList();
}

void EditorLanguage::ShowQuickFixes() {
  const lang::Position at = PositionOf(editor_->textCursor());
  references_->clear();
  references_->setAccessibleName(UiText(u8"修正"));
  fixes_.clear();
  for (const lang::CodeAction& a : Service().CodeActions(name_, at.line, at.line)) {
    auto* item = new QListWidgetItem(FromCp932(a.title), references_);
    item->setData(Qt::UserRole + 3, static_cast<int>(fixes_.size()));
    fixes_.push_back(a.edits);
  }
  ShowList();
}

void EditorLanguage::ShowList() {
  if (references_->count() == 0) return;
  references_->setCurrentRow(0);
  const QRect r = editor_->cursorRect();
  references_->resize(std::max(320, references_->sizeHintForColumn(0) + 24),
                      std::min(300, references_->sizeHintForRow(0) * references_->count() + 8));
  references_->move(editor_->viewport()->mapToGlobal(r.bottomLeft()));
  references_->show();
  references_->setFocus();
}

bool EditorLanguage::Rename(const QString& newName) {
  const lang::RenameResult r = Service().Rename(name_, PositionOf(editor_->textCursor()), ToCp932OrEmpty(newName));
  if (!r.error.empty()) {
    // A box, not a tooltip: a tooltip shown as the name dialog closes is gone before it is read.
    Dialogs().Ask(BoxKind::Warning, FromCp932(r.error));
    return false;
  }
  for (const auto& [page, edits] : r.edits)
    if (Pages().count(page))
      if (EditorLanguage* other = Of(Pages()[page])) other->ApplyEdits(edits);
  return true;
}

void EditorLanguage::AskRename() {
  QTextCursor c = editor_->textCursor();
  c.select(QTextCursor::WordUnderCursor);
  QString name = c.selectedText();
  if (Dialogs().GetText(editor_, UiText(u8"ラベルの名前の変更"), UiText(u8"新しい名前:"), name)) Rename(name);
}

void EditorLanguage::FormatPage() {
  Analyse();
  ApplyEdits(Service().Format(name_, {}));
}

// Later edits first, so that the positions of the earlier ones stay good;
// all in one undo step.
void EditorLanguage::ApplyEdits(const std::vector<lang::TextEdit>& edits) {
  if (edits.empty()) return;
  Analyse();
  std::vector<lang::TextEdit> sorted = edits;
  std::sort(sorted.begin(), sorted.end(), [](const lang::TextEdit& a, const lang::TextEdit& b) {
    return a.line != b.line ? a.line > b.line : a.span.start > b.span.start;
  });
  const QTextCursor before = editor_->textCursor();
  const int line = before.blockNumber(), column = before.positionInBlock();
  QTextCursor cursor(editor_->document());
  cursor.beginEditBlock();
  for (const lang::TextEdit& e : sorted) {
    QTextCursor from = CursorAt(e.line, e.span.start);
    QTextCursor to = CursorAt(e.line, e.span.start + e.span.length);
    cursor.setPosition(from.position());
    cursor.setPosition(to.position(), QTextCursor::KeepAnchor);
    cursor.insertText(FromCp932(e.text));
  }
  cursor.endEditBlock();
  const QTextBlock block = editor_->document()->findBlockByNumber(line);
  if (block.isValid()) {
    QTextCursor back(block);
    back.setPosition(block.position() + std::min(column, static_cast<int>(block.text().size())));
    editor_->setTextCursor(back);
  }
}

QString EditorLanguage::HoverText(const QTextCursor& at) {
  const lang::Position p = PositionOf(at);
  QStringList parts;
  for (const lang::PlacedDiagnostic& d : Service().Diagnostics(name_))
    if (d.line == p.line) parts << MessageLine(d);
  if (const auto h = Service().HoverAt(name_, p)) parts << FromCp932(h->text);
  return parts.join(QStringLiteral("\n\n"));
}

void EditorLanguage::OfferWhileTyping(const QString& typed) {
  if (typed.isEmpty() || !(typed[0].isLetter() || typed[0] == u',')) return;
  // One question to the service: the same list is shown.
  auto items = Service().Complete(name_, PositionOf(editor_->textCursor()));
  if (!items.empty() && items.front().kind == lang::CompletionKind::Register) ShowCompletion(std::move(items));
}

bool EditorLanguage::eventFilter(QObject* watched, QEvent* event) {
  // The list's choosing keys: the completer hands every key to the page first,
  // and the page would take Enter and Tab as text.
  if (watched == completer_->popup() && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_PageUp || key == Qt::Key_PageDown) {
      chosen_ = true;
      return false;  // the list moves its highlight
    }
    // Tab takes the highlighted item; Enter only one the student moved to,
    // so that typing a program straight in still starts a line at each Enter.
    if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Tab) {
      const QModelIndex index = completer_->popup()->currentIndex();
      const bool take = key == Qt::Key_Tab || chosen_;
      completer_->popup()->hide();
      if (take) {
        if (index.isValid()) Choose(index);
      } else {
        QCoreApplication::sendEvent(editor_, event);
      }
      return true;
    }
    if (key == Qt::Key_Escape) {
      completer_->popup()->hide();
      return true;
    }
    return false;
  }
  // The list holds the keyboard while it is up: Escape gives it back to the page.
  if (watched == references_ && event->type() == QEvent::KeyPress &&
      static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
    references_->hide();
    editor_->activateWindow();
    editor_->setFocus();
    return true;
  }
  if (watched == viewport_) {
    if (event->type() == QEvent::ToolTip) {
      auto* help = static_cast<QHelpEvent*>(event);
      const QString text = HoverText(editor_->cursorForPosition(help->pos()));
      if (text.isEmpty())
        QToolTip::hideText();
      else
        QToolTip::showText(help->globalPos(), text, editor_);
      return true;
    }
    if (event->type() == QEvent::MouseButtonRelease &&
        (static_cast<QMouseEvent*>(event)->modifiers() & Qt::ControlModifier)) {
      editor_->setTextCursor(editor_->cursorForPosition(static_cast<QMouseEvent*>(event)->position().toPoint()));
      GoToDefinition();
      return true;
    }
    if (event->type() == QEvent::Resize) underline_->Follow();
    return false;
  }
  if (watched != editor_) return false;
  if (event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);

    const auto mods = key->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
    struct Binding {
      int key;
      Qt::KeyboardModifiers mods;
      void (EditorLanguage::*run)();
    };
    static const Binding kBindings[] = {
        {Qt::Key_Space, Qt::ControlModifier, &EditorLanguage::ShowCompletion},
        {Qt::Key_F12, Qt::NoModifier, nullptr},
        {Qt::Key_F12, Qt::ShiftModifier, &EditorLanguage::ShowReferences},
        {Qt::Key_F2, Qt::NoModifier, &EditorLanguage::AskRename},
        {Qt::Key_F, Qt::ShiftModifier | Qt::AltModifier, &EditorLanguage::FormatPage},
        {Qt::Key_O, Qt::ShiftModifier | Qt::ControlModifier, &EditorLanguage::ShowSymbols},
        {Qt::Key_Period, Qt::ControlModifier, &EditorLanguage::ShowQuickFixes},
    };
    for (const Binding& b : kBindings) {
      if (key->key() != b.key || mods != b.mods) continue;
      if (event->type() == QEvent::ShortcutOverride) {
        event->accept();  // these keys are the page's, not a menu's
        return true;
      }
      if (b.run)
        (this->*b.run)();
      else
        GoToDefinition();
      return true;
    }
    if (event->type() == QEvent::KeyPress && !completer_->popup()->isVisible()) {
      const QString typed = key->text();
      // After the key has gone into the text: in the operand column the list opens by itself.
      QTimer::singleShot(0, this, [this, typed] { OfferWhileTyping(typed); });
    }
  }
  return false;
}

}  // namespace tolvane::forms
