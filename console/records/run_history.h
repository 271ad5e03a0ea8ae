#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "console/records/record_format.h"

namespace quarn::console::records {

// One run in the history, as its journal tells it.
struct RunInfo {
    std::string id;
    std::string path;
    std::string started;  // RFC 3339 UTC
    int pairs = 0;        // active pairs
    bool finished = false;
    bool running = false;  // another process is still writing it
    std::string outcome;   // of a finished run
    int seconds = 0;
    double totalAverageMbitPerS = 0.0;
    std::uintmax_t bytes = 0;
    PlanTags tags;
};

inline constexpr std::uintmax_t kDefaultHistoryLimit = 2ULL << 30;

// "plan NAME, step 2 NAME (repetition 3)": a run a plan made, in the run list.
std::string PlanStepText(const PlanTags& tags);

// The runs of `dir`, oldest first; files that are not readable journals are left out.
std::vector<RunInfo> ListRuns(const std::string& dir);
// The run with that id, or nullopt.
std::optional<RunInfo> FindRun(const std::string& dir, const std::string& id);
// The newest run that did not finish and is not being written; nullopt when none.
std::optional<RunInfo> LatestUnfinished(const std::string& dir);
// Deletes the oldest journals until the history takes at most `limit` bytes; a journal
// being written and `keepId` stay. Returns the ids deleted.
std::vector<std::string> CapHistory(const std::string& dir, std::uintmax_t limit,
                                    const std::string& keepId = {});
// The table printed by --runs.
std::string FormatRunList(const std::vector<RunInfo>& runs);
// A run's start in local time, "YYYY-MM-DD HH:MM:SS" (empty when unreadable).
std::string RunStartText(const RunInfo& run);
// One line of the window's Recent runs: date, duration, pairs, total average.
std::string RecentRunText(const RunInfo& run);
// "500M", "2G", "1048576": bytes; nullopt for anything else.
std::optional<std::uintmax_t> ParseSize(const std::string& text);

}  // namespace quarn::console::records
