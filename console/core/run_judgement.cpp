#include "console/core/run_judgement.h"

#include "console/core/console_data.h"
#include "console/core/number_text.h"
#include "console/core/pair_logs.h"

namespace quarn::console {
namespace {

const LinkFacts* LinkOf(const ConsoleData& data, const std::string& address) {
    const auto it = data.links.find(address);
    return it == data.links.end() ? nullptr : &it->second;
}

PairMeasure MeasureOf(const ConsoleData& data, const PairRecord& pair,
                      const BaselineAverages& baseline) {
    PairMeasure measure;
    measure.udp = data.settings.protocol == Protocol::Udp;
    if (pair.figures.count > 0)
        measure.averageMbps = pair.figures.average;
    measure.quality = pair.figures.quality;
    measure.end1 = LinkOf(data, pair.config.endpoint1);
    measure.end2 = LinkOf(data, pair.config.endpoint2);
    measure.baselineGiven = baseline.given;
    if (const auto it = baseline.averages.find(pair.id); it != baseline.averages.end())
        measure.baselineAverageMbps = it->second;
    return measure;
}

}  // namespace

bool AnyPassLine(const ConsoleData& data) {
    if (!data.settings.passLines.Empty())
        return true;
    for (const PairRecord& pair : data.table.Pairs()) {
        if (!pair.config.passLines.Empty())
            return true;
    }
    return false;
}

std::vector<std::string> JudgementLines(const PairJudgement& judged, bool withLines) {
    std::vector<std::string> lines;
    if (withLines) {
        lines.push_back(std::string("Verdict: ") + VerdictLabel(judged.verdict.verdict));
        lines.insert(lines.end(), judged.verdict.reasons.begin(), judged.verdict.reasons.end());
    }
    if (judged.expectedMbps)
        lines.push_back("Expected goodput " + FixedText(*judged.expectedMbps, 2) + " Mbit/s");
    for (const std::string& note : judged.notes)
        lines.push_back("Note: " + note);
    return lines;
}

std::vector<std::string> PairLinkLines(const ConsoleData& data, const PairRecord& pair) {
    std::vector<std::string> lines;
    const std::pair<const char*, const std::string*> ends[] = {
        {"End Point 1 link: ", &pair.config.endpoint1},
        {"End Point 2 link: ", &pair.config.endpoint2}};
    for (const auto& [title, address] : ends) {
        const LinkFacts* facts = LinkOf(data, *address);
        if (facts == nullptr)
            continue;
        if (const std::string text = DescribeNamedLink(*facts); !text.empty())
            lines.push_back(title + text);
    }
    return lines;
}

std::string RunVerdictLine(const RunJudgement& judgement) {
    int counts[3] = {0, 0, 0};
    for (const auto& [id, judged] : judgement.pairs)
        ++counts[static_cast<int>(judged.verdict.verdict)];
    std::string parts;
    const auto add = [&parts](int count, const char* word) {
        if (count == 0)
            return;
        parts += (parts.empty() ? "" : ", ") + std::to_string(count) + " " + word;
    };
    add(counts[static_cast<int>(Verdict::Fail)], "failed");
    add(counts[static_cast<int>(Verdict::Pass)], "passed");
    add(counts[static_cast<int>(Verdict::Unchecked)], "unchecked");
    std::string line = std::string("Verdict: ") + VerdictLabel(judgement.run);
    return parts.empty() ? line : line + " (" + parts + ")";
}

std::vector<PairId> LogJudgement(const RunJudgement& judgement, bool withLines, PairLogs& logs) {
    std::vector<PairId> written;
    for (const auto& [id, judged] : judgement.pairs) {
        const std::vector<std::string> lines = JudgementLines(judged, withLines);
        if (lines.empty())
            continue;
        PairLog& log = logs.Of(id);
        for (const std::string& line : lines)
            log.Append(line);
        written.push_back(id);
    }
    return written;
}

RunJudgement JudgeRun(const ConsoleData& data, const BaselineAverages& baseline) {
    RunJudgement judgement;
    std::vector<PairVerdict> verdicts;
    for (const PairRecord& pair : data.table.Pairs()) {
        if (!pair.config.active)
            continue;
        const PairMeasure measure = MeasureOf(data, pair, baseline);
        PairJudgement& judged = judgement.pairs[pair.id];
        judged.lines = EffectiveLines(data.settings.passLines, pair.config.passLines);
        judged.verdict = JudgePair(judged.lines, measure);
        judged.notes = LinkNotes(measure);
        judged.expectedMbps = ExpectedGoodputMbps(measure.end1, measure.end2,
                                                  measure.udp ? Protocol::Udp : Protocol::Tcp);
        verdicts.push_back(judged.verdict);
    }
    judgement.run = RunVerdict(verdicts);
    return judgement;
}

}  // namespace quarn::console
