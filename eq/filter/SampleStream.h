#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>

#include "eq/design/FilterChain.h"
#include "eq/filter/PcmFilter.h"
#include "eq/filter/SampleIo.h"
#include "eq/filter/WavefrontFilter.h"

/// Filters a file's interleaved samples block by block, each channel through `chain` from
/// zeroed states at the start of the stream, with the bits the whole-buffer pass (FilterSamples)
/// gives the whole file: the states carry from one block to the next. With a wavefront kernel
/// the results trail the input by LagFrames() frames, which the caller's buffer keeps room for
/// in front of each block.
class SampleStream {
 public:
  /// `chain` (designed for the stream's sample rate) must outlive the stream; its states are
  /// used by the plain pass. An unavailable kernel falls back to Plain, as in FilterSamples. At
  /// most `threads` threads (0: the processor count) run the channels of a block; a single channel
  /// with two threads or more runs its chain's sections on two threads.
  static std::unique_ptr<SampleStream> Create(FilterKernel kernel, const SampleFormat& format,
                                              FilterChain& chain, std::uint16_t channels,
                                              unsigned threads);
  virtual ~SampleStream() = default;

  /// Frames the results trail the input by; the room a block needs in front of it.
  virtual std::size_t LagFrames() const = 0;

  /// Filters `frames` new frames at `block` in place; `final` when no frames follow. Returns
  /// the frames this call finished, as [first, end) counted from `block` in frames: first may
  /// be as low as -LagFrames() (the end of the block before, whose results come now).
  virtual std::pair<std::ptrdiff_t, std::ptrdiff_t> Filter(void* block, std::size_t frames,
                                                           bool final) = 0;

  /// What the limits of the stored values changed so far, all channels.
  virtual ClipStats Stats() const = 0;

  /// The threads it keeps busy while it filters a block.
  virtual unsigned Threads() const = 0;
};
