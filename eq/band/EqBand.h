#pragma once

#include <cstdint>
#include <vector>

/// The kind of filter a band is. Any other code in a band's `type` makes the band ignored.
enum class EqBandType : std::uint32_t {
  Bell = 1,
  HighPass = 2,
  LowPass = 3,
  LowShelf = 4,   ///< `gain` dB below `centFreq`, half of it there, `qual` its slope
  HighShelf = 5,  ///< `gain` dB above `centFreq`, half of it there, `qual` its slope
  Notch = 6,      ///< no output at `centFreq`, `qual` its width; `gain` is not used
};

/// One equalizer band.
struct EqBand {
  std::uint32_t type = 0;    ///< an EqBandType code
  std::uint32_t index = 0;   ///< 0-based position in the table; the number in the settings keys
  std::uint32_t enable = 0;  ///< exactly 1 = enabled; any other value = disabled
  double gain = 0.0;  ///< dB: boost/cut of a bell or shelf, attenuation at stopFreq of a pass band
  double qual = 0.0;  ///< Q of a bell, shelf or notch
  double centFreq = 0.0;    ///< Hz, centre frequency of a bell, shelf or notch
  double cutoffFreq = 0.0;  ///< Hz, corner frequency of a high-pass or low-pass band
  double stopFreq = 0.0;    ///< Hz, where a pass band must reach `gain` dB of attenuation

  bool operator==(const EqBand&) const = default;
};

/// How far beyond its cut-off a pass band's stop frequency is kept, as a factor: at least 2 %
/// (a high-pass band's stop at most cutoff x 0.98, a low-pass band's at least cutoff / 0.98).
/// The default band set and the editors' limits use it; its value is part of the stored
/// defaults (11.204082 Hz for a 10 Hz stop), so it stays 0.98 exactly.
inline constexpr double kStopMargin = 0.98;

/// Most bands a setup holds, everywhere: the settings file, a preset import, the window. Two-digit
/// band keys ("Band%.2d_Type") number exactly this many, and it bounds what a damaged or hostile
/// BandNum can demand.
inline constexpr int kMaxBandCount = 100;

/// The band table: the bands in band order, and the setup's preamp.
struct EqBandTable : std::vector<EqBand> {
  using std::vector<EqBand>::vector;
  /// dB applied to every sample before the bands; 0 applies nothing at all.
  double preampDb = 0.0;

  bool operator==(const EqBandTable&) const = default;
};

/// The type code of a band type, as stored in EqBand::type.
constexpr std::uint32_t ToCode(EqBandType type) { return static_cast<std::uint32_t>(type); }

/// True for the types designed as one section from `centFreq` and `qual` (and `gain`): bell,
/// shelves, notch.
constexpr bool IsSingleSectionType(std::uint32_t type) {
  return type == ToCode(EqBandType::Bell) || type == ToCode(EqBandType::LowShelf) ||
         type == ToCode(EqBandType::HighShelf) || type == ToCode(EqBandType::Notch);
}

/// True for the Butterworth high- and low-pass types.
constexpr bool IsPassType(std::uint32_t type) {
  return type == ToCode(EqBandType::HighPass) || type == ToCode(EqBandType::LowPass);
}
