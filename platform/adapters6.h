#pragma once

#include <string>
#include <vector>

#include "address/ip_address.h"
#include "platform/adapters.h"

namespace quarn::platform {

// One IPv6 address of an interface as the system lists it (flags as in adapters.h).
struct Interface6Address {
    std::string name;
    unsigned index = 0;
    unsigned flags = 0;
    IpAddress address;  // no zone: the interface says where it lives
};

inline constexpr unsigned kInterfaceMulticast = 0x1000;

// Every IPv6 address of every interface, in the system's order.
std::vector<Interface6Address> ListInterface6Addresses();

// Per interface that is up, multicast-capable and not loopback, the address it announces:
// its first global or unique-local address, else its first link-local one. In the order
// the interfaces first appear.
std::vector<Interface6Address> SelectQualifying6(const std::vector<Interface6Address>& listed);

std::vector<Interface6Address> QualifyingAdapters6();

// Both families from one look at the system: on Windows each look is costly.
struct AddressListing {
    std::vector<InterfaceAddress> v4;
    std::vector<Interface6Address> v6;
};
AddressListing ListAddresses();

}  // namespace quarn::platform
