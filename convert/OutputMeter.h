#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "convert/ConversionResult.h"
#include "delivery/LoudnessMeter.h"
#include "eq/filter/PcmFilter.h"
#include "platform/process/WorkerThread.h"

/// Measures the loudness and peaks of a stream of stored samples as a conversion writes them,
/// on threads of their own: the bytes handed in are copied, and measured while the conversion
/// goes on with its next block. The loudness (integrated, range, sample peak) runs on one
/// thread, the true peak, which costs about three times as much, on one more per channel (at
/// most four, each then taking a group of channels). Memory stays at two pieces of about a MiB
/// and a piece of values per thread, whatever the stream's length.
class OutputMeter {
 public:
  /// A meter of samples of `encoding` in `channels` channels at `rate` Hz; with `ownThreads`
  /// false its parts run on the caller's thread, one after another (a conversion allowed one
  /// thread). Null when this build has no loudness meter or the meter refuses the layout (more
  /// than 64 channels).
  static std::unique_ptr<OutputMeter> Create(SampleEncoding encoding, unsigned channels,
                                             std::uint32_t rate, bool ownThreads = true);
  ~OutputMeter();
  OutputMeter(const OutputMeter&) = delete;
  OutputMeter& operator=(const OutputMeter&) = delete;

  /// Takes the next `size` bytes of the stream; they may end inside a frame, whose rest comes
  /// with the next call. A partial frame at the stream's end is not measured.
  void Add(const std::uint8_t* bytes, std::size_t size);

  /// Waits for the measurement of everything added and returns it.
  OutputLoudness Finish();

 private:
  // One meter and the thread it runs on, with the channels it takes.
  struct Part {
    Part(delivery::LoudnessMeter m, unsigned first, unsigned count, bool ownThread)
        : meter(std::move(m)), firstChannel(first), channelCount(count), thread(ownThread) {}
    delivery::LoudnessMeter meter;
    unsigned firstChannel = 0;
    unsigned channelCount = 0;
    std::vector<double> values;     // a decoded piece, all channels
    std::vector<double> picked;     // its channels of the piece, when it takes not all
    platform::WorkerThread thread;  // last: stopped before the members above go
  };

  OutputMeter(SampleEncoding encoding, unsigned channels, std::vector<std::unique_ptr<Part>> parts);
  // Hands the whole frames gathered so far to the threads, once they have measured the ones
  // before.
  void Hand();
  // Waits for every thread.
  void WaitForParts();
  // On a part's thread: its channels of the frames of m_work into its meter.
  void Measure(Part& part) const;

  SampleEncoding m_encoding;
  unsigned m_channels;
  std::size_t m_sampleBytes;
  std::size_t m_frameBytes;
  std::vector<std::uint8_t> m_gathered;  // bytes not yet handed on, on the caller's side
  std::vector<std::uint8_t> m_work;      // bytes the threads measure, read only while they run
  std::vector<std::unique_ptr<Part>> m_parts;  // the loudness first, then the true peaks
};
