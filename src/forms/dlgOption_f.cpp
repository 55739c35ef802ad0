#include "forms/dlgOption_f.h"

#include <QApplication>
#include <QButtonGroup>
#include <QComboBox>
#include <QFile>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSettings>
#include <QTabWidget>
#include <QVBoxLayout>
#include <cstdlib>
#include <limits>

#include "common/TextRules.h"
#include "forms/DebugPaneModels.h"
#include "forms/DialogPort.h"
#include "forms/HelpTopic.h"
#include "forms/OptionFile.h"
#include "forms/UiFonts.h"
#include "forms/Utf8.h"
#include "forms/frmEditor_f.h"
#include "forms/frmList_f.h"

namespace tolvane::forms {

namespace {

// An integer value: present, a whole number, and within 32 bits (read back as
// the store gives it: a number from the registry, text from a file).
bool ReadInteger(QSettings& settings, const QString& key, qint64& out) {
  const QVariant value = settings.value(key);
  switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
      out = value.toLongLong();
      break;
    case QMetaType::QString: {
      bool ok = false;
      out = value.toString().trimmed().toLongLong(&ok, 10);
      if (!ok) return false;
      break;
    }
    default:
      return false;  // missing, or of another type (a flag written as "true" included)
  }
  return out >= std::numeric_limits<qint32>::min() && out <= std::numeric_limits<quint32>::max();
}

bool ReadChoice(QSettings& settings, const char* key, int& out) {
  qint64 v = 0;
  if (!ReadInteger(settings, QString::fromLatin1(key), v)) return false;
  out = static_cast<qint32>(static_cast<quint32>(v));
  return true;
}

bool ReadColor(QSettings& settings, const char* key, quint32& out) {
  qint64 v = 0;
  if (!ReadInteger(settings, QString::fromLatin1(key), v)) return false;
  out = static_cast<quint32>(v);
  return true;
}

// A string value: missing reads as empty; another type fails.
bool ReadText(QSettings& settings, const char* key, QString& out) {
  const QVariant value = settings.value(QString::fromLatin1(key));
  if (!value.isValid()) {
    out.clear();
    return true;
  }
  if (value.typeId() != QMetaType::QString) return false;
  out = value.toString();
  return true;
}

const QString& FailedLoad() {
  static const QString s = UiText(u8"レジストリ情報が取得できませんでしたので、適当な値で初期化します。");
  return s;
}

void ReportUnstored(const QString& path, const QString& why = QString()) {
  Dialogs().Ask(BoxKind::Error, path + UiText(u8"にオプションを保存できませんでした。") +
                                    (why.isEmpty() ? QString() : QStringLiteral("\n") + why));
}

// Writes the options to the file at `path` when that may be done (see
// PrepareOptionFileForWrite); `kept` says where an unreadable file was kept.
bool StoreOptionFile(const QString& path, const OptionValues& values, QString& why, QString& kept) {
  if (!PrepareOptionFileForWrite(path, why, kept)) return false;
  // What was there is kept aside: the options start afresh.
  if (!kept.isEmpty()) QFile::remove(path);
  QSettings settings(path, QSettings::IniFormat);
  if (settings.status() != QSettings::NoError || !settings.isWritable()) return false;
  settings.beginGroup(QStringLiteral("Option"));
  return WriteOptionValues(settings, values);
}

// Windows' system colour indices and the palette roles that play their part here.
QPalette::ColorRole SystemRole(quint32 index, bool* known) {
  static const std::pair<quint32, QPalette::ColorRole> kRoles[] = {
      {0, QPalette::Button},          {1, QPalette::Window},      {2, QPalette::Highlight},
      {3, QPalette::Window},          {4, QPalette::Window},      {5, QPalette::Base},
      {6, QPalette::WindowText},      {7, QPalette::WindowText},  {8, QPalette::Text},
      {9, QPalette::HighlightedText}, {10, QPalette::Button},     {11, QPalette::Button},
      {12, QPalette::Dark},           {13, QPalette::Highlight},  {14, QPalette::HighlightedText},
      {15, QPalette::Button},         {16, QPalette::Dark},       {17, QPalette::PlaceholderText},
      {18, QPalette::ButtonText},     {19, QPalette::WindowText}, {20, QPalette::Light},
      {21, QPalette::Shadow},         {22, QPalette::Midlight},   {23, QPalette::ToolTipText},
      {24, QPalette::ToolTipBase},    {26, QPalette::Link},       {27, QPalette::Highlight},
      {28, QPalette::Window},         {29, QPalette::Highlight},  {30, QPalette::Window},
  };
  for (const auto& [i, role] : kRoles) {
    if (i == index) {
      *known = true;
      return role;
    }
  }
  *known = false;
  return QPalette::NoRole;
}

constexpr quint32 kWindowText = 0xFF000008;
constexpr quint32 kWindow = 0xFF000005;

}  // namespace

