#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>

#include "LibProject/Audio/WaveFileUtil/WavFile.h"
#include "convert/OutputMeter.h"

/// The equalizer's block filter of a streamed write with what follows it on the way out: the
/// measurement of the bytes written, when `meter` is given. Everything else is the inner
/// filter's.
class DeliveryBlockFilter final : public I_SampleBlockFilter {
 public:
  DeliveryBlockFilter(I_SampleBlockFilter& equalizer, OutputMeter* meter)
      : m_equalizer(equalizer), m_meter(meter) {}

  std::size_t FrameBytes() const override { return m_equalizer.FrameBytes(); }
  std::size_t LagFrames() const override { return m_equalizer.LagFrames(); }
  std::pair<std::ptrdiff_t, std::ptrdiff_t> Filter(std::uint8_t* block, std::size_t frames,
                                                   bool final) override {
    return m_equalizer.Filter(block, frames, final);
  }
  bool Stopped() const override { return m_equalizer.Stopped(); }
  bool SpareThread() const override { return m_equalizer.SpareThread(); }
  bool Pass(const std::uint8_t* bytes, std::size_t size, const SampleBytesWriter& write) override {
    if (m_meter != nullptr) {
      m_meter->Add(bytes, size);
    }
    return size == 0 || write(bytes, size);
  }

 private:
  I_SampleBlockFilter& m_equalizer;
  OutputMeter* m_meter;
};
