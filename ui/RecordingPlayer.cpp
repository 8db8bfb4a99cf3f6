#include "ui/RecordingPlayer.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <utility>

RecordingPlayer::RecordingPlayer(RecordingPcm pcm, QObject* parent)
    : QIODevice(parent),
      m_pcm(std::move(pcm)),
      m_renderer(m_pcm.format, m_pcm.channels, m_pcm.sampleRate),
      m_loopEnd(m_pcm.Frames()) {}

void RecordingPlayer::SetLoop(std::size_t first, std::size_t end) {
  const std::size_t total = m_pcm.Frames();
  m_loopEnd = end == 0 || end > total ? total : end;
  m_loopFirst = std::min(first, m_loopEnd);
  if (m_loopFirst == m_loopEnd) {
    m_loopFirst = 0;  // an empty selection plays the whole recording
    m_loopEnd = total;
  }
  if (m_position < m_loopFirst || m_position >= m_loopEnd) {
    m_position = m_loopFirst;
    m_renderer.Reset();
  }
  m_played.store(m_position, std::memory_order_relaxed);
}

void RecordingPlayer::SetPosition(std::size_t frame) {
  m_position = frame < m_loopFirst || frame >= m_loopEnd ? m_loopFirst : frame;
  m_renderer.Reset();
  m_played.store(m_position, std::memory_order_relaxed);
}

std::vector<float> RecordingPlayer::Next(std::size_t frames) {
  std::vector<float> out;
  if (m_loopEnd == 0) {
    out.assign(frames * std::max<std::size_t>(m_pcm.channels, 1), 0.0F);
    return out;
  }
  out.reserve(frames * m_pcm.channels);
  const std::size_t frameBytes = m_pcm.FrameBytes();
  const std::size_t sampleBytes = SampleBytes(m_pcm.format.encoding);
  while (frames > 0) {
    if (m_position >= m_loopEnd) {
      m_position = m_loopFirst;  // the loop starts over, from silence
      m_renderer.Reset();
    }
    const std::size_t n = std::min(frames, m_loopEnd - m_position);
    m_block.assign(
        m_pcm.bytes.begin() + static_cast<std::ptrdiff_t>(m_position * frameBytes),
        m_pcm.bytes.begin() + static_cast<std::ptrdiff_t>((m_position + n) * frameBytes));
    m_renderer.Render(m_block.data(), n);
    for (std::size_t i = 0; i < n * m_pcm.channels; ++i) {
      out.push_back(SampleAsFloat(m_pcm.format.encoding, m_block.data() + i * sampleBytes));
    }
    m_position += n;
    frames -= n;
  }
  m_played.store(m_position, std::memory_order_relaxed);
  return out;
}

qint64 RecordingPlayer::bytesAvailable() const {
  return std::numeric_limits<int>::max() + QIODevice::bytesAvailable();  // it loops
}

qint64 RecordingPlayer::readData(char* data, qint64 maxSize) {
  const std::size_t frameBytes = sizeof(float) * std::max<std::size_t>(m_pcm.channels, 1);
  const std::size_t frames = static_cast<std::size_t>(maxSize) / frameBytes;
  const std::vector<float> block = Next(frames);
  const std::size_t bytes = block.size() * sizeof(float);
  std::memcpy(data, block.data(), bytes);
  return static_cast<qint64>(bytes);
}
