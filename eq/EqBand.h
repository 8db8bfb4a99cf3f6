#pragma once

#include <cstdint>
#include <vector>

/// The kind of filter a band is. Any other code in a band's `type` makes the band ignored.
enum class EqBandType : std::uint32_t { Bell = 1, HighPass = 2, LowPass = 3 };

/// One equalizer band.
struct EqBand {
  std::uint32_t type = 0;    ///< an EqBandType code
  std::uint32_t index = 0;   ///< 0-based position in the table; the number in the settings keys
  std::uint32_t enable = 0;  ///< exactly 1 = enabled; any other value = disabled
  double gain = 0.0;         ///< dB: boost/cut of a bell, attenuation at stopFreq of a pass band
  double qual = 0.0;         ///< Q of a bell
  double centFreq = 0.0;     ///< Hz, centre frequency of a bell
  double cutoffFreq = 0.0;   ///< Hz, corner frequency of a high-pass or low-pass band
  double stopFreq = 0.0;     ///< Hz, where a pass band must reach `gain` dB of attenuation
};

/// How far beyond its cut-off a pass band's stop frequency is kept, as a factor: at least 2 %
/// (a high-pass band's stop at most cutoff x 0.98, a low-pass band's at least cutoff / 0.98).
/// The default band set and the editors' limits use it; its value is part of the stored
/// defaults (11.204082 Hz for a 10 Hz stop), so it stays 0.98 exactly.
inline constexpr double kStopMargin = 0.98;

/// The band table: the bands in band order.
using EqBandTable = std::vector<EqBand>;

/// The type code of a band type, as stored in EqBand::type.
constexpr std::uint32_t ToCode(EqBandType type) { return static_cast<std::uint32_t>(type); }
