#include "ui/DlgBellSet.h"

#include <QLabel>
#include <QPixmap>

#include "eq/band/EqBand.h"
#include "ui/BandFloatNumEdit.h"
#include "ui/ButtonST.h"
#include "ui/EqEvents.h"
#include "ui/SpinArrows.h"

namespace {
constexpr int kCentFreqRow = 0;
constexpr int kQualRow = 1;
constexpr int kGainRow = 2;
}  // namespace

CDlgBellSet::CDlgBellSet(const AppConfig& config, QWidget* parent, std::uint32_t type,
                         std::uint32_t index)
    : CDlgEQController(config, parent, type, index) {
  m_captions[kCentFreqRow]->setText(QStringLiteral("Center Freq."));
  m_captions[kQualRow]->setText(QStringLiteral("Qual"));
  m_captions[kGainRow]->setText(QStringLiteral("Gain"));
}

void CDlgBellSet::InitEditor(QObject* notifyWnd) {
  CDlgEQController::InitEditor(notifyWnd);
  SetUpField(kCentFreqRow, kFieldCentFreq, false, false);
  SetUpField(kQualRow, kFieldQual, true, false);
  SetUpField(kGainRow, kFieldGain, true, true);
  const char* picture = bandType == ToCode(EqBandType::LowShelf)    ? ":/icons/lowshelf.png"
                        : bandType == ToCode(EqBandType::HighShelf) ? ":/icons/highshelf.png"
                        : bandType == ToCode(EqBandType::Notch)     ? ":/icons/notch.png"
                                                                    : ":/icons/bell.png";
  m_picture->setPixmap(LoadPicture(QString::fromLatin1(picture)));
  // A notch has no gain: the row stays, greyed, so that every editor keeps its layout.
  const bool hasGain = bandType != ToCode(EqBandType::Notch);
  for (QWidget* control :
       {static_cast<QWidget*>(m_captions[kGainRow]), static_cast<QWidget*>(Field(kGainRow)),
        static_cast<QWidget*>(Spin(kGainRow))}) {
    control->setEnabled(hasGain);
  }
}

void CDlgBellSet::UpdateLimits() {
  SetLimits(kCentFreqRow, m_config.minFreqValue, HalfRate(), m_config.controlFreqStep);
  SetLimits(kQualRow, m_config.minQualValue, m_config.maxQualValue, m_config.controlQualStep);
  SetLimits(kGainRow, m_config.minDbValue, m_config.maxDbValue, m_config.controlDBStep);
}

int CDlgBellSet::GetQual(double* value) {
  *value = Field(kQualRow)->ReadValue();
  return 1;
}

int CDlgBellSet::SetQual(double value) {
  Field(kQualRow)->SetValue(value);
  return 1;
}

int CDlgBellSet::GetCentFreq(double* value) {
  *value = Field(kCentFreqRow)->ReadValue();
  return 1;
}

int CDlgBellSet::SetCentFreq(double value) {
  Field(kCentFreqRow)->SetValue(value);
  return 1;
}

int CDlgBellSet::GetBellValues(int* enable, double* centFreq, double* qual, double* gain) {
  *enable = IsBandEnabled();
  GetCentFreq(centFreq);
  GetQual(qual);
  GetGain(gain);
  return 1;
}
