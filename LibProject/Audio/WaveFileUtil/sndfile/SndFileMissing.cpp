// A build without libsndfile (Windows): the class is left out; WAVE is the only container.
#include "LibProject/Audio/WaveFileUtil/sndfile/SndFile.h"

bool SndFileAvailable() { return false; }

int WriteSndFileSamples(std::uint32_t /*type*/, const std::string& /*path*/, I_WavData& /*data*/,
                        const std::function<bool(const SampleBytesWriter&)>& /*produce*/,
                        std::string& error) {
  error = "the file format cannot be written";
  return 0;
}
