#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "console/core/endpoint_entry.h"

namespace quarn::console {

// Turns probe replies into the EndPoint list: one entry per address text, first reply wins.
// "facts" replies give the entry of their address its link, whichever comes first.
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
    void AddLink(std::string_view datagram);

    std::vector<EndPointEntry> entries_;
    std::map<std::string, LinkFacts, std::less<>> links_;  // by address
};

// A name marked UTF-8 passes through when it is valid UTF-8. Otherwise it is text in our
// locale's character set when it converts cleanly, else Korean text from a Windows code
// page (CP949); failing both, locale text with invalid bytes replaced.
std::string DecodeEndPointName(std::string_view rawName, bool nameIsUtf8);

}  // namespace quarn::console
