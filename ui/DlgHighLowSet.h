#pragma once

#include "ui/DlgEQController.h"

/// The editor of a high-pass (type 2) or low-pass (type 3) band: Cutoff Freq. and Stop Freq.
/// (whole Hz) and Gain (dB of attenuation at the stop frequency).
class CDlgHighLowSet final : public CDlgEQController {
  Q_OBJECT

 public:
  CDlgHighLowSet(const AppConfig& config, QWidget* parent, std::uint32_t type, std::uint32_t index);

  void InitEditor(QObject* notifyWnd) override;
  void UpdateLimits() override;
  int GetCutoffFreq(double* value) override;
  int SetCutoffFreq(double value) override;
  int GetStopFreq(double* value) override;
  int SetStopFreq(double value) override;
  int GetHighLowValues(int* enable, double* cutoffFreq, double* stopFreq, double* gain) override;
};
