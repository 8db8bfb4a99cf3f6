#pragma once

#include <QWidget>

class QToolButton;

/// The up-down control beside a numeric field: two arrow buttons. It takes no focus (the field's
/// own Up and Down keys step it). Reports each click as a position change: up is -1, down is +1.
class SpinArrows : public QWidget {
  Q_OBJECT

 public:
  explicit SpinArrows(QWidget* parent = nullptr);

 signals:
  void DeltaPos(int delta);

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  QToolButton* m_up;
  QToolButton* m_down;
};
