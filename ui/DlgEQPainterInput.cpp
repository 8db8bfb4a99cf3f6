// The graph's band handles and what the mouse, the wheel and the keys do with them: picked,
// dragged, stepped, nudged and toggled, and the selected one told to a screen reader.
#include <QAccessible>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>
#include <algorithm>

#include "ui/DlgEQPainter.h"

void CDlgEQPainter::SetHandles(std::vector<BandHandle> handles, std::vector<QString> names) {
  const bool sameBands =
      handles.size() == m_handles.size() &&
      std::equal(handles.begin(), handles.end(), m_handles.begin(),
                 [](const BandHandle& a, const BandHandle& b) { return a.band == b.band; });
  m_handles = std::move(handles);
  m_handleNames = std::move(names);
  if (!sameBands) {
    // Other bands: a drag or a selection of the old ones means nothing now.
    m_dragged = -1;
    m_hovered = -1;
    m_selected =
        m_handles.empty() ? -1 : std::min<int>(m_selected, static_cast<int>(m_handles.size()) - 1);
  }
  if (m_selected >= 0 && hasFocus()) {
    QAccessibleEvent changed(this, QAccessible::NameChanged);
    changed.setChild(m_selected);
    QAccessible::updateAccessibility(&changed);
  }
}

QString CDlgEQPainter::HandleName(int handle) const {
  return handle >= 0 && static_cast<std::size_t>(handle) < m_handleNames.size()
             ? m_handleNames[static_cast<std::size_t>(handle)]
             : QString();
}

void CDlgEQPainter::SelectHandle(int handle) {
  m_selected = handle >= 0 && static_cast<std::size_t>(handle) < m_handles.size() ? handle : -1;
  AnnounceSelection();
  update();
}

double CDlgEQPainter::HitRadius() const { return 2.0 + 4.0 * std::max(1.0, devicePixelRatioF()); }

bool CDlgEQPainter::HandlesRevealed() const {
  return m_mouseInside || hasFocus() || m_dragged >= 0;
}

int CDlgEQPainter::HandleAt(QPointF at) const {
  return PickHandle(m_handles, at.x(), at.y(), HitRadius());
}

int CDlgEQPainter::ShownHandle() const {
  if (m_dragged >= 0) {
    return m_dragged;
  }
  return hasFocus() ? m_selected : -1;
}

void CDlgEQPainter::AnnounceSelection() {
  if (m_selected >= 0 && hasFocus()) {
    QAccessibleEvent focus(this, QAccessible::Focus);
    focus.setChild(m_selected);
    QAccessible::updateAccessibility(&focus);
  }
}

bool CDlgEQPainter::event(QEvent* event) {
  // While the graph has the focus, Tab goes from band to band; past the last (or before the
  // first, with Shift) it leaves the graph as usual.
  if (event->type() == QEvent::KeyPress && !m_handles.empty()) {
    const auto* key = static_cast<QKeyEvent*>(event);
    const bool plain = (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) == 0;
    const bool back = key->key() == Qt::Key_Backtab ||
                      (key->key() == Qt::Key_Tab && (key->modifiers() & Qt::ShiftModifier));
    if (plain && (key->key() == Qt::Key_Tab || back) && m_dragged < 0) {
      const int next = m_selected + (back ? -1 : 1);
      if (next >= 0 && static_cast<std::size_t>(next) < m_handles.size()) {
        SelectHandle(next);
        event->accept();
        return true;
      }
    }
  }
  return QWidget::event(event);
}

void CDlgEQPainter::mousePressEvent(QMouseEvent* event) {
  const int picked = event->button() == Qt::LeftButton ? HandleAt(event->position()) : -1;
  if (picked < 0) {
    QWidget::mousePressEvent(event);
    return;
  }
  m_dragged = picked;
  m_selected = picked;
  m_lastDragPos = event->position();
  m_dragOffset = QPointF(0, 0);
  setFocus(Qt::MouseFocusReason);
  AnnounceSelection();
  emit HandlePressed(static_cast<int>(m_handles[static_cast<std::size_t>(picked)].band));
  update();
}

void CDlgEQPainter::mouseMoveEvent(QMouseEvent* event) {
  m_mouseX = static_cast<int>(event->position().x());
  m_mouseInside = true;
  if (m_dragged >= 0 && (event->buttons() & Qt::LeftButton) != 0) {
    // Shift moves a tenth as far from where it is pressed on, without a jump.
    const double scale = (event->modifiers() & Qt::ShiftModifier) != 0 ? 0.1 : 1.0;
    m_dragOffset += (event->position() - m_lastDragPos) * scale;
    m_lastDragPos = event->position();
    emit HandleDragged(static_cast<int>(m_handles[static_cast<std::size_t>(m_dragged)].band),
                       m_dragOffset.x(), m_dragOffset.y());
  } else {
    const int hovered = HandleAt(event->position());
    if (hovered != m_hovered) {
      m_hovered = hovered;
      if (hovered >= 0) {
        setCursor(Qt::OpenHandCursor);
      } else {
        unsetCursor();
      }
    }
  }
  update();
}

