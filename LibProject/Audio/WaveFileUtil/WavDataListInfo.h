#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

/// The labels and labelled texts of a "LIST" chunk of list type "adtl".
class C_WavDataListInfo {
 public:
  struct Label {
    std::uint32_t cueId = 0;
    std::string text;  ///< at most 63 characters
  };
  struct LabelledText {
    std::uint32_t cueId = 0;
    std::uint32_t sampleLength = 0;
  };

  /// Reads "labl" and "ltxt" sub-chunks; a list of another type is ignored. Always succeeds.
  bool Read(std::span<const std::uint8_t> chunk);
  /// The chunk data: "adtl", then a "labl" per label and an "ltxt" per labelled text.
  std::vector<std::uint8_t> Render() const;

  const std::vector<Label>& Labels() const { return m_labels; }
  const std::vector<LabelledText>& LabelledTexts() const { return m_texts; }
  void AddLabel(std::uint32_t cueId, std::string text);
  void AddLabelledText(std::uint32_t cueId, std::uint32_t sampleLength);
  /// The sample length stored for a cue id; 0 when there is none.
  std::uint32_t SampleLengthFor(std::uint32_t cueId) const;
  void Clear();

 private:
  std::vector<Label> m_labels;
  std::vector<LabelledText> m_texts;
};
