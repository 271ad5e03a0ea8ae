#include "platform/adapters6.h"

#include <algorithm>

#include "platform/adapters.h"

namespace quarn::platform {
namespace {

bool Announceable(const IpAddress& address) {
    return !address.IsLoopback() && !address.IsMulticast() && !address.IsV4Mapped() &&
           address != IpAddress::V6({});
}

}  // namespace

std::vector<Interface6Address> SelectQualifying6(const std::vector<Interface6Address>& listed) {
    std::vector<Interface6Address> chosen;
    for (const Interface6Address& entry : listed) {
        const bool usable = (entry.flags & kInterfaceUp) != 0 &&
                            (entry.flags & kInterfaceMulticast) != 0 &&
                            (entry.flags & kInterfaceLoopback) == 0 && Announceable(entry.address);
        if (!usable) {
            continue;
        }
        const auto same = std::find_if(chosen.begin(), chosen.end(),
                                       [&](const auto& c) { return c.name == entry.name; });
        if (same == chosen.end()) {
            chosen.push_back(entry);
        } else if (same->address.IsLinkLocal() && !entry.address.IsLinkLocal()) {
            same->address = entry.address;  // a routable address goes before a link-local one
        }
    }
    return chosen;
}

std::vector<Interface6Address> QualifyingAdapters6() {
    return SelectQualifying6(ListInterface6Addresses());
}

}  // namespace quarn::platform
