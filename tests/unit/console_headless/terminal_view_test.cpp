#include "console/headless/terminal_view.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace quarn::console {
namespace {

// Everything written to a temporary file so far.
std::string Written(std::FILE* file) {
    std::fflush(file);
    std::rewind(file);
    std::string text;
    char buffer[256];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        text.append(buffer, n);
    }
    return text;
}

struct Output {
    Output() : file(std::tmpfile()) {}
    ~Output() { std::fclose(file); }
    std::FILE* file;
};

TEST(TerminalViewTest, TerminalProgressIsOneLineRewrittenInPlace) {
    ConsoleData data;
    Output out;
    TerminalView view(data, out.file, true);
    data.table.All().figures.currentText = "1234.50";
    view.TickProcessed(1, std::chrono::seconds(3725));
    data.table.All().figures.currentText = "9.00";
    view.TickProcessed(2, std::chrono::seconds(3725));
    // A notice starts on a line of its own.
    view.ShowNotice(NoticeKind::Completed, "The current measurement is completed.");
    EXPECT_EQ(Written(out.file),
              "\rtick 1 of 3725, total 1234.50 Mbit/s, 1:02:04 left\033[K"
              "\rtick 2 of 3725, total 9.00 Mbit/s, 1:02:03 left\033[K"
              "\nThe current measurement is completed.\n");
}

TEST(TerminalViewTest, PipeGetsOneLinePerTickAsBefore) {
    ConsoleData data;
    Output out;
    TerminalView view(data, out.file);  // a file is no terminal
    int csvTicks = 0;
    view.onTick = [&](int) { ++csvTicks; };
    data.table.All().figures.currentText = "940.23";
    view.TickProcessed(1, std::chrono::seconds(10));
    view.TickProcessed(2, std::chrono::seconds(10));
    view.ShowNotice(NoticeKind::Message, "The current measurement is stopped.");
    EXPECT_EQ(Written(out.file),
              "tick 1 of 10, total 940.23 Mbit/s\ntick 2 of 10, total 940.23 Mbit/s\n"
              "The current measurement is stopped.\n");
    EXPECT_EQ(csvTicks, 2);
}

TEST(TerminalViewTest, TimeLeftFormat) {
    EXPECT_EQ(FormatTimeLeft(0), "0:00:00");
    EXPECT_EQ(FormatTimeLeft(59), "0:00:59");
    EXPECT_EQ(FormatTimeLeft(3600), "1:00:00");
    EXPECT_EQ(FormatTimeLeft(259200), "72:00:00");
    EXPECT_EQ(FormatTimeLeft(-4), "0:00:00");
}

// The visible width of a table line: the dash of a missing figure is one column.
std::size_t Columns(const std::string& line) {
    std::size_t columns = 0;
    for (const char c : line) {
        columns += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
    }
    return columns;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        lines.push_back(text.substr(start, end - start));
    }
    return lines;
}

ConsoleData TwoPairs(bool udp) {
    ConsoleData data;
    data.settings.protocol = udp ? Protocol::Udp : Protocol::Tcp;
    for (int i = 0; i < 2; ++i) {
        PairRecord pair;
        pair.config.endpoint1 = "198.18.0.11";
        pair.config.endpoint2 = "198.18.0.1" + std::to_string(2 + i);
        pair.figures.statusText = "Done";
        data.table.AppendPair(pair);
    }
    PairQuality& first = data.table[1].figures.quality;
    first.lossPercent = 66.6667;
    first.jitterAverageMs = 0.0456;
    first.rttIdleMs = 0.25;
    first.rttLoadedMedianMs = 31.5;
    data.table[2].figures.quality.lossPercent = 0.0;  // End Point 2 never answered a probe
    data.table.All().figures.quality.lossPercent = 33.3333;
    return data;
}

TEST(PairTableTextTest, UdpTableShowsLossJitterAndRttWithDashesForMissingFigures) {
    const std::vector<std::string> lines = Lines(FormatPairTable(TwoPairs(true)));
    ASSERT_EQ(lines.size(), 4u);
    const std::string& header = lines[0];
    const std::size_t maximum = header.find("Maximum");
    ASSERT_NE(maximum, std::string::npos);
    EXPECT_LT(maximum, header.find("Loss%"));
    EXPECT_LT(header.find("Loss%"), header.find("Jitter ms"));
    EXPECT_LT(header.find("Jitter ms"), header.find("RTT idle"));
    EXPECT_LT(header.find("RTT idle"), header.find("RTT load"));
    EXPECT_NE(lines[1].find("0.00      66.67       0.05       0.25      31.50"), std::string::npos)
        << lines[1];
    EXPECT_NE(lines[2].find("0.00       0.00          \u2013          \u2013          \u2013"),
              std::string::npos)
        << lines[2];
    // The All row: the run's loss, nothing else.
    EXPECT_NE(lines[3].find("0.00      33.33" + std::string(33, ' ')), std::string::npos)
        << lines[3];
    for (const std::string& line : lines) {
        EXPECT_EQ(Columns(line), Columns(lines[1]) + (line == header ? 14 : 0)) << line;
    }
}

