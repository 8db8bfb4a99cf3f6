// libFuzzer harness for the RIFF/WAVE reader and writer: any bytes as a WAVE file in memory.
// Reads the header and samples, writes the container back and checks that what was written
// reads again with the same sample bytes, and that the streamed writer (header only read, the
// samples passed through unchanged a few frames at a time) writes the very same bytes, and that
// what was written is written again byte for byte.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>
#include <stdexcept>
#include <utility>

#include "LibProject/Audio/WaveFileUtil/WavFile.h"

namespace {

// Passes the samples through as they are.
class Unchanged final : public I_SampleBlockFilter {
 public:
  explicit Unchanged(std::size_t frameBytes) : m_frameBytes(frameBytes) {}
  std::size_t FrameBytes() const override { return m_frameBytes; }
  std::size_t LagFrames() const override { return 0; }
  std::pair<std::ptrdiff_t, std::ptrdiff_t> Filter(std::uint8_t*, std::size_t frames,
                                                   bool) override {
    return {0, static_cast<std::ptrdiff_t>(frames)};
  }

 private:
  std::size_t m_frameBytes;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  auto file = MakeRef<C_WavFile>();
  try {
    if (file->ReadHeaderFromMemory(std::span<const std::uint8_t>(data, size), 1) == 0 ||
        file->LoadSamples(1) == 0) {
      return 0;
    }
  } catch (const std::runtime_error&) {
    return 0;  // an unsupported encoding, reported with its message
  }
  I_WavData& container = *file->GetWavData();
  container.GetEventMgr().SetSampleRate(container.GetWavInfo()->GetSampleRate());
  C_StringByteSink sink;
  if (container.GetDataLength() == 0 || file->WriteTo(sink) == 0) {
    return 0;
  }
  const std::string& written = sink.Bytes();
  auto streamed = MakeRef<C_WavFile>();
  // Readied as a conversion readies it: an ADPCM file's info then describes 16-bit PCM.
  if (streamed->ReadHeaderFromMemory(std::span<const std::uint8_t>(data, size), 1) == 1 &&
      streamed->CanStream() && streamed->PrepareStream()) {
    const I_WavInfo& info = *streamed->GetWavData()->GetWavInfo();
    Unchanged unchanged(static_cast<std::size_t>(info.GetBitsPerSample() / 8) * info.GetChannels());
    C_StringByteSink streamedSink;
    if (streamed->StreamInto(streamedSink, unchanged, 3) == 0 || streamedSink.Bytes() != written) {
      std::abort();  // the streamed writer must write what the whole-buffer one writes
    }
  }
  auto again = MakeRef<C_WavFile>();
  const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(written.data()),
                                            written.size());
  if (again->ReadHeaderFromMemory(bytes, 1) == 0 || again->LoadSamples(1) == 0) {
    std::abort();  // a file we wrote must read back
  }
  I_WavData& back = *again->GetWavData();
  const bool twelveBit = container.GetWavInfo()->GetBitsPerSample() == 12;
  if (!twelveBit &&
      (back.GetDataLength() != container.GetDataLength() ||
       std::memcmp(back.GetBuffer(), container.GetBuffer(), back.GetDataLength()) != 0)) {
    std::abort();
  }
  // What we wrote is written again unchanged: the rebuilt labels take the same cue ids, and the
  // labels, notes and texts kept from the source keep theirs.
  back.GetEventMgr().SetSampleRate(back.GetWavInfo()->GetSampleRate());
  C_StringByteSink rewritten;
  if (again->WriteTo(rewritten) == 0 || rewritten.Bytes() != written) {
    std::abort();
  }
  return 0;
}
