#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

/// The associated data of a "LIST" chunk of list type "adtl": labels ("labl"), notes ("note"),
/// labelled texts ("ltxt") and embedded files ("file"), each tied to a cue point by the cue id
/// that starts it.
///
/// The sub-chunks are held as stored, in order, so that those the program does not interpret
/// (a label "Intro", a note, a labelled text with its purpose, language and text) are written
/// back byte for byte. Labels() and LabelledTexts() are the parsed view of the "labl" and
/// "ltxt" sub-chunks held, the one the action events are restored from.
class C_WavDataListInfo {
 public:
  struct C_Label {
    std::uint32_t cueId = 0;
    std::string text;  ///< at most 63 characters, up to the first NUL
  };
  struct C_LabelledText {
    std::uint32_t cueId = 0;
    std::uint32_t sampleLength = 0;
  };
  /// One sub-chunk: its id and its bytes, the cue id first, without the pad byte that follows
  /// an odd size.
  struct C_SubChunk {
    char id[4] = {};
    std::vector<std::uint8_t> bytes;
    bool added = false;  ///< made by AddLabel or AddLabelledText, not read or kept

    std::uint32_t CueId() const;
    bool IsId(const char* other) const;
  };

  /// Reads the "labl", "note", "ltxt" and "file" sub-chunks that hold a cue id; others, and a
  /// list of another type, are ignored. Always succeeds.
  bool Read(std::span<const std::uint8_t> chunk);
  /// The chunk data: "adtl", then every sub-chunk in order, each followed by a pad byte when its
  /// size is odd.
  std::vector<std::uint8_t> Render() const;
  /// Whether the list is worth a "LIST" chunk: it holds a label, or a sub-chunk read or kept.
  /// The labelled texts that AddLabelledText makes do not cause one on their own.
  bool NeedsChunk() const;

  const std::vector<C_Label>& Labels() const { return m_labels; }
  const std::vector<C_LabelledText>& LabelledTexts() const { return m_texts; }
  const std::vector<C_SubChunk>& SubChunks() const { return m_subChunks; }
  /// Adds a "labl": the cue id, the text (cut to 63 characters) and its NUL, padded with a zero
  /// to an even size.
  void AddLabel(std::uint32_t cueId, std::string text);
  /// Adds an "ltxt" of 20 bytes: the cue id, the sample length and twelve zero bytes (no
  /// purpose, country, language, dialect, code page or text).
  void AddLabelledText(std::uint32_t cueId, std::uint32_t sampleLength);
  /// Adds a sub-chunk as it is, to be written back unchanged.
  void KeepSubChunk(const C_SubChunk& subChunk);
  /// The sample length of the first labelled text of a cue id; 0 when there is none.
  std::uint32_t SampleLengthFor(std::uint32_t cueId) const;
  /// Moves every labelled text's sample length from `fromRate` Hz to the same span at `toRate`
  /// Hz (a conversion that changes the rate); the rest of each sub-chunk stays as it is.
  void ScaleToRate(std::uint32_t fromRate, std::uint32_t toRate);
  void Clear();

  /// The label a "labl" sub-chunk holds, read as Labels() shows it; false for a sub-chunk that
  /// is no label or too short to hold a cue id.
  static bool ParseLabel(const C_SubChunk& subChunk, C_Label& label);
  /// The labelled text an "ltxt" sub-chunk holds; false for one shorter than 8 bytes.
  static bool ParseLabelledText(const C_SubChunk& subChunk, C_LabelledText& text);
  /// Whether an "ltxt" sub-chunk is in the form AddLabelledText writes.
  static bool IsPlainLabelledText(const C_SubChunk& subChunk);

 private:
  void Append(C_SubChunk subChunk);

  std::vector<C_SubChunk> m_subChunks;
  std::vector<C_Label> m_labels;
  std::vector<C_LabelledText> m_texts;
};
