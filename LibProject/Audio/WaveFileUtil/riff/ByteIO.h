#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/fs/AtomicFile.h"
#include "platform/fs/FileSystem.h"

// Every field of a file is decoded from bytes through these helpers rather than by casting
// packed records, and every read is bounded by what the source really holds.

/// Random-access bytes: a file or a block of memory.
class I_ByteSource {
 public:
  virtual ~I_ByteSource() = default;
  /// Bytes in the source.
  virtual std::uint64_t Size() const = 0;
  /// Reads up to `size` bytes at `offset`; returns the number read (short at the end).
  virtual std::size_t ReadAt(std::uint64_t offset, void* buffer, std::size_t size) = 0;

  /// Reads exactly `size` bytes at `offset`; false when they are not all there.
  bool ReadExact(std::uint64_t offset, void* buffer, std::size_t size) {
    return ReadAt(offset, buffer, size) == size;
  }
};

/// A file opened for reading.
class C_FileByteSource final : public I_ByteSource {
 public:
  /// Opens `path`; empty when it cannot be opened.
  static std::unique_ptr<C_FileByteSource> Open(const std::string& path);
  ~C_FileByteSource() override;
  std::uint64_t Size() const override { return m_size; }
  std::size_t ReadAt(std::uint64_t offset, void* buffer, std::size_t size) override;

 private:
  C_FileByteSource(std::FILE* file, std::uint64_t size) : m_file(file), m_size(size) {}
  std::FILE* m_file;
  std::uint64_t m_size;
};

/// Bytes in memory, borrowed for the source's lifetime.
class C_MemoryByteSource final : public I_ByteSource {
 public:
  explicit C_MemoryByteSource(std::span<const std::uint8_t> bytes) : m_bytes(bytes) {}
  std::uint64_t Size() const override { return m_bytes.size(); }
  std::size_t ReadAt(std::uint64_t offset, void* buffer, std::size_t size) override;

 private:
  std::span<const std::uint8_t> m_bytes;
};

/// Where written bytes go.
class I_ByteSink {
 public:
  virtual ~I_ByteSink() = default;
  virtual bool Write(const void* data, std::size_t size) = 0;
};

/// Collects the bytes in a string.
class C_StringByteSink final : public I_ByteSink {
 public:
  bool Write(const void* data, std::size_t size) override {
    m_bytes.append(static_cast<const char*>(data), size);
    return true;
  }
  const std::string& Bytes() const { return m_bytes; }

 private:
  std::string m_bytes;
};

/// Writes into an atomically replaced file.
class C_AtomicFileSink final : public I_ByteSink {
 public:
  explicit C_AtomicFileSink(platform::AtomicFile& file) : m_file(file) {}
  bool Write(const void* data, std::size_t size) override { return m_file.Write(data, size); }

 private:
  platform::AtomicFile& m_file;
};

/// Creates the atomic output at `path`; when it cannot, `error` says why ("its folder does not
/// exist" for a missing folder).
std::optional<platform::AtomicFile> CreateAtomicOutput(const std::string& path, std::string& error);

inline std::uint16_t GetLE16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
inline std::uint32_t GetLE32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
inline void PutLE16(std::vector<std::uint8_t>& out, std::uint32_t value) {
  out.push_back(static_cast<std::uint8_t>(value));
  out.push_back(static_cast<std::uint8_t>(value >> 8));
}
inline void PutLE32(std::vector<std::uint8_t>& out, std::uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) {
    out.push_back(static_cast<std::uint8_t>(value >> shift));
  }
}
inline void PutId(std::vector<std::uint8_t>& out, const char id[4]) {
  for (int i = 0; i < 4; ++i) {
    out.push_back(static_cast<std::uint8_t>(id[i]));
  }
}

/// Reads fields from a byte span; a read past its end yields zero bytes and marks the reader.
class C_SpanReader {
 public:
  explicit C_SpanReader(std::span<const std::uint8_t> bytes) : m_bytes(bytes) {}
  std::uint16_t U16() { return Take(2) ? GetLE16(m_bytes.data() + m_pos - 2) : 0; }
  std::uint32_t U32() { return Take(4) ? GetLE32(m_bytes.data() + m_pos - 4) : 0; }
  bool Id(char id[4]) {
    if (!Take(4)) {
      return false;
    }
    for (int i = 0; i < 4; ++i) {
      id[i] = static_cast<char>(m_bytes[m_pos - 4 + static_cast<std::size_t>(i)]);
    }
    return true;
  }
  std::size_t Remaining() const { return m_bytes.size() - m_pos; }
  std::size_t Position() const { return m_pos; }
  void Skip(std::size_t n) { m_pos += std::min(n, Remaining()); }
  std::span<const std::uint8_t> Rest() const { return m_bytes.subspan(m_pos); }
  bool Overrun() const { return m_overrun; }

 private:
  bool Take(std::size_t n) {
    if (Remaining() < n) {
      m_pos = m_bytes.size();
      m_overrun = true;
      return false;
    }
    m_pos += n;
    return true;
  }
  std::span<const std::uint8_t> m_bytes;
  std::size_t m_pos = 0;
  bool m_overrun = false;
};

/// True when the four characters at `a` and `b` are equal regardless of ASCII case.
bool SameIdNoCase(const char* a, const char* b);
