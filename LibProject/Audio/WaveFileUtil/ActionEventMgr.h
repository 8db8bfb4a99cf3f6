#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "LibProject/Audio/WaveFileUtil/WavDataCueInfo.h"
#include "LibProject/Audio/WaveFileUtil/WavDataListInfo.h"

/// A marked event at a point of the audio, with two values.
class C_ActionEvent {
 public:
  std::uint32_t itemId = 0;
  std::int32_t firstValue = 0;
  std::uint32_t timeMs = 0;          ///< stored when positionStored is 0
  std::uint32_t samplePosition = 0;  ///< stored when positionStored is 1
  std::string name;
  std::int32_t secondValue = 0;
  std::uint32_t sampleRate = 0;
  std::uint32_t reserved = 0;
  std::uint32_t positionStored = 1;

  /// The sample position: stored, or trunc(time x rate / 1000).
  std::uint32_t GetSamplePosition() const;
  /// The time in ms: stored, or trunc(sample position x 1000 / rate).
  std::uint32_t GetTimeMs() const;
};

/// A stretch of silence: start and length in samples.
class C_ActionSilenceRegion {
 public:
  std::uint32_t itemId = 0;
  std::uint32_t start = 0;
  std::uint32_t length = 0;
};

/// The action events and silence regions of a container, each list kept in ascending order of
/// position.
class C_ActionEventMgr {
 public:
  /// Adds an event at a sample position. Among equal positions a new event goes before the
  /// first of them, unless it is not below the last event, when it is appended.
  void AddEventAtSample(std::int32_t firstValue, std::uint32_t samplePosition, std::string name,
                        std::int32_t secondValue);
  /// Adds a silence region, kept in ascending order of start.
  void AddSilenceRegion(std::uint32_t start, std::uint32_t length);
  /// Stores a new sample rate and passes it to every event; an equal rate changes nothing.
  void SetSampleRate(std::uint32_t rate);

  /// Adds the events and silence regions that the labels of `list` encode, at the positions of
  /// their cue points in `cues`: a label made only of "(first,second)" pairs gives one event per
  /// pair, a label "SILENCE" (any case, blanks around) a silence region as long as the labelled
  /// text of its cue says. Labels without a cue point and other texts are ignored.
  void RestoreFromLabels(const C_WavDataListInfo& list, const C_WavDataCueInfo& cues);

  /// Writes the events and silence regions back as labels: the labels of `list` that stand
  /// for events or silence regions (those RestoreFromLabels reads) and the plain labelled
  /// texts of the silence labels are replaced, and every event gets a cue point and a label
  /// "(first,second)", every silence region a cue point, a label "SILENCE" and a labelled text
  /// of its length. Cue ids run from 1, passing over the ids of the sub-chunks kept: every
  /// other label, note and labelled text stays in the list unchanged, after the new ones.
  void WriteLabels(C_WavDataListInfo& list, C_WavDataCueInfo& cues) const;

  std::uint32_t GetSampleRate() const { return m_sampleRate; }
  const std::vector<C_ActionEvent>& Events() const { return m_events; }
  const std::vector<C_ActionSilenceRegion>& SilenceRegions() const { return m_silence; }
  void Clear();

 private:
  std::uint32_t m_sampleRate = 0;
  std::uint32_t m_nextItemId = 1;
  std::vector<C_ActionEvent> m_events;
  std::vector<C_ActionEvent> m_secondEvents;
  std::vector<C_ActionSilenceRegion> m_silence;
};
