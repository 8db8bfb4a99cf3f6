// The main window's recording in time: the strip under the graph with the envelope of the whole
// recording (read on a worker thread), the play position and the selection that loops, the
// part of a long recording held for listening, and the spectrum of the selection.
#include <QAudioSink>
#include <QCheckBox>
#include <QMetaObject>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <utility>

#include "analysis/LongTermPower.h"
#include "analysis/RecordingEnvelope.h"
#include "analysis/RecordingScan.h"
#include "platform/text/NumberText.h"
#include "ui/RecordingPlayer.h"
#include "ui/RecordingStrip.h"
#include "ui/TonvaleDlg.h"

namespace {

// What listening holds of a recording at a time, seconds: what opening it reads.
constexpr double kHeldSeconds = 600.0;

// How often the envelope is shown while it grows.
constexpr auto kEnvelopeShown = std::chrono::milliseconds(200);

}  // namespace

void CTonvaleDlg::ShowTimeline(const std::string& path, const RecordingPcm& pcm) {
  m_jobs.Stop(kHoldJob);
  m_jobs.Stop(kSelectionSpectrumJob);
  m_recordingPath = path;
  m_sourceLoudness.reset();  // a new recording: measured anew, before and after the bands
  MeasureLoudness();
  m_heldFirst = 0;
  m_selFirst = 0;
  m_selEnd = 0;
  m_playFrom = 0;
  m_strip->SetRecording(static_cast<std::uint64_t>(std::llround(pcm.totalSeconds * pcm.sampleRate)),
                        pcm.sampleRate);
  {
    const QSignalBlocker quiet(m_strip->SelectionSpectrumBox());
    m_strip->SelectionSpectrumBox()->setChecked(false);
  }
  if (!m_strip->isVisibleTo(this)) {
    m_strip->show();
    LayoutWindow();  // the window grows by the strip
  }
  m_playheadTimer->start();
  // The whole recording's envelope, front to back; shown as it grows.
  m_jobs.Start(kEnvelopeJob, [this, path](const std::stop_token& stop, unsigned serial) {
    RecordingEnvelope envelope;
    auto show = [this, serial, &envelope] {
      auto copy = std::make_shared<const RecordingEnvelope>(envelope);
      QMetaObject::invokeMethod(
          this,
          [this, serial, copy] {
            if (m_jobs.IsLatest(kEnvelopeJob, serial)) {
              m_strip->SetEnvelope(copy);
            }
          },
          Qt::QueuedConnection);
    };
    auto shown = std::chrono::steady_clock::now();
    std::string error;
    (void)ScanRecording(
        path, 0, std::numeric_limits<std::uint64_t>::max(),
        [&envelope](const RecordingLayout& layout) {
          envelope = RecordingEnvelope(layout.format, layout.channels, layout.frames);
          return true;
        },
        [&](const std::uint8_t* frames, std::size_t count) {
          envelope.Add(frames, count);
          if (const auto now = std::chrono::steady_clock::now(); now - shown >= kEnvelopeShown) {
            shown = now;
            show();
          }
        },
        stop, error);
    if (!stop.stop_requested()) {
      show();  // also as far as a reading that failed got
    }
  });
}

void CTonvaleDlg::OnStripPosition(std::uint64_t frame) {
  if (m_player == nullptr) {
    return;
  }
  m_selFirst = 0;
  m_selEnd = 0;
  m_playFrom = m_strip->Frames() > 0 ? std::min(frame, m_strip->Frames() - 1) : 0;
  m_strip->SetSelection(0, 0);
  UpdateLoopTip();
  ApplySelection(true);
  UpdateSelectionSpectrum();
}

void CTonvaleDlg::OnStripSelection(std::uint64_t first, std::uint64_t end) {
  if (m_player == nullptr) {
    return;
  }
  end = std::min(end, m_strip->Frames());
  if (first >= end) {
    first = 0;  // nothing selected: the whole recording
    end = 0;
  }
  const bool seek = end > first;
  m_selFirst = first;
  m_selEnd = end;
  if (seek) {
    m_playFrom = first;
  }
  m_strip->SetSelection(first, end);
  UpdateLoopTip();
  ApplySelection(seek);
  UpdateSelectionSpectrum();
}

void CTonvaleDlg::UpdateLoopTip() {
  if (m_player == nullptr) {
    return;
  }
  const double rate = m_player->Pcm().sampleRate;
  m_playButton->setToolTip(
      m_selEnd <= m_selFirst
          ? QStringLiteral("Play the whole recording in a loop")
          : QString::fromStdString(
                "Play " + platform::FormatFixed(static_cast<double>(m_selFirst) / rate, 2) +
                " s to " + platform::FormatFixed(static_cast<double>(m_selEnd) / rate, 2) +
                " s in a loop"));
}

