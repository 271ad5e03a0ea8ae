#pragma once

#include <vector>

#include "console/core/pair_record.h"

namespace quarn::console {

// The Console's table of pairs. Row 0 is the aggregate "All" row, never removed;
// rows 1..N are the pairs, always named "Pair<row>".
class PairTable {
public:
    static constexpr int kMaxPairs = 16;

    PairTable();

    int Size() const { return static_cast<int>(rows_.size()); }
    int PairCount() const { return Size() - 1; }
    PairRecord& operator[](int row) { return rows_.at(static_cast<std::size_t>(row)); }
    const PairRecord& operator[](int row) const { return rows_.at(static_cast<std::size_t>(row)); }
    PairRecord& All() { return rows_.front(); }
    const PairRecord& All() const { return rows_.front(); }
    bool IsPairRow(int row) const { return row >= 1 && row < Size(); }

    // Appends a pair and names it after its row. Returns the new row number.
    int AppendPair(PairRecord record);
    // Removes every pair row (last first) and resets All.
    void RemoveAllPairs();

    // Reset for a run (name, endpoints, udp, parallel, active, showAddress and showTotal stay).
    static void ResetForRun(PairRecord& record);

    // Table operations (add, delete, activate, exchange, copy, paste) are declared below
    // by the core; each returns the refusal text to show, or an empty string.

private:
    std::vector<PairRecord> rows_;
};

}  // namespace quarn::console
