#pragma once

// libsndfile's virtual I/O over one of the library's byte sources. Internal to the library.
#include <sndfile.h>

#include "LibProject/Audio/WaveFileUtil/riff/ByteIO.h"

namespace sndfile_detail {

// libsndfile's virtual I/O over a byte source: reads only, within the source. For a FLAC file
// it shows a total of 0 ("not known"): libsndfile stops reading at a stated total, so a total
// smaller than the stream would cut the audio, and it refuses to open a stream shorter than the
// total it states when asked to seek there. With 0 it decodes to the stream's real end.
struct VirtualSource {
  I_ByteSource* source;
  sf_count_t position = 0;
  bool hideFlacTotal = false;
};

// The callbacks of SF_VIRTUAL_IO; `user` is the VirtualSource.
sf_count_t VirtualLength(void* user);
sf_count_t VirtualSeek(sf_count_t offset, int whence, void* user);
sf_count_t VirtualRead(void* buffer, sf_count_t count, void* user);
sf_count_t VirtualWrite(const void* buffer, sf_count_t count, void* user);
sf_count_t VirtualTell(void* user);

}  // namespace sndfile_detail
