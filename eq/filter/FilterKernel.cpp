// Which filtering kernel runs: the fastest the processor has, unless the environment names
// another available one.
#include <cstdlib>
#include <cstring>

#include "eq/filter/WavefrontFilter.h"

namespace {

// Whether `kernel` runs where `detected` is the best kernel: each one also runs the simpler ones.
bool RunsOn(FilterKernel kernel, FilterKernel detected) {
  return static_cast<int>(kernel) <= static_cast<int>(detected);
}

// TONVALE_FILTER_KERNEL=plain|portable|avx2|avx512 chooses a kernel for a whole run (to compare
// them, or to rule one out); an unknown or unavailable name is ignored.
bool ForcedKernel(FilterKernel detected, FilterKernel& kernel) {
  const char* name = std::getenv("TONVALE_FILTER_KERNEL");
  if (name == nullptr) {
    return false;
  }
  for (FilterKernel candidate :
       {FilterKernel::Plain, FilterKernel::Portable, FilterKernel::Avx2, FilterKernel::Avx512}) {
    if (std::strcmp(name, FilterKernelName(candidate)) == 0 && RunsOn(candidate, detected)) {
      kernel = candidate;
      return true;
    }
  }
  return false;
}

FilterKernel DetectKernel() {
#if defined(__GNUC__) && defined(__x86_64__)
  __builtin_cpu_init();
  if (__builtin_cpu_supports("avx512f")) {
    return FilterKernel::Avx512;
  }
  if (__builtin_cpu_supports("avx2")) {
    return FilterKernel::Avx2;
  }
  return FilterKernel::Portable;
#elif defined(__GNUC__)
  return FilterKernel::Portable;
#else
  return FilterKernel::Plain;
#endif
}

}  // namespace

FilterKernel BestFilterKernel() {
  static const FilterKernel best = [] {
    const FilterKernel detected = DetectKernel();
    FilterKernel forced = detected;
    return ForcedKernel(detected, forced) ? forced : detected;
  }();
  return best;
}

bool FilterKernelAvailable(FilterKernel kernel) {
  static const FilterKernel detected = DetectKernel();
  return RunsOn(kernel, detected);
}

const char* FilterKernelName(FilterKernel kernel) {
  switch (kernel) {
    case FilterKernel::Plain: return "plain";
    case FilterKernel::Portable: return "portable";
    case FilterKernel::Avx2: return "avx2";
    case FilterKernel::Avx512: return "avx512";
  }
  return "?";
}
