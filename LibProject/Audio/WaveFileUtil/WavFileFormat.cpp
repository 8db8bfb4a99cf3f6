#include "LibProject/Audio/WaveFileUtil/WavFileFormat.h"

#include "LibProject/Audio/WaveFileUtil/sndfile/SndFile.h"

#include <cstring>
#include <stdexcept>

namespace {

// Reads the header and chunk list only, as a probe does.
int ProbeWavFile(const std::string& path) {
  auto file = MakeRef<C_WavFile>();
  return file->ReadHeader(path, 0);
}

T_RefPtr<I_WavFile> CreateWavFile() { return T_RefPtr<I_WavFile>(new C_WavFile()); }

T_RefPtr<I_WavFile> CreateWavReader(bool /*waveDeferred*/) { return CreateWavFile(); }

// The reader of the containers other than WAVE (null in a build without libsndfile). It takes
// a WAVE file only when the WAVE class left it to the others for its encoding: a WAVE file that
// class refused as malformed stays refused.
T_RefPtr<I_WavFile> CreateSndFileReader(bool waveDeferred) {
#if defined(TONVALE_WITH_SNDFILE)
  return T_RefPtr<I_WavFile>(new C_SndFile(0, waveDeferred));
#else
  (void)waveDeferred;
  return T_RefPtr<I_WavFile>();
#endif
}

// Makes a reading object; `waveDeferred` tells that the WAVE class left the file to the others.
using FileFactory = T_RefPtr<I_WavFile> (*)(bool waveDeferred);

struct TrialRow {
  std::uint32_t type;
  FileFactory create;  // null where the class is not part of this build
};

// The order in which OpenFile tries the classes. Only the RIFF/WAVE class is built; the other
// rows keep their places so that a class can be added where it belongs. Type 0 is the one
// reader without a type id.
constexpr TrialRow kTrialOrder[] = {
    {1, nullptr},  {2, CreateWavReader}, {kFormatTypeFlac, CreateSndFileReader},
    {3, nullptr},  {4, nullptr},         {7, nullptr},
    {5, nullptr},  {5, nullptr},         {6, nullptr},
    {8, nullptr},  {21, nullptr},        {12, nullptr},
    {14, nullptr}, {15, nullptr},        {47, nullptr},
    {50, nullptr}, {51, nullptr},        {52, nullptr},
    {17, nullptr}, {22, nullptr},        {23, nullptr},
    {16, nullptr}, {18, nullptr},        {19, nullptr},
    {20, nullptr}, {24, nullptr},        {27, nullptr},
    {28, nullptr}, {29, nullptr},        {30, nullptr},
    {48, nullptr}, {43, nullptr},        {44, nullptr},
    {49, nullptr}, {53, nullptr},        {0, nullptr},
    {37, nullptr}, {39, nullptr},        {40, nullptr},
    {41, nullptr}, {42, nullptr},        {46, nullptr},
};

}  // namespace

const std::array<C_FormatProbeRow, 44> kFormatProbeTable = {{
    {1, nullptr},  {13, nullptr}, {2, ProbeWavFile}, {3, nullptr},  {4, nullptr},  {7, nullptr},
    {5, nullptr},  {5, nullptr},  {6, nullptr},      {8, nullptr},  {21, nullptr}, {12, nullptr},
    {14, nullptr}, {15, nullptr}, {47, nullptr},     {17, nullptr}, {22, nullptr}, {23, nullptr},
    {16, nullptr}, {18, nullptr}, {19, nullptr},     {20, nullptr}, {24, nullptr}, {27, nullptr},
    {28, nullptr}, {29, nullptr}, {30, nullptr},     {37, nullptr}, {39, nullptr}, {40, nullptr},
    {41, nullptr}, {42, nullptr}, {43, nullptr},     {44, nullptr}, {46, nullptr}, {48, nullptr},
    {49, nullptr}, {50, nullptr}, {51, nullptr},     {52, nullptr}, {53, nullptr}, {56, nullptr},
    {57, nullptr}, {58, nullptr},
}};

const std::array<C_FormatNameRow, 28> kFormatTypeNames = {{
    {1, "SRC"},   {13, "SRC"},   {2, "WAV"},   {45, "WAV"},   {25, "WAV"},  {26, "WAV"},
    {38, "WAV"},  {9, "MID"},    {10, "INS"},  {31, "MP3"},   {39, "S08"},  {40, "S16"},
    {44, "PCM"},  {57, "PCM"},   {65, "IMA"},  {130, "BMP"},  {161, "BIN"}, {178, "CSV"},
    {2, "WAV"},   {201, "FLAC"}, {202, "OGG"}, {203, "OPUS"}, {204, "MP3"}, {205, "AIFF"},
    {206, "CAF"}, {207, "W64"},  {208, "AU"},  {209, "WAV"},
}};

