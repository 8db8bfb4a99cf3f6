#include "ui/SpinArrows.h"

#include <QToolButton>

SpinArrows::SpinArrows(QWidget* parent)
    : QWidget(parent), m_up(new QToolButton(this)), m_down(new QToolButton(this)) {
  // Not a tab stop: the Up and Down keys step the field beside it.
  setFocusPolicy(Qt::NoFocus);
  m_up->setArrowType(Qt::UpArrow);
  m_down->setArrowType(Qt::DownArrow);
  for (QToolButton* button : {m_up, m_down}) {
    button->setAutoRepeat(true);
    button->setFocusPolicy(Qt::NoFocus);
  }
  connect(m_up, &QToolButton::clicked, this, [this] { emit DeltaPos(-1); });
  connect(m_down, &QToolButton::clicked, this, [this] { emit DeltaPos(1); });
}

void SpinArrows::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  const int half = height() / 2;
  m_up->setGeometry(0, 0, width(), half);
  m_down->setGeometry(0, half, width(), height() - half);
}
