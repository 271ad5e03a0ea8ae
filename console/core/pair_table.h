#pragma once

#include <optional>
#include <span>
#include <string>
#include <vector>

#include "console/core/outcome.h"
#include "console/core/pair_record.h"
#include "console/core/pair_state.h"

namespace quarn::console {

// Copied pairs waiting to be pasted: their set-up only, a paste makes new pairs.
using PairClipboard = std::vector<PairConfig>;

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

    // Where the pair stands now: its row (0 for All), or -1 when it is not in the table.
    int RowOf(PairId id) const;
    bool Contains(PairId id) const { return RowOf(id) >= 1; }
    PairRecord* Find(PairId id);
    const PairRecord* Find(PairId id) const;
    // The id at a pair row, or an invalid id for any other row.
    PairId IdAt(int row) const { return IsPairRow(row) ? (*this)[row].id : PairId(); }
    // The pairs, All left out, in row order; valid until the table changes shape.
    std::span<PairRecord> Pairs() { return std::span(rows_).subspan(1); }
    std::span<const PairRecord> Pairs() const { return std::span(rows_).subspan(1); }

    // Appends a pair under a new id and names it after its row. Returns the id, or an
    // invalid id when the table is full.
    PairId AppendPair(PairConfig config);
    // The same with figures already known (a file being read); the record's id is replaced.
    PairId AppendPair(PairRecord record);
    // Removes every pair row (last first) and resets All.
    void RemoveAllPairs();

    // Reset for a run: the figures start over (an inactive row keeps its state); the
    // set-up stays. The log is the caller's (PairLogs).
    static void ResetForRun(PairRecord& record);
    // Back to "no figures" (state Ready for an active row); the log and the settings stay.
    static void ClearFigures(PairRecord& record);

    // Table operations. Those that can be refused say why (the notice text to show); ids
    // that are not in the table are ignored. Operations that change the
    // number of rows have ConsoleData counterparts that keep the chart and logs in step.

    // "Add End Point": endpoint1/endpoint2 are the selections of the two EndPoint lists.
    // The new pair's id.
    Result<PairId> AddFromLists(bool endPointsKnown, const std::optional<std::string>& endpoint1,
                                const std::optional<std::string>& endpoint2);
    // "Add manually" may open its dialog only when this is Ok.
    Outcome CheckRoomForPair() const;
    // The Pair Setting dialog's edit of an existing row (parallel kept within 1..16).
    void EditPair(PairId id, std::string endpoint1, std::string endpoint2, int parallel);
    // Removes one pair without renaming the others (see RenamePairs).
    void RemovePair(PairId id);
    // Names every pair row "Pair<row>".
    void RenamePairs();
    void SetActive(const std::vector<PairId>& ids, bool active);
    void SetShowAddress(const std::vector<PairId>& ids, bool showAddress);
    void ExchangeEndpoints(const std::vector<PairId>& ids);
    // Only in Idle mode and with a selection; returns whether the clipboard was filled
    // (in row order).
    bool CopyPairs(ConsoleMode mode, const std::vector<PairId>& ids,
                   PairClipboard& clipboard) const;
    // Only in Idle mode with fewer than 16 pairs: appends new pairs with the clipboard's
    // set-up. Returns the number of pairs appended.
    int PastePairs(ConsoleMode mode, const PairClipboard& clipboard);

    static constexpr const char* kNoEndPointFound = "No End Point found.";
    static constexpr const char* kMaxPairsReached = "The max count of pairs is 16.";
    static constexpr const char* kSelectEndPoint1 = "Select End Point 1.";
    static constexpr const char* kSelectEndPoint2 = "Select End Point 2.";
    static constexpr const char* kSelectPairToDelete = "Select pair to delete.";

  private:
    std::vector<PairRecord> rows_;
};

}  // namespace quarn::console
