#include "console/core/console_data.h"

#include <algorithm>

namespace quarn::console {

void ConsoleData::ResetToNew() {
    windowThread.Check("ConsoleData::ResetToNew");
    table.RemoveAllPairs();
    table.All().config.showTotal = false;
    logs.Clear();
    endPoints.clear();
    nameLookup.clear();
    links.clear();
    endPointsKnown = false;
    highlighted = PairId();
    measuredAt.clear();
    ticks = 0;
    settings.durationText = "60";
    settings.passLines = {};
    judgement.reset();
    chart.Reset();
}

bool ConsoleData::EditPair(PairId id, std::string endpoint1, std::string endpoint2, int parallel) {
    const PairRecord* pair = table.Find(id);
    if (pair == nullptr) {
        return false;
    }
    const PairConfig& config = pair->config;
    const bool same = config.endpoint1 == endpoint1 && config.endpoint2 == endpoint2 &&
                      config.parallel == std::clamp(parallel, 1, PairTable::kMaxPairs);
    table.EditPair(id, std::move(endpoint1), std::move(endpoint2), parallel);
    if (same) {
        return false;
    }
    const int row = table.RowOf(id);
    PairTable::ClearFigures(table[row]);
    chart.ClearSeries(row);
    return true;
}

void ConsoleData::ToggleTotal() {
    PairRecord& all = table.All();
    all.config.showTotal = !all.config.showTotal;
    chart.SetTotalVisible(all.config.showTotal, ChartScaleSource::From(table));
}

bool ConsoleData::SwitchProtocol(Protocol protocol, std::string shownValueText) {
    if (protocol == settings.protocol)
        return false;
    settings.ValueText() = std::move(shownValueText);
    settings.protocol = protocol;
    return true;
}

std::string ConsoleData::NameOf(const std::string& address) const {
    const auto found = nameLookup.find(address);
    return found == nameLookup.end() ? std::string() : found->second;
}

std::string ConsoleData::DisplayName(const std::string& address) const {
    std::string name = NameOf(address);
    return name.empty() ? address : name;
}

void ConsoleData::BeginSearch() {
    windowThread.Check("ConsoleData::BeginSearch");
    endPoints.clear();
    links.clear();
    endPointsKnown = false;
}

Outcome ConsoleData::ApplySearchResult(std::vector<EndPointEntry> found) {
    windowThread.Check("ConsoleData::ApplySearchResult");
    endPoints = std::move(found);
    endPointsKnown = !endPoints.empty();
    // Names of earlier searches stay; an address answering again gets its current name.
    for (const EndPointEntry& entry : endPoints) {
        nameLookup[entry.address] = entry.name;
        if (entry.link)
            links[entry.address] = *entry.link;
    }
    return endPointsKnown ? Outcome::Done() : Outcome::Failed(PairTable::kNoEndPointFound);
}

std::string ConsoleData::UnverifiedAmong(const std::optional<std::string>& endpoint1,
                                         const std::optional<std::string>& endpoint2) const {
    for (const std::optional<std::string>& address : {endpoint1, endpoint2}) {
        for (const EndPointEntry& entry : endPoints) {
            if (address && entry.unverified && entry.address == *address)
                return *address;
        }
    }
    return {};
}

std::string ConsoleData::UnverifiedNotice(const std::string& address) {
    return address + " did not prove the lab key.\nAdd the pair again to use it anyway.";
}

Result<PairId> ConsoleData::AddPairFromLists(const std::optional<std::string>& endpoint1,
                                             const std::optional<std::string>& endpoint2) {
    return AddPairFromLists(endPointsKnown, endpoint1, endpoint2);
}

Result<PairId> ConsoleData::AddPairFromLists(bool known,
                                             const std::optional<std::string>& endpoint1,
                                             const std::optional<std::string>& endpoint2) {
    windowThread.Check("ConsoleData::AddPairFromLists");
    Result<PairId> added = table.AddFromLists(known, endpoint1, endpoint2);
    if (added) {
        chart.SetPairCount(table.PairCount());
    }
    return added;
}

PairId ConsoleData::AddPair(PairConfig config) {
    windowThread.Check("ConsoleData::AddPair");
    const PairId id = table.AppendPair(std::move(config));
    chart.SetPairCount(table.PairCount());
    return id;
}

void ConsoleData::KeepLabels(PairConfig& config, const std::string& label1,
                             const std::string& label2) {
    for (const auto& [address, label] :
         {std::pair(&config.endpoint1, &label1), std::pair(&config.endpoint2, &label2)}) {
        if (label->empty())
            continue;
        config.showAddress = false;
        std::string& known = nameLookup[*address];
        if (known.empty())
            known = *label;
    }
}

void ConsoleData::StoreSettingTexts(std::string durationText, std::string valueText) {
    settings.durationText = std::move(durationText);
    settings.ValueText() = std::move(valueText);
}

Outcome ConsoleData::DeletePairs(ConsoleMode mode, const std::vector<PairId>& ids) {
    windowThread.Check("ConsoleData::DeletePairs");
    if (mode != ConsoleMode::Idle) {
        return Outcome::Done();
    }
    std::vector<int> doomed;
    for (PairId id : ids) {
        const int row = table.RowOf(id);
        if (table.IsPairRow(row)) {
            doomed.push_back(row);
        }
    }
    if (doomed.empty()) {
        return Outcome::Failed(PairTable::kSelectPairToDelete);
    }
    std::sort(doomed.begin(), doomed.end());
    doomed.erase(std::unique(doomed.begin(), doomed.end()), doomed.end());
    // Highest row first: the chart's series stand in row order.
    for (auto it = doomed.rbegin(); it != doomed.rend(); ++it) {
        const PairId id = table[*it].id;
        logs.Erase(id);
        chart.RemoveSeries(*it);
        table.RemovePair(id);
    }
    if (!table.Contains(highlighted)) {
        highlighted = PairId();
    }
    if (table.PairCount() == 0) {
        PairTable::ResetForRun(table.All());
        chart.Reset();
    }
    table.RenamePairs();
    chart.SetPairCount(table.PairCount());
    return Outcome::Done();
}

int ConsoleData::PastePairs(ConsoleMode mode, const PairClipboard& clipboard) {
    windowThread.Check("ConsoleData::PastePairs");
    const int pasted = table.PastePairs(mode, clipboard);
    if (pasted > 0) {
        chart.SetPairCount(table.PairCount());
    }
    return pasted;
}

}  // namespace quarn::console
