#include "console/core/pair_text.h"

#include <algorithm>
#include <charconv>
#include <optional>

#include "address/ip_address.h"
#include "address/ipv4.h"

namespace quarn::console {
namespace {

bool IsDottedIpv4(const std::string& text) {
    return ParseIpv4(text).has_value();
}

std::vector<std::string> SplitComma(const std::string& text) {
    std::vector<std::string> fields;
    std::size_t pos = 0;
    while (true) {
        const std::size_t end = text.find(',', pos);
        fields.push_back(
            text.substr(pos, end == std::string::npos ? std::string::npos : end - pos));
        if (end == std::string::npos)
            return fields;
        pos = end + 1;
    }
}

// An address of either family in its canonical text; nothing for anything else.
std::optional<std::string> CanonicalAddress(const std::string& text) {
    const std::optional<IpAddress> address = ParseIpAddress(text);
    return address ? std::optional(FormatIpAddress(address->Unmapped())) : std::nullopt;
}

}  // namespace

Result<PairSpec> ParsePairText(const std::string& what, const std::string& text) {
    const std::vector<std::string> fields = SplitComma(text);
    if (fields.size() < 2 || fields.size() > 3)
        return WhyNot{what + " expects EP1,EP2[,STREAMS]: " + text};
    const std::optional<std::string> endpoint1 = CanonicalAddress(fields[0]);
    const std::optional<std::string> endpoint2 = CanonicalAddress(fields[1]);
    if (!endpoint1 || !endpoint2) {
        return WhyNot{what + " expects IPv4 or IPv6 addresses: " + text};
    }
    PairSpec pair;
    pair.endpoint1 = *endpoint1;
    pair.endpoint2 = *endpoint2;
    if (fields.size() == 3) {
        const std::string& streams = fields[2];
        const auto [ptr, ec] =
            std::from_chars(streams.data(), streams.data() + streams.size(), pair.streams);
        if (streams.empty() || ec != std::errc() || ptr != streams.data() + streams.size() ||
            pair.streams < 1 || pair.streams > 16) {
            return WhyNot{what + ": STREAMS must be 1 to 16: " + text};
        }
    }
    return pair;
}

Result<std::vector<std::string>> ParseEndList(const std::string& what, const std::string& text,
                                              std::size_t least) {
    const std::vector<std::string> ends = SplitComma(text);
    for (std::size_t i = 0; i < ends.size(); ++i) {
        if (!IsDottedIpv4(ends[i]))
            return WhyNot{what + " expects dotted IPv4 addresses: " + text};
        if (std::find(ends.begin(), ends.begin() + i, ends[i]) != ends.begin() + i)
            return WhyNot{what + " names " + ends[i] + " twice"};
    }
    if (ends.size() < least)
        return WhyNot{what + " needs at least " + std::to_string(least) + " addresses: " + text};
    return ends;
}

Result<std::vector<BuiltPair>> ParseFanText(const std::string& what, const std::string& text,
                                            bool in) {
    const std::size_t colon = text.find(':');
    const char* shape = in ? "A,B:T" : "T:A,B";
    if (colon == std::string::npos || text.find(':', colon + 1) != std::string::npos)
        return WhyNot{what + " expects " + shape + ": " + text};
    const std::string many = in ? text.substr(0, colon) : text.substr(colon + 1);
    const std::string one = in ? text.substr(colon + 1) : text.substr(0, colon);
    const Result<std::vector<std::string>> ends = ParseEndList(what, many, 1);
    if (!ends)
        return WhyNot{ends.Why()};
    if (!IsDottedIpv4(one))
        return WhyNot{what + " expects a dotted IPv4 address for T: " + text};
    if (std::find(ends->begin(), ends->end(), one) != ends->end())
        return WhyNot{what + " pairs " + one + " with itself"};
    return in ? FanInPairs(*ends, one) : FanOutPairs(one, *ends);
}

Outcome AddBuiltPairs(const std::string& what, const std::vector<BuiltPair>& built,
                      std::vector<PairSpec>& pairs) {
    if (const Outcome room =
            CheckBuilderRoom(what, static_cast<int>(pairs.size()), static_cast<int>(built.size()));
        !room)
        return room;
    for (const auto& [from, to] : built)
        pairs.push_back(PairSpec{from, to, 1});
    return Outcome::Done();
}

Outcome AddReversePairs(const std::string& what, std::vector<PairSpec>& pairs) {
    std::vector<BuiltPair> given;
    for (const PairSpec& pair : pairs)
        given.emplace_back(pair.endpoint1, pair.endpoint2);
    const std::size_t before = pairs.size();
    if (const Outcome added = AddBuiltPairs(what, ReversePairs(given), pairs); !added)
        return added;
    // A reverse runs with the streams of the pair it reverses.
    for (std::size_t i = before; i < pairs.size(); ++i) {
        const auto original =
            std::find_if(pairs.begin(), pairs.begin() + before, [&](const PairSpec& pair) {
                return pair.endpoint1 == pairs[i].endpoint2 && pair.endpoint2 == pairs[i].endpoint1;
            });
        pairs[i].streams = original->streams;
    }
    return Outcome::Done();
}

}  // namespace quarn::console
