// Helpers for tests that need a process of their own: the host binding
// resolves each host function once per process, and the plug-in's error state
// starts at its initial values only once, so such tests run in a child.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

// Checks made inside a child process. Failures are written to the child's
// stderr; the child's exit code tells the parent whether all passed.
class ChildChecks {
  public:
    void Expect(bool ok, const char* what, int line);
    [[noreturn]] void Finish();
    int Failures() const { return m_failures; }

  private:
    int m_failures = 0;
};

#define CHILD_EXPECT(checks, condition) (checks).Expect((condition), #condition, __LINE__)

// Runs `body` and ends the process with its verdict (exit code 0 = all passed).
[[noreturn]] void RunChildChecks(const std::function<void(ChildChecks&)>& body);

// Runs `body` in a freshly started copy of the test program (gtest's
// "threadsafe" death-test style re-executes the binary for just this test), so
// no earlier test has touched the plug-in or its host binding. The child must
// pass its checks and its stderr must match `stderrPattern`.
#define EXPECT_IN_FRESH_PROCESS(body, stderrPattern)                                               \
    do {                                                                                           \
        GTEST_FLAG_SET(death_test_style, "threadsafe");                                            \
        EXPECT_EXIT(RunChildChecks(body), ::testing::ExitedWithCode(0), stderrPattern);            \
    } while (0)

// The outcome of another program run to its end.
struct ProgramRun {
    bool exited = false; // false when a signal ended it
    int exitCode = -1;
    int signal = 0;
    std::string out;
    std::string err;
};

// Runs `program` with `args`, with the environment of this process less the
// variables named in `unset`; captures stdout and stderr.
ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& args,
                      const std::vector<std::string>& unset = {});

// How many times `needle` occurs in `text`.
int CountOccurrences(const std::string& text, const std::string& needle);
