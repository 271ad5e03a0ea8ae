#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "console/core/outcome.h"
#include "console/core/pair_record.h"
#include "console/core/pair_text.h"
#include "console/core/pass_lines.h"
#include "console/core/traffic_options.h"

namespace quarn::console {

// The command line of `Quarn_Console --headless`. Settings left unset keep what an opened
// file holds (or the defaults).
struct HeadlessOptions {
    bool help = false;
    bool search = false;
    bool noRun = false;
    std::vector<PairSpec> pairs;
    std::optional<std::string> durationText;
    std::optional<Protocol> protocol;
    std::optional<std::string> windowText;
    std::optional<std::string> throughputText;
    std::string openPath;
    std::string savePath;
    std::string csvPath;
    std::vector<std::string> interfaces;
    // Run records: the history of journals, a JSON Lines stream.
    bool listRuns = false;
    bool recover = false;
    std::optional<std::string> recoverId;  // none: the latest unfinished run
    std::string jsonlPath;
    std::uintmax_t historyLimit = 2ULL << 30;
    std::string metricsAddress;  // "[ADDR:]PORT", checked while parsing
    std::string comparePath;     // a .config file or a run id of the history
    std::string reportPath;      // an HTML report of the run
    std::string labKeyPath;      // the lab key file; the key itself never on the command line
    std::string reportTitle;     // heads the report's sign-off page
    // Each line given replaces the opened file's run line of its kind.
    PassLines passLines;
    TrafficOptions traffic;
    bool bothWays = false;     // every pair's reverse is added and runs at the same time    // for
                               // every pair of the run, over what a file holds
    std::string baselinePath;  // a .config file or a run id of the history
    // Each pair alone for this many seconds, then all together, instead of one run.
    std::optional<int> isolateSeconds;
    std::string planPath;  // a YAML test plan: its steps are the runs
};

// argv[0] is the program name; "--headless" itself is accepted and ignored. Fails with
// what was not understood.
Result<HeadlessOptions> ParseHeadlessOptions(const std::vector<std::string>& args);

std::string HeadlessUsage(const std::string& program);

}  // namespace quarn::console
