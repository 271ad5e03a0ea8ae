#include "platform/single_instance.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

namespace quarn::platform {
namespace {

// Unique per test process, so parallel test runs never meet.
std::string TestName(const char* what) {
    return std::string("test-") + what + "-" + std::to_string(getpid());
}

TEST(SingleInstance, OnlyOneHolderUntilReleased) {
    const std::string name = TestName("hold");
    SingleInstance first;
    ASSERT_TRUE(first.Acquire(name));
    EXPECT_GE(first.Fd(), 0);
    SingleInstance second;
    EXPECT_FALSE(second.Acquire(name));
    EXPECT_FALSE(second.Held());
    first.Release();
    EXPECT_TRUE(second.Acquire(name));
    EXPECT_FALSE(first.Acquire(name));
}

TEST(SingleInstance, RaiseRequestReachesTheHolder) {
    const std::string name = TestName("raise");
    EXPECT_FALSE(SingleInstance::NotifyRunning(name));  // nobody holds it yet
    SingleInstance holder;
    ASSERT_TRUE(holder.Acquire(name));
    EXPECT_FALSE(holder.TakeRaiseRequest());  // nothing pending, and no blocking
    ASSERT_TRUE(SingleInstance::NotifyRunning(name));
    EXPECT_TRUE(holder.TakeRaiseRequest());
    EXPECT_FALSE(holder.TakeRaiseRequest());
}

}  // namespace
}  // namespace quarn::platform
