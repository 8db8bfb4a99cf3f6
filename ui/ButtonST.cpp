#include "ui/ButtonST.h"

#include <QGuiApplication>
#include <QPainter>
#include <QStyle>

namespace {
// Where the icon starts, and how far a pressed button's contents move, in pixels.
constexpr int kImageOrigin = 3;
constexpr int kPressedOffset = 1;
}  // namespace

QPixmap LoadPicture(const QString& path, qreal ratio) {
  if (ratio > 1.0) {
    QString twice = path;
    twice.insert(path.lastIndexOf(QLatin1Char('.')), QStringLiteral("@2x"));
    QPixmap sharp(twice);
    if (!sharp.isNull()) {
      sharp.setDevicePixelRatio(2.0);
      return sharp;
    }
  }
  return QPixmap(path);
}

QPixmap LoadPicture(const QString& path) {
  return LoadPicture(path, qGuiApp != nullptr ? qGuiApp->devicePixelRatio() : 1.0);
}

QPixmap IconResource(int iconId) {
  switch (iconId) {
    case 128: return LoadPicture(QStringLiteral(":/icons/app.png"));
    case 138: return LoadPicture(QStringLiteral(":/icons/convert.png"));
    case 139: return LoadPicture(QStringLiteral(":/icons/cancel.png"));
    case 140: return LoadPicture(QStringLiteral(":/icons/ok.png"));
    default: return QPixmap();
  }
}

CButtonST::CButtonST(const QString& caption, QWidget* parent) : QPushButton(caption, parent) {}

int CButtonST::SetIcon(int iconId) {
  m_icon = IconResource(iconId);
  update();
  return m_icon.isNull() ? 1 : 0;
}

void CButtonST::SetFlat(int flat, bool repaint) {
  m_isFlat = flat;
  if (repaint) {
    update();
  }
}

void CButtonST::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  const QPalette& pal = palette();
  const bool pressed = isDown();
  const bool enabled = isEnabled();
  QRect r = rect();
  // The default button and the focused one carry a one-pixel black frame.
  if (hasFocus() || isDefault()) {
    painter.setPen(Qt::black);
    painter.drawRect(r.adjusted(0, 0, -1, -1));
    r.adjust(1, 1, -1, -1);
  }
  painter.fillRect(r, pal.button());
  if (pressed) {
    painter.setPen(pal.color(QPalette::Dark));
    painter.drawRect(r.adjusted(0, 0, -1, -1));
  } else if (m_isFlat == 0) {
    const int l = r.left(), t = r.top(), rr = r.right(), b = r.bottom();
    painter.setPen(pal.color(QPalette::Light));
    painter.drawLine(l, t, rr - 1, t);
    painter.drawLine(l, t, l, b - 1);
    painter.setPen(pal.color(QPalette::Midlight));
    painter.drawLine(l + 1, t + 1, rr - 2, t + 1);
    painter.drawLine(l + 1, t + 1, l + 1, b - 2);
    painter.setPen(pal.color(QPalette::Shadow));
    painter.drawLine(l, b, rr, b);
    painter.drawLine(rr, t, rr, b);
    painter.setPen(pal.color(QPalette::Dark));
    painter.drawLine(l + 1, b - 1, rr - 1, b - 1);
    painter.drawLine(rr - 1, t + 1, rr - 1, b - 1);
  }
  const int shift = pressed ? kPressedOffset : 0;
  QRect caption = r;
  if (!m_icon.isNull()) {
    const QPixmap icon =
        enabled ? m_icon : style()->generatedIconPixmap(QIcon::Disabled, m_icon, nullptr);
    const QSize size = m_icon.deviceIndependentSize().toSize();
    const int y = r.top() + (r.height() - size.height()) / 2;
    painter.drawPixmap(r.left() + kImageOrigin + shift, y + shift, icon);
    caption.setLeft(r.left() + kImageOrigin + size.width());
  }
  caption.translate(shift, shift);
  const int flags = Qt::AlignCenter | Qt::TextWordWrap;
  if (!enabled) {
    painter.setPen(pal.color(QPalette::Light));
    painter.drawText(caption.translated(1, 1), flags, text());
    painter.setPen(pal.color(QPalette::Dark));
    painter.drawText(caption, flags, text());
  } else {
    painter.setPen(pal.color(QPalette::ButtonText));
    painter.drawText(caption, flags, text());
  }
  if (hasFocus()) {
    QPen dotted(pal.color(QPalette::ButtonText), 1, Qt::DotLine);
    painter.setPen(dotted);
    painter.drawRect(r.adjusted(3, 3, -4, -4));
  }
}
