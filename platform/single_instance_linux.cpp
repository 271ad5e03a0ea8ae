#include "platform/single_instance.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstddef>
#include <cstring>
#include <string>

namespace quarn::platform {
namespace {

constexpr std::string_view kRaise = "raise\n";
constexpr int kRequestWaitMs = 200;

// Abstract address "\0quarn-<name>"; false when the name does not fit.
bool MakeAddress(std::string_view name, sockaddr_un& address, socklen_t& length) {
    const std::string path = "quarn-" + std::string(name);
    if (path.size() + 1 > sizeof address.sun_path) {
        return false;
    }
    address = {};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path + 1, path.data(), path.size());
    length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + path.size());
    return true;
}

}  // namespace

void SingleInstance::Release() {
    listener_.Close();
}

bool SingleInstance::Held() const {
    return listener_.Valid();
}

int SingleInstance::Fd() const {
    return listener_.Fd();
}

bool SingleInstance::Acquire(std::string_view name) {
    listener_.Close();
    sockaddr_un address{};
    socklen_t length = 0;
    if (!MakeAddress(name, address, length)) {
        return false;
    }
    Socket socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!socket.Valid() ||
        ::bind(socket.Fd(), reinterpret_cast<const sockaddr*>(&address), length) != 0 ||
        ::listen(socket.Fd(), 4) != 0) {
        return false;
    }
    listener_ = std::move(socket);
    return true;
}

bool SingleInstance::NotifyRunning(std::string_view name) {
    sockaddr_un address{};
    socklen_t length = 0;
    if (!MakeAddress(name, address, length)) {
        return false;
    }
    Socket socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!socket.Valid() ||
        ::connect(socket.Fd(), reinterpret_cast<const sockaddr*>(&address), length) != 0) {
        return false;
    }
    return SendAll(socket, kRaise);
}

bool SingleInstance::TakeRaiseRequest() {
    if (!listener_.Valid()) {
        return false;
    }
    Socket peer(::accept4(listener_.Fd(), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK));
    if (!peer.Valid()) {
        return false;
    }
    // A peer that connects and stays silent must not stall the caller.
    std::string received;
    char buffer[16];
    while (received.size() < kRaise.size()) {
        pollfd pfd{peer.Fd(), POLLIN, 0};
        if (poll(&pfd, 1, kRequestWaitMs) <= 0) {
            break;
        }
        const ssize_t got = ::recv(peer.Fd(), buffer, sizeof buffer, 0);
        if (got <= 0) {
            break;
        }
        received.append(buffer, static_cast<size_t>(got));
    }
    return received.substr(0, kRaise.size()) == kRaise;
}

}  // namespace quarn::platform
