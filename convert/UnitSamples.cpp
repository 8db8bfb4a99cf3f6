#include "convert/UnitSamples.h"

#include <cstring>

void DecodeUnitSamples(SampleEncoding encoding, const std::uint8_t* bytes, std::size_t count,
                       double* out) {
  // Scaling by a power of two is exact: each value is the stored one, at full scale 1.0.
  switch (encoding) {
    case SampleEncoding::Pcm8:
      for (std::size_t i = 0; i < count; ++i) {
        out[i] = static_cast<double>(static_cast<int>(bytes[i]) - 128) * 0x1p-7;
      }
      return;
    case SampleEncoding::Pcm16:
      for (std::size_t i = 0; i < count; ++i) {
        const auto raw =
            static_cast<std::uint16_t>(bytes[2 * i] | static_cast<unsigned>(bytes[2 * i + 1]) << 8);
        out[i] = static_cast<double>(static_cast<std::int16_t>(raw)) * 0x1p-15;
      }
      return;
    case SampleEncoding::Pcm24:
      for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t* p = bytes + 3 * i;
        const std::uint32_t raw = static_cast<std::uint32_t>(p[0]) << 8 |
                                  static_cast<std::uint32_t>(p[1]) << 16 |
                                  static_cast<std::uint32_t>(p[2]) << 24;
        out[i] = static_cast<double>(static_cast<std::int32_t>(raw)) * 0x1p-31;
      }
      return;
    case SampleEncoding::Pcm32:
      for (std::size_t i = 0; i < count; ++i) {
        std::int32_t value = 0;
        std::memcpy(&value, bytes + 4 * i, 4);
        out[i] = static_cast<double>(value) * 0x1p-31;
      }
      return;
    case SampleEncoding::Float32:
      for (std::size_t i = 0; i < count; ++i) {
        float value = 0.0F;
        std::memcpy(&value, bytes + 4 * i, 4);
        out[i] = static_cast<double>(value);
      }
      return;
    case SampleEncoding::Float64: std::memcpy(out, bytes, count * sizeof(double)); return;
  }
}
