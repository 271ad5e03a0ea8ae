#include "console/records/report_signoff.h"

#include <gtest/gtest.h>

#include "console/records/run_report.h"

namespace quarn::console::records {
namespace {

ConsoleData JudgedRun() {
    ConsoleData data;
    for (const char* end2 : {"198.18.2.1", "198.18.3.1"}) {
        PairConfig pair;
        pair.endpoint1 = "198.18.1.1";
        pair.endpoint2 = end2;
        data.table.AppendPair(std::move(pair));
    }
    for (int row = 1; row <= 2; ++row) {
        data.table[row].figures.count = 10;
        data.table[row].figures.average = row == 1 ? 212.34f : 900.0f;
        data.table[row].figures.averageText = row == 1 ? "212.34" : "900.00";
    }
    data.settings.passLines.minThroughput = ThroughputLine{250.0, false};
    data.table[2].config.passLines.maxRttRiseMs = 5.0;
    LinkFacts gigabit{"eth0", 1000, true, 1500, false, {}};
    data.links["198.18.1.1"] = gigabit;
    data.links["198.18.3.1"] = gigabit;
    data.judgement = JudgeRun(data, BaselineAverages{});
    return data;
}

TEST(ReportSignOffTest, OpensTheReportWithEachPairsVerdict) {
    const ConsoleData data = JudgedRun();
    const std::string html = BuildRunReport(data, "", "2026-12-09 18:00:00", "Hall <B> roll-out");
    const std::size_t signOff = html.find("<section class=\"signoff\">");
    ASSERT_NE(signOff, std::string::npos);
    EXPECT_LT(signOff, html.find("<h1>Quarn measurement report</h1>"));
    EXPECT_NE(html.find("<h1>Hall &lt;B&gt; roll-out</h1>"), std::string::npos);
    EXPECT_NE(html.find("<p class=\"date\">2026-12-09 18:00:00</p>"), std::string::npos);
    EXPECT_NE(html.find("Verdict: <strong>FAIL</strong>"), std::string::npos);
    EXPECT_NE(html.find("Minimum throughput 250.00 Mbit/s<br>Pair2: Maximum rise of the loaded "
                        "round trip over the idle one 5.00 ms"),
              std::string::npos)
        << html;
    EXPECT_NE(html.find("<tr class=\"fail\"><td>Pair1</td><td>198.18.1.1 -&gt; 198.18.2.1</td>"
                        "<td class=\"verdict\">FAIL</td><td>\u2013</td><td>212.34</td>"
                        "<td class=\"reasons\">average 212.34 Mbit/s is below the pass line "
                        "250.00 Mbit/s</td></tr>"),
              std::string::npos)
        << html;
    // Pair2 has no round trips: its own line leaves it unchecked; both ends gave links.
    EXPECT_NE(html.find("<tr class=\"unchecked\"><td>Pair2</td>"), std::string::npos);
    EXPECT_NE(html.find("<td>941.48</td><td>900.00</td>"), std::string::npos);
    // Printed on A4 with room for the tables' outer borders at both sides.
    EXPECT_NE(html.find("@media print{@page{size:A4;margin:15mm}body{margin:0 3mm;"),
              std::string::npos);
    EXPECT_NE(html.find(".signoff table{width:100%}"), std::string::npos);
}

TEST(ReportSignOffTest, NoPageWithoutLinesOrJudgement) {
    ConsoleData data = JudgedRun();
    data.judgement.reset();
    EXPECT_EQ(SignOffSection(data, "t", "now"), "");
    data = JudgedRun();
    data.settings.passLines = {};
    data.table[2].config.passLines = {};
    EXPECT_EQ(SignOffSection(data, "t", "now"), "");
    EXPECT_EQ(BuildRunReport(data, "", "now").find("<section"), std::string::npos);
}

}  // namespace
}  // namespace quarn::console::records
