#include "console/core/pair_text.h"

#include <algorithm>
#include <charconv>
#include <optional>

#include "address/ip_address.h"

namespace quarn::console {
namespace {

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

// Where the colons outside brackets stand.
std::vector<std::size_t> ColonsOutsideBrackets(const std::string& text) {
    std::vector<std::size_t> colons;
    bool inBrackets = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '[' || text[i] == ']')
            inBrackets = text[i] == '[';
        else if (text[i] == ':' && !inBrackets)
            colons.push_back(i);
    }
    return colons;
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
    std::vector<std::string> ends;
    for (const std::string& field : SplitComma(text)) {
        const std::optional<std::string> end = CanonicalAddress(field);
        if (!end)
            return WhyNot{what + " expects IPv4 or IPv6 addresses: " + text};
        if (std::find(ends.begin(), ends.end(), *end) != ends.end())
            return WhyNot{what + " names " + *end + " twice"};
        ends.push_back(*end);
    }
    if (ends.size() < least)
        return WhyNot{what + " needs at least " + std::to_string(least) + " addresses: " + text};
    return ends;
}

Result<std::vector<BuiltPair>> ParseFanText(const std::string& what, const std::string& text,
                                            bool in) {
    const std::vector<std::size_t> colons = ColonsOutsideBrackets(text);
    const std::string shape = in ? "A,B:T" : "T:A,B";
    if (colons.size() > 1)
        return WhyNot{what + " expects " + shape + ", an IPv6 address in brackets: " + text};
    if (colons.empty())
        return WhyNot{what + " expects " + shape + ": " + text};
    const std::size_t colon = colons.front();
    const std::string many = in ? text.substr(0, colon) : text.substr(colon + 1);
    const std::string one = in ? text.substr(colon + 1) : text.substr(0, colon);
    const Result<std::vector<std::string>> ends = ParseEndList(what, many, 1);
    if (!ends)
        return WhyNot{ends.Why()};
    const std::optional<std::string> target = CanonicalAddress(one);
    if (!target)
        return WhyNot{what + " expects an IPv4 or IPv6 address for T: " + text};
    if (std::find(ends->begin(), ends->end(), *target) != ends->end())
        return WhyNot{what + " pairs " + *target + " with itself"};
    return in ? FanInPairs(*ends, *target) : FanOutPairs(*target, *ends);
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
