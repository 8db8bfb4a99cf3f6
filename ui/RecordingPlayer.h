#pragma once

#include <QIODevice>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "analysis/PlaybackRenderer.h"
#include "analysis/RecordingReader.h"
#include "eq/band/EqBand.h"

/// A recording played through the band table: the device an audio sink pulls from. Each block
/// is rendered in the recording's own encoding (PlaybackRenderer: the conversion's bits) and
/// handed out as 32-bit floats; at the end the recording starts over from silence.
///
/// The setters run on the window's thread, the blocks may be pulled on the audio system's own
/// thread. The two share no lock: a setter prepares the whole setup (designed chains, loop and
/// a seek) and hands it over through an atomic pointer; the audio thread takes it up at the
/// start of its next block and hands back the setup it replaced the same way, for the window's
/// thread to free. Pulling a block neither locks, allocates nor frees.
class RecordingPlayer final : public QIODevice {
  Q_OBJECT

 public:
  RecordingPlayer(RecordingPcm pcm, QObject* parent = nullptr);
  ~RecordingPlayer() override;

  const RecordingPcm& Pcm() const { return m_pcm; }
  /// A band edit: heard from the next block on.
  void SetBands(const EqBandTable& table);
  /// A/B: true plays the recording as it is.
  void SetBypass(bool bypass) { m_bypass.store(bypass, std::memory_order_relaxed); }
  /// Loops frames [first, end) from the next block on (end 0 or beyond the recording: to its
  /// end); a position outside them starts over at `first`. Each round starts from silence, so
  /// what plays is what a conversion of the selection alone writes.
  void SetLoop(std::size_t first, std::size_t end);
  /// The loop last set.
  std::size_t LoopFirst() const { return m_loopFirst; }
  std::size_t LoopEnd() const { return m_loopEnd; }
  /// Plays on from `frame` (held within the loop) from the next block on, from silence, as a
  /// loop's round starts.
  void SetPosition(std::size_t frame);
  /// The next frame to be played: as of the last block handed out, or where a seek or loop the
  /// audio thread has not yet taken up will place it (window's thread).
  std::size_t Position() const;
  /// The next `frames` frames as floats (what readData hands out).
  std::vector<float> Next(std::size_t frames);

  bool isSequential() const override { return true; }
  qint64 bytesAvailable() const override;

 protected:
  qint64 readData(char* data, qint64 maxSize) override;
  qint64 writeData(const char* /*data*/, qint64 /*maxSize*/) override { return -1; }

 private:
  // What the audio thread plays by, handed over whole. Each setup carries the last seek asked
  // for, numbered: the audio thread carries out a seek once, whichever setup brings it first,
  // so that a setup replaced before the audio thread saw it loses no seek.
  struct Setup {
    PlaybackRenderer::Bands bands;
    std::size_t loopFirst = 0;
    std::size_t loopEnd = 0;
    std::size_t seekFrame = 0;
    unsigned seeks = 0;     // the seeks asked for up to this setup
    Setup* next = nullptr;  // in the list of setups handed back
  };

  // Frees the setups of a list linked through `next` (window's thread).
  static void Free(Setup* list);
  // Hands a setup of the bands, loop and seek last set to the audio thread, and frees the
  // setups it has handed back (window's thread).
  void Publish();
  // Takes up a setup handed over since the last block (audio thread).
  void TakeUp();
  // Writes the next `frames` frames as floats at `out` (audio thread).
  void Fill(unsigned char* out, std::size_t frames);

  RecordingPcm m_pcm;
  // The window's thread's side.
  EqBandTable m_table;
  std::size_t m_loopFirst = 0;
  std::size_t m_loopEnd = 0;    // one past the loop's last frame
  std::size_t m_seekFrame = 0;  // the play position last asked for
  unsigned m_seeks = 0;         // how many have been asked for
  // The hand-over.
  std::atomic<Setup*> m_pending{nullptr};   // the setup last published, not yet taken up
  std::atomic<Setup*> m_returned{nullptr};  // setups replaced on the audio thread, to be freed
  std::atomic<bool> m_bypass{false};
  std::atomic<std::size_t> m_played{0};   // m_position after the last block, for the playhead
  std::atomic<unsigned> m_seeksHeard{0};  // the seeks the audio thread has carried out
  // The audio thread's side.
  PlaybackRenderer m_renderer;
  std::size_t m_position = 0;  // the next frame
  std::size_t m_playFirst = 0;
  std::size_t m_playEnd = 0;
  std::vector<std::uint8_t> m_block;  // one chunk of frames, sized once
};
