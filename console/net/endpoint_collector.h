#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "console/core/endpoint_entry.h"

namespace quarn::console {

// Turns probe replies into the EndPoint list: one entry per address text, first reply wins,
// at most kMaxEntries (a host that answers with made-up addresses fills no more).
class EndPointCollector {
  public:
    static constexpr std::size_t kMaxEntries = kMaxEndPoints;

    // Returns true when the reply added a new EndPoint. Replies without the three leading
    // fields, or whose address is not dotted IPv4, are dropped: the address later becomes
    // part of a command line.
    bool Add(std::string_view datagram);

    const std::vector<EndPointEntry>& Entries() const { return entries_; }
    std::vector<EndPointEntry> Take();

  private:
    std::vector<EndPointEntry> entries_;
    std::unordered_set<std::string> known_;
};

// A name marked UTF-8 passes through when it is valid UTF-8. Otherwise it is text in our
// locale's character set when it converts cleanly, else Korean text from a Windows code
// page (CP949); failing both, locale text with invalid bytes replaced.
std::string DecodeEndPointName(std::string_view rawName, bool nameIsUtf8);

}  // namespace quarn::console
