#include "console/headless/verdict_text.h"

#include <vector>

namespace quarn::console {
namespace {

constexpr std::size_t kVerdictWidth = 9;  // "UNCHECKED"

// The first line after "Pair1 FAIL: ", the others under it.
std::string Block(const std::string& lead, const std::vector<std::string>& lines) {
    std::string text;
    for (std::size_t i = 0; i < lines.size(); ++i)
        text += (i == 0 ? lead : std::string(lead.size(), ' ')) + lines[i] + "\n";
    return text;
}

}  // namespace

bool ShowsVerdicts(const ConsoleData& data) {
    return data.judgement.has_value() && AnyPassLine(data);
}

std::string VerdictHeaderCell(const ConsoleData& data) {
    return ShowsVerdicts(data) ? "  " + std::string("Verdict").append(kVerdictWidth - 7, ' ')
                               : std::string();
}

std::string VerdictCell(const ConsoleData& data, const PairRecord& row, bool allRow) {
    if (!ShowsVerdicts(data))
        return {};
    std::string label;
    if (allRow) {
        label = VerdictLabel(data.judgement->run);
    } else if (const PairJudgement* judged = data.judgement->Find(row.id)) {
        label = VerdictLabel(judged->verdict.verdict);
    }
    return "  " + label;  // the last column: no blanks after it
}

std::string FormatVerdictReasons(const ConsoleData& data) {
    if (!data.judgement)
        return {};
    const bool verdicts = ShowsVerdicts(data);
    std::string text;
    for (const PairRecord& row : data.table.Pairs()) {
        const PairJudgement* judged = data.judgement->Find(row.id);
        if (judged == nullptr)
            continue;
        if (verdicts)
            text += Block(row.name + " " + VerdictLabel(judged->verdict.verdict) + ": ",
                          judged->verdict.reasons);
        text += Block(row.name + " note: ", judged->notes);
    }
    if (verdicts)
        text += std::string("Run verdict: ") + VerdictLabel(data.judgement->run) + "\n";
    return text;
}

}  // namespace quarn::console
