#pragma once

#include <vector>

#include "console/core/pair_table.h"

namespace quarn::console::test {

// The ids standing at the given rows (pair rows only), in the order given: what a list
// selecting those rows would report.
inline std::vector<PairId> IdsAt(const PairTable& table, const std::vector<int>& rows) {
    std::vector<PairId> ids;
    for (const int row : rows) {
        if (table.IsPairRow(row))
            ids.push_back(table.IdAt(row));
    }
    return ids;
}

}  // namespace quarn::console::test
