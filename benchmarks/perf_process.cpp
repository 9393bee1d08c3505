#include "benchmarks/perf_process.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

namespace zarno {
namespace {

constexpr const char* kSelfPath = "/proc/self/exe";

// The child's argument vector, built before the fork.
std::vector<char*> ChildArgv(const std::vector<std::string>& arguments) {
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(kSelfPath));
  argv.push_back(const_cast<char*>(kChildSwitch));
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  return argv;
}

// Between fork and exec: only descriptor calls, then the exec.
[[noreturn]] void ExecChild(char* const* argv, int outFd, int errFd) {
  ::dup2(outFd, STDOUT_FILENO);
  ::dup2(errFd, STDERR_FILENO);
  ::execv(kSelfPath, argv);
  ::_exit(127);
}

std::string ReadAll(int fd) {
  std::string text;
  char block[256];
  while (true) {
    const ssize_t got = ::read(fd, block, sizeof block);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return text;
    text.append(block, static_cast<size_t>(got));
  }
}

// VmHWM of /proc/self/status, in KiB; 0 when it cannot be read.
uint64_t PeakResidentKib() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmHWM:", 0) == 0) return std::strtoull(line.c_str() + 6, nullptr, 10);
  }
  return 0;
}

std::string FileText(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// The child's verdict from its exit status, its output and its errors.
void Judge(ChildMeasurement& result, int status, const std::string& output, const std::string& errors) {
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    result.failure = "child ended with status " + std::to_string(status) + ": " + errors;
    return;
  }
  if (!errors.empty()) {
    result.failure = "child wrote to standard error: " + errors;
    return;
  }
  double wall = 0, cpu = 0;
  unsigned long long peakKib = 0;
  if (std::sscanf(output.c_str(), "%lf %lf %llu", &wall, &cpu, &peakKib) != 3) {
    result.failure = "child printed no result: " + output;
    return;
  }
  result.time = {wall, cpu};
  result.peakKib = peakKib;
  result.ok = true;
}

}  // namespace

ChildMeasurement MeasureInChild(const std::vector<std::string>& arguments,
                                const std::filesystem::path& stderrPath) {
  ChildMeasurement result;
  int pipeFds[2];
  const int errFd = ::open(stderrPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (errFd < 0 || ::pipe2(pipeFds, O_CLOEXEC) != 0) {
    if (errFd >= 0) ::close(errFd);
    result.failure = "cannot set up the child's output";
    return result;
  }
  const std::vector<char*> argv = ChildArgv(arguments);
  std::fflush(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) ExecChild(argv.data(), pipeFds[1], errFd);
  ::close(pipeFds[1]);
  ::close(errFd);
  const std::string output = pid > 0 ? ReadAll(pipeFds[0]) : std::string();
  ::close(pipeFds[0]);
  if (pid < 0) {
    result.failure = "cannot start a child";
    return result;
  }
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  Judge(result, status, output, FileText(stderrPath));
  return result;
}

void ReportChildResult(const WorkTime& time) {
  std::printf("%.9f %.9f %llu\n", time.wallSeconds, time.cpuSeconds,
              static_cast<unsigned long long>(PeakResidentKib()));
  std::fflush(stdout);
}

}  // namespace zarno
