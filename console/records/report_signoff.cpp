#include "console/records/report_signoff.h"

#include "console/core/number_text.h"
#include "console/records/run_report.h"

namespace quarn::console::records {
namespace {

std::string Escaped(const std::string& text) {
    return HtmlEscape(text);
}

std::string Lines(const std::vector<std::string>& texts) {
    std::string html;
    for (const std::string& text : texts)
        html += (html.empty() ? "" : "<br>") + Escaped(text);
    return html;
}

std::string PairLine(const PairRecord& pair, const PairJudgement& judged) {
    const Verdict verdict = judged.verdict.verdict;
    const std::string expected =
        judged.expectedMbps ? FixedText(*judged.expectedMbps, 2) : "\u2013";
    const std::string average = pair.figures.count > 0 ? pair.figures.averageText : "\u2013";
    std::vector<std::string> reasons = judged.verdict.reasons;
    reasons.insert(reasons.end(), judged.notes.begin(), judged.notes.end());
    return std::string("<tr class=\"") + VerdictWord(verdict) + "\"><td>" + Escaped(pair.name) +
           "</td><td>" + Escaped(pair.config.endpoint1 + " -> " + pair.config.endpoint2) +
           "</td><td class=\"verdict\">" + VerdictLabel(verdict) + "</td><td>" + expected +
           "</td><td>" + Escaped(average) + "</td><td class=\"reasons\">" + Lines(reasons) +
           "</td></tr>\n";
}

}  // namespace

const char* const kSignOffStyle =
    ".signoff{border-bottom:2px solid #bbb;padding-bottom:1em;margin-bottom:1.5em}"
    ".signoff td.reasons,.signoff th:last-child{text-align:left}"
    ".signoff td.verdict{font-weight:bold}"
    ".signoff tr.fail td.verdict{color:#b00}.signoff tr.pass td.verdict{color:#070}"
    ".signoff .sign{margin-top:3em}.signoff .sign span{display:inline-block;width:18em;"
    "border-top:1px solid #222;margin-right:3em;padding-top:.2em}"
    // Collapsed borders lie half outside their table: without room at the sides a printed
    // page cuts a full-width table's right edge off at its margin.
    "@media print{@page{size:A4;margin:15mm}body{margin:0 3mm;font-size:10pt}"
    ".signoff table{width:100%}"
    ".signoff{break-after:page;border:0}img{max-width:100%}}";

std::string SignOffSection(const ConsoleData& data, const std::string& title,
                           const std::string& createdAt) {
    if (!data.judgement || !AnyPassLine(data))
        return {};
    std::string html = "<section class=\"signoff\">\n<h1>" +
                       Escaped(title.empty() ? "Acceptance of the measured links" : title) +
                       "</h1>\n";
    html += "<p class=\"date\">" + Escaped(createdAt) + "</p>\n";
    html += std::string("<p class=\"run-verdict\">Verdict: <strong>") +
            VerdictLabel(data.judgement->run) + "</strong></p>\n";
    html += "<h2>Pass lines</h2>\n<p>" + Lines(DescribePassLines(data.settings.passLines));
    for (const PairRecord& pair : data.table.Pairs()) {
        for (const std::string& own : DescribePassLines(pair.config.passLines))
            html += "<br>" + Escaped(pair.name + ": " + own);
    }
    html +=
        "</p>\n<table class=\"verdicts\">\n<thead><tr><th>Pair</th><th>End Points</th>"
        "<th>Verdict</th><th>Expected (Mbit/s)</th><th>Average (Mbit/s)</th>"
        "<th>Reasons and notes</th></tr></thead>\n<tbody>\n";
    for (const PairRecord& pair : data.table.Pairs()) {
        if (const PairJudgement* judged = data.judgement->Find(pair.id))
            html += PairLine(pair, *judged);
    }
    html +=
        "</tbody>\n</table>\n<p class=\"sign\"><span>Name, signature</span>"
        "<span>Date</span></p>\n</section>\n";
    return html;
}

}  // namespace quarn::console::records
