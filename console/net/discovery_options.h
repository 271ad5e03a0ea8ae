#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "address/ip_address.h"
#include "labkey/lab_key.h"
#include "protocol/messages.h"

namespace quarn::console {

// Where the discovery probes and the "restart" broadcast go.
struct DiscoveryOptions {
    // Interfaces to use (loopback allowed). Empty: every qualifying adapter, or the limited
    // broadcast 255.255.255.255 when there is none.
    std::vector<std::string> interfaces;
    // Destinations (host byte order) used as they are instead of any adapter's broadcast;
    // lets a search address one machine, and tests stay on loopback.
    std::vector<uint32_t> destinations;
    // The same for IPv6. Either list being set replaces every adapter of both families.
    std::vector<IpAddress> destinations6;
    uint16_t port = protocol::kDiscoveryPort;
    // Receive timeout while collecting the replies to one probe.
    int replyTimeoutMs = 1000;
    // With a key, "restart" goes out authenticated (older EndPoints take it for a bare one).
    std::optional<labkey::LabKey> labKey;
};

}  // namespace quarn::console