int GetFormatTypeName(std::uint32_t type, std::string& outName) {
  for (const C_FormatNameRow& row : kFormatTypeNames) {
    if (row.type == type) {
      outName = row.name;
      return 1;
    }
  }
  return 0;
}

T_RefPtr<I_WavFile> CreateFileObject(std::uint32_t formatType) {
  if (formatType == kFormatTypeWav) {
    return CreateWavFile();
  }
#if defined(TONVALE_WITH_SNDFILE)
  if (IsSndFileType(formatType) && formatType != kFormatTypeSndWav) {
    return T_RefPtr<I_WavFile>(new C_SndFile(formatType));
  }
#endif
  return T_RefPtr<I_WavFile>();
}

namespace {

struct ExtensionRow {
  const char* extension;
  std::uint32_t type;
};

// The extensions that name a container on writing.
constexpr ExtensionRow kExtensionRows[] = {
    {".wav", kFormatTypeWav},       {".flac", kFormatTypeFlac}, {".ogg", kFormatTypeOggVorbis},
    {".oga", kFormatTypeOggVorbis}, {".opus", kFormatTypeOpus}, {".mp3", kFormatTypeMp3},
    {".aif", kFormatTypeAiff},      {".aiff", kFormatTypeAiff}, {".aifc", kFormatTypeAiff},
    {".caf", kFormatTypeCaf},       {".w64", kFormatTypeW64},   {".au", kFormatTypeAu},
    {".snd", kFormatTypeAu},
};

}  // namespace

std::vector<std::string> ReadableFileExtensions() {
  std::vector<std::string> extensions = {".wav", ".wio"};
  if (SndFileAvailable()) {
    for (const ExtensionRow& row : kExtensionRows) {
      if (row.type != kFormatTypeWav) {
        extensions.emplace_back(row.extension);
      }
    }
  }
  return extensions;
}

std::uint32_t FormatTypeForExtension(const std::string& path) {
  const std::string name = path.substr(path.find_last_of("/\\") + 1);
  const auto dot = name.rfind('.');
  if (dot == std::string::npos) {
    return 0;
  }
  std::string extension = name.substr(dot);
  for (char& c : extension) {
    c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  }
  for (const ExtensionRow& row : kExtensionRows) {
    if (extension == row.extension) {
      return row.type;
    }
  }
  return 0;
}

std::uint32_t C_WavFileFormat::DetectFormatType(const std::string& path) {
  for (const C_FormatProbeRow& row : kFormatProbeTable) {
    if (row.probe != nullptr && row.probe(path) != 0) {
      return row.type;
    }
  }
  return 0;
}

int C_WavFileFormat::IsFormatType(std::uint32_t type, const std::string& path) {
  for (const C_FormatProbeRow& row : kFormatProbeTable) {
    if (row.type == type) {
      return row.probe != nullptr ? row.probe(path) : 0;
    }
  }
  return 0;
}

T_RefPtr<I_WavFile> C_WavFileFormat::OpenFile(const std::string& path, int loadSamples,
                                              int loadFlag) {
  std::string deferred;  // the load error of a class that left the file to the others
  for (const TrialRow& row : kTrialOrder) {
    if (row.create == nullptr) {
      continue;
    }
    // The handle destroys a rejected object on every path, also when a load error is raised.
    T_RefPtr<I_WavFile> file = row.create(!deferred.empty());
    if (!file) {
      continue;  // a class this build leaves out
    }
    file->SetOwnerWindow(ownerWindow);
    if (file->ReadHeader(path, 1) == 0) {
      if (deferred.empty()) {
        deferred = file->GetDeferredLoadError();
      }
      continue;
    }
    if (loadSamples != 0 && LoadOpenedSamples(*file, loadFlag) == 0) {
      continue;
    }
    return file;
  }
  if (!deferred.empty() && ownerWindow == 0) {
    throw std::runtime_error(deferred);
  }
  return T_RefPtr<I_WavFile>();
}

int LoadOpenedSamples(I_WavFile& file, int loadFlag) {
  if (file.LoadSamples(loadFlag) == 0) {
    return 0;
  }
  I_WavData* data = file.GetWavData();
  data->GetEventMgr().SetSampleRate(data->GetWavInfo()->GetSampleRate());
  return 1;
}

T_RefPtr<I_WavFile> C_WavFileFormat::OpenFileInfo(const std::string& path) {
  return OpenFile(path, 0, 1);
}
