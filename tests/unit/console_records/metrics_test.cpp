#include <netinet/in.h>
#include <sys/socket.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

#include "console/records/metrics_server.h"
#include "console/records/metrics_text.h"
#include "platform/socket.h"
#include "platform/socket6.h"
#include "tests/support/temp_dir.h"
#include "tests/unit/console_records/fed_run.h"

namespace quarn::console::records {
namespace {

const IpAddress kLoopback = IpAddress::V4(0x7F000001);

TEST(MetricsTextTest, PairsCarryTheirLabelsEscapedAndQualityOnlyWhenKnown) {
    RunMetrics metrics;
    metrics.state = "measuring";
    metrics.secondsProcessed = 12;
    PairMetrics pair;
    pair.pair = 3;
    pair.endpoint1 = "198.18.0.11";
    pair.endpoint2 = "198.18.0.12";
    pair.names = "Lab \"A\"\\x\nB -> 198.18.0.12";
    pair.mbitPerS = 941.5;
    pair.secondsCounted = 12;
    pair.linesDropped = 2;
    metrics.pairs.push_back(pair);
    std::string page = RenderMetrics(metrics);
    const std::string labels =
        R"({pair="3",endpoint1="198.18.0.11",endpoint2="198.18.0.12",names="Lab \"A\"\\x\nB -> 198.18.0.12"})";
    EXPECT_NE(page.find("quarn_pair_throughput_bytes_per_second" + labels + " 117687500\n"),
              std::string::npos)
        << page;
    EXPECT_NE(page.find("quarn_pair_seconds_counted_total" + labels + " 12\n"), std::string::npos);
    EXPECT_NE(page.find("quarn_pair_lines_dropped_total" + labels + " 2\n"), std::string::npos);
    EXPECT_NE(page.find("# TYPE quarn_pair_seconds_counted_total counter\n"), std::string::npos);
    EXPECT_NE(page.find("quarn_run_state{state=\"measuring\"} 1\n"), std::string::npos);
    EXPECT_NE(page.find("quarn_run_state{state=\"idle\"} 0\n"), std::string::npos);
    EXPECT_EQ(page.find("quarn_pair_jitter_seconds"), std::string::npos);

    metrics.pairs[0].jitterMs = 0.25;
    page = RenderMetrics(metrics);
    EXPECT_NE(page.find("quarn_pair_jitter_seconds" + labels + " 0.00025\n"), std::string::npos);
    EXPECT_EQ(page.find("quarn_pair_loss_ratio"), std::string::npos);
}

// A pair's traffic options are labels of its series; a pair without them keeps exactly the
// labels older dashboards select on.
TEST(MetricsTextTest, TrafficOptionsLabelOnlyThePairsThatHaveThem) {
    test::FedRun run(2, 4);
    run.data.table[1].config.traffic = {46, 200, std::nullopt};
    run.data.table[2].config.traffic.mss = 1000;
    MetricsCollector collector;
    run.Begin(10);
    collector.BeginRun(run.data);
    run.Feed(2);
    RunMetrics metrics = collector.Collect(run.data, true);
    ASSERT_EQ(metrics.pairs.size(), 2u);
    const std::string marked = RenderMetrics(metrics);
    EXPECT_NE(marked.find("names=\"198.18.1.1 -> 198.18.2.1\",dscp=\"EF\",length=\"200\"}"),
              std::string::npos)
        << marked;
    EXPECT_NE(marked.find(",mss=\"1000\"}"), std::string::npos) << marked;
    metrics.pairs[0].traffic = {};
    metrics.pairs[1].traffic = {};
    const std::string plain = RenderMetrics(metrics);
    EXPECT_EQ(plain.find("dscp="), std::string::npos);
    EXPECT_EQ(plain.find("mss="), std::string::npos);
    EXPECT_NE(plain.find("names=\"198.18.1.1 -> 198.18.2.1\"}"), std::string::npos) << plain;
}

