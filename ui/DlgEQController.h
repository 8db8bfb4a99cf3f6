#pragma once

#include <QFrame>
#include <array>
#include <cstdint>
#include <string>

#include "settings/AppConfig.h"

class CBandFloatNumEdit;
class QCheckBox;
class QLabel;
class QMenu;
class SpinArrows;

/// A band editor: a bordered panel with a title, three numeric fields with up-down controls,
/// an enable check box and a picture of the filter kind. The main dialog talks to every editor
/// through this interface; the two kinds implement the fields they have.
class CDlgEQController : public QFrame {
  Q_OBJECT

 public:
  /// Template size of an editor, dialog units.
  static constexpr int kWidthUnits = 50;
  static constexpr int kHeightUnits = 120;

  CDlgEQController(const AppConfig& config, QWidget* parent, std::uint32_t type,
                   std::uint32_t index);

  const std::uint32_t bandType;   ///< the band's EqBandType code
  const std::uint32_t bandIndex;  ///< the `index` of the band shown
  std::string tipText;            ///< the tooltip being shown (at most 779 bytes)

  /// Remembers the receiver of this editor's messages and sets up title, fields and picture.
  virtual void InitEditor(QObject* notifyWnd);
  /// Recomputes every field's limits and step; changes no shown value.
  virtual void UpdateLimits() {}
  int IsBandEnabled() const;
  void SetBandEnabled(int enable);
  virtual int GetCutoffFreq(double*) { return 0; }
  virtual int SetCutoffFreq(double) { return 0; }
  virtual int GetStopFreq(double*) { return 0; }
  virtual int SetStopFreq(double) { return 0; }
  virtual int GetGain(double* value);
  virtual int SetGain(double value);
  virtual int GetQual(double*) { return 0; }
  virtual int SetQual(double) { return 0; }
  virtual int GetCentFreq(double*) { return 0; }
  virtual int SetCentFreq(double) { return 0; }
  virtual int GetHighLowValues(int*, double*, double*, double*) { return 0; }
  virtual int GetBellValues(int*, double*, double*, double*) { return 0; }

  /// The numeric field in row 0, 1 or 2 (top to bottom), for the window and tests.
  CBandFloatNumEdit* Field(int row) const { return m_fields[static_cast<std::size_t>(row)]; }
  SpinArrows* Spin(int row) const { return m_spins[static_cast<std::size_t>(row)]; }
  QCheckBox* EnableBox() const { return m_enable; }
  QLabel* Picture() const { return m_picture; }
  QLabel* Title() const { return m_title; }

  /// The tooltip text for `child` (a field's full text, or the filter kind over the picture);
  /// empty for none.
  QString ToolTipFor(QObject* child);

  /// The band type menu (Bell, Low shelf, High shelf, Notch, High-pass, Low-pass), the current
  /// type checked; choosing an entry calls ChooseType. The caller owns the menu.
  QMenu* CreateTypeMenu(QWidget* parent);
  /// Asks the main dialog to make this band one of `type` (an EqBandType code).
  void ChooseType(std::uint32_t type);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  /// Gives the field of `row` its code, number kind and captions.
  void SetUpField(int row, int fieldCode, bool isFloat, bool allowNegative);
  /// fs / 2 of the current sample rate, in integer arithmetic, as a double.
  double HalfRate() const;
  void SetLimits(int row, double minValue, double maxValue, double step);

  const AppConfig& m_config;
  QObject* m_notify = nullptr;
  QLabel* m_title;
  std::array<QLabel*, 3> m_captions{};
  std::array<CBandFloatNumEdit*, 3> m_fields{};
  std::array<SpinArrows*, 3> m_spins{};
  QCheckBox* m_enable;
  QLabel* m_picture;
};
