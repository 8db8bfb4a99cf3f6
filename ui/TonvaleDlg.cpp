#include "ui/TonvaleDlg.h"

#include <QApplication>
#include <QAudioSink>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFileDialog>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QShortcut>
#include <QTimer>
#include <QUndoStack>
#include <algorithm>

#include "eq/design/FilterChain.h"
#include "platform/text/NumberText.h"
#include "ui/BandEditCommand.h"
#include "ui/BandFloatNumEdit.h"
#include "ui/ButtonST.h"
#include "ui/DialogUnits.h"
#include "ui/DlgEQController.h"
#include "ui/DlgEQPainter.h"
#include "ui/EqEvents.h"
#include "ui/RecordingPlayer.h"
#include "ui/RecordingStrip.h"

namespace {

void ShowReport(QWidget* owner, const QString& title, const QString& text, bool failed) {
  if (failed) {
    QMessageBox::warning(owner, title, text);
  } else {
    QMessageBox::information(owner, title, text);
  }
}

}  // namespace

CTonvaleDlg::CTonvaleDlg(InteractiveContext context, QWidget* parent)
    : QDialog(parent),
      m_context(std::move(context)),
      m_ok(new CButtonST(QStringLiteral("OK"), this)),
      m_cancel(new CButtonST(QStringLiteral("Cancel"), this)),
      m_convert(new CButtonST(QStringLiteral("Convert File"), this)),
      m_painter(new CDlgEQPainter(m_context.graphParams, this)),
      m_rateList(new QComboBox(this)),
      m_rateLabel(new QLabel(QStringLiteral("Sample Rate: "), this)),
      m_unitLabel(new QLabel(QStringLiteral("Hz"), this)),
      m_preampLabel(new QLabel(QStringLiteral("Preamp"), this)),
      m_preamp(new CBandFloatNumEdit(this)),
      m_undo(new QUndoStack(this)),
      m_openRecording(new CButtonST(QStringLiteral("Open Recording..."), this)),
      m_playButton(new QPushButton(QStringLiteral("Play"), m_painter)),
      m_abButton(new QPushButton(QStringLiteral("EQ on"), m_painter)),
      m_strip(new CRecordingStrip(this)),
      m_playheadTimer(new QTimer(this)),
      m_loudnessLabel(new QLabel(this)),
      m_loudnessTimer(new QTimer(this)) {
  // Start-up: the template's controls, then the editors, controls, layout, values, the first
  // rate set-up and curve, and the liveness watcher.
  selfWindow = this;
  InitUiResources();
  setWindowTitle(QStringLiteral("Tonvale"));
  setFont(DialogFont());
  setWindowIcon(QIcon(IconResource(128)));
  PlaceTopControls();
  PrepareListening();
  ConnectTopControls();

  CreateBandEditors();
  InitControls();
  LayoutWindow();
  SetTabOrder();
  LoadEditorsFromTable();
  OnSampleRateChange();
  m_recorded = m_context.bandTable;
  ConnectUndoKeys();
  m_preamp->installEventFilter(this);
  ConnectGraphEdits();
  ConnectRecordingStrip();
  StartLiveCheck();
  if (!m_context.openRecording.empty()) {
    OpenRecording(QString::fromStdString(m_context.openRecording));
  }
}

void CTonvaleDlg::PlaceTopControls() {
  const DialogUnits du(font());
  m_ok->setGeometry(du.Rect(309, 1, 50, 14));
  m_ok->setDefault(true);
  m_rateLabel->setGeometry(du.Rect(4, 3, 44, 8));
  m_rateList->setGeometry(du.X(51), du.Y(1), du.X(64), du.Y(14));
  m_unitLabel->setGeometry(du.Rect(121, 3, 9, 8));
  m_convert->setGeometry(du.Rect(143, 1, 74, 14));
  m_cancel->setGeometry(du.Rect(360, 1, 50, 14));
  m_preampLabel->setGeometry(du.Rect(222, 3, 24, 8));
  m_preamp->setGeometry(du.Rect(247, 1, 32, 14));
  m_preamp->setToolTip(QStringLiteral("Preamp (dB), applied before the bands"));
  m_openRecording->setGeometry(du.Rect(283, 1, 64, 14));
  m_openRecording->setToolTip(
      QStringLiteral("Show a recording's spectrum under the curve (or drop the file here)"));
}

