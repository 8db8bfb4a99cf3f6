#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

namespace platform {

/// Frees a block from AllocateLargeBlock.
struct LargeBlockDeleter {
  void operator()(std::uint8_t* bytes) const { std::free(bytes); }
};

/// An owned byte block from AllocateLargeBlock.
using LargeBlock = std::unique_ptr<std::uint8_t[], LargeBlockDeleter>;

/// `size` bytes (at least one), not initialised. A block of several MiB is asked for in huge
/// pages where the system offers them on request (Linux transparent huge pages): a long file's
/// samples then cost one page fault per 2 MiB instead of one per 4 KiB when they are first
/// written, which on virtual machines is a good part of the time a conversion takes. Throws
/// std::bad_alloc when there is no memory.
LargeBlock AllocateLargeBlock(std::size_t size);

}  // namespace platform
