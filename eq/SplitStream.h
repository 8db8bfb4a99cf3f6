#pragma once

#include <memory>

#include "eq/FilterChain.h"
#include "eq/SampleIo.h"
#include "eq/SampleStream.h"
#include "eq/WavefrontFilter.h"

/// A one-channel stream whose chain runs as two segments of sections on two threads: this one
/// runs the first half of the sections over each block while a worker runs the second half a
/// little behind it, the values handed over through a small ring. Each thread owns its
/// sections' states and every section's arithmetic is the whole chain's, so the bits are the
/// one-thread stream's. Null when the chain is too short to be worth it (one vector of sections
/// or less) or no worker thread can be started; the caller then runs one thread.
std::unique_ptr<SampleStream> CreateSplitStream(FilterKernel kernel, const SampleFormat& format,
                                                const FilterChain& chain);
