#pragma once

#include <QDialog>
#include <QStringList>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "analysis/LongTermPower.h"
#include "analysis/RecordingReader.h"
#include "eq/band/EqBand.h"
#include "eq/response/BQCalculator.h"
#include "eq/response/EqGraphParams.h"
#include "settings/AppConfig.h"
#include "ui/ConversionRunner.h"
#include "ui/InteractiveMode.h"

class CBandFloatNumEdit;
class CButtonST;
class CDlgEQController;
class CDlgEQPainter;
class QAudioSink;
class QComboBox;
class QPushButton;
class RecordingPlayer;
class QDragEnterEvent;
class QDropEvent;
class QLabel;
class QMenu;
class QUndoStack;

/// The open-file dialog's filter for "Convert File": every kind this build reads (by
/// extension), then all files.
QString SpeechFileFilter();

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
  /// select nothing); false without a recording.
  bool SetLoop(double fromSeconds, double toSeconds);
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
  /// "Convert File": converts the chosen files beside their sources, on a worker thread, then
  /// reports each file's outcome.
  void OnConvertFile();

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
  /// Joins the recording reads that have ended (at once: their threads have returned).
  void JoinEndedReads();
  /// The spectrum of an opened recording is ready (or its reading failed with `error`).
  void OnSpectrumReady(const QString& path, bool ok, const LongTermPower& spectrum,
                       const std::shared_ptr<RecordingPcm>& pcm, const QString& error);
  /// Takes a value typed into the focused field and not yet committed.
  void CommitFocusedField();

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
  // A recording being read for its spectrum, on a thread of its own; `ended` is set as the
  // thread's last step.
  struct RecordingRead {
    std::jthread thread;
    std::shared_ptr<std::atomic<bool>> ended;
  };
  std::vector<RecordingRead> m_reads;  // the latest last; the others have been asked to stop
  unsigned m_readSerial = 0;           // the latest read's: only its result is shown
  RecordingPlayer* m_player = nullptr;
  int m_spectrumAnalyses = 0;
  QAudioSink* m_sink = nullptr;
  QPushButton* m_playButton;
  QPushButton* m_abButton;
  EqBandTable m_recorded;  // the table as of the last recorded edit
};
