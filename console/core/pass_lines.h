#pragma once

#include <optional>
#include <string>
#include <vector>

namespace quarn::console {

// A minimum throughput: in Mbit/s, or in % of the pair's expected goodput.
struct ThroughputLine {
    double value = 0.0;
    bool percentOfExpected = false;
    bool operator==(const ThroughputLine&) const = default;
};

// What a run (or, overriding it line by line, one pair) must reach. Unset lines are not
// checked.
struct PassLines {
    std::optional<ThroughputLine> minThroughput;
    std::optional<double> maxLossPercent;
    std::optional<double> maxJitterMs;
    std::optional<double> maxRttRiseMs;
    std::optional<double> maxBaselineDropPercent;

    bool Empty() const {
        return !minThroughput && !maxLossPercent && !maxJitterMs && !maxRttRiseMs &&
               !maxBaselineDropPercent;
    }
    bool operator==(const PassLines&) const = default;
};

// The run's lines with every line the pair sets put in their place.
PassLines EffectiveLines(const PassLines& run, const PassLines& pair);

// The operator's texts: "250" or "250.5" (Mbit/s), "90%" for the throughput line; plain
// non-negative numbers for the others (a % at most 100). Nothing for anything else.
std::optional<ThroughputLine> ParseThroughputLine(const std::string& text);
std::optional<double> ParseLineNumber(const std::string& text, double maximum);

// The texts back, as the parsers take them: "250.00", "90.00%".
std::string ThroughputLineText(const ThroughputLine& line);

// The texts of a form with one field per line; an empty field is no line.
struct PassLineTexts {
    std::string minThroughput;  // "250" or "90%"
    std::string maxLoss;
    std::string maxJitter;
    std::string maxRttRise;
    std::string maxBaselineDrop;
};
PassLineTexts TextsOf(const PassLines& lines);
// Blanks around a text are ignored. Nothing, with `refusal` saying which field holds what,
// when a text is no such value.
std::optional<PassLines> ParsePassLineTexts(const PassLineTexts& texts, std::string& refusal);

// The lines as people read them, one per line set: "Minimum throughput 250.00 Mbit/s".
std::vector<std::string> DescribePassLines(const PassLines& lines);

// The lines as "key=value" tokens (min, loss, jitter, rise, drop), for files and records
// that carry them as words; and back, ignoring what is not understood.
std::vector<std::string> PassLineTokens(const PassLines& lines);
void ApplyPassLineToken(const std::string& token, PassLines& lines);

}  // namespace quarn::console
