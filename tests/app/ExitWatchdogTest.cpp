#include "app/desktop/ExitWatchdog.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

namespace velmora {
namespace {

using namespace std::chrono_literals;

TEST(ExitWatchdogDeathTest, EndsAProcessWhoseTeardownNeverEnds)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            ExitWatchdog watchdog;
            watchdog.arm(3, 50ms);
            std::this_thread::sleep_for(30s); // a teardown that hangs, but not the suite
            std::exit(0);
        },
        ::testing::ExitedWithCode(3), "hängen geblieben");
}

TEST(ExitWatchdogDeathTest, StaysOutOfATeardownThatEnds)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            {
                ExitWatchdog watchdog;
                watchdog.arm(3, 60s);
            }
            std::exit(7);
        },
        ::testing::ExitedWithCode(7), "");
}

} // namespace
} // namespace velmora
