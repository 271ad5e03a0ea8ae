#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/e2e/console_network_test.h"
#include "tests/e2e/console_output.h"

namespace quarn::e2e {
namespace {

// A refused setting needs no network; the host only keeps a faulty build off the real one.
class ConsoleRefusalTest : public ConsoleNetworkTest {
  protected:
    ConsoleRefusalTest() : ConsoleNetworkTest(1) {}
};

TEST_F(ConsoleRefusalTest, InvalidSettingsAreRefusedBeforeARunStarts) {
    struct Case {
        std::vector<std::string> settings;
        std::string notice;
    };
    const std::vector<Case> cases = {
        {{"--duration", "0"}, "Duration must be greater than 0."},
        {{"--duration", "-5"}, "Duration must be greater than 0."},
        {{"--duration", "ten"}, "Duration must be greater than 0."},
        {{"--duration", "259201"}, "Duration can be set from 1 to 259,200 sec."},
        {{"--window", "5.01"}, "The max value of Window size is 5MByte."},
        {{"--window", "0"}, "Window size must be greater than 0."},
        {{"--udp", "--throughput", "0"}, "Throughput must be greater than 0."},
    };
    for (const Case& refused : cases) {
        std::vector<std::string> args = {"--pair", "198.18.0.12,198.18.0.13"};
        args.insert(args.end(), refused.settings.begin(), refused.settings.end());
        SCOPED_TRACE(refused.notice + " for " + refused.settings.back());
        const ConsoleResult run = RunConsole(args, 10000);
        EXPECT_EQ(run.exitCode, 2) << run.Transcript();
        EXPECT_TRUE(HasLine(run.lines, refused.notice)) << run.Transcript();
        EXPECT_FALSE(AnyLineContains(run.lines, "Measuring")) << run.Transcript();
    }
}

}  // namespace
}  // namespace quarn::e2e
