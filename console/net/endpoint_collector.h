#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "address/ip_address.h"
#include "console/core/endpoint_entry.h"
#include "labkey/lab_key.h"

namespace quarn::console {

// Turns probe replies into the EndPoint list: one entry per address text, first reply wins,
// at most kMaxEntries (a host that answers with made-up addresses fills no more). "facts"
// replies give the entry of their address its link, whichever comes first.
class EndPointCollector {
  public:
    static constexpr std::size_t kMaxEntries = kMaxEndPoints;

    // A search with a lab key: its probes carried nonce.
    struct Signed {
        labkey::LabKey key;
        std::string nonce;
    };

    EndPointCollector() = default;
    explicit EndPointCollector(std::optional<Signed> signedSearch)
        : signed_(std::move(signedSearch)) {}

    // Returns true when the reply added a new EndPoint. Replies without the three leading
    // fields, or whose address is neither IPv4 nor IPv6, are dropped: the address later
    // becomes part of a command line. An IPv6 address is listed in its canonical text.
    bool Add(std::string_view datagram);
    // The same for a datagram from source. In a signed search a reply that claims another
    // host's address is dropped, and a signature is kept for the reply it follows. A
    // link-local address takes the zone the reply came in on: it means nothing without.
    bool Add(std::string_view datagram, uint32_t source);
    bool Add(std::string_view datagram, const IpAddress& source);

    const std::vector<EndPointEntry>& Entries() const { return entries_; }
    // The list, and a new search begins; in a signed search entries without a valid
    // signature are marked unverified. A link-local entry whose name is listed at another
    // address is left out: it is the same EndPoint.
    std::vector<EndPointEntry> Take();

  private:
    void FoldLinkLocalTwins();
    void MarkUnverified();
    bool AddReply(std::string_view datagram, const std::string& zone);
    void AddLink(std::string_view datagram, const std::string& zone);

    std::vector<EndPointEntry> entries_;
    std::unordered_set<std::string> known_;
    std::optional<Signed> signed_;
    // Signed search: the reply text and the signature's tag per listed address.
    std::map<std::string, std::string> replies_;
    std::map<std::string, std::string> tags_;
    std::map<std::string, LinkFacts, std::less<>> links_;  // by address
};

// A name marked UTF-8 passes through when it is valid UTF-8. Otherwise it is text in our
// locale's character set when it converts cleanly, else Korean text from a Windows code
// page (CP949); failing both, locale text with invalid bytes replaced.
std::string DecodeEndPointName(std::string_view rawName, bool nameIsUtf8);

}  // namespace quarn::console
