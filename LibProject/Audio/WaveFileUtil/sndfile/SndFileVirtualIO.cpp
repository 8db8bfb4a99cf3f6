#include "LibProject/Audio/WaveFileUtil/sndfile/SndFileVirtualIO.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "LibProject/Audio/WaveFileUtil/sndfile/SndFileFormats.h"

namespace sndfile_detail {

sf_count_t VirtualLength(void* user) {
  return static_cast<sf_count_t>(static_cast<VirtualSource*>(user)->source->Size());
}
sf_count_t VirtualSeek(sf_count_t offset, int whence, void* user) {
  auto* v = static_cast<VirtualSource*>(user);
  const auto size = static_cast<sf_count_t>(v->source->Size());
  const sf_count_t base = whence == SEEK_CUR ? v->position : whence == SEEK_END ? size : 0;
  if (offset > 0 && base > INT64_MAX - offset) {
    return -1;
  }
  const sf_count_t target = base + offset;
  if (target < 0) {
    return -1;
  }
  v->position = target;
  return target;
}
sf_count_t VirtualRead(void* buffer, sf_count_t count, void* user) {
  auto* v = static_cast<VirtualSource*>(user);
  if (count <= 0 || v->position < 0) {
    return 0;
  }
  const auto start = static_cast<std::uint64_t>(v->position);
  const std::size_t got = v->source->ReadAt(start, buffer, static_cast<std::size_t>(count));
  if (v->hideFlacTotal && start < kFlacTotalEnd) {
    auto* bytes = static_cast<std::uint8_t*>(buffer);
    for (std::uint64_t at = std::max(start, kFlacTotalFirst);
         at < std::min<std::uint64_t>(kFlacTotalEnd, start + got); ++at) {
      bytes[at - start] &= at == kFlacTotalFirst ? 0xF0U : 0x00U;
    }
  }
  v->position += static_cast<sf_count_t>(got);
  return static_cast<sf_count_t>(got);
}
sf_count_t VirtualWrite(const void*, sf_count_t, void*) { return 0; }
sf_count_t VirtualTell(void* user) { return static_cast<VirtualSource*>(user)->position; }

}  // namespace sndfile_detail