OptionValues::OptionValues() : fontName(FontGothic()) {}

bool ReadOptionValues(QSettings& settings, OptionValues& v) {
  // In the stored order; the first failure ends the reading.
  if (!ReadChoice(settings, "L", v.listingChoice) || !ReadText(settings, "ST", v.stackText) ||
      !ReadText(settings, "ORG", v.originText) || !ReadChoice(settings, "SYM", v.symbolFileChoice) ||
      !ReadChoice(settings, "DOSYM", v.symbolicDebugChoice) || !ReadChoice(settings, "Run", v.runChoice) ||
      !ReadChoice(settings, "UnAsmDataToMachine", v.unAsmChoice) || !ReadText(settings, "FontName", v.fontName) ||
      !ReadChoice(settings, "FontSize", v.fontSize) || !ReadColor(settings, "FontColor", v.fontColor) ||
      !ReadColor(settings, "BackColor", v.backColor))
    return false;
  int autoIndent = 0;
  if (!ReadChoice(settings, "AutoIndent", autoIndent)) return false;
  v.autoIndentOption = autoIndent != 0;
  if (settings.contains(QStringLiteral("NewFileEncoding")) &&
      !ReadChoice(settings, "NewFileEncoding", v.newFileEncodingChoice))
    return false;
  return true;
}

bool WriteOptionValues(QSettings& settings, const OptionValues& v) {
  settings.setValue(QStringLiteral("L"), v.listingChoice);
  settings.setValue(QStringLiteral("ST"), v.stackText);
  settings.setValue(QStringLiteral("ORG"), v.originText);
  settings.setValue(QStringLiteral("SYM"), v.symbolFileChoice);
  settings.setValue(QStringLiteral("DOSYM"), v.symbolicDebugChoice);
  settings.setValue(QStringLiteral("Run"), v.runChoice);
  settings.setValue(QStringLiteral("UnAsmDataToMachine"), v.unAsmChoice);
  settings.setValue(QStringLiteral("FontName"), v.fontName);
  settings.setValue(QStringLiteral("FontSize"), v.fontSize);
  settings.setValue(QStringLiteral("FontColor"), static_cast<uint>(v.fontColor));
  settings.setValue(QStringLiteral("BackColor"), static_cast<uint>(v.backColor));
  // An integer, never a flag: the value is read back as one.
  settings.setValue(QStringLiteral("AutoIndent"), v.autoIndentOption ? 1 : 0);
  settings.setValue(QStringLiteral("NewFileEncoding"), v.newFileEncodingChoice);
  settings.sync();
  return settings.status() == QSettings::NoError;
}

bool HexOptionValue(const QString& text, Word& value) {
  const std::optional<Word> v = ReadLenientHex(TypedCp932(text));
  if (!v) return false;
  value = *v;
  return true;
}

