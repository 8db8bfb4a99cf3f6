#include "LibProject/Audio/WaveFileUtil/ActionEventMgr.h"

#include <algorithm>
#include <cmath>
#include <set>
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

// What a label stands for: action events, a silence region, or nothing of the program's (a label
// of the user's own, or one without a cue point).
enum class LabelKind { Other, Events, Silence };

LabelKind KindOf(const C_WavDataListInfo::C_Label& label, const C_WavDataCueInfo& cues,
                 std::vector<std::pair<std::int32_t, std::int32_t>>& pairs) {
  if (cues.Find(label.cueId) == nullptr) {
    return LabelKind::Other;
  }
  if (ParseValuePairs(label.text, pairs)) {
    return LabelKind::Events;
  }
  return IsSilenceLabel(label.text) ? LabelKind::Silence : LabelKind::Other;
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
  for (const C_WavDataListInfo::C_Label& label : list.Labels()) {
    const C_WavDataCueInfo::C_CuePoint* cue = cues.Find(label.cueId);
    if (cue == nullptr) {
      continue;
    }
    switch (KindOf(label, cues, pairs)) {
      case LabelKind::Events:
        for (const auto& [first, second] : pairs) {
          AddEventAtSample(first, cue->position, std::string(), second);
        }
        break;
      case LabelKind::Silence:
        AddSilenceRegion(cue->position, list.SampleLengthFor(label.cueId));
        break;
      case LabelKind::Other: break;
    }
  }
}

namespace {

// Which of `source` stand for events and silence regions: the labels RestoreFromLabels reads as
// such, and the labelled text a silence label takes its length from when it says no more than
// that length. They are rebuilt; every other sub-chunk is kept as it is.
std::vector<bool> FindRebuiltSubChunks(const std::vector<C_WavDataListInfo::C_SubChunk>& source,
                                       const C_WavDataCueInfo& cues) {
  std::vector<bool> rebuilt(source.size(), false);
  std::set<std::uint32_t> silenceIds;
  std::vector<std::pair<std::int32_t, std::int32_t>> pairs;
  for (std::size_t i = 0; i < source.size(); ++i) {
    C_WavDataListInfo::C_Label label;
    if (C_WavDataListInfo::ParseLabel(source[i], label)) {
      const LabelKind kind = KindOf(label, cues, pairs);
      rebuilt[i] = kind != LabelKind::Other;
      if (kind == LabelKind::Silence) {
        silenceIds.insert(label.cueId);
      }
    }
  }
  std::set<std::uint32_t> textSeen;
  for (std::size_t i = 0; i < source.size(); ++i) {
    C_WavDataListInfo::C_LabelledText text;
    if (C_WavDataListInfo::ParseLabelledText(source[i], text) &&
        textSeen.insert(text.cueId).second) {
      rebuilt[i] =
          silenceIds.contains(text.cueId) && C_WavDataListInfo::IsPlainLabelledText(source[i]);
    }
  }
  return rebuilt;
}

}  // namespace

void C_ActionEventMgr::WriteLabels(C_WavDataListInfo& list, C_WavDataCueInfo& cues) const {
  const std::vector<C_WavDataListInfo::C_SubChunk> source = list.SubChunks();
  const std::vector<bool> rebuilt = FindRebuiltSubChunks(source, cues);
  // The cue ids of the kept sub-chunks stay theirs: a rebuilt label takes another, so that it
  // neither moves a kept label's cue point nor lends one to a label that has none.
  std::set<std::uint32_t> keptIds;
  for (std::size_t i = 0; i < source.size(); ++i) {
    if (!rebuilt[i]) {
      keptIds.insert(source[i].CueId());
    }
  }
  std::uint32_t cueId = 0;
  auto nextCueId = [&cueId, &keptIds] {
    do {
      ++cueId;
    } while (keptIds.contains(cueId));
    return cueId;
  };
  auto addCue = [&cues](std::uint32_t id, std::uint32_t position) {
    C_WavDataCueInfo::C_CuePoint point;
    point.id = id;
    point.position = position;
    point.sampleOffset = position;
    cues.AddCuePoint(point);
  };

  list.Clear();
  for (const C_ActionEvent& event : m_events) {
    const std::uint32_t id = nextCueId();
    addCue(id, event.GetSamplePosition());
    list.AddLabel(
        id, "(" + std::to_string(event.firstValue) + "," + std::to_string(event.secondValue) + ")");
  }
  // All labels first, then the labelled texts of the silence regions.
  std::vector<std::uint32_t> silenceCueIds;
  for (const C_ActionSilenceRegion& region : m_silence) {
    const std::uint32_t id = nextCueId();
    addCue(id, region.start);
    list.AddLabel(id, "SILENCE");
    silenceCueIds.push_back(id);
  }
  for (std::size_t i = 0; i < m_silence.size(); ++i) {
    list.AddLabelledText(silenceCueIds[i], m_silence[i].length);
  }
  for (std::size_t i = 0; i < source.size(); ++i) {
    if (!rebuilt[i]) {
      list.KeepSubChunk(source[i]);
    }
  }
}
