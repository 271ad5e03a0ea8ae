#include "console/headless/comparison_text.h"

#include <cstdio>
#include <optional>

#include "console/core/number_text.h"
#include "console/headless/terminal_view.h"
#include "console/records/run_compare.h"

namespace quarn::console {
namespace {

std::string Percent(const std::optional<double>& change) {
    return change ? FixedText(*change, 2, 9, /*sign=*/true) + "%" : std::string(9, ' ') + "-";
}

std::string MeasuredAt(const ConsoleData& data) {
    return data.measuredAt.empty() ? std::string() : " (measured at " + data.measuredAt + ")";
}

std::string DifferenceRow(const ConsoleData& current, const records::PairComparison& compared) {
    const PairRecord& row = current.table[compared.row];
    const std::string name = compared.row == 0 ? std::string("All") : TerminalSafe(row.name);
    const std::string ends = compared.row == 0 ? std::string() : PairEnds(current, row);
    std::string text = Padded(name, 7) + " " + Padded(ends, 36);
    if (compared.referenceRow < 0)
        return text + " not in the reference\n";
    return text + " " + Percent(compared.averagePercent) + " " + Percent(compared.minimumPercent) +
           " " + Percent(compared.maximumPercent) + "\n";
}

}  // namespace

std::string FormatComparison(const ConsoleData& current, const ConsoleData& reference,
                             const std::string& referenceName) {
    std::string text = "Current" + MeasuredAt(current) + ":\n" + FormatPairTable(current);
    text +=
        "\nReference " + referenceName + MeasuredAt(reference) + ":\n" + FormatPairTable(reference);
    char header[96];
    std::snprintf(header, sizeof header, " %10s %10s %10s\n", "Average", "Minimum", "Maximum");
    text += "\nDifference, current against reference:\n" + Padded("Pair", 7) + " " +
            Padded("End Point 1 -> End Point 2", 36) + header;
    const auto rows = records::ComparePairs(current.table, reference.table);
    // The All row closes the table, as in the two above.
    for (std::size_t i = 1; i < rows.size(); ++i)
        text += DifferenceRow(current, rows[i]);
    return text + DifferenceRow(current, rows.front());
}

}  // namespace quarn::console
