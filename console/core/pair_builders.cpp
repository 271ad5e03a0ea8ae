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

namespace {

std::vector<std::string> Without(std::vector<std::string> ends, const std::string& end) {
    ends.erase(std::remove(ends.begin(), ends.end(), end), ends.end());
    return ends;
}

}  // namespace

Result<std::vector<BuiltPair>> BuildFromLists(ListBuilder builder,
                                              const std::vector<std::string>& list1,
                                              const std::vector<std::string>& list2) {
    switch (builder) {
        case ListBuilder::Mesh:
            if (list1.size() < 2)
                return WhyNot{"Select two or more End Points 1 for the mesh."};
            return MeshPairs(list1);
        case ListBuilder::FanIn: {
            if (list2.size() != 1)
                return WhyNot{"Select one End Point 2 for fan-in."};
            const std::vector<std::string> senders = Without(list1, list2.front());
            if (senders.empty())
                return WhyNot{"Select End Points 1 other than End Point 2 for fan-in."};
            return FanInPairs(senders, list2.front());
        }
        case ListBuilder::FanOut: {
            if (list1.size() != 1)
                return WhyNot{"Select one End Point 1 for fan-out."};
            const std::vector<std::string> receivers = Without(list2, list1.front());
            if (receivers.empty())
                return WhyNot{"Select End Points 2 other than End Point 1 for fan-out."};
            return FanOutPairs(list1.front(), receivers);
        }
    }
    return WhyNot{"Unknown builder."};
}

std::string ListBuilderName(ListBuilder builder) {
    switch (builder) {
        case ListBuilder::Mesh:
            return "The mesh";
        case ListBuilder::FanIn:
            return "Fan-in";
        case ListBuilder::FanOut:
            return "Fan-out";
    }
    return "The builder";
}

Outcome CheckBuilderRoom(const std::string& builder, int existing, int adding) {
    const int total = existing + adding;
    if (total <= PairTable::kMaxPairs)
        return Outcome::Done();
    return Outcome::Failed(builder + " would make " + std::to_string(total) +
                           " pairs; the max count of pairs is 16.");
}

}  // namespace quarn::console
