#include "console/core/pair_verdict.h"

#include <cmath>

#include "console/core/number_text.h"

namespace quarn::console {
namespace {

// The figure as the table shows it, in hundredths, so that a figure shown on the line is
// on it.
long long Hundredths(double value) {
    return std::llround(value * 100.0);
}

std::string Two(double value) {
    return FixedText(value, 2);
}

// One line's outcome: checked and held, beyond it, or not checkable.
enum class LineResult { Held, Beyond, Missing };

struct Judgement {
    bool anyLine = false;
    bool failed = false;
    bool missing = false;
    std::vector<std::string> failures;
    std::vector<std::string> unchecked;

    void Add(LineResult result, std::string reason) {
        anyLine = true;
        if (result == LineResult::Beyond) {
            failed = true;
            failures.push_back(std::move(reason));
        } else if (result == LineResult::Missing) {
            missing = true;
            unchecked.push_back(std::move(reason));
        }
    }
};

void JudgeThroughput(const ThroughputLine& line, const PairMeasure& m, Judgement& j) {
    double minimum = line.value;
    std::string of;
    if (line.percentOfExpected) {
        const auto expected =
            ExpectedGoodputMbps(m.end1, m.end2, m.udp ? Protocol::Udp : Protocol::Tcp);
        if (!expected) {
            j.Add(LineResult::Missing, "no expected goodput for the pass line " +
                                           FixedText(line.value, 1) +
                                           " %: an end reported no link speed or MTU");
            return;
        }
        minimum = *expected * line.value / 100.0;
        of = " (" + FixedText(line.value, 1) + " % of the expected " + Two(*expected) + " Mbit/s)";
    }
    if (!m.averageMbps) {
        j.Add(LineResult::Missing,
              "no average to check against the pass line " + Two(minimum) + " Mbit/s");
        return;
    }
    const bool below = Hundredths(*m.averageMbps) < Hundredths(minimum);
    j.Add(below ? LineResult::Beyond : LineResult::Held, "average " + Two(*m.averageMbps) +
                                                             " Mbit/s is below the pass line " +
                                                             Two(minimum) + " Mbit/s" + of);
}

// "loss 3.10 % is above 0.50 %"
void JudgeMaximum(const char* what, const char* unit, const std::optional<double>& figure,
                  double maximum, Judgement& j) {
    const std::string line = Two(maximum) + unit;
    if (!figure) {
        j.Add(LineResult::Missing, std::string("no ") + what + " figure to check against " + line);
        return;
    }
    const bool above = Hundredths(*figure) > Hundredths(maximum);
    j.Add(above ? LineResult::Beyond : LineResult::Held,
          std::string(what) + " " + Two(*figure) + unit + " is above " + line);
}

void JudgeBaseline(double maxDrop, const PairMeasure& m, Judgement& j) {
    if (!m.baselineGiven) {
        j.Add(LineResult::Missing, "no baseline to compare with");
        return;
    }
    if (!m.baselineAverageMbps || *m.baselineAverageMbps <= 0.0) {
        j.Add(LineResult::Missing, "the baseline has no average for this pair");
        return;
    }
    if (!m.averageMbps) {
        j.Add(LineResult::Missing,
              "no average to compare with the baseline " + Two(*m.baselineAverageMbps) + " Mbit/s");
        return;
    }
    const double base = *m.baselineAverageMbps;
    const double drop = (base - *m.averageMbps) / base * 100.0;
    // Judged at the one decimal the reason shows.
    const bool beyond = std::llround(drop * 10.0) > std::llround(maxDrop * 10.0);
    j.Add(beyond ? LineResult::Beyond : LineResult::Held,
          "average " + Two(*m.averageMbps) + " Mbit/s is " + FixedText(drop, 1) +
              " % below the baseline " + Two(base) + " Mbit/s");
}

}  // namespace

const char* VerdictWord(Verdict verdict) {
    switch (verdict) {
        case Verdict::Pass:
            return "pass";
        case Verdict::Fail:
            return "fail";
        case Verdict::Unchecked:
            break;
    }
    return "unchecked";
}

const char* VerdictLabel(Verdict verdict) {
    switch (verdict) {
        case Verdict::Pass:
            return "PASS";
        case Verdict::Fail:
            return "FAIL";
        case Verdict::Unchecked:
            break;
    }
    return "UNCHECKED";
}

PairVerdict JudgePair(const PassLines& lines, const PairMeasure& m) {
    Judgement j;
    if (lines.minThroughput)
        JudgeThroughput(*lines.minThroughput, m, j);
    if (m.udp && lines.maxLossPercent)
        JudgeMaximum("loss", " %", m.quality.lossPercent, *lines.maxLossPercent, j);
    if (m.udp && lines.maxJitterMs)
        JudgeMaximum("jitter", " ms", m.quality.jitterAverageMs, *lines.maxJitterMs, j);
    if (lines.maxRttRiseMs)
        JudgeMaximum("round-trip rise", " ms", m.quality.RttIncreaseMs(), *lines.maxRttRiseMs, j);
    if (lines.maxBaselineDropPercent)
        JudgeBaseline(*lines.maxBaselineDropPercent, m, j);

    PairVerdict verdict;
    if (j.failed) {
        verdict.verdict = Verdict::Fail;
        verdict.reasons = std::move(j.failures);
        // What could not be checked is said too: the failure does not hide it.
        verdict.reasons.insert(verdict.reasons.end(), j.unchecked.begin(), j.unchecked.end());
    } else if (j.missing) {
        verdict.reasons = std::move(j.unchecked);
    } else if (!j.anyLine) {
        verdict.reasons.push_back("no pass line applies");
    } else {
        verdict.verdict = Verdict::Pass;
    }
    return verdict;
}

Verdict RunVerdict(const std::vector<PairVerdict>& pairs) {
    bool anyPass = false;
    for (const PairVerdict& pair : pairs) {
        if (pair.verdict == Verdict::Fail)
            return Verdict::Fail;
        anyPass = anyPass || pair.verdict == Verdict::Pass;
    }
    return anyPass ? Verdict::Pass : Verdict::Unchecked;
}

std::vector<std::string> LinkNotes(const PairMeasure& m) {
    std::vector<std::string> notes;
    const LinkFacts* ends[] = {m.end1, m.end2};
    if (m.end1 && m.end2) {
        if (m.end1->speedMbps && m.end2->speedMbps && *m.end1->speedMbps != *m.end2->speedMbps)
            notes.push_back("the ends' speeds differ: " + std::to_string(*m.end1->speedMbps) +
                            " and " + std::to_string(*m.end2->speedMbps) + " Mbit/s");
        if (m.end1->mtu && m.end2->mtu && *m.end1->mtu != *m.end2->mtu)
            notes.push_back("the MTUs differ: " + std::to_string(*m.end1->mtu) + " and " +
                            std::to_string(*m.end2->mtu));
    }
    for (int i = 0; i < 2; ++i) {
        const std::string end = "End Point " + std::to_string(i + 1);
        if (ends[i] && ends[i]->fullDuplex && !*ends[i]->fullDuplex)
            notes.push_back(end + " runs half duplex");
        if (ends[i] && ends[i]->wireless)
            notes.push_back(end + " is wireless");
    }
    const auto expected =
        ExpectedGoodputMbps(m.end1, m.end2, m.udp ? Protocol::Udp : Protocol::Tcp);
    if (expected && m.averageMbps && *m.averageMbps > *expected * 1.05)
        notes.push_back("average " + Two(*m.averageMbps) + " Mbit/s exceeds the expected " +
                        Two(*expected) +
                        " Mbit/s by more than 5 %: a wrong link fact or a measuring fault");
    return notes;
}

}  // namespace quarn::console
