#include "console/net/own_machine.h"

#include "platform/adapters.h"
#include "platform/iperf_marker.h"

namespace quarn::console {

std::optional<uint32_t> OwnAddress() {
    return platform::PrimaryAddress();
}

int EndLeftoverClients(const std::string& iperfPath) {
    return platform::KillOwnChildren(iperfPath, kIperfOwnerRole);
}

}  // namespace quarn::console
