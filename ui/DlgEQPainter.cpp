#include "ui/DlgEQPainter.h"

#include <QAccessible>
#include <QPainter>
#include <QPolygon>
#include <algorithm>
#include <cmath>

#include "eq/response/BQCalculator.h"
#include "platform/text/FormatText.h"
#include "platform/text/NumberText.h"
#include "ui/GraphAccessible.h"

namespace {

const QColor kMajorColor(153, 153, 0);
const QColor kMinorColor(76, 76, 0);

// The frequency at a pixel column on the graph's axis; `limit` holds it at half the rate.
double FreqAt(const EqGraphParams& p, double position, double w1, bool limit) {
  double f = 0.0;
  if (p.freqAxisMode == 0) {
    f = std::pow(std::exp(std::log(p.maxFreq / p.minFreq) / w1), position) * p.minFreq;
  } else {
    f = ((p.maxFreq - p.minFreq) / w1) * position + p.minFreq;
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
  setMouseTracking(true);  // the readout follows the mouse
  setAccessibleName(QStringLiteral("Response graph"));
  InstallGraphAccessible();
}

double CDlgEQPainter::GridFreqAt(const EqGraphParams& p, double position) {
  return FreqAt(p, position, static_cast<double>(p.width - 1U), false);
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
      freqLines.push_back(GridLine{pos, 0, FreqAt(p, static_cast<double>(pos), w1, true)});
      for (int i = 1; i <= 9; ++i) {
        const auto q = static_cast<std::uint32_t>(
            std::trunc(std::log10(static_cast<double>(i)) * static_cast<double>(freqStep) + pos));
        if (q != pos) {
          freqLines.push_back(GridLine{q, 1, FreqAt(p, static_cast<double>(q), w1, false)});
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

void CDlgEQPainter::DrawGrid(QPainter& painter, int width, int height) const {
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
  // The cached grid has the screen's pixels (twice the logical ones at a ratio of 2), so that
  // its lines and labels stay sharp; it is drawn in logical pixels all the same.
  const qreal ratio = devicePixelRatioF();
  if (m_gridDirty == 1 || m_grid.deviceIndependentSize() != QSizeF(w, h) ||
      m_grid.devicePixelRatio() != ratio) {
    m_grid = QPixmap(QSize(w, h) * ratio);
    m_grid.setDevicePixelRatio(ratio);
    m_grid.fill(Qt::transparent);  // the spectrum shows through between the lines
    QPainter gridPainter(&m_grid);
    DrawGrid(gridPainter, w, h);
    m_gridDirty = 0;
    ++m_gridDraws;
  }
  QPainter painter(this);
  painter.fillRect(rect(), Qt::black);
  DrawSpectrum(painter, h);
  painter.drawPixmap(0, 0, m_grid);
  DrawCurves(painter);
  DrawHandles(painter);
  // The band in hand, else the curve at the mouse.
  const int shown = ShownHandle();
  const QString readout = shown >= 0 ? HandleName(shown) : ReadoutAt(m_mouseX);
  if (!readout.isEmpty()) {
    painter.setFont(LabelFont());
    painter.setPen(QColor(255, 255, 160));
    painter.drawText(QRect(0, m_readoutTop, w - 6, 16), Qt::AlignRight | Qt::AlignTop, readout);
  }
}

void CDlgEQPainter::DrawHandles(QPainter& painter) const {
  const int shown = ShownHandle();
  for (std::size_t i = 0; i < m_handles.size(); ++i) {
    const BandHandle& handle = m_handles[i];
    if (std::fabs(handle.x) >= 1e6 || std::fabs(handle.y) >= 1e6) {
      continue;
    }
    const auto x = static_cast<int>(std::trunc(handle.x));
    const auto y = static_cast<int>(std::trunc(handle.y));
    // Enabled bells, shelves and notches have their marker already; the others show as a
    // square of their own, a disabled band's hollow and grey.
    if (HandlesRevealed() && (handle.passBand || !handle.enabled)) {
      if (handle.enabled) {
        painter.fillRect(QRect(x - 2, y - 2, 4, 4), QColor(255, 0, 0));
      } else {
        painter.setPen(QPen(QColor(150, 150, 150), 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(QRect(x - 3, y - 3, 6, 6));
      }
    }
    const int index = static_cast<int>(i);
    if (index == shown || index == m_hovered) {
      painter.setPen(QPen(index == shown ? Qt::white : QColor(200, 200, 200), 1));
      painter.setBrush(Qt::NoBrush);
      painter.setRenderHint(QPainter::Antialiasing, true);
      const double r = HitRadius() - 1.0;
      painter.drawEllipse(QPointF(handle.x, handle.y), r, r);
      painter.setRenderHint(QPainter::Antialiasing, false);
    }
  }
}

void CDlgEQPainter::DrawCurves(QPainter& painter) const {
  auto polyline = [&painter](const std::vector<std::int32_t>& rows) {
    QPolygon points(static_cast<int>(rows.size()));
    for (std::size_t i = 0; i < rows.size(); ++i) {
      points.setPoint(static_cast<int>(i), static_cast<int>(i), rows[i]);
    }
    painter.drawPolyline(points);
  };
  painter.setBrush(Qt::NoBrush);
  // Each band faintly first, so that bands which add up show under the sum.
  painter.setPen(QPen(QColor(110, 140, 190), 1, Qt::SolidLine));
  for (const std::vector<std::int32_t>& band : m_bandCurves) {
    polyline(band);
  }
  // The band being dragged or selected, strong over the others.
  if (const int shown = ShownHandle(); shown >= 0) {
    const std::uint32_t index = m_handles[static_cast<std::size_t>(shown)].index;
    for (std::size_t i = 0; i < m_bandCurves.size() && i < m_curveBands.size(); ++i) {
      if (m_curveBands[i] == index) {
        painter.setPen(QPen(QColor(140, 200, 255), 2, Qt::SolidLine));
        polyline(m_bandCurves[i]);
      }
    }
  }
  if (!m_curve.empty()) {
    painter.setPen(QPen(Qt::white, 2, Qt::SolidLine));
    polyline(m_curve);
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

void CDlgEQPainter::DrawSpectrum(QPainter& painter, int height) const {
  if (m_spectrumBefore.empty()) {
    return;
  }
  // Rows far outside the graph are held just beyond it, so that the shapes stay drawable.
  auto row = [height](std::int32_t y) { return std::clamp(y, -1, height + 1); };
  QPolygon area(static_cast<int>(m_spectrumBefore.size()) + 2);
  for (std::size_t i = 0; i < m_spectrumBefore.size(); ++i) {
    area.setPoint(static_cast<int>(i), static_cast<int>(i), row(m_spectrumBefore[i]));
  }
  area.setPoint(static_cast<int>(m_spectrumBefore.size()),
                static_cast<int>(m_spectrumBefore.size()) - 1, height + 1);
  area.setPoint(static_cast<int>(m_spectrumBefore.size()) + 1, 0, height + 1);
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(28, 52, 72));
  painter.drawPolygon(area);
  QPolygon after(static_cast<int>(m_spectrumAfter.size()));
  for (std::size_t i = 0; i < m_spectrumAfter.size(); ++i) {
    after.setPoint(static_cast<int>(i), static_cast<int>(i), row(m_spectrumAfter[i]));
  }
  painter.setBrush(Qt::NoBrush);
  painter.setPen(QPen(QColor(120, 190, 230), 1));
  painter.drawPolyline(after);
}

QString CDlgEQPainter::ReadoutAt(int x) const {
  if (x < 0 || static_cast<std::size_t>(x) >= m_responseDb.size() || m_params.width < 2) {
    return {};
  }
  const double freq = XToFreq(m_params, static_cast<double>(x));
  return QString::fromStdString(platform::FormatText(
      "%s Hz  %s dB", platform::FormatFixed(freq, freq < 100 ? 1 : 0).c_str(),
      platform::FormatFixed(m_responseDb[static_cast<std::size_t>(x)], 1).c_str()));
}

void CDlgEQPainter::Render(QPainter& painter, double scale) const {
  const int w = width();
  const int h = height();
  painter.save();
  painter.scale(scale, scale);
  painter.setRenderHint(QPainter::Antialiasing, scale > 1.0);
  painter.fillRect(QRect(0, 0, w, h), Qt::black);
  DrawSpectrum(painter, h);
  DrawGrid(painter, w, h);
  DrawCurves(painter);
  painter.restore();
}