QColor ColorFromOption(quint32 stored) {
  if ((stored & 0xFF000000) == 0xFF000000) {
    bool known = false;
    const QPalette::ColorRole role = SystemRole(stored & 0x00FFFFFF, &known);
    return known ? QApplication::palette().color(role) : QColor();
  }
  return QColor(static_cast<int>(stored & 0xFF), static_cast<int>((stored >> 8) & 0xFF),
                static_cast<int>((stored >> 16) & 0xFF));
}

quint32 OptionFromColor(const QColor& color) {
  const QColor rgb = color.toRgb();
  return static_cast<quint32>(rgb.red()) | (static_cast<quint32>(rgb.green()) << 8) |
         (static_cast<quint32>(rgb.blue()) << 16);
}

const QList<int>& FontSizes() {
  static const QList<int> sizes = {8, 9, 10, 11, 12, 14, 16, 18, 20, 22, 24, 26, 28, 36, 48, 72};
  return sizes;
}

QStringList FontNames() { return {FontFixedSys(), FontGothic(), FontMincho()}; }

// ---------------------------------------------------------------------------

TRadioGroup::TRadioGroup(const QString& name, const QString& caption, const QStringList& items, QWidget* parent)
    : QGroupBox(caption, parent), buttons_(new QButtonGroup(this)) {
  setObjectName(name);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(8, 4, 8, 4);
  layout->setSpacing(2);
  for (int i = 0; i < items.size(); ++i) {
    auto* button = new QRadioButton(items[i], this);
    button->setObjectName(name + QString::number(i));
    buttons_->addButton(button, i);
    layout->addWidget(button);
  }
  connect(buttons_, &QButtonGroup::idClicked, this, [this] { emit clicked(); });
}

int TRadioGroup::ItemIndex() const { return buttons_->checkedId(); }

void TRadioGroup::SetItemIndex(int index) {
  if (QAbstractButton* button = buttons_->button(index)) {
    button->setChecked(true);
    return;
  }
  // A stored number that names no item: none is checked.
  buttons_->setExclusive(false);
  for (QAbstractButton* b : buttons_->buttons()) b->setChecked(false);
  buttons_->setExclusive(true);
}

// ---------------------------------------------------------------------------

