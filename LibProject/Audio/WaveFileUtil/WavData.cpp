#include "LibProject/Audio/WaveFileUtil/WavData.h"

#include <memory>

#include "LibProject/Audio/WaveFileUtil/WavFile.h"
#include "LibProject/Audio/WaveFileUtil/WavFileFormat.h"

namespace {

// A sample as stored, read in its storage width as a signed value (unsigned samples are offset
// by half their range). Values are taken as the full storage width holds them, so a 12-bit
// sample stored left-justified in 16 bits reads as its 16-bit value.
std::int64_t ReadStored(const std::uint8_t* p, unsigned width, bool isSigned) {
  std::uint32_t raw = 0;
  for (unsigned i = 0; i < width; ++i) {
    raw |= static_cast<std::uint32_t>(p[i]) << (8 * i);
  }
  const unsigned bits = width * 8;
  const std::int64_t half = std::int64_t{1} << (bits - 1);
  if (!isSigned) {
    return static_cast<std::int64_t>(raw) - half;
  }
  return (raw & static_cast<std::uint32_t>(half)) != 0
             ? static_cast<std::int64_t>(raw) - (half << 1)
             : static_cast<std::int64_t>(raw);
}

void WriteStored(std::uint8_t* p, unsigned width, bool isSigned, std::int64_t value) {
  const unsigned bits = width * 8;
  const std::int64_t half = std::int64_t{1} << (bits - 1);
  const auto raw = static_cast<std::uint64_t>(isSigned ? value : value + half);
  for (unsigned i = 0; i < width; ++i) {
    p[i] = static_cast<std::uint8_t>(raw >> (8 * i));
  }
}

bool IsByteWidth(std::uint16_t storageBits) {
  return storageBits == 8 || storageBits == 16 || storageBits == 24 || storageBits == 32;
}

}  // namespace

std::uint8_t* C_WavData::GetBuffer() {
  return m_buffer.Size() == 0 && !m_buffer.IsBorrowed() ? nullptr : m_buffer.Bytes();
}

void C_WavData::FormatChanged() {
  m_buffer.Refresh();
  m_events.SetSampleRate(m_info.GetSampleRate());
}

void C_WavData::SetWavInfo(const I_WavInfo& info) {
  m_info.CopyFrom(info);
  FormatChanged();
}

void C_WavData::SetFormat(std::uint32_t rate, std::uint32_t length, std::uint16_t channels,
                          std::uint16_t bits, std::uint16_t storageBits, std::uint32_t signedFlag) {
  m_info.SetFormat(rate, length, channels, bits, storageBits, signedFlag);
  FormatChanged();
}

int C_WavData::CopyFrom(I_WavData& other) {
  if (m_buffer.IsBorrowed()) {
    return 0;
  }
  if (&other == this) {
    return 1;
  }
  const std::uint8_t* bytes = other.GetBuffer();
  const std::size_t size = other.GetSampleBuffer().Size();
  m_buffer.Assign(bytes, bytes == nullptr ? 0 : size);
  m_info.CopyFrom(*other.GetWavInfo());
  m_cueInfo = other.CueInfo();
  m_samplerInfo = other.SamplerInfo();
  m_listInfo = other.ListInfo();
  m_extraInfo = other.ExtraChunkInfo();
  m_textInfo = other.TextInfo();
  m_events = other.GetEventMgr();
  FormatChanged();
  return 1;
}

std::uint8_t* C_WavData::AllocateBuffer(std::uint32_t n) {
  m_buffer.Allocate(n);
  m_info.SetFormat(m_info.GetSampleRate(), n, m_info.GetChannels(), m_info.GetBitsPerSample(),
                   m_info.GetStorageBits(), m_info.GetSignedFlag());
  FormatChanged();
  return GetBuffer();
}

int C_WavData::SetBufferCopy(const std::uint8_t* bytes, std::uint32_t n) {
  if (m_buffer.IsBorrowed()) {
    return 0;
  }
  m_buffer.Assign(bytes, n);
  m_info.SetFormat(m_info.GetSampleRate(), n, m_info.GetChannels(), m_info.GetBitsPerSample(),
                   m_info.GetStorageBits(), m_info.GetSignedFlag());
  FormatChanged();
  return 1;
}

void C_WavData::AttachBuffer(std::uint8_t* bytes, std::uint32_t n) {
  m_buffer.Attach(bytes, n);
  m_info.SetFormat(m_info.GetSampleRate(), n, m_info.GetChannels(), m_info.GetBitsPerSample(),
                   m_info.GetStorageBits(), m_info.GetSignedFlag());
  FormatChanged();
}

std::uint8_t* C_WavData::DetachBuffer() { return m_buffer.Detach(); }

