#pragma once

#include <cstddef>
#include <span>
#include <stop_token>
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

/// Welch's estimate over `mono`: Hann windows of SpectrumFftSize samples, half overlapping, their
/// power spectra averaged. Fewer samples than one window are one zero-padded window. Once `stop`
/// is requested (looked at between windows) it returns a spectrum without bins.
LongTermPower WelchSpectrum(std::span<const float> mono, double sampleRate,
                            const std::stop_token& stop = {});

/// The spectrum at `freq` Hz, dB, interpolated linearly between its bins.
double SpectrumDbAt(const LongTermPower& spectrum, double freq);
