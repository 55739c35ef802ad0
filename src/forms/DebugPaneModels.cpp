#include "forms/DebugPaneModels.h"

#include <QPainter>

#include "common/TextRules.h"
#include "debugger/ExecutionControl.h"
#include "debugger/Formats.h"
#include "forms/DialogPort.h"
#include "forms/Utf8.h"

namespace tolvane::forms {

using debugger::ExecutionControl;

std::string TypedCp932(const QString& text) {
  std::string out;
  for (qsizetype i = 0; i < text.size(); ++i) {
    // One character: a surrogate pair stays together.
    const qsizetype n = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
    std::string bytes;
    out += ToCp932(text.mid(i, n), bytes) ? bytes : std::string("?");
    i += n - 1;
  }
  return out;
}

QColor PaneSelectedColor() { return QColor(204, 204, 255); }
QColor PaneChangedColor() { return QColor(255, 226, 140); }
QColor PaneFixedColor() { return QColor(236, 236, 236); }

namespace {

QString Latin(const std::string& ascii) {
  return QString::fromLatin1(ascii.data(), static_cast<qsizetype>(ascii.size()));
}

// A breakpoint sign on a light grey ground that is then made transparent, as
// the mark pictures have always been drawn.
QPixmap MarkPicture(const QColor& sign) {
  QImage image(16, 16, QImage::Format_ARGB32);
  image.fill(QColor(192, 192, 192));
  {
    QPainter p(&image);
    p.setPen(Qt::NoPen);
    p.setBrush(sign);
    p.drawEllipse(QRect(1, 1, 14, 14));
    p.setBrush(Qt::white);
    p.drawRect(QRect(3, 7, 10, 2));
  }
  const QRgb grey = qRgb(192, 192, 192);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x)
      if (image.pixel(x, y) == grey) image.setPixel(x, y, qRgba(0, 0, 0, 0));
  return QPixmap::fromImage(image);
}

}  // namespace

const QPixmap& StopMark() {
  static const QPixmap p = MarkPicture(QColor(255, 0, 0));
  return p;
}
const QPixmap& PauseMark() {
  static const QPixmap p = MarkPicture(QColor(128, 128, 0));
  return p;
}
const QPixmap& ClearMark() {
  static const QPixmap p = [] {
    QPixmap white(16, 16);
    white.fill(Qt::white);
    return white;
  }();
  return p;
}

// ---- disassembly ----

namespace {
std::uint64_t TextHash(std::string_view text) {
  const std::uint64_t h = std::hash<std::string_view>{}(text);
  return h == 0 ? 1 : h;  // 0 stands for "never painted"
}
}  // namespace

void TUnAssembleModel::SetRowCount(int rows) {
  painted_.resize(static_cast<std::size_t>(std::max(rows, 0)), 0);
  if (rows > rows_) {
    beginInsertRows({}, rows_, rows - 1);
    rows_ = rows;
    endInsertRows();
  } else if (rows < rows_) {
    beginRemoveRows({}, rows, rows_ - 1);
    rows_ = rows;
    endRemoveRows();
    if (prRow_ >= rows_) prRow_ = -1;
  }
}

void TUnAssembleModel::RowsChanged(int first, int last, bool marks) {
  first = std::max(first, 0);
  last = std::min(last, rows_ - 1);
  if (first > last) return;
  const int tableRows = core_ ? core_->Disassembly().RowCount() : 0;
  for (int r = first; r <= last; ++r) {
    const std::uint64_t now = r < tableRows ? PaintKey(r) : TextHash({});
    if (painted_[static_cast<std::size_t>(r)] != now) emit dataChanged(index(r, 0), index(r, 0), {Qt::DisplayRole});
  }
  if (marks) emit headerDataChanged(Qt::Vertical, first, last);
}

QString TUnAssembleModel::RowText(int row) const {
  if (!core_ || row < 0 || row >= core_->Disassembly().RowCount()) return {};
  const std::string_view text = core_->Disassembly().Row(row).text;
  return FromCp932(std::string(text));
}

Word TUnAssembleModel::RowAddress(int row) const {
  if (!core_ || row < 0 || row >= core_->Disassembly().RowCount()) return 0;
  return core_->Disassembly().Row(row).address;
}

