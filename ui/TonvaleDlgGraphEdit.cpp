// The main window's side of the gestures on the graph's handles: what a drag, the wheel, the
// arrow keys and a double click make of a band, shown in its editor's fields and taken into the
// band table from there, as a typed value is.
#include <QCheckBox>

#include "eq/response/BandHandles.h"
#include "ui/DlgEQController.h"
#include "ui/DlgEQPainter.h"
#include "ui/EqEvents.h"
#include "ui/TonvaleDlg.h"

void CTonvaleDlg::ConnectGraphEdits() {
  connect(m_painter, &CDlgEQPainter::HandlePressed, this, &CTonvaleDlg::OnHandlePressed);
  connect(m_painter, &CDlgEQPainter::HandleDragged, this, &CTonvaleDlg::OnHandleDragged);
  connect(m_painter, &CDlgEQPainter::HandleReleased, this, &CTonvaleDlg::OnHandleReleased);
  connect(m_painter, &CDlgEQPainter::HandleDragCancelled, this,
          &CTonvaleDlg::OnHandleDragCancelled);
  connect(m_painter, &CDlgEQPainter::HandleWidthStepped, this, &CTonvaleDlg::OnHandleWidthStepped);
  connect(m_painter, &CDlgEQPainter::HandleNudged, this, &CTonvaleDlg::OnHandleNudged);
  connect(m_painter, &CDlgEQPainter::HandleToggled, this, &CTonvaleDlg::OnHandleToggled);
}

BandLimits CTonvaleDlg::GraphLimits() const {
  const AppConfig& config = m_context.config;
  return BandLimits{
      .minFreq = config.minFreqValue,
      .maxFreq = static_cast<double>(config.defaultSampleRate / 2),  // NOLINT: whole hertz
      .minGain = config.minDbValue,
      .maxGain = config.maxDbValue,
      .minQual = config.minQualValue,
      .maxQual = config.maxQualValue};
}

CDlgEQController* CTonvaleDlg::EditorOf(std::uint32_t index) const {
  for (CDlgEQController* editor : m_editors) {
    if (editor->bandIndex == index) {
      return editor;
    }
  }
  return nullptr;
}

void CTonvaleDlg::ShowBand(std::size_t position, const EqBand& band) {
  if (position >= m_context.bandTable.size()) {
    return;
  }
  CDlgEQController* editor = EditorOf(m_context.bandTable[position].index);
  if (editor == nullptr) {
    return;
  }
  if (IsPassType(band.type)) {
    // Each frequency's limits follow the other's: set both, let the limits follow, set both
    // again, so that neither is held by where the other was.
    for (int pass = 0; pass < 2; ++pass) {
      editor->SetCutoffFreq(band.cutoffFreq);
      editor->SetStopFreq(band.stopFreq);
      editor->UpdateLimits();
    }
  } else {
    editor->SetCentFreq(band.centFreq);
    editor->SetQual(band.qual);
  }
  editor->SetGain(band.gain);
  int changed = 0;
  (void)SyncBandFromEditor(editor->bandIndex, &changed);
  RefreshCurve();  // also for a disabled band: its handle moves
}

void CTonvaleDlg::OnHandlePressed(int band) {
  if (band < 0 || static_cast<std::size_t>(band) >= m_context.bandTable.size()) {
    return;
  }
  m_dragBand = band;
  m_dragStart = m_context.bandTable[static_cast<std::size_t>(band)];
}

void CTonvaleDlg::OnHandleDragged(int band, double dx, double dy) {
  if (band != m_dragBand) {
    return;
  }
  ShowBand(static_cast<std::size_t>(band),
           DragBand(m_dragStart, m_context.graphParams, dx, dy, GraphLimits()));
}

void CTonvaleDlg::OnHandleReleased(int band) {
  if (band != m_dragBand) {
    return;
  }
  m_dragBand = -1;
  RecordEdit(-1);  // the whole drag, press to release, is one edit
}

void CTonvaleDlg::OnHandleDragCancelled(int band) {
  if (band != m_dragBand) {
    return;
  }
  m_dragBand = -1;
  ShowBand(static_cast<std::size_t>(band), m_dragStart);
  RecordEdit(-1);
}

void CTonvaleDlg::OnHandleWidthStepped(int band, int steps, bool fine) {
  if (band < 0 || static_cast<std::size_t>(band) >= m_context.bandTable.size()) {
    return;
  }
  const EqBand& current = m_context.bandTable[static_cast<std::size_t>(band)];
  const int field = IsPassType(current.type) ? kFieldGain : kFieldQual;
  ShowBand(static_cast<std::size_t>(band), StepBandWidth(current, steps, fine, GraphLimits()));
  // The notches of one turn of the wheel are one edit, as the steps of a held arrow are.
  RecordEdit(field * 128 + static_cast<int>(current.index % 128));
}

void CTonvaleDlg::OnHandleNudged(int band, int freqSteps, int gainSteps, bool fine) {
  if (band < 0 || static_cast<std::size_t>(band) >= m_context.bandTable.size()) {
    return;
  }
  const EqBand& current = m_context.bandTable[static_cast<std::size_t>(band)];
  const AppConfig& config = m_context.config;
  // Shift: the fields' own resolution, a hertz or a hundredth of a dB.
  const double freqStep = fine ? 1.0 : config.controlFreqStep;
  const double gainStep = fine ? 0.01 : config.controlDBStep;
  const int field =
      freqSteps != 0 ? (IsPassType(current.type) ? kFieldCutoffFreq : kFieldCentFreq) : kFieldGain;
  const int index = static_cast<int>(current.index % 128);
  ShowBand(static_cast<std::size_t>(band),
           NudgeBand(current, freqSteps, gainSteps, freqStep, gainStep, GraphLimits()));
  RecordEdit(field * 128 + index);
}

void CTonvaleDlg::OnHandleToggled(int band) {
  if (band < 0 || static_cast<std::size_t>(band) >= m_context.bandTable.size()) {
    return;
  }
  // As a click on the band's check box: the same message, the same undo step.
  if (CDlgEQController* editor =
          EditorOf(m_context.bandTable[static_cast<std::size_t>(band)].index)) {
    editor->EnableBox()->click();
  }
}
