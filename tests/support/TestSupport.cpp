#include "tests/support/TestSupport.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <thread>

#include "platform/fs/NativePath.h"

#if defined(_WIN32)
#include <windows.h>
// After windows.h:
#include <tlhelp32.h>
#else
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

extern char** environ;
#endif

namespace testsupport {
namespace {

namespace fs = std::filesystem;

// A name no other test process picks at the same moment.
std::string UniqueName(std::string_view prefix) {
  static std::atomic<unsigned> counter{0};
  static std::mt19937_64 random{std::random_device{}()};
  return std::string(prefix) + std::to_string(random() % 1000000000ULL) + "-" +
         std::to_string(counter++);
}

#if defined(_WIN32)
constexpr const char* kTempVariable = "TMP";
#else
constexpr const char* kTempVariable = "TMPDIR";
#endif

void SetVariable(const char* name, const std::string& value) {
#if defined(_WIN32)
  ::_putenv_s(name, value.c_str());
#else
  ::setenv(name, value.c_str(), 1);
#endif
}

void UnsetVariable(const char* name) {
#if defined(_WIN32)
  ::_putenv_s(name, "");
#else
  ::unsetenv(name);
#endif
}

}  // namespace

TempDir::TempDir() {
  const fs::path base = fs::temp_directory_path();
  for (int attempt = 0; attempt < 100; ++attempt) {
    const fs::path candidate = base / UniqueName("tonvale-test-");
    std::error_code ec;
    if (fs::create_directory(candidate, ec)) {
      m_path = platform::Utf8Path(candidate);
      return;
    }
  }
  throw std::runtime_error("cannot create a temporary folder");
}

TempDir::~TempDir() {
  std::error_code ec;
  fs::remove_all(platform::NativePath(m_path), ec);
}

std::string TempDir::File(std::string_view name) const { return m_path + "/" + std::string(name); }

std::string ReadFile(const std::string& path) {
  std::ifstream in(platform::NativePath(path), std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, std::string_view bytes) {
  std::ofstream out(platform::NativePath(path), std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) {
    throw std::runtime_error("cannot write " + path);
  }
}

ScopedTempFolder::ScopedTempFolder(const std::string& folder) {
  if (const char* old = std::getenv(kTempVariable)) {
    m_hadOld = true;
    m_old = old;
  }
  SetVariable(kTempVariable, folder);
}

ScopedTempFolder::~ScopedTempFolder() {
  if (m_hadOld) {
    SetVariable(kTempVariable, m_old);
  } else {
    UnsetVariable(kTempVariable);
  }
}

#if defined(_WIN32)

namespace {

// One argument quoted as the C runtime of Windows splits command lines.
std::wstring Quote(const std::wstring& arg) {
  if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos) {
    return arg;
  }
  std::wstring quoted = L"\"";
  std::size_t backslashes = 0;
  for (const wchar_t c : arg) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    if (c == L'"') {
      quoted.append(backslashes * 2 + 1, L'\\');
    } else {
      quoted.append(backslashes, L'\\');
    }
    backslashes = 0;
    quoted += c;
  }
  quoted.append(backslashes * 2, L'\\');
  quoted += L'"';
  return quoted;
}

HANDLE OpenForChild(const std::string& path, bool write) {
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  return ::CreateFileW(platform::NativePath(path).c_str(), write ? GENERIC_WRITE : GENERIC_READ,
                       FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                       write ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// The environment block of this process with the changes of `environment` applied.
std::wstring EnvironmentBlock(const std::vector<std::string>& environment) {
  std::vector<std::wstring> entries;
  wchar_t* current = ::GetEnvironmentStringsW();
  for (const wchar_t* p = current; *p != L'\0'; p += wcslen(p) + 1) {
    entries.emplace_back(p);
  }
  ::FreeEnvironmentStringsW(current);
  auto remove = [&entries](const std::wstring& name) {
    std::erase_if(entries, [&name](const std::wstring& entry) {
      return _wcsnicmp(entry.c_str(), (name + L"=").c_str(), name.size() + 1) == 0;
    });
  };
  for (std::size_t i = 0; i < environment.size(); ++i) {
    if (environment[i] == "-u" && i + 1 < environment.size()) {
      remove(platform::WideText(environment[++i]));
    } else {
      const std::wstring entry = platform::WideText(environment[i]);
      remove(entry.substr(0, entry.find(L'=')));
      entries.push_back(entry);
    }
  }
  std::wstring block;
  for (const std::wstring& entry : entries) {
    block += entry;
    block += L'\0';
  }
  block += L'\0';
  return block;
}

}  // namespace

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& args,
                           const std::string& workDir,
                           const std::vector<std::string>& environment) {
  const std::string base =
      platform::Utf8Path(fs::temp_directory_path() / UniqueName("tonvale-child-"));
  m_outPath = base + ".out";
  m_errPath = base + ".err";
  std::wstring commandLine = Quote(platform::WideText(program));
  for (const std::string& arg : args) {
    commandLine += L" " + Quote(platform::WideText(arg));
  }
  const HANDLE out = OpenForChild(m_outPath, true);
  const HANDLE err = OpenForChild(m_errPath, true);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = nullptr;
  startup.hStdOutput = out;
  startup.hStdError = err;
  std::wstring block = EnvironmentBlock(environment);
  const std::wstring folder = platform::NativePath(workDir).wstring();
  PROCESS_INFORMATION info{};
  const BOOL started =
      ::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE,
                       CREATE_UNICODE_ENVIRONMENT, block.data(), folder.c_str(), &startup, &info);
  ::CloseHandle(out);
  ::CloseHandle(err);
  if (!started) {
    throw std::runtime_error("cannot start " + program);
  }
  ::CloseHandle(info.hThread);
  m_handle = info.hProcess;
  m_pid = info.dwProcessId;
}

