#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "delivery/DeliverySettings.h"
#include "delivery/Quantizer.h"
#include "delivery/Resampler.h"
#include "eq/filter/PcmFilter.h"

/// The layout a delivery writes.
struct OutputLayout {
  std::uint32_t rate = 0;  ///< Hz
  std::uint16_t channels = 0;
  SampleEncoding encoding = SampleEncoding::Pcm16;
};

/// The delivery steps that follow the equalizer and its gain, on the filtered samples a
/// streamed conversion passes on, in this order: the rate (Resampler), the channels
/// (DownmixToMono), then the depth (Quantizer, with TPDF dither where the plan says), or,
/// without a depth step, the source's own encoding again, rounded to nearest and never
/// dithered. Bytes in, bytes out, in memory that does not grow with the stream: a block of
/// values and the resampler's state.
class DeliveryStage {
 public:
  using Writer = std::function<bool(const std::uint8_t* bytes, std::size_t size)>;

  /// The Rate, Channels and Depth steps of `plan` for `sourceBytes` bytes of filtered samples
  /// of `encoding` in `channels` channels at `rate` Hz (a last partial frame is left out). With
  /// `forMeasure` the values come out as 64-bit floats of full scale 1.0 and no depth step runs:
  /// what the first pass of a normalisation measures. Null when the resampler cannot be made.
  static std::unique_ptr<DeliveryStage> Create(const delivery::DeliveryPlan& plan,
                                               SampleEncoding encoding, std::uint16_t channels,
                                               std::uint32_t rate, std::uint64_t sourceBytes,
                                               bool forMeasure);
  ~DeliveryStage();
  DeliveryStage(const DeliveryStage&) = delete;
  DeliveryStage& operator=(const DeliveryStage&) = delete;

  /// The layout the stage writes.
  const OutputLayout& Output() const { return m_output; }
  /// The bytes the stage writes in all for the whole stream: the whole frames of the source,
  /// through the rate's ratio (Resampler::OutputFrames), in the output's frames.
  std::uint64_t OutputBytes() const;

  /// Takes the next `size` bytes of filtered samples (they may end inside a frame, whose rest
  /// comes with the next call) and passes what they make on to `write`.
  bool Convert(const std::uint8_t* bytes, std::size_t size, const Writer& write);
  /// Ends the stream: the resampler's tail to `write`, so that exactly OutputBytes were written.
  bool Flush(const Writer& write);

  /// Output samples the depth's limits changed (floats: of magnitude above 1.0, kept).
  std::uint64_t Clipped() const;
  /// Whether the depth step adds dither.
  bool Dithered() const { return m_quantizer && m_quantizer->Dithered(); }

 private:
  DeliveryStage() = default;
  // Whole frames of the source through the steps.
  bool Process(const std::uint8_t* bytes, std::size_t frames, const Writer& write);
  // Values of the output's channels, full scale 1.0, encoded and passed on (never beyond the
  // frames the stream makes).
  bool Emit(double* values, std::size_t frames, const Writer& write);

  SampleEncoding m_encoding = SampleEncoding::Pcm16;  // of the filtered samples
  std::uint16_t m_channels = 0;
  std::size_t m_frameBytes = 0;
  OutputLayout m_output;
  bool m_downmix = false;
  std::optional<delivery::Resampler> m_resampler;
  std::optional<delivery::Quantizer> m_quantizer;  // integer and 32-bit float outputs
  std::uint64_t m_outputFrames = 0;                // the stream's, in all
  std::uint64_t m_emittedFrames = 0;
  std::uint64_t m_clipped = 0;          // 8-bit outputs
  std::vector<std::uint8_t> m_partial;  // the start of a frame whose rest is to come
  std::vector<double> m_values;         // a block decoded
  std::vector<double> m_resampled;      // a block at the output's rate
  std::vector<std::int32_t> m_integers;
  std::vector<float> m_floats;
  std::vector<std::uint8_t> m_bytes;  // a block encoded
};

/// The output encoding of a delivery depth.
SampleEncoding EncodingOfDepth(delivery::SampleDepth depth);
