#include "console/session/isolation_run.h"

#include <algorithm>
#include <utility>

#include "console/core/number_text.h"

namespace quarn::console {
namespace {

// Gives the pairs' activity and the duration text back however the run ends.
class TableRestorer {
  public:
    explicit TableRestorer(ConsoleData& data) : data_(data), duration_(data.settings.durationText) {
        for (const PairRecord& pair : data.table.Pairs())
            active_.emplace_back(pair.id, pair.config.active);
    }
    ~TableRestorer() {
        for (const auto& [id, active] : active_) {
            if (PairRecord* pair = data_.table.Find(id))
                pair->config.active = active;
        }
        data_.settings.durationText = duration_;
    }
    TableRestorer(const TableRestorer&) = delete;
    TableRestorer& operator=(const TableRestorer&) = delete;

  private:
    ConsoleData& data_;
    std::string duration_;
    std::vector<std::pair<PairId, bool>> active_;
};

// Only `only` active (all of `pairs` when invalid).
void Activate(ConsoleData& data, const std::vector<PairId>& pairs, PairId only) {
    for (const PairId id : pairs) {
        if (PairRecord* pair = data.table.Find(id))
            pair->config.active = !only.Valid() || id == only;
    }
}

double AverageOf(const ConsoleData& data, PairId id) {
    const PairRecord* pair = data.table.Find(id);
    return pair ? static_cast<double>(pair->figures.average) : 0.0;
}

}  // namespace

Result<IsolationResult> RunIsolation(ConsoleSession& session, std::chrono::seconds phase,
                                     const MeasurePhase& measure) {
    ConsoleData& data = session.Data();
    IsolationResult result;
    result.phase = phase;
    std::vector<PairId> pairs;
    for (int row = 1; row < data.table.Size(); ++row) {
        const PairRecord& pair = data.table[row];
        if (!pair.config.active)
            continue;
        pairs.push_back(pair.id);
        IsolationFigure figure;
        figure.id = pair.id;
        figure.number = row;
        figure.route = pair.config.endpoint1 + " -> " + pair.config.endpoint2;
        result.pairs.push_back(std::move(figure));
    }
    if (pairs.size() < 2)
        return WhyNot{"An isolation run needs two or more activated pairs."};
    const TableRestorer restorer(data);
    data.settings.durationText = std::to_string(phase.count());
    for (IsolationFigure& figure : result.pairs) {
        Activate(data, pairs, figure.id);
        if (const Outcome measured = measure(); !measured)
            return WhyNot{"Pair" + std::to_string(figure.number) + " alone: " + measured.Why()};
        figure.aloneMbps = AverageOf(data, figure.id);
    }
    Activate(data, pairs, PairId());
    if (const Outcome measured = measure(); !measured)
        return WhyNot{"All pairs together: " + measured.Why()};
    for (IsolationFigure& figure : result.pairs)
        figure.togetherMbps = AverageOf(data, figure.id);
    result.shared = FindSharedBottlenecks(result.pairs);
    return result;
}

std::string FormatIsolation(const IsolationResult& result) {
    std::string text = "Isolation: each pair alone for " + std::to_string(result.phase.count()) +
                       " s, then all together (Mbit/s)\n";
    text += "Pair       Alone  Together  Route\n";
    for (const IsolationFigure& figure : result.pairs) {
        std::string name = "Pair" + std::to_string(figure.number);
        name.resize(std::max<std::size_t>(name.size(), 6), ' ');
        text += name + FixedText(figure.aloneMbps, 2, 10) + FixedText(figure.togetherMbps, 2, 10) +
                "  " + figure.route + "\n";
    }
    if (result.shared.empty())
        text += "No pairs share a bottleneck.\n";
    for (const SharedBottleneck& group : result.shared)
        text += DescribeBottleneck(group) + "\n";
    return text;
}

}  // namespace quarn::console
