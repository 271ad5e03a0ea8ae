#include "console/records/run_report.h"

#include <gtest/gtest.h>

#include <fstream>

#include "tests/support/temp_dir.h"
#include "tests/unit/console_records/python_check.h"

namespace quarn::console::records {
namespace {

constexpr const char* kHostileName = "<script>alert('x')</script> & \"co\"";

ConsoleData ThreePairs() {
    ConsoleData data;
    for (int pair = 1; pair <= 3; ++pair) {
        PairRecord record;
        record.config.endpoint1 = "198.18.0." + std::to_string(pair);
        record.config.endpoint2 = "198.18.1." + std::to_string(pair);
        record.figures.averageText = std::to_string(100 * pair) + ".25";
        record.figures.countText = "60";
        data.table.AppendPair(std::move(record));
    }
    data.table[2].figures.quality.lossPercent = 1.5;
    data.nameLookup["198.18.0.2"] = kHostileName;
    data.nameLookup["198.18.1.3"] = "\xEC\x84\x9C\xEB\xB2\x84";  // a Korean name, UTF-8
    data.measuredAt = "2026-12-09 01:46:39";
    data.settings.windowSizeText = "2";
    return data;
}

TEST(RunReportTest, TitleSaysWhenHowManyPairsAndTheSettings) {
    ConsoleData data = ThreePairs();
    EXPECT_EQ(RunTitle(data), "2026-12-09 01:46:39, 3 pairs, TCP window 2 MByte, 60 s");
    data.settings.protocol = Protocol::Udp;
    data.settings.throughputText = "250";
    data.settings.durationText = "3600";
    data.table.RemoveAllPairs();
    data.table.AppendPair(PairRecord{});
    data.measuredAt.clear();
    EXPECT_EQ(RunTitle(data), "Not measured, 1 pair, UDP 250 Mbit/s, 3600 s");
}

TEST(RunReportTest, EscapingAndBase64) {
    EXPECT_EQ(HtmlEscape(kHostileName),
              "&lt;script&gt;alert(&#39;x&#39;)&lt;/script&gt; &amp; &quot;co&quot;");
    EXPECT_EQ(HtmlEscape("plain \xEC\x84\x9C"), "plain \xEC\x84\x9C");
    EXPECT_EQ(Base64(""), "");
    EXPECT_EQ(Base64("f"), "Zg==");
    EXPECT_EQ(Base64("fo"), "Zm8=");
    EXPECT_EQ(Base64("foo"), "Zm9v");
    EXPECT_EQ(Base64("foobar"), "Zm9vYmFy");
    EXPECT_EQ(Base64(std::string("\xff\xfe\x00", 3)), "//4A");
}

// Python's own HTML parser reads the report: tags balance, nothing runs or loads from
// outside, every pair and name is there as text, and the image decodes to the bytes given.
TEST(RunReportTest, PythonParsesTheReportWithEveryPairAndTheEmbeddedChart) {
    test_support::TempDir dir;
    std::string png = "\x89PNG\r\n\x1a\n";
    for (int byte = 0; byte < 256; ++byte)
        png += static_cast<char>(byte);
    std::ofstream(dir.File("chart.bin"), std::ios::binary) << png;
    std::ofstream(dir.File("report.html"), std::ios::binary)
        << BuildRunReport(ThreePairs(), png, "2026-12-09 02:00:00");

    const std::string script = R"(import sys, os, base64
from html.parser import HTMLParser
VOID = {'meta', 'img', 'br', 'hr', 'link', 'input'}
class Report(HTMLParser):
    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.stack, self.errors, self.cells, self.imgs, self.tags = [], [], [], [], set()
        self.cell = None
        self.rows = 0
    def handle_starttag(self, tag, attrs):
        self.tags.add(tag)
        for name, value in attrs:
            assert name != 'href' and not name.startswith('on'), (name, value)
        if tag == 'img':
            self.imgs.append(dict(attrs))
        if tag in VOID:
            return
        self.stack.append(tag)
        if tag in ('td', 'th'):
            self.cell = ''
        if tag == 'tr' and self.stack[-2:-1] == ['tbody']:
            self.rows += 1
    def handle_endtag(self, tag):
        if not self.stack or self.stack[-1] != tag:
            self.errors.append(tag)
            return
        self.stack.pop()
        if tag in ('td', 'th'):
            self.cells.append(self.cell)
            self.cell = None
    def handle_data(self, data):
        if self.cell is not None:
            self.cell += data
report = Report()
report.feed(open(sys.argv[1], encoding='utf-8').read())
report.close()
assert not report.errors and not report.stack, (report.errors, report.stack)
assert 'script' not in report.tags and 'link' not in report.tags
assert report.rows == 3, report.rows
for text in ['Pair1', 'Pair2', 'Pair3', '198.18.0.1', '198.18.1.3', '200.25', '1.50', '60',
             'Average (Mbit/s)', 'Loss (%)', "<script>alert('x')</script> & \"co\"",
             '\uc11c\ubc84']:
    assert text in report.cells, text
assert len(report.imgs) == 1
src = report.imgs[0]['src']
assert src.startswith('data:image/png;base64,'), src[:40]
want = open(os.path.join(os.path.dirname(sys.argv[1]), 'chart.bin'), 'rb').read()
assert base64.b64decode(src.split(',', 1)[1], validate=True) == want
)";
    EXPECT_EQ(test::RunPythonCheck(dir.Path(), script, dir.File("report.html")), 0);
}

TEST(RunReportTest, WithoutAChartTheReportSaysSoAndHasNoImage) {
    const std::string html = BuildRunReport(ThreePairs(), "", "2026-12-09 02:00:00");
    EXPECT_EQ(html.find("<img"), std::string::npos);
    EXPECT_NE(html.find("No chart"), std::string::npos);
    EXPECT_EQ(html.find(kHostileName), std::string::npos);
}

TEST(RunReportTest, TrafficOptionsHaveTheirOwnSectionOnlyWhenAPairCarriesThem) {
    ConsoleData data = ThreePairs();
    EXPECT_EQ(BuildRunReport(data, "", "now").find("Traffic options"), std::string::npos);
    data.table[2].config.traffic = {46, 200, std::nullopt};
    data.table[3].config.traffic.mss = 1000;
    const std::string html = BuildRunReport(data, "", "now");
    EXPECT_NE(html.find("<h2>Traffic options</h2>"), std::string::npos);
    EXPECT_NE(html.find("<tr><td>Pair2</td><td>EF</td><td>184</td><td>200</td><td>-</td></tr>"),
              std::string::npos)
        << html;
    EXPECT_NE(html.find("<tr><td>Pair3</td><td>-</td><td>-</td><td>-</td><td>1000</td></tr>"),
              std::string::npos);
    const std::size_t section = html.find("<h2>Traffic options</h2>");
    EXPECT_EQ(html.find("<td>Pair1</td>", section), std::string::npos);
}

// Each measure in its own titled figure, in the order given; one without a picture says why.
TEST(RunReportTest, EachChartHasItsTitledFigure) {
    const std::vector<ReportChart> charts = {{"Throughput", "\x89PNG-1", ""},
                                             {"Latency", "\x89PNG-2", ""},
                                             {"Loss", "", "TCP runs measure no loss."}};
    const std::string html = BuildRunReport(ThreePairs(), charts, "2026-12-09 02:00:00", "");
    const std::size_t throughput = html.find("<h3>Throughput</h3>\n<img alt=\"Throughput chart\"");
    const std::size_t latency = html.find("<h3>Latency</h3>\n<img alt=\"Latency chart\"");
    const std::size_t loss = html.find("<h3>Loss</h3>\n<p>TCP runs measure no loss.</p>");
    ASSERT_NE(throughput, std::string::npos) << html;
    ASSERT_NE(latency, std::string::npos);
    ASSERT_NE(loss, std::string::npos);
    EXPECT_LT(throughput, latency);
    EXPECT_LT(latency, loss);
    EXPECT_NE(html.find("base64," + Base64("\x89PNG-2") + "\""), std::string::npos);
    // A printed page never cuts a chart in two.
    EXPECT_NE(html.find("figure{break-inside:avoid}"), std::string::npos);
}

}  // namespace
}  // namespace quarn::console::records
