#include "platform/service_notify.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "tests/support/notify_listener.h"
#include "tests/support/temp_dir.h"

namespace quarn::platform {
namespace {

using test_support::NotifyListener;

TEST(ServiceNotifyTest, ReadyAndStoppingReachPathAndAbstractSockets) {
    test_support::TempDir dir;
    const std::string path = dir.File("notify");
    const NotifyListener onPath(path);
    ASSERT_TRUE(onPath.Bound());
    const ServiceNotifier toPath(path);
    EXPECT_TRUE(toPath.Ready());
    EXPECT_EQ(onPath.Receive(), "READY=1");
    EXPECT_TRUE(toPath.Stopping());
    EXPECT_EQ(onPath.Receive(), "STOPPING=1");

    const std::string abstract = "@quarn-notify-test-" + std::to_string(::getpid());
    const NotifyListener onAbstract(abstract);
    ASSERT_TRUE(onAbstract.Bound());
    EXPECT_TRUE(NotifyService(abstract, "READY=1"));
    EXPECT_EQ(onAbstract.Receive(), "READY=1");
}

// The socket's name leaves the environment at once, so no child inherits it, and the
// notifier still reaches the manager afterwards.
TEST(ServiceNotifyTest, TheSocketNameLeavesTheEnvironment) {
    test_support::TempDir dir;
    const std::string path = dir.File("notify");
    const NotifyListener listener(path);
    ASSERT_TRUE(listener.Bound());
    ::setenv("NOTIFY_SOCKET", path.c_str(), 1);
    const ServiceNotifier notifier;
    EXPECT_EQ(std::getenv("NOTIFY_SOCKET"), nullptr);
    EXPECT_TRUE(notifier.Ready());
    EXPECT_EQ(listener.Receive(), "READY=1");
    EXPECT_TRUE(notifier.Stopping());
    EXPECT_EQ(listener.Receive(), "STOPPING=1");
}

TEST(ServiceNotifyTest, WithoutAManagerNothingIsSent) {
    ::unsetenv("NOTIFY_SOCKET");
    EXPECT_FALSE(ServiceNotifier().Ready());
    EXPECT_FALSE(ServiceNotifier().Stopping());
    test_support::TempDir dir;
    for (const std::string& name : {std::string(), std::string("relative/notify"), std::string("@"),
                                    dir.File("nobody"), "/" + std::string(200, 'x')}) {
        EXPECT_FALSE(NotifyService(name, "READY=1")) << name;
    }
}

}  // namespace
}  // namespace quarn::platform
