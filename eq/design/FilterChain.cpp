#include "eq/design/FilterChain.h"

#include <charconv>
#include <cmath>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "eq/design/CookbookFilter.h"
#include "eq/design/SectionCheck.h"
#include "platform/text/FormatText.h"
#include "platform/text/NumberText.h"

namespace {

using platform::FormatShortest;

// The order estimate before it is truncated: the quotient by log10(ratio), then by 20, then the
// 0.98 offset that rounds a shortfall of under 0.02 of an order down.
double OrderEstimate(double gain, double ratio) { return gain / std::log10(ratio) / 20.0 + 0.98; }

std::string Hz(double value) { return FormatShortest(value) + " Hz"; }

// A frequency found on a grid, for a message: whole hertz from 10 Hz, three digits below.
std::string GridHz(double value) {
  if (value >= 10.0) {
    return Hz(std::round(value));
  }
  char text[32];
  const auto written =
      std::to_chars(text, text + sizeof text, value, std::chars_format::general, 3);
  return std::string(text, written.ptr) + " Hz";
}

// Why the values of a bell, shelf or notch (which has no gain) make no filter; empty when they
// make one.
std::string SectionValueFault(const EqBand& band, bool usesGain) {
  if (!(band.qual > 0.0)) {
    return "its Q " + FormatShortest(band.qual) + " makes no filter (it must be above 0)";
  }
  if (!(band.centFreq > 0.0)) {
    return "its centre frequency " + Hz(band.centFreq) + " makes no filter (it must be above 0)";
  }
  if (usesGain && !std::isfinite(band.gain)) {
    return "its gain " + FormatShortest(band.gain) + " dB makes no filter";
  }
  return {};
}

// The one section of a bell, shelf or notch band.
BellFilter DesignSection(const EqBand& band, double sampleRate) {
  switch (static_cast<EqBandType>(band.type)) {
    case EqBandType::LowShelf:
    case EqBandType::HighShelf:
      return DesignShelfFilter(band.type == ToCode(EqBandType::HighShelf), band.centFreq, band.gain,
                               band.qual, sampleRate);
    case EqBandType::Notch: return DesignNotchFilter(band.centFreq, band.qual, sampleRate);
    default: return DesignBellFilter(band.centFreq, band.gain, band.qual, sampleRate);
  }
}

// Why a pass band's values make no filter; empty when they make one.
std::string PassValueFault(const EqBand& band, bool highPass) {
  for (const auto& [name, value] :
       {std::pair{"cutoff", band.cutoffFreq}, std::pair{"stop", band.stopFreq}}) {
    if (!(value >= kMinPassBandFreq)) {
      return std::string("its ") + name + " frequency " + Hz(value) +
             " makes no filter (it must be at least 0.001 Hz)";
    }
  }
  if (!(band.gain >= 0.0)) {
    return "its attenuation " + FormatShortest(band.gain) +
           " dB makes no filter (it must not be negative)";
  }
  if (highPass && !(band.stopFreq < band.cutoffFreq)) {
    return "its stop frequency " + Hz(band.stopFreq) + " is not below its cutoff frequency " +
           Hz(band.cutoffFreq);
  }
  if (!highPass && !(band.stopFreq > band.cutoffFreq)) {
    return "its stop frequency " + Hz(band.stopFreq) + " is not above its cutoff frequency " +
           Hz(band.cutoffFreq);
  }
  return {};
}

// Appends the fault CheckSections found as a skip; false when there is none. `order` is a pass
// band's order, 0 for a bell.
bool SkipForFault(const SectionCheckResult& check, const EqBand& band, unsigned order,
                  std::vector<BandSkip>* skipped) {
  if (check.fault == SectionFault::None) {
    return false;
  }
  if (skipped != nullptr) {
    BandSkip skip{band.index, band.type, BandSkipReason::Unstable, {}};
    const std::string filter =
        order == 0 ? std::string("its filter") : "its filter of order " + std::to_string(order);
    switch (check.fault) {
      case SectionFault::Unstable:
        skip.detail = filter + " would be unstable (a pole on or outside the unit circle)";
        break;
      case SectionFault::ResponseTooHigh:
        skip.reason = BandSkipReason::ResponseTooHigh;
        skip.detail = filter + " would rise to " + platform::FormatFixed(check.valueDb, 1) +
                      " dB at " + GridHz(check.freq) + ", where it is designed to reach " +
                      platform::FormatFixed(check.idealDb, 1) + " dB";
        break;
      default:
        skip.reason = BandSkipReason::Imprecise;
        skip.detail = filter + " is too steep to compute with precision (a gain above " +
                      platform::FormatFixed(kMaxCascadeGainDb, 0) + " dB inside its cascade)";
        break;
    }
    skipped->push_back(std::move(skip));
  }
  return true;
}

}  // namespace

