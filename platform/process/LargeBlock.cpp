#include "platform/process/LargeBlock.h"

#include <new>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace platform {

LargeBlock AllocateLargeBlock(std::size_t size) {
  if (size == 0) {
    size = 1;
  }
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  constexpr std::size_t kHugePage = std::size_t{2} << 20;
  constexpr std::size_t kWorthIt = 4 * kHugePage;
  if (size >= kWorthIt && size <= SIZE_MAX - kHugePage) {
    const std::size_t rounded = (size + kHugePage - 1) / kHugePage * kHugePage;
    if (void* bytes = std::aligned_alloc(kHugePage, rounded)) {
      // Only a hint: where huge pages are off the block is made of ordinary pages.
      ::madvise(bytes, rounded, MADV_HUGEPAGE);
      return LargeBlock(static_cast<std::uint8_t*>(bytes));
    }
    throw std::bad_alloc();
  }
#endif
  void* bytes = std::malloc(size);
  if (bytes == nullptr) {
    throw std::bad_alloc();
  }
  return LargeBlock(static_cast<std::uint8_t*>(bytes));
}

}  // namespace platform
