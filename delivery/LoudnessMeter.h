#pragma once

#include <cmath>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

namespace delivery {

/// What a LoudnessMeter measured over everything fed to it (ITU-R BS.1770-4, EBU R128 and
/// EBU Tech 3342, as libebur128 measures them).
struct LoudnessResult {
  /// Integrated loudness, LUFS. Empty when the input is silent or below the gate: no 400 ms
  /// block reached the absolute gate of -70 LUFS, which includes any input shorter than 400 ms.
  std::optional<double> integratedLufs;
  /// Loudness range, LU, from the 3 s short-term windows: 0 when below the gate, and for input
  /// too short to give the range two windows (a few seconds).
  double rangeLu = 0.0;
  /// The highest true peak over the channels, dBTP (the library's oversampling: 4 times below
  /// 96 kHz, twice below 192 kHz, none above). Empty when every sample was zero.
  std::optional<double> truePeakDbtp;
  /// The highest sample magnitude over the channels, dBFS. Empty when every sample was zero.
  std::optional<double> samplePeakDbfs;
};

/// A streaming loudness and peak measurement of interleaved frames through libebur128, in
/// memory that does not grow with the input's length (the library's histogram mode, whose
/// 0.1 dB bins put the integrated loudness and range within 0.05 LU of the exact values).
///
/// Channels are weighted by the library's map for the WAVE order (left, right, centre, LFE left
/// out, left and right surround at +1.5 dB; 4 channels as left, right and two surrounds,
/// 5 as left, right, centre and two surrounds); a seventh channel and beyond count at weight 1.
class LoudnessMeter {
 public:
  /// The most channels the library measures.
  static constexpr unsigned kMaxChannels = 64;

  /// Below 96 kHz no value of the library's four-times oversampling exceeds the largest input
  /// magnitude it depends on by more than this factor (its worst case, the input whose signs
  /// match its taps', reaches 1.8642; a test measures it). A true-peak part relies on it to pass
  /// over pieces that cannot raise the peak.
  static constexpr double kInterpolatorGainBound = 1.875;

  /// What a meter measures: everything, or one of two parts, so that the parts of one
  /// measurement can run on threads of their own (the true peak's oversampling costs about three
  /// times the rest; a true-peak part below 96 kHz feeds the library only the pieces that can
  /// raise the peak, with the same result to the bit). A part leaves the other's values empty
  /// (the range 0).
  enum class Parts : std::uint8_t {
    All,       ///< everything LoudnessResult holds
    Loudness,  ///< integrated loudness, range and sample peak
    TruePeak,  ///< the true peak only; its channels need no weighting
  };

  /// A meter for `channels` (1 to 64) at `sampleRate` Hz (16 Hz to 2822400 Hz); `fullScale` is
  /// the magnitude fed for 0 dBFS (1.0 for float samples, 32768.0 for 16-bit values). Empty when
  /// the library refuses the layout or cannot allocate.
  static std::optional<LoudnessMeter> Create(unsigned channels, std::uint32_t sampleRate,
                                             double fullScale = 1.0, Parts parts = Parts::All);

  /// Feeds whole interleaved frames (the length a multiple of the channel count). A value that
  /// is not finite counts as 0, as the filtering pass counts it.
  void Add(std::span<const double> interleaved);

  /// The measurement of everything fed so far; the meter may go on being fed.
  LoudnessResult Result() const;

  unsigned Channels() const { return m_channels; }

 private:
  struct StateDeleter {
    void operator()(void* state) const;
  };
  LoudnessMeter(void* state, unsigned channels, double fullScale, Parts parts);

  void AddTruePeak(const double* scaled, std::size_t frames);

  std::unique_ptr<void, StateDeleter> m_state;  // the library's ebur128_state
  unsigned m_channels = 0;
  Parts m_parts = Parts::All;
  double m_scale = 1.0;           // 1 / fullScale
  std::vector<double> m_scratch;  // one bounded piece of the input, scaled
  // A true-peak part below 96 kHz passes over pieces that cannot raise the peak (AddTruePeak):
  bool m_skipsQuietPieces = false;
  bool m_inStep = true;          // the library has been fed every frame before the next piece
  double m_truePeak = 0.0;       // the highest true peak of the pieces fed
  std::vector<double> m_recent;  // the last frames before the next piece, scaled
};

/// 20 log10(magnitude): a linear magnitude (1.0 = full scale) in dB; empty for 0.
inline std::optional<double> MagnitudeDb(double magnitude) {
  if (!(magnitude > 0.0)) {
    return std::nullopt;
  }
  return 20.0 * std::log10(magnitude);
}

/// True when this build has libebur128 (the Windows build has not: Create gives nothing there).
bool LoudnessMeterAvailable();

}  // namespace delivery
