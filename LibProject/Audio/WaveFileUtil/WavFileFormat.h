#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "LibProject/Audio/WaveFileUtil/RefPtr.h"
#include "LibProject/Audio/WaveFileUtil/WavFile.h"

/// RIFF/WAVE files, also protected ones.
inline constexpr std::uint32_t kFormatTypeWav = 2;

/// Opens a file by its contents, whatever its name says.
class I_WavFileFormat {
 public:
  virtual ~I_WavFileFormat() = default;
  /// The format type of the file at `path`, or 0.
  virtual std::uint32_t DetectFormatType(const std::string& path) = 0;
  /// Non-zero when the file is of format `type`.
  virtual int IsFormatType(std::uint32_t type, const std::string& path) = 0;
  /// Opens the file with the first class that accepts it; with `loadSamples` the samples are
  /// loaded too. Null when no class accepts it. A RIFF/WAVE file of an unsupported encoding
  /// raises std::runtime_error with its message (there is no window to show it in).
  virtual T_RefPtr<I_WavFile> OpenFile(const std::string& path, int loadSamples, int loadFlag) = 0;
  /// OpenFile without the samples.
  virtual T_RefPtr<I_WavFile> OpenFileInfo(const std::string& path) = 0;
};

/// The format registry.
class C_WavFileFormat final : public I_WavFileFormat {
 public:
  std::uint32_t DetectFormatType(const std::string& path) override;
  int IsFormatType(std::uint32_t type, const std::string& path) override;
  T_RefPtr<I_WavFile> OpenFile(const std::string& path, int loadSamples, int loadFlag) override;
  T_RefPtr<I_WavFile> OpenFileInfo(const std::string& path) override;

  std::uint32_t ownerWindow = 0;
};

/// Loads the samples of a file that OpenFile opened without them, as OpenFile does with
/// `loadSamples`: the file is not read again from the start (a protected file is not
/// deciphered again). 1 on success; a load error raises std::runtime_error as OpenFile's does.
int LoadOpenedSamples(I_WavFile& file, int loadFlag);

/// The format type a file name's extension asks for on writing (".wav" WAVE, ".flac" FLAC,
/// ".ogg" Ogg Vorbis, ".opus", ".mp3", ".aif"/".aiff", ".caf", ".w64", ".au"), whether or not
/// this build can write it; 0 for any other extension.
std::uint32_t FormatTypeForExtension(const std::string& path);

/// The file name extensions of the kinds this build reads, lower case with the dot (".wav",
/// ".wio", and the libsndfile containers where the build has them), for file choosers.
std::vector<std::string> ReadableFileExtensions();

/// Creates a file object for writing a file of `formatType`; null when the type has no class.
T_RefPtr<I_WavFile> CreateFileObject(std::uint32_t formatType);

/// The short name of a format type ("WAV" for 2): 1 and the name in `outName`, or 0 with
/// `outName` unchanged when the type has no name.
int GetFormatTypeName(std::uint32_t type, std::string& outName);

/// A probe: non-zero when the file at the path is of the row's type.
using FormatProbe = int (*)(const std::string& path);

struct C_FormatProbeRow {
  std::uint32_t type;
  FormatProbe probe;  ///< null where the type's class is not part of this build
};

/// The probe routines in the order DetectFormatType tries them.
extern const std::array<C_FormatProbeRow, 44> kFormatProbeTable;

struct C_FormatNameRow {
  std::uint32_t type;
  char name[5];
};

/// Short names of format types; the first row of a type wins.
extern const std::array<C_FormatNameRow, 28> kFormatTypeNames;
