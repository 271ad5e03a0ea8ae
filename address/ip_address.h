#pragma once

#include <array>
#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quarn {

// An IPv4 or IPv6 address; an IPv6 one may carry the zone (interface name or index) that
// a link-scoped address needs to mean anything.
class IpAddress {
  public:
    using Bytes6 = std::array<uint8_t, 16>;

    IpAddress() = default;
    static IpAddress V4(uint32_t hostOrder);
    static IpAddress V6(const Bytes6& bytes, std::string zone = {});

    bool IsV4() const { return !v6_; }
    bool IsV6() const { return v6_; }
    uint32_t V4Value() const { return v4_; }
    const Bytes6& V6Bytes() const { return bytes_; }
    const std::string& Zone() const { return zone_; }

    // fe80::/10, or 169.254/16 for IPv4.
    bool IsLinkLocal() const;
    // fc00::/7
    bool IsUniqueLocal() const;
    bool IsLoopback() const;
    bool IsMulticast() const;
    // ::ffff:a.b.c.d, as a dual-stack socket reports an IPv4 peer.
    bool IsV4Mapped() const;
    // The IPv4 address behind a mapped one; any other address unchanged.
    IpAddress Unmapped() const;

    // IPv4 before IPv6, then by value, then by zone.
    friend std::strong_ordering operator<=>(const IpAddress& a, const IpAddress& b);
    friend bool operator==(const IpAddress& a, const IpAddress& b) {
        return (a <=> b) == std::strong_ordering::equal;
    }

  private:
    bool v6_ = false;
    uint32_t v4_ = 0;
    Bytes6 bytes_{};
    std::string zone_;
};

// Hexadecimal groups as inet_pton takes them ("::" once, an optional dotted tail), no zone.
std::optional<IpAddress::Bytes6> ParseIpv6(std::string_view text);
// Either family; an IPv6 address may be bracketed ("[fe80::1%eth0]") and a link-scoped
// one may carry a %zone. Anything else, such as a port, is refused.
std::optional<IpAddress> ParseIpAddress(std::string_view text);

// The canonical text: lower case, no leading zeros, the longest run of two or more zero
// groups as "::" (the first of equal runs), mapped IPv4 addresses dotted.
std::string FormatIpv6(const IpAddress::Bytes6& bytes);
// Either family, with "%zone" when there is one.
std::string FormatIpAddress(const IpAddress& address);
// What stands for one host when limits count sources: an IPv4 address itself (mapped ones
// unmapped), an IPv6 address's /64, since a host may use any address of its /64. Link-local
// sources keep their whole address: every host of a link shares fe80::/64.
IpAddress SourceBlock(const IpAddress& source);

// Whether two address texts name the same address: equal texts, or both addresses that
// are equal once parsed ("FD00:77:0::2" and "fd00:77::2").
bool SameAddressText(std::string_view a, std::string_view b);
// Whether text is an IPv6 link-local address (fe80::/10), zone or not: one that names a
// link, not a host beyond it.
bool IsIpv6LinkLocalText(std::string_view text);

// "a.b.c.d:port" or "[v6]:port".
std::string FormatWithPort(const IpAddress& address, uint16_t port);

}  // namespace quarn
