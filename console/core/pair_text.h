#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "console/core/outcome.h"
#include "console/core/pair_builders.h"

namespace quarn::console {

// A pair as an operator types it: "EP1,EP2[,STREAMS]".
struct PairSpec {
    std::string endpoint1;
    std::string endpoint2;
    int streams = 1;
    bool operator==(const PairSpec&) const = default;
};

// The texts of pairs and builders, for the command line and for plans; `what` names the
// option or key in what a refusal says ("--pair expects EP1,EP2[,STREAMS]: x").
Result<PairSpec> ParsePairText(const std::string& what, const std::string& text);
// IPv4 or IPv6 addresses (an IPv6 one may stand in brackets) separated by commas, at
// least `least` of them, none twice; they come back in their canonical text.
Result<std::vector<std::string>> ParseEndList(const std::string& what, const std::string& text,
                                              std::size_t least);
// "A,B:T" (fan-in, `in`) or "T:A,B" (fan-out), IPv6 addresses in brackets: the pairs
// they make.
Result<std::vector<BuiltPair>> ParseFanText(const std::string& what, const std::string& text,
                                            bool in);
// Appends a builder's pairs with one stream each, or says how many it would make beyond
// the 16.
Outcome AddBuiltPairs(const std::string& what, const std::vector<BuiltPair>& built,
                      std::vector<PairSpec>& pairs);
// Adds each pair's reverse that is not there, with the streams of the pair it reverses.
Outcome AddReversePairs(const std::string& what, std::vector<PairSpec>& pairs);

}  // namespace quarn::console
