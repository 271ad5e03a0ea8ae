#include "console/records/run_compare.h"

#include <charconv>
#include <cmath>
#include <string>

#include "address/ip_address.h"

namespace quarn::console::records {
namespace {

std::optional<double> Change(const PairRecord& current, const PairRecord& reference,
                             std::string PairFigures::*figure) {
    const auto now = ShownFigure(current, current.figures.*figure);
    const auto then = ShownFigure(reference, reference.figures.*figure);
    if (!now || !then)
        return std::nullopt;
    return PercentChange(*now, *then);
}

int MatchingRow(const PairTable& reference, const PairRecord& pair, std::vector<bool>& taken) {
    for (int row = 1; row < reference.Size(); ++row) {
        const PairRecord& candidate = reference[row];
        if (!taken[static_cast<std::size_t>(row)] &&
            SameAddressText(candidate.config.endpoint1, pair.config.endpoint1) &&
            SameAddressText(candidate.config.endpoint2, pair.config.endpoint2)) {
            taken[static_cast<std::size_t>(row)] = true;
            return row;
        }
    }
    return -1;
}

}  // namespace

std::optional<double> ShownFigure(const PairRecord& row, const std::string& text) {
    if (row.figures.countText.empty() || row.figures.countText == "0")
        return std::nullopt;
    double value = 0.0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<double> PercentChange(double current, double reference) {
    if (reference == 0.0)
        return std::nullopt;
    return (current - reference) / reference * 100.0;
}

std::vector<PairComparison> ComparePairs(const PairTable& current, const PairTable& reference) {
    std::vector<PairComparison> rows;
    std::vector<bool> taken(static_cast<std::size_t>(reference.Size()), false);
    for (int row = 0; row < current.Size(); ++row) {
        PairComparison compared;
        compared.row = row;
        compared.referenceRow = row == 0 ? 0 : MatchingRow(reference, current[row], taken);
        if (compared.referenceRow >= 0) {
            const PairRecord& now = current[row];
            const PairRecord& then = reference[compared.referenceRow];
            compared.averagePercent = Change(now, then, &PairFigures::averageText);
            compared.minimumPercent = Change(now, then, &PairFigures::minText);
            compared.maximumPercent = Change(now, then, &PairFigures::maxText);
        }
        rows.push_back(compared);
    }
    return rows;
}

BaselineAverages BaselineOf(const PairTable& current, const PairTable& baseline) {
    BaselineAverages averages;
    averages.given = true;
    for (const PairComparison& compared : ComparePairs(current, baseline)) {
        if (compared.row == 0 || compared.referenceRow < 0)
            continue;
        const PairRecord& then = baseline[compared.referenceRow];
        averages.averages[current[compared.row].id] = ShownFigure(then, then.figures.averageText);
    }
    return averages;
}

}  // namespace quarn::console::records
