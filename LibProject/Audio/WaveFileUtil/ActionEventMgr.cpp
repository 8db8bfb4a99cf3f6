#include "LibProject/Audio/WaveFileUtil/ActionEventMgr.h"

#include <algorithm>
#include <cmath>

namespace {

std::uint32_t TruncToU32(double value) {
  if (!(value > 0.0)) {
    return 0;
  }
  return value >= 4294967295.0 ? 0xFFFFFFFFU : static_cast<std::uint32_t>(std::trunc(value));
}

}  // namespace

std::uint32_t C_ActionEvent::GetSamplePosition() const {
  if (positionStored == 1) {
    return samplePosition;
  }
  return TruncToU32(static_cast<double>(timeMs) * static_cast<double>(sampleRate) / 1000.0);
}

std::uint32_t C_ActionEvent::GetTimeMs() const {
  if (positionStored != 1) {
    return timeMs;
  }
  if (sampleRate == 0) {
    return 0;
  }
  return TruncToU32(static_cast<double>(samplePosition) * 1000.0 / static_cast<double>(sampleRate));
}

void C_ActionEventMgr::AddEventAtSample(std::int32_t firstValue, std::uint32_t samplePosition,
                                        std::string name, std::int32_t secondValue) {
  C_ActionEvent event;
  event.itemId = m_nextItemId++;
  event.firstValue = firstValue;
  event.samplePosition = samplePosition;
  event.name = std::move(name);
  event.secondValue = secondValue;
  event.sampleRate = m_sampleRate;
  event.positionStored = 1;
  if (m_events.empty() || samplePosition >= m_events.back().GetSamplePosition()) {
    m_events.push_back(std::move(event));
    return;
  }
  const auto place = std::lower_bound(
      m_events.begin(), m_events.end(), samplePosition,
      [](const C_ActionEvent& e, std::uint32_t position) { return e.GetSamplePosition() < position; });
  m_events.insert(place, std::move(event));
}

void C_ActionEventMgr::AddSilenceRegion(std::uint32_t start, std::uint32_t length) {
  C_ActionSilenceRegion region;
  region.itemId = m_nextItemId++;
  region.start = start;
  region.length = length;
  if (m_silence.empty() || start >= m_silence.back().start) {
    m_silence.push_back(region);
    return;
  }
  const auto place = std::upper_bound(
      m_silence.begin(), m_silence.end(), start,
      [](std::uint32_t s, const C_ActionSilenceRegion& r) { return s < r.start; });
  m_silence.insert(place, region);
}

void C_ActionEventMgr::SetSampleRate(std::uint32_t rate) {
  if (rate == m_sampleRate) {
    return;
  }
  m_sampleRate = rate;
  for (C_ActionEvent& event : m_events) {
    event.sampleRate = rate;
  }
}

void C_ActionEventMgr::Clear() {
  m_events.clear();
  m_secondEvents.clear();
  m_silence.clear();
}
