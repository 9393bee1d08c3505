// The checks of the Win32 test programs that run under Wine, where the
// tests' GoogleTest program is not built: each failed check prints its file,
// line and expression, and the program's exit code counts the failures.
#pragma once

#include <cstdio>
#include <string>

namespace zarno {

inline int failedChecks = 0;

inline void ReportFailedCheck(const char* file, int line, const std::string& what) {
  ++failedChecks;
  std::printf("FAILED %s:%d: %s\n", file, line, what.c_str());
  std::fflush(stdout);
}

// Prints how many checks failed, as the last line; the exit code.
inline int FinishChecks(const char* program) {
  std::printf("%s: %s (%d failed checks)\n", program, failedChecks == 0 ? "PASS" : "FAIL", failedChecks);
  return failedChecks == 0 ? 0 : 1;
}

}  // namespace zarno

#define CHECK(condition)                                              \
  do {                                                                \
    if (!(condition)) ::zarno::ReportFailedCheck(__FILE__, __LINE__, #condition); \
  } while (0)

#define CHECK_EQ(actual, expected)                                                          \
  do {                                                                                      \
    if (!((actual) == (expected))) {                                                        \
      ::zarno::ReportFailedCheck(__FILE__, __LINE__, #actual " == " #expected);             \
    }                                                                                       \
  } while (0)
