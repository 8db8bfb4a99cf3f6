#pragma once
// The wavefront kernels of the fast filtering pass, shared by the pass, its stream and its
// segments (internal to the engine). The fast filtering pass. Every section keeps its own
// arithmetic exactly,
//   w = (x - w1 a1) - w2 a2,  y = (w b0 + w1 b1) + w2 b2,
// but the sections no longer wait for each other: section k works on sample t - k while
// section 0 works on sample t, so all sections of the chain advance together in one loop, L of
// them per vector register (a wavefront). A section's results depend only on its own earlier
// values and on the previous section's output for the same sample, so the order of the work
// does not change a single bit of the output; vector adds and multiplies round exactly like
// their scalar forms (no fused multiply-add: -ffp-contract=off).

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#if defined(_WIN32)
#include <malloc.h>
#endif
#include <cstring>
#include <new>
#include <vector>

#include "eq/design/FilterChain.h"
#include "eq/filter/SampleIo.h"
#include "eq/filter/WavefrontFilter.h"

namespace wavefront {

// The chain's sections in running order, their coefficients laid out for the vector lanes:
// five arrays (b0, b1, b2, a1, a2) of `padded` doubles each, padded with zeros to whole vectors.
struct SectionPlan {
  std::size_t count = 0;
  std::size_t padded = 0;
  std::vector<double> b0, b1, b2, a1, a2;
};

// The sections [first, end) of the chain's running order.
inline SectionPlan MakePlan(const FilterChain& chain, std::size_t lanes, std::size_t first = 0,
                            std::size_t end = SIZE_MAX) {
  SectionPlan plan;
  std::size_t index = 0;
  ForEachSection(chain, [&](const BiquadCoefs& c, const BiquadState&) {
    const std::size_t k = index++;
    if (k < first || k >= end) {
      return;
    }
    plan.b0.push_back(c.b0);
    plan.b1.push_back(c.b1);
    plan.b2.push_back(c.b2);
    plan.a1.push_back(c.a1);
    plan.a2.push_back(c.a2);
  });
  plan.count = plan.b0.size();
  plan.padded = (plan.count + lanes - 1) / lanes * lanes;
  for (auto* v : {&plan.b0, &plan.b1, &plan.b2, &plan.a1, &plan.a2}) {
    v->resize(plan.padded, 0.0);
  }
  return plan;
}

// Zeroed doubles aligned for the widest vector.
struct AlignedDoubles {
  explicit AlignedDoubles(std::size_t count) {
    const std::size_t bytes = (count * sizeof(double) + 63) / 64 * 64;
#if defined(_WIN32)
    data = static_cast<double*>(_aligned_malloc(bytes, 64));
#else
    data = static_cast<double*>(std::aligned_alloc(64, bytes));
#endif
    if (data == nullptr) {
      throw std::bad_alloc();
    }
    std::memset(data, 0, count * sizeof(double));
  }
  ~AlignedDoubles() {
#if defined(_WIN32)
    _aligned_free(data);
#else
    std::free(data);
#endif
  }
  AlignedDoubles(const AlignedDoubles&) = delete;
  AlignedDoubles& operator=(const AlignedDoubles&) = delete;
  double* data = nullptr;
};

#if defined(__GNUC__)

typedef double Vec2 __attribute__((vector_size(16)));
typedef double Vec4 __attribute__((vector_size(32)));
typedef double Vec8 __attribute__((vector_size(64)));
template <int L>
struct VecOf;
template <>
struct VecOf<2> {
  using type = Vec2;
};
template <>
struct VecOf<4> {
  using type = Vec4;
};
template <>
struct VecOf<8> {
  using type = Vec8;
};

// One channel through the whole chain as a wavefront of L-wide vectors. Section k works on
// sample s - kSkew * k at step s, so a section takes the previous section's output of two steps
// before: the chain of adds and multiplies from one section's input to its output then spreads
// over two steps, and the work of a step is no longer one such chain long. Step s feeds sample
// s into section 0 and takes sample s - Lag out of the last section; before the first sample
// and after the last one the wavefront is fed zeros, which leave a zero state exactly as it is
// (only the sign of a zero can differ, which no later non-zero result or conversion sees).
// The samples are converted to and from doubles a chunk at a time, outside the loop of steps.
// `Groups` is the group count when it is known at compile time (the states then stay in
// registers), or 0 for any count (the states then live in `state`).
//
// A stream runs a channel block by block: `state` then carries the wavefront from one call to
// the next, `done` counts the steps of the earlier calls, and only the last call (`flush`) feeds
// the closing zeros. Step s of the whole stream writes sample s - Lag, so a call writes up to
// Lag samples in front of `samples` (the end of the block before); the caller leaves room.
constexpr std::size_t kSkew = 2;

// Steps an output trails its input by, for a plan of `count` sections.
constexpr std::size_t LagOf(std::size_t count) { return count > 0 ? kSkew * (count - 1) : 0; }

// The state of a wavefront: w1, w2 and the outputs of the last two steps (the older first),
// `padded` doubles each.
constexpr std::size_t kStateArrays = 4;

// Runs `k` steps of the wavefront stored at `state` over the inputs `in`, leaving the last
// section's outputs in `out`. `Groups` is the group count when it is known at compile time (the
// states then stay in registers for the chunk), or 0 for any count (they then stay in memory).
template <int L, int Groups>
[[gnu::always_inline]] inline void RunSteps(std::size_t groups, const double* coefs, double* state,
                                            std::size_t last, const double* in, double* out,
                                            std::size_t k) {
  using V = typename VecOf<L>::type;
  constexpr int kFixed = Groups > 0 ? Groups : 1;  // NOLINT(bugprone-branch-clone): per instance
  const V* b0 = reinterpret_cast<const V*>(coefs);
  const V* b1 = b0 + groups;
  const V* b2 = b1 + groups;
  const V* a1 = b2 + groups;
  const V* a2 = a1 + groups;
  V* stored = reinterpret_cast<V*>(state);
  V fixed[kStateArrays][kFixed] = {};
  if constexpr (Groups > 0) {
    for (std::size_t a = 0; a < kStateArrays; ++a) {
      for (int g = 0; g < Groups; ++g) {
        fixed[a][g] = stored[a * Groups + g];
      }
    }
  }
  V* w1 = Groups > 0 ? fixed[0] : stored;
  V* w2 = Groups > 0 ? fixed[1] : w1 + groups;
  // Step s reads the outputs of step s - 2 from `older` and leaves its own there; `newer` holds
  // those of step s - 1, so the two trade places after every step.
  V* older = Groups > 0 ? fixed[2] : w2 + groups;
  V* newer = Groups > 0 ? fixed[3] : older + groups;
  const std::size_t lastGroup = last / L;
  const std::size_t lastLane = last % L;
  // One step: from the last group down, so that each group still sees the output of the group
  // before it from two steps back.
  auto step = [&](V * y, double sample) __attribute__((always_inline)) {
    V input = {};
    input[L - 1] = sample;
    auto group = [&](std::size_t g) __attribute__((always_inline)) {
      const V below = g > 0 ? y[g - 1] : input;
      V x;
      if constexpr (L == 2) {
        x = __builtin_shufflevector(y[g], below, 3, 0);
      } else if constexpr (L == 4) {
        x = __builtin_shufflevector(y[g], below, 7, 0, 1, 2);
      } else {
        x = __builtin_shufflevector(y[g], below, 15, 0, 1, 2, 3, 4, 5, 6);
      }
      const V p1 = w1[g];
      const V p2 = w2[g];
      const V w = (x - p1 * a1[g]) - p2 * a2[g];
      y[g] = (w * b0[g] + p1 * b1[g]) + p2 * b2[g];
      w2[g] = p1;
      w1[g] = w;
    };
    if constexpr (Groups > 0) {
#pragma GCC unroll 16
      for (int g = Groups - 1; g >= 0; --g) {
        group(static_cast<std::size_t>(g));
      }
    } else {
      for (std::size_t g = groups; g-- > 0;) {
        group(g);
      }
    }
    return y[lastGroup][lastLane];
  };
  // Two steps at a time, one on each set of outputs.
  std::size_t i = 0;
  for (; i + 1 < k; i += 2) {
    out[i] = step(older, in[i]);
    out[i + 1] = step(newer, in[i + 1]);
  }
  const bool odd = i < k;
  if (odd) {
    out[i] = step(older, in[i]);
  }
  if constexpr (Groups > 0) {
    for (std::size_t a = 0; a < kStateArrays; ++a) {
      for (int g = 0; g < Groups; ++g) {
        stored[a * Groups + g] = fixed[a][g];
      }
    }
  }
  if (odd) {
    // The step after an odd one reads the other set: trade the stored sets.
    V* sets = stored + 2 * groups;
    for (std::size_t g = 0; g < groups; ++g) {
      std::swap(sets[g], sets[groups + g]);
    }
  }
}

// One channel through the whole chain, `n` inputs from `source`, outputs to `sink`; see above.
template <int L, int Groups, typename Source, typename Sink>
[[gnu::always_inline]] inline void RunWavefront(const SectionPlan& plan, const double* coefs,
                                                double* state, Source& source, Sink& sink,
                                                std::size_t n, std::uint64_t done, bool flush) {
  constexpr std::size_t kChunk = kWavefrontChunk;
  const std::size_t groups = Groups > 0 ? static_cast<std::size_t>(Groups) : plan.padded / L;
  alignas(64) double in[kChunk];
  alignas(64) double out[kChunk];
  const std::size_t last = plan.count - 1;
  const std::size_t lag = LagOf(plan.count);
  const std::size_t steps = n + (flush ? lag : 0);
  for (std::size_t chunk = 0; chunk < steps; chunk += kChunk) {
    const std::size_t k = std::min(kChunk, steps - chunk);
    const std::size_t real = chunk < n ? std::min(k, n - chunk) : 0;
    source.Read(in, chunk, real);
    for (std::size_t i = real; i < k; ++i) {
      in[i] = 0.0;
    }
    RunSteps<L, Groups>(groups, coefs, state, last, in, out, k);
    // Step s leaves sample s - lag; the first `lag` steps of the stream leave nothing yet.
    const std::uint64_t reached = done + chunk;
    const std::size_t first = reached >= lag ? 0 : static_cast<std::size_t>(lag - reached);
    if (first < k) {
      sink.Write(out + first,
                 static_cast<std::ptrdiff_t>(chunk + first) - static_cast<std::ptrdiff_t>(lag),
                 k - first);
    }
  }
}

// Samples of one channel of an interleaved buffer as a wavefront's inputs and outputs,
// converted by `io`.
template <typename Io>
struct SampleSource {
  const Io& io;
  const typename Io::Sample* samples;
  std::size_t stride;
  void Read(double* in, std::size_t from, std::size_t count) const {
    for (std::size_t i = 0; i < count; ++i) {
      in[i] = io.In(samples[(from + i) * stride]);
    }
  }
};
template <typename Io>
struct SampleSink {
  Io& io;
  typename Io::Sample* samples;
  std::size_t stride;
  void Write(const double* out, std::ptrdiff_t position, std::size_t count) {
    StoreOutputs(io, out, samples + position * static_cast<std::ptrdiff_t>(stride), count, stride);
  }
};

// Runs one channel with the kernel for its group count: register-resident up to 12 groups,
// memory-resident beyond.
template <int L, typename Source, typename Sink>
[[gnu::always_inline]] inline void RunChannel(const SectionPlan& plan, const double* coefs,
                                              double* state, Source& source, Sink& sink,
                                              std::size_t n, std::uint64_t done, bool flush) {
#define TONVALE_RUN_GROUPS(G) \
  RunWavefront<L, G, Source, Sink>(plan, coefs, state, source, sink, n, done, flush)
  switch (plan.padded / L) {
    case 1: TONVALE_RUN_GROUPS(1); return;
    case 2: TONVALE_RUN_GROUPS(2); return;
    case 3: TONVALE_RUN_GROUPS(3); return;
    case 4: TONVALE_RUN_GROUPS(4); return;
    case 5: TONVALE_RUN_GROUPS(5); return;
    case 6: TONVALE_RUN_GROUPS(6); return;
    case 7: TONVALE_RUN_GROUPS(7); return;
    case 8: TONVALE_RUN_GROUPS(8); return;
    case 9: TONVALE_RUN_GROUPS(9); return;
    case 10: TONVALE_RUN_GROUPS(10); return;
    case 11: TONVALE_RUN_GROUPS(11); return;
    case 12: TONVALE_RUN_GROUPS(12); return;
    default: TONVALE_RUN_GROUPS(0); return;
  }
#undef TONVALE_RUN_GROUPS
}

// The plan's coefficients as the kernels read them: five arrays of `padded` doubles.
inline void FillCoefs(const SectionPlan& plan, double* coefs) {
  for (std::size_t i = 0; i < plan.padded; ++i) {
    coefs[i] = plan.b0[i];
    coefs[plan.padded + i] = plan.b1[i];
    coefs[2 * plan.padded + i] = plan.b2[i];
    coefs[3 * plan.padded + i] = plan.a1[i];
    coefs[4 * plan.padded + i] = plan.a2[i];
  }
}

template <int L, typename Io>
[[gnu::always_inline]] inline void RunChannels(const FilterChain& chain, Io& io,
                                               typename Io::Sample* samples, std::uint32_t count,
                                               std::uint16_t channels, ChannelSpan span) {
  const SectionPlan plan = MakePlan(chain, L);
  if (plan.count == 0 || count == 0) {
    return;  // nothing to run (the dispatcher sends an empty chain to the plain pass)
  }
  AlignedDoubles coefs(5 * plan.padded);
  FillCoefs(plan, coefs.data);
  AlignedDoubles state(kStateArrays * plan.padded);
  const std::size_t stride = channels > 0 ? channels : 1;
  const std::size_t end = std::min<std::size_t>(span.end, stride);
  for (std::size_t channel = span.first; channel < end && channel < count; ++channel) {
    std::memset(state.data, 0, kStateArrays * plan.padded * sizeof(double));
    const std::size_t n = (count - channel + stride - 1) / stride;
    SampleSource<Io> source{io, samples + channel, stride};
    SampleSink<Io> sink{io, samples + channel, stride};
    RunChannel<L>(plan, coefs.data, state.data, source, sink, n, 0, true);
  }
}

// One kernel per vector width, for every sample type: the width's instruction set is the
// function's target, and the whole wavefront is inlined into it.
template <typename Io>
void Portable(const FilterChain& chain, Io& io, typename Io::Sample* s, std::uint32_t n,
              std::uint16_t c, ChannelSpan span) {
  RunChannels<2>(chain, io, s, n, c, span);
}
#if defined(__x86_64__)
template <typename Io>
__attribute__((target("avx2"))) void Avx2(const FilterChain& chain, Io& io, typename Io::Sample* s,
                                          std::uint32_t n, std::uint16_t c, ChannelSpan span) {
  RunChannels<4>(chain, io, s, n, c, span);
}
template <typename Io>
__attribute__((target("avx512f"))) void Avx512(const FilterChain& chain, Io& io,
                                               typename Io::Sample* s, std::uint32_t n,
                                               std::uint16_t c, ChannelSpan span) {
  RunChannels<8>(chain, io, s, n, c, span);
}
#endif

// The same kernels for a stream, one block at a time, from any source to any sink.
template <typename Source, typename Sink>
void PortableBlock(const SectionPlan& plan, const double* coefs, double* state, Source& source,
                   Sink& sink, std::size_t n, std::uint64_t done, bool flush) {
  RunChannel<2>(plan, coefs, state, source, sink, n, done, flush);
}
#if defined(__x86_64__)
template <typename Source, typename Sink>
__attribute__((target("avx2"))) void Avx2Block(const SectionPlan& plan, const double* coefs,
                                               double* state, Source& source, Sink& sink,
                                               std::size_t n, std::uint64_t done, bool flush) {
  RunChannel<4>(plan, coefs, state, source, sink, n, done, flush);
}
template <typename Source, typename Sink>
__attribute__((target("avx512f"))) void Avx512Block(const SectionPlan& plan, const double* coefs,
                                                    double* state, Source& source, Sink& sink,
                                                    std::size_t n, std::uint64_t done, bool flush) {
  RunChannel<8>(plan, coefs, state, source, sink, n, done, flush);
}
#endif

#endif  // __GNUC__

// Runs `n` steps of a carried wavefront with the kernel's vector width.
template <typename Source, typename Sink>
void RunBlock(FilterKernel kernel, const SectionPlan& plan, const double* coefs, double* state,
              Source& source, Sink& sink, std::size_t n, std::uint64_t done, bool flush) {
#if defined(__GNUC__)
  switch (kernel) {
#if defined(__x86_64__)
    case FilterKernel::Avx512:
      Avx512Block(plan, coefs, state, source, sink, n, done, flush);
      return;
    case FilterKernel::Avx2: Avx2Block(plan, coefs, state, source, sink, n, done, flush); return;
#endif
    default: PortableBlock(plan, coefs, state, source, sink, n, done, flush); return;
  }
#endif
}

}  // namespace wavefront
