#include "platform/FileSystem.h"

#include <atomic>
#include <cstdint>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <system_error>

#if defined(_WIN32)
#include <io.h>
#include <process.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace platform {
namespace {

// A name that no other process or thread picks at the same moment: process id, a counter and
// random bits.
std::string UniqueSuffix() {
  static std::atomic<unsigned> counter{0};
  thread_local std::mt19937_64 random{std::random_device{}() ^
                                      static_cast<std::uint64_t>(
                                          std::chrono::steady_clock::now().time_since_epoch().count())};
#if defined(_WIN32)
  const long long pid = _getpid();
#else
  const long long pid = getpid();
#endif
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%lld.%u.%llx", pid, counter.fetch_add(1),
                static_cast<unsigned long long>(random() >> 16));
  return buffer;
}

#if !defined(_WIN32)
bool WriteAll(int fd, std::string_view bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) {
        continue;
      }
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// Creates `path` exclusively with `mode` (before the umask) and writes `bytes`, flushed to disk.
bool WriteNewFile(const std::string& path, std::string_view bytes, mode_t mode) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
  if (fd < 0) {
    return false;
  }
  const bool ok = WriteAll(fd, bytes) && ::fsync(fd) == 0;
  if (::close(fd) != 0 || !ok) {
    ::unlink(path.c_str());
    return false;
  }
  return true;
}
#endif

}  // namespace

bool PathExists(const std::string& path) {
  std::error_code ec;
  return !path.empty() && fs::exists(fs::path(path), ec);
}

bool DirectoryExists(const std::string& path) {
  std::error_code ec;
  return !path.empty() && fs::is_directory(fs::path(path), ec);
}

bool CreateDirectoryTree(const std::string& path) {
  if (path.empty()) {
    return false;
  }
  std::error_code ec;
  fs::create_directories(fs::path(path), ec);
  return DirectoryExists(path);
}

bool DeleteFilePath(const std::string& path) {
  std::error_code ec;
  return !path.empty() && fs::remove(fs::path(path), ec);
}

std::optional<std::string> ReadFileBytes(const std::string& path) {
  std::ifstream in(fs::path(path), std::ios::binary);
  if (!in) {
    return std::nullopt;
  }
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) {
    return std::nullopt;
  }
  return bytes;
}

std::string ParentFolder(const std::string& path) {
#if defined(_WIN32)
  const auto slash = path.find_last_of("\\/");
#else
  const auto slash = path.find_last_of('/');
#endif
  if (slash == std::string::npos) {
    return ".";
  }
  if (slash == 0) {
    return path.substr(0, 1);
  }
  return path.substr(0, slash);
}

std::string SystemTempFolder() {
  std::error_code ec;
  const fs::path folder = fs::temp_directory_path(ec);
  return ec ? std::string(".") : folder.string();
}

#if defined(_WIN32)

bool CreateFileExclusive(const std::string& path, std::string_view bytes) {
  const HANDLE h = ::CreateFileA(path.c_str(), GENERIC_WRITE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    return false;
  }
  DWORD written = 0;
  const bool ok = ::WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                              nullptr) && written == bytes.size();
  ::CloseHandle(h);
  if (!ok) {
    ::DeleteFileA(path.c_str());
  }
  return ok;
}

std::optional<AtomicFile> AtomicFile::Create(const std::string& path) {
  AtomicFile file;
  file.m_target = path;
  file.m_temp = path + ".tmp" + UniqueSuffix();
  file.m_file = std::fopen(file.m_temp.c_str(), "wbx");
  if (file.m_file == nullptr) {
    return std::nullopt;
  }
  return file;
}

bool AtomicFile::Commit(bool /*durable*/) {
  if (m_file == nullptr) {
    return false;
  }
  bool ok = !m_failed && std::fflush(m_file) == 0;
  ok = (std::fclose(m_file) == 0) && ok;
  m_file = nullptr;
  if (ok && ::MoveFileExA(m_temp.c_str(), m_target.c_str(),
                          MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    m_temp.clear();
    return true;
  }
  Discard();
  return false;
}

void AtomicFile::Discard() noexcept {
  if (m_file != nullptr) {
    std::fclose(m_file);
    m_file = nullptr;
  }
  if (!m_temp.empty()) {
    ::DeleteFileA(m_temp.c_str());
    m_temp.clear();
  }
}

std::optional<TempFile> TempFile::Create(std::string_view prefix) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string path =
        (fs::path(SystemTempFolder()) / (std::string(prefix) + UniqueSuffix())).string();
    if (CreateFileExclusive(path, {})) {
      return TempFile(path);
    }
  }
  return std::nullopt;
}

FolderLock::FolderLock(const std::string&) {}
FolderLock::~FolderLock() = default;

#else

