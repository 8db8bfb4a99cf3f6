#include "tests/support/TestSupport.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cerrno>
#include <chrono>
#include <thread>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

extern char** environ;

namespace testsupport {

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "tonvale-test-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) {
    throw std::runtime_error("cannot create a temporary folder");
  }
  m_path = pattern;
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(m_path, ec);
}

std::string TempDir::File(std::string_view name) const {
  return m_path + "/" + std::string(name);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) {
    throw std::runtime_error("cannot write " + path);
  }
}

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& args,
                           const std::string& workDir, const std::vector<std::string>& environment) {
  static int counter = 0;
  const std::string base = (std::filesystem::temp_directory_path() /
                            ("tonvale-child-" + std::to_string(::getpid()) + "-" +
                             std::to_string(counter++)))
                               .string();
  m_outPath = base + ".out";
  m_errPath = base + ".err";

  // The child changes into workDir through a shell-free trampoline: posix_spawn has no chdir
  // action in this C library, so run the program through /usr/bin/env with --chdir.
  std::vector<std::string> argv = {"/usr/bin/env", "--chdir=" + workDir};
  argv.insert(argv.end(), environment.begin(), environment.end());
  argv.push_back(program);
  argv.insert(argv.end(), args.begin(), args.end());
  std::vector<char*> raw;
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
  const int rc = posix_spawn(&m_pid, raw[0], &actions, nullptr, raw.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) {
    throw std::runtime_error("cannot start " + program);
  }
}

ChildProcess::~ChildProcess() {
  if (m_pid > 0) {
    (void)Wait();
  }
}

ProcessResult ChildProcess::Wait(int timeoutMs) {
  ProcessResult result;
  int status = 0;
  if (timeoutMs > 0) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (::waitpid(m_pid, &status, WNOHANG) == 0) {
      if (std::chrono::steady_clock::now() > deadline) {
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, &status, 0);
        status = -1;
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  } else {
    while (::waitpid(m_pid, &status, 0) < 0) {
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

void ChildProcess::Signal(int signal) {
  if (m_pid > 0) {
    ::kill(m_pid, signal);
  }
}

pid_t DeadProcessId() {
  ChildProcess child("/bin/true", {}, ".");
  const pid_t pid = child.Pid();
  (void)child.Wait();
  return pid;
}

ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::string& workDir, const std::vector<std::string>& environment) {
  ChildProcess child(program, args, workDir, environment);
  return child.Wait();
}

}  // namespace testsupport
