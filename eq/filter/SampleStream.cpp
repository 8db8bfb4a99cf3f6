#include "eq/filter/SampleStream.h"

#include <algorithm>
#include <thread>
#include <type_traits>
#include <vector>

#include "eq/filter/PlainPass.h"
#include "eq/filter/SplitStream.h"
#include "platform/process/FanOut.h"

namespace {

template <typename Io>
class TypedStream final : public SampleStream {
 public:
  TypedStream(FilterKernel kernel, const Io& io, FilterChain& chain, std::uint16_t channels,
              unsigned threads)
      : m_chain(chain),
        m_channels(std::max<std::uint16_t>(channels, 1)),
        m_ios(m_channels, io),
        m_threads(threads > 0 ? threads : std::max(1U, std::thread::hardware_concurrency())) {
    // A chain without sections goes through the plain pass, which still stores every sample
    // through the limits, as the whole-buffer pass does.
    if (kernel != FilterKernel::Plain && FilterKernelAvailable(kernel) &&
        CountSections(chain) > 0) {
      m_wavefront = std::make_unique<WavefrontStream>(kernel, chain, m_channels);
    } else {
      std::vector<BiquadState> zeroed;
      ForEachSection(chain, [&zeroed](const BiquadCoefs&, const BiquadState&) {
        zeroed.push_back(BiquadState{});
      });
      m_plainStates.assign(m_channels, zeroed);
    }
  }

  std::size_t LagFrames() const override { return m_wavefront ? m_wavefront->Lag() : 0; }

  std::pair<std::ptrdiff_t, std::ptrdiff_t> Filter(void* block, std::size_t frames,
                                                   bool final) override {
    auto* samples = static_cast<typename Io::Sample*>(block);
    if (m_wavefront) {
      RunChannels([&](std::uint16_t c) { m_wavefront->Run(m_ios[c], samples, frames, c, final); });
    } else {
      for (std::uint16_t c = 0; c < m_channels; ++c) {
        RunPlain(samples, frames, c);
      }
    }
    const std::uint64_t lag = LagFrames();
    const std::uint64_t before = m_done;
    m_done += frames;
    const std::uint64_t finishedBefore = before > lag ? before - lag : 0;
    const std::uint64_t finishedNow = final ? m_done : (m_done > lag ? m_done - lag : 0);
    return {static_cast<std::ptrdiff_t>(finishedBefore) - static_cast<std::ptrdiff_t>(before),
            static_cast<std::ptrdiff_t>(finishedNow) - static_cast<std::ptrdiff_t>(before)};
  }

  unsigned Threads() const override {
    return m_wavefront ? std::min<unsigned>(m_threads, m_channels) : 1U;
  }

  ClipStats Stats() const override {
    ClipStats total;
    for (const Io& io : m_ios) {
      total.fullScale = io.stats.fullScale;
      total.Add(io.stats);
    }
    return total;
  }

 private:
  // Runs `run(channel)` for every channel, spread over the threads allowed; channels never
  // share state, so the bits do not depend on the spreading.
  template <typename Run>
  void RunChannels(Run run) {
    const unsigned groups = std::min<unsigned>(m_threads, m_channels);
    platform::FanOut pool;
    std::vector<unsigned> leftOver;
    for (unsigned g = 1; g < groups; ++g) {
      if (!pool.Start([&, g] { RunGroup(run, g, groups); })) {
        leftOver.push_back(g);  // this thread runs the group instead
      }
    }
    leftOver.push_back(0);
    for (const unsigned g : leftOver) {
      RunGroup(run, g, groups);
    }
    pool.Join();
  }

  // Runs `run(channel)` for the channels of group `g` of `groups`.
  template <typename Run>
  void RunGroup(Run& run, unsigned g, unsigned groups) {
    for (unsigned c = m_channels * g / groups; c < m_channels * (g + 1) / groups; ++c) {
      run(static_cast<std::uint16_t>(c));
    }
  }

  // The plain pass keeps one channel's states in the chain while it runs that channel.
  void RunPlain(typename Io::Sample* samples, std::size_t frames, std::uint16_t channel) {
    std::vector<BiquadState>& saved = m_plainStates[channel];
    std::size_t k = 0;
    ForEachSection(m_chain, [&](const BiquadCoefs&, BiquadState& state) { state = saved[k++]; });
    RunPlainChannel(m_ios[channel], samples + channel, frames, m_channels, m_chain);
    k = 0;
    ForEachSection(m_chain, [&](const BiquadCoefs&, BiquadState& state) { saved[k++] = state; });
  }

  FilterChain& m_chain;
  std::uint16_t m_channels;
  std::vector<Io> m_ios;
  unsigned m_threads;
  std::unique_ptr<WavefrontStream> m_wavefront;
  std::vector<std::vector<BiquadState>> m_plainStates;
  std::uint64_t m_done = 0;
};

}  // namespace

std::unique_ptr<SampleStream> SampleStream::Create(FilterKernel kernel, const SampleFormat& format,
                                                   FilterChain& chain, std::uint16_t channels,
                                                   unsigned threads) {
  // One channel and two threads or more: the chain's sections may run on two threads.
  const unsigned allowed = threads > 0 ? threads : std::thread::hardware_concurrency();
  if (channels <= 1 && allowed >= 2) {
    if (auto split = CreateSplitStream(kernel, format, chain)) {
      return split;
    }
  }
  return VisitSampleIo(format, [&](const auto& io) -> std::unique_ptr<SampleStream> {
    using Io = std::decay_t<decltype(io)>;
    return std::make_unique<TypedStream<Io>>(kernel, io, chain, channels, threads);
  });
}
