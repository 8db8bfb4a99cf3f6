#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "eq/band/EqBand.h"
#include "eq/design/BellFilter.h"
#include "eq/design/HighLowFilter.h"

/// The kind and band index of the chain's preamp entry.
inline constexpr std::uint32_t kPreampKind = 0xFFFFFFFFU;

/// One designed band: one section (a bell, shelf or notch, or the preamp) or a high-/low-pass
/// cascade, never both.
struct FilterEntry {
  std::uint32_t kind = 0;                  ///< the band's type code, or kPreampKind
  std::uint32_t bandIndex = 0;             ///< the band's `index`
  std::unique_ptr<HighLowFilter> highLow;  ///< null for a one-section band
  std::unique_ptr<BellFilter> bell;        ///< the section of a bell, shelf, notch or preamp
};

/// The designed bands in band-table order, owning their filters. Built for one sample rate and
/// one conversion or curve computation.
struct FilterChain {
  std::vector<FilterEntry> entries;
};

/// Highest order a high-pass or low-pass band may be designed with; a band whose estimate is
/// higher is left out like the other undesignable bands.
inline constexpr std::uint16_t kMaxHighLowOrder = 1000;

/// Lowest frequency, Hz, a high-pass or low-pass band's corner or stop may have; below it the
/// frequency ratio is not defined and the band is left out.
inline constexpr double kMinPassBandFreq = 0.001;

/// The largest preamp, dB up or down, the design applies (a factor of 1000 in amplitude): a
/// preamp beyond it, or one that is not a finite number, is left out like an undesignable band.
inline constexpr double kMaxPreampDb = 60.0;

/// Why the design leaves an enabled band out of the chain.
enum class BandSkipReason {
  UnknownType,       ///< its type code names no filter
  NoFilter,          ///< its values make no filter (a Q or frequency not above 0, ...)
  AboveNyquist,      ///< a frequency it needs lies above half the sample rate
  OrderBeyondLimit,  ///< a pass band would need an order above kMaxHighLowOrder
  Unstable,          ///< a designed section would grow without bound
  ResponseTooHigh,   ///< the designed response rises above the band's ideal (CheckSections)
  Imprecise,         ///< the cascade is too steep to compute in double precision
  PreampUnusable,    ///< the preamp is not a finite number within kMaxPreampDb
};

/// An enabled band (or the preamp) the design left out, and why.
struct BandSkip {
  std::uint32_t index = 0;  ///< the band's `index`; kPreampKind for the preamp
  std::uint32_t type = 0;   ///< the band's type code; kPreampKind for the preamp
  BandSkipReason reason = BandSkipReason::NoFilter;
  std::string detail;  ///< the reason in words, with the values that gave it
};

/// Appends the preamp of `bandTable` when it is not 0 dB (a section that multiplies each sample
/// by its gain; one that is not finite or lies beyond kMaxPreampDb is left out), then one entry to
/// `chain` for every band of `bandTable` that can be designed at `sampleRate` Hz: enabled, of a
/// known type, with values that make a filter, its frequencies at or below half the sample rate, a
/// pass band's order within kMaxHighLowOrder, and designed sections that are stable and numerically
/// sound (CheckSections). Every enabled band left out is appended to `skipped` when given.
/// Returns 1.
int DesignBandFilters(const EqBandTable& bandTable, FilterChain& chain, double sampleRate,
                      std::vector<BandSkip>* skipped = nullptr);

/// The name of a band type in reports ("bell", "high-pass", "low-pass", "low-shelf",
/// "high-shelf", "notch"); null for a code that names no type.
const char* BandTypeName(std::uint32_t type);

/// One sentence naming a left-out band, its type and the reason, for a report:
/// "Band00 (high-pass) is left out at 48000 Hz: ...". Numbered like the settings keys. A
/// left-out preamp: "The preamp is left out: ...".
std::string DescribeBandSkip(const BandSkip& skip, double sampleRate);

/// The Butterworth order a pass band needs to reach `gain` dB at the frequency ratio `ratio`
/// (> 1): the smallest whole order whose slope reaches it, a shortfall under 0.02 of an order
/// rounded down. Empty when the band cannot be designed (see DesignBandFilters).
std::optional<std::uint16_t> EstimateHighLowOrder(double gain, double ratio);

/// Appends a copy of every entry of `from` to `to`, the states zeroed.
void AppendFilterChain(const FilterChain& from, FilterChain& to);

/// Releases every filter of `chain`, last entry first, and empties it.
void FreeFilterChain(FilterChain& chain);

/// Calls `visit(coefs, state)` for every second-order section of `chain` in running order: the
/// entries in chain order, a cascade's sections first to last. `Chain` is FilterChain or
/// const FilterChain. Every loop over a chain's sections goes through here.
template <typename Chain, typename Visit>
void ForEachSection(Chain& chain, Visit visit) {
  for (auto& entry : chain.entries) {
    if (entry.bell) {
      visit(entry.bell->coefs, entry.bell->state);
    }
    if (entry.highLow) {
      for (std::size_t k = 0; k < entry.highLow->coefs.size(); ++k) {
        visit(entry.highLow->coefs[k], entry.highLow->states[k]);
      }
    }
  }
}

/// The number of second-order sections in `chain`.
std::size_t CountSections(const FilterChain& chain);

/// Zeroes the state of every section, as each filtering run starts.
void ResetFilterStates(FilterChain& chain);
