#pragma once

#include <optional>
#include <string>
#include <vector>

#include "console/core/pair_record.h"
#include "console/core/pair_state.h"

namespace quarn::console {

// Copied pairs waiting to be pasted; no aggregate row.
using PairClipboard = std::vector<PairRecord>;

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
    // Back to "no figures" (state Ready for an active row); the log and the settings stay.
    static void ClearFigures(PairRecord& record);

    // Table operations. Those that can be refused return the notice text to show, or an
    // empty string; `rows` are the selected rows (list item + 1). Operations that change
    // the number of rows have ConsoleData counterparts that keep the chart in step.

    // "Add End Point": endpoint1/endpoint2 are the selections of the two EndPoint lists.
    std::string AddFromLists(bool endPointsKnown, const std::optional<std::string>& endpoint1,
                             const std::optional<std::string>& endpoint2);
    // "Add manually" may open its dialog only when this returns an empty string.
    std::string CheckRoomForPair() const;
    // The Pair Setting dialog's edit of an existing row (parallel kept within 1..16).
    void EditPair(int row, std::string endpoint1, std::string endpoint2, int parallel);
    // Removes one pair row without renaming the others (see RenamePairs).
    void RemovePairRow(int row);
    // Names every pair row "Pair<row>".
    void RenamePairs();
    void SetActive(const std::vector<int>& rows, bool active);
    void SetShowAddress(const std::vector<int>& rows, bool showAddress);
    void ExchangeEndpoints(const std::vector<int>& rows);
    // Only in Idle mode and with a selection; returns whether the clipboard was filled.
    bool CopyRows(ConsoleMode mode, const std::vector<int>& rows, PairClipboard& clipboard) const;
    // Only in Idle mode with fewer than 16 pairs; returns the number of rows appended.
    int PasteRows(ConsoleMode mode, const PairClipboard& clipboard);

    static constexpr const char* kNoEndPointFound = "No End Point found.";
    static constexpr const char* kMaxPairsReached = "The max count of pairs is 16.";
    static constexpr const char* kSelectEndPoint1 = "Select End Point 1.";
    static constexpr const char* kSelectEndPoint2 = "Select End Point 2.";
    static constexpr const char* kSelectPairToDelete = "Select pair to delete.";

  private:
    std::vector<PairRecord> rows_;
};

}  // namespace quarn::console
