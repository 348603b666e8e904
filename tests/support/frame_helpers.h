// Host functions are looked up once per process and the plug-in's state starts
// from scratch only once, so some tests run in a freshly started copy of the test
// program ("threadsafe" death tests re-execute it), which must pass its checks.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <functional>

struct ChildChecks {
    int failures = 0;
    void Expect(bool ok, const char* what, int line) {
        if (ok) return;
        ++failures;
        std::fprintf(stderr, "check failed at line %d: %s\n", line, what);
    }
};
#define CHILD_EXPECT(checks, condition) (checks).Expect((condition), #condition, __LINE__)

[[noreturn]] inline void RunChildChecks(const std::function<void(ChildChecks&)>& body) {
    ChildChecks checks;
    body(checks);
    std::fflush(nullptr);
    _exit(checks.failures == 0 ? 0 : 1); // not the parent's gtest or at-exit work
}

#define EXPECT_IN_FRESH_PROCESS(body, stderrPattern)                                               \
    do {                                                                                           \
        GTEST_FLAG_SET(death_test_style, "threadsafe");                                            \
        EXPECT_EXIT(RunChildChecks(body), ::testing::ExitedWithCode(0), stderrPattern);            \
    } while (0)