TUnAssembleModel::Mark TUnAssembleModel::MarkOf(int row) const {
  if (!core_ || row < 0 || row >= core_->Disassembly().RowCount()) return Mark::None;
  const Word a = RowAddress(row);
  const debugger::BreakpointTable& t = core_->Breakpoints();
  if (t.FindEnabledBreakpoint(a) >= 0) return Mark::Enabled;
  if (t.FindDisabledBreakpoint(a) >= 0) return Mark::Disabled;
  return Mark::None;
}

unsigned TUnAssembleModel::MarksOf(int row) const {
  const Mark mark = MarkOf(row);
  return (mark == Mark::Enabled    ? kEnabledMark
          : mark == Mark::Disabled ? kDisabledMark
                                   : 0u) |
         (row >= 0 && row == prRow_ ? kPrMark : 0u);
}

void TUnAssembleModel::SetPrRow(int row) {
  if (row >= rows_) row = -1;
  if (row == prRow_) return;
  const int old = prRow_;
  prRow_ = row;
  for (int r : {old, row}) {
    if (r < 0) continue;
    emit headerDataChanged(Qt::Vertical, r, r);
    emit dataChanged(index(r, 0), index(r, 0), {Qt::AccessibleDescriptionRole});
  }
}

QString TUnAssembleModel::MarkWords(int row) const {
  const unsigned marks = MarksOf(row);
  QStringList words;
  if (marks & kPrMark) words << UiText(u8"次に実行する命令");
  if (marks & kEnabledMark) words << UiText(u8"ブレークポイント");
  if (marks & kDisabledMark) words << UiText(u8"無効なブレークポイント");
  return words.join(QStringLiteral("、"));
}

std::uint64_t TUnAssembleModel::PaintKey(int row) const {
  // The text and the change mark: the row is painted again when either changes.
  return TextHash(core_->Disassembly().Row(row).text) ^ (core_->DisassemblyRowChanged(row) ? 0x5A5A5A5A5A5Au : 0);
}

QVariant TUnAssembleModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid()) return {};
  const int r = index.row();
  const bool inTable = core_ && r < core_->Disassembly().RowCount();
  if (role == kChangedRole) return inTable && core_->DisassemblyRowChanged(r);
  if (role == Qt::AccessibleDescriptionRole) {
    QString words = MarkWords(r);
    if (inTable && core_->DisassemblyRowChanged(r))
      words += (words.isEmpty() ? QString() : QStringLiteral("、")) + UiText(u8"変更あり");
    return words;
  }
  if (role != Qt::DisplayRole && role != Qt::AccessibleTextRole) return {};
  if (role == Qt::DisplayRole && r < static_cast<int>(painted_.size()))
    painted_[static_cast<std::size_t>(r)] = inTable ? PaintKey(r) : TextHash(std::string_view());
  return RowText(r);
}

QVariant TUnAssembleModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Vertical) return {};
  switch (role) {
    case Qt::DecorationRole: {
      const Mark mark = MarkOf(section);
      return mark == Mark::Enabled ? StopMark() : mark == Mark::Disabled ? PauseMark() : QVariant();
    }
    case kRowMarksRole:
      return MarksOf(section);
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
    case Qt::ToolTipRole:
      // Words for the marks, so that a screen reader can tell them apart.
      return MarkWords(section);
    default:
      return {};
  }
}

Qt::ItemFlags TUnAssembleModel::flags(const QModelIndex& index) const {
  return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

// ---- memory dump ----

std::uint32_t TMemoryDumpModel::Key(Word address) const {
  if (!core_) return 0;
  const debugger::PaneState& panes = core_->Panes();
  return panes.ShownWord(address) | (panes.WordChanged(address) ? 0x10000u : 0u);
}

void TMemoryDumpModel::RowsChanged(int first, int last) {
  first = std::max(first, 0);
  last = std::min(last, kRows - 1);
  for (int r = first; r <= last; ++r) {
    for (int c = 0; c < kWordColumns; ++c) {
      const Word a = AddressOf(r, c);
      if (painted_[a] == Key(a)) continue;
      emit dataChanged(index(r, c), index(r, c), {Qt::DisplayRole, kChangedRole});
      emit dataChanged(index(r, c + kWordColumns), index(r, c + kWordColumns), {Qt::DisplayRole, kChangedRole});
    }
  }
}

QVariant TMemoryDumpModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || !core_) return {};
  const Word a = AddressOf(index.row(), index.column());
  const debugger::PaneState& panes = core_->Panes();
  switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole: {
      const Word w = panes.ShownWord(a);
      if (role == Qt::DisplayRole) painted_[a] = Key(a);
      return Latin(IsWordColumn(index.column()) ? Hex4(w) : debugger::MemoryCharText(w));
    }
    case kChangedRole:
      return panes.WordChanged(a);
    case Qt::AccessibleDescriptionRole:
      return panes.WordChanged(a) ? UiText(u8"変更あり") : QString();
    default:
      return {};
  }
}

