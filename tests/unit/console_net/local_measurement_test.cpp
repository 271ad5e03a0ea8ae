#include "console/net/local_measurement.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <future>
#include <stop_token>
#include <thread>

#include "protocol/messages.h"
#include "tests/support/fake_iperf.h"
#include "tests/unit/console_net/loopback_peer.h"
#include "tests/unit/console_net/recording_sink.h"

namespace quarn::console {
namespace {

using std::chrono::milliseconds;
using testing::AwaitPeerClose;
using testing::LoopbackPeer;
using testing::ReadRequestLine;
using testing::RecordingSink;

using test_support::PrivateFakeIperf;

// The iperf client: prints iperf's separator line, then runs for `seconds`.
std::string ClientScript(int seconds) {
    return "client *: print ------------------------------------------------------------; sleep " +
           std::to_string(seconds * 1000);
}

PairJob LocalJob(const std::string& iperfPath) {
    PairJob job;
    job.index = 2;
    job.remote = false;
    job.endpoint1 = "198.18.0.1";
    job.endpoint2 = "127.0.0.1";
    job.time = "310";
    job.rateText = "5.000000m";
    job.parallel = 2;
    job.iperfPath = iperfPath;
    return job;
}

ControlClientSettings SettingsFor(const LoopbackPeer& peer) {
    ControlClientSettings settings;
    settings.controlPort = peer.Port();
    settings.connectTimeoutMs = 2000;
    settings.serverReplyTimeoutMs = 2000;
    return settings;
}

bool ProcessGone(pid_t pid) {
    return kill(pid, 0) != 0;
}

// End Point 2 granting a server on `port`, then streaming `lines` and closing.
LoopbackPeer::Script ServerThatStreams(std::string* request, std::string reply,
                                       std::vector<std::string> lines) {
    return [=](const platform::Socket& connection) {
        *request = ReadRequestLine(connection);
        platform::SendAll(connection, reply);
        for (const std::string& line : lines) {
            std::this_thread::sleep_for(milliseconds(20));
            platform::SendAll(connection, line);
        }
    };
}

TEST(LocalMeasurement, RunsTheClientAgainstTheGrantedServerAndDeliversItsStream) {
    PrivateFakeIperf iperf(ClientScript(0));
    std::string request;
    LoopbackPeer peer(ServerThatStreams(&request, "ok;5123\r\n",
                                        {"Server listening on TCP port 5123\r\n[  1] 0.0",
                                         "000-1.0000 sec  10 MBytes  84 Mbits/sec\r\n"}));
    RecordingSink sink;
    std::stop_source stop;
    EXPECT_EQ(
        LocalMeasurement(LocalJob(iperf.Path()), SettingsFor(peer)).Run(sink, stop.get_token()),
        MeasurementEnd::Ended);
    peer.Join();

    EXPECT_EQ(request, "server_config -s -f m -i 1 -w 5.000000m\r\n");
    EXPECT_EQ(iperf.Arguments(),
              (std::vector<std::string>{"-c", "127.0.0.1", "-i", "1", "-t", "310", "-w",
                                        "5.000000m", "-P", "2", "-f", "m", "-p", "5123"}));
    EXPECT_EQ(iperf.OwnerMarker(), "console:" + std::to_string(getpid()));
    EXPECT_EQ(sink.Lines(),
              (std::vector<std::string>{"Server listening on TCP port 5123\r",
                                        "[  1] 0.0000-1.0000 sec  10 MBytes  84 Mbits/sec\r"}));
    EXPECT_EQ(sink.Indexes(), (std::vector<int>{2, 2}));
    EXPECT_EQ(sink.StreamEnds(), std::vector<int>{2});
}

TEST(LocalMeasurement, UdpPairAsksForTheUdpServer) {
    PrivateFakeIperf iperf(ClientScript(0));
    std::string request;
    LoopbackPeer peer(ServerThatStreams(&request, "ok;5001\r\n", {}));
    PairJob job = LocalJob(iperf.Path());
    job.udp = true;
    job.rateText = "100.000000m";
    RecordingSink sink;
    std::stop_source stop;
    EXPECT_EQ(LocalMeasurement(job, SettingsFor(peer)).Run(sink, stop.get_token()),
              MeasurementEnd::Ended);
    peer.Join();
    EXPECT_EQ(request, protocol::kServerRequestUdp);
    EXPECT_EQ(iperf.Arguments(),
              (std::vector<std::string>{"-c", "127.0.0.1", "-i", "1", "-t", "310", "-u", "-b",
                                        "100.000000m", "-f", "m", "-p", "5001"}));
}

TEST(LocalMeasurement, RefusedServerFailsWithoutStartingTheClient) {
    for (const char* reply : {"", "ok;0\r\n", "error\r\n"}) {
        PrivateFakeIperf iperf(ClientScript(0));
        std::string request;
        LoopbackPeer peer(ServerThatStreams(&request, reply, {}));
        RecordingSink sink;
        std::stop_source stop;
        LocalMeasurement session(LocalJob(iperf.Path()), SettingsFor(peer));
        EXPECT_EQ(session.Run(sink, stop.get_token()), MeasurementEnd::Failed) << reply;
        ASSERT_TRUE(session.Failure().has_value()) << reply;
        EXPECT_EQ(session.Failure()->kind, FailureKind::ServerNotStarted) << reply;
        EXPECT_EQ(session.Failure()->side, FailureSide::EndPoint2) << reply;
        // The refusing reply is quoted; a bare close has nothing to quote.
        EXPECT_EQ(session.Failure()->detail.empty(), *reply == '\0') << reply;
        EXPECT_FALSE(iperf.Started()) << reply;
        EXPECT_TRUE(sink.StreamEnds().empty()) << reply;
    }
}

TEST(LocalMeasurement, MissingIperfStillReadsEndPoint2sStream) {
    std::string request;
    LoopbackPeer peer(ServerThatStreams(&request, "ok;5001\r\n", {"Server listening\n"}));
    RecordingSink sink;
    std::stop_source stop;
    LocalMeasurement session(LocalJob("/nonexistent/quarn/iperf"), SettingsFor(peer));
    EXPECT_EQ(session.Run(sink, stop.get_token()), MeasurementEnd::Ended);
    EXPECT_EQ(sink.Lines(), std::vector<std::string>{"Server listening"});
    EXPECT_EQ(sink.StreamEnds(), std::vector<int>{2});
    ASSERT_TRUE(session.Failure().has_value());
    EXPECT_EQ(session.Failure()->kind, FailureKind::NotStarted);
    EXPECT_EQ(session.Failure()->side, FailureSide::Console);
    EXPECT_NE(session.Failure()->detail.find("/nonexistent/quarn/iperf"), std::string::npos);
}

// The local client's own complaint is the cause; its other output stays unused.
TEST(LocalMeasurement, ClientErrorLineIsKeptAsTheCause) {
    PrivateFakeIperf iperf(
        "client *: print Client connecting to 127.0.0.1; eprint connect failed: Connection "
        "refused; print done");
    std::string request;
    LoopbackPeer peer(ServerThatStreams(&request, "ok;5001\r\n", {"Server listening\n"}));
    RecordingSink sink;
    std::stop_source stop;
    LocalMeasurement session(LocalJob(iperf.Path()), SettingsFor(peer));
    EXPECT_EQ(session.Run(sink, stop.get_token()), MeasurementEnd::Ended);
    ASSERT_TRUE(session.Failure().has_value());
    EXPECT_EQ(session.Failure()->kind, FailureKind::IperfError);
    EXPECT_EQ(session.Failure()->detail, "connect failed: Connection refused");
    EXPECT_EQ(sink.Lines(), std::vector<std::string>{"Server listening"});
}

TEST(LocalMeasurement, UnansweredServerRequestNamesEndPoint2AndTheLimit) {
    LoopbackPeer peer([](const platform::Socket& connection) {
        ReadRequestLine(connection);
        AwaitPeerClose(connection);
    });
    ControlClientSettings settings = SettingsFor(peer);
    settings.serverReplyTimeoutMs = 300;
    RecordingSink sink;
    std::stop_source stop;
    LocalMeasurement session(LocalJob("/nonexistent/quarn/iperf"), settings);
    EXPECT_EQ(session.Run(sink, stop.get_token()), MeasurementEnd::Failed);
    ASSERT_TRUE(session.Failure().has_value());
    EXPECT_EQ(session.Failure()->kind, FailureKind::NoReply);
    EXPECT_EQ(session.Failure()->address, "127.0.0.1");
    EXPECT_EQ(session.Failure()->seconds, 1);
}

// A running pair ends promptly, its client killed and the connection to End Point 2
// closed, whichever way the end is asked for.
TEST(LocalMeasurement, StopOrAbortEndsTheClientAndTheReceiver) {
    for (bool viaAbort : {false, true}) {
        PrivateFakeIperf iperf(ClientScript(30));
        bool peerSawClose = false;
        LoopbackPeer peer([&](const platform::Socket& connection) {
            ReadRequestLine(connection);
            platform::SendAll(connection, "ok;5001\r\n");
            peerSawClose = AwaitPeerClose(connection);
        });
        LocalMeasurement session(LocalJob(iperf.Path()), SettingsFor(peer));
        RecordingSink sink;
        std::stop_source stop;
        std::future<MeasurementEnd> result =
            std::async(std::launch::async, [&] { return session.Run(sink, stop.get_token()); });
        ASSERT_TRUE(iperf.AwaitStart(std::chrono::seconds(5)));

        const auto ended = std::chrono::steady_clock::now();
        if (viaAbort) {
            session.Abort();
        } else {
            stop.request_stop();
        }
        ASSERT_EQ(result.wait_for(std::chrono::seconds(3)), std::future_status::ready);
        EXPECT_LT(std::chrono::steady_clock::now() - ended, milliseconds(1000));
        EXPECT_EQ(result.get(), MeasurementEnd::Ended);
        EXPECT_TRUE(ProcessGone(*iperf.Pid())) << viaAbort;
        peer.Join();
        EXPECT_TRUE(peerSawClose) << viaAbort;
        EXPECT_EQ(sink.StreamEnds(), std::vector<int>{2}) << viaAbort;
    }
}

TEST(LocalMeasurement, SilentClientIsEndedAndTheStreamWaitIsBounded) {
    PrivateFakeIperf iperf(ClientScript(30));
    LoopbackPeer peer([](const platform::Socket& connection) {
        ReadRequestLine(connection);
        platform::SendAll(connection, "ok;5001\r\n");
        AwaitPeerClose(connection);  // End Point 2 keeps its connection open
    });
    ControlClientSettings settings = SettingsFor(peer);
    settings.idlePollLimit = 5;
    settings.streamDrainMs = 300;
    RecordingSink sink;
    std::stop_source stop;
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(LocalMeasurement(LocalJob(iperf.Path()), settings).Run(sink, stop.get_token()),
              MeasurementEnd::Ended);
    EXPECT_LT(std::chrono::steady_clock::now() - started, milliseconds(3000));
    ASSERT_TRUE(iperf.Pid().has_value());
    EXPECT_TRUE(ProcessGone(*iperf.Pid()));
    EXPECT_EQ(sink.StreamEnds(), std::vector<int>{2});
}

}  // namespace
}  // namespace quarn::console
