#include "ui/BandFloatNumEdit.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <algorithm>
#include <cmath>

#include "platform/NumberText.h"
#include "ui/EqEvents.h"

namespace {

// The decimals of a "%.Nf" format; 2 when the format says nothing else.
int DecimalsOf(const std::string& format) {
  if (format.size() >= 4 && format[0] == '%' && format[1] == '.' && format.back() == 'f') {
    return std::clamp(std::atoi(format.c_str() + 2), 0, 20);
  }
  return 2;
}

}  // namespace

CBandFloatNumEdit::CBandFloatNumEdit(QWidget* parent) : QLineEdit(parent) {
  setAlignment(Qt::AlignCenter);
}

double CBandFloatNumEdit::ReadValue() const {
  return platform::ParseDouble(text().toStdString());
}

QString CBandFloatNumEdit::FormatValue(double value) const {
  if (isFloat == 1) {
    return QString::fromStdString(
        platform::FormatFixed(value, DecimalsOf(format.empty() ? std::string("%.2f") : format)));
  }
  // A whole number, truncated toward zero (limited to the int range so the conversion is
  // defined).
  const double whole = std::isnan(value) ? 0.0 : std::trunc(std::clamp(value, -2147483648.0, 2147483647.0));
  return QString::number(static_cast<long long>(whole));
}

void CBandFloatNumEdit::SetValue(double value) {
  if (minValue != 0.0) {
    value = std::max(value, minValue);
  }
  if (maxValue != 0.0) {
    value = std::min(value, maxValue);
  }
  setText(FormatValue(value));
  setModified(false);
}

void CBandFloatNumEdit::StepValue(int delta) {
  const double value = ReadValue();
  double next = value + static_cast<double>(-delta) * step;
  if (next == value) {
    return;
  }
  next = std::min(std::max(next, minValue), maxValue);
  setText(FormatValue(next));
  setModified(false);
  Notify();
}

void CBandFloatNumEdit::SetMaxLength(int length) {
  maxLength = length;
  setMaxLength(length > 0 ? length : 32767);
}

void CBandFloatNumEdit::Notify() {
  QObject* receiver = notifyWnd != nullptr ? notifyWnd.data() : parent();
  if (receiver == nullptr) {
    return;
  }
  BandChangedEvent event(fieldCode, bandIndex);
  QCoreApplication::sendEvent(receiver, &event);
}

void CBandFloatNumEdit::Commit() {
  setModified(false);
  if (bandIndex != -1 && fieldCode != 0) {
    Notify();
  }
}

void CBandFloatNumEdit::keyPressEvent(QKeyEvent* event) {
  const int key = event->key();
  if (key == Qt::Key_Return || key == Qt::Key_Enter) {
    // Enter commits the field; it neither changes the text nor presses the default button.
    Commit();
    event->accept();
    return;
  }
  if ((event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier)) != 0) {
    QLineEdit::keyPressEvent(event);
    return;
  }
  const QString typed = event->text();
  const bool isCharacter = !typed.isEmpty() && typed.at(0).isPrint();
  if (!isCharacter) {
    // Navigation and editing keys (arrows, Home, End, Delete, Backspace, Tab) pass.
    QLineEdit::keyPressEvent(event);
    return;
  }
  const QChar c = typed.at(0);
  bool pass = false;
  if (c >= QLatin1Char('0') && c <= QLatin1Char('9')) {
    pass = true;
  } else if (c == QLatin1Char('.')) {
    pass = isFloat == 1 && !text().contains(QLatin1Char('.'));
  } else if (c == QLatin1Char('-')) {
    pass = allowNegative == 1 && !text().contains(QLatin1Char('-'));
  }
  if (pass) {
    QLineEdit::keyPressEvent(event);
  } else {
    event->accept();  // swallowed
  }
}

void CBandFloatNumEdit::focusOutEvent(QFocusEvent* event) {
  // A value typed and then left is committed, so that what the user sees is what is saved.
  if (isModified()) {
    Commit();
  }
  QLineEdit::focusOutEvent(event);
}
