#include "forms/Printing.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPrinterInfo>
#include <QRadioButton>
#include <QVBoxLayout>
#include <cmath>

#include "common/Cp932.h"
#include "forms/DialogPort.h"
#include "forms/UiFonts.h"
#include "forms/Utf8.h"

namespace tolvane::forms {

namespace {

enum class Failure { None, PageTooShort, CannotBegin };

// The printer, or the PDF file that stands in for it.
class PrinterSurface : public PrintSurface {
 public:
  explicit PrinterSurface(QPrinter& printer) : printer_(printer) {}
  QPaintDevice* Device() override { return &printer_; }
  QSize PageSize() const override { return printer_.pageLayout().paintRectPixels(printer_.resolution()).size(); }
  int ResolutionX() const override { return printer_.logicalDpiX(); }
  int ResolutionY() const override { return printer_.logicalDpiY(); }
  void SetTitle(const QString& title) override { printer_.setDocName(title); }
  bool NewPage() override { return printer_.newPage(); }

 private:
  QPrinter& printer_;
};

// The pieces of `text` that fit `width` one after another (at least one
// character each, so that every character is printed once).
QStringList Wrap(const QString& text, const QFontMetrics& metrics, int width) {
  QStringList pieces;
  QString piece;
  int used = 0;
  for (qsizetype i = 0; i < text.size(); ++i) {
    const qsizetype n = (text.at(i).isHighSurrogate() && i + 1 < text.size()) ? 2 : 1;
    const QString character = text.mid(i, n);
    const int advance = metrics.horizontalAdvance(character);
    if (!piece.isEmpty() && used + advance > width) {
      pieces << piece;
      piece.clear();
      used = 0;
    }
    piece += character;
    used += advance;
    i += n - 1;
  }
  pieces << piece;  // an empty line keeps its place too
  return pieces;
}

// Text put at (x, y) as the printer's text output does: y is the top of the line.
void TextAt(QPainter& painter, int x, int y, const QString& text) {
  painter.drawText(QPoint(x, y + painter.fontMetrics().ascent()), text);
}

Failure DrawText(PrintSurface& surface, const TextPrintout& printout) {
  const QSize page = surface.PageSize();
  const TextPageGeometry g = PageGeometry(printout.fontPoints, surface.ResolutionY(), page.width(), page.height());
  // The header takes lines 0 to 2 and the footer the last two: a page without
  // room for one body line between them cannot be printed.
  if (g.BodyLinesPerPage() < 1) return Failure::PageTooShort;
  QPainter painter;
  if (!painter.begin(surface.Device())) return Failure::CannotBegin;
  painter.setFont(MakeFont(printout.fontName, printout.fontPoints));
  const QFontMetrics metrics = painter.fontMetrics();
  const int width = g.pageWidth - g.BodyX();
  int pageNumber = 1;
  const auto footer = [&] { TextAt(painter, g.FooterX(), g.FooterY(), QStringLiteral("Page %1").arg(pageNumber)); };
  TextAt(painter, g.HeaderX(), g.HeaderY(), printout.firstHeader);
  int k = 3;
  for (const std::string& line : printout.lines) {
    for (const QString& piece : Wrap(FromCp932(ExpandTabs(line)), metrics, width)) {
      if (k == g.linesPerPage) {
        footer();
        if (!surface.NewPage()) {
          painter.end();
          return Failure::CannotBegin;
        }
        ++pageNumber;
        TextAt(painter, g.HeaderX(), g.HeaderY(), printout.laterHeader);
        k = 3;
      }
      TextAt(painter, g.BodyX(), g.BodyY(k), piece);
      ++k;
    }
  }
  footer();
  return painter.end() ? Failure::None : Failure::CannotBegin;
}

Failure DrawPicture(PrintSurface& surface, const PicturePrintout& printout) {
  const QSize page = surface.PageSize();
  const int h = 12 * surface.ResolutionY() / 72;
  QPainter painter;
  if (!painter.begin(surface.Device())) return Failure::CannotBegin;
  painter.setFont(MakeFont(FontGothic(), 12));
  TextAt(painter, page.width() / 11, 0, printout.nameLine);
  // The box a picture of the whole screen filled: 85 % of the printable width,
  // 4 : 3. The window's picture fills it as far as its own shape allows.
  const int boxWidth = static_cast<int>(0.85 * page.width());
  const int boxHeight = static_cast<int>(0.75 * boxWidth);
  const QSize picture = printout.picture.size();
  if (!picture.isEmpty()) {
    QSize printed = picture.scaled(boxWidth, boxHeight, Qt::KeepAspectRatio);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.drawImage(QRect(QPoint(page.width() / 8, 2 * h), printed),
                      printout.picture.convertToFormat(QImage::Format_RGB888));
  }
  return painter.end() ? Failure::None : Failure::CannotBegin;
}

// A file name for the PDF of a job: the job's subject with ".pdf".
QString PdfName(const QString& title) {
  QString subject = title;
  const QString prefix = QStringLiteral("Tolvane - ");
  if (subject.startsWith(prefix)) subject = subject.mid(prefix.size());
  QString base = QFileInfo(subject).completeBaseName();
  if (base.isEmpty()) base = QFileInfo(subject).fileName();
  for (QChar& c : base)
    if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c == QLatin1Char(':') || c == QLatin1Char(' ')) c = '_';
  if (base.isEmpty()) base = QStringLiteral("Tolvane");
  return base + QStringLiteral(".pdf");
}

// `PrinterSetupDialog1`: the printer (or a PDF file), the paper and the orientation.
class TdlgPrinterSetup : public QDialog {
 public:
  TdlgPrinterSetup(QWidget* parent, const QPrinter& printer, bool pdf) : QDialog(parent) {
    setObjectName(QStringLiteral("PrinterSetupDialog1"));
    setWindowTitle(UiText(u8"プリンタの設定"));
    printers_ = new QComboBox(this);
    printers_->setObjectName(QStringLiteral("cmbboxPrinter"));
    for (const QString& name : QPrinterInfo::availablePrinterNames()) printers_->addItem(name, name);
    printers_->addItem(UiText(u8"PDFファイルに出力"), QString());
    const int current = pdf ? printers_->count() - 1 : printers_->findData(printer.printerName());
    printers_->setCurrentIndex(current >= 0 ? current : 0);

    paper_ = new QComboBox(this);
    paper_->setObjectName(QStringLiteral("cmbboxPaper"));
    for (QPageSize::PageSizeId id : {QPageSize::A4, QPageSize::A3, QPageSize::A5, QPageSize::B4, QPageSize::B5,
                                     QPageSize::Letter, QPageSize::Legal})
      paper_->addItem(QPageSize::name(id), static_cast<int>(id));
    const int paper = paper_->findData(static_cast<int>(printer.pageLayout().pageSize().id()));
    paper_->setCurrentIndex(paper >= 0 ? paper : 0);

    auto* orientation = new QGroupBox(UiText(u8"印刷の向き"), this);
    portrait_ = new QRadioButton(UiText(u8"縦(&O)"), orientation);
    portrait_->setObjectName(QStringLiteral("rbPortrait"));
    landscape_ = new QRadioButton(UiText(u8"横(&A)"), orientation);
    landscape_->setObjectName(QStringLiteral("rbLandscape"));
    (printer.pageLayout().orientation() == QPageLayout::Landscape ? landscape_ : portrait_)->setChecked(true);
    auto* orientationLayout = new QHBoxLayout(orientation);
    orientationLayout->addWidget(portrait_);
    orientationLayout->addWidget(landscape_);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* form = new QFormLayout;
    form->addRow(UiText(u8"プリンタ(&P):"), printers_);
    form->addRow(UiText(u8"用紙サイズ(&Z):"), paper_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(orientation);
    layout->addWidget(buttons);
  }

  // Puts the choices into the printer; true when a PDF file was chosen.
  bool Apply(QPrinter& printer) const {
    const QString name = printers_->currentData().toString();
    if (!name.isEmpty()) {
      printer.setOutputFormat(QPrinter::NativeFormat);
      printer.setPrinterName(name);
    }
    printer.setPageSize(QPageSize(static_cast<QPageSize::PageSizeId>(paper_->currentData().toInt())));
    printer.setPageOrientation(landscape_->isChecked() ? QPageLayout::Landscape : QPageLayout::Portrait);
    return name.isEmpty();
  }

 private:
  QComboBox* printers_ = nullptr;
  QComboBox* paper_ = nullptr;
  QRadioButton* portrait_ = nullptr;
  QRadioButton* landscape_ = nullptr;
};

}  // namespace

TextPageGeometry PageGeometry(int fontPoints, int resolutionY, int pageWidth, int pageHeight) {
  TextPageGeometry g;
  g.pageWidth = pageWidth;
  g.pageHeight = pageHeight;
  // Multiplied and divided together, rounded to the nearest pixel.
  g.lineHeight = std::abs(static_cast<int>(std::lround(static_cast<double>(fontPoints) * resolutionY / 72.0)));
  g.linesPerPage = g.lineHeight > 0 ? pageHeight / g.lineHeight - 3 : 0;
  return g;
}

std::string ExpandTabs(const std::string& cp932) {
  std::string out;
  out.reserve(cp932.size());
  for (char c : cp932) {
    if (c == '\t') {
      out.append(8 - out.size() % 8, ' ');
    } else {
      out += c;
    }
  }
  return out;
}

std::string PrintableCp932(const QString& line) {
  std::string out;
  if (ToCp932(line, out)) return out;
  out.clear();
  for (qsizetype i = 0; i < line.size(); ++i) {
    const qsizetype n = (line.at(i).isHighSurrogate() && i + 1 < line.size()) ? 2 : 1;
    std::string bytes;
    out += ToCp932(line.mid(i, n), bytes) ? bytes : std::string("?");
    i += n - 1;
  }
  return out;
}

namespace {
QString FailureText(Failure failure) {
  switch (failure) {
    case Failure::None:
      return {};
    case Failure::PageTooShort:
      return UiText(
          u8"用紙が短すぎて、ヘッダとフッタの間に1行も印刷できません。"
          u8"フォントを小さくするか、大きな用紙を選んでください。");
    case Failure::CannotBegin:
      return UiText(u8"印刷を開始できません。");
  }
  return {};
}
}  // namespace

bool DrawTextPrintout(PrintSurface& surface, const TextPrintout& printout, QString* error) {
  const Failure failure = DrawText(surface, printout);
  if (error) *error = FailureText(failure);
  return failure == Failure::None;
}

bool DrawPicturePrintout(PrintSurface& surface, const PicturePrintout& printout, QString* error) {
  const Failure failure = DrawPicture(surface, printout);
  if (error) *error = FailureText(failure);
  return failure == Failure::None;
}

// ---------------------------------------------------------------------------

TPrinting::TPrinting() : printer_(std::make_unique<QPrinter>(QPrinter::HighResolution)) {
  printer_->setPageSize(QPageSize(QPageSize::A4));
}

TPrinting::~TPrinting() = default;

bool TPrinting::PrintsToPdf() const {
  return pdfChosen_ || printer_->printerName().isEmpty() || QPrinterInfo::availablePrinterNames().isEmpty();
}

template <typename Draw>
bool TPrinting::Run(QWidget* parent, const QString& title, Draw draw) {
  PrinterSurface printerSurface(*printer_);
  PrintSurface& surface = override_ ? *override_ : static_cast<PrintSurface&>(printerSurface);
  QString cannotBegin = FailureText(Failure::CannotBegin);  // names the PDF file or the printer when known
  if (!override_) {
    if (PrintsToPdf()) {
      const QString folder = lastPdfFolder_.isEmpty() ? QDir::currentPath() : lastPdfFolder_;
      const QString path =
          Dialogs().GetSaveFileName(parent, UiText(u8"PDFファイルに印刷"), QDir(folder).filePath(PdfName(title)),
                                    UiText(u8"PDFファイル(*.pdf)"), QStringLiteral("pdf"));
      if (path.isEmpty()) return false;
      lastPdfFolder_ = QFileInfo(path).absolutePath();
      printer_->setOutputFormat(QPrinter::PdfFormat);
      printer_->setOutputFileName(path);
      cannotBegin = path + UiText(u8"に書き込めません。");
    } else {
      printer_->setOutputFileName(QString());
      cannotBegin = UiText(u8"プリンタ「") + printer_->printerName() + UiText(u8"」で印刷を開始できません。");
    }
  }
  // Every job carries its own title.
  surface.SetTitle(title);
  Failure failure = draw(surface);
  if (failure == Failure::None && !override_ && printer_->printerState() == QPrinter::Error)
    failure = Failure::CannotBegin;
  switch (failure) {
    case Failure::None:
      return true;
    case Failure::PageTooShort:
      Dialogs().Ask(BoxKind::Warning, FailureText(failure));
      return false;
    case Failure::CannotBegin:
      Dialogs().Ask(BoxKind::Error, cannotBegin);
      return false;
  }
  return false;
}

bool TPrinting::PrintText(QWidget* parent, const TextPrintout& printout) {
  return Run(parent, printout.title, [&](PrintSurface& surface) { return DrawText(surface, printout); });
}

bool TPrinting::PrintPicture(QWidget* parent, const PicturePrintout& printout) {
  return Run(parent, printout.title, [&](PrintSurface& surface) { return DrawPicture(surface, printout); });
}

bool TPrinting::Setup(QWidget* parent) {
  TdlgPrinterSetup dialog(parent, *printer_, PrintsToPdf());
  if (dialog.exec() != QDialog::Accepted) return false;
  pdfChosen_ = dialog.Apply(*printer_);
  return true;
}

}  // namespace tolvane::forms
