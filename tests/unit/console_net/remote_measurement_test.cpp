#include "console/net/remote_measurement.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <stop_token>
#include <thread>

#include "tests/unit/console_net/loopback_peer.h"
#include "tests/unit/console_net/recording_sink.h"

namespace quarn::console {
namespace {

using std::chrono::milliseconds;
using testing::AwaitPeerClose;
using testing::LoopbackPeer;
using testing::ReadRequestLine;
using testing::RecordingSink;

PairJob RemoteJob() {
    PairJob job;
    job.index = 3;
    job.remote = true;
    job.endpoint1 = "127.0.0.1";
    job.endpoint2 = "198.18.0.2";
    job.time = "310";
    job.rateText = "5.000000m";
    job.parallel = 4;
    return job;
}

ControlClientSettings RemoteSettingsFor(const LoopbackPeer& peer) {
    ControlClientSettings settings;
    settings.controlPort = peer.Port();
    settings.connectTimeoutMs = 2000;
    return settings;
}

struct CommandCase {
    bool udp;
    int parallel;
    const char* expected;
};

// The peer reads the command and closes without sending anything: a normal end.
TEST(RemoteMeasurement, SendsTheClientCommandOfThePair) {
    const CommandCase cases[] = {
        {false, 4, " -c 198.18.0.2 -i 1 -t 310 -w 5.000000m -P 4 -f m\r\n"},
        {false, 1, " -c 198.18.0.2 -i 1 -t 310 -w 5.000000m -f m\r\n"},
        {true, 4, " -c 198.18.0.2 -i 1 -t 310 -u -b 5.000000m -f m\r\n"},
    };
    for (const CommandCase& c : cases) {
        std::string request;
        LoopbackPeer peer(
            [&](const platform::Socket& connection) { request = ReadRequestLine(connection); });
        PairJob job = RemoteJob();
        job.udp = c.udp;
        job.parallel = c.parallel;
        RecordingSink sink;
        std::stop_source stop;
        EXPECT_EQ(RemoteMeasurement(job, RemoteSettingsFor(peer)).Run(sink, stop.get_token()),
                  MeasurementEnd::Ended);
        peer.Join();
        EXPECT_EQ(request, c.expected);
        EXPECT_TRUE(sink.Lines().empty());
    }
}

// A run that ended while End Point 1 was being reached must not start anything there:
// its "restart" has already gone out.
TEST(RemoteMeasurement, SendsNothingOnceTheRunIsOver) {
    std::string request = "not read";
    LoopbackPeer peer(
        [&](const platform::Socket& connection) { request = ReadRequestLine(connection); });
    RecordingSink sink;
    std::stop_source stop;
    stop.request_stop();
    EXPECT_EQ(RemoteMeasurement(RemoteJob(), RemoteSettingsFor(peer)).Run(sink, stop.get_token()),
              MeasurementEnd::Ended);
    peer.Join();
    EXPECT_EQ(request, "");
}

TEST(RemoteMeasurement, DeliversLinesInOrderUntilTheStreamCloses) {
    LoopbackPeer peer([](const platform::Socket& connection) {
        ReadRequestLine(connection);
        platform::SendAll(connection, "Server listening on TCP port 5001\r\n[  1] 0.0-");
        std::this_thread::sleep_for(milliseconds(50));
        platform::SendAll(connection, "1.0 sec  112 MBytes   940 Mbits/sec\r\n");
        std::this_thread::sleep_for(milliseconds(50));
        platform::SendAll(connection, "\n[  1] 1.0-2.0 sec\nunfinished");
    });
    RecordingSink sink;
    std::stop_source stop;
    RemoteMeasurement session(RemoteJob(), RemoteSettingsFor(peer));
    EXPECT_EQ(session.Run(sink, stop.get_token()), MeasurementEnd::Ended);
    // Whether that end came early is the run's to decide; the session says what it saw.
    ASSERT_TRUE(session.Failure().has_value());
    EXPECT_EQ(session.Failure()->kind, FailureKind::EndedEarly);
    EXPECT_EQ(session.Failure()->side, FailureSide::EndPoint1);
    EXPECT_EQ(session.Failure()->address, "127.0.0.1");
    EXPECT_EQ(sink.Lines(),
              (std::vector<std::string>{"Server listening on TCP port 5001\r",
                                        "[  1] 0.0-1.0 sec  112 MBytes   940 Mbits/sec\r", "",
                                        "[  1] 1.0-2.0 sec"}));
    EXPECT_EQ(sink.Indexes(), std::vector<int>(4, 3));
    EXPECT_TRUE(sink.StreamEnds().empty());
}

TEST(RemoteMeasurement, SilentStreamTimesOutAsAFailure) {
    LoopbackPeer peer([](const platform::Socket& connection) {
        ReadRequestLine(connection);
        platform::SendAll(connection, "Server listening\n");
        AwaitPeerClose(connection);
    });
    ControlClientSettings settings = RemoteSettingsFor(peer);
    settings.streamTimeoutMs = 200;
    RecordingSink sink;
    std::stop_source stop;
    RemoteMeasurement session(RemoteJob(), settings);
    EXPECT_EQ(session.Run(sink, stop.get_token()), MeasurementEnd::Failed);
    EXPECT_EQ(sink.Lines(), std::vector<std::string>{"Server listening"});
    ASSERT_TRUE(session.Failure().has_value());
    EXPECT_EQ(session.Failure()->kind, FailureKind::Silent);
    EXPECT_EQ(session.Failure()->seconds, 1);  // 200 ms, in whole seconds
}

// End Point 1 that closes without a line (its own server request failed, say).
TEST(RemoteMeasurement, CloseBeforeAnyOutputIsNamed) {
    LoopbackPeer peer([](const platform::Socket& connection) { ReadRequestLine(connection); });
    RecordingSink sink;
    std::stop_source stop;
    RemoteMeasurement session(RemoteJob(), RemoteSettingsFor(peer));
    EXPECT_EQ(session.Run(sink, stop.get_token()), MeasurementEnd::Ended);
    ASSERT_TRUE(session.Failure().has_value());
    EXPECT_EQ(session.Failure()->kind, FailureKind::ClosedBeforeOutput);
}

// A keyed End Point 1 answers a request without the key with one refusal line and
// closes: that line is the cause. The same words later in a stream are only a line.
TEST(RemoteMeasurement, AKeyedEndPointsRefusalIsTheCause) {
    for (const bool first : {true, false}) {
        LoopbackPeer peer([first](const platform::Socket& connection) {
            ReadRequestLine(connection);
            platform::SendAll(connection,
                              first ? "refused: lab key required\r\n"
                                    : "Server listening\r\nrefused: lab key required\r\n");
        });
        RecordingSink sink;
        std::stop_source stop;
        RemoteMeasurement session(RemoteJob(), RemoteSettingsFor(peer));
        EXPECT_EQ(session.Run(sink, stop.get_token()), MeasurementEnd::Ended);
        ASSERT_TRUE(session.Failure().has_value());
        EXPECT_EQ(sink.Lines().back(), "refused: lab key required\r");
        if (first) {
            EXPECT_EQ(session.Failure()->kind, FailureKind::ClosedBeforeOutput);
            EXPECT_EQ(session.Failure()->detail, "Reply: refused: lab key required");
        } else {
            EXPECT_EQ(session.Failure()->kind, FailureKind::EndedEarly);
            EXPECT_EQ(session.Failure()->detail, "");
        }
    }
}

TEST(RemoteMeasurement, UnreachableEndPointFails) {
    uint16_t closedPort = 0;
    {
        platform::Socket probe = platform::TcpListen(testing::kLoopback, 0, 1);
        closedPort = platform::LocalPort(probe);
    }
    ControlClientSettings settings;
    settings.controlPort = closedPort;
    settings.connectTimeoutMs = 2000;
    RecordingSink sink;
    std::stop_source stop;
    RemoteMeasurement refused(RemoteJob(), settings);
    EXPECT_EQ(refused.Run(sink, stop.get_token()), MeasurementEnd::Failed);
    ASSERT_TRUE(refused.Failure().has_value());
    EXPECT_EQ(refused.Failure()->kind, FailureKind::Refused);
    EXPECT_EQ(refused.Failure()->port, closedPort);

    PairJob badAddress = RemoteJob();
    badAddress.endpoint1 = "198.18.0";
    RemoteMeasurement unusable(badAddress, settings);
    EXPECT_EQ(unusable.Run(sink, stop.get_token()), MeasurementEnd::Failed);
    ASSERT_TRUE(unusable.Failure().has_value());
    EXPECT_EQ(unusable.Failure()->kind, FailureKind::Unreachable);
}

TEST(RemoteMeasurement, AbortFromAnotherThreadUnblocksTheReceiveAtOnce) {
    std::promise<void> commandRead;
    bool peerSawClose = false;
    LoopbackPeer peer([&](const platform::Socket& connection) {
        ReadRequestLine(connection);
        commandRead.set_value();
        peerSawClose = AwaitPeerClose(connection);
    });
    RemoteMeasurement session(RemoteJob(), RemoteSettingsFor(peer));  // 20 s stream timeout
    RecordingSink sink;
    std::stop_source stop;
    std::future<MeasurementEnd> result =
        std::async(std::launch::async, [&] { return session.Run(sink, stop.get_token()); });
    ASSERT_EQ(commandRead.get_future().wait_for(std::chrono::seconds(5)),
              std::future_status::ready);
    std::this_thread::sleep_for(milliseconds(50));  // let Run block in its receive

    const auto aborted = std::chrono::steady_clock::now();
    session.Abort();
    ASSERT_EQ(result.wait_for(std::chrono::seconds(2)), std::future_status::ready);
    EXPECT_LT(std::chrono::steady_clock::now() - aborted, milliseconds(500));
    EXPECT_EQ(result.get(), MeasurementEnd::Ended);
    peer.Join();
    EXPECT_TRUE(peerSawClose);
}

TEST(RemoteMeasurement, StopRequestedEndsTheReadAfterTheCurrentChunk) {
    LoopbackPeer peer([](const platform::Socket& connection) {
        ReadRequestLine(connection);
        platform::SendAll(connection, "first\n");
        std::this_thread::sleep_for(milliseconds(200));
        platform::SendAll(connection, "second\n");
        AwaitPeerClose(connection);
    });
    RecordingSink sink;
    std::stop_source stop;
    sink.onLine = [&](std::string_view) {
        stop.request_stop();
    };  // the main thread completes the run
    EXPECT_EQ(RemoteMeasurement(RemoteJob(), RemoteSettingsFor(peer)).Run(sink, stop.get_token()),
              MeasurementEnd::Ended);
    EXPECT_EQ(sink.Lines(), std::vector<std::string>{"first"});
}

}  // namespace
}  // namespace quarn::console
