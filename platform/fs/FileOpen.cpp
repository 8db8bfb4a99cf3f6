#include "platform/fs/FileOpen.h"

#include <cerrno>
#include <filesystem>
#include <system_error>

#include "platform/fs/FileError.h"
#include "platform/fs/NativePath.h"

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdint>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace platform {

#if defined(_WIN32)

std::FILE* OpenRegularFile(const std::string& path, int* errorNumber, std::uint64_t* size) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::path native = NativePath(path);
  const fs::file_status status = fs::status(native, ec);
  int error = 0;
  std::FILE* file = nullptr;
  if (ec || !fs::exists(status)) {
    error = ENOENT;
  } else if (fs::is_directory(status)) {
    error = EISDIR;
  } else if (!fs::is_regular_file(status)) {
    error = kErrorNotRegularFile;
  } else {
    // Opened with every sharing, delete included: a writer may then replace the file by a
    // rename while it is being read, as it can on POSIX systems (a settings file read by the
    // liveness watcher once a second would otherwise block every save).
    const HANDLE handle = ::CreateFileW(native.c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    const int fd =
        handle == INVALID_HANDLE_VALUE
            ? -1
            : ::_open_osfhandle(reinterpret_cast<std::intptr_t>(handle), _O_RDONLY | _O_BINARY);
    if (handle != INVALID_HANDLE_VALUE && fd < 0) {
      ::CloseHandle(handle);
    }
    file = fd < 0 ? nullptr : ::_fdopen(fd, "rb");
    if (fd >= 0 && file == nullptr) {
      ::_close(fd);
    }
    if (file == nullptr) {
      error = handle == INVALID_HANDLE_VALUE ? ErrorNumberFromWindows(::GetLastError()) : EIO;
    } else if (size != nullptr) {
      const auto bytes = fs::file_size(native, ec);
      *size = ec ? 0 : static_cast<std::uint64_t>(bytes);
    }
  }
  if (file == nullptr && errorNumber != nullptr) {
    *errorNumber = error;
  }
  return file;
}

std::FILE* OpenFileForWriting(const std::string& path, int* errorNumber) {
  std::FILE* file = ::_wfopen(NativePath(path).c_str(), L"wb");
  if (file == nullptr && errorNumber != nullptr) {
    *errorNumber = errno;
  }
  return file;
}

#else

std::FILE* OpenRegularFile(const std::string& path, int* errorNumber, std::uint64_t* size) {
  // Opened without blocking, so that a FIFO cannot hold the program; then only a regular file
  // is read.
  int error = 0;
  std::FILE* file = nullptr;
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    error = errno;
  } else {
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
      error = errno;
    } else if (S_ISDIR(info.st_mode)) {
      error = EISDIR;
    } else if (!S_ISREG(info.st_mode)) {
      error = kErrorNotRegularFile;
    } else {
      const int flags = ::fcntl(fd, F_GETFL);
      if (flags >= 0) {
        (void)::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
      }
      file = ::fdopen(fd, "rb");
      if (file == nullptr) {
        error = errno;
      } else if (size != nullptr) {
        *size = static_cast<std::uint64_t>(info.st_size);
      }
    }
    if (file == nullptr) {
      ::close(fd);
    }
  }
  if (file == nullptr && errorNumber != nullptr) {
    *errorNumber = error;
  }
  return file;
}

std::FILE* OpenFileForWriting(const std::string& path, int* errorNumber) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr && errorNumber != nullptr) {
    *errorNumber = errno;
  }
  return file;
}

#endif

std::optional<std::string> ReadFileBytes(const std::string& path, int* errorNumber) {
  int error = 0;
  std::FILE* file = OpenRegularFile(path, &error);
  std::optional<std::string> bytes;
  if (file != nullptr) {
    std::string text;
    char buffer[65536];
    while (true) {
      const std::size_t got = std::fread(buffer, 1, sizeof buffer, file);
      if (text.size() + got > kMaxReadFileBytes) {
        error = EFBIG;
        break;
      }
      text.append(buffer, got);
      if (got < sizeof buffer) {
        if (std::ferror(file) != 0) {
          error = errno != 0 ? errno : EIO;
        } else {
          bytes = std::move(text);
        }
        break;
      }
    }
    std::fclose(file);
  }
  if (!bytes && errorNumber != nullptr) {
    *errorNumber = error;
  }
  return bytes;
}

}  // namespace platform