TEST(PairTableTextTest, TcpTableHasOnlyTheRttColumns) {
    const std::string text = FormatPairTable(TwoPairs(false));
    EXPECT_EQ(text.find("Loss%"), std::string::npos);
    EXPECT_EQ(text.find("Jitter"), std::string::npos);
    const std::vector<std::string> lines = Lines(text);
    EXPECT_NE(lines[0].find("Maximum   RTT idle   RTT load  (Mbit/s, ms)"), std::string::npos)
        << lines[0];
    EXPECT_NE(lines[1].find("0.00       0.25      31.50"), std::string::npos) << lines[1];
    // Only the RTT columns, both empty in the All row.
    EXPECT_EQ(Columns(lines[3]), Columns(lines[1]));
    EXPECT_EQ(lines[3].find_last_not_of(' ') + 1, lines[3].rfind("0.00") + 4) << lines[3];
}

// Each pair's traffic options follow the table on a line of their own; the rows keep their
// columns, and a pair without options has no such line.
TEST(PairTableTextTest, TrafficOptionsFollowTheTable) {
    ConsoleData data = TwoPairs(false);
    data.table[2].config.traffic = {46, std::nullopt, 1000};
    const std::vector<std::string> lines = Lines(FormatPairTable(data));
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(Columns(lines[2]), Columns(lines[1]));
    EXPECT_EQ(lines[4], data.table[2].name + " traffic: DSCP EF, MSS 1000 bytes");
    EXPECT_EQ(FormatPairTable(TwoPairs(false)).find("traffic:"), std::string::npos);
}

// The cause of each failed pair follows the table, the pair named on its first line.
TEST(PairTableTextTest, FailedPairsCausesFollowTheTable) {
    ConsoleData data = TwoPairs(false);
    PairFailure failure;
    failure.kind = FailureKind::IperfError;
    failure.side = FailureSide::EndPoint2;
    failure.address = "198.18.0.13";
    failure.detail = "bind failed: Address already in use";
    data.table[2].run.failure = failure;
    data.table[2].figures.state = PairState::Error;
    data.table[2].figures.statusText = "Error";
    // A cause left over on a pair that shows no error is not printed.
    data.table[1].run.failure = failure;

    const std::vector<std::string> lines = Lines(FormatPairTable(data));
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[4].rfind("Pair2: Error at ", 0), 0u) << lines[4];
    EXPECT_NE(lines[4].find("End Point 2 198.18.0.13's iperf reported an error."),
              std::string::npos)
        << lines[4];
    EXPECT_EQ(lines[5], "       iperf: bind failed: Address already in use");
    EXPECT_EQ(FormatFailureCauses(TwoPairs(false)), "");
}

// Names and reply texts come from the network: an escape sequence in them reaches the
// terminal only as visible text.
TEST(TerminalTextTest, NetworkTextReachesTheTerminalEscaped) {
    EXPECT_EQ(TerminalSafe("Bench\x1b]2;owned\x07 \x1b[2J"), "Bench\\x1B]2;owned\\x07 \\x1B[2J");
    EXPECT_EQ(TerminalSafe("a\tb\r\nc\x7f"), "a\\x09b\\x0D\\x0Ac\\x7F");
    EXPECT_EQ(TerminalSafe("a\r\nb", true), "a\\x0D\nb");
    // C1 controls in UTF-8 (CSI is U+009B); other text, Korean included, stays as it is.
    EXPECT_EQ(TerminalSafe("x\xC2\x9B"
                           "31m \xC2\xA0\xEC\x8B\x9C"),
              "x\\x9B31m \xC2\xA0\xEC\x8B\x9C");

    ConsoleData data = TwoPairs(false);
    EndPointEntry entry;
    entry.address = "198.18.0.12";
    entry.name = "Lab\x1b[31m";
    data.endPoints.push_back(entry);
    data.nameLookup["198.18.0.12"] = "Lab\x1b[31m";
    data.table[1].config.showAddress = false;
    data.table[1].name = "P\x1b[0m";
    PairFailure failure;
    failure.kind = FailureKind::IperfError;
    failure.side = FailureSide::EndPoint2;
    failure.address = "198.18.0.12";
    failure.detail = "bad\x1b[2Jline";
    data.table[1].run.failure = failure;
    data.table[1].figures.state = PairState::Error;
    const std::string text = FormatPairTable(data) + FormatEndPointList(data);
    EXPECT_EQ(text.find('\x1b'), std::string::npos) << text;
    EXPECT_NE(text.find("Lab\\x1B[31m"), std::string::npos) << text;
    EXPECT_NE(text.find("P\\x1B[0m"), std::string::npos) << text;
    EXPECT_NE(text.find("bad\\x1B[2Jline"), std::string::npos) << text;

    Output out;
    TerminalView view(data, out.file, false);
    view.ShowNotice(NoticeKind::Message, "Cannot run:\n\x1b[2Jreply");
    EXPECT_EQ(Written(out.file), "Cannot run:\n\\x1B[2Jreply\n");
}

}  // namespace
}  // namespace quarn::console
