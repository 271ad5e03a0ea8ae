#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "console/core/link_facts.h"

namespace quarn::console {

// The EndPoint list holds at most this many, from a search or an opened file.
inline constexpr std::size_t kMaxEndPoints = 1024;

// An EndPoint known from the last search, in reply order.
struct EndPointEntry {
    std::string address;          // dotted IPv4; what a pair stores
    std::string iperfPortText;    // "5001"
    std::string controlPortText;  // "45000"; "1555" marks a UTF-8 name
    std::string rawName;          // name bytes as received
    std::string name;             // decoded, UTF-8
    std::string label;            // "(" + name, empty when the name is empty
    // A search with a lab key found no valid signature for this reply: anyone on the
    // segment may have sent it. Never set without a key.
    bool unverified = false;
    // What the EndPoint said of its link; none from one that does not say.
    std::optional<LinkFacts> link = std::nullopt;
};

}  // namespace quarn::console