void CTonvaleDlg::PrepareListening() {
  setAcceptDrops(true);
  m_strip->hide();  // the recording in time: shown once a recording is open
  // Listening: placed by LayoutWindow, enabled once a recording is open.
  m_abButton->setCheckable(true);
  m_abButton->setToolTip(QStringLiteral("A/B: hear the recording with the EQ or without it"));
  for (QPushButton* button : {m_playButton, m_abButton}) {
    button->setEnabled(false);
  }
  m_playheadTimer->setInterval(40);
  // The loudness after the bands is measured again once the edits pause for this long: a
  // measurement reads the whole recording.
  m_loudnessLabel->hide();
  m_loudnessLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
  m_loudnessTimer->setSingleShot(true);
  m_loudnessTimer->setInterval(300);
  connect(m_loudnessTimer, &QTimer::timeout, this, &CTonvaleDlg::MeasureLoudness);
}

void CTonvaleDlg::ConnectTopControls() {
  connect(m_openRecording, &QPushButton::clicked, this, [this] {
    const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("Open Recording"),
                                                      QString(), SpeechFileFilter());
    if (!path.isEmpty()) {
      OpenRecording(path);
    }
  });
  connect(m_playButton, &QPushButton::clicked, this, &CTonvaleDlg::OnPlay);
  connect(m_abButton, &QPushButton::toggled, this, [this](bool bypass) {
    m_abButton->setText(bypass ? QStringLiteral("EQ off") : QStringLiteral("EQ on"));
    if (m_player != nullptr) {
      m_player->SetBypass(bypass);
    }
  });
  m_painter->setContextMenuPolicy(Qt::CustomContextMenu);
  m_painter->setFocusPolicy(Qt::TabFocus);  // the menu key opens its menu too
  connect(m_painter, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
    QMenu* menu = CreateGraphMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(m_painter->mapToGlobal(at));
  });
  connect(m_ok, &QPushButton::clicked, this, &CTonvaleDlg::accept);
  connect(m_cancel, &QPushButton::clicked, this, &CTonvaleDlg::reject);
  connect(m_convert, &QPushButton::clicked, this, &CTonvaleDlg::OnConvertFile);
  connect(m_rateList, &QComboBox::currentIndexChanged, this, [this] { OnSampleRateChange(); });
}

void CTonvaleDlg::ConnectUndoKeys() {
  // Window-wide: they go before a field's own text undo (see eventFilter).
  auto* undo = new QShortcut(QKeySequence::Undo, this);
  connect(undo, &QShortcut::activated, this, [this] {
    CommitFocusedField();
    m_undo->undo();
  });
  for (const QKeySequence& keys :
       {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)}) {
    auto* redo = new QShortcut(keys, this);
    connect(redo, &QShortcut::activated, this, [this] {
      CommitFocusedField();
      m_undo->redo();
    });
  }
}

void CTonvaleDlg::ConnectRecordingStrip() {
  connect(m_strip, &CRecordingStrip::PositionChosen, this, &CTonvaleDlg::OnStripPosition);
  connect(m_strip, &CRecordingStrip::SelectionChosen, this, &CTonvaleDlg::OnStripSelection);
  connect(m_strip, &CRecordingStrip::SelectionCleared, this, [this] { OnStripSelection(0, 0); });
  connect(m_strip->SelectionSpectrumBox(), &QCheckBox::toggled, this,
          [this] { UpdateSelectionSpectrum(); });
  connect(m_playheadTimer, &QTimer::timeout, this, &CTonvaleDlg::UpdatePlayhead);
}

void CTonvaleDlg::SetTabOrder() {
  std::vector<QWidget*> order = {m_rateList, m_convert, m_preamp, m_ok, m_cancel};
  for (CDlgEQController* editor : m_editors) {
    for (int row = 0; row < 3; ++row) {
      order.push_back(editor->Field(row));
    }
    order.push_back(editor->EnableBox());
  }
  order.push_back(m_painter);
  order.push_back(m_strip);  // skipped while hidden (no recording)
  order.push_back(m_strip->SelectionSpectrumBox());
  for (std::size_t i = 1; i < order.size(); ++i) {
    QWidget::setTabOrder(order[i - 1], order[i]);
  }
}

void CTonvaleDlg::Report(const QString& title, const QString& text, bool failed) {
  if (m_report) {
    m_report(title, text, failed);
  } else {
    ShowReport(this, title, text, failed);
  }
}

CTonvaleDlg::~CTonvaleDlg() {
  // Every job is asked to stop; a read still running stops at its next block or window, and
  // the window waits that long. Nothing reports to the window from here on.
  m_jobs.StopAll();
  // A drag the graph ends as it goes (its hiding) must not reach the half-destroyed window.
  disconnect(m_painter, nullptr, this, nullptr);
  m_playheadTimer->stop();
  StopLiveCheck();
  if (m_sink != nullptr) {
    m_sink->stop();
  }
}