TEST(MetricsTextTest, PromtoolAcceptsThePage) {
    if (std::system("command -v promtool >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "promtool (Debian package prometheus) is not installed";
    test::FedRun run(2, 4);
    run.data.nameLookup["198.18.1.1"] = "PC \"one\"";
    MetricsCollector collector;
    run.Begin(10);
    collector.BeginRun(run.data);
    run.Feed(3);
    run.data.table[1].figures.current = 12.5f;  // with quality figures too
    RunMetrics metrics = collector.Collect(run.data, true);
    metrics.pairs[0].lossPercent = 1.5;
    metrics.pairs[0].jitterMs = 0.3;
    metrics.pairs[0].rttMs = 0.2;
    metrics.pairs[1].traffic = {46, 200, 1000};  // labels of their own on one pair
    test_support::TempDir dir;
    std::ofstream(dir.File("page.txt")) << RenderMetrics(metrics);
    const std::string command =
        "promtool check metrics < " + dir.File("page.txt") + " >" + dir.File("out.txt") + " 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0) << std::ifstream(dir.File("out.txt")).rdbuf();
}

TEST(MetricsCollectorTest, CountsSecondsAndTheReportsThatEnteredNoSecond) {
    test::FedRun run(2, 4);
    MetricsCollector collector;
    run.Begin(10);
    collector.BeginRun(run.data);
    run.Feed(5);
    RunMetrics metrics = collector.Collect(run.data, true);
    ASSERT_EQ(metrics.pairs.size(), 2u);
    EXPECT_EQ(metrics.secondsProcessed, 5);
    for (const PairMetrics& pair : metrics.pairs) {
        EXPECT_EQ(pair.secondsCounted, 5);
        // The [SUM] reports of the two warm-up seconds; stream reports are not samples.
        EXPECT_EQ(pair.linesDropped, 2);
        EXPECT_EQ(pair.names, pair.endpoint1 + " -> " + pair.endpoint2);
    }
    EXPECT_FLOAT_EQ(static_cast<float>(metrics.pairs[1].mbitPerS),
                    run.data.table[2].figures.current);
    EXPECT_FLOAT_EQ(static_cast<float>(metrics.totalMbitPerS), run.data.table.All().figures.sum);
    // Collecting again counts nothing twice.
    run.Feed(2);
    metrics = collector.Collect(run.data, false);
    EXPECT_EQ(metrics.pairs[0].linesDropped, 2);
    EXPECT_EQ(metrics.pairs[0].secondsCounted, 7);
    EXPECT_EQ(metrics.state, "idle");
}

TEST(MetricsHttpTest, AnswersOnlyWellFormedRequestsForTheMetricsPage) {
    const std::string page = "quarn_run_seconds_processed 4\n";
    const std::string ok = MetricsResponse("GET /metrics HTTP/1.1\r\nHost: x\r\n\r\n", page);
    EXPECT_EQ(ok.rfind("HTTP/1.1 200 OK\r\n", 0), 0u) << ok;
    EXPECT_NE(ok.find("Content-Type: text/plain; version=0.0.4"), std::string::npos);
    EXPECT_NE(ok.find("Content-Length: 30\r\n"), std::string::npos);
    EXPECT_EQ(ok.substr(ok.size() - page.size()), page);
    const std::string head = MetricsResponse("HEAD /metrics?x=1 HTTP/1.0\r\n\r\n", page);
    EXPECT_EQ(head.rfind("HTTP/1.1 200 OK\r\n", 0), 0u);
    EXPECT_EQ(head.find(page), std::string::npos);
    EXPECT_EQ(MetricsResponse("GET / HTTP/1.1\r\n\r\n", page).rfind("HTTP/1.1 404", 0), 0u);
    EXPECT_EQ(MetricsResponse("POST /metrics HTTP/1.1\r\n\r\n", page).rfind("HTTP/1.1 405", 0), 0u);
    for (const char* bad : {"", "GET\r\n\r\n", "GET /metrics\r\n\r\n", "GET /metrics SPDY/3\r\n"})
        EXPECT_EQ(MetricsResponse(bad, page).rfind("HTTP/1.1 400", 0), 0u) << bad;
}

TEST(MetricsHttpTest, ListensOnLoopbackUnlessAnAddressIsWrittenOut) {
    auto where = ParseListenAddress("9100");
    ASSERT_TRUE(where.Ok());
    EXPECT_EQ(where->address, kLoopback);
    EXPECT_EQ(where->port, 9100);
    EXPECT_EQ(ParseListenAddress(":9101")->address, kLoopback);
    where = ParseListenAddress("0.0.0.0:9102");
    ASSERT_TRUE(where.Ok());
    EXPECT_EQ(where->address, IpAddress::V4(0));
    where = ParseListenAddress("[::]:9103");
    ASSERT_TRUE(where.Ok());
    EXPECT_EQ(FormatIpAddress(where->address), "::");
    EXPECT_EQ(where->port, 9103);
    EXPECT_EQ(ParseListenAddress("[::ffff:10.0.0.1]:9104")->address, IpAddress::V4(0x0A000001));
    for (const char* bad : {"", "host:9100", "1.2.3:9100", "127.0.0.1:", "65536", "-1", "9100x",
                            "::1:9100", "[::1]", "[::1]:", "[10.0.0.1]:9100", "[::1]x:9100"}) {
        const Result<ListenAddress> refused = ParseListenAddress(bad);
        EXPECT_FALSE(refused.Ok()) << bad;
        EXPECT_NE(refused.Why(), "") << bad;
    }
}

std::string Exchange(std::uint16_t port, const std::string& request, bool shutdownWrite = true) {
    platform::Socket socket = platform::TcpConnect(kLoopback.V4Value(), port, 2000);
    EXPECT_TRUE(socket.Valid());
    ::send(socket.Fd(), request.data(), request.size(), MSG_NOSIGNAL);
    if (shutdownWrite)
        ::shutdown(socket.Fd(), SHUT_WR);
    std::string answer;
    char buffer[4096];
    for (ssize_t got; (got = ::recv(socket.Fd(), buffer, sizeof buffer, 0)) > 0;)
        answer.append(buffer, static_cast<std::size_t>(got));
    return answer;
}

TEST(MetricsServerTest, ServesTheLatestPageAndOutlivesBadClients) {
    MetricsServer server;
    ASSERT_TRUE(server.Start({kLoopback, 0}));
    ASSERT_NE(server.Port(), 0);
    server.Publish("first 1\n");
    EXPECT_NE(Exchange(server.Port(), "GET /metrics HTTP/1.1\r\n\r\n").find("first 1\n"),
              std::string::npos);
    server.Publish("second 2\n");
    EXPECT_NE(Exchange(server.Port(), "GET /metrics HTTP/1.1\r\n\r\n").find("second 2\n"),
              std::string::npos);

    const std::string huge = "GET /metrics HTTP/1.1\r\nX: " + std::string(20000, 'a');
    EXPECT_EQ(Exchange(server.Port(), huge).rfind("HTTP/1.1 431", 0), 0u);
    // A client that never finishes its request is answered when its time is up.
    EXPECT_EQ(Exchange(server.Port(), "GET /metr", false).rfind("HTTP/1.1 408", 0), 0u);
    EXPECT_NE(Exchange(server.Port(), "GET /metrics HTTP/1.1\r\n\r\n").find("second 2\n"),
              std::string::npos);
    server.Stop();
    EXPECT_FALSE(platform::TcpConnect(kLoopback.V4Value(), server.Port(), 500).Valid());
}

TEST(MetricsServerTest, ServesOverIpv6WhenItsAddressIsOne) {
    MetricsServer server;
    ASSERT_TRUE(server.Start(*ParseListenAddress("[::1]:0")));
    server.Publish("six 6\n");
    platform::Socket socket = platform::TcpConnect6(*ParseIpAddress("::1"), server.Port(), 2000);
    ASSERT_TRUE(socket.Valid());
    const std::string request = "GET /metrics HTTP/1.1\r\n\r\n";
    ASSERT_TRUE(platform::SendAll(socket, request));
    ::shutdown(socket.Fd(), SHUT_WR);
    std::string answer;
    char buffer[4096];
    for (ssize_t got; (got = ::recv(socket.Fd(), buffer, sizeof buffer, 0)) > 0;)
        answer.append(buffer, static_cast<std::size_t>(got));
    EXPECT_NE(answer.find("six 6\n"), std::string::npos) << answer;
}

TEST(MetricsServerTest, EveryAnswerIsOneWholePageWhilePagesChange) {
    MetricsServer server;
    ASSERT_TRUE(server.Start({kLoopback, 0}));
    server.Publish("page 0\n");
    std::atomic<bool> done{false};
    std::thread publisher([&] {
        for (int i = 1; !done; ++i)
            server.Publish("page " + std::to_string(i) + "\n" + std::string(i % 5000, '#') + "\n");
    });
    for (int fetch = 0; fetch < 20; ++fetch) {
        const std::string answer = Exchange(server.Port(), "GET /metrics HTTP/1.1\r\n\r\n");
        const std::size_t body = answer.find("\r\n\r\n");
        ASSERT_NE(body, std::string::npos) << answer;
        const std::string page = answer.substr(body + 4);
        const std::size_t length = answer.find("Content-Length: ");
        ASSERT_NE(length, std::string::npos);
        EXPECT_EQ(std::stoul(answer.substr(length + 16)), page.size());
        ASSERT_EQ(page.rfind("page ", 0), 0u) << page.substr(0, 40);
        const int number = std::stoi(page.substr(5));
        const std::string expected = number == 0 ? "page 0\n"
                                                 : "page " + std::to_string(number) + "\n" +
                                                       std::string(number % 5000, '#') + "\n";
        EXPECT_EQ(page, expected);
    }
    done = true;
    publisher.join();
}

TEST(MetricsServerTest, ReportsAnAddressItCannotBind) {
    MetricsServer first;
    ASSERT_TRUE(first.Start({kLoopback, 0}));
    MetricsServer second;
    EXPECT_FALSE(second.Start({kLoopback, first.Port()}));
}

TEST(MetricsServerTest, StopEndsTheWaitForAClientAtOnce) {
    MetricsServer server;
    ASSERT_TRUE(server.Start({kLoopback, 0}));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const auto start = std::chrono::steady_clock::now();
    server.Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - start, MetricsServer::kStopPoll);
}

}  // namespace
}  // namespace quarn::console::records
