#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "eq/design/FilterChain.h"
#include "eq/filter/SampleIo.h"

/// Implementations of the filtering pass, simplest first (a processor that runs one runs the
/// ones before it). All give bit-identical samples; they differ in speed.
enum class FilterKernel {
  Plain,     ///< one section over a block at a time, one sample after another (the reference)
  Portable,  ///< the wavefront with 2-wide vectors (SSE2 on x86-64)
  Avx2,      ///< the wavefront with 4-wide AVX2 vectors
  Avx512,    ///< the wavefront with 8-wide AVX-512 vectors
};

/// The fastest kernel this processor runs (detected once), unless the environment variable
/// TONVALE_FILTER_KERNEL names another available one (plain, portable, avx2, avx512).
FilterKernel BestFilterKernel();

/// True when this build and processor can run `kernel`.
bool FilterKernelAvailable(FilterKernel kernel);

/// The short name of a kernel, for benchmarks and messages.
const char* FilterKernelName(FilterKernel kernel);

/// The sections a kernel runs side by side in one vector (1 for Plain).
std::size_t FilterKernelLanes(FilterKernel kernel);

/// The channels [first, end) of an interleaved buffer.
struct ChannelSpan {
  std::uint16_t first = 0;
  std::uint16_t end = 0xFFFF;
};

/// Runs `count` interleaved samples of `channels` channels in place through `chain` with the
/// wavefront kernel `kernel` (not Plain; it must be available), each channel of `span` from
/// zeroed states of its own, converting them with `io` (which also counts what its limits
/// changed); the other channels are not touched, so threads may run disjoint spans of one
/// buffer. The chain's own states are not used. Called by the filtering pass's dispatcher
/// (PcmFilter.h), which owns the kernel choice.
void RunWavefrontPass(FilterKernel kernel, const FilterChain& chain, Pcm8Io& io,
                      Pcm8Io::Sample* samples, std::uint32_t count, std::uint16_t channels,
                      ChannelSpan span = {});
void RunWavefrontPass(FilterKernel kernel, const FilterChain& chain, Pcm16Io& io,
                      Pcm16Io::Sample* samples, std::uint32_t count, std::uint16_t channels,
                      ChannelSpan span = {});
void RunWavefrontPass(FilterKernel kernel, const FilterChain& chain, Pcm24Io& io,
                      Pcm24Io::Sample* samples, std::uint32_t count, std::uint16_t channels,
                      ChannelSpan span = {});
void RunWavefrontPass(FilterKernel kernel, const FilterChain& chain, Pcm32Io& io,
                      Pcm32Io::Sample* samples, std::uint32_t count, std::uint16_t channels,
                      ChannelSpan span = {});
void RunWavefrontPass(FilterKernel kernel, const FilterChain& chain, Float32Io& io,
                      Float32Io::Sample* samples, std::uint32_t count, std::uint16_t channels,
                      ChannelSpan span = {});
void RunWavefrontPass(FilterKernel kernel, const FilterChain& chain, Float64Io& io,
                      Float64Io::Sample* samples, std::uint32_t count, std::uint16_t channels,
                      ChannelSpan span = {});

/// The wavefront of every channel of a stream, carried from one block to the next, so that a
/// file filtered block by block gets the bits the whole-buffer pass gives. The output trails
/// the input by Lag() samples: a block's call writes the results of the previous block's last
/// Lag() frames in the Lag() frames in front of the block (the caller keeps that room and what
/// it holds is overwritten), then the results of its own frames but the last Lag(). The last
/// call (`flush`, with or without new frames) also writes those.
class WavefrontStream {
 public:
  /// `kernel` must be an available wavefront kernel (not Plain); `chain` must have sections.
  WavefrontStream(FilterKernel kernel, const FilterChain& chain, std::uint16_t channels);
  ~WavefrontStream();
  WavefrontStream(const WavefrontStream&) = delete;
  WavefrontStream& operator=(const WavefrontStream&) = delete;

  /// The chain's sections less one.
  std::size_t Lag() const;

  /// Runs `frames` new frames of `channel` of the interleaved block at `block`; distinct
  /// channels may run on distinct threads at once.
  void Run(Pcm8Io& io, Pcm8Io::Sample* block, std::size_t frames, std::uint16_t channel,
           bool flush);
  void Run(Pcm16Io& io, Pcm16Io::Sample* block, std::size_t frames, std::uint16_t channel,
           bool flush);
  void Run(Pcm24Io& io, Pcm24Io::Sample* block, std::size_t frames, std::uint16_t channel,
           bool flush);
  void Run(Pcm32Io& io, Pcm32Io::Sample* block, std::size_t frames, std::uint16_t channel,
           bool flush);
  void Run(Float32Io& io, Float32Io::Sample* block, std::size_t frames, std::uint16_t channel,
           bool flush);
  void Run(Float64Io& io, Float64Io::Sample* block, std::size_t frames, std::uint16_t channel,
           bool flush);

 private:
  struct Impl;
  std::unique_ptr<Impl> m_impl;
};

/// The most values a wavefront reads from its source, or gives its sink, in one call: it runs
/// its steps a chunk at a time.
inline constexpr std::size_t kWavefrontChunk = 1024;

/// Where a WavefrontSegment takes its inputs: values [from, from + count) of the current run.
class WavefrontSource {
 public:
  virtual void Read(double* in, std::size_t from, std::size_t count) = 0;

 protected:
  ~WavefrontSource() = default;
};

/// Where a WavefrontSegment leaves its outputs: the values for inputs [position, position +
/// count) of the current run, in order; `position` is below 0 for inputs of an earlier run.
class WavefrontSink {
 public:
  virtual void Write(const double* out, std::ptrdiff_t position, std::size_t count) = 0;

 protected:
  ~WavefrontSink() = default;
};

/// The sections [first, end) of a chain's running order as a wavefront of their own, carried
/// from one run to the next like a WavefrontStream's channel, its values taken from a source and
/// given to a sink, so that consecutive segments can run on separate threads with a hand-over
/// between them. Each section's arithmetic is the whole chain's, so the bits are the same.
class WavefrontSegment {
 public:
  /// `kernel` must be an available wavefront kernel (not Plain).
  WavefrontSegment(FilterKernel kernel, const FilterChain& chain, std::size_t first,
                   std::size_t end);
  ~WavefrontSegment();
  WavefrontSegment(const WavefrontSegment&) = delete;
  WavefrontSegment& operator=(const WavefrontSegment&) = delete;

  /// The sections it runs.
  std::size_t Sections() const;

  /// Inputs the outputs trail by, as WavefrontStream::Lag().
  std::size_t Lag() const;

  /// Feeds `steps` new inputs; `flush` on the last run, which also gives the last Lag() outputs.
  void Run(WavefrontSource& source, WavefrontSink& sink, std::size_t steps, bool flush);

 private:
  struct Impl;
  std::unique_ptr<Impl> m_impl;
};
