#include "platform/fs/TempFileNames.h"

#include "platform/fs/NativePath.h"

#include <atomic>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <random>
#include <system_error>

#if defined(_WIN32)
#include <process.h>
#include <windows.h>
#else
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace platform {
namespace {

long long ProcessId() {
#if defined(_WIN32)
  return _getpid();
#else
  return getpid();
#endif
}

// Whether process `pid` of this host still runs. When in doubt (no permission to ask, say) it
// counts as running, so that nothing in use is ever removed.
bool ProcessRuns(long long pid) {
#if defined(_WIN32)
  const HANDLE process =
      ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(pid));
  if (process == nullptr) {
    return ::GetLastError() != ERROR_INVALID_PARAMETER;
  }
  DWORD code = 0;
  const bool running = ::GetExitCodeProcess(process, &code) && code == STILL_ACTIVE;
  ::CloseHandle(process);
  return running;
#else
  if (pid <= 0 || pid > 0x7FFFFFFF) {
    return true;
  }
  return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH;
#endif
}

bool ParseNumber(std::string_view text, long long& value, int base) {
  if (text.empty()) {
    return false;
  }
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  return ec == std::errc() && end == text.data() + text.size() && value >= 0;
}

}  // namespace

const std::string& HostName() {
  static const std::string name = [] {
    char buffer[256] = {};
#if defined(_WIN32)
    DWORD size = sizeof buffer;
    if (!::GetComputerNameA(buffer, &size)) {
      buffer[0] = '\0';
    }
#else
    if (::gethostname(buffer, sizeof buffer - 1) != 0) {
      buffer[0] = '\0';
    }
#endif
    std::string host;
    for (const char* c = buffer; *c != '\0'; ++c) {
      const bool safe = (*c >= 'a' && *c <= 'z') || (*c >= 'A' && *c <= 'Z') ||
                        (*c >= '0' && *c <= '9') || *c == '-' || *c == '.';
      host += safe ? *c : '_';
    }
    return host.empty() ? std::string("localhost") : host;
  }();
  return name;
}

std::string UniqueTempName(std::string_view prefix) {
  static std::atomic<unsigned> counter{0};
  thread_local std::mt19937_64 random{
      std::random_device{}() ^
      static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count())};
  char tail[80];
  std::snprintf(tail, sizeof tail, ".%lld.%u.%llx", ProcessId(), counter.fetch_add(1),
                static_cast<unsigned long long>(random() >> 16));
  return std::string(prefix) + HostName() + tail;
}

std::optional<TempNameOwner> ParseTempName(std::string_view name, std::string_view prefix) {
  if (name.size() <= prefix.size() || name.substr(0, prefix.size()) != prefix) {
    return std::nullopt;
  }
  std::string_view rest = name.substr(prefix.size());
  // From the end: random bits (hex), counter, process id; the host name is what remains and
  // may itself hold dots.
  std::string_view fields[3];
  for (int i = 2; i >= 0; --i) {
    const auto dot = rest.rfind('.');
    if (dot == std::string_view::npos) {
      return std::nullopt;
    }
    fields[i] = rest.substr(dot + 1);
    rest = rest.substr(0, dot);
  }
  long long pid = 0;
  long long count = 0;
  if (rest.empty() || !ParseNumber(fields[0], pid, 10) || !ParseNumber(fields[1], count, 10) ||
      fields[2].empty() || fields[2].size() > 16) {
    return std::nullopt;
  }
  for (const char c : fields[2]) {
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) {
      return std::nullopt;
    }
  }
  return TempNameOwner{std::string(rest), pid};
}

int RemoveStaleTempFiles(const std::string& folder, std::string_view prefix) {
  std::error_code ec;
  fs::directory_iterator it(folder.empty() ? fs::path(".") : NativePath(folder), ec);
  int removed = 0;
  for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
    const std::string name = Utf8Path(it->path().filename());
    const auto owner = ParseTempName(name, prefix);
    if (!owner || owner->host != HostName() || owner->pid == ProcessId() ||
        ProcessRuns(owner->pid)) {
      continue;
    }
    std::error_code statError;
    if (!fs::is_regular_file(fs::symlink_status(it->path(), statError)) || statError) {
      continue;
    }
    std::error_code removeError;
    if (fs::remove(it->path(), removeError)) {
      ++removed;
    }
  }
  return removed;
}

}  // namespace platform
