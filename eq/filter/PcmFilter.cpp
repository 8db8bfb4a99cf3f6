// The filtering pass's one entry: it zeroes the states, picks the kernel and runs the samples
// through the plain pass or a wavefront kernel. Both use the section arithmetic below and the
// sample conversions of SampleIo.h, so every kernel gives the same bits.
#include "eq/filter/PcmFilter.h"

#include "eq/filter/PlainPass.h"

#include <algorithm>
#include <array>
#include <thread>
#include <vector>

#include "platform/process/FanOut.h"

namespace {

// The plain pass: each channel in turn, from zeroed states, in blocks of kFilterBlock values
// gathered from its interleaved positions.
template <typename Io>
void PlainPass(Io& io, typename Io::Sample* samples, std::uint32_t count, FilterChain& chain,
               std::uint16_t channels) {
  const std::size_t stride = std::max<std::uint16_t>(channels, 1);
  for (std::size_t channel = 0; channel < stride && channel < count; ++channel) {
    if (channel > 0) {
      ResetFilterStates(chain);
    }
    const std::size_t n = (count - channel + stride - 1) / stride;
    RunPlainChannel(io, samples + channel, n, stride, chain);
  }
}

// Frames below which a multi-channel buffer is not worth a thread per channel group.
constexpr std::uint32_t kThreadedFrames = 1U << 16;

// The wavefront pass over a multi-channel buffer with the channels spread over the processor's
// cores: each thread runs a disjoint span of channels with its own copy of `io`, and the limits
// statistics are summed afterwards. Channels never mix, so the samples are the same bits as one
// thread gives. A thread that cannot be started leaves its channels to this one.
template <typename Io>
void RunWavefrontOnCores(FilterKernel kernel, const FilterChain& chain, Io& io,
                         typename Io::Sample* samples, std::uint32_t count, std::uint16_t channels,
                         unsigned threads) {
  const unsigned cores = threads > 0 ? threads : std::max(1U, std::thread::hardware_concurrency());
  const unsigned groups =
      channels < 2 || count / channels < kThreadedFrames ? 1U : std::min<unsigned>(cores, channels);
  if (groups == 1) {
    RunWavefrontPass(kernel, chain, io, samples, count, channels);
    return;
  }
  std::vector<Io> ios(groups, io);
  std::vector<ChannelSpan> leftOver;
  {
    platform::FanOut pool;
    for (unsigned g = 0; g < groups; ++g) {
      const ChannelSpan span{static_cast<std::uint16_t>(channels * g / groups),
                             static_cast<std::uint16_t>(channels * (g + 1) / groups)};
      if (g + 1 == groups) {
        leftOver.push_back(span);  // the last group runs here
        continue;
      }
      if (!pool.Start([&, span, g] {
            RunWavefrontPass(kernel, chain, ios[g], samples, count, channels, span);
          })) {
        leftOver.push_back(span);
      }
    }
    Io& own = ios[groups - 1];
    for (const ChannelSpan& span : leftOver) {
      RunWavefrontPass(kernel, chain, own, samples, count, channels, span);
    }
    pool.Join();
  }
  for (const Io& part : ios) {
    io.stats.Add(part.stats);
  }
}

// The one dispatcher: state reset and kernel choice for every sample type.
template <typename Io>
int FilterWith(FilterKernel kernel, Io io, void* buffer, std::uint32_t count, FilterChain& chain,
               std::uint16_t channels, ClipStats* stats, unsigned threads) {
  auto* samples = static_cast<typename Io::Sample*>(buffer);
  ResetFilterStates(chain);
  if (count > 0) {
    // A chain without sections still stores every sample through `io`, which limits, masks and
    // counts it; the plain pass does that for every kernel.
    if (kernel == FilterKernel::Plain || !FilterKernelAvailable(kernel) ||
        CountSections(chain) == 0) {
      PlainPass(io, samples, count, chain, channels);
    } else {
      RunWavefrontOnCores(kernel, chain, io, samples, count, channels, threads);
    }
  }
  if (stats != nullptr) {
    stats->fullScale = io.stats.fullScale;
    stats->Add(io.stats);
  }
  return 1;
}

}  // namespace

void RunBellFilter(BellFilter& bell, const double* in, double* out, std::uint16_t count) {
  for (std::uint16_t i = 0; i < count; ++i) {
    out[i] = RunSection(bell.coefs, bell.state, in[i]);
  }
}

void RunHighLowFilter(HighLowFilter& filter, const double* in, double* out, std::uint16_t count) {
  const std::size_t sections = filter.coefs.size();
  for (std::uint16_t i = 0; i < count; ++i) {
    double x = in[i];
    for (std::size_t k = 0; k < sections; ++k) {
      x = RunSection(filter.coefs[k], filter.states[k], x);
    }
    out[i] = x;
  }
}

std::size_t SampleBytes(SampleEncoding encoding) {
  switch (encoding) {
    case SampleEncoding::Pcm8: return 1;
    case SampleEncoding::Pcm16: return 2;
    case SampleEncoding::Pcm24: return 3;
    case SampleEncoding::Pcm32:
    case SampleEncoding::Float32: return 4;
    case SampleEncoding::Float64: return 8;
  }
  return 0;
}

int FilterSamples(FilterKernel kernel, const SampleFormat& format, void* samples,
                  std::uint32_t count, FilterChain& chain, std::uint16_t channels, ClipStats* stats,
                  unsigned threads) {
  return VisitSampleIo(format, [&](auto io) {
    return FilterWith(kernel, io, samples, count, chain, channels, stats, threads);
  });
}

int FilterPcm16With(FilterKernel kernel, std::int16_t* samples, std::uint32_t count,
                    FilterChain& chain, std::uint16_t channels) {
  return FilterSamples(kernel, {SampleEncoding::Pcm16, 0}, samples, count, chain, channels);
}

int FilterPcm8With(FilterKernel kernel, std::uint8_t* samples, std::uint32_t count,
                   FilterChain& chain, std::uint16_t channels) {
  return FilterSamples(kernel, {SampleEncoding::Pcm8, 0}, samples, count, chain, channels);
}

int FilterPcm16(std::int16_t* samples, std::uint32_t count, FilterChain& chain,
                std::uint16_t channels) {
  return FilterPcm16With(BestFilterKernel(), samples, count, chain, channels);
}

int FilterPcm8(std::uint8_t* samples, std::uint32_t count, FilterChain& chain,
               std::uint16_t channels) {
  return FilterPcm8With(BestFilterKernel(), samples, count, chain, channels);
}
