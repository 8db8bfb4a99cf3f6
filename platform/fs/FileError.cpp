#include "platform/fs/FileError.h"

#include <cerrno>
#include <system_error>

#if defined(_WIN32)
#include <windows.h>
#endif

namespace platform {

std::string DescribeFileError(int errorNumber) {
  switch (errorNumber) {
    case 0: return "no error was reported";
    case kErrorNotRegularFile: return "it is not a regular file";
    case ENOENT: return "it does not exist";
    case EISDIR: return "it is a folder";
    case ENOTDIR: return "a part of the path is not a folder";
    case EACCES:
    case EPERM: return "permission denied";
    case ENOSPC: return "no space left on the device";
    case EFBIG: return "the file is too large";
    case EROFS: return "the file system is read-only";
    case EIO: return "an input/output error occurred";
    case ENAMETOOLONG: return "the name is too long";
#if defined(EDQUOT)
    case EDQUOT: return "the disk quota is exhausted";
#endif
    default: {
      std::string text = std::generic_category().message(errorNumber);
      if (!text.empty() && text[0] >= 'A' && text[0] <= 'Z') {
        text[0] = static_cast<char>(text[0] - 'A' + 'a');
      }
      return text;
    }
  }
}

#if defined(_WIN32)
int ErrorNumberFromWindows(unsigned long windowsError) {
  switch (windowsError) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT: return EACCES;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return ENOSPC;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: return EEXIST;
    case ERROR_FILENAME_EXCED_RANGE: return ENAMETOOLONG;
    case ERROR_DIRECTORY: return ENOTDIR;
    default: return EIO;
  }
}
#endif

}  // namespace platform