TdlgOption::TdlgOption(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("dlgOption"));
  setWindowTitle(UiText(u8"オプション"));
  setModal(true);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(6, 6, 6, 6);
  pages_ = new QTabWidget(this);
  pages_->setObjectName(QStringLiteral("PageControl1"));
  layout->addWidget(pages_, 1);
  auto page = [this](int number, const char8_t* caption) {
    auto* sheet = new QWidget(pages_);
    sheet->setObjectName(QStringLiteral("TabSheet%1").arg(number));
    pages_->addTab(sheet, UiText(caption));
    auto* sheetLayout = new QVBoxLayout(sheet);
    sheetLayout->setContentsMargins(6, 6, 6, 6);
    return sheetLayout;
  };
  const QStringList doOrNot = {UiText(u8"する"), UiText(u8"しない")};
  const QStringList writeOrNot = {UiText(u8"出力する"), UiText(u8"出力しない")};

  // Editor.
  QVBoxLayout* editor = page(1, u8"エディタ");
  auto* view = new QGroupBox(UiText(u8"表示"), pages_);
  view->setObjectName(QStringLiteral("GroupBox1"));
  auto* grid = new QGridLayout(view);
  grid->setContentsMargins(8, 4, 8, 4);
  auto* nameLabel = new QLabel(UiText(u8"フォント名"), view);
  fontName_ = new QComboBox(view);
  fontName_->setObjectName(QStringLiteral("cmbboxFontName"));
  fontName_->addItems(FontNames());
  nameLabel->setBuddy(fontName_);
  auto* sizeLabel = new QLabel(UiText(u8"サイズ"), view);
  fontSize_ = new QComboBox(view);
  fontSize_->setObjectName(QStringLiteral("cmbboxFontSize"));
  for (int size : FontSizes()) fontSize_->addItem(QString::number(size));
  sizeLabel->setBuddy(fontSize_);
  auto* fore = new QPushButton(UiText(u8"文字色..."), view);
  fore->setObjectName(QStringLiteral("btnForeColor"));
  auto* back = new QPushButton(UiText(u8"背景色..."), view);
  back->setObjectName(QStringLiteral("btnBackColor"));
  // What the pages will look like, so that a choice can be seen before OK.
  sample_ = new QLabel(UiText(u8"Aa Bb 012 あア漢"), view);
  sample_->setObjectName(QStringLiteral("lblSample"));
  sample_->setAutoFillBackground(true);
  sample_->setFrameShape(QFrame::StyledPanel);
  sample_->setAlignment(Qt::AlignCenter);
  sample_->setFixedHeight(28);
  sample_->setAccessibleName(UiText(u8"見本"));
  grid->addWidget(nameLabel, 0, 0);
  grid->addWidget(fontName_, 0, 1);
  grid->addWidget(fore, 0, 2);
  grid->addWidget(sizeLabel, 1, 0);
  grid->addWidget(fontSize_, 1, 1);
  grid->addWidget(back, 1, 2);
  grid->addWidget(sample_, 2, 0, 1, 3);
  grid->setColumnStretch(1, 1);
  editor->addWidget(view);
  autoIndent_ = new TRadioGroup(QStringLiteral("radiogAutoIndent"), UiText(u8"オートインデント"), doOrNot, pages_);
  editor->addWidget(autoIndent_);
  newFileEncoding_ =
      new TRadioGroup(QStringLiteral("radiogNewFileEncoding"), UiText(u8"新規ファイルの文字コード"),
                      {UiText(u8"Shift-JIS (CP932)"), UiText(u8"UTF-8"), UiText(u8"UTF-8 (BOM付き)")}, pages_);
  editor->addWidget(newFileEncoding_);
  editor->addStretch();

  // Assembler.
  QVBoxLayout* assembler = page(2, u8"アセンブラ");
  listing_ = new TRadioGroup(QStringLiteral("radiogL"), UiText(u8"リスティングファイル"), writeOrNot, pages_);
  assembler->addWidget(listing_);
  assembler->addStretch();

  // Linker.
  QVBoxLayout* linker = page(3, u8"リンカ");
  auto hexField = [this](const char8_t* caption, const char* name, const char* groupName) {
    auto* group = new QGroupBox(UiText(caption), pages_);
    group->setObjectName(QString::fromLatin1(groupName));
    auto* row = new QHBoxLayout(group);
    row->setContentsMargins(8, 4, 8, 4);
    auto* edit = new QLineEdit(group);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setAccessibleName(UiText(caption));
    edit->setMaximumWidth(90);
    row->addWidget(edit);
    row->addWidget(new QLabel(UiText(u8"Ｈ"), group));
    row->addStretch();
    return std::make_pair(group, edit);
  };
  auto [stackGroup, stack] = hexField(u8"スタックサイズ", "editST", "GroupBox2");
  auto [originGroup, origin] = hexField(u8"プログラムの先頭アドレス", "editORG", "GroupBox3");
  stack_ = stack;
  origin_ = origin;
  symbolFile_ = new TRadioGroup(QStringLiteral("radiogSYM"), UiText(u8"シンボルファイル"), writeOrNot, pages_);
  auto* fields = new QHBoxLayout;
  fields->addWidget(stackGroup);
  fields->addWidget(originGroup);
  linker->addLayout(fields);
  linker->addWidget(symbolFile_);
  linker->addStretch();

  // Debugger.
  QVBoxLayout* debugger = page(4, u8"デバッガ");
  symbolicDebug_ = new TRadioGroup(QStringLiteral("radiogDOSYM"), UiText(u8"シンボリックデバッグ"), doOrNot, pages_);
  unAsm_ = new TRadioGroup(QStringLiteral("radiogUnAsm"), UiText(u8"逆アセンブル（データ領域のデータ）"),
                           {UiText(u8"データとして逆アセンブル"), UiText(u8"機械語と同じなら機械語として逆アセンブル")},
                           pages_);
  debugger->addWidget(symbolicDebug_);
  debugger->addWidget(unAsm_);
  debugger->addStretch();

  // Run.
  QVBoxLayout* running = page(5, u8"実行");
  run_ = new TRadioGroup(QStringLiteral("radiogRun"), UiText(u8"実行後のレジスタの内容"),
                         {UiText(u8"表示する"), UiText(u8"表示しない")}, pages_);
  running->addWidget(run_);
  running->addStretch();

  auto* buttons = new QHBoxLayout;
  auto button = [this, buttons](const char* name, const char8_t* caption) {
    auto* b = new QPushButton(UiText(caption), this);
    b->setObjectName(QString::fromLatin1(name));
    b->setAutoDefault(false);
    buttons->addWidget(b);
    return b;
  };
  QPushButton* byDefault = button("btnDefault", u8"デフォルト");
  buttons->addStretch();
  QPushButton* ok = button("btnOK", u8"OK");
  ok->setDefault(true);
  QPushButton* cancel = button("btnCancel", u8"キャンセル");
  QPushButton* help = button("btnHelp", u8"ヘルプ");
  layout->addLayout(buttons);

  connect(byDefault, &QPushButton::clicked, this, &TdlgOption::btnDefaultClick);
  connect(ok, &QPushButton::clicked, this, &TdlgOption::btnOKClick);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(help, &QPushButton::clicked, this, &TdlgOption::btnHelpClick);
  connect(fore, &QPushButton::clicked, this, &TdlgOption::btnForeColorClick);
  connect(back, &QPushButton::clicked, this, &TdlgOption::btnBackColorClick);
  connect(symbolFile_, &TRadioGroup::clicked, this, &TdlgOption::radiogSYMClick);
  connect(symbolicDebug_, &TRadioGroup::clicked, this, &TdlgOption::radiogDOSYMClick);
  connect(fontName_, &QComboBox::currentIndexChanged, this, &TdlgOption::ShowSample);
  connect(fontSize_, &QComboBox::currentIndexChanged, this, &TdlgOption::ShowSample);

  // A fixed dialog border.
  setFixedSize(QSize(333, 264).expandedTo(minimumSizeHint()));
  FormShow();
}

