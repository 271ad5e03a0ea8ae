#pragma once

#include <optional>
#include <string>

#include "console/core/link_facts.h"

namespace quarn::console {

// An EndPoint known from the last search, in reply order.
struct EndPointEntry {
    std::string address;          // dotted IPv4; what a pair stores
    std::string iperfPortText;    // "5001"
    std::string controlPortText;  // "45000"; "1555" marks a UTF-8 name
    std::string rawName;          // name bytes as received
    std::string name;             // decoded, UTF-8
    std::string label;            // "(" + name, empty when the name is empty
    // What the EndPoint said of its link; none from one that does not say.
    std::optional<LinkFacts> link = std::nullopt;
};

}  // namespace quarn::console