std::optional<std::uint16_t> EstimateHighLowOrder(double gain, double ratio) {
  if (!(gain >= 0.0) || !(ratio > 1.0)) {
    return std::nullopt;
  }
  const double estimate = OrderEstimate(gain, ratio);
  if (!(estimate < static_cast<double>(kMaxHighLowOrder) + 1.0)) {
    return std::nullopt;
  }
  return static_cast<std::uint16_t>(std::trunc(estimate));
}

namespace {

void NoteSkip(std::vector<BandSkip>* skipped, const EqBand& band, BandSkipReason reason,
              std::string detail) {
  if (skipped != nullptr) {
    skipped->push_back(BandSkip{band.index, band.type, reason, std::move(detail)});
  }
}

std::string AboveHalfTheRate(double nyquist) {
  return " is above half the sample rate (" + Hz(nyquist) + ")";
}

// The preamp as a first section whose only coefficient is its gain: each sample is multiplied
// by it once before the bands. A preamp beyond the limit (or infinite) would push every sample
// out of range, one that is not a number would silence them: it is named and left out rather
// than taken as 0 dB.
void DesignPreamp(double preamp, double sampleRate, FilterChain& chain,
                  std::vector<BandSkip>* skipped) {
  const EqBand preampBand{.type = kPreampKind, .index = kPreampKind};
  if (std::isnan(preamp)) {
    NoteSkip(skipped, preampBand, BandSkipReason::PreampUnusable, "its gain is not a number");
  } else if (!(std::fabs(preamp) <= kMaxPreampDb)) {
    NoteSkip(skipped, preampBand, BandSkipReason::PreampUnusable,
             "its gain " + FormatShortest(preamp) + " dB lies outside -" +
                 FormatShortest(kMaxPreampDb) + " to " + FormatShortest(kMaxPreampDb) + " dB");
  } else if (preamp != 0.0) {
    FilterEntry entry;
    entry.kind = kPreampKind;
    entry.bandIndex = kPreampKind;
    entry.bell = std::make_unique<BellFilter>();
    entry.bell->sampleRate = sampleRate;
    entry.bell->gain = preamp;
    entry.bell->coefs = BiquadCoefs{.b0 = std::pow(10.0, preamp / 20.0), .a0 = 1.0};
    chain.entries.push_back(std::move(entry));
  }
}

// The section of a bell, shelf or notch band; null when the band is left out (and named).
std::unique_ptr<BellFilter> DesignSingleSectionBand(const EqBand& band, double sampleRate,
                                                    std::vector<BandSkip>* skipped) {
  const double nyquist = sampleRate * 0.5;
  const bool notch = band.type == ToCode(EqBandType::Notch);
  if (const std::string fault = SectionValueFault(band, !notch); !fault.empty()) {
    NoteSkip(skipped, band, BandSkipReason::NoFilter, fault);
    return nullptr;
  }
  if (!(nyquist >= band.centFreq)) {
    NoteSkip(skipped, band, BandSkipReason::AboveNyquist,
             "its centre frequency " + Hz(band.centFreq) + AboveHalfTheRate(nyquist));
    return nullptr;
  }
  auto bell = std::make_unique<BellFilter>(DesignSection(band, sampleRate));
  if (SkipForFault(CheckSections({&bell->coefs, 1}, IdealResponse::Of(band, 0, sampleRate),
                                 sampleRate, band.centFreq),
                   band, 0, skipped)) {
    return nullptr;
  }
  return bell;
}

// The cascade of a high or low pass band; null when the band is left out (and named).
std::unique_ptr<HighLowFilter> DesignPassBand(const EqBand& band, double sampleRate,
                                              std::vector<BandSkip>* skipped) {
  const double nyquist = sampleRate * 0.5;
  const bool highPass = band.type == ToCode(EqBandType::HighPass);
  if (const std::string fault = PassValueFault(band, highPass); !fault.empty()) {
    NoteSkip(skipped, band, BandSkipReason::NoFilter, fault);
    return nullptr;
  }
  if (!(nyquist >= band.cutoffFreq)) {
    NoteSkip(skipped, band, BandSkipReason::AboveNyquist,
             "its cutoff frequency " + Hz(band.cutoffFreq) + AboveHalfTheRate(nyquist));
    return nullptr;
  }
  if (!(nyquist >= band.stopFreq)) {
    NoteSkip(skipped, band, BandSkipReason::AboveNyquist,
             "its stop frequency " + Hz(band.stopFreq) + AboveHalfTheRate(nyquist));
    return nullptr;
  }
  const double ratio = highPass ? band.cutoffFreq / band.stopFreq : band.stopFreq / band.cutoffFreq;
  const auto order = EstimateHighLowOrder(band.gain, ratio);
  if (!order) {
    NoteSkip(skipped, band, BandSkipReason::OrderBeyondLimit,
             "its order would be " + FormatShortest(std::trunc(OrderEstimate(band.gain, ratio))) +
                 ", above the limit of " + std::to_string(kMaxHighLowOrder));
    return nullptr;
  }
  auto highLow = std::make_unique<HighLowFilter>();
  DesignHighLowFilter(*highLow, highPass ? kDesignHighPass : kDesignLowPass, *order,
                      band.cutoffFreq, sampleRate);
  if (SkipForFault(CheckSections(highLow->coefs, IdealResponse::Of(band, *order, sampleRate),
                                 sampleRate, band.cutoffFreq),
                   band, *order, skipped)) {
    return nullptr;
  }
  return highLow;
}

}  // namespace

