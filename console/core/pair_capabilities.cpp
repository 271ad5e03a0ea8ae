#include "console/core/pair_capabilities.h"

#include <algorithm>
#include <vector>

namespace quarn::console {
namespace {

const TakenOptions& TakenBy(const std::map<std::string, LinkFacts>& links,
                            const std::string& address) {
    static const TakenOptions kNone;
    const auto found = links.find(address);
    return found == links.end() ? kNone : found->second.takes;
}

std::optional<PairFailure> FirstUntaken(const std::vector<TrafficOption>& needed,
                                        const TakenOptions& taken, FailureSide side,
                                        const std::string& address) {
    for (const TrafficOption option : needed) {
        if (taken.count(option) == 0) {
            PairFailure failure;
            failure.kind = FailureKind::OptionNotTaken;
            failure.side = side;
            failure.address = address;
            failure.option = option;
            return failure;
        }
    }
    return std::nullopt;
}

}  // namespace

std::optional<PairFailure> UntakenOption(const PairConfig& pair, Protocol protocol,
                                         ClientSide client,
                                         const std::map<std::string, LinkFacts>& links) {
    if (client == ClientSide::EndPoint1) {
        if (auto failure = FirstUntaken(NeededByEndPoint1(pair.traffic, protocol),
                                        TakenBy(links, pair.endpoint1), FailureSide::EndPoint1,
                                        pair.endpoint1))
            return failure;
    }
    return FirstUntaken(NeededByEndPoint2(pair.traffic, protocol), TakenBy(links, pair.endpoint2),
                        FailureSide::EndPoint2, pair.endpoint2);
}

std::vector<std::string> EndsToAskBeforeTheRun(const ConsoleData& data) {
    std::vector<std::string> unknown;
    for (const PairRecord& record : data.table.Pairs()) {
        const PairConfig& pair = record.config;
        if (!pair.active || pair.traffic.Empty())
            continue;
        for (const std::string* address : {&pair.endpoint1, &pair.endpoint2}) {
            if (!data.links.contains(*address) &&
                std::find(unknown.begin(), unknown.end(), *address) == unknown.end())
                unknown.push_back(*address);
        }
    }
    return unknown;
}

}  // namespace quarn::console
