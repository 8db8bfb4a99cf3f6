// The main window's band editors: made for the band table, loaded from it, and read back into
// it as their fields change; a band's change of type.
#include <algorithm>

#include "ui/BandFloatNumEdit.h"
#include "ui/DlgBellSet.h"
#include "ui/DlgEQController.h"
#include "ui/DlgHighLowSet.h"
#include "ui/EqEvents.h"
#include "ui/TonvaleDlg.h"

void CTonvaleDlg::CreateBandEditors() {
  // Later, not now: the editor whose type menu asked for the rebuild is still on the stack.
  for (auto it = m_editors.rbegin(); it != m_editors.rend(); ++it) {
    (*it)->hide();
    (*it)->deleteLater();
  }
  m_editors.clear();
  for (const EqBand& band : m_context.bandTable) {
    CDlgEQController* editor = nullptr;
    if (IsSingleSectionType(band.type)) {
      editor = new CDlgBellSet(m_context.config, this, band.type, band.index);
    } else if (band.type == ToCode(EqBandType::HighPass) ||
               band.type == ToCode(EqBandType::LowPass)) {
      // Every editor takes its record's index, so that loading and reading back always match,
      // also when a record of an unknown type comes first.
      editor = new CDlgHighLowSet(m_context.config, this, band.type, band.index);
    } else {
      continue;
    }
    editor->InitEditor(this);
    for (int row = 0; row < 3; ++row) {
      editor->Field(row)->installEventFilter(this);
    }
    m_editors.push_back(editor);
  }
}

void CTonvaleDlg::RebuildEditors() {
  CreateBandEditors();
  LayoutWindow();
  SetTabOrder();
  LoadEditorsFromTable();
  m_preamp->SetValue(m_context.bandTable.preampDb);
  OnSampleRateChange();
}

void CTonvaleDlg::OnBandType(int bandIndex, std::uint32_t type) {
  int changed = 0;
  (void)SyncBandFromEditor(static_cast<std::uint32_t>(bandIndex), &changed);
  const AppConfig& config = m_context.config;
  const double half = static_cast<double>(config.defaultSampleRate / 2);  // NOLINT
  for (EqBand& band : m_context.bandTable) {
    if (band.index != static_cast<std::uint32_t>(bandIndex) || band.type == type) {
      continue;
    }
    const bool fromPass = IsPassType(band.type);
    if (IsPassType(type)) {
      // A pass band's corner where the band was centred, its stop an octave into the stop side
      // (within half the rate), its attenuation the configured default.
      if (!fromPass) {
        band.cutoffFreq = band.centFreq;
        band.gain = config.defaultGain;
      }
      const bool highPass = type == ToCode(EqBandType::HighPass);
      band.stopFreq = highPass ? band.cutoffFreq / 2 : std::min(band.cutoffFreq * 2, half);
      if (!highPass && !(band.stopFreq > band.cutoffFreq)) {
        band.cutoffFreq = half * kStopMargin;
        band.stopFreq = half;
      }
    } else if (fromPass) {
      // Centred where the corner was, flat until the user sets a gain.
      band.centFreq = band.cutoffFreq;
      band.gain = 0.0;
      if (!(band.qual > 0.0)) {
        band.qual = config.defaultQual;
      }
    }
    band.type = type;
  }
  RebuildEditors();
  RecordEdit(-1);
}

void CTonvaleDlg::LoadEditorsFromTable() {
  for (const EqBand& band : m_context.bandTable) {
    for (CDlgEQController* editor : m_editors) {
      if (editor->bandType == band.type && editor->bandIndex == band.index) {
        editor->SetBandEnabled(static_cast<int>(band.enable));
        editor->SetCentFreq(band.centFreq);
        editor->SetCutoffFreq(band.cutoffFreq);
        editor->SetStopFreq(band.stopFreq);
        editor->SetGain(band.gain);
        editor->SetQual(band.qual);
        break;
      }
    }
  }
}

int CTonvaleDlg::SyncBandFromEditor(std::uint32_t bandIndex, int* changed) {
  *changed = 0;
  for (EqBand& band : m_context.bandTable) {
    if (band.index != bandIndex) {
      continue;
    }
    for (CDlgEQController* editor : m_editors) {
      if (editor->bandIndex != bandIndex) {
        continue;
      }
      int enable = 0;
      double first = 0.0;
      double second = 0.0;
      double gain = 0.0;
      if (editor->GetHighLowValues(&enable, &first, &second, &gain) == 1) {
        if (band.enable != static_cast<std::uint32_t>(enable) || enable == 1) {
          *changed = 1;
        }
        band.cutoffFreq = first;
        band.stopFreq = second;
        band.enable = static_cast<std::uint32_t>(enable);
        band.gain = gain;
        return 1;
      }
      if (editor->GetBellValues(&enable, &first, &second, &gain) == 1) {
        if (band.enable != static_cast<std::uint32_t>(enable) || enable == 1) {
          *changed = 1;
        }
        band.centFreq = first;
        band.qual = second;
        band.enable = static_cast<std::uint32_t>(enable);
        band.gain = gain;
        return 1;
      }
    }
  }
  return 0;
}

int CTonvaleDlg::OnBandChanged(int fieldCode, int bandIndex) {
  if (fieldCode == kFieldPreamp) {
    m_context.bandTable.preampDb = m_preamp->ReadValue();
    RefreshCurve();
    RecordEdit(kFieldPreamp * 128);
    return 0;
  }
  if (fieldCode == kFieldNone || bandIndex == -1) {
    return 0;
  }
  const auto index = static_cast<std::uint32_t>(bandIndex);
  int changed = 0;
  if (SyncBandFromEditor(index, &changed) == 1 && changed == 1) {
    RefreshCurve();
  }
  if (fieldCode == kFieldCutoffFreq || fieldCode == kFieldStopFreq) {
    for (CDlgEQController* editor : m_editors) {
      if (editor->bandIndex == index) {
        editor->UpdateLimits();
        break;
      }
    }
  }
  RecordEdit(fieldCode * 128 + bandIndex % 128);
  return 0;
}
