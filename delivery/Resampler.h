#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

namespace delivery {

/// A streaming sample-rate converter through libsoxr at its very high quality (28-bit
/// precision, passband flat to 0.01 dB up to 91 % of the lower Nyquist frequency) with a linear
/// phase filter. Interleaved doubles in and out; the output is aligned with the input (the
/// library takes the filter's delay out), so that output frame k stands at k / outputRate s.
/// Equal rates pass the samples through unchanged.
class Resampler {
 public:
  /// The lowest and highest rates a conversion may ask for, Hz.
  static constexpr std::uint32_t kMinRate = 8000;
  static constexpr std::uint32_t kMaxRate = 384000;

  /// A converter for `channels` (1 or more) from `inputRate` to `outputRate` Hz (each 8000 to
  /// 384000). Empty for a rate outside that range or when the library refuses.
  static std::optional<Resampler> Create(unsigned channels, std::uint32_t inputRate,
                                         std::uint32_t outputRate);

  /// Feeds whole interleaved frames and appends to `out` the frames they complete. A value that
  /// is not finite counts as 0. Not after Flush.
  void Process(std::span<const double> input, std::vector<double>& out);

  /// Ends the input and appends the rest of the output (the filter's tail). After it, the
  /// frames appended in all equal OutputFrames of the frames fed.
  void Flush(std::vector<double>& out);

  /// The frames a whole input of `inputFrames` gives: inputFrames * outputRate / inputRate
  /// rounded to nearest, halves up (as the library ends a flushed stream).
  static std::uint64_t OutputFrames(std::uint64_t inputFrames, std::uint32_t inputRate,
                                    std::uint32_t outputRate);

  unsigned Channels() const { return m_channels; }

 private:
  struct SoxrDeleter {
    void operator()(void* soxr) const;
  };
  Resampler(void* soxr, unsigned channels, std::uint32_t inputRate, std::uint32_t outputRate);
  void Run(const double* input, std::size_t frames, std::vector<double>& out);

  std::unique_ptr<void, SoxrDeleter> m_soxr;  // the library's soxr_t
  unsigned m_channels = 0;
  std::uint32_t m_inputRate = 0;
  std::uint32_t m_outputRate = 0;
  bool m_flushed = false;
  std::vector<double> m_clean;  // a piece of input with its non-finite values made 0
};

/// True when this build has libsoxr (the Windows build has not: Create gives nothing there).
bool ResamplerAvailable();

}  // namespace delivery
