// The main window's recording: opening it for its spectrum (on a worker thread), and listening
// to it through the bands.
#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMediaDevices>
#include <QMimeData>
#include <QPushButton>
#include <QUrl>
#include <memory>
#include <string>
#include <utility>

#include "eq/LongTermSpectrum.h"
#include "eq/RecordingReader.h"
#include "ui/RecordingPlayer.h"
#include "ui/TonvaleDlg.h"

void CTonvaleDlg::OpenRecording(const QString& path) {
  if (m_spectrumThread.joinable()) {
    m_spectrumThread.join();
  }
  // The reading and the transform run beside the window; the result comes back as a queued
  // call, which Qt drops if the window has gone by then.
  const std::string file = path.toStdString();
  m_spectrumThread = std::thread([this, path, file] {
    std::string error;
    LongTermSpectrum spectrum;
    std::shared_ptr<RecordingPcm> pcm;
    if (auto read = ReadRecordingPcm(file, 600.0, error)) {
      pcm = std::make_shared<RecordingPcm>(std::move(*read));
      spectrum = WelchSpectrum(MonoFloats(*pcm), pcm->sampleRate);
    }
    const bool ok = pcm != nullptr;
    QMetaObject::invokeMethod(
        this,
        [this, path, ok, spectrum, pcm, error] {
          OnSpectrumReady(path, ok, spectrum, pcm, QString::fromStdString(error));
        },
        Qt::QueuedConnection);
  });
}

void CTonvaleDlg::OnSpectrumReady(const QString& path, bool ok, const LongTermSpectrum& spectrum,
                                  const std::shared_ptr<RecordingPcm>& pcm, const QString& error) {
  if (!ok) {
    Report(QStringLiteral("Open Recording"),
           QStringLiteral("The recording cannot be read (") + path + QStringLiteral("): ") + error,
           true);
    return;
  }
  m_spectrum = spectrum;
  m_hasSpectrum = true;
  if (m_sink != nullptr) {
    m_sink->stop();
  }
  delete m_player;
  m_player = new RecordingPlayer(std::move(*pcm), this);
  m_player->SetBands(m_context.bandTable);
  m_player->SetBypass(m_abButton->isChecked());
  m_playButton->setText(QStringLiteral("Play"));
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
