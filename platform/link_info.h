#pragma once

#include <optional>
#include <string>

namespace quarn::platform {

// What the system says of an interface's link; each figure may be unknown (a link that
// is down, a virtual interface without a speed).
struct LinkInfo {
    std::optional<int> speedMbps;
    std::optional<bool> fullDuplex;
    std::optional<int> mtu;
    bool wireless = false;
};

// Of the interface as ListInterfaceAddresses names it. Linux reads /sys/class/net/NAME;
// Windows asks GetAdaptersAddresses for the adapter and GetIfEntry2 for its row.
LinkInfo ReadLinkInfo(const std::string& interfaceName);

// The Linux reading from a tree laid out as /sys/class/net, so it can be tried on one made
// for the purpose. Names that could leave the tree give nothing.
LinkInfo ReadLinkInfoFrom(const std::string& classNetDir, const std::string& interfaceName);

}  // namespace quarn::platform
