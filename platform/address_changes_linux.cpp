#include "platform/address_changes.h"

#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace quarn::platform {

AddressChanges::AddressChanges()
    : fd_(socket(AF_NETLINK, SOCK_RAW | SOCK_NONBLOCK | SOCK_CLOEXEC, NETLINK_ROUTE)) {
    if (fd_ < 0) {
        return;
    }
    sockaddr_nl local{};
    local.nl_family = AF_NETLINK;
    // Links for up and down, addresses of both families for the rest.
    local.nl_groups = RTMGRP_LINK | RTMGRP_IPV4_IFADDR | RTMGRP_IPV6_IFADDR;
    if (bind(fd_, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        close(fd_);
        fd_ = -1;
    }
}

AddressChanges::~AddressChanges() {
    if (fd_ >= 0) {
        close(fd_);
    }
}

bool AddressChanges::Told() const {
    return fd_ >= 0;
}

bool AddressChanges::SinceLastLook() {
    if (fd_ < 0) {
        return true;
    }
    bool changed = std::exchange(first_, false);
    // What the messages say does not matter: any of them means a new look.
    char buffer[8192];
    for (;;) {
        const ssize_t got = recv(fd_, buffer, sizeof buffer, 0);
        if (got > 0 || (got < 0 && errno == ENOBUFS)) {
            changed = true;  // ENOBUFS: so many that some were dropped
        } else if (got < 0 && errno == EINTR) {
            continue;
        } else {
            return changed;
        }
    }
}

}  // namespace quarn::platform
