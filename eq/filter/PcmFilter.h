#pragma once

#include <cstdint>

#include "eq/design/FilterChain.h"
#include "eq/filter/SampleIo.h"
#include "eq/filter/WavefrontFilter.h"

/// Number of values the plain filtering pass works on at a time.
inline constexpr std::uint32_t kFilterBlock = 1024;

/// Runs `count` values through the bell's section, in to out. The state carries on.
void RunBellFilter(BellFilter& bell, const double* in, double* out, std::uint16_t count);

/// Runs `count` values through the cascade's sections in order, in to out. A cascade without
/// sections copies in to out.
void RunHighLowFilter(HighLowFilter& filter, const double* in, double* out, std::uint16_t count);

/// Filters `count` signed 16-bit samples in place through `chain`. The samples are `channels`
/// interleaved channels; each channel runs through the chain on its own, from zeroed states,
/// so channels never mix (one channel is one plain stream). Results beyond the 16-bit range
/// saturate. Runs the fastest kernel the processor has; every kernel gives the plain pass's
/// samples bit for bit. Returns 1.
int FilterPcm16(std::int16_t* samples, std::uint32_t count, FilterChain& chain,
                std::uint16_t channels = 1);

/// The same for unsigned 8-bit samples: a byte s is filtered as (s - 128) * 256 and mapped back
/// with rounding offset 0.49 and saturation. Returns 1.
int FilterPcm8(std::uint8_t* samples, std::uint32_t count, FilterChain& chain,
               std::uint16_t channels = 1);

/// The sample types a filtering pass reads and writes in place.
enum class SampleEncoding { Pcm8, Pcm16, Pcm24, Pcm32, Float32, Float64 };

/// The samples of a buffer: their encoding and, for integers, how many of the container's
/// high bits carry signal (0: all); the others are written as zeros.
struct SampleFormat {
  SampleEncoding encoding = SampleEncoding::Pcm16;
  unsigned validBits = 0;
};

/// The mask that clears the low bits `validBits` leaves unused in a container of `bits` (all
/// ones for a full-width container).
template <typename Mask>
Mask LowBitsCleared(unsigned validBits, unsigned bits) {
  if (validBits == 0 || validBits >= bits) {
    return static_cast<Mask>(~0U);
  }
  return static_cast<Mask>(~((1U << (bits - validBits)) - 1U));
}

/// Returns `visit(io)` with the sample conversions of `format` (its mask set).
template <typename Visit>
auto VisitSampleIo(const SampleFormat& format, Visit visit) {
  const unsigned valid = format.validBits;
  switch (format.encoding) {
    case SampleEncoding::Pcm8: {
      Pcm8Io io;
      io.mask = LowBitsCleared<std::uint8_t>(valid, 8);
      return visit(io);
    }
    case SampleEncoding::Pcm16: {
      Pcm16Io io;
      io.mask = LowBitsCleared<std::int32_t>(valid, 16);
      return visit(io);
    }
    case SampleEncoding::Pcm24: {
      Pcm24Io io;
      io.mask = LowBitsCleared<std::int32_t>(valid, 24);
      return visit(io);
    }
    case SampleEncoding::Pcm32: {
      Pcm32Io io;
      io.mask = LowBitsCleared<std::int32_t>(valid, 32);
      return visit(io);
    }
    case SampleEncoding::Float32: {
      Float32Io io;
      return visit(io);
    }
    case SampleEncoding::Float64:
    default: {
      Float64Io io;
      return visit(io);
    }
  }
}

/// The size in bytes of one sample of `encoding`.
std::size_t SampleBytes(SampleEncoding encoding);

/// Filters `count` interleaved samples of `format` in place through `chain`, each of the
/// `channels` channels on its own from zeroed states, with `kernel` (an unavailable one falls
/// back to Plain; every kernel gives the same bits). What the limits of the stored values
/// changed is added into `*stats` when given. A long multi-channel buffer spreads its channels
/// over at most `threads` threads (0: the processor count). Returns 1.
int FilterSamples(FilterKernel kernel, const SampleFormat& format, void* samples,
                  std::uint32_t count, FilterChain& chain, std::uint16_t channels,
                  ClipStats* stats = nullptr, unsigned threads = 0);

/// FilterPcm16 and FilterPcm8 with a chosen kernel (an unavailable one falls back to Plain).
int FilterPcm16With(FilterKernel kernel, std::int16_t* samples, std::uint32_t count,
                    FilterChain& chain, std::uint16_t channels);
int FilterPcm8With(FilterKernel kernel, std::uint8_t* samples, std::uint32_t count,
                   FilterChain& chain, std::uint16_t channels);

/// The plain filtering pass: each filter of the chain over a block of kFilterBlock values at a
/// time, one sample after another. The reference the fast pass is checked against, and its
/// fallback. Same contract as FilterPcm16 / FilterPcm8.
inline int FilterPcm16Plain(std::int16_t* samples, std::uint32_t count, FilterChain& chain,
                            std::uint16_t channels = 1) {
  return FilterPcm16With(FilterKernel::Plain, samples, count, chain, channels);
}
inline int FilterPcm8Plain(std::uint8_t* samples, std::uint32_t count, FilterChain& chain,
                           std::uint16_t channels = 1) {
  return FilterPcm8With(FilterKernel::Plain, samples, count, chain, channels);
}
