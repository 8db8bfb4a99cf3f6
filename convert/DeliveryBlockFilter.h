#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "LibProject/Audio/WaveFileUtil/WavFile.h"
#include "LibProject/Audio/WaveFileUtil/WavInfo.h"
#include "convert/DeliveryStage.h"
#include "convert/OutputMeter.h"
#include "convert/UnitSamples.h"
#include "eq/filter/SampleStream.h"

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

/// The first pass of a normalisation as a block filter: the source's samples, read as a
/// streamed write reads them, filtered as 64-bit floats of full scale 1.0 (through `stream`, a
/// SampleStream of that format over the same design), so that what is measured is the
/// equalizer's output before any limit of the source's encoding: a gain that keeps it within
/// full scale then gives the loudness measured, whatever the bands did to the levels. The
/// results go through `stage` when given (the rate and channels, for measuring) into `meter`;
/// nothing is written.
class MeasuringBlockFilter final : public I_SampleBlockFilter {
 public:
  MeasuringBlockFilter(SampleStream& stream, SampleEncoding encoding, std::uint16_t channels,
                       DeliveryStage* stage, OutputMeter& meter, const std::atomic<bool>* cancel)
      : m_stream(stream),
        m_encoding(encoding),
        m_channels(channels),
        m_stage(stage),
        m_meter(meter),
        m_cancel(cancel) {}

  std::size_t FrameBytes() const override { return SampleBytes(m_encoding) * m_channels; }
  std::size_t LagFrames() const override { return 0; }
  std::pair<std::ptrdiff_t, std::ptrdiff_t> Filter(std::uint8_t* block, std::size_t frames,
                                                   bool final) override {
    // The values with room in front for the results the stream finishes late.
    const std::size_t lag = m_stream.LagFrames() * m_channels;
    m_values.resize(lag + frames * m_channels);
    DecodeUnitSamples(m_encoding, block, frames * m_channels, m_values.data() + lag);
    const auto [first, end] = m_stream.Filter(m_values.data() + lag, frames, final);
    const double* done = m_values.data() + static_cast<std::ptrdiff_t>(lag) +
                         first * static_cast<std::ptrdiff_t>(m_channels);
    const auto bytes = static_cast<std::size_t>(end - first) * m_channels * sizeof(double);
    const auto* raw = reinterpret_cast<const std::uint8_t*>(done);
    const auto measure = [this](const std::uint8_t* out, std::size_t n) {
      m_meter.Add(out, n);
      return true;
    };
    if (m_stage != nullptr) {
      (void)m_stage->Convert(raw, bytes, measure);
      if (final) {
        (void)m_stage->Flush(measure);
      }
    } else {
      m_meter.Add(raw, bytes);
    }
    return {0, static_cast<std::ptrdiff_t>(frames)};
  }
  bool Stopped() const override { return m_cancel != nullptr && m_cancel->load(); }
  bool Pass(const std::uint8_t* /*bytes*/, std::size_t /*size*/,
            const SampleBytesWriter& /*write*/) override {
    return true;  // measured in Filter; nothing is written
  }

 private:
  SampleStream& m_stream;
  SampleEncoding m_encoding;
  std::uint16_t m_channels;
  DeliveryStage* m_stage;
  OutputMeter& m_meter;
  const std::atomic<bool>* m_cancel;
  std::vector<double> m_values;
};
