#include "console/core/pair_builders.h"

#include <algorithm>

#include "console/core/pair_table.h"

namespace quarn::console {

std::vector<BuiltPair> MeshPairs(const std::vector<std::string>& ends) {
    std::vector<BuiltPair> pairs;
    for (const std::string& from : ends) {
        for (const std::string& to : ends) {
            if (from != to)
                pairs.emplace_back(from, to);
        }
    }
    return pairs;
}

std::vector<BuiltPair> FanInPairs(const std::vector<std::string>& senders,
                                  const std::string& target) {
    std::vector<BuiltPair> pairs;
    for (const std::string& sender : senders)
        pairs.emplace_back(sender, target);
    return pairs;
}

std::vector<BuiltPair> FanOutPairs(const std::string& source,
                                   const std::vector<std::string>& receivers) {
    std::vector<BuiltPair> pairs;
    for (const std::string& receiver : receivers)
        pairs.emplace_back(source, receiver);
    return pairs;
}

std::vector<BuiltPair> ReversePairs(const std::vector<BuiltPair>& pairs) {
    std::vector<BuiltPair> reversed;
    const auto present = [&](const BuiltPair& ends) {
        return std::find(pairs.begin(), pairs.end(), ends) != pairs.end() ||
               std::find(reversed.begin(), reversed.end(), ends) != reversed.end();
    };
    for (const auto& [from, to] : pairs) {
        if (!present({to, from}))
            reversed.emplace_back(to, from);
    }
    return reversed;
}

Outcome CheckBuilderRoom(const std::string& builder, int existing, int adding) {
    const int total = existing + adding;
    if (total <= PairTable::kMaxPairs)
        return Outcome::Done();
    return Outcome::Failed(builder + " would make " + std::to_string(total) +
                           " pairs; the max count of pairs is 16.");
}

}  // namespace quarn::console
