#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "console/core/pair_id.h"
#include "console/core/pair_record.h"
#include "console/core/pair_verdict.h"

namespace quarn::console {

struct ConsoleData;
class PairLogs;

// A pair's part of the judgement: its verdict, the notes that need no line, the lines it
// was held to and the goodput its links promise (none without link facts).
struct PairJudgement {
    PairVerdict verdict;
    std::vector<std::string> notes;
    PassLines lines;
    std::optional<double> expectedMbps;
};

struct RunJudgement {
    Verdict run = Verdict::Unchecked;
    std::map<PairId, PairJudgement> pairs;  // active pairs only
    const PairJudgement* Find(PairId id) const {
        const auto it = pairs.find(id);
        return it == pairs.end() ? nullptr : &it->second;
    }
};

// A baseline's average for each pair of the current table, matched by addresses; a pair
// missing from the map has no counterpart in the baseline.
struct BaselineAverages {
    bool given = false;
    std::map<PairId, std::optional<double>> averages;
};

// Whether the run or any pair sets a line.
bool AnyPassLine(const ConsoleData& data);

// A pair's tooltip and log lines: "Verdict: FAIL" and its reasons when lines were set,
// the expected goodput when known, then the notes that need no line.
std::vector<std::string> JudgementLines(const PairJudgement& judged, bool withLines);

// What each end of the pair reported of its link, for its tooltip: "End Point 1 link: eth0,
// 10000 Mbit/s full duplex, MTU 1500"; nothing for an end that reported nothing.
std::vector<std::string> PairLinkLines(const ConsoleData& data, const PairRecord& pair);

// The line under the notice at the end of a run: "Verdict: FAIL (1 failed, 2 passed)".
std::string RunVerdictLine(const RunJudgement& judgement);

// Writes each judged pair's JudgementLines at the end of its log; returns the pairs whose
// log got lines.
std::vector<PairId> LogJudgement(const RunJudgement& judgement, bool withLines, PairLogs& logs);

// Judges every active pair of the table as its figures stand, with the link facts the
// EndPoint lists carry.
RunJudgement JudgeRun(const ConsoleData& data, const BaselineAverages& baseline);

}  // namespace quarn::console
