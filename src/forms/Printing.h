#pragma once
#include <QImage>
#include <QPrinter>
#include <QRect>
#include <QString>
#include <QStringList>
#include <memory>
#include <string>
#include <vector>

class QPaintDevice;
class QWidget;

namespace tolvane::forms {

// Where of a text printout, in printer pixels: h, the lines per page L and the
// places of the header, the body lines and the footer. All divisions are
// integer divisions; no other margin than the printer's own.
struct TextPageGeometry {
  int pageWidth = 0;     // PW, the printable width
  int pageHeight = 0;    // PH, the printable height
  int lineHeight = 0;    // h = font points x vertical resolution / 72, rounded
  int linesPerPage = 0;  // L = PH / h - 3
  int HeaderX() const { return pageWidth / 11; }
  int HeaderY() const { return lineHeight; }
  int BodyX() const { return pageWidth / 8; }
  int BodyY(int k) const { return k * lineHeight; }  // k = 3 ... L - 1
  int BodyLinesPerPage() const { return linesPerPage - 3; }
  int FooterX() const { return pageWidth / 2; }
  int FooterY() const { return (linesPerPage + 2) * lineHeight; }
};
TextPageGeometry PageGeometry(int fontPoints, int resolutionY, int pageWidth, int pageHeight);

// A line's CP932 bytes with every tab expanded to spaces up to the next
// multiple of 8 columns (bytes).
std::string ExpandTabs(const std::string& cp932);
// The CP932 form of a line; a character CP932 cannot hold becomes "?".
std::string PrintableCp932(const QString& line);

// One paginated text printout.
struct TextPrintout {
  QString title;  // the print job's title
  QString fontName;
  int fontPoints = 12;
  QString firstHeader;             // page 1
  QString laterHeader;             // pages 2, 3, ...
  std::vector<std::string> lines;  // CP932
};

// The picture printout of a window: its name line and its picture.
struct PicturePrintout {
  QString title;
  QString nameLine;  // the load module's file name
  QImage picture;
};

// What a printout is drawn on: the printer (or a PDF file in its place), or a
// recording in tests.
class PrintSurface {
 public:
  virtual ~PrintSurface() = default;
  virtual QPaintDevice* Device() = 0;
  // The printable area, with the painter's origin at its top left corner.
  virtual QSize PageSize() const = 0;
  virtual int ResolutionX() const = 0;
  virtual int ResolutionY() const = 0;
  virtual void SetTitle(const QString& title) = 0;
  virtual bool NewPage() = 0;
};

// Draws the pages of a text printout: the page-1 header, the body lines (each
// wrapped at the right edge of the printable area, so that no part of a long
// line is lost) and the footer "Page n" on every page. False with `error` set
// when the page cannot hold one body line between its header and footer, or
// when the surface cannot be painted on.
bool DrawTextPrintout(PrintSurface& surface, const TextPrintout& printout, QString* error);
// Draws the name line and the picture, scaled (no smoothing) to fit a box of
// 85 % of the printable width in a 4 : 3 shape.
bool DrawPicturePrintout(PrintSurface& surface, const PicturePrintout& printout, QString* error);

// The application's printer, its setup and the print jobs. The printer keeps
// the settings of the setup dialog until the application ends. Where no
// printer is installed (or "PDF" was chosen in the setup), a job asks for a
// PDF file name and writes the same pages there.
class TPrinting {
 public:
  TPrinting();
  ~TPrinting();

  QPrinter& Printer() { return *printer_; }
  // True when jobs go to a PDF file (no printer installed, or chosen so).
  bool PrintsToPdf() const;

  // Print one job. False when it was cancelled (no PDF file name chosen) or
  // failed; a failure is reported in a message box before returning.
  bool PrintText(QWidget* parent, const TextPrintout& printout);
  bool PrintPicture(QWidget* parent, const PicturePrintout& printout);

  // The printer setup dialog (`PrinterSetupDialog1`): printer, paper and
  // orientation. True when confirmed.
  bool Setup(QWidget* parent);

  // Tests draw the jobs on a surface of their own instead of the printer.
  void SetSurfaceOverride(PrintSurface* surface) { override_ = surface; }

 private:
  template <typename Draw>
  bool Run(QWidget* parent, const QString& title, Draw draw);

  std::unique_ptr<QPrinter> printer_;
  PrintSurface* override_ = nullptr;
  bool pdfChosen_ = false;
  QString lastPdfFolder_;
};

}  // namespace tolvane::forms
