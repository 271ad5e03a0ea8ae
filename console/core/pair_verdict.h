#pragma once

#include <optional>
#include <string>
#include <vector>

#include "console/core/link_facts.h"
#include "console/core/pair_quality.h"
#include "console/core/pass_lines.h"

namespace quarn::console {

enum class Verdict { Pass, Fail, Unchecked };

// "pass", "fail", "unchecked": the words of the records.
const char* VerdictWord(Verdict verdict);
// "PASS", "FAIL", "UNCHECKED": the words of the table.
const char* VerdictLabel(Verdict verdict);

// What a pair's judgement needs of its run.
struct PairMeasure {
    bool udp = false;
    std::optional<double> averageMbps;  // none: no second was counted
    PairQuality quality;
    const LinkFacts* end1 = nullptr;  // none: the EndPoint reported no link facts
    const LinkFacts* end2 = nullptr;
    // The baseline's average of the same pair; none when the baseline has no such pair.
    bool baselineGiven = false;
    std::optional<double> baselineAverageMbps;
};

struct PairVerdict {
    Verdict verdict = Verdict::Unchecked;
    // Why it failed, or what could not be checked; empty for a pass.
    std::vector<std::string> reasons;
};

// FAIL when a figure is beyond a line, else UNCHECKED when a line lacks the figure it
// needs or no line applies (loss and jitter lines apply to UDP only), else PASS. A figure
// exactly on its line passes. Figures are judged as the table shows them, to two decimals.
PairVerdict JudgePair(const PassLines& lines, const PairMeasure& measure);

// PASS only when no pair fails and at least one passes; FAIL when any pair fails.
Verdict RunVerdict(const std::vector<PairVerdict>& pairs);

// Notes that need no line: the two ends' links differ in speed or MTU, an end runs half
// duplex or is wireless, or the average exceeds the expected goodput by more than 5 %.
std::vector<std::string> LinkNotes(const PairMeasure& measure);

}  // namespace quarn::console
