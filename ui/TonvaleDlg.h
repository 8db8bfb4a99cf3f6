#pragma once

#include <QDialog>
#include <QStringList>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "analysis/LongTermPower.h"
#include "analysis/RecordingLoudness.h"
#include "analysis/RecordingReader.h"
#include "eq/band/EqBand.h"
#include "eq/response/BQCalculator.h"
#include "eq/response/BandHandles.h"
#include "eq/response/EqGraphParams.h"
#include "settings/AppConfig.h"
#include "ui/BackgroundJobs.h"
#include "ui/ConversionRunner.h"
#include "ui/InteractiveMode.h"

class CBandFloatNumEdit;
class CButtonST;
class CDlgEQController;
class CDlgEQPainter;
class CRecordingStrip;
class QAudioSink;
class QComboBox;
class QPushButton;
class RecordingPlayer;
class QDragEnterEvent;
class QDropEvent;
class QLabel;
class QMenu;
class QTimer;
class QUndoStack;

/// The open-file dialog's filter for "Convert File": every kind this build reads (by
/// extension), then all files.
QString SpeechFileFilter();

/// Fills `choice` with the deliveries Convert File offers: "As the source" (data empty), then
/// each named delivery (data its name, tooltip where its values come from); `selected` chosen.
void FillDeliveryChoice(QComboBox& choice, const QString& selected);

/// The main window: the sample-rate list, "Convert File" (or OK and Cancel when a settings file
/// was named), one band editor per band side by side, and the response graph.
class CTonvaleDlg : public QDialog {
  Q_OBJECT

 public:
  explicit CTonvaleDlg(InteractiveContext context, QWidget* parent = nullptr);
  ~CTonvaleDlg() override;

  /// Chooses the files to convert; the default shows the open-file dialog.
  using FileChooser = std::function<QStringList(QWidget* owner)>;
  /// Shows the report after a conversion run; the default shows a message box.
  using ReportSink = std::function<void(const QString& title, const QString& text, bool failed)>;
  void SetFileChooser(FileChooser chooser) { m_chooser = std::move(chooser); }
  void SetReportSink(ReportSink sink) { m_report = std::move(sink); }
  /// Asks whether a run goes on past a failed file; the default shows a Continue/Stop box.
  void SetFailurePrompt(FailurePrompt prompt) { m_failurePrompt = std::move(prompt); }
  /// Chooses a preset file to import (`save` false) or export to; the default shows the file
  /// dialog. An empty name cancels.
  using PresetChooser = std::function<QString(QWidget* owner, bool save)>;
  void SetPresetChooser(PresetChooser chooser) { m_presetChooser = std::move(chooser); }

  // The steps of the window, in the order start-up runs them.
  void CreateBandEditors();
  void InitControls();
  void LayoutWindow();
  /// Puts Open Recording, Play and A/B in the top row where it has room, the rest in a strip
  /// over the graph's top-right corner.
  void PlaceRecordingControls();
  void LoadEditorsFromTable();
  void OnSampleRateChange();
  void RefreshCurve();
  void StartLiveCheck();
  void StopLiveCheck();
  /// Sets the keyboard order: the top row left to right, then each editor top to bottom (its
  /// three fields, then its check box).
  void SetTabOrder();

