#pragma once

// The containers libsndfile reads for the class: their type ids and the layouts their samples
// are held in, and what a file's own bytes state of its length (a FLAC total, an Ogg stream's
// last page, an MP3 length header). Internal to the library.
#include <cstdint>
#include <optional>

#include "LibProject/Audio/WaveFileUtil/riff/ByteIO.h"

namespace sndfile_detail {

// The type id of a file libsndfile opened; 0 for a container this class does not take.
std::uint32_t TypeOf(int format);

// True for the lossy codecs among libsndfile's sub-formats (Vorbis, Opus, MPEG layers).
bool IsLossy(int sub);

// Bytes per sample of a format libsndfile stores uncompressed; 0 for a compressed one.
unsigned PlainWidth(int format);

// The layout the samples are held in: width, float or integer, signedness.
struct Layout {
  std::uint16_t bits = 16;
  bool isFloat = false;
};

Layout LayoutFor(int format);

// FLAC's STREAMINFO block opens the file: "fLaC", a block header of type 0 and length 34, and
// at bytes 18 to 25 the rate (20 bits), the channels (3), the bits (5) and the total samples
// (36 bits, from the low half of byte 21 on; 0 when the encoder did not know it).
inline constexpr std::uint64_t kFlacTotalFirst = 21;
inline constexpr std::uint64_t kFlacTotalEnd = 26;

// The total samples the STREAMINFO at the start of `source` states; empty when the source does
// not start with one.
std::optional<std::uint64_t> FlacStatedFrames(I_ByteSource& source);

// True when the last Ogg page of `source` is whole and closes its stream.
bool OggStreamEnds(I_ByteSource& source);

// Bytes of an ID3v2 tag at the start of `source`, which hold no audio; 0 without one.
std::uint64_t LeadingTagBytes(I_ByteSource& source);

// True when an MP3 file states its length (a Xing, Info or VBRI header in its first frame).
bool Mp3StatesLength(I_ByteSource& source);

}  // namespace sndfile_detail
