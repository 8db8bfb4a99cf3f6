#pragma once

#include <QPixmap>
#include <QPushButton>

/// A push button drawn by the program: one icon left of its caption, in a raised look, keeping
/// the dialog's default-button behaviour. Colours come from the palette's button roles.
class CButtonST : public QPushButton {
  Q_OBJECT

 public:
  explicit CButtonST(const QString& caption, QWidget* parent = nullptr);

  /// Loads the icon of resource `iconId` (128 application, 138 convert, 139 cancel, 140 OK).
  /// 0 on success, 1 when the icon cannot be read.
  int SetIcon(int iconId);
  /// 1: the flat look; 0: the raised look used by the main dialog.
  void SetFlat(int flat, bool repaint = true);
  int IsFlat() const { return m_isFlat; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QPixmap m_icon;
  int m_isFlat = 1;
};

/// The picture at `path` for a screen of device-pixel ratio `ratio`: above 1, its "@2x"
/// variant (twice the pixels, drawn at the same logical size) where there is one.
QPixmap LoadPicture(const QString& path, qreal ratio);
/// The same for the application's highest screen ratio.
QPixmap LoadPicture(const QString& path);

/// The picture of an icon resource id, or a null picture for an unknown id.
QPixmap IconResource(int iconId);