ChildProcess::~ChildProcess() {
  if (m_handle != nullptr) {
    (void)Wait();
  }
}

ProcessResult ChildProcess::Wait(int timeoutMs) {
  ProcessResult result;
  const HANDLE process = static_cast<HANDLE>(m_handle);
  if (::WaitForSingleObject(process, timeoutMs > 0 ? static_cast<DWORD>(timeoutMs) : INFINITE) ==
      WAIT_OBJECT_0) {
    DWORD code = 0;
    ::GetExitCodeProcess(process, &code);
    result.exitCode = static_cast<int>(code);
  } else {
    ::TerminateProcess(process, 1);
    ::WaitForSingleObject(process, INFINITE);
  }
  ::CloseHandle(process);
  m_handle = nullptr;
  m_pid = -1;
  result.out = ReadFile(m_outPath);
  result.err = ReadFile(m_errPath);
  std::error_code ec;
  fs::remove(platform::NativePath(m_outPath), ec);
  fs::remove(platform::NativePath(m_errPath), ec);
  return result;
}

void ChildProcess::Kill() {
  if (m_handle != nullptr) {
    ::TerminateProcess(static_cast<HANDLE>(m_handle), 1);
  }
}

ProcessId DeadProcessId() {
  ChildProcess child("cmd.exe", {"/c", "exit"}, ".");
  const ProcessId pid = child.Pid();
  (void)child.Wait();
  return pid;
}

ProcessId CurrentProcessId() { return ::GetCurrentProcessId(); }

ProcessId OtherRunningProcessId() {
  // Any other process of the system list: under Wine the parent may be reported as 0.
  const DWORD self = ::GetCurrentProcessId();
  const HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  ProcessId other = -1;
  for (BOOL more = ::Process32FirstW(snapshot, &entry); more && other < 0;
       more = ::Process32NextW(snapshot, &entry)) {
    if (entry.th32ProcessID != self && entry.th32ProcessID != 0) {
      other = entry.th32ProcessID;
    }
  }
  ::CloseHandle(snapshot);
  return other;
}

