#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>

#include "LibProject/Audio/WaveFileUtil/WavFile.h"
#include "LibProject/Audio/WaveFileUtil/WavInfo.h"
#include "convert/DeliveryStage.h"
#include "convert/OutputMeter.h"

/// The equalizer's block filter of a streamed write with what follows it on the way out: the
/// delivery steps when `stage` is given (the output then has the layout `output` describes),
/// and the measurement of the bytes written when `meter` is given. The filtering itself is the
/// equalizer's.
class DeliveryBlockFilter final : public I_SampleBlockFilter {
 public:
  DeliveryBlockFilter(I_SampleBlockFilter& equalizer, DeliveryStage* stage, const I_WavInfo* output,
                      OutputMeter* meter)
      : m_equalizer(equalizer), m_stage(stage), m_output(output), m_meter(meter) {}

  std::size_t FrameBytes() const override { return m_equalizer.FrameBytes(); }
  std::size_t LagFrames() const override { return m_equalizer.LagFrames(); }
  std::pair<std::ptrdiff_t, std::ptrdiff_t> Filter(std::uint8_t* block, std::size_t frames,
                                                   bool final) override {
    return m_equalizer.Filter(block, frames, final);
  }
  bool Stopped() const override { return m_equalizer.Stopped(); }
  bool SpareThread() const override { return m_equalizer.SpareThread(); }
  bool Pass(const std::uint8_t* bytes, std::size_t size, const SampleBytesWriter& write) override {
    if (m_stage == nullptr) {
      return Written(bytes, size, write);
    }
    return m_stage->Convert(bytes, size, [this, &write](const std::uint8_t* out, std::size_t n) {
      return Written(out, n, write);
    });
  }
  bool Finish(const SampleBytesWriter& write) override {
    return m_stage == nullptr ||
           m_stage->Flush([this, &write](const std::uint8_t* out, std::size_t n) {
             return Written(out, n, write);
           });
  }
  const I_WavInfo* OutputInfo() const override { return m_stage != nullptr ? m_output : nullptr; }
  std::uint64_t OutputBytes(std::uint64_t sampleBytes) const override {
    return m_stage != nullptr ? m_stage->OutputBytes() : sampleBytes;
  }

 private:
  // Output bytes, measured, then written.
  bool Written(const std::uint8_t* bytes, std::size_t size, const SampleBytesWriter& write) {
    if (m_meter != nullptr) {
      m_meter->Add(bytes, size);
    }
    return size == 0 || write(bytes, size);
  }

  I_SampleBlockFilter& m_equalizer;
  DeliveryStage* m_stage;
  const I_WavInfo* m_output;
  OutputMeter* m_meter;
};