int DesignBandFilters(const EqBandTable& bandTable, FilterChain& chain, double sampleRate,
                      std::vector<BandSkip>* skipped) {
  DesignPreamp(bandTable.preampDb, sampleRate, chain, skipped);
  for (const EqBand& band : bandTable) {
    if (band.enable != 1) {
      continue;
    }
    FilterEntry entry;
    entry.kind = band.type;
    entry.bandIndex = band.index;
    if (IsSingleSectionType(band.type)) {
      entry.bell = DesignSingleSectionBand(band, sampleRate, skipped);
    } else if (IsPassType(band.type)) {
      entry.highLow = DesignPassBand(band, sampleRate, skipped);
    } else {
      NoteSkip(skipped, band, BandSkipReason::UnknownType,
               "its type " + std::to_string(band.type) + " names no filter this program knows");
    }
    if (entry.bell || entry.highLow) {
      chain.entries.push_back(std::move(entry));
    }
  }
  return 1;
}

std::string DescribeBandSkip(const BandSkip& skip, double sampleRate) {
  if (skip.type == kPreampKind) {
    return "The preamp is left out: " + skip.detail + ".";
  }
  const char* name = BandTypeName(skip.type);
  const char* kind = name != nullptr ? name : "unknown type";
  return platform::FormatText("Band%.2d (%s) is left out at %s Hz: %s.",
                              static_cast<int>(skip.index), kind,
                              FormatShortest(sampleRate).c_str(), skip.detail.c_str());
}

void AppendFilterChain(const FilterChain& from, FilterChain& to) {
  for (const FilterEntry& entry : from.entries) {
    FilterEntry copy;
    copy.kind = entry.kind;
    copy.bandIndex = entry.bandIndex;
    if (entry.highLow) {
      copy.highLow = std::make_unique<HighLowFilter>(*entry.highLow);
      copy.highLow->states.assign(copy.highLow->states.size(), BiquadState{});
    }
    if (entry.bell) {
      copy.bell = std::make_unique<BellFilter>(*entry.bell);
      copy.bell->state = BiquadState{};
    }
    to.entries.push_back(std::move(copy));
  }
}

void FreeFilterChain(FilterChain& chain) {
  while (!chain.entries.empty()) {
    chain.entries.pop_back();
  }
  chain.entries.shrink_to_fit();
}

std::size_t CountSections(const FilterChain& chain) {
  std::size_t count = 0;
  ForEachSection(chain, [&count](const BiquadCoefs&, const BiquadState&) { ++count; });
  return count;
}

void ResetFilterStates(FilterChain& chain) {
  ForEachSection(chain, [](const BiquadCoefs&, BiquadState& state) { state = BiquadState{}; });
}

const char* BandTypeName(std::uint32_t type) {
  switch (type) {
    case ToCode(EqBandType::Bell): return "bell";
    case ToCode(EqBandType::HighPass): return "high-pass";
    case ToCode(EqBandType::LowPass): return "low-pass";
    case ToCode(EqBandType::LowShelf): return "low-shelf";
    case ToCode(EqBandType::HighShelf): return "high-shelf";
    case ToCode(EqBandType::Notch): return "notch";
    default: return nullptr;
  }
}
