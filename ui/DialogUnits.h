#pragma once

#include <QFont>
#include <QFontMetrics>
#include <QRect>

/// Converts dialog-template units into pixels for a dialog font: a horizontal unit is a quarter
/// of the font's average character width, a vertical one an eighth of its height, so a layout
/// keeps its proportions on any font.
class DialogUnits {
 public:
  explicit DialogUnits(const QFont& font) {
    const QFontMetrics metrics(font);
    const int alphabet = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    m_baseX = (alphabet / 26 + 1) / 2;
    m_baseY = metrics.height();
  }
  int X(int units) const { return (units * m_baseX + 2) / 4; }
  int Y(int units) const { return (units * m_baseY + 4) / 8; }
  QRect Rect(int x, int y, int w, int h) const { return QRect(X(x), Y(y), X(w), Y(h)); }

 private:
  int m_baseX = 6;
  int m_baseY = 13;
};

/// The dialogs' font: the system's sans-serif at 8 points.
QFont DialogFont();

/// Registers the window's pictures (icons and band pictures) with Qt's resource system.
void InitUiResources();
