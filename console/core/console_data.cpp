#include "console/core/console_data.h"

#include <algorithm>

namespace quarn::console {

void ConsoleData::ResetToNew() {
    windowThread.Check("ConsoleData::ResetToNew");
    table.RemoveAllPairs();
    table.All().showTotal = 0;
    endPoints.clear();
    nameLookup.clear();
    endPointsKnown = false;
    highlightedRow = -1;
    measuredAt.clear();
    ticks = 0;
    settings.durationText = "60";
    chart.Reset();
}

bool ConsoleData::EditPair(int row, std::string endpoint1, std::string endpoint2, int parallel) {
    if (!table.IsPairRow(row)) {
        return false;
    }
    const PairRecord& pair = table[row];
    const bool same = pair.endpoint1 == endpoint1 && pair.endpoint2 == endpoint2 &&
                      pair.parallel == std::clamp(parallel, 1, PairTable::kMaxPairs);
    table.EditPair(row, std::move(endpoint1), std::move(endpoint2), parallel);
    if (same) {
        return false;
    }
    PairTable::ClearFigures(table[row]);
    chart.ClearSeries(row);
    return true;
}

std::string ConsoleData::DisplayName(const std::string& address) const {
    const auto found = nameLookup.find(address);
    if (found == nameLookup.end() || found->second.empty()) {
        return address;
    }
    return found->second;
}

void ConsoleData::BeginSearch() {
    windowThread.Check("ConsoleData::BeginSearch");
    endPoints.clear();
    endPointsKnown = false;
}

std::string ConsoleData::ApplySearchResult(std::vector<EndPointEntry> found) {
    windowThread.Check("ConsoleData::ApplySearchResult");
    endPoints = std::move(found);
    endPointsKnown = !endPoints.empty();
    // Names of earlier searches stay; an address answering again gets its current name.
    for (const EndPointEntry& entry : endPoints) {
        nameLookup[entry.address] = entry.name;
    }
    return endPointsKnown ? std::string() : std::string(PairTable::kNoEndPointFound);
}

std::string ConsoleData::AddPairFromLists(const std::optional<std::string>& endpoint1,
                                          const std::optional<std::string>& endpoint2) {
    return AddPairFromLists(endPointsKnown, endpoint1, endpoint2);
}

std::string ConsoleData::AddPairFromLists(bool known, const std::optional<std::string>& endpoint1,
                                          const std::optional<std::string>& endpoint2) {
    windowThread.Check("ConsoleData::AddPairFromLists");
    std::string notice = table.AddFromLists(known, endpoint1, endpoint2);
    if (notice.empty()) {
        chart.SetPairCount(table.PairCount());
    }
    return notice;
}

int ConsoleData::AddPair(PairRecord record) {
    windowThread.Check("ConsoleData::AddPair");
    const int row = table.AppendPair(std::move(record));
    chart.SetPairCount(table.PairCount());
    return row;
}

std::string ConsoleData::DeletePairs(ConsoleMode mode, const std::vector<int>& rows,
                                     std::vector<int>* rowMap) {
    windowThread.Check("ConsoleData::DeletePairs");
    if (mode != ConsoleMode::Idle) {
        return {};
    }
    std::vector<int> doomed;
    for (int row : rows) {
        if (table.IsPairRow(row)) {
            doomed.push_back(row);
        }
    }
    if (doomed.empty()) {
        return PairTable::kSelectPairToDelete;
    }
    std::sort(doomed.begin(), doomed.end());
    doomed.erase(std::unique(doomed.begin(), doomed.end()), doomed.end());
    std::vector<int> newRows(static_cast<std::size_t>(table.Size()), -1);
    int next = 0;
    for (int row = 0; row < table.Size(); ++row) {
        if (!std::binary_search(doomed.begin(), doomed.end(), row)) {
            newRows[static_cast<std::size_t>(row)] = next++;
        }
    }
    highlightedRow =
        table.IsPairRow(highlightedRow) ? newRows[static_cast<std::size_t>(highlightedRow)] : -1;
    if (rowMap) {
        *rowMap = std::move(newRows);
    }
    // Highest row first, so the lower row numbers stay valid while erasing.
    for (auto it = doomed.rbegin(); it != doomed.rend(); ++it) {
        table[*it].log.Clear();
        table.RemovePairRow(*it);
        chart.RemoveSeries(*it);
    }
    if (table.PairCount() == 0) {
        PairTable::ResetForRun(table.All());
        chart.Reset();
    }
    table.RenamePairs();
    chart.SetPairCount(table.PairCount());
    return {};
}

int ConsoleData::PastePairs(ConsoleMode mode, const PairClipboard& clipboard) {
    windowThread.Check("ConsoleData::PastePairs");
    const int pasted = table.PasteRows(mode, clipboard);
    if (pasted > 0) {
        chart.SetPairCount(table.PairCount());
    }
    return pasted;
}

}  // namespace quarn::console
