#include "console/core/shared_bottleneck.h"

#include <algorithm>
#include <cmath>

#include "console/core/number_text.h"

namespace quarn::console {
namespace {

bool Dropped(const IsolationFigure& figure) {
    return figure.aloneMbps > 0.0 && figure.togetherMbps < figure.aloneMbps * kDropShare;
}

// Dropped pairs, highest alone figure first, cut where an alone figure leaves the tolerance
// of its cluster's highest.
std::vector<std::vector<const IsolationFigure*>> ClustersByAlone(
    const std::vector<IsolationFigure>& figures) {
    std::vector<const IsolationFigure*> dropped;
    for (const IsolationFigure& figure : figures) {
        if (Dropped(figure))
            dropped.push_back(&figure);
    }
    std::stable_sort(dropped.begin(), dropped.end(),
                     [](const auto* a, const auto* b) { return a->aloneMbps > b->aloneMbps; });
    std::vector<std::vector<const IsolationFigure*>> clusters;
    for (const IsolationFigure* figure : dropped) {
        if (clusters.empty() ||
            figure->aloneMbps < clusters.back().front()->aloneMbps * (1.0 - kCeilingTolerance))
            clusters.emplace_back();
        clusters.back().push_back(figure);
    }
    return clusters;
}

}  // namespace

std::vector<SharedBottleneck> FindSharedBottlenecks(const std::vector<IsolationFigure>& figures) {
    std::vector<SharedBottleneck> groups;
    for (const auto& cluster : ClustersByAlone(figures)) {
        if (cluster.size() < 2)
            continue;
        double alone = 0.0;
        double together = 0.0;
        SharedBottleneck group;
        for (const IsolationFigure* figure : cluster) {
            alone += figure->aloneMbps;
            together += figure->togetherMbps;
            group.pairs.push_back(figure->number);
        }
        const double ceiling = alone / static_cast<double>(cluster.size());
        if (std::abs(together - ceiling) > ceiling * kCeilingTolerance)
            continue;
        std::sort(group.pairs.begin(), group.pairs.end());
        group.ceilingMbps = together;
        groups.push_back(std::move(group));
    }
    std::sort(groups.begin(), groups.end(),
              [](const auto& a, const auto& b) { return a.pairs.front() < b.pairs.front(); });
    return groups;
}

std::string AboutMbpsText(double mbps) {
    if (mbps >= 100.0)
        return std::to_string(static_cast<long long>(std::lround(mbps / 10.0) * 10));
    if (mbps >= 10.0)
        return std::to_string(static_cast<long long>(std::lround(mbps)));
    return FixedText(mbps, 1);
}

std::string DescribeBottleneck(const SharedBottleneck& bottleneck) {
    std::string text = "pairs ";
    for (std::size_t i = 0; i < bottleneck.pairs.size(); ++i) {
        if (i > 0)
            text += i + 1 == bottleneck.pairs.size() ? " and " : ", ";
        text += std::to_string(bottleneck.pairs[i]);
    }
    return text + " share about " + AboutMbpsText(bottleneck.ceilingMbps) + " Mbit/s";
}

}  // namespace quarn::console
