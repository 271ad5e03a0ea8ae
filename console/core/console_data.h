#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "console/core/chart_model.h"
#include "console/core/endpoint_entry.h"
#include "console/core/link_facts.h"
#include "console/core/measurement_settings.h"
#include "console/core/pair_logs.h"
#include "console/core/pair_table.h"
#include "console/core/run_judgement.h"
#include "console/core/thread_affinity.h"

namespace quarn::console {

// The Console's whole working state: what a configuration file saves and restores.
struct ConsoleData {
    PairTable table;
    PairLogs logs;
    MeasurementSettings settings;
    std::vector<EndPointEntry> endPoints;
    std::map<std::string, std::string> nameLookup;  // address -> name
    // address -> what its EndPoint reported of its link, from the last search
    std::map<std::string, LinkFacts> links;
    bool endPointsKnown = false;            // the last search (or opened file) found some
    std::string measuredAt;                 // "%04d-%02d-%02d %02d:%02d:%02d" or empty
    int ticks = 0;                          // processed ticks of the last run
    std::optional<RunJudgement> judgement;  // the last run's verdicts, once judged
    ChartModel chart;
    // The selected pair whose curve the chart emphasises; invalid for none.
    PairId highlighted;
    // The window thread; the entry points below check it in debug builds.
    ThreadAffinity windowThread;

    // The File menu's New: an empty table, no EndPoints, default duration, chart reset.
    void ResetToNew();

    // A search begins: the EndPoints of the previous one are forgotten.
    void BeginSearch();
    // A search ended with `found` (in reply order): keeps the entries, adds their names to
    // the lookup and sets endPointsKnown. Fails with "No End Point found." when nothing
    // answered.
    Outcome ApplySearchResult(std::vector<EndPointEntry> found);

    // Table operations that change the number of rows and keep the chart in step. A
    // refusal is the notice text to show. The new pair's id:
    Result<PairId> AddPairFromLists(bool endPointsKnown,
                                    const std::optional<std::string>& endpoint1,
                                    const std::optional<std::string>& endpoint2);
    // The same with this state's endPointsKnown.
    Result<PairId> AddPairFromLists(const std::optional<std::string>& endpoint1,
                                    const std::optional<std::string>& endpoint2);
    // The first of the two addresses that the last search listed as unverified; empty
    // when neither is.
    std::string UnverifiedAmong(const std::optional<std::string>& endpoint1,
                                const std::optional<std::string>& endpoint2) const;
    // What the window says before it pairs an unverified EndPoint.
    static std::string UnverifiedNotice(const std::string& address);
    // Appends a pair confirmed in the Pair Setting dialog; its id, invalid when full.
    PairId AddPair(PairConfig config);
    // Deletes the selected pairs with their logs and curves (outside Idle mode nothing
    // happens and nothing is said); the highlight goes when its pair goes. The others keep
    // their ids.
    Outcome DeletePairs(ConsoleMode mode, const std::vector<PairId>& ids);
    // Pastes from the clipboard; returns the number of rows appended.
    int PastePairs(ConsoleMode mode, const PairClipboard& clipboard);
    // The Pair Setting dialog's edit of a row. Figures and the chart series belong to the
    // addresses and stream count that produced them: when either changes, both are
    // cleared. True when they were.
    bool EditPair(PairId id, std::string endpoint1, std::string endpoint2, int parallel);
    // The All row's Total switch: flips whether the chart draws the total curve.
    void ToggleTotal();
    // Switches the run's protocol, keeping `shownValueText` (the value box) as the text of
    // the protocol left; the new protocol's own text comes back with ValueText(). False
    // when it is the protocol already.
    bool SwitchProtocol(Protocol protocol, std::string shownValueText);
    // Host names typed for a pair's ends become the labels of their addresses (unless an
    // EndPoint already told its own name); a pair given any name shows names.
    void KeepLabels(PairConfig& config, const std::string& label1, const std::string& label2);
    // The duration and value boxes' texts, kept before a run or a save.
    void StoreSettingTexts(std::string durationText, std::string valueText);
    // The name looked up for an address; empty when none is known.
    std::string NameOf(const std::string& address) const;
    // Name shown for an address: the looked-up name, or the address when none is known.
    std::string DisplayName(const std::string& address) const;
};

}  // namespace quarn::console
