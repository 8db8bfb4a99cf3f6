// The fast filtering pass over a whole buffer and over a stream of blocks; the kernels and
// their arithmetic are described in WavefrontKernel.h.
#include "eq/filter/WavefrontFilter.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "eq/filter/WavefrontKernel.h"

using wavefront::AlignedDoubles;
using wavefront::FillCoefs;
using wavefront::kStateArrays;
using wavefront::LagOf;
using wavefront::MakePlan;
using wavefront::Portable;
using wavefront::RunBlock;
using wavefront::SampleSink;
using wavefront::SampleSource;
using wavefront::SectionPlan;
#if defined(__x86_64__)
using wavefront::Avx2;
using wavefront::Avx512;
#endif

std::size_t FilterKernelLanes(FilterKernel kernel) {
  switch (kernel) {
    case FilterKernel::Avx512: return 8;
    case FilterKernel::Avx2: return 4;
    case FilterKernel::Portable: return 2;
    case FilterKernel::Plain: return 1;
  }
  return 1;
}

struct WavefrontStream::Impl {
  Impl(FilterKernel k, const FilterChain& chain, std::uint16_t channels)
      : kernel(k),
        plan(MakePlan(chain, FilterKernelLanes(k))),
        coefs(5 * plan.padded),
        states(std::max<std::uint16_t>(channels, 1)),
        done(std::max<std::uint16_t>(channels, 1), 0) {
    FillCoefs(plan, coefs.data);
    for (auto& state : states) {
      state = std::make_unique<AlignedDoubles>(kStateArrays * plan.padded);
    }
  }

  template <typename Io>
  void Run(Io& io, typename Io::Sample* block, std::size_t frames, std::uint16_t channel,
           bool flush) {
    const std::size_t stride = states.size();
    SampleSource<Io> source{io, block + channel, stride};
    SampleSink<Io> sink{io, block + channel, stride};
    RunBlock(kernel, plan, coefs.data, states[channel]->data, source, sink, frames, done[channel],
             flush);
    done[channel] += frames;
  }

  FilterKernel kernel;
  SectionPlan plan;
  AlignedDoubles coefs;
  std::vector<std::unique_ptr<AlignedDoubles>> states;
  std::vector<std::uint64_t> done;
};

WavefrontStream::WavefrontStream(FilterKernel kernel, const FilterChain& chain,
                                 std::uint16_t channels)
    : m_impl(std::make_unique<Impl>(kernel, chain, channels)) {}

WavefrontStream::~WavefrontStream() = default;

std::size_t WavefrontStream::Lag() const { return LagOf(m_impl->plan.count); }

// One entry per sample type, each the same run.
void WavefrontStream::Run(Pcm8Io& io, Pcm8Io::Sample* block, std::size_t frames,
                          std::uint16_t channel, bool flush) {
  m_impl->Run(io, block, frames, channel, flush);
}
void WavefrontStream::Run(Pcm16Io& io, Pcm16Io::Sample* block, std::size_t frames,
                          std::uint16_t channel, bool flush) {
  m_impl->Run(io, block, frames, channel, flush);
}
void WavefrontStream::Run(Pcm24Io& io, Pcm24Io::Sample* block, std::size_t frames,
                          std::uint16_t channel, bool flush) {
  m_impl->Run(io, block, frames, channel, flush);
}
void WavefrontStream::Run(Pcm32Io& io, Pcm32Io::Sample* block, std::size_t frames,
                          std::uint16_t channel, bool flush) {
  m_impl->Run(io, block, frames, channel, flush);
}
void WavefrontStream::Run(Float32Io& io, Float32Io::Sample* block, std::size_t frames,
                          std::uint16_t channel, bool flush) {
  m_impl->Run(io, block, frames, channel, flush);
}
void WavefrontStream::Run(Float64Io& io, Float64Io::Sample* block, std::size_t frames,
                          std::uint16_t channel, bool flush) {
  m_impl->Run(io, block, frames, channel, flush);
}

namespace {

template <typename Io>
void RunPass(FilterKernel kernel, const FilterChain& chain, Io& io, typename Io::Sample* samples,
             std::uint32_t count, std::uint16_t channels, ChannelSpan span) {
#if defined(__GNUC__)
  switch (kernel) {
#if defined(__x86_64__)
    case FilterKernel::Avx512: Avx512(chain, io, samples, count, channels, span); return;
    case FilterKernel::Avx2: Avx2(chain, io, samples, count, channels, span); return;
#endif
    default: Portable(chain, io, samples, count, channels, span); return;
  }
#endif
}

}  // namespace

// One entry per sample type, each the same pass.
void RunWavefrontPass(FilterKernel kernel, const FilterChain& chain, Pcm8Io& io,
                      Pcm8Io::Sample* samples, std::uint32_t count, std::uint16_t channels,
                      ChannelSpan span) {
  RunPass(kernel, chain, io, samples, count, channels, span);
}
void RunWavefrontPass(FilterKernel kernel, const FilterChain& chain, Pcm16Io& io,
                      Pcm16Io::Sample* samples, std::uint32_t count, std::uint16_t channels,
                      ChannelSpan span) {
  RunPass(kernel, chain, io, samples, count, channels, span);
}
void RunWavefrontPass(FilterKernel kernel, const FilterChain& chain, Pcm24Io& io,
                      Pcm24Io::Sample* samples, std::uint32_t count, std::uint16_t channels,
                      ChannelSpan span) {
  RunPass(kernel, chain, io, samples, count, channels, span);
}
void RunWavefrontPass(FilterKernel kernel, const FilterChain& chain, Pcm32Io& io,
                      Pcm32Io::Sample* samples, std::uint32_t count, std::uint16_t channels,
                      ChannelSpan span) {
  RunPass(kernel, chain, io, samples, count, channels, span);
}
void RunWavefrontPass(FilterKernel kernel, const FilterChain& chain, Float32Io& io,
                      Float32Io::Sample* samples, std::uint32_t count, std::uint16_t channels,
                      ChannelSpan span) {
  RunPass(kernel, chain, io, samples, count, channels, span);
}
void RunWavefrontPass(FilterKernel kernel, const FilterChain& chain, Float64Io& io,
                      Float64Io::Sample* samples, std::uint32_t count, std::uint16_t channels,
                      ChannelSpan span) {
  RunPass(kernel, chain, io, samples, count, channels, span);
}
