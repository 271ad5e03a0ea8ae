#include "endpoint/agent/target_policy.h"

#include <algorithm>

#include "protocol/command_validation.h"

namespace quarn::agent {
namespace {

// /31 and /32 subnets have no network or broadcast address of their own.
constexpr uint32_t kSmallestBroadcastSubnet = 0xFFFFFFFC;

bool IsOwn(uint32_t target, const platform::InterfaceAddress& own) {
    if (target == own.address) {
        return true;
    }
    if (own.netmask > kSmallestBroadcastSubnet || own.netmask == 0) {
        return false;
    }
    const uint32_t network = own.address & own.netmask;
    return target == network || target == (network | ~own.netmask);
}

}  // namespace

bool TargetAllowed(uint32_t target, const std::vector<platform::InterfaceAddress>& own,
                   bool loopbackAllowed) {
    if (protocol::IsLoopback(target)) {
        return loopbackAllowed;
    }
    for (const platform::InterfaceAddress& address : own) {
        if (!protocol::IsLoopback(address.address) && IsOwn(target, address)) {
            return false;
        }
    }
    return true;
}

bool TargetAllowed6(const IpAddress& target, const std::vector<platform::Interface6Address>& own,
                    bool loopbackAllowed) {
    if (target.IsLoopback()) {
        return loopbackAllowed;
    }
    return std::none_of(own.begin(), own.end(),
                        [&](const auto& address) { return address.address == target; });
}

}  // namespace quarn::agent
