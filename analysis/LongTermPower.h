#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <stop_token>
#include <string>
#include <vector>

/// The long-term average spectrum of a recording.
struct LongTermPower {
  double sampleRate = 0.0;
  std::size_t fftSize = 0;
  std::vector<double> powerDb;  ///< per bin from 0 Hz to half the rate: 10 log10(mean power)
  double maxDb = 0.0;           ///< the highest bin above 0 Hz
};

/// The FFT size of about 5 Hz per bin: the power of two nearest to `sampleRate` / 5 (4096 at
/// 16 kHz, 8192 at 44.1 and 48 kHz).
std::size_t SpectrumFftSize(double sampleRate);

/// Welch's estimate fed a block at a time: the windows of WelchSpectrum over the samples
/// added so far, in the same order and arithmetic, so that feeding a recording in any blocks
/// gives WelchSpectrum's bits for the whole of it. It holds one window of samples, whatever the
/// length fed.
class WelchAccumulator {
 public:
  explicit WelchAccumulator(double sampleRate);
  ~WelchAccumulator();
  WelchAccumulator(const WelchAccumulator&) = delete;
  WelchAccumulator& operator=(const WelchAccumulator&) = delete;

  /// Takes the next samples (one channel, full scale 1.0).
  void Add(std::span<const float> mono);
  /// The estimate over everything added (one zero-padded window when that is less than one).
  LongTermPower Finish();

 private:
  struct Transform;
  void RunWindow();

  double m_sampleRate;
  std::size_t m_size;
  std::unique_ptr<Transform> m_transform;
  std::vector<float> m_window;
  std::vector<float> m_pending;  // samples not yet past a window's first half
  std::vector<double> m_power;
  std::size_t m_segments = 0;
};

/// Welch's estimate over `mono`: Hann windows of SpectrumFftSize samples, half overlapping, their
/// power spectra averaged. Fewer samples than one window are one zero-padded window. Once `stop`
/// is requested (looked at between windows) it returns a spectrum without bins.
LongTermPower WelchSpectrum(std::span<const float> mono, double sampleRate,
                            const std::stop_token& stop = {});

/// The spectrum at `freq` Hz, dB, interpolated linearly between its bins.
double SpectrumDbAt(const LongTermPower& spectrum, double freq);

/// Welch's estimate over frames [firstFrame, endFrame) of the recording at `path`, its channels
/// averaged as MonoFloats averages them, read from the file a block at a time (any length, in
/// the memory of one block and one window). Empty, with the reason in `error`, when the file
/// cannot be read or once `stop` is requested.
std::optional<LongTermPower> SelectionSpectrum(const std::string& path, std::uint64_t firstFrame,
                                               std::uint64_t endFrame, const std::stop_token& stop,
                                               std::string& error);
