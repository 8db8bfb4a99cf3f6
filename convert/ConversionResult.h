#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

/// How one file of a run ended.
enum class ConversionStatus {
  NotAttempted,  ///< the run never started it
  Converted,     ///< its output was written
  Failed,        ///< it stopped at an error; its output was not written
};

/// One line of a conversion's transcript. The console prints its kind as the prefix
/// ("Information:" or "Error:"), then its text and CR LF.
struct TranscriptLine {
  enum class Kind { Information, Error };
  Kind kind = Kind::Information;
  std::string text;  ///< without prefix and line end; the names in it already printable
};

/// What the output's limits did to the filtered samples.
struct ClipCounts {
  std::uint64_t filteredSamples = 0;  ///< samples filtered, all channels
  std::uint64_t clippedSamples = 0;   ///< of them, values the output's limits changed
  /// The largest filtered magnitude before limiting, dB full scale (infinite for a result that
  /// is not a number)
  double peakDbfs = 0.0;
  bool hasPeak = false;  ///< false until samples were filtered, for silence and for no number
};

/// The loudness and peaks of the samples written (ITU-R BS.1770-4 / EBU R128, through
/// libebur128): for a lossy container, the samples handed to its encoder.
struct OutputLoudness {
  bool measured = false;  ///< false: not asked for, not written, or no meter in this build
  /// Integrated loudness, LUFS; empty when the output is silent or below the gate
  std::optional<double> integratedLufs{};
  /// Loudness range, LU; empty when there is no integrated loudness
  std::optional<double> rangeLu{};
  std::optional<double> truePeakDbtp{};    ///< empty for an output of zeros only
  std::optional<double> samplePeakDbfs{};  ///< empty for an output of zeros only
};

/// What the delivery steps made of one output, for its report.
struct DeliveryApplied {
  bool asked = false;  ///< the job asked for a delivery (a normalisation, rate, channels, depth)
  /// The normalising gain applied through the preamp, dB; empty without a loudness step
  std::optional<double> gainDb{};
  std::uint32_t sampleRate = 0;      ///< of the output, Hz
  std::uint16_t channels = 0;        ///< of the output
  std::string encoding{};            ///< of the output: "pcm8" ... "pcm32", "float32", "float64"
  bool dithered = false;             ///< TPDF dither was added where the depth was reduced
  std::uint64_t clippedSamples = 0;  ///< output samples the output depth's limits changed
  /// What the normalising gain could not do, as its line says it; empty when it did all
  std::string gainNote{};
};

/// What a conversion returns: how it ended, its transcript, and what the limits did. The
/// console's lines and the window's report are both rendered from it.
struct ConversionResult {
  ConversionStatus outcome = ConversionStatus::NotAttempted;
  std::vector<TranscriptLine> lines;
  ClipCounts counts;
  OutputLoudness loudness;   ///< measured when the job asked for it and the output was written
  DeliveryApplied delivery;  ///< what the delivery steps did, when the job asked for them

  /// Appends an "Information:" line.
  void Information(std::string text);
  /// Appends an "Error:" line.
  void Error(std::string text);
  bool Converted() const { return outcome == ConversionStatus::Converted; }
  /// The texts of the Error lines, LF between them; empty when there are none.
  std::string ErrorText() const;
  /// The Error lines as the console prints them, without their line ends.
  std::vector<std::string> ErrorLines() const;
};

/// `line` as the console prints it: prefix, text, CR LF.
std::string RenderLine(const TranscriptLine& line);

/// The lines as the console prints them, in order.
std::string RenderTranscript(const std::vector<TranscriptLine>& lines);

/// The text of the line that says how loud the output is, as /loudness asks ("Loudness -18.4
/// LUFS, range 6.1 LU, true peak -2.3 dBTP."; below the gate "Loudness below the gate of -70
/// LUFS, true peak -75.2 dBTP."; for zeros only "... the output is silent.").
std::string LoudnessText(const OutputLoudness& loudness);

/// The text of the line that says the output's limits changed samples ("Clipped 12 of 96000
/// samples, peak 1.25 dBFS."); empty when none was changed.
std::string ClippingText(const ClipCounts& counts);
