#pragma once

#include <QLineEdit>
#include <QPointer>
#include <string>

/// A numeric field of a band editor: accepts only a decimal number, steps it by a configured
/// amount within limits, and reports every committed change to the main dialog as a
/// WM_EQ_BAND_CHANGED with its field code and band index.
class CBandFloatNumEdit : public QLineEdit {
  Q_OBJECT

 public:
  explicit CBandFloatNumEdit(QWidget* parent = nullptr);

  int isFloat = 0;              ///< 1: a decimal point may be typed; shown with `format`
  int allowNegative = 0;        ///< 1: a minus sign may be typed
  int bandIndex = -1;           ///< the band reported; -1 = none
  int maxLength = 0;            ///< longest text, characters
  QPointer<QObject> notifyWnd;  ///< receiver of the band-changed message; null = parent
  int fieldCode = 0;            ///< the field reported; 0 = none
  double minValue = 0.0;
  double maxValue = 0.0;
  double step = 0.0;
  std::string format;  ///< display format when isFloat is 1 ("%.2f")

  /// Length of the text before the edit now being made (for the typing limit).
  int LastLength() const { return m_lastLength; }

  /// The field's value: the leading number of its text, 0 when there is none.
  double ReadValue() const;
  /// Clamps (a bound of exactly 0 is not applied) and shows `value`, without notifying.
  void SetValue(double value);
  /// One up-down click: up is delta -1. Steps, clamps with both bounds, shows and notifies.
  void StepValue(int delta);
  /// Sets the typing limit: a person cannot type or paste the text beyond `length` characters
  /// (0: no limit). Values the program shows are never cut by it.
  void SetMaxLength(int length);
  /// True while the program itself sets the text (SetValue, StepValue).
  bool ShowingValue() const { return m_showingValue; }
  /// Reports a committed change (Enter, leaving the field): sends the band-changed message.
  void Commit();

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  QString FormatValue(double value) const;
  void ShowText(const QString& text);
  void Notify();

  bool m_showingValue = false;
  int m_lastLength = 0;  // length of the text before the edit being checked
};
