// A range of a chain's sections run as a wavefront of its own.
#include <memory>

#include "eq/filter/WavefrontFilter.h"
#include "eq/filter/WavefrontKernel.h"

using wavefront::AlignedDoubles;
using wavefront::FillCoefs;
using wavefront::kStateArrays;
using wavefront::LagOf;
using wavefront::MakePlan;
using wavefront::RunBlock;
using wavefront::SectionPlan;

struct WavefrontSegment::Impl {
  Impl(FilterKernel k, const FilterChain& chain, std::size_t first, std::size_t end)
      : kernel(k),
        plan(MakePlan(chain, FilterKernelLanes(k), first, end)),
        coefs(5 * plan.padded),
        state(kStateArrays * plan.padded) {
    FillCoefs(plan, coefs.data);
  }
  FilterKernel kernel;
  SectionPlan plan;
  AlignedDoubles coefs;
  AlignedDoubles state;
  std::uint64_t done = 0;
};

WavefrontSegment::WavefrontSegment(FilterKernel kernel, const FilterChain& chain, std::size_t first,
                                   std::size_t end)
    : m_impl(std::make_unique<Impl>(kernel, chain, first, end)) {}

WavefrontSegment::~WavefrontSegment() = default;

std::size_t WavefrontSegment::Sections() const { return m_impl->plan.count; }

std::size_t WavefrontSegment::Lag() const { return LagOf(m_impl->plan.count); }

void WavefrontSegment::Run(WavefrontSource& source, WavefrontSink& sink, std::size_t steps,
                           bool flush) {
  Impl& impl = *m_impl;
  if (impl.plan.count == 0) {
    return;
  }
  RunBlock(impl.kernel, impl.plan, impl.coefs.data, impl.state.data, source, sink, steps, impl.done,
           flush);
  impl.done += steps;
}
