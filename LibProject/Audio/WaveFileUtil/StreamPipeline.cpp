// The read, filter and write pipeline of a streamed conversion.
#include "LibProject/Audio/WaveFileUtil/StreamPipeline.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "platform/process/WorkerThread.h"

namespace {

// The sample bytes a streamed write reads, filters and writes at a time.
constexpr std::size_t kStreamBlockBytes = std::size_t{1024} << 10;

// Block `index` (of three) of this thread's streamed writes, at least `size` bytes, kept from
// one file to the next: fresh blocks for every file of a batch would cost a page fault for every
// 4 KiB of them.
std::uint8_t* StreamBlock(std::size_t index, std::size_t size) {
  struct Kept {
    std::unique_ptr<std::uint8_t[]> bytes;
    std::size_t size = 0;
  };
  thread_local Kept kept[3];
  Kept& block = kept[index];
  if (block.size < size) {
    block.bytes.reset();
    block.bytes = std::make_unique_for_overwrite<std::uint8_t[]>(size);
    block.size = size;
  }
  return block.bytes.get();
}

}  // namespace

std::size_t StreamBlockFrames(std::size_t frameBytes) {
  return kStreamBlockBytes / std::max<std::size_t>(frameBytes, 1);
}

bool StreamSamples(I_SampleReader& reader, std::uint64_t totalBytes, std::size_t sampleBytes,
                   I_SampleBlockFilter& filter, std::size_t blockFrames,
                   const SampleBytesWriter& write, std::string& error) {
  const std::size_t frameBytes = filter.FrameBytes();
  const std::uint64_t wholeBytes = totalBytes - totalBytes % sampleBytes;
  const std::uint64_t framesIn = (wholeBytes + frameBytes - 1) / frameBytes;
  const std::size_t lag = filter.LagFrames();
  const std::size_t block = std::max<std::size_t>(blockFrames, 1);
  // Each block keeps room in front for the results of the block before (the filter writes them
  // there); none is zeroed, every byte being read or filtered into before it is written out.
  struct Block {
    std::uint8_t* bytes = nullptr;
    std::size_t frames = 0;
    bool final = false;
    std::ptrdiff_t first = 0;  // the frames the filter finished, from the block's start
    std::ptrdiff_t end = 0;
  };
  Block blocks[3];
  for (std::size_t i = 0; i < 3; ++i) {
    blocks[i].bytes = StreamBlock(i, (lag + block) * frameBytes);
  }
  auto start = [&](Block& b) { return b.bytes + lag * frameBytes; };
  std::uint64_t read = 0;
  std::uint64_t written = 0;
  // The next frames of the source into `b`, a last partial frame filled up with zeros.
  auto readInto = [&](Block& b) {
    b.frames = static_cast<std::size_t>(std::min<std::uint64_t>(block, framesIn - read));
    b.final = read + b.frames == framesIn;
    const std::uint64_t offset = read * frameBytes;
    const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(
        static_cast<std::uint64_t>(b.frames) * frameBytes, wholeBytes - offset));
    const std::size_t got = want > 0 ? reader.Read(start(b), want) : 0;
    std::memset(start(b) + got, 0, b.frames * frameBytes - got);
    read += b.frames;
  };
  // What the filter finished of `b` to the output.
  auto writeOut = [&](Block& b) {
    const std::uint64_t ready = std::min<std::uint64_t>(
        static_cast<std::uint64_t>(b.end - b.first) * frameBytes, wholeBytes - written);
    if (ready > 0 && !filter.Pass(start(b) + b.first * static_cast<std::ptrdiff_t>(frameBytes),
                                  static_cast<std::size_t>(ready), write)) {
      return false;
    }
    written += ready;
    return true;
  };
  platform::WorkerThread helper(filter.SpareThread());
  readInto(blocks[0]);
  Block* filtered = nullptr;  // filtered, not yet written out
  bool wroteOut = true;
  for (std::size_t k = 0;; ++k) {
    if (filter.Stopped()) {
      error = "the conversion was stopped";
      return false;
    }
    Block& current = blocks[k % 3];
    Block& next = blocks[(k + 1) % 3];
    helper.Start([&] {
      wroteOut = filtered == nullptr || writeOut(*filtered);
      if (wroteOut && !current.final) {
        readInto(next);
      }
    });
    const auto [first, end] = filter.Filter(start(current), current.frames, current.final);
    helper.Wait();
    if (!wroteOut) {
      return false;
    }
    current.first = first;
    current.end = end;
    filtered = &current;
    if (current.final) {
      break;
    }
  }
  if (!writeOut(*filtered) || !filter.Finish(write)) {
    return false;
  }
  std::uint8_t rest[8] = {};
  const auto restBytes = static_cast<std::size_t>(totalBytes - wholeBytes);
  if (restBytes > 0 && filter.OutputInfo() == nullptr) {
    (void)reader.Read(rest, restBytes);
    return write(rest, restBytes);
  }
  return true;
}
