#pragma once
#include <QFont>
#include <QList>
#include <QPaintDevice>
#include <QPointF>
#include <QRectF>
#include <QSize>
#include <QString>
#include <memory>

#include "forms/Printing.h"

namespace tolvane::testing {

// A printer page that records what is drawn on it instead of printing: every
// text with its page, its position (the top of the line, as the printout places
// it) and its font, and every picture with its target rectangle. Pages are
// counted by NewPage.
class RecordingSurface : public forms::PrintSurface, public QPaintDevice {
 public:
  struct Text {
    int page;
    QPointF at;  // baseline point as drawn
    int top;     // at.y() minus the font's ascent: the line's top
    QString text;
    QFont font;
  };
  struct Picture {
    int page;
    QRectF target;
    QSize size;
  };

  RecordingSurface(QSize page, int dpi);
  ~RecordingSurface() override;

  // PrintSurface
  QPaintDevice* Device() override { return this; }
  QSize PageSize() const override { return page_; }
  int ResolutionX() const override { return dpi_; }
  int ResolutionY() const override { return dpi_; }
  void SetTitle(const QString& title) override { this->title = title; }
  bool NewPage() override {
    ++pages;
    return true;
  }

  // QPaintDevice
  QPaintEngine* paintEngine() const override;

  QString title;
  int pages = 1;
  int jobs = 0;  // painters begun on it
  QList<Text> texts;
  QList<Picture> pictures;
  bool refuse = false;  // painting cannot begin (a printer that cannot be opened)

  // The texts of one page, in drawing order, one per line drawn.
  QStringList TextsOn(int page) const;

 protected:
  int metric(PaintDeviceMetric metric) const override;

 private:
  class Engine;
  QSize page_;
  int dpi_;
  std::unique_ptr<Engine> engine_;
};

}  // namespace tolvane::testing
