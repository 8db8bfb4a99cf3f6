#include "LibProject/Audio/WaveFileUtil/ActionEventMgr.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>

namespace {

std::uint32_t TruncToU32(double value) {
  if (!(value > 0.0)) {
    return 0;
  }
  return value >= 4294967295.0 ? 0xFFFFFFFFU : static_cast<std::uint32_t>(std::trunc(value));
}

// Parses a label made only of "(first,second)" pairs into `pairs`. False for any other text.
bool ParseValuePairs(const std::string& text,
                     std::vector<std::pair<std::int32_t, std::int32_t>>& pairs) {
  std::size_t i = 0;
  auto number = [&](std::int32_t& value) {
    const std::size_t start = i;
    bool negative = false;
    if (i < text.size() && text[i] == '-') {
      negative = true;
      ++i;
    }
    std::int64_t magnitude = 0;
    const std::size_t digits = i;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
      magnitude = magnitude * 10 + (text[i] - '0');
      if (magnitude > 2147483648LL) {
        return false;
      }
      ++i;
    }
    if (i == digits || (!negative && magnitude > 2147483647LL)) {
      i = start;
      return false;
    }
    value = static_cast<std::int32_t>(negative ? -magnitude : magnitude);
    return true;
  };
  pairs.clear();
  while (i < text.size()) {
    std::int32_t first = 0;
    std::int32_t second = 0;
    if (text[i] != '(') return false;
    ++i;
    if (!number(first) || i >= text.size() || text[i] != ',') return false;
    ++i;
    if (!number(second) || i >= text.size() || text[i] != ')') return false;
    ++i;
    pairs.emplace_back(first, second);
  }
  return !pairs.empty();
}

bool IsSilenceLabel(const std::string& text) {
  const auto first = text.find_first_not_of(" \t\n");
  if (first == std::string::npos) {
    return false;
  }
  const auto last = text.find_last_not_of(" \t\n");
  const std::string word = text.substr(first, last - first + 1);
  if (word.size() != 7) {
    return false;
  }
  for (std::size_t i = 0; i < 7; ++i) {
    const char c = (word[i] >= 'a' && word[i] <= 'z') ? static_cast<char>(word[i] - 32) : word[i];
    if (c != "SILENCE"[i]) {
      return false;
    }
  }
  return true;
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
  const auto place = std::lower_bound(m_events.begin(), m_events.end(), samplePosition,
                                      [](const C_ActionEvent& e, std::uint32_t position) {
                                        return e.GetSamplePosition() < position;
                                      });
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
  const auto place =
      std::upper_bound(m_silence.begin(), m_silence.end(), start,
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

void C_ActionEventMgr::RestoreFromLabels(const C_WavDataListInfo& list,
                                         const C_WavDataCueInfo& cues) {
  std::vector<std::pair<std::int32_t, std::int32_t>> pairs;
  for (const C_WavDataListInfo::Label& label : list.Labels()) {
    const C_WavDataCueInfo::C_CuePoint* cue = cues.Find(label.cueId);
    if (cue == nullptr) {
      continue;
    }
    if (ParseValuePairs(label.text, pairs)) {
      for (const auto& [first, second] : pairs) {
        AddEventAtSample(first, cue->position, std::string(), second);
      }
    } else if (IsSilenceLabel(label.text)) {
      AddSilenceRegion(cue->position, list.SampleLengthFor(label.cueId));
    }
  }
}

void C_ActionEventMgr::WriteLabels(C_WavDataListInfo& list, C_WavDataCueInfo& cues) const {
  list.Clear();
  std::uint32_t cueId = 1;
  auto addCue = [&](std::uint32_t position) {
    C_WavDataCueInfo::C_CuePoint point;
    point.id = cueId;
    point.position = position;
    point.sampleOffset = position;
    cues.AddCuePoint(point);
  };
  for (const C_ActionEvent& event : m_events) {
    addCue(event.GetSamplePosition());
    list.AddLabel(cueId, "(" + std::to_string(event.firstValue) + "," +
                             std::to_string(event.secondValue) + ")");
    ++cueId;
  }
  for (const C_ActionSilenceRegion& region : m_silence) {
    addCue(region.start);
    list.AddLabelledText(cueId, region.length);
    list.AddLabel(cueId, "SILENCE");
    ++cueId;
  }
}