bool CreateFileExclusive(const std::string& path, std::string_view bytes) {
  // Written under a private name first and then linked into place, so that the name appears
  // only with its complete content and an existing file is never replaced.
  const std::string temp = ParentFolder(path) + "/.tonvale-new." + UniqueSuffix();
  if (!WriteNewFile(temp, bytes, 0666)) {
    return WriteNewFile(path, bytes, 0666);
  }
  const int linked = ::link(temp.c_str(), path.c_str());
  const int linkError = errno;
  ::unlink(temp.c_str());
  if (linked == 0) {
    return true;
  }
  if (linkError == EEXIST) {
    return false;
  }
  // Some file systems have no hard links: fall back to an exclusive create.
  return WriteNewFile(path, bytes, 0666);
}

std::optional<AtomicFile> AtomicFile::Create(const std::string& requested) {
  AtomicFile file;
  file.m_target = requested;
  struct stat info {};
  if (::stat(requested.c_str(), &info) == 0) {
    std::error_code ec;
    const fs::path resolved = fs::canonical(requested, ec);
    if (!ec) {
      file.m_target = resolved.string();
    }
    if (::access(file.m_target.c_str(), W_OK) != 0) {
      return std::nullopt;  // a read-only file stays as it is
    }
    file.m_keepMode = true;
    file.m_mode = info.st_mode & 07777;
  }
  file.m_temp = ParentFolder(file.m_target) + "/.tonvale-tmp." + UniqueSuffix();
  const int fd = ::open(file.m_temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) {
    return std::nullopt;
  }
  file.m_file = ::fdopen(fd, "wb");
  if (file.m_file == nullptr) {
    ::close(fd);
    ::unlink(file.m_temp.c_str());
    return std::nullopt;
  }
  return file;
}

bool AtomicFile::Commit(bool durable) {
  if (m_file == nullptr) {
    return false;
  }
  bool ok = !m_failed && std::fflush(m_file) == 0 && (!durable || ::fsync(::fileno(m_file)) == 0);
  if (m_keepMode) {
    ok = ok && ::fchmod(::fileno(m_file), static_cast<mode_t>(m_mode)) == 0;
  }
  ok = (std::fclose(m_file) == 0) && ok;
  m_file = nullptr;
  if (ok && ::rename(m_temp.c_str(), m_target.c_str()) == 0) {
    m_temp.clear();
    return true;
  }
  Discard();
  return false;
}

void AtomicFile::Discard() noexcept {
  if (m_file != nullptr) {
    std::fclose(m_file);
    m_file = nullptr;
  }
  if (!m_temp.empty()) {
    ::unlink(m_temp.c_str());
    m_temp.clear();
  }
}

std::optional<TempFile> TempFile::Create(std::string_view prefix) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string path =
        (fs::path(SystemTempFolder()) / (std::string(prefix) + UniqueSuffix())).string();
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd >= 0) {
      ::close(fd);
      return TempFile(path);
    }
    if (errno != EEXIST) {
      break;
    }
  }
  return std::nullopt;
}

FolderLock::FolderLock(const std::string& folder) {
  m_fd = ::open(folder.c_str(), O_RDONLY | O_CLOEXEC);
  if (m_fd < 0) {
    return;
  }
  while (::flock(m_fd, LOCK_EX) != 0) {
    if (errno != EINTR) {
      ::close(m_fd);
      m_fd = -1;
      return;
    }
  }
}

FolderLock::~FolderLock() {
  if (m_fd >= 0) {
    ::flock(m_fd, LOCK_UN);
    ::close(m_fd);
  }
}

#endif

AtomicFile::AtomicFile(AtomicFile&& other) noexcept
    : m_target(std::move(other.m_target)),
      m_temp(std::move(other.m_temp)),
      m_file(other.m_file),
      m_failed(other.m_failed),
      m_keepMode(other.m_keepMode),
      m_mode(other.m_mode) {
  other.m_file = nullptr;
  other.m_temp.clear();
}

AtomicFile::~AtomicFile() { Discard(); }

bool AtomicFile::Write(const void* data, std::size_t size) {
  if (m_file == nullptr || m_failed) {
    return false;
  }
  if (size > 0 && std::fwrite(data, 1, size, m_file) != size) {
    m_failed = true;
  }
  return !m_failed;
}

bool ReplaceFileAtomically(const std::string& path, std::string_view bytes) {
  auto file = AtomicFile::Create(path);
  return file && file->Write(bytes.data(), bytes.size()) && file->Commit();
}

TempFile::TempFile(TempFile&& other) noexcept : m_path(std::move(other.m_path)) {
  other.m_path.clear();
}

TempFile& TempFile::operator=(TempFile&& other) noexcept {
  if (this != &other) {
    Remove();
    m_path = std::move(other.m_path);
    other.m_path.clear();
  }
  return *this;
}

TempFile::~TempFile() { Remove(); }

void TempFile::Remove() noexcept {
  if (!m_path.empty()) {
    std::error_code ec;
    fs::remove(fs::path(m_path), ec);
    m_path.clear();
  }
}

}  // namespace platform
