#include "console/net/own_machine.h"

#include "platform/adapters.h"
#include "platform/iperf_marker.h"

namespace quarn::console {

std::optional<uint32_t> OwnAddress() {
    return platform::PrimaryAddress();
}

bool IsOwnAddress6(const IpAddress& address, const std::vector<platform::Interface6Address>& own) {
    const IpAddress plain = IpAddress::V6(address.V6Bytes());
    for (const platform::Interface6Address& entry : own) {
        const bool zoneFits = address.Zone().empty() || address.Zone() == entry.name ||
                              address.Zone() == std::to_string(entry.index);
        if ((entry.flags & platform::kInterfaceUp) != 0 && entry.address == plain && zoneFits)
            return true;
    }
    return false;
}

int EndLeftoverClients(const std::string& iperfPath) {
    return platform::KillOwnChildren(iperfPath, kIperfOwnerRole);
}

}  // namespace quarn::console
