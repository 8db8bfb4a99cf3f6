#pragma once

#include <QIODevice>
#include <atomic>
#include <cstddef>
#include <vector>

#include "eq/EqBand.h"
#include "eq/PlaybackRenderer.h"
#include "eq/RecordingReader.h"

/// A recording played through the band table: the device an audio sink pulls from. Each block
/// is rendered in the recording's own encoding (PlaybackRenderer: the conversion's bits) and
/// handed out as 32-bit floats; at the end the recording starts over from silence.
class RecordingPlayer final : public QIODevice {
  Q_OBJECT

 public:
  RecordingPlayer(RecordingPcm pcm, QObject* parent = nullptr);

  const RecordingPcm& Pcm() const { return m_pcm; }
  /// A band edit: heard from the next block on.
  void SetBands(const EqBandTable& table) { m_renderer.SetBands(table); }
  /// A/B: true plays the recording as it is.
  void SetBypass(bool bypass) { m_renderer.SetBypass(bypass); }
  /// Loops frames [first, end) from now on (end 0 or beyond the recording: to its end); a
  /// position outside them starts over at `first`. Each round starts from silence, so what
  /// plays is what a conversion of the selection alone writes.
  void SetLoop(std::size_t first, std::size_t end);
  std::size_t LoopFirst() const { return m_loopFirst; }
  std::size_t LoopEnd() const { return m_loopEnd; }
  /// Plays on from `frame` (held within the loop), from silence, as a loop's round starts.
  void SetPosition(std::size_t frame);
  /// The next frame to be played, as of the last block handed out (read from any thread).
  std::size_t Position() const { return m_played.load(std::memory_order_relaxed); }
  /// The next `frames` frames as floats (what readData hands out).
  std::vector<float> Next(std::size_t frames);

  bool isSequential() const override { return true; }
  qint64 bytesAvailable() const override;

 protected:
  qint64 readData(char* data, qint64 maxSize) override;
  qint64 writeData(const char* /*data*/, qint64 /*maxSize*/) override { return -1; }

 private:
  RecordingPcm m_pcm;
  PlaybackRenderer m_renderer;
  std::size_t m_position = 0;  // the next frame
  std::size_t m_loopFirst = 0;
  std::size_t m_loopEnd = 0;  // one past the loop's last frame
  std::vector<std::uint8_t> m_block;
  std::atomic<std::size_t> m_played{0};  // m_position after the last block, for the playhead
};
