// The main window's recording: where its controls sit, opening it for its spectrum (on a worker
// thread), and listening to it through the bands.
#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFontMetrics>
#include <QFormLayout>
#include <QLabel>
#include <QLocale>
#include <QMediaDevices>
#include <QMimeData>
#include <QPushButton>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <stop_token>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "analysis/LongTermPower.h"
#include "analysis/RecordingReader.h"
#include "platform/text/NumberText.h"
#include "ui/ButtonST.h"
#include "ui/DialogUnits.h"
#include "ui/DlgEQPainter.h"
#include "ui/RecordingPlayer.h"
#include "ui/RecordingStrip.h"
#include "ui/TonvaleDlg.h"

void CTonvaleDlg::PlaceRecordingControls() {
  // The recording's controls take the top row's free space, in order; the first that does not
  // fit and those after it sit in a strip over the graph's top-right corner instead, so that a
  // window of few bands keeps its size.
  const DialogUnits du(font());
  const QFontMetrics metrics(font());
  auto buttonWidth = [&metrics](std::initializer_list<const char*> captions) {
    int widest = 0;
    for (const char* caption : captions) {
      widest = std::max(widest, metrics.horizontalAdvance(QString::fromLatin1(caption)));
    }
    return widest + 16;
  };
  struct Control {
    QPushButton* button;
    int width;
  };
  const Control controls[] = {
      {m_openRecording, du.X(64)},
      {m_playButton,
       std::max(du.X(34), buttonWidth({"Play", "Stop", "No audio device", "Rate not playable"}))},
      {m_abButton, std::max(du.X(34), buttonWidth({"EQ on", "EQ off"}))},
  };
  int x = du.X(283);
  std::size_t inRow = 0;
  for (const Control& control : controls) {
    if (x + control.width > m_ok->x()) {
      break;
    }
    control.button->setParent(this);
    control.button->setGeometry(x, du.Y(1), control.width, du.Y(14));
    control.button->show();
    x += control.width + du.X(4);
    ++inRow;
  }
  constexpr int kStripMargin = 4;
  constexpr int kStripHeight = 22;
  // In the strip, Open Recording goes by a shorter caption (its tooltip says the rest).
  m_openRecording->setText(inRow == 0 ? QStringLiteral("Open...")
                                      : QStringLiteral("Open Recording..."));
  auto stripWidth = [&](std::size_t i, bool narrow) {
    return i == 0             ? buttonWidth({"Open..."})
           : i == 1 && narrow ? buttonWidth({"Play", "Stop"})
                              : controls[i].width;
  };
  int wanted = kStripMargin;
  for (std::size_t i = inRow; i < std::size(controls); ++i) {
    wanted += stripWidth(i, false) + kStripMargin;
  }
  // A graph too narrow for the whole strip gets a Play button sized for Play and Stop.
  const bool narrow = wanted > m_painter->width();
  int right = m_painter->width() - kStripMargin;
  for (std::size_t i = std::size(controls); i-- > inRow;) {
    const Control& control = controls[i];
    const int width = stripWidth(i, narrow);
    control.button->setParent(m_painter);
    control.button->setGeometry(right - width, kStripMargin, width, kStripHeight);
    control.button->show();
    right -= width + kStripMargin;
  }
  m_painter->SetReadoutTop(inRow < std::size(controls) ? kStripMargin + kStripHeight + 2 : 2);
}

void CTonvaleDlg::OpenRecording(const QString& path) {
  // The reading and the transform run beside the window; a read still running is asked to stop
  // and left to end on its own: the window never waits for a read. The result comes back as a
  // queued call, which Qt drops if the window has gone by then. A stopped read sends nothing,
  // and the result of a read that a later one has replaced is not shown.
  const std::string file = path.toStdString();
  m_jobs.Start(kRecordingJob, [this, path, file](const std::stop_token& stop, unsigned serial) {
    std::string error;
    LongTermPower spectrum;
    std::shared_ptr<RecordingPcm> pcm;
    if (auto read = ReadRecordingPcm(file, 600.0, error, stop)) {
      pcm = std::make_shared<RecordingPcm>(std::move(*read));
      spectrum = WelchSpectrum(MonoFloats(*pcm), pcm->sampleRate, stop);
    }
    if (stop.stop_requested()) {
      return;
    }
    const bool ok = pcm != nullptr;
    QMetaObject::invokeMethod(
        this,
        [this, serial, path, ok, spectrum, pcm, error] {
          m_jobs.JoinEnded();
          if (m_jobs.IsLatest(kRecordingJob, serial)) {
            OnSpectrumReady(path, ok, spectrum, pcm, QString::fromStdString(error));
          }
        },
        Qt::QueuedConnection);
  });
}

