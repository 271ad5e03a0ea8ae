#include "platform/service_notify.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tests/support/temp_dir.h"

namespace quarn::platform {
namespace {

// A service manager's end of the notification socket.
class NotifyListener {
  public:
    // `name`: a path, or "@name" for an abstract socket.
    explicit NotifyListener(const std::string& name)
        : fd_(::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0)) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path, name.data(), name.size());
        if (name[0] == '@') {
            address.sun_path[0] = '\0';
        }
        const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + name.size() +
                                                   (name[0] == '@' ? 0 : 1));
        bound_ = ::bind(fd_, reinterpret_cast<const sockaddr*>(&address), length) == 0;
        timeval wait{2, 0};
        ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    }
    ~NotifyListener() { ::close(fd_); }
    bool Bound() const { return bound_; }
    // The next message, or "" when none comes within 2 s.
    std::string Receive() const {
        char buffer[256];
        const ssize_t got = ::recv(fd_, buffer, sizeof buffer, 0);
        return got > 0 ? std::string(buffer, static_cast<std::size_t>(got)) : std::string();
    }

  private:
    int fd_;
    bool bound_ = false;
};

TEST(ServiceNotifyTest, ReadinessReachesPathAndAbstractSockets) {
    test_support::TempDir dir;
    const std::string path = dir.File("notify");
    const NotifyListener onPath(path);
    ASSERT_TRUE(onPath.Bound());
    EXPECT_TRUE(NotifyServiceReady(path));
    EXPECT_EQ(onPath.Receive(), "READY=1");

    const std::string abstract = "@quarn-notify-test-" + std::to_string(::getpid());
    const NotifyListener onAbstract(abstract);
    ASSERT_TRUE(onAbstract.Bound());
    ::setenv("NOTIFY_SOCKET", abstract.c_str(), 1);
    EXPECT_TRUE(NotifyServiceReady());
    ::unsetenv("NOTIFY_SOCKET");
    EXPECT_EQ(onAbstract.Receive(), "READY=1");
}

TEST(ServiceNotifyTest, WithoutAManagerNothingIsSent) {
    ::unsetenv("NOTIFY_SOCKET");
    EXPECT_FALSE(NotifyServiceReady());
    test_support::TempDir dir;
    for (const std::string& name : {std::string(), std::string("relative/notify"), std::string("@"),
                                    dir.File("nobody"), "/" + std::string(200, 'x')}) {
        EXPECT_FALSE(NotifyServiceReady(name)) << name;
    }
}

}  // namespace
}  // namespace quarn::platform