void CTonvaleDlg::ApplySelection(bool seek) {
  if (m_player == nullptr) {
    return;
  }
  const auto held = static_cast<std::uint64_t>(m_player->Pcm().Frames());
  const std::uint64_t heldEnd = m_heldFirst + held;
  if (m_selEnd > m_selFirst) {
    // A selection longer than listening holds loops its first part.
    const auto most = static_cast<std::uint64_t>(kHeldSeconds * m_player->Pcm().sampleRate);
    const std::uint64_t end = std::min(m_selEnd, m_selFirst + most);
    if (m_selFirst < m_heldFirst || end > heldEnd) {
      HoldFrom(m_selFirst);
      return;
    }
    m_player->SetLoop(m_selFirst - m_heldFirst, end - m_heldFirst);
    if (seek) {
      m_player->SetPosition(m_selFirst - m_heldFirst);
    }
  } else {
    if (seek && (m_playFrom < m_heldFirst || m_playFrom >= heldEnd)) {
      HoldFrom(m_playFrom);
      return;
    }
    m_player->SetLoop(0, 0);
    if (seek) {
      m_player->SetPosition(m_playFrom - m_heldFirst);
    }
  }
  UpdatePlayhead();
}

void CTonvaleDlg::HoldFrom(std::uint64_t first) {
  const double rate = m_player->Pcm().sampleRate;
  const auto most = static_cast<std::uint64_t>(kHeldSeconds * rate);
  const std::string path = m_recordingPath;
  m_jobs.Start(kHoldJob, [this, path, first, most](const std::stop_token& stop, unsigned serial) {
    std::string error;
    auto slice = ReadRecordingSlice(path, first, most, stop, error);
    if (stop.stop_requested()) {
      return;
    }
    auto pcm = slice ? std::make_shared<RecordingPcm>(std::move(*slice)) : nullptr;
    QMetaObject::invokeMethod(
        this,
        [this, serial, first, pcm, error, path] {
          if (!m_jobs.IsLatest(kHoldJob, serial) || m_player == nullptr) {
            return;
          }
          if (pcm == nullptr) {
            Report(QStringLiteral("Open Recording"),
                   QStringLiteral("The recording cannot be read (") + QString::fromStdString(path) +
                       QStringLiteral("): ") + QString::fromStdString(error),
                   true);
            return;
          }
          // The new part plays on where the old one stopped, if it was playing.
          const bool playing = m_sink != nullptr && m_sink->state() == QAudio::ActiveState;
          if (m_sink != nullptr) {
            m_sink->stop();
          }
          delete m_player;
          m_player = new RecordingPlayer(std::move(*pcm), this);
          m_player->SetBands(m_context.bandTable);
          m_player->SetBypass(m_abButton->isChecked());
          m_heldFirst = first;
          ApplySelection(true);
          if (playing) {
            m_player->open(QIODevice::ReadOnly);
            m_sink->start(m_player);
          }
        },
        Qt::QueuedConnection);
  });
}

void CTonvaleDlg::UpdateSelectionSpectrum() {
  if (!m_hasSpectrum) {
    return;
  }
  if (!m_strip->SelectionSpectrumBox()->isChecked() || m_selEnd <= m_selFirst) {
    m_jobs.Stop(kSelectionSpectrumJob);
    m_spectrum = m_fullSpectrum;
    RefreshCurve();
    return;
  }
  const std::string path = m_recordingPath;
  const std::uint64_t first = m_selFirst;
  const std::uint64_t end = m_selEnd;
  m_jobs.Start(kSelectionSpectrumJob,
               [this, path, first, end](const std::stop_token& stop, unsigned serial) {
                 std::string error;
                 auto spectrum = SelectionSpectrum(path, first, end, stop, error);
                 if (!spectrum) {
                   return;  // stopped, or the file went: the spectrum shown stays
                 }
                 QMetaObject::invokeMethod(
                     this,
                     [this, serial, selected = std::move(*spectrum)] {
                       if (m_jobs.IsLatest(kSelectionSpectrumJob, serial)) {
                         m_spectrum = selected;
                         ++m_selectionAnalyses;
                         RefreshCurve();
                       }
                     },
                     Qt::QueuedConnection);
               });
}

void CTonvaleDlg::UpdatePlayhead() {
  if (m_player != nullptr) {
    m_strip->SetPlayhead(m_heldFirst + m_player->Position());
  }
}
