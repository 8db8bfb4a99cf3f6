#pragma once

#include "ui/DlgEQController.h"

/// The editor of a bell, shelf or notch band (`type`): Center Freq. (whole Hz), Qual and Gain
/// (dB; greyed for a notch, which has none).
class CDlgBellSet final : public CDlgEQController {
  Q_OBJECT

 public:
  CDlgBellSet(const AppConfig& config, QWidget* parent, std::uint32_t type, std::uint32_t index);

  void InitEditor(QObject* notifyWnd) override;
  void UpdateLimits() override;
  int GetQual(double* value) override;
  int SetQual(double value) override;
  int GetCentFreq(double* value) override;
  int SetCentFreq(double value) override;
  int GetBellValues(int* enable, double* centFreq, double* qual, double* gain) override;
};
