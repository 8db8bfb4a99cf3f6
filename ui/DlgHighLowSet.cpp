#include "ui/DlgHighLowSet.h"

#include <QLabel>
#include <QPixmap>

#include "eq/band/EqBand.h"
#include "ui/BandFloatNumEdit.h"
#include "ui/ButtonST.h"
#include "ui/EqEvents.h"

namespace {
constexpr int kCutoffRow = 0;
constexpr int kStopRow = 1;
constexpr int kGainRow = 2;
}  // namespace

CDlgHighLowSet::CDlgHighLowSet(const AppConfig& config, QWidget* parent, std::uint32_t type,
                               std::uint32_t index)
    : CDlgEQController(config, parent, type, index) {
  m_captions[kCutoffRow]->setText(QStringLiteral("Cutoff Freq."));
  m_captions[kStopRow]->setText(QStringLiteral("Stop Freq."));
  m_captions[kGainRow]->setText(QStringLiteral("Gain"));
}

void CDlgHighLowSet::InitEditor(QObject* notifyWnd) {
  CDlgEQController::InitEditor(notifyWnd);
  SetUpField(kCutoffRow, kFieldCutoffFreq, false, false);
  SetUpField(kStopRow, kFieldStopFreq, false, false);
  SetUpField(kGainRow, kFieldGain, true, true);
  if (bandType == 2) {
    m_picture->setPixmap(LoadPicture(QStringLiteral(":/icons/highpass.png")));
  } else if (bandType == 3) {
    m_picture->setPixmap(LoadPicture(QStringLiteral(":/icons/lowpass.png")));
  }
}

void CDlgHighLowSet::UpdateLimits() {
  const double stop = Field(kStopRow)->ReadValue();
  const double cutoff = Field(kCutoffRow)->ReadValue();
  const double fs2 = HalfRate();
  const double fmin = m_config.minFreqValue;
  const double step = m_config.controlFreqStep;
  SetLimits(kGainRow, m_config.minDbValue, m_config.maxDbValue, m_config.controlDBStep);
  if (bandType == 2) {
    SetLimits(kCutoffRow, stop / kStopMargin, fs2, step);
    SetLimits(kStopRow, fmin, cutoff * kStopMargin, step);
  } else if (bandType == 3) {
    SetLimits(kCutoffRow, fmin, stop * kStopMargin, step);
    SetLimits(kStopRow, cutoff / kStopMargin, fs2, step);
  } else {
    SetLimits(kCutoffRow, fmin, fs2, step);
    SetLimits(kStopRow, fmin, fs2, step);
  }
}

int CDlgHighLowSet::GetCutoffFreq(double* value) {
  *value = Field(kCutoffRow)->ReadValue();
  return 1;
}

int CDlgHighLowSet::SetCutoffFreq(double value) {
  Field(kCutoffRow)->SetValue(value);
  return 1;
}

int CDlgHighLowSet::GetStopFreq(double* value) {
  *value = Field(kStopRow)->ReadValue();
  return 1;
}

int CDlgHighLowSet::SetStopFreq(double value) {
  Field(kStopRow)->SetValue(value);
  return 1;
}

int CDlgHighLowSet::GetHighLowValues(int* enable, double* cutoffFreq, double* stopFreq,
                                     double* gain) {
  *enable = IsBandEnabled();
  GetCutoffFreq(cutoffFreq);
  GetStopFreq(stopFreq);
  GetGain(gain);
  return 1;
}
