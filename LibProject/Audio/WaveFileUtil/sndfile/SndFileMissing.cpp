// A build without libsndfile (Windows): the class is left out; WAVE is the only container.
#include "LibProject/Audio/WaveFileUtil/sndfile/SndFile.h"

bool SndFileAvailable() { return false; }

int WriteSndFileSamples(std::uint32_t /*type*/, const std::string& /*path*/, I_WavData& /*data*/,
                        const std::function<bool(const SampleBytesWriter&)>& /*produce*/,
                        std::string& error, const I_WavInfo* /*format*/) {
  error = "the file format cannot be written";
  return 0;
}

std::string SndFileCannotHold(std::uint32_t /*type*/, const I_WavInfo& /*info*/) {
  return "the file format cannot be written";
}