void CTonvaleDlg::OnSpectrumReady(const QString& path, bool ok, const LongTermPower& spectrum,
                                  const std::shared_ptr<RecordingPcm>& pcm, const QString& error) {
  if (!ok) {
    Report(QStringLiteral("Open Recording"),
           QStringLiteral("The recording cannot be read (") + path + QStringLiteral("): ") + error,
           true);
    return;
  }
  m_spectrum = spectrum;
  m_fullSpectrum = spectrum;
  m_hasSpectrum = true;
  ++m_spectrumAnalyses;
  if (m_sink != nullptr) {
    m_sink->stop();
  }
  ShowTimeline(path.toStdString(), *pcm);
  delete m_player;
  m_player = new RecordingPlayer(std::move(*pcm), this);
  m_player->SetBands(m_context.bandTable);
  m_player->SetBypass(m_abButton->isChecked());
  m_playButton->setText(QStringLiteral("Play"));
  m_playButton->setToolTip(QStringLiteral("Play the whole recording in a loop"));
  for (QPushButton* button : {m_playButton, m_abButton}) {
    button->setEnabled(true);
  }
  // The graph and the limits for the file the user will convert: its own rate.
  const QString rate = QString::number(static_cast<qint64>(spectrum.sampleRate));
  int index = m_rateList->findText(rate);
  if (index < 0) {
    m_rateList->addItem(rate);
    index = m_rateList->count() - 1;
  }
  if (index != m_rateList->currentIndex()) {
    m_rateList->setCurrentIndex(index);  // redraws through OnSampleRateChange
  } else {
    RefreshCurve();
  }
}

void CTonvaleDlg::OnPlay() {
  if (m_player == nullptr) {
    return;
  }
  if (m_sink != nullptr && m_sink->state() == QAudio::ActiveState) {
    m_sink->stop();
    m_playButton->setText(QStringLiteral("Play"));
    return;
  }
  const QAudioDevice device = QMediaDevices::defaultAudioOutput();
  QAudioFormat format;
  format.setSampleRate(static_cast<int>(m_player->Pcm().sampleRate));
  format.setChannelCount(m_player->Pcm().channels);
  format.setSampleFormat(QAudioFormat::Float);
  if (device.isNull() || !device.isFormatSupported(format)) {
    // The rest of the window works on; only listening is not possible here.
    m_playButton->setText(device.isNull() ? QStringLiteral("No audio device")
                                          : QStringLiteral("Rate not playable"));
    m_playButton->setEnabled(false);
    return;
  }
  delete m_sink;
  m_sink = new QAudioSink(device, format, this);
  // About 50 ms in the device: a band edit is heard within 100 ms.
  m_sink->setBufferSize(static_cast<qsizetype>(format.bytesForDuration(50000)));
  if (!m_player->isOpen()) {
    m_player->open(QIODevice::ReadOnly);
  }
  m_sink->start(m_player);
  m_playButton->setText(QStringLiteral("Stop"));
}

bool CTonvaleDlg::SetLoop(double fromSeconds, double toSeconds) {
  if (m_player == nullptr) {
    return false;
  }
  const double rate = m_player->Pcm().sampleRate;
  const double frames = static_cast<double>(m_strip->Frames());
  auto frame = [rate, frames](double seconds) {
    return static_cast<std::uint64_t>(std::clamp(std::round(seconds * rate), 0.0, frames));
  };
  OnStripSelection(frame(fromSeconds), frame(toSeconds));
  return true;
}

