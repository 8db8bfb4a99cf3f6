#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace testsupport {

/// A fresh folder under the system temporary folder, removed with everything in it.
class TempDir {
 public:
  TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  ~TempDir();

  const std::string& Path() const { return m_path; }
  /// Path of `name` inside the folder.
  std::string File(std::string_view name) const;

 private:
  std::string m_path;
};

std::string ReadFile(const std::string& path);

/// Waits until `condition` holds, for at most `timeout`; whether it held. For conditions that no
/// callback signals (files on disk, another process's output), which it looks at every
/// millisecond.
bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout);
void WriteFile(const std::string& path, std::string_view bytes);
inline void WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  WriteFile(path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

/// Points the system temporary folder of this process at `folder` while it lives (TMPDIR, or
/// TMP on Windows), so that a test sees only its own temporary files.
class ScopedTempFolder {
 public:
  explicit ScopedTempFolder(const std::string& folder);
  ScopedTempFolder(const ScopedTempFolder&) = delete;
  ScopedTempFolder& operator=(const ScopedTempFolder&) = delete;
  ~ScopedTempFolder();

 private:
  bool m_hadOld = false;
  std::string m_old;
};

/// A process id as the system gives it.
using ProcessId = long long;

/// What a finished child process left behind.
struct ProcessResult {
  int exitCode = -1;  ///< exit status, or -1 when it did not exit normally
  std::string out;    ///< standard output, byte for byte
  std::string err;    ///< standard error
};

/// A child process started with its standard output and error sent to files.
class ChildProcess {
 public:
  /// Starts `program` in `workDir`; `environment` holds extra NAME=VALUE settings, and
  /// "-u NAME" pairs remove a variable.
  ChildProcess(const std::string& program, const std::vector<std::string>& args,
               const std::string& workDir, const std::vector<std::string>& environment = {});
  ~ChildProcess();
  /// Waits for the process to end; after `timeoutMs` (when positive) it is killed and the
  /// result's exit code is -1.
  ProcessResult Wait(int timeoutMs = 0);
  /// Ends the process at once (SIGKILL; TerminateProcess on Windows) without waiting.
  void Kill();
  /// Waits until the process's standard output holds `text`; false when it does not within
  /// `timeoutMs` (the process is left running either way).
  bool WaitForOutput(std::string_view text, int timeoutMs);
  ProcessId Pid() const { return m_pid; }

 private:
  ProcessId m_pid = -1;
  void* m_handle = nullptr;  // the process handle on Windows
  std::string m_outPath;
  std::string m_errPath;
};

/// The id of a process that has run and ended: a process id no running process has.
ProcessId DeadProcessId();

/// The id of this process.
ProcessId CurrentProcessId();

/// The id of another process that runs while this one does (its parent, where the system
/// tells it).
ProcessId OtherRunningProcessId();

/// Runs `program` with `args` (not counting the program) in `workDir` and waits for it.
ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::string& workDir = ".",
                         const std::vector<std::string>& environment = {});

/// What an independent validator (Python's jsonschema, draft 2020-12) says of the JSON document
/// at `documentPath` against the schema at `schemaPath`: empty when it is valid. Always empty
/// where there is no such validator (the Windows build).
std::string JsonSchemaProblems(const std::string& schemaPath, const std::string& documentPath);

}  // namespace testsupport
