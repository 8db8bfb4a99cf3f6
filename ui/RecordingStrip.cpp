#include "ui/RecordingStrip.h"

#include <QCheckBox>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <utility>

#include "eq/response/TimeAxis.h"

namespace {

const QColor kBackground(16, 20, 26);
const QColor kEnvelope(120, 190, 230);
const QColor kCentre(52, 60, 70);
const QColor kSelection(90, 150, 230, 80);
const QColor kSelectionEdge(120, 180, 255);
const QColor kPlayhead(255, 220, 120);
const QColor kLabel(200, 200, 200);

// A press that moves less than this, device-independent pixels, is a click.
constexpr double kDragDistance = 3.0;
// The least room, device-independent pixels, between two time labels.
constexpr double kLabelSpacing = 70.0;

}  // namespace

CRecordingStrip::CRecordingStrip(QWidget* parent)
    : QWidget(parent),
      m_selectionSpectrum(new QCheckBox(QStringLiteral("Spectrum of selection"), this)) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setFocusPolicy(Qt::StrongFocus);  // Escape clears the selection after a click in the strip
  setAccessibleName(QStringLiteral("Recording time line"));
  setToolTip(
      QStringLiteral("Click to place the play position, drag to select a range to loop; "
                     "Escape clears the selection"));
  m_selectionSpectrum->setToolTip(
      QStringLiteral("Show the spectrum of the selected range instead of the recording's"));
  QPalette palette = m_selectionSpectrum->palette();
  palette.setColor(QPalette::WindowText, kLabel);
  m_selectionSpectrum->setPalette(palette);
}

void CRecordingStrip::SetRecording(std::uint64_t frames, double sampleRate) {
  m_frames = frames;
  m_sampleRate = sampleRate;
  m_envelope.reset();
  m_selFirst = 0;
  m_selEnd = 0;
  m_playhead = 0;
  m_pictureDirty = true;
  update();
}

void CRecordingStrip::SetEnvelope(std::shared_ptr<const RecordingEnvelope> envelope) {
  m_envelope = std::move(envelope);
  if (m_envelope != nullptr && m_envelope->SpanFrames() > 0) {
    m_frames = m_envelope->SpanFrames();
  }
  m_pictureDirty = true;
  update();
}

void CRecordingStrip::SetSelection(std::uint64_t first, std::uint64_t end) {
  m_selFirst = std::min(first, end);
  m_selEnd = std::max(first, end);
  update();
}

void CRecordingStrip::SetPlayhead(std::uint64_t frame) {
  if (frame != m_playhead) {
    m_playhead = frame;
    update();
  }
}

std::uint64_t CRecordingStrip::FrameAt(double x) const {
  if (width() <= 0) {
    return 0;
  }
  const double part = std::clamp(x / static_cast<double>(width()), 0.0, 1.0);
  return std::min(m_frames,
                  static_cast<std::uint64_t>(std::floor(part * static_cast<double>(m_frames))));
}

double CRecordingStrip::XOf(std::uint64_t frame) const {
  if (m_frames == 0) {
    return 0.0;
  }
  return static_cast<double>(frame) / static_cast<double>(m_frames) * width();
}

void CRecordingStrip::DrawEnvelope() {
  const qreal ratio = devicePixelRatioF();
  const int w = static_cast<int>(std::lround(width() * ratio));
  const int h = static_cast<int>(std::lround(EnvelopeHeight() * ratio));
  m_picture = QImage(std::max(w, 1), std::max(h, 1), QImage::Format_ARGB32_Premultiplied);
  m_picture.fill(Qt::transparent);
  m_columns = m_envelope != nullptr
                  ? m_envelope->Columns(static_cast<std::uint32_t>(std::max(w, 0)))
                  : std::vector<EnvelopeRange>();
  {
    // In device pixels: one line per column of the screen.
    QPainter painter(&m_picture);
    const double middle = h / 2.0;
    const double half = h / 2.0 - 1.0;
    painter.setPen(kCentre);
    painter.drawLine(0, static_cast<int>(middle), w, static_cast<int>(middle));
    painter.setPen(kEnvelope);
    // The loudest sample reaches the edge, so that a quiet recording's pauses show too.
    double peak = 0.0;
    for (const EnvelopeRange& range : m_columns) {
      if (range.HasSamples()) {
        peak = std::max({peak, std::fabs(static_cast<double>(range.low)),
                         std::fabs(static_cast<double>(range.high))});
      }
    }
    const double scale = half / (peak > 1e-4 ? peak : 1.0);
    const auto row = [middle, scale, half](float v) {
      return static_cast<int>(
          std::lround(middle - std::clamp(static_cast<double>(v) * scale, -half, half)));
    };
    for (std::size_t c = 0; c < m_columns.size(); ++c) {
      const EnvelopeRange& range = m_columns[c];
      if (!range.HasSamples()) {
        continue;
      }
      const int x = static_cast<int>(c);
      painter.drawLine(x, row(range.high), x, row(range.low));
    }
  }
  m_picture.setDevicePixelRatio(ratio);
  m_pictureRatio = ratio;
  m_pictureFor = QSize(width(), EnvelopeHeight());
  m_pictureDirty = false;
}