void CTonvaleDlg::InitControls() {
  m_convert->SetIcon(138);
  m_ok->SetIcon(140);
  m_cancel->SetIcon(139);
  for (CButtonST* button : {m_convert, m_ok, m_cancel}) {
    button->SetFlat(0, true);
  }
  AppConfig& config = m_context.config;
  // Without a rate list in the configuration the built-in rates are offered.
  std::vector<std::uint32_t> rates = config.sampleRateList;
  if (rates.empty()) {
    rates.assign(kBuiltInSampleRates.begin(), kBuiltInSampleRates.end());
  }
  const QSignalBlocker blocker(m_rateList);
  m_rateList->clear();
  int selected = -1;
  for (std::size_t i = 0; i < rates.size(); ++i) {
    m_rateList->addItem(QString::number(rates[i]));
    if (static_cast<std::int64_t>(rates[i]) == config.defaultSampleRate) {
      selected = static_cast<int>(i);
    }
  }
  if (selected < 0) {
    config.defaultSampleRate = static_cast<std::int32_t>(rates.front());
    selected = 0;
  }
  m_rateList->setCurrentIndex(selected);
  m_preamp->isFloat = 1;
  m_preamp->allowNegative = 1;
  m_preamp->fieldCode = kFieldPreamp;
  m_preamp->bandIndex = -2;  // no band: reported all the same (-1 reports nothing)
  m_preamp->notifyWnd = this;
  m_preamp->minValue = config.minDbValue;
  m_preamp->maxValue = config.maxDbValue;
  m_preamp->step = config.controlDBStep;
  m_preamp->format = "%.2f";
  m_preamp->SetMaxLength(static_cast<int>(std::min<std::uint32_t>(config.bandEditMaxLen, 32767)));
  m_preamp->SetValue(m_context.bandTable.preampDb);
  const bool settingsMode = m_context.hasAccessSetting;
  m_ok->setVisible(settingsMode);
  m_cancel->setVisible(settingsMode);
  m_convert->setVisible(!settingsMode);
}

void CTonvaleDlg::LayoutWindow() {
  const int hList = m_rateList->height();
  const int hConv = m_convert->height();
  const int y0 = hConv + 2;
  int x = 0;
  int hStrip = 0;
  for (CDlgEQController* editor : m_editors) {
    if (editor == nullptr) {
      continue;
    }
    const int w = editor->width();
    const int h = editor->height();
    editor->setGeometry(x, y0, w, h);
    editor->show();
    x += w;
    hStrip = h + hList;
  }
  const int painterHeight = static_cast<int>(m_context.config.eqPainterHeight);
  // An open recording's time line grows the window by its height, under the graph, and its
  // loudness line by one more row.
  const bool recording = m_strip->isVisibleTo(this);
  const int timeline = recording ? CRecordingStrip::kHeight : 0;
  const int loudnessRow = recording ? kLoudnessRowHeight : 0;
  setFixedSize(x, hStrip + painterHeight + timeline + loudnessRow);
  m_painter->setGeometry(0, hStrip, x, painterHeight);
  m_painter->show();
  m_strip->setGeometry(0, hStrip + painterHeight, x, CRecordingStrip::kHeight);
  m_loudnessLabel->setGeometry(6, hStrip + painterHeight + timeline, x - 12, kLoudnessRowHeight);
  m_loudnessLabel->setVisible(recording);
  m_cancel->move(x - m_cancel->width(), 0);
  m_ok->setGeometry(x - m_cancel->width() - m_ok->width(), 0, m_ok->width(), m_cancel->height());
  // The preamp takes the top row's free space; a window of few bands has none (the graph's
  // menu sets it there).
  const bool room = m_preamp->geometry().right() < m_ok->x();
  m_preampLabel->setVisible(room);
  m_preamp->setVisible(room);
  PlaceRecordingControls();
}

