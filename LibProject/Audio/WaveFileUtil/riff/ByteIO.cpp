#include "LibProject/Audio/WaveFileUtil/riff/ByteIO.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/fs/FileError.h"

std::unique_ptr<C_FileByteSource> C_FileByteSource::Open(const std::string& path) {
  // Only a regular file: a FIFO would block the open, a device may never end.
  std::uint64_t size = 0;
  std::FILE* file = platform::OpenRegularFile(path, nullptr, &size);
  if (file == nullptr) {
    return nullptr;
  }
  return std::unique_ptr<C_FileByteSource>(new C_FileByteSource(file, size));
}

C_FileByteSource::~C_FileByteSource() { std::fclose(m_file); }

std::size_t C_FileByteSource::ReadAt(std::uint64_t offset, void* buffer, std::size_t size) {
  if (offset >= m_size || size == 0) {
    return 0;
  }
#if defined(_WIN32)
  if (_fseeki64(m_file, static_cast<long long>(offset), SEEK_SET) != 0) {
    return 0;
  }
#else
  if (::fseeko(m_file, static_cast<off_t>(offset), SEEK_SET) != 0) {
    return 0;
  }
#endif
  const auto wanted = static_cast<std::size_t>(std::min<std::uint64_t>(size, m_size - offset));
  return std::fread(buffer, 1, wanted, m_file);
}

std::size_t C_MemoryByteSource::ReadAt(std::uint64_t offset, void* buffer, std::size_t size) {
  if (offset >= m_bytes.size()) {
    return 0;
  }
  const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(size, m_bytes.size() - offset));
  if (n > 0) {
    std::memcpy(buffer, m_bytes.data() + offset, n);
  }
  return n;
}

bool SameIdNoCase(const char* a, const char* b) {
  for (int i = 0; i < 4; ++i) {
    auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; };
    if (lower(a[i]) != lower(b[i])) {
      return false;
    }
  }
  return true;
}

std::optional<platform::AtomicFile> CreateAtomicOutput(const std::string& path,
                                                       std::string& error) {
  int number = 0;
  auto file = platform::AtomicFile::Create(path, &number);
  if (!file) {
    error = number == ENOENT ? std::string("its folder does not exist")
                             : platform::DescribeFileError(number);
  }
  return file;
}