void CRecordingStrip::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  painter.fillRect(rect(), kBackground);
  if (m_pictureDirty || m_pictureRatio != devicePixelRatioF() ||
      m_pictureFor != QSize(width(), EnvelopeHeight())) {
    DrawEnvelope();
  }
  painter.drawImage(QPointF(0, 0), m_picture);
  const int bottom = EnvelopeHeight();
  if (m_selEnd > m_selFirst) {
    const double x0 = XOf(m_selFirst);
    const double x1 = std::max(XOf(m_selEnd), x0 + 1.0);
    painter.fillRect(QRectF(x0, 0, x1 - x0, bottom), kSelection);
    painter.setPen(kSelectionEdge);
    painter.drawLine(QPointF(x0, 0), QPointF(x0, bottom));
    painter.drawLine(QPointF(x1, 0), QPointF(x1, bottom));
  }
  // The time axis: a tick and a label every round step, the labels clear of the check box.
  painter.setPen(kCentre);
  painter.drawLine(0, bottom, width(), bottom);
  QFont font = painter.font();
  font.setPixelSize(11);
  painter.setFont(font);
  const QFontMetrics metrics(font);
  const double seconds = m_sampleRate > 0.0 ? static_cast<double>(m_frames) / m_sampleRate : 0.0;
  const int labelsEnd = m_selectionSpectrum->x() - 6;
  for (const TimeTick& tick : TimeAxisTicks(seconds, width(), kLabelSpacing)) {
    const double x = tick.seconds / seconds * width();
    painter.setPen(kCentre);
    painter.drawLine(QPointF(x, bottom), QPointF(x, bottom + 4));
    const QString label = QString::fromStdString(tick.label);
    const int left = static_cast<int>(x) + 3;
    if (left + metrics.horizontalAdvance(label) < labelsEnd) {
      painter.setPen(kLabel);
      painter.drawText(QRect(left, bottom + 2, labelsEnd - left, kAxisHeight - 2),
                       Qt::AlignLeft | Qt::AlignVCenter, label);
    }
  }
  if (m_frames > 0) {
    const double x = XOf(m_playhead);
    painter.setPen(QPen(kPlayhead, 1));
    painter.drawLine(QPointF(x, 0), QPointF(x, bottom));
  }
  if (hasFocus()) {
    painter.setPen(QPen(kSelectionEdge, 1, Qt::DotLine));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
  }
}

void CRecordingStrip::resizeEvent(QResizeEvent* event) {
  const QSize box = m_selectionSpectrum->sizeHint();
  m_selectionSpectrum->setGeometry(width() - box.width() - 6, height() - kAxisHeight, box.width(),
                                   kAxisHeight);
  m_pictureDirty = true;
  QWidget::resizeEvent(event);
}

void CRecordingStrip::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || m_frames == 0) {
    QWidget::mousePressEvent(event);
    return;
  }
  m_pressX = event->position().x();
  m_selecting = false;
}

void CRecordingStrip::mouseMoveEvent(QMouseEvent* event) {
  if (m_pressX < 0.0 || (event->buttons() & Qt::LeftButton) == 0) {
    return;
  }
  const double x = event->position().x();
  if (!m_selecting && std::fabs(x - m_pressX) < kDragDistance) {
    return;
  }
  m_selecting = true;
  SetSelection(FrameAt(std::min(x, m_pressX)), FrameAt(std::max(x, m_pressX)));
}

void CRecordingStrip::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || m_pressX < 0.0) {
    QWidget::mouseReleaseEvent(event);
    return;
  }
  const double x = event->position().x();
  const double pressX = m_pressX;
  m_pressX = -1.0;
  if (m_selecting) {
    m_selecting = false;
    const std::uint64_t first = FrameAt(std::min(x, pressX));
    const std::uint64_t end = FrameAt(std::max(x, pressX));
    if (end > first) {
      emit SelectionChosen(first, end);
      return;
    }
  }
  emit PositionChosen(FrameAt(x));
}

void CRecordingStrip::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape && m_selEnd > m_selFirst) {
    emit SelectionCleared();
    return;
  }
  QWidget::keyPressEvent(event);
}
