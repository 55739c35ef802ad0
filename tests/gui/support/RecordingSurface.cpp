#include "support/RecordingSurface.h"

#include <QFontMetricsF>
#include <QPaintEngine>
#include <QPixmap>
#include <QTextItem>

namespace tolvane::testing {

class RecordingSurface::Engine : public QPaintEngine {
 public:
  explicit Engine(RecordingSurface& owner) : QPaintEngine(QPaintEngine::AllFeatures), owner_(owner) {}
  bool begin(QPaintDevice*) override {
    if (owner_.refuse) return false;
    ++owner_.jobs;
    return true;
  }
  bool end() override { return true; }
  void updateState(const QPaintEngineState& state) override {
    if (state.state() & QPaintEngine::DirtyFont) font_ = state.font();
  }
  void drawPixmap(const QRectF& r, const QPixmap& pm, const QRectF&) override {
    owner_.pictures.append({owner_.pages, r, pm.size()});
  }
  void drawImage(const QRectF& r, const QImage& image, const QRectF&, Qt::ImageConversionFlags) override {
    owner_.pictures.append({owner_.pages, r, image.size()});
  }
  void drawTextItem(const QPointF& p, const QTextItem& item) override {
    const QFontMetricsF metrics(item.font(), &owner_);
    owner_.texts.append({owner_.pages, p, qRound(p.y() - metrics.ascent()), item.text(), item.font()});
  }
  Type type() const override { return QPaintEngine::User; }

 private:
  RecordingSurface& owner_;
  QFont font_;
};

RecordingSurface::RecordingSurface(QSize page, int dpi)
    : page_(page), dpi_(dpi), engine_(std::make_unique<Engine>(*this)) {}

RecordingSurface::~RecordingSurface() = default;

QPaintEngine* RecordingSurface::paintEngine() const { return engine_.get(); }

int RecordingSurface::metric(PaintDeviceMetric m) const {
  switch (m) {
    case PdmWidth:
      return page_.width();
    case PdmHeight:
      return page_.height();
    case PdmWidthMM:
      return page_.width() * 254 / (10 * dpi_);
    case PdmHeightMM:
      return page_.height() * 254 / (10 * dpi_);
    case PdmNumColors:
      return INT_MAX;
    case PdmDepth:
      return 32;
    case PdmDpiX:
    case PdmDpiY:
    case PdmPhysicalDpiX:
    case PdmPhysicalDpiY:
      return dpi_;
    case PdmDevicePixelRatio:
      return 1;
    case PdmDevicePixelRatioScaled:
      return static_cast<int>(devicePixelRatioFScale());
  }
  return 0;
}

QStringList RecordingSurface::TextsOn(int page) const {
  // The painter may draw one line as several items (one per font run): items
  // drawn one after another on the same line make one text.
  QStringList out;
  int lastTop = -1;
  for (const Text& t : texts) {
    if (t.page != page) continue;
    if (!out.isEmpty() && t.top == lastTop) {
      out.last() += t.text;
    } else {
      out << t.text;
    }
    lastTop = t.top;
  }
  return out;
}

}  // namespace tolvane::testing
