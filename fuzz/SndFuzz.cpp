// libFuzzer harness for the containers read through libsndfile: any bytes as a FLAC, Ogg, MP3,
// AIFF, CAF, W64, AU or foreign-encoding WAVE file in memory. Reads the header and samples and
// checks that the container holds exactly the samples its format describes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <stdexcept>

#include "LibProject/Audio/WaveFileUtil/sndfile/SndFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  auto file = MakeRef<C_SndFile>();
  try {
    if (file->ReadHeaderFromMemory(std::span<const std::uint8_t>(data, size), 1) == 0 ||
        file->LoadSamples(1) == 0) {
      return 0;
    }
  } catch (const std::runtime_error&) {
    return 0;  // refused with its message
  }
  I_WavData& container = *file->GetWavData();
  I_WavInfo& info = *container.GetWavInfo();
  const std::uint64_t frameBytes =
      static_cast<std::uint64_t>(info.GetChannels()) * (info.GetBitsPerSample() / 8U);
  if (frameBytes == 0 || container.GetDataLength() % frameBytes != 0 ||
      container.GetSampleBuffer().Size() < container.GetDataLength() ||
      container.GetDataLength() / frameBytes != info.GetSampleFrames()) {
    std::abort();  // the samples and their description disagree
  }
  return 0;
}
