#pragma once

#include <string_view>
#include <vector>

#include "console/core/endpoint_entry.h"

namespace quarn::console {

// Turns probe replies into the EndPoint list: one entry per address text, first reply wins.
class EndPointCollector {
  public:
    // Returns true when the reply added a new EndPoint. Replies without the three leading
    // fields, or whose address is not dotted IPv4, are dropped: the address later becomes
    // part of a command line.
    bool Add(std::string_view datagram);

    const std::vector<EndPointEntry>& Entries() const { return entries_; }
    std::vector<EndPointEntry> Take() { return std::move(entries_); }

  private:
    bool Known(std::string_view address) const;

    std::vector<EndPointEntry> entries_;
};

// UTF-8 names pass through (invalid sequences are replaced); others are locale text.
std::string DecodeEndPointName(std::string_view rawName, bool nameIsUtf8);

}  // namespace quarn::console
