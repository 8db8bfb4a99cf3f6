#pragma once

#include <QWidget>

class QToolButton;

/// The up-down control beside a numeric field: two arrow buttons, and the Up and Down keys when
/// it has focus. Reports each click as a position change: up is -1, down is +1.
class SpinArrows : public QWidget {
  Q_OBJECT

 public:
  explicit SpinArrows(QWidget* parent = nullptr);

 signals:
  void DeltaPos(int delta);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  QToolButton* m_up;
  QToolButton* m_down;
};