T_RefPtr<I_WavData> C_WavData::Clone() {
  auto copy = MakeRef<C_WavData>(m_ownerWindow);
  copy->CopyFrom(*this);
  return T_RefPtr<I_WavData>(copy.Detach());
}

T_RefPtr<I_WavData> C_WavData::CreateConvertedCopy(std::uint16_t bits, std::uint16_t storageBits,
                                                   std::uint32_t signedFlag) {
  const std::uint16_t sourceStorage = m_info.GetStorageBits();
  const std::uint16_t channels = m_info.GetChannels();
  // Integer samples only: floating-point samples have no integer scale to shift by.
  if (!IsByteWidth(sourceStorage) || !IsByteWidth(storageBits) || channels == 0 ||
      m_info.GetEncoding().sampleTag != kWaveTagPcm) {
    return T_RefPtr<I_WavData>();
  }
  const std::uint64_t frames = m_info.SampleFrames64();
  const std::uint64_t bytes = (frames * storageBits * channels + 1) / 8;
  if (bytes > 0xFFFFFFFFULL) {
    return T_RefPtr<I_WavData>();
  }
  auto copy = MakeRef<C_WavData>(m_ownerWindow);
  copy->SetFormat(m_info.GetSampleRate(), 0, channels, bits, storageBits, signedFlag);
  std::uint8_t* out = copy->AllocateBuffer(static_cast<std::uint32_t>(bytes));
  const std::uint8_t* in = m_buffer.Bytes();
  const unsigned inWidth = sourceStorage / 8U;
  const unsigned outWidth = storageBits / 8U;
  const int shift = static_cast<int>(storageBits) - static_cast<int>(sourceStorage);
  const std::uint64_t samples = frames * channels;
  for (std::uint64_t i = 0; i < samples; ++i) {
    std::int64_t value = ReadStored(in + i * inWidth, inWidth, m_info.GetSignedFlag() != 0);
    value = shift >= 0 ? value * (std::int64_t{1} << shift) : value / (std::int64_t{1} << -shift);
    WriteStored(out + i * outWidth, outWidth, signedFlag != 0, value);
  }
  copy->m_cueInfo = m_cueInfo;
  copy->m_samplerInfo = m_samplerInfo;
  copy->m_listInfo = m_listInfo;
  copy->m_extraInfo = m_extraInfo;
  copy->m_textInfo = m_textInfo;
  copy->m_events = m_events;
  return T_RefPtr<I_WavData>(copy.Detach());
}

int C_WavData::ConvertFormat(std::uint16_t bits, std::uint16_t storageBits,
                             std::uint32_t signedFlag) {
  if (m_info.GetBitsPerSample() == bits && m_info.GetStorageBits() == storageBits &&
      m_info.GetSignedFlag() == signedFlag) {
    return 1;
  }
  T_RefPtr<I_WavData> copy = CreateConvertedCopy(bits, storageBits, signedFlag);
  return copy ? CopyFrom(*copy) : 0;
}

int C_WavData::SaveAs(std::uint32_t formatType, const std::string& path) {
  m_saveError.clear();
  if (GetDataLength() == 0) {
    m_saveError = "there are no samples to write";
    return 0;
  }
  T_RefPtr<I_WavFile> file = CreateFileObject(formatType);
  if (!file) {
    m_saveError = "the file format cannot be written";
    return 0;
  }
  file->SetOwnerWindow(m_ownerWindow);
  // The file object only borrows this container for the write; holding a reference keeps the
  // container alive whatever the file object does with it.
  AddRef();
  T_RefPtr<I_WavData> self(this);
  file->AttachWavData(this);
  const int result = file->WriteFile(path);
  file->DetachWavData();
  if (result != 1) {
    m_saveError = file->GetWriteError();
  }
  return result;
}

int C_WavData::GetChunkInfo(std::uint32_t kind, void** out) {
  void* info = nullptr;
  switch (kind) {
    case kChunkInfoCue: info = &m_cueInfo; break;
    case kChunkInfoText: info = &m_textInfo; break;
    case kChunkInfoSampler: info = &m_samplerInfo; break;
    case kChunkInfoList: info = &m_listInfo; break;
    case kChunkInfoExtra: info = &m_extraInfo; break;
    default: break;
  }
  if (out != nullptr) {
    *out = info;
  }
  return info != nullptr ? 1 : 0;
}

void RescaleMarkers(I_WavData& data, std::uint32_t fromRate, std::uint32_t toRate) {
  data.CueInfo().ScaleToRate(fromRate, toRate);
  data.SamplerInfo().ScaleToRate(fromRate, toRate);
  data.ListInfo().ScaleToRate(fromRate, toRate);
}