void CTonvaleDlg::OnSampleRateChange() {
  const QString text = m_rateList->currentText();
  if (text.isEmpty()) {
    return;
  }
  AppConfig& config = m_context.config;
  if (const auto rate = platform::ParseUnsigned32(text.toStdString())) {
    config.defaultSampleRate = static_cast<std::int32_t>(*rate);
  }
  for (CDlgEQController* editor : m_editors) {
    editor->UpdateLimits();
  }
  EqGraphParams& p = m_context.graphParams;
  p.sampleRate = static_cast<double>(config.defaultSampleRate);
  p.width = static_cast<std::uint32_t>(m_painter->width());
  p.height = static_cast<std::uint32_t>(m_painter->height());
  p.freqAxisMode = 0;
  p.minFreq = config.minFreqValue;
  // Half the rate in whole hertz, as the grid and the editors' limits have always used it.
  p.maxFreq =
      static_cast<double>(config.defaultSampleRate / 2);  // NOLINT(bugprone-integer-division)
  p.topDb = config.maxDbValue;
  p.bottomDb = config.minDbValue;
  m_painter->MarkGridDirty();
  m_painter->update();
  int changed = 0;
  for (std::int32_t i = 0; i < config.bandNum; ++i) {
    (void)SyncBandFromEditor(static_cast<std::uint32_t>(i), &changed);
  }
  RefreshCurve();
}

void CTonvaleDlg::RefreshCurve() {
  ++m_curveRefreshes;
  std::vector<std::int32_t> curve;
  std::vector<BandMarker> markers;
  std::vector<std::vector<std::int32_t>> bandCurves;
  std::vector<std::uint32_t> curveBands;
  m_context.calculator.ComputeResponse(m_context.graphParams, m_context.bandTable, curve, markers,
                                       &bandCurves, &curveBands);
  m_painter->SetCurve(curve);
  m_painter->SetMarkers(markers);
  m_painter->SetBandCurves(std::move(bandCurves));
  m_painter->SetCurveBands(std::move(curveBands));
  std::vector<BandHandle> handles = BandHandles(m_context.graphParams, m_context.bandTable);
  std::vector<QString> names;
  names.reserve(handles.size());
  for (const BandHandle& handle : handles) {
    names.push_back(QString::fromStdString(DescribeBand(m_context.bandTable[handle.band])));
  }
  m_painter->SetHandles(std::move(handles), std::move(names));
  if (m_player != nullptr) {
    m_player->SetBands(m_context.bandTable);  // heard from the next block
  }
  if (!m_recordingPath.empty() && m_context.bandTable != m_loudnessBands) {
    // Measured again once the edits pause; what is shown until then is no longer true.
    m_equalizedLoudness.reset();
    ShowLoudness();
    m_loudnessTimer->start();
  }
  m_painter->SetResponseDb(m_context.calculator.ResponseDb());
  if (m_hasSpectrum) {
    // 1:1 on the dB axis, the spectrum's maximum on the top line; after the EQ, the response
    // added (no new transform).
    const EqGraphParams& p = m_context.graphParams;
    const std::vector<double>& response = m_context.calculator.ResponseDb();
    const double h = static_cast<double>(p.height);
    auto toRow = [&p, h](double db) {
      const double y = ((p.topDb - db) * h) / (p.topDb - p.bottomDb);
      return static_cast<std::int32_t>(std::clamp(y, -1.0e6, 1.0e6));
    };
    std::vector<std::int32_t> before(response.size());
    std::vector<std::int32_t> after(response.size());
    for (std::size_t x = 0; x < response.size(); ++x) {
      const double db =
          SpectrumDbAt(m_spectrum, XToFreq(p, static_cast<double>(x))) - m_spectrum.maxDb + p.topDb;
      before[x] = toRow(db);
      after[x] = toRow(db + response[x]);
    }
    m_painter->SetSpectrum(std::move(before), std::move(after));
  }
  m_painter->update();
}

void CTonvaleDlg::customEvent(QEvent* event) {
  if (event->type() == BandChangedEvent::kType) {
    const auto* changed = static_cast<BandChangedEvent*>(event);
    OnBandChanged(changed->FieldCode(), changed->BandIndex());
  } else if (event->type() == BandTypeEvent::kType) {
    const auto* chosen = static_cast<BandTypeEvent*>(event);
    OnBandType(chosen->BandIndex(), chosen->Type());
  } else if (event->type() == LiveStatusEvent::kType) {
    OnLiveStatus(static_cast<LiveStatusEvent*>(event)->Value());
  } else {
    QDialog::customEvent(event);
  }
}

void CTonvaleDlg::accept() {
  // A value typed into a field and not yet committed is taken before the window closes.
  CommitFocusedField();
  if (m_context.hasAccessSetting && m_context.saveOnOk && !m_context.saveOnOk()) {
    Report(QStringLiteral("Save settings"),
           QStringLiteral("The bands could not be saved to the settings file. Check that its "
                          "folder exists and that the file can be written, or press Cancel to "
                          "close without saving."),
           true);
    return;
  }
  QDialog::accept();
}
