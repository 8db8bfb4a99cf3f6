#include "ui/RecordingPlayer.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>
#include <utility>

namespace {

// Frames rendered at a time: the block buffer's size, made once.
constexpr std::size_t kChunkFrames = 4096;

}  // namespace

void RecordingPlayer::Free(Setup* list) {
  while (list != nullptr) {
    const std::unique_ptr<Setup> setup(list);
    list = setup->next;
  }
}

RecordingPlayer::RecordingPlayer(RecordingPcm pcm, QObject* parent)
    : QIODevice(parent),
      m_pcm(std::move(pcm)),
      m_loopEnd(m_pcm.Frames()),
      m_renderer(m_pcm.format, m_pcm.channels, m_pcm.sampleRate),
      m_playEnd(m_pcm.Frames()),
      m_block(kChunkFrames * m_pcm.FrameBytes()) {}

RecordingPlayer::~RecordingPlayer() {
  // The audio sink has stopped pulling by now.
  Free(m_pending.exchange(nullptr));
  Free(m_returned.exchange(nullptr));
}

void RecordingPlayer::SetBands(const EqBandTable& table) {
  m_table = table;
  Publish();
}

void RecordingPlayer::SetLoop(std::size_t first, std::size_t end) {
  const std::size_t total = m_pcm.Frames();
  m_loopEnd = end == 0 || end > total ? total : end;
  m_loopFirst = std::min(first, m_loopEnd);
  if (m_loopFirst == m_loopEnd) {
    m_loopFirst = 0;  // an empty selection plays the whole recording
    m_loopEnd = total;
  }
  Publish();
}

void RecordingPlayer::SetPosition(std::size_t frame) {
  m_seekFrame = frame < m_loopFirst || frame >= m_loopEnd ? m_loopFirst : frame;
  ++m_seeks;
  Publish();
}

std::size_t RecordingPlayer::Position() const {
  if (m_seeksHeard.load(std::memory_order_acquire) != m_seeks) {
    return m_seekFrame;  // the audio thread has not yet taken it up
  }
  // Loaded after the seeks heard: at least the position the last seek placed.
  const std::size_t played = m_played.load(std::memory_order_relaxed);
  // Outside the loop last set (not yet taken up, or at the end of a round): the loop's start
  // plays next.
  return played < m_loopFirst || played >= m_loopEnd ? m_loopFirst : played;
}

void RecordingPlayer::Publish() {
  auto setup = std::make_unique<Setup>(Setup{.bands = m_renderer.Prepare(m_table),
                                             .loopFirst = m_loopFirst,
                                             .loopEnd = m_loopEnd,
                                             .seekFrame = m_seekFrame,
                                             .seeks = m_seeks,
                                             .next = nullptr});
  // A setup still pending was never seen by the audio thread: this one replaces it.
  Free(m_pending.exchange(setup.release(), std::memory_order_acq_rel));
  Free(m_returned.exchange(nullptr, std::memory_order_acquire));
}

void RecordingPlayer::TakeUp() {
  Setup* setup = m_pending.exchange(nullptr, std::memory_order_acq_rel);
  if (setup == nullptr) {
    return;
  }
  m_renderer.Adopt(setup->bands);  // the setup now holds the chains replaced
  m_playFirst = setup->loopFirst;
  m_playEnd = setup->loopEnd;
  if (setup->seeks != m_seeksHeard.load(std::memory_order_relaxed)) {
    m_position = setup->seekFrame;  // a seek not yet carried out
    m_renderer.Reset();
  }
  if (m_position < m_playFirst || m_position >= m_playEnd) {
    m_position = m_playFirst;
    m_renderer.Reset();
  }
  m_played.store(m_position, std::memory_order_relaxed);
  m_seeksHeard.store(setup->seeks, std::memory_order_release);  // after m_played: see Position
  // Handed back for the window's thread to free: pushed on a list it takes whole.
  setup->next = m_returned.load(std::memory_order_relaxed);
  while (!m_returned.compare_exchange_weak(setup->next, setup, std::memory_order_release,
                                           std::memory_order_relaxed)) {
  }
}

void RecordingPlayer::Fill(unsigned char* out, std::size_t frames) {
  TakeUp();
  m_renderer.SetBypass(m_bypass.load(std::memory_order_relaxed));
  const std::size_t channels = std::max<std::size_t>(m_pcm.channels, 1);
  if (m_playEnd == 0) {
    std::memset(out, 0, frames * channels * sizeof(float));
    return;
  }
  const std::size_t frameBytes = m_pcm.FrameBytes();
  const std::size_t sampleBytes = SampleBytes(m_pcm.format.encoding);
  while (frames > 0) {
    if (m_position >= m_playEnd) {
      m_position = m_playFirst;  // the loop starts over, from silence
      m_renderer.Reset();
    }
    const std::size_t n = std::min({frames, m_playEnd - m_position, kChunkFrames});
    std::memcpy(m_block.data(), m_pcm.bytes.data() + m_position * frameBytes, n * frameBytes);
    m_renderer.Render(m_block.data(), n);
    for (std::size_t i = 0; i < n * channels; ++i) {
      const float value = SampleAsFloat(m_pcm.format.encoding, m_block.data() + i * sampleBytes);
      std::memcpy(out, &value, sizeof value);
      out += sizeof value;
    }
    m_position += n;
    frames -= n;
  }
  m_played.store(m_position, std::memory_order_relaxed);
}

std::vector<float> RecordingPlayer::Next(std::size_t frames) {
  std::vector<float> out(frames * std::max<std::size_t>(m_pcm.channels, 1));
  Fill(reinterpret_cast<unsigned char*>(out.data()), frames);
  return out;
}

qint64 RecordingPlayer::bytesAvailable() const {
  return std::numeric_limits<int>::max() + QIODevice::bytesAvailable();  // it loops
}

qint64 RecordingPlayer::readData(char* data, qint64 maxSize) {
  const std::size_t frameBytes = sizeof(float) * std::max<std::size_t>(m_pcm.channels, 1);
  const std::size_t frames = static_cast<std::size_t>(maxSize) / frameBytes;
  Fill(reinterpret_cast<unsigned char*>(data), frames);
  const std::size_t bytes = frames * frameBytes;
  return static_cast<qint64>(bytes);
}
