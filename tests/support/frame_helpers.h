// Host functions are looked up once per process and the plug-in's state starts
// from scratch only once, so some tests run in a freshly started copy of the test
// program ("threadsafe" death tests re-execute it), which must pass its checks.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>

// Runs `body` (gtest checks) and exits without the parent's gtest or at-exit
// work, with code 1 if a check failed. The parent shows only the child's
// stderr, so the failures are told there.
template <class Body> [[noreturn]] void RunChildChecks(Body body) {
    body();
    const testing::TestResult& result =
        *testing::UnitTest::GetInstance()->current_test_info()->result();
    for (int i = 0; i < result.total_part_count(); ++i)
        std::fprintf(stderr, "line %d: %s\n", result.GetTestPartResult(i).line_number(),
                     result.GetTestPartResult(i).message());
    std::fflush(nullptr);
    _exit(result.Failed() ? 1 : 0);
}

#define EXPECT_IN_FRESH_PROCESS(body, stderrPattern)                                               \
    do {                                                                                           \
        GTEST_FLAG_SET(death_test_style, "threadsafe");                                            \
        EXPECT_EXIT(RunChildChecks(body), ::testing::ExitedWithCode(0), stderrPattern);            \
    } while (0)
