#include "eq/FilterChain.h"

#include <cmath>

std::optional<std::uint16_t> EstimateHighLowOrder(double gain, double ratio) {
  if (!(gain >= 0.0) || !(ratio > 1.0)) {
    return std::nullopt;
  }
  // Evaluated in this order: the quotient by log10(ratio), then by 20, then the 0.98 offset
  // that rounds a shortfall of under 0.02 of an order down.
  const double estimate = gain / std::log10(ratio) / 20.0 + 0.98;
  if (!(estimate < static_cast<double>(kMaxHighLowOrder) + 1.0)) {
    return std::nullopt;
  }
  return static_cast<std::uint16_t>(std::trunc(estimate));
}

int DesignBandFilters(const EqBandTable& bandTable, FilterChain& chain, double sampleRate) {
  const double nyquist = sampleRate * 0.5;
  for (const EqBand& band : bandTable) {
    if (band.enable != 1) {
      continue;
    }
    if (band.type == ToCode(EqBandType::Bell)) {
      if (!(nyquist >= band.centFreq)) {
        continue;
      }
      FilterEntry entry;
      entry.kind = band.type;
      entry.bell = std::make_unique<BellFilter>(
          DesignBellFilter(band.centFreq, band.gain, band.qual, sampleRate));
      chain.entries.push_back(std::move(entry));
    } else if (band.type == ToCode(EqBandType::HighPass) ||
               band.type == ToCode(EqBandType::LowPass)) {
      if (!(nyquist >= band.cutoffFreq) || !(nyquist >= band.stopFreq)) {
        continue;
      }
      if (!(band.cutoffFreq >= kMinPassBandFreq) || !(band.stopFreq >= kMinPassBandFreq)) {
        continue;
      }
      const bool highPass = band.type == ToCode(EqBandType::HighPass);
      const double ratio =
          highPass ? band.cutoffFreq / band.stopFreq : band.stopFreq / band.cutoffFreq;
      const auto order = EstimateHighLowOrder(band.gain, ratio);
      if (!order) {
        continue;
      }
      FilterEntry entry;
      entry.kind = band.type;
      entry.highLow = std::make_unique<HighLowFilter>();
      DesignHighLowFilter(*entry.highLow, highPass ? kDesignHighPass : kDesignLowPass, *order,
                          band.cutoffFreq, sampleRate);
      chain.entries.push_back(std::move(entry));
    }
  }
  return 1;
}

void FreeFilterChain(FilterChain& chain) {
  while (!chain.entries.empty()) {
    chain.entries.pop_back();
  }
  chain.entries.shrink_to_fit();
}
