#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "console/records/json_value.h"
#include "console/records/metrics_text.h"
#include "console/records/record_source.h"
#include "console/records/run_compare.h"
#include "console/records/run_report.h"
#include "tests/support/temp_dir.h"
#include "tests/unit/console_records/fed_run.h"

namespace quarn::console::records {
namespace {

constexpr const char* kUla = "fd00:77::11";
constexpr const char* kLinkLocal = "fe80::77:12%eth0";

class Lines : public RecordSink {
  public:
    void Write(std::string_view line) override { lines.emplace_back(line); }
    void SecondEnded() override {}
    void RunEnded() override {}
    std::vector<std::string> lines;
};

// A run whose first pair is over IPv6: its addresses are text in every record.
TEST(RecordsIpv6Test, JsonLinesMetricsAndTheReportCarryTheAddressText) {
    test::FedRun run(2);
    run.data.table[1].config.endpoint1 = kUla;
    run.data.table[1].config.endpoint2 = kLinkLocal;
    run.data.nameLookup[kUla] = "six";
    Lines sink;
    run.recorder.AddSink(sink);
    MetricsCollector collector;
    run.Begin(3);
    collector.BeginRun(run.data);
    run.Feed(3);
    const std::string page = RenderMetrics(collector.Collect(run.data, true));
    run.End(true);

    const auto head = DecodeHead(ParseJson(sink.lines.front()).value());
    ASSERT_TRUE(head.has_value());
    EXPECT_EQ(head->pairs[0].endpoint1, kUla);
    EXPECT_EQ(head->pairs[0].endpoint2, kLinkLocal);
    EXPECT_EQ(head->pairs[0].endpoint1Name, "six");
    const auto second = DecodeSecond(ParseJson(sink.lines[1]).value());
    ASSERT_TRUE(second.has_value());
    EXPECT_EQ(second->endpoint1, kUla);
    EXPECT_EQ(second->endpoint2, kLinkLocal);

    EXPECT_NE(
        page.find(
            R"(endpoint1="fd00:77::11",endpoint2="fe80::77:12%eth0",names="six -> fe80::77:12%eth0")"),
        std::string::npos)
        << page;
    if (std::system("command -v promtool >/dev/null 2>&1") == 0) {
        test_support::TempDir dir;
        std::ofstream(dir.File("page.txt")) << page;
        const std::string check =
            "promtool check metrics < " + dir.File("page.txt") + " >/dev/null";
        EXPECT_EQ(std::system(check.c_str()), 0) << page;
    }

    const std::string report = BuildRunReport(run.data, "", "2026-12-10 00:00:00");
    EXPECT_NE(report.find(kLinkLocal), std::string::npos);
}

PairRecord Pair(const std::string& from, const std::string& to, const std::string& average) {
    PairRecord pair;
    pair.config.endpoint1 = from;
    pair.config.endpoint2 = to;
    pair.figures.countText = "10";
    pair.figures.averageText = average;
    return pair;
}

// A reference run's IPv6 pair matches however its addresses were spelled; a different
// address of the same /64 is another pair.
TEST(RecordsIpv6Test, CompareMatchesIpv6PairsByAddressNotSpelling) {
    PairTable current;
    current.AppendPair(Pair("fd00:77::11", "fd00:77::12", "120.00"));
    current.AppendPair(Pair("fd00:77::11", "fd00:77::13", "50.00"));
    PairTable reference;
    reference.AppendPair(Pair("FD00:77:0:0::11", "fd00:0077::12", "100.00"));
    reference.AppendPair(Pair("fd00:77::11", "fd00:77::14", "100.00"));
    const auto rows = ComparePairs(current, reference);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[1].referenceRow, 1);
    EXPECT_DOUBLE_EQ(*rows[1].averagePercent, 20.0);
    EXPECT_EQ(rows[2].referenceRow, -1);
}

}  // namespace
}  // namespace quarn::console::records