void TdlgOption::showEvent(QShowEvent* event) {
  FormShow();
  if (QScreen* s = screen()) move(s->availableGeometry().center() - rect().center());
  QDialog::showEvent(event);
}

void TdlgOption::FormShow() {
  // A stored name or size that the lists do not hold selects the default font
  // and the nearest size, so that OK never stores an empty one.
  int name = static_cast<int>(FontNames().indexOf(values_.fontName));
  if (name < 0) name = static_cast<int>(FontNames().indexOf(FontGothic()));
  fontName_->setCurrentIndex(name);
  int nearest = 0;
  for (int i = 0; i < FontSizes().size(); ++i)
    if (std::abs(FontSizes()[i] - values_.fontSize) < std::abs(FontSizes()[nearest] - values_.fontSize)) nearest = i;
  fontSize_->setCurrentIndex(nearest);
  editedFore_ = values_.fontColor;
  editedBack_ = values_.backColor;
  listing_->SetItemIndex(values_.listingChoice);
  symbolFile_->SetItemIndex(values_.symbolFileChoice);
  symbolicDebug_->SetItemIndex(values_.symbolicDebugChoice);
  run_->SetItemIndex(values_.runChoice);
  unAsm_->SetItemIndex(values_.unAsmChoice);
  stack_->setText(values_.stackText);
  origin_->setText(values_.originText);
  autoIndent_->SetItemIndex(values_.autoIndentOption ? 0 : 1);
  newFileEncoding_->SetItemIndex(values_.newFileEncodingChoice);
  ShowSample();
}