void CDlgEQPainter::EndDrag() {
  if (m_dragged < 0) {
    return;
  }
  const int band = static_cast<int>(m_handles[static_cast<std::size_t>(m_dragged)].band);
  m_dragged = -1;
  emit HandleReleased(band);
  update();
}

void CDlgEQPainter::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && m_dragged >= 0) {
    EndDrag();
    return;
  }
  QWidget::mouseReleaseEvent(event);
}

void CDlgEQPainter::mouseDoubleClickEvent(QMouseEvent* event) {
  const int picked = event->button() == Qt::LeftButton ? HandleAt(event->position()) : -1;
  if (picked < 0) {
    QWidget::mouseDoubleClickEvent(event);
    return;
  }
  m_selected = picked;
  emit HandleToggled(static_cast<int>(m_handles[static_cast<std::size_t>(picked)].band));
  update();
}

void CDlgEQPainter::wheelEvent(QWheelEvent* event) {
  const int picked = HandleAt(event->position());
  if (picked < 0 || m_dragged >= 0) {
    event->ignore();
    return;
  }
  // Some systems turn the wheel with Shift held into a sideways one.
  const QPoint angle = event->angleDelta();
  m_wheelAngle += angle.y() != 0 ? angle.y() : angle.x();
  const int steps = m_wheelAngle / QWheelEvent::DefaultDeltasPerStep;
  m_wheelAngle -= steps * QWheelEvent::DefaultDeltasPerStep;
  if (steps != 0) {
    m_selected = picked;
    emit HandleWidthStepped(static_cast<int>(m_handles[static_cast<std::size_t>(picked)].band),
                            steps, (event->modifiers() & Qt::ShiftModifier) != 0);
  }
  event->accept();
}

void CDlgEQPainter::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape && m_dragged >= 0) {
    const int band = static_cast<int>(m_handles[static_cast<std::size_t>(m_dragged)].band);
    m_dragged = -1;
    emit HandleDragCancelled(band);
    update();
    return;
  }
  if (m_selected < 0 || m_dragged >= 0) {
    QWidget::keyPressEvent(event);
    return;
  }
  const int band = static_cast<int>(m_handles[static_cast<std::size_t>(m_selected)].band);
  const bool fine = (event->modifiers() & Qt::ShiftModifier) != 0;
  switch (event->key()) {
    case Qt::Key_Left: emit HandleNudged(band, -1, 0, fine); break;
    case Qt::Key_Right: emit HandleNudged(band, 1, 0, fine); break;
    case Qt::Key_Up: emit HandleNudged(band, 0, 1, fine); break;
    case Qt::Key_Down: emit HandleNudged(band, 0, -1, fine); break;
    case Qt::Key_PageUp: emit HandleWidthStepped(band, 1, fine); break;
    case Qt::Key_PageDown: emit HandleWidthStepped(band, -1, fine); break;
    case Qt::Key_Space: emit HandleToggled(band); break;
    default: QWidget::keyPressEvent(event); return;
  }
  update();
}

void CDlgEQPainter::enterEvent(QEnterEvent* /*event*/) {
  m_mouseInside = true;
  update();
}

void CDlgEQPainter::leaveEvent(QEvent* /*event*/) {
  m_mouseX = -1;
  m_mouseInside = false;
  m_hovered = -1;
  update();
}

void CDlgEQPainter::focusInEvent(QFocusEvent* event) {
  // Tab comes in on the first band, Shift+Tab on the last.
  if (!m_handles.empty()) {
    if (event->reason() == Qt::TabFocusReason) {
      m_selected = 0;
    } else if (event->reason() == Qt::BacktabFocusReason) {
      m_selected = static_cast<int>(m_handles.size()) - 1;
    }
  }
  AnnounceSelection();
  QWidget::focusInEvent(event);
  update();
}

void CDlgEQPainter::focusOutEvent(QFocusEvent* event) {
  QWidget::focusOutEvent(event);
  update();
}

void CDlgEQPainter::hideEvent(QHideEvent* event) {
  EndDrag();
  m_mouseInside = false;
  QWidget::hideEvent(event);
}
