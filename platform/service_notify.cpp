#include "platform/service_notify.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstddef>
#include <cstdlib>
#include <cstring>

namespace quarn::platform {
namespace {

class DatagramSocket {
  public:
    DatagramSocket() : fd_(::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0)) {}
    ~DatagramSocket() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    DatagramSocket(const DatagramSocket&) = delete;
    DatagramSocket& operator=(const DatagramSocket&) = delete;
    int Fd() const { return fd_; }

  private:
    int fd_;
};

}  // namespace

bool NotifyService(const std::string& socketName, std::string_view message) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    // The name must fit with room for the path's terminating zero.
    if (socketName.size() < 2 || socketName.size() >= sizeof address.sun_path ||
        (socketName[0] != '/' && socketName[0] != '@')) {
        return false;
    }
    std::memcpy(address.sun_path, socketName.data(), socketName.size());
    if (socketName[0] == '@') {
        address.sun_path[0] = '\0';  // abstract: no terminating zero, the length counts
    }
    const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + socketName.size() +
                                               (socketName[0] == '/' ? 1 : 0));
    DatagramSocket socket;
    if (socket.Fd() < 0) {
        return false;
    }
    const ssize_t sent = ::sendto(socket.Fd(), message.data(), message.size(), MSG_NOSIGNAL,
                                  reinterpret_cast<const sockaddr*>(&address), length);
    return sent == static_cast<ssize_t>(message.size());
}

ServiceNotifier::ServiceNotifier() {
    if (const char* name = std::getenv("NOTIFY_SOCKET"); name != nullptr) {
        socketName_ = name;
        ::unsetenv("NOTIFY_SOCKET");
    }
}

bool ServiceNotifier::Ready() const {
    return NotifyService(socketName_, "READY=1");
}

bool ServiceNotifier::Stopping() const {
    return NotifyService(socketName_, "STOPPING=1");
}

}  // namespace quarn::platform
