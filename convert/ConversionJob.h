#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "convert/ConversionResult.h"
#include "delivery/DeliverySettings.h"
#include "eq/band/EqBand.h"
#include "eq/design/DesignCache.h"
#include "platform/fs/TempFileSweep.h"
#include "platform/process/Console.h"

/// What the design made of one enabled band at a file's sample rate.
struct BandUse {
  std::uint32_t index = 0;  ///< the band's `index`
  std::uint32_t type = 0;   ///< its type code
  std::uint16_t order = 0;  ///< a pass band's Butterworth order; 0 for a bell or a left-out band
  bool applied = false;     ///< false: left out, for `reason`
  std::string reason;       ///< why it was left out, in words; empty when applied
};

/// One file conversion: the caller sets the two paths, the conversion fills in the rest.
struct ConversionJob {
  std::string sourcePath;  ///< file to convert
  std::string outputPath;  ///< file to write
  /// Load the samples whole even where they could be streamed (to compare the two ways).
  bool wholeFile = false;
  /// Measure the loudness and peaks of the samples written (ConversionResult::loudness), on a
  /// thread beside the conversion.
  bool measureOutput = false;
  /// Say the measurement in a line after the clipping line (measures the output too).
  bool sayLoudness = false;
  /// What the output is to be beyond the equalizer: a loudness target and a true-peak ceiling
  /// (one gain through the preamp, found by a first pass that filters and measures without
  /// writing), a rate, one channel, an encoding, dither. Empty values leave the source's.
  delivery::DeliverySettings delivery{};
  std::uint32_t durationMs = 0;    ///< duration of the source, ms
  std::uint32_t dataLength = 0;    ///< sample data length, bytes
  std::uint32_t sampleRate = 0;    ///< Hz
  std::uint32_t sampleFrames = 0;  ///< frames
  std::uint16_t bitsPerSample = 0;
  std::uint16_t storageBits = 0;
  std::uint16_t channels = 0;
  std::uint16_t bytesPerSample = 0;
  std::uint16_t blockAlign = 0;
  std::uint32_t bytesPerSecond = 0;
  std::uint32_t signedFlag = 0;
  std::uint32_t writeResult = 0;  ///< value returned by the output write
  std::string formatName{};       ///< the source's format, as "File format is" names it
  std::string
      encoding{};  ///< the samples filtered and written: "pcm8" ... "pcm32", "float32", "float64"
  std::vector<BandUse> bands{};  ///< every enabled band, in table order, at the file's rate
  /// True when the source's samples end before the length its header states (or its stream
  /// shows it was cut): the frames there were converted.
  bool endsEarly = false;
  std::uint64_t framesRead = 0;    ///< with endsEarly: the frames the source held
  std::uint64_t statedFrames = 0;  ///< with endsEarly: the frames its header states; 0: none
};

/// Runs the jobs in order: opens each source (a WAVE file of 8- to 32-bit PCM, 32- or 64-bit
/// float, extensible or RF64, ADPCM, also protected; where the build has libsndfile also FLAC,
/// Ogg Vorbis, Opus, MP3, AIFF, CAF, W64, AU and WAVE files of other encodings), filters its
/// samples through `bandTable` designed at the file's own sample rate, each channel on its own
/// and in the samples' own encoding, and writes the output in the source's container and
/// encoding, or in the container the output path's extension names (ADPCM, protected and
/// foreign-encoding WAVE sources give 16-bit PCM WAVE). Each job's transcript goes to `log` once
/// the job has ended: a line per step, "Information:" or "Error:", and one for every enabled
/// band the design leaves out at the file's rate, for any clipping the sample limits caused,
/// and for a source whose samples end before the length its header states (its frames are
/// converted). A source without samples fails the job, naming the source. The output is
/// replaced only by the final rename of a completed write: a failed job never deletes or
/// changes an existing output, and an output path that names a folder fails the job. An
/// exception inside a job fails that job with its reason. The first failing job ends the run.
/// Returns 1 when every job ran to its end (also for an empty list), otherwise 0.
///
/// `cancel`, when given, is looked at between the steps of a job (open, filter, write): once it
/// is set, the job in hand stops before anything is written ("Error:" line, result 0).
int ConvertFiles(std::vector<ConversionJob>& jobs, const EqBandTable& bandTable,
                 const platform::LogSink& log, const std::atomic<bool>* cancel = nullptr);

/// How far a running conversion has come, read by another thread for a progress display.
struct ConversionProgress {
  std::atomic<std::uint64_t> frames{0};      ///< frames filtered so far
  std::atomic<std::uint32_t> sampleRate{0};  ///< the file's rate, Hz, once it is known

  /// The audio filtered so far, seconds.
  double AudioSeconds() const {
    const std::uint32_t rate = sampleRate.load();
    return rate > 0 ? static_cast<double>(frames.load()) / rate : 0.0;
  }
};

/// One job as ConvertFiles runs it, with its filtering spread over at most `threads` threads
/// (0: the processor count), its bands designed through `designs` when given (which must be
/// for `bandTable`), how far it has come kept in `progress` when given. Once the output is
/// written, what killed conversions left in its folder is removed: through `sweep` when given
/// (once per folder for all the jobs of a run), otherwise now. Returns how the job ended, with
/// its transcript and what the output's limits did.
ConversionResult ConvertFile(ConversionJob& job, const EqBandTable& bandTable,
                             const std::atomic<bool>* cancel, unsigned threads,
                             DesignCache* designs = nullptr, ConversionProgress* progress = nullptr,
                             platform::TempFileSweep* sweep = nullptr);

/// The file name extensions of the kinds ConvertFiles reads in this build, lower case with the
/// dot (".wav", ".wio", and the libsndfile containers where the build has them).
std::vector<std::string> ConvertibleFileExtensions();
