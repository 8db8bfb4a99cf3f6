#include "ui/BandFloatNumEdit.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QValidator>
#include <algorithm>
#include <cmath>

#include "platform/text/NumberText.h"
#include "ui/EqEvents.h"

namespace {

// The decimals of a "%.Nf" format; 2 when the format says nothing else.
int DecimalsOf(const std::string& format) {
  if (format.size() >= 4 && format[0] == '%' && format[1] == '.' && format.back() == 'f') {
    return std::clamp(std::atoi(format.c_str() + 2), 0, 20);
  }
  return 2;
}

// The typing limit of a field: an edit by a person that makes the text longer than the limit is
// refused, whatever way the text came (typed, pasted, dropped). A text the program shows is
// never cut, and a person may shorten an overlong text.
class TypingLimit : public QValidator {
 public:
  explicit TypingLimit(CBandFloatNumEdit* field) : QValidator(field), m_field(field) {}

  State validate(QString& input, int& /*pos*/) const override {
    const int limit = m_field->maxLength;
    if (m_field->ShowingValue() || limit <= 0 || input.size() <= limit ||
        input.size() <= m_field->LastLength()) {
      return Acceptable;
    }
    return Invalid;
  }

 private:
  CBandFloatNumEdit* m_field;
};

}  // namespace

CBandFloatNumEdit::CBandFloatNumEdit(QWidget* parent) : QLineEdit(parent) {
  setAlignment(Qt::AlignCenter);
  setValidator(new TypingLimit(this));
  // The validator runs before textChanged, so this is the length before each edit.
  connect(this, &QLineEdit::textChanged, this,
          [this](const QString& text) { m_lastLength = static_cast<int>(text.size()); });
}

void CBandFloatNumEdit::ShowText(const QString& text) {
  m_showingValue = true;
  setText(text);
  m_showingValue = false;
}

double CBandFloatNumEdit::ReadValue() const { return platform::ParseDouble(text().toStdString()); }

QString CBandFloatNumEdit::FormatValue(double value) const {
  if (isFloat == 1) {
    return QString::fromStdString(
        platform::FormatFixed(value, DecimalsOf(format.empty() ? std::string("%.2f") : format)));
  }
  // A whole number, truncated toward zero (limited to the int range so the conversion is
  // defined).
  const double whole =
      std::isnan(value) ? 0.0 : std::trunc(std::clamp(value, -2147483648.0, 2147483647.0));
  return QString::number(static_cast<long long>(whole));
}

void CBandFloatNumEdit::SetValue(double value) {
  if (minValue != 0.0) {
    value = std::max(value, minValue);
  }
  if (maxValue != 0.0) {
    value = std::min(value, maxValue);
  }
  ShowText(FormatValue(value));
  setModified(false);
}

void CBandFloatNumEdit::StepValue(int delta) {
  const double value = ReadValue();
  double next = value + static_cast<double>(-delta) * step;
  if (next == value) {
    return;
  }
  next = std::min(std::max(next, minValue), maxValue);
  ShowText(FormatValue(next));
  setModified(false);
  Notify();
}

void CBandFloatNumEdit::SetMaxLength(int length) {
  // Enforced by the validator, not by QLineEdit's own limit, which would cut shown values too.
  maxLength = length;
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
  if ((key == Qt::Key_Up || key == Qt::Key_Down) && event->modifiers() == Qt::NoModifier) {
    // The arrow keys step the field as its up-down control's arrows do.
    StepValue(key == Qt::Key_Up ? -1 : 1);
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