  /// Reads band `bandIndex` back from its editor into the band table. 1 when a record and an
  /// editor were found; `changed` is 1 when the curve must be redrawn.
  int SyncBandFromEditor(std::uint32_t bandIndex, int* changed);
  /// WM_EQ_BAND_CHANGED: a field of band `bandIndex` changed.
  int OnBandChanged(int fieldCode, int bandIndex);
  /// A band editor's type menu chose `type` for band `bandIndex`: the band takes the new type,
  /// its values carried over where they mean the same and set to sensible ones where they do
  /// not, and the editors are rebuilt.
  void OnBandType(int bandIndex, std::uint32_t type);
  /// Replaces the band table with the preset text in the file at `path` (the editors rebuilt for
  /// its band count) and reports what was skipped; false, with a report, when nothing was read.
  bool ImportPreset(const QString& path);
  /// Writes the current bands as preset text to `path`; false, with a report, when it cannot.
  bool ExportPreset(const QString& path);
  /// Opens a recording: its spectrum (the first 10 minutes) is computed on a worker thread and
  /// then drawn under the curve with its prediction after the EQ, and the sample rate switches
  /// to the recording's (added to the list when missing). A file that cannot be read is
  /// reported. A recording still being read is given up: its reading stops unseen, and the
  /// window does not wait for it.
  void OpenRecording(const QString& path);
  /// True once a recording's spectrum is shown.
  bool HasSpectrum() const { return m_hasSpectrum; }
  /// How many recordings' spectra have been analysed (an edit only adds the response).
  int SpectrumAnalyses() const { return m_spectrumAnalyses; }
  /// The opened recording's player (null before one is open), and its Play/Stop and A/B
  /// buttons, drawn over the graph's top-left corner.
  RecordingPlayer* Player() const { return m_player; }
  QPushButton* PlayButton() const { return m_playButton; }
  CButtonST* OpenRecordingButton() const { return m_openRecording; }
  QPushButton* AbButton() const { return m_abButton; }
  /// Play/Stop: plays the recording through the current bands in a loop, or stops; without an
  /// audio device the button says so.
  void OnPlay();
  /// Loops the recording from `fromSeconds` to `toSeconds` (the whole recording when they
  /// select nothing); false without a recording. The time line shows it as its selection.
  bool SetLoop(double fromSeconds, double toSeconds);
  /// The opened recording in time, under the graph; hidden until a recording is open.
  CRecordingStrip* Strip() const { return m_strip; }
  /// The recording's frame the player's first frame is: listening holds up to 10 minutes of a
  /// recording at a time, from here.
  std::uint64_t HeldFirst() const { return m_heldFirst; }
  /// How many spectra of a selection have been read.
  int SelectionAnalyses() const { return m_selectionAnalyses; }
  /// Asks for the loop's start and end in seconds and sets it.
  void ChooseLoop();
  /// Writes the graph (grid, band curves, combined curve, markers) to `path`: an SVG drawing
  /// when the name ends in ".svg", otherwise a PNG image at `scale` times the graph's size. False,
  /// with a report, when it cannot be written.
  bool ExportGraph(const QString& path, double scale);
  /// The undo history of the band edits (values, switches, types, imports, the preamp).
  QUndoStack* UndoStack() const { return m_undo; }
  /// The graph's context menu: Import preset..., Export preset.... The caller owns it.
  QMenu* CreateGraphMenu(QWidget* parent);
  /// WM_EQ_LIVE_STATUS: the liveness flag read `value`; 0 closes the window as Cancel does,
  /// together with any box it has open, and stops a running conversion before its next step.
  int OnLiveStatus(int value);
  /// "Convert File": converts the chosen files beside their sources, on a worker thread, as the
  /// chosen delivery asks, then reports each file's outcome.
  void OnConvertFile();
  /// The delivery Convert File converts for: a named delivery ("podcast", ...), or empty for
  /// the source's own loudness, rate, channels and encoding (the default). The open-file
  /// dialog of Convert File offers the choice.
  const QString& DeliveryName() const { return m_deliveryName; }
  void SetDeliveryName(const QString& name) { m_deliveryName = name; }

  /// The opened recording's loudness line under the time line: its integrated loudness and
  /// true peak before and after the current bands, measured on a worker thread when it opens
  /// and again after an edit.
  QLabel* LoudnessLabel() const { return m_loudnessLabel; }
  /// The loudness line's height, px: an open recording grows the window by the time line and it.
  static constexpr int kLoudnessRowHeight = 18;
  /// How many loudness measurements of the recording have been shown (for tests).
  int LoudnessMeasurements() const { return m_loudnessMeasurements; }
  /// Measures the opened recording's loudness after the current bands on a worker thread (and
  /// before them while that is not known); a measurement still running is given up.
  void MeasureLoudness();