#else

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& args,
                           const std::string& workDir,
                           const std::vector<std::string>& environment) {
  const std::string base = (fs::temp_directory_path() / UniqueName("tonvale-child-")).string();
  m_outPath = base + ".out";
  m_errPath = base + ".err";

  // The child changes into workDir through a shell-free trampoline: posix_spawn has no chdir
  // action in this C library, so run the program through /usr/bin/env with --chdir.
  std::vector<std::string> argv = {"/usr/bin/env", "--chdir=" + workDir};
  argv.insert(argv.end(), environment.begin(), environment.end());
  argv.push_back(program);
  argv.insert(argv.end(), args.begin(), args.end());
  std::vector<char*> raw;
  raw.reserve(argv.size() + 1);
  for (std::string& a : argv) {
    raw.push_back(a.data());
  }
  raw.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, m_outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0600);
  posix_spawn_file_actions_addopen(&actions, 2, m_errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0600);
  pid_t pid = -1;
  const int rc = posix_spawn(&pid, raw[0], &actions, nullptr, raw.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) {
    throw std::runtime_error("cannot start " + program);
  }
  m_pid = pid;
}

ChildProcess::~ChildProcess() {
  if (m_pid > 0) {
    (void)Wait();
  }
}

ProcessResult ChildProcess::Wait(int timeoutMs) {
  ProcessResult result;
  int status = 0;
  const auto pid = static_cast<pid_t>(m_pid);
  if (timeoutMs > 0) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (::waitpid(pid, &status, WNOHANG) == 0) {
      if (std::chrono::steady_clock::now() > deadline) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
        status = -1;
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  } else {
    while (::waitpid(pid, &status, 0) < 0) {
      if (errno != EINTR) {
        status = -1;
        break;
      }
    }
  }
  m_pid = -1;
  result.exitCode = (status != -1 && WIFEXITED(status)) ? WEXITSTATUS(status) : -1;
  result.out = ReadFile(m_outPath);
  result.err = ReadFile(m_errPath);
  std::remove(m_outPath.c_str());
  std::remove(m_errPath.c_str());
  return result;
}

void ChildProcess::Kill() {
  if (m_pid > 0) {
    ::kill(static_cast<pid_t>(m_pid), SIGKILL);
  }
}

ProcessId DeadProcessId() {
  ChildProcess child("/bin/true", {}, ".");
  const ProcessId pid = child.Pid();
  (void)child.Wait();
  return pid;
}

ProcessId CurrentProcessId() { return ::getpid(); }

ProcessId OtherRunningProcessId() { return ::getppid(); }

#endif

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) {
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

bool ChildProcess::WaitForOutput(std::string_view text, int timeoutMs) {
  return WaitUntil([&] { return ReadFile(m_outPath).find(text) != std::string::npos; },
                   std::chrono::milliseconds(timeoutMs));
}

ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::string& workDir, const std::vector<std::string>& environment) {
  ChildProcess child(program, args, workDir, environment);
  return child.Wait();
}

std::string JsonSchemaProblems(const std::string& schemaPath, const std::string& documentPath) {
#if defined(__linux__)
  const ProcessResult r =
      RunProcess("/usr/bin/python3", {"-c",
                                      "import json, sys, jsonschema\n"
                                      "schema = json.load(open(sys.argv[1]))\n"
                                      "jsonschema.Draft202012Validator.check_schema(schema)\n"
                                      "jsonschema.validate(json.load(open(sys.argv[2])), schema,"
                                      " cls=jsonschema.Draft202012Validator)\n",
                                      schemaPath, documentPath});
  return r.exitCode == 0 ? std::string() : r.out + r.err;
#else
  (void)schemaPath;
  (void)documentPath;
  return {};
#endif
}

}  // namespace testsupport
