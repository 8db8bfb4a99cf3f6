#include <QApplication>
#include <QFont>

#include "ui/DialogUnits.h"

void InitUiResources() {
  // The pictures are compiled into this static library; a static library's resources must be
  // registered by hand, once.
  static const bool registered = [] {
    Q_INIT_RESOURCE(tonvale);
    return true;
  }();
  (void)registered;
}

QFont DialogFont() {
  QFont font = QApplication::font();
  font.setStyleHint(QFont::SansSerif);
  font.setPointSize(8);
  font.setWeight(QFont::Normal);
  return font;
}
