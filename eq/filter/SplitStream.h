#pragma once

#include <cstddef>
#include <memory>

#include "eq/design/FilterChain.h"
#include "eq/filter/SampleIo.h"
#include "eq/filter/SampleStream.h"
#include "eq/filter/WavefrontFilter.h"

/// A one-channel stream whose chain runs as two segments of sections on two threads: this one
/// runs the first half of the sections over each block while a worker runs the second half a
/// little behind it, the values handed over through a small ring. Each thread owns its
/// sections' states and every section's arithmetic is the whole chain's, so the bits are the
/// one-thread stream's. Null when the chain is too short to be worth it (one vector of sections
/// or less) or no worker thread can be started; the caller then runs one thread.
std::unique_ptr<SampleStream> CreateSplitStream(FilterKernel kernel, const SampleFormat& format,
                                                const FilterChain& chain);

/// The sections of a chain as two consecutive segments on two threads: the first half on the
/// thread that calls Run, the second on a worker thread of its own, a little behind it, the
/// values handed over through a ring. Each thread owns its segment's states, so the bits are the
/// whole chain's. CreateSplitStream's streams run one per channel.
class SplitSegments {
 public:
  /// Sections [0, split) of `chain`'s running order first, the rest second; `kernel` must be an
  /// available wavefront kernel (not Plain).
  SplitSegments(FilterKernel kernel, const FilterChain& chain, std::size_t split);
  ~SplitSegments();
  SplitSegments(const SplitSegments&) = delete;
  SplitSegments& operator=(const SplitSegments&) = delete;

  /// False when no worker thread could be started; Run must then not be called.
  bool HasWorker() const;

  /// Inputs the outputs trail by, as WavefrontSegment::Lag() of the whole chain.
  std::size_t Lag() const;

  /// Feeds `steps` new inputs from `source` through both segments, the outputs to `sink` at
  /// positions counted from this run's first input, as one WavefrontSegment of the whole chain
  /// gives them; `flush` on the last run.
  void Run(WavefrontSource& source, WavefrontSink& sink, std::size_t steps, bool flush);

 private:
  struct Impl;
  std::unique_ptr<Impl> m_impl;
};