void CTonvaleDlg::ChooseLoop() {
  if (m_player == nullptr) {
    return;
  }
  const double rate = m_player->Pcm().sampleRate;
  const double length = static_cast<double>(m_strip->Frames()) / rate;
  QDialog ask(this);
  ask.setWindowTitle(QStringLiteral("Loop selection"));
  auto* form = new QFormLayout(&ask);
  auto field = [&ask, length](double value) {
    auto* box = new QDoubleSpinBox(&ask);
    box->setRange(0.0, length);
    box->setDecimals(2);
    box->setSingleStep(0.5);
    box->setSuffix(QStringLiteral(" s"));
    box->setLocale(QLocale::c());  // seconds read and shown alike everywhere
    box->setValue(value);
    return box;
  };
  const bool whole = m_selEnd <= m_selFirst;
  QDoubleSpinBox* from = field(whole ? 0.0 : static_cast<double>(m_selFirst) / rate);
  QDoubleSpinBox* to = field(whole ? length : static_cast<double>(m_selEnd) / rate);
  form->addRow(QStringLiteral("From:"), from);
  form->addRow(QStringLiteral("To:"), to);
  auto* buttons = new QDialogButtonBox(
      QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::RestoreDefaults, &ask);
  buttons->button(QDialogButtonBox::RestoreDefaults)->setText(QStringLiteral("Whole Recording"));
  connect(buttons->button(QDialogButtonBox::RestoreDefaults), &QPushButton::clicked, &ask,
          [from, to, length] {
            from->setValue(0.0);
            to->setValue(length);
          });
  connect(buttons, &QDialogButtonBox::accepted, &ask, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, &ask, &QDialog::reject);
  form->addRow(buttons);
  if (ask.exec() == QDialog::Accepted) {
    SetLoop(from->value(), to->value());
  }
}

void CTonvaleDlg::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls() && event->mimeData()->urls().front().isLocalFile()) {
    event->acceptProposedAction();
  }
}

void CTonvaleDlg::dropEvent(QDropEvent* event) {
  const QList<QUrl> urls = event->mimeData()->urls();
  if (!urls.isEmpty() && urls.front().isLocalFile()) {
    OpenRecording(urls.front().toLocalFile());
    event->acceptProposedAction();
  }
}

void CTonvaleDlg::MeasureLoudness() {
  if (m_recordingPath.empty()) {
    return;
  }
  // The whole recording through the bands as they are now (and as it is, until that is
  // known), beside the window; a measurement still running is given up unseen.
  const bool withSource = !m_sourceLoudness.has_value();
  const std::string path = m_recordingPath;
  const EqBandTable bands = m_context.bandTable;
  m_loudnessTimer->stop();
  m_loudnessBands = bands;
  m_equalizedLoudness.reset();
  m_loudnessError.clear();
  ShowLoudness();
  m_jobs.Start(kLoudnessJob,
               [this, path, withSource, bands](const std::stop_token& stop, unsigned serial) {
                 std::string error;
                 const std::optional<RecordingLoudness> measured =
                     MeasureRecordingLoudness(path, withSource, &bands, stop, error);
                 if (stop.stop_requested()) {
                   return;
                 }
                 QMetaObject::invokeMethod(
                     this,
                     [this, serial, measured, error] {
                       m_jobs.JoinEnded();
                       if (!m_jobs.IsLatest(kLoudnessJob, serial)) {
                         return;
                       }
                       if (measured) {
                         if (measured->source) {
                           m_sourceLoudness = measured->source;
                         }
                         m_equalizedLoudness = measured->equalized;
                       } else {
                         m_loudnessError = QString::fromStdString(error);
                       }
                       ++m_loudnessMeasurements;
                       ShowLoudness();
                     },
                     Qt::QueuedConnection);
               });
}

namespace {

// "-23.4 LUFS, true peak -3.1 dBTP"; below the gate and for silence in words.
QString LevelText(const LoudnessLevel& level) {
  const auto db = [](double value) {
    return QString::fromStdString(platform::FormatFixed(value, 1));
  };
  const QString loudness = level.integratedLufs
                               ? db(*level.integratedLufs) + QStringLiteral(" LUFS")
                               : QStringLiteral("below the gate");
  return loudness + QStringLiteral(", true peak ") +
         (level.truePeakDbtp ? db(*level.truePeakDbtp) + QStringLiteral(" dBTP")
                             : QStringLiteral("none (silent)"));
}

}  // namespace

void CTonvaleDlg::ShowLoudness() {
  if (!m_loudnessError.isEmpty()) {
    m_loudnessLabel->setText(QStringLiteral("Loudness not measured: ") + m_loudnessError);
    return;
  }
  const QString measuring = QStringLiteral("measuring...");
  m_loudnessLabel->setText(QStringLiteral("Loudness: ") +
                           (m_sourceLoudness ? LevelText(*m_sourceLoudness) : measuring) +
                           QStringLiteral("   After the EQ: ") +
                           (m_equalizedLoudness ? LevelText(*m_equalizedLoudness) : measuring));
}
