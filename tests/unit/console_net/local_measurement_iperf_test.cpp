// Runs the real iperf on loopback: this Console's client against a server started by an
// in-test End Point 2.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <stop_token>
#include <string>

#include "console/net/local_measurement.h"
#include "platform/child_process.h"
#include "protocol/command_validation.h"
#include "protocol/request_framer.h"
#include "tests/unit/console_net/loopback_peer.h"
#include "tests/unit/console_net/recording_sink.h"

namespace quarn::console {
namespace {

using namespace std::chrono_literals;
using testing::LoopbackPeer;
using testing::ReadRequestLine;
using testing::RecordingSink;

constexpr const char* kIperf = "/usr/bin/iperf";

uint16_t FreeLoopbackPort() {
    platform::Socket probe = platform::TcpListen(testing::kLoopback, 0, 1);
    return platform::LocalPort(probe);
}

// Starts an iperf server for the request, as End Point 2 does, but bound to loopback, and
// forwards its output until `sessionDone`.
void ServeLikeEndPoint2(const platform::Socket& connection, uint16_t dataPort,
                        const std::atomic<bool>& sessionDone) {
    std::string request = ReadRequestLine(connection);
    std::optional<std::vector<std::string>> options = protocol::ValidateServerOptions(
        protocol::RequestFramer::ServerOptions(request.substr(0, request.find("\r\n"))));
    if (!options) {
        return;
    }
    std::vector<std::string> argv = {kIperf};
    argv.insert(argv.end(), options->begin(), options->end());
    argv.insert(argv.end(), {"-B", "127.0.0.1", "-p", std::to_string(dataPort)});
    platform::ChildProcess server;
    if (!server.Start(argv)) {
        return;
    }
    std::string banner;
    std::array<char, 511> buffer{};
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (banner.find("listening") == std::string::npos &&
           std::chrono::steady_clock::now() < deadline) {
        server.WaitForOutputOrExit(100);
        long got = server.ReadAvailable(buffer.data(), buffer.size());
        if (got > 0) {
            banner.append(buffer.data(), static_cast<size_t>(got));
        }
    }
    // The banner read so far stays here, as on a real End Point.
    if (!platform::SendAll(connection, "ok;" + std::to_string(dataPort) + "\r\n")) {
        return;
    }
    const auto streamDeadline = std::chrono::steady_clock::now() + 20s;
    while (!sessionDone && std::chrono::steady_clock::now() < streamDeadline) {
        server.WaitForOutputOrExit(100);
        long got = server.ReadAvailable(buffer.data(), buffer.size());
        if (got > 0 && !platform::SendAll(connection, std::string_view(buffer.data(), got))) {
            break;
        }
    }
}

size_t CountContaining(const std::vector<std::string>& lines, std::string_view text) {
    return static_cast<size_t>(std::count_if(lines.begin(), lines.end(), [&](const std::string& l) {
        return l.find(text) != std::string::npos;
    }));
}

TEST(LocalMeasurementWithIperf, MeasuresOnLoopbackAndDeliversTheServerReport) {
    if (access(kIperf, X_OK) != 0) {
        GTEST_SKIP() << kIperf << " is not installed";
    }
    for (bool udp : {false, true}) {
        const uint16_t dataPort = FreeLoopbackPort();
        std::atomic<bool> sessionDone{false};
        LoopbackPeer peer([&](const platform::Socket& connection) {
            ServeLikeEndPoint2(connection, dataPort, sessionDone);
        });
        PairJob job;
        job.index = 1;
        job.remote = false;
        job.endpoint2 = "127.0.0.1";
        job.time = "3";
        job.udp = udp;
        job.rateText = udp ? "10.000000m" : "1.000000m";
        job.iperfPath = kIperf;
        ControlClientSettings settings;
        settings.controlPort = peer.Port();
        settings.streamDrainMs = 1500;

        RecordingSink sink;
        std::stop_source stop;
        EXPECT_EQ(LocalMeasurement(job, settings).Run(sink, stop.get_token()),
                  MeasurementEnd::Ended);
        sessionDone = true;
        peer.Join();

        const std::vector<std::string> lines = sink.Lines();
        std::string received;
        for (const std::string& line : lines) {
            received += line + "\n";
        }
        EXPECT_GE(CountContaining(lines, "Mbits/sec"), 3u) << "udp " << udp << ":\n" << received;
        EXPECT_EQ(sink.StreamEnds(), std::vector<int>{1});
    }
}

}  // namespace
}  // namespace quarn::console