  /// OK: commits the field being edited and saves the bands (settings mode) before the window
  /// closes; a failed save is reported and the window stays open.
  void accept() override;

  const std::vector<CDlgEQController*>& Editors() const { return m_editors; }
  QComboBox* RateList() const { return m_rateList; }
  CDlgEQPainter* Painter() const { return m_painter; }
  CButtonST* OkButton() const { return m_ok; }
  CButtonST* CancelButton() const { return m_cancel; }
  CButtonST* ConvertButton() const { return m_convert; }
  CBandFloatNumEdit* PreampField() const { return m_preamp; }
  bool LiveCheckRunning() const { return liveCheckRunning.load() == 1; }
  /// How many times the curve has been recomputed (for tests and diagnostics).
  int CurveRefreshCount() const { return m_curveRefreshes; }
  /// How many liveness readings the window has received from its watcher (for tests).
  int LiveStatusCount() const { return m_liveStatusCount; }

 protected:
  void customEvent(QEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void LiveCheckThreadProc();
  /// Closes every dialog or message box this window has opened and that is still open.
  void CloseOpenBoxes();
  void Report(const QString& title, const QString& text, bool failed);
  /// Rebuilds the editors for the band table (after a type change or an import).
  void RebuildEditors();
  /// Records the band table's change since the last record as one undoable edit; edits with
  /// the same `mergeKey` (>= 0) in quick succession become one.
  void RecordEdit(int mergeKey);
  /// Makes `table` the window's (undo and redo), rebuilding the editors when its bands' count
  /// or types differ from theirs.
  void ApplyTable(const EqBandTable& table);
  /// The spectrum of an opened recording is ready (or its reading failed with `error`).
  void OnSpectrumReady(const QString& path, bool ok, const LongTermPower& spectrum,
                       const std::shared_ptr<RecordingPcm>& pcm, const QString& error);
  // The constructor's steps: the controls of the top row placed, the listening controls and
  // the playhead's timer prepared, their signals connected; the undo and redo keys; the
  // recording strip's signals.
  void PlaceTopControls();
  void PrepareListening();
  void ConnectTopControls();
  void ConnectUndoKeys();
  void ConnectRecordingStrip();
  // The graph menu's groups of actions, and its preamp dialog.
  void AddListeningActions(QMenu& menu);
  void AddPresetActions(QMenu& menu);
  void AddGraphExportActions(QMenu& menu);
  void AskPreamp();
  /// Takes a value typed into the focused field and not yet committed.
  void CommitFocusedField();
  /// The gestures on the graph's handles (TonvaleDlgGraphEdit.cpp), each by the band's position
  /// in the table: a drag from press to release is one undoable edit.
  void ConnectGraphEdits();
  void OnHandlePressed(int band);
  void OnHandleDragged(int band, double dx, double dy);
  void OnHandleReleased(int band);
  void OnHandleDragCancelled(int band);
  void OnHandleWidthStepped(int band, int steps, bool fine);
  void OnHandleNudged(int band, int freqSteps, int gainSteps, bool fine);
  void OnHandleToggled(int band);
  /// The limits the graph holds a band's values in: the fields'.
  BandLimits GraphLimits() const;
  /// The editor of the band with `index`, null when it has none.
  CDlgEQController* EditorOf(std::uint32_t index) const;
  /// Shows `band`'s values in the editor of the band at `position` and takes them into the
  /// band table from there (the fields' limits and resolution apply), then redraws.
  void ShowBand(std::size_t position, const EqBand& band);
  /// The recording in time (TonvaleDlgTimeline.cpp): the strip shown for a newly opened
  /// recording, and its envelope read on a worker thread.
  void ShowTimeline(const std::string& path, const RecordingPcm& pcm);
  /// A click in the strip: plays on from `frame`; nothing is selected any more.
  void OnStripPosition(std::uint64_t frame);
  /// A drag over frames [first, end) in the strip: the selection, which loops.
  void OnStripSelection(std::uint64_t first, std::uint64_t end);
  /// The selection's loop (or, with `seek`, the play position) handed to the player; a part
  /// of the recording it does not hold is read first, on a worker thread.
  void ApplySelection(bool seek);
  /// The Play button's tooltip: what it loops.
  void UpdateLoopTip();
  /// Reads up to 10 minutes of the recording from `first` for listening, then makes a new
  /// player of them.
  void HoldFrom(std::uint64_t first);
  /// The graph's spectrum: the selection's (read from the file on a worker thread) when the
  /// strip's check box asks for it and something is selected, else the recording's.
  void UpdateSelectionSpectrum();
  /// The strip's playhead at the player's position.
  void UpdatePlayhead();
  // The kinds of the window's jobs on threads of their own (m_jobs): a new job of a kind
  // replaces the one before it.
  enum JobKind : int {
    kRecordingJob = 0,  // an opened recording's first 10 minutes and their spectrum
    kEnvelopeJob,       // the whole recording's envelope, for the time line
    kHoldJob,           // the part of the recording held for listening
    kSelectionSpectrumJob,
    kLoudnessJob,  // the whole recording's loudness before and after the bands
  };
  /// The loudness line's text for what is known so far.
  void ShowLoudness();

  InteractiveContext m_context;
  // Liveness watcher: the keep-running flag is shared with the watcher thread.
  std::atomic<int> liveCheckRunning{0};
  std::thread liveCheckThread;
  CTonvaleDlg* selfWindow = nullptr;
  std::mutex m_liveMutex;
  std::condition_variable m_liveWake;

  std::vector<CDlgEQController*> m_editors;  // owned by this window as Qt children
  CButtonST* m_ok;
  CButtonST* m_cancel;
  CButtonST* m_convert;
  CDlgEQPainter* m_painter;
  QComboBox* m_rateList;
  QLabel* m_rateLabel;
  QLabel* m_unitLabel;
  QLabel* m_preampLabel;
  CBandFloatNumEdit* m_preamp;
  int m_curveRefreshes = 0;
  int m_liveStatusCount = 0;
  bool m_closingOnFlag = false;                 // the liveness flag closed the window
  std::atomic<bool> m_cancelConversion{false};  // read by the conversion worker
  FileChooser m_chooser;
  ReportSink m_report;
  FailurePrompt m_failurePrompt = AskToContinueAfterFailure;
  PresetChooser m_presetChooser;
  QUndoStack* m_undo;
  CButtonST* m_openRecording;
  LongTermPower m_spectrum;
  bool m_hasSpectrum = false;
  RecordingPlayer* m_player = nullptr;
  int m_spectrumAnalyses = 0;
  QAudioSink* m_sink = nullptr;
  QPushButton* m_playButton;
  QPushButton* m_abButton;
  CRecordingStrip* m_strip;
  QTimer* m_playheadTimer;
  std::string m_recordingPath;    // the recording the strip shows
  std::uint64_t m_heldFirst = 0;  // the recording's frame of the player's first
  std::uint64_t m_selFirst = 0;   // the selection, recording frames; first == end: none
  std::uint64_t m_selEnd = 0;
  std::uint64_t m_playFrom = 0;  // the play position last chosen, recording frames
  LongTermPower m_fullSpectrum;  // the recording's own (its first 10 minutes)
  int m_selectionAnalyses = 0;
  EqBandTable m_recorded;  // the table as of the last recorded edit
  int m_dragBand = -1;     // the band being dragged on the graph, by position
  EqBand m_dragStart;      // its values at the press
  QString m_deliveryName;  // Convert File's delivery; empty: as the source
  QLabel* m_loudnessLabel;
  QTimer* m_loudnessTimer;                           // a measurement after the edits have paused
  std::optional<LoudnessLevel> m_sourceLoudness;     // the recording's, once measured
  std::optional<LoudnessLevel> m_equalizedLoudness;  // through m_loudnessBands
  EqBandTable m_loudnessBands;  // the bands of the latest measurement, running or done
  QString m_loudnessError;
  int m_loudnessMeasurements = 0;
  BackgroundJobs m_jobs;  // last: its threads end before anything they report to
};
