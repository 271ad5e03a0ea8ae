#include "console/core/pair_table.h"

#include <algorithm>
#include <utility>

namespace quarn::console {

namespace {

std::string PairName(int row) {
    return "Pair" + std::to_string(row);
}

}  // namespace

PairTable::PairTable() {
    PairRecord all;
    all.name = "All";
    rows_.push_back(std::move(all));
}

int PairTable::AppendPair(PairRecord record) {
    if (PairCount() >= kMaxPairs) {
        return -1;
    }
    const int row = Size();
    record.name = PairName(row);
    rows_.push_back(std::move(record));
    return row;
}

void PairTable::RemoveAllPairs() {
    while (PairCount() > 0) {
        rows_.pop_back();
    }
    ResetForRun(All());
}

void PairTable::ResetForRun(PairRecord& record) {
    ClearFigures(record);
    record.log.Clear();
    record.rateText.clear();
}

void PairTable::ClearFigures(PairRecord& record) {
    if (record.active) {
        record.state = PairState::Ready;
        record.statusText = std::string(StatusText(PairState::Ready));
    }
    record.max = 0.0f;
    record.min = -1.0f;
    record.sum = 0.0f;
    record.current = 0.0f;
    record.average = 0.0f;
    record.peakSingle = 0.0f;
    record.countText = "0";
    record.currentText = "0.00";
    record.averageText = "0.00";
    record.minText = "0.00";
    record.maxText = "0.00";
    record.count = 0;
    record.failure.reset();
}

std::string PairTable::AddFromLists(bool endPointsKnown,
                                    const std::optional<std::string>& endpoint1,
                                    const std::optional<std::string>& endpoint2) {
    if (!endPointsKnown) {
        return kNoEndPointFound;
    }
    if (PairCount() >= kMaxPairs) {
        return kMaxPairsReached;
    }
    if (!endpoint1) {
        return kSelectEndPoint1;
    }
    if (!endpoint2) {
        return kSelectEndPoint2;
    }
    PairRecord record;
    record.endpoint1 = *endpoint1;
    record.endpoint2 = *endpoint2;
    record.udp = false;
    AppendPair(std::move(record));
    return {};
}

std::string PairTable::CheckRoomForPair() const {
    return PairCount() >= kMaxPairs ? kMaxPairsReached : std::string();
}

void PairTable::EditPair(int row, std::string endpoint1, std::string endpoint2, int parallel) {
    if (!IsPairRow(row)) {
        return;
    }
    PairRecord& record = (*this)[row];
    record.endpoint1 = std::move(endpoint1);
    record.endpoint2 = std::move(endpoint2);
    record.parallel = std::clamp(parallel, 1, kMaxPairs);
}

void PairTable::RemovePairRow(int row) {
    if (!IsPairRow(row)) {
        return;
    }
    rows_.erase(rows_.begin() + row);
}

void PairTable::RenamePairs() {
    for (int row = 1; row < Size(); ++row) {
        (*this)[row].name = PairName(row);
    }
}

void PairTable::SetActive(const std::vector<int>& rows, bool active) {
    const PairState state = active ? PairState::Ready : PairState::Inactive;
    for (int row : rows) {
        if (IsPairRow(row)) {
            PairRecord& record = (*this)[row];
            record.active = active;
            record.state = state;
            record.statusText = std::string(StatusText(state));
        }
    }
}

void PairTable::SetShowAddress(const std::vector<int>& rows, bool showAddress) {
    for (int row : rows) {
        if (IsPairRow(row)) {
            (*this)[row].showAddress = showAddress;
        }
    }
}

void PairTable::ExchangeEndpoints(const std::vector<int>& rows) {
    std::vector<int> unique = rows;
    std::sort(unique.begin(), unique.end());
    unique.erase(std::unique(unique.begin(), unique.end()), unique.end());
    for (int row : unique) {
        if (IsPairRow(row)) {
            PairRecord& record = (*this)[row];
            std::swap(record.endpoint1, record.endpoint2);
        }
    }
}

bool PairTable::CopyRows(ConsoleMode mode, const std::vector<int>& rows,
                         PairClipboard& clipboard) const {
    std::vector<int> selected;
    for (int row : rows) {
        if (IsPairRow(row)) {
            selected.push_back(row);
        }
    }
    if (mode != ConsoleMode::Idle || selected.empty()) {
        return false;
    }
    std::sort(selected.begin(), selected.end());
    selected.erase(std::unique(selected.begin(), selected.end()), selected.end());
    clipboard.clear();
    for (int row : selected) {
        PairRecord copy = (*this)[row];
        ResetForRun(copy);
        clipboard.push_back(std::move(copy));
    }
    return true;
}

int PairTable::PasteRows(ConsoleMode mode, const PairClipboard& clipboard) {
    if (mode != ConsoleMode::Idle || PairCount() >= kMaxPairs) {
        return 0;
    }
    const auto room = static_cast<std::size_t>(kMaxPairs - PairCount());
    const std::size_t count = std::min(clipboard.size(), room);
    for (std::size_t i = 0; i < count; ++i) {
        PairRecord record = clipboard[i];
        ResetForRun(record);
        AppendPair(std::move(record));
    }
    return static_cast<int>(count);
}

}  // namespace quarn::console