void TdlgOption::ShowSample() {
  QFont font = MakeFont(fontName_->currentText(), fontSize_->currentText().toInt());
  // The sample shows the face and colours; very large sizes would not fit.
  if (font.pointSize() > 14) font.setPointSize(14);
  sample_->setFont(font);
  QPalette palette = sample_->palette();
  const QColor text = ColorFromOption(editedFore_), back = ColorFromOption(editedBack_);
  palette.setColor(QPalette::WindowText, text.isValid() ? text : QApplication::palette().color(QPalette::Text));
  palette.setColor(QPalette::Window, back.isValid() ? back : QApplication::palette().color(QPalette::Base));
  sample_->setPalette(palette);
}

void TdlgOption::btnDefaultClick() {
  editedFore_ = kWindowText;
  editedBack_ = kWindow;
  fontName_->setCurrentIndex(static_cast<int>(FontNames().indexOf(FontGothic())));
  fontSize_->setCurrentIndex(static_cast<int>(FontSizes().indexOf(12)));
  listing_->SetItemIndex(0);
  stack_->setText(QStringLiteral("%1").arg(2048, 4, 16, QLatin1Char('0')).toUpper());
  origin_->setText(QStringLiteral("%1").arg(256, 4, 16, QLatin1Char('0')).toUpper());
  for (TRadioGroup* group : {symbolFile_, symbolicDebug_, run_, unAsm_, autoIndent_, newFileEncoding_})
    group->SetItemIndex(0);
  ShowSample();
}

void TdlgOption::btnForeColorClick() {
  const QColor chosen = Dialogs().GetColor(this, ColorFromOption(editedFore_));
  if (!chosen.isValid()) return;
  editedFore_ = OptionFromColor(chosen);
  ShowSample();
}

void TdlgOption::btnBackColorClick() {
  const QColor chosen = Dialogs().GetColor(this, ColorFromOption(editedBack_));
  if (!chosen.isValid()) return;
  editedBack_ = OptionFromColor(chosen);
  ShowSample();
}

void TdlgOption::radiogSYMClick() {
  // Symbolic debugging needs the symbol file.
  if (symbolicDebug_->ItemIndex() == 0) symbolFile_->SetItemIndex(0);
}

void TdlgOption::radiogDOSYMClick() { radiogSYMClick(); }

void TdlgOption::btnHelpClick() { OpenHelpTopic(this, QStringLiteral("HID00000046.htm")); }

void TdlgOption::btnOKClick() {
  // A stack or origin text without a single hexadecimal digit would become a
  // wrong size or origin later: it is refused here, in its field.
  for (QLineEdit* field : {stack_, origin_}) {
    Word ignored = 0;
    if (HexOptionValue(field->text(), ignored)) continue;
    Dialogs().Ask(BoxKind::Error, field->text() + UiText(u8"は正しいデータではありません。"));
    pages_->setCurrentIndex(2);
    field->setFocus();
    field->selectAll();
    return;
  }
  OptionValues v = values_;
  v.fontName = fontName_->currentText().isEmpty() ? FontGothic() : fontName_->currentText();
  v.fontSize = fontSize_->currentText().toInt();
  v.fontColor = editedFore_;
  v.backColor = editedBack_;
  // A group with no item checked (a stored number naming none) keeps its value.
  auto take = [](TRadioGroup* group, int& member) {
    if (group->ItemIndex() >= 0) member = group->ItemIndex();
  };
  take(listing_, v.listingChoice);
  take(symbolFile_, v.symbolFileChoice);
  take(symbolicDebug_, v.symbolicDebugChoice);
  take(run_, v.runChoice);
  take(unAsm_, v.unAsmChoice);
  v.stackText = stack_->text();
  v.originText = origin_->text();
  if (autoIndent_->ItemIndex() >= 0) v.autoIndentOption = autoIndent_->ItemIndex() == 0;
  if (newFileEncoding_->ItemIndex() >= 0) v.newFileEncodingChoice = newFileEncoding_->ItemIndex();
  values_ = v;
  StoreValues();
  ApplyOptions();
  accept();
}

