#include "ui/DlgEQPainter.h"

#include <QPainter>
#include <QPolygon>
#include <cmath>

#include "platform/FormatText.h"

namespace {

const QColor kMajorColor(153, 153, 0);
const QColor kMinorColor(76, 76, 0);

// The frequency at a pixel column on the graph's axis; `limit` holds it at half the rate.
double FreqAt(const EqGraphParams& p, std::uint32_t position, double w1, bool limit) {
  double f = 0.0;
  if (p.freqAxisMode == 0) {
    f = std::pow(std::exp(std::log(p.maxFreq / p.minFreq) / w1), static_cast<double>(position)) *
        p.minFreq;
  } else {
    f = ((p.maxFreq - p.minFreq) / w1) * static_cast<double>(position) + p.minFreq;
  }
  if (limit && f >= p.sampleRate * 0.5) {
    f = p.sampleRate * 0.5;
  }
  return f;
}

QFont LabelFont() {
  QFont font;
  font.setStyleHint(QFont::SansSerif);
  font.setFamily(font.defaultFamily());
  font.setPixelSize(12);
  font.setWeight(QFont::Normal);
  return font;
}

}  // namespace

CDlgEQPainter::CDlgEQPainter(const EqGraphParams& params, QWidget* parent)
    : QWidget(parent), m_params(params) {
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void CDlgEQPainter::ComputeGrid(const EqGraphParams& p, std::vector<GridLine>& freqLines,
                                std::vector<GridLine>& dbLines) {
  freqLines.clear();
  dbLines.clear();
  const std::uint32_t w = p.width;
  const std::uint32_t h = p.height;
  const std::uint32_t freqStep = w / 5;
  if (freqStep > 0) {
    const double w1 = static_cast<double>(w - 1U);
    for (std::uint32_t pos = 0; pos <= w; pos += freqStep) {
      freqLines.push_back(GridLine{pos, 0, FreqAt(p, pos, w1, true)});
      for (int i = 1; i <= 9; ++i) {
        const auto q = static_cast<std::uint32_t>(
            std::trunc(std::log10(static_cast<double>(i)) * static_cast<double>(freqStep) + pos));
        if (q != pos) {
          freqLines.push_back(GridLine{q, 1, FreqAt(p, q, w1, false)});
        }
      }
    }
  }
  const std::uint32_t dbStep = h / 4;
  if (dbStep > 0) {
    const std::uint32_t minorStep = dbStep / 5;
    const double q = (p.topDb - p.bottomDb) * 0.25;
    double value = p.topDb;
    for (std::uint32_t pos = 0; pos <= h; pos += dbStep, value -= q) {
      dbLines.push_back(GridLine{pos, 0, value});
      for (std::uint32_t j = 1; j <= 4; ++j) {
        dbLines.push_back(GridLine{pos + j * minorStep, 1, 0.0});
      }
    }
  }
}

void CDlgEQPainter::DrawGrid(QPainter& painter, int width, int height) {
  if (m_params.sampleRate == 0.0 || m_params.width == 0 || m_params.height == 0) {
    return;
  }
  const QPen majorPen(kMajorColor, 2, Qt::SolidLine);
  const QPen minorPen(kMinorColor, 1, Qt::SolidLine);
  painter.setFont(LabelFont());
  painter.setBrush(Qt::NoBrush);
  painter.setPen(majorPen);
  const int left = 0;
  const int top = 0;
  const int right = width;
  const int bottom = height;
  painter.drawLine(left, bottom, right, bottom);
  painter.drawLine(left, bottom, left, top);

  std::vector<GridLine> freqLines;
  std::vector<GridLine> dbLines;
  ComputeGrid(m_params, freqLines, dbLines);
  const QFontMetrics metrics(painter.font());
  auto drawLabel = [&](int x, int y, const QString& text) {
    painter.setPen(Qt::white);
    painter.drawText(QRect(x, y, metrics.horizontalAdvance(text), metrics.height()),
                     Qt::AlignLeft | Qt::AlignTop, text);
  };
  int lastHzHeight = 0;
  for (const GridLine& line : freqLines) {
    const int x = static_cast<int>(line.position);
    painter.setPen(line.kind == 0 ? majorPen : minorPen);
    painter.drawLine(x, top, x, bottom);
    if (line.kind == 0) {
      const QString text = QString::fromStdString(
          platform::FormatText("%d Hz", static_cast<int>(std::trunc(line.value))));
      const int cx = metrics.horizontalAdvance(text);
      const int cy = metrics.height();
      drawLabel(x + cx > right ? right - cx : x, bottom - cy - 1, text);
      lastHzHeight = cy;
    }
  }
  for (const GridLine& line : dbLines) {
    const int y = static_cast<int>(line.position);
    painter.setPen(line.kind == 0 ? majorPen : minorPen);
    painter.drawLine(left, y, right, y);
    if (line.kind == 0) {
      const QString text = QString::fromStdString(
          platform::FormatText("%d dB", static_cast<int>(std::trunc(line.value))));
      const int cy = metrics.height();
      drawLabel(left, y + cy >= bottom ? bottom - cy - lastHzHeight : y, text);
    }
  }
}

void CDlgEQPainter::paintEvent(QPaintEvent* /*event*/) {
  const int w = width();
  const int h = height();
  if (m_gridDirty == 1 || m_grid.size() != QSize(w, h)) {
    m_grid = QPixmap(w, h);
    m_grid.fill(Qt::black);
    QPainter gridPainter(&m_grid);
    DrawGrid(gridPainter, w, h);
    m_gridDirty = 0;
    ++m_gridDraws;
  }
  QPainter painter(this);
  painter.drawPixmap(0, 0, m_grid);
  if (!m_curve.empty()) {
    painter.setPen(QPen(Qt::white, 2, Qt::SolidLine));
    painter.setBrush(Qt::NoBrush);
    QPolygon points(static_cast<int>(m_curve.size()));
    for (std::size_t i = 0; i < m_curve.size(); ++i) {
      points.setPoint(static_cast<int>(i), static_cast<int>(i), m_curve[i]);
    }
    painter.drawPolyline(points);
  }
  for (const BandMarker& marker : m_markers) {
    const double x = std::trunc(marker.x);
    const double y = std::trunc(marker.y);
    if (std::fabs(x) < 1e6 && std::fabs(y) < 1e6) {
      painter.fillRect(QRect(static_cast<int>(x) - 2, static_cast<int>(y) - 2, 4, 4),
                       QColor(255, 0, 0));
    }
  }
}