QVariant TMemoryDumpModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation == Qt::Vertical && (role == Qt::DisplayRole || role == Qt::AccessibleTextRole))
    return Latin(debugger::MemoryRowAddressText(section));
  return {};
}

QString TMemoryDumpModel::ToolTipText(const QModelIndex& index) const {
  if (!index.isValid() || !IsWordColumn(index.column())) return {};
  // The value is the cell's text read back, so that the tooltip always agrees
  // with what the cell shows.
  const std::string text = data(index, Qt::DisplayRole).toString().toStdString();
  const std::optional<Word> value = ParseAddress(text);
  if (!value) return {};
  return FromCp932(debugger::MemoryTooltipText(AddressOf(index.row(), index.column()), *value));
}

// ---- watches ----

void TWatchPaneModel::Bind(const ExecutionControl* core) {
  beginResetModel();
  core_ = core;
  rows_ = CoreRows();
  painted_.assign(static_cast<std::size_t>(rows_), kUnknown);
  endResetModel();
}

int TWatchPaneModel::CoreRows() const { return core_ ? static_cast<int>(core_->Watches().Rows().size()) : 0; }

std::uint64_t TWatchPaneModel::Key(int row) const {
  const debugger::Watch& w = core_->Watches().Rows()[static_cast<std::size_t>(row)];
  const bool changed = core_->Panes().WatchChanged(w);
  // Everything a row shows: the value, the identity (the label by a hash), how
  // much is shown and the mark.
  const std::uint64_t label = std::hash<std::string>{}(w.label) & 0x1FFFFFFF;
  return std::uint64_t{w.value} | std::uint64_t{w.address} << 16 |
         std::uint64_t{static_cast<std::uint8_t>(w.shown)} << 32 | std::uint64_t{changed} << 34 | label << 35;
}

void TWatchPaneModel::Refresh(int first, int last) {
  if (CoreRows() != rows_) {
    beginResetModel();
    rows_ = CoreRows();
    painted_.assign(static_cast<std::size_t>(rows_), kUnknown);
    endResetModel();
    return;
  }
  // The same number of rows: another list of the same length differs in its
  // addresses, which are part of what was painted.
  first = std::max(first, 0);
  last = std::min(last, rows_ - 1);
  // Cell by cell: a range of cells repaints the whole view.
  for (int r = first; r <= last; ++r)
    if (painted_[static_cast<std::size_t>(r)] != Key(r))
      for (int c = 0; c < 6; ++c) emit dataChanged(index(r, c), index(r, c));
}

QVariant TWatchPaneModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || !core_ || index.row() >= CoreRows()) return {};
  const debugger::Watch& w = core_->Watches().Rows()[static_cast<std::size_t>(index.row())];
  const bool changed = core_->Panes().WatchChanged(w);
  if (role == Qt::DisplayRole && index.row() < static_cast<int>(painted_.size()))
    painted_[static_cast<std::size_t>(index.row())] = Key(index.row());
  switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
      switch (index.column()) {
        case 0:
          return Latin(w.AddressText());
        case 1:
          return FromCp932(w.label);
        case 2:
          return Latin(w.HexText());
        case 3:
          return Latin(w.LogicalText());
        case 4:
          return Latin(w.ArithmeticText());
        default:
          return Latin(w.CharacterText());
      }
    case kChangedRole:
      return changed && index.column() >= 2;
    case Qt::BackgroundRole:
      return changed && index.column() >= 2 ? QVariant(PaneChangedColor()) : QVariant();
    case Qt::AccessibleDescriptionRole:
      return changed ? UiText(u8"変更あり") : QString();
    default:
      return {};
  }
}

QVariant TWatchPaneModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  static const char8_t* const kCaptions[] = {u8"アドレス", u8"ラベル", u8"16進数", u8"論理値", u8"算術値", u8"文字"};
  return section >= 0 && section < 6 ? UiText(kCaptions[section]) : QVariant();
}

}  // namespace tolvane::forms