bool TdlgOption::StoreValues() {
  const QString path = OptionFilePath();
  QString why, kept;
  if (!StoreOptionFile(path, values_, why, kept)) {
    ReportUnstored(path, why);
    return false;
  }
  if (!kept.isEmpty()) Dialogs().Ask(BoxKind::Information, kept);
  return true;
}

void TdlgOption::LoadOptions(const std::function<void(const QString&)>& notice) {
  values_ = OptionValues();
  // The notice goes to the caller when it asks for it (the first start shows
  // it over the painted main window).
  const auto tell = [&notice](const QString& text) {
    if (notice)
      notice(text);
    else
      Dialogs().Ask(BoxKind::Information, text);
  };
  const QString path = OptionFilePath();
  // Never opened: a FIFO would block the start for ever, a device or a huge
  // file be read without end. The defaults, and the reason.
  if (const QString problem = OptionFileProblem(path); !problem.isEmpty()) {
    tell(FailedLoad() + QStringLiteral("\n") + problem);
    return;
  }
  {
    QSettings settings(path, QSettings::IniFormat);
    // A store that cannot be opened: the defaults, silently, nothing written.
    if (settings.status() != QSettings::NoError || !settings.isWritable()) return;
    settings.beginGroup(QStringLiteral("Option"));
    OptionValues read;
    if (ReadOptionValues(settings, read)) {
      values_ = read;
      return;
    }
  }
  QString why, kept;
  const bool stored = StoreOptionFile(path, values_, why, kept);
  const QString more = !kept.isEmpty() ? kept : why;
  tell(FailedLoad() + (more.isEmpty() ? QString() : QStringLiteral("\n") + more));
  if (!stored && why.isEmpty()) ReportUnstored(path);
}

void TdlgOption::ApplyOptions() {
  const OptionValues& v = values_;
  const QFont font = MakeFont(v.fontName.isEmpty() ? FontGothic() : v.fontName, v.fontSize);
  const QColor text = ColorFromOption(v.fontColor), back = ColorFromOption(v.backColor);
  if (targets_.editor) {
    targets_.editor->SetEditorFont(font);
    targets_.editor->SetEditorColors(text, back);
  }
  if (targets_.list) {
    targets_.list->SetListingFont(font);
    targets_.list->SetListingColors(text, back);
  }
  // A choice that is neither 0 nor 1, or a text without a hexadecimal digit,
  // leaves its setting as it was.
  if (BuildOptions* build = targets_.buildOptions) {
    if (v.listingChoice == 0 || v.listingChoice == 1) build->listing = v.listingChoice == 0 ? 1 : 0;
    Word word = 0;
    if (HexOptionValue(v.stackText, word)) build->stackSize = word;
    if (HexOptionValue(v.originText, word)) build->origin = word;
    if (v.symbolFileChoice == 0 || v.symbolFileChoice == 1) build->symbolFile = v.symbolFileChoice == 0 ? 1 : 0;
    if (v.symbolicDebugChoice == 0 || v.symbolicDebugChoice == 1)
      build->symbolicDebug = v.symbolicDebugChoice == 0 ? 1 : 0;
  }
  if (targets_.setShowRegistersAfterRun && (v.runChoice == 0 || v.runChoice == 1))
    targets_.setShowRegistersAfterRun(v.runChoice == 0);
  if (targets_.setUnAsmDataAsCode && (v.unAsmChoice == 0 || v.unAsmChoice == 1))
    targets_.setUnAsmDataAsCode(v.unAsmChoice == 1);
  if (targets_.editor) {
    targets_.editor->SetAutoIndent(v.autoIndentOption);
    targets_.editor->SetNewFileEncoding(v.newFileEncodingChoice);
  }
}

}  // namespace tolvane::forms
