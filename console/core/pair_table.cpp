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
    all.id = PairId::Next();
    all.name = "All";
    rows_.push_back(std::move(all));
}

int PairTable::RowOf(PairId id) const {
    if (!id.Valid()) {
        return -1;
    }
    for (int row = 0; row < Size(); ++row) {
        if ((*this)[row].id == id) {
            return row;
        }
    }
    return -1;
}

PairRecord* PairTable::Find(PairId id) {
    const int row = RowOf(id);
    return row < 0 ? nullptr : &(*this)[row];
}

const PairRecord* PairTable::Find(PairId id) const {
    const int row = RowOf(id);
    return row < 0 ? nullptr : &(*this)[row];
}

PairId PairTable::AppendPair(PairConfig config) {
    PairRecord record;
    record.config = std::move(config);
    return AppendPair(std::move(record));
}

PairId PairTable::AppendPair(PairRecord record) {
    if (PairCount() >= kMaxPairs) {
        return {};
    }
    record.id = PairId::Next();
    record.name = PairName(Size());
    rows_.push_back(std::move(record));
    return rows_.back().id;
}

void PairTable::RemoveAllPairs() {
    while (PairCount() > 0) {
        rows_.pop_back();
    }
    ResetForRun(All());
}

void PairTable::ResetForRun(PairRecord& record) {
    ClearFigures(record);
    record.run.rateText.clear();
}

void PairTable::ClearFigures(PairRecord& record) {
    PairFigures fresh;
    if (!record.config.active) {
        fresh.state = record.figures.state;
        fresh.statusText = std::move(record.figures.statusText);
    }
    record.figures = std::move(fresh);
    record.run.failure.reset();
    record.run.unauthenticated.clear();
}

Result<PairId> PairTable::AddFromLists(bool endPointsKnown,
                                       const std::optional<std::string>& endpoint1,
                                       const std::optional<std::string>& endpoint2) {
    if (!endPointsKnown) {
        return WhyNot{kNoEndPointFound};
    }
    if (PairCount() >= kMaxPairs) {
        return WhyNot{kMaxPairsReached};
    }
    if (!endpoint1) {
        return WhyNot{kSelectEndPoint1};
    }
    if (!endpoint2) {
        return WhyNot{kSelectEndPoint2};
    }
    PairConfig config;
    config.endpoint1 = *endpoint1;
    config.endpoint2 = *endpoint2;
    return AppendPair(std::move(config));
}

Outcome PairTable::CheckRoomForPair() const {
    return PairCount() >= kMaxPairs ? Outcome::Failed(kMaxPairsReached) : Outcome::Done();
}

void PairTable::EditPair(PairId id, std::string endpoint1, std::string endpoint2, int parallel) {
    const int row = RowOf(id);
    if (!IsPairRow(row)) {
        return;
    }
    PairConfig& config = (*this)[row].config;
    config.endpoint1 = std::move(endpoint1);
    config.endpoint2 = std::move(endpoint2);
    config.parallel = std::clamp(parallel, 1, kMaxPairs);
}

void PairTable::RemovePair(PairId id) {
    const int row = RowOf(id);
    if (IsPairRow(row)) {
        rows_.erase(rows_.begin() + row);
    }
}

void PairTable::RenamePairs() {
    for (int row = 1; row < Size(); ++row) {
        (*this)[row].name = PairName(row);
    }
}

void PairTable::SetActive(const std::vector<PairId>& ids, bool active) {
    const PairState state = active ? PairState::Ready : PairState::Inactive;
    for (PairId id : ids) {
        const int row = RowOf(id);
        if (IsPairRow(row)) {
            PairRecord& record = (*this)[row];
            record.config.active = active;
            record.figures.state = state;
            record.figures.statusText = std::string(StatusText(state));
        }
    }
}

void PairTable::SetShowAddress(const std::vector<PairId>& ids, bool showAddress) {
    for (PairId id : ids) {
        const int row = RowOf(id);
        if (IsPairRow(row)) {
            (*this)[row].config.showAddress = showAddress;
        }
    }
}

void PairTable::ExchangeEndpoints(const std::vector<PairId>& ids) {
    std::vector<PairId> unique = ids;
    std::sort(unique.begin(), unique.end());
    unique.erase(std::unique(unique.begin(), unique.end()), unique.end());
    for (PairId id : unique) {
        const int row = RowOf(id);
        if (IsPairRow(row)) {
            PairConfig& config = (*this)[row].config;
            std::swap(config.endpoint1, config.endpoint2);
        }
    }
}

bool PairTable::CopyPairs(ConsoleMode mode, const std::vector<PairId>& ids,
                          PairClipboard& clipboard) const {
    std::vector<int> selected;
    for (PairId id : ids) {
        const int row = RowOf(id);
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
        clipboard.push_back((*this)[row].config);
    }
    return true;
}

int PairTable::PastePairs(ConsoleMode mode, const PairClipboard& clipboard) {
    if (mode != ConsoleMode::Idle || PairCount() >= kMaxPairs) {
        return 0;
    }
    const auto room = static_cast<std::size_t>(kMaxPairs - PairCount());
    const std::size_t count = std::min(clipboard.size(), room);
    for (std::size_t i = 0; i < count; ++i) {
        PairRecord record;
        record.config = clipboard[i];
        // An inactive pair is pasted inactive, showing so.
        if (!record.config.active) {
            record.figures.state = PairState::Inactive;
            record.figures.statusText = std::string(StatusText(PairState::Inactive));
        }
        AppendPair(std::move(record));
    }
    return static_cast<int>(count);
}

}  // namespace quarn::console
