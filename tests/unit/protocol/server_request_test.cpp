#include "protocol/server_request.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <functional>
#include <stop_token>
#include <string>
#include <thread>

#include "protocol/codec.h"

namespace quarn::protocol {
namespace {

using namespace std::chrono_literals;
using platform::Socket;
constexpr uint32_t kLoopback = 0x7F000001;

// One-connection stand-in for an EndPoint's control port on loopback.
class FakeEndPoint {
  public:
    using Behaviour = std::function<void(const Socket& connection)>;

    explicit FakeEndPoint(Behaviour behaviour)
        : listener_(platform::TcpListen(kLoopback, 0, 1)), port_(platform::LocalPort(listener_)) {
        thread_ = std::thread([this, behaviour] {
            Socket connection = platform::Accept(listener_);
            if (!connection.Valid()) {
                return;
            }
            platform::SetRecvTimeout(connection, 5000);
            request_ = ReadLine(connection);
            behaviour(connection);
        });
    }
    ~FakeEndPoint() { Join(); }

    void Join() {
        if (thread_.joinable()) {
            listener_.ShutdownBoth();  // wakes the accept when nobody connected
            thread_.join();
        }
    }
    uint16_t Port() const { return port_; }
    // Read only after Join().
    const std::string& Request() const { return request_; }

    static std::string ReadLine(const Socket& connection) {
        std::string text;
        char buffer[64];
        while (text.find("\r\n") == std::string::npos) {
            const platform::RecvResult got = platform::Receive(connection, buffer, sizeof buffer);
            if (got.status != platform::RecvStatus::Data) {
                break;
            }
            text.append(buffer, got.bytes);
        }
        return text;
    }

    // Holds the connection until the requester closes its side.
    static void WaitForClose(const Socket& connection) {
        char buffer[64];
        while (platform::Receive(connection, buffer, sizeof buffer).status ==
               platform::RecvStatus::Data) {
        }
    }

  private:
    Socket listener_;
    uint16_t port_;
    std::string request_;
    std::thread thread_;
};

FakeEndPoint::Behaviour Replies(std::string text) {
    return [text](const Socket& connection) {
        platform::SendAll(connection, text);
        FakeEndPoint::WaitForClose(connection);
    };
}

constexpr const char* kTcpCommand = " -c 127.0.0.1 -i 1 -t 310 -w 64K -f m";

TEST(ServerRequest, OkReplyKeepsTheStreamOpen) {
    FakeEndPoint peer([](const Socket& connection) {
        // Banner bytes in the same segment as the reply are dropped.
        platform::SendAll(connection, "ok;5012\r\nbanner");
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        platform::SendAll(connection, "report line\n");
    });
    auto result = ServerRequest(kTcpCommand, peer.Port(), 2000ms, 2000ms);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->port, 5012);
    ASSERT_TRUE(result->socket.Valid());
    std::string stream;
    char buffer[64];
    platform::RecvResult got;
    while ((got = platform::Receive(result->socket, buffer, sizeof buffer)).status ==
           platform::RecvStatus::Data) {
        stream.append(buffer, got.bytes);
    }
    EXPECT_EQ(stream, "report line\n");
    peer.Join();
    EXPECT_EQ(peer.Request(), "server_config -s -f m -i 1 -w 64K\r\n");
}

TEST(ServerRequest, ReplySplitAcrossSegments) {
    FakeEndPoint peer([](const Socket& connection) {
        for (const char* part : {"o", "k;50", "01\r", "\n"}) {
            platform::SendAll(connection, part);
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        FakeEndPoint::WaitForClose(connection);
    });
    auto result = ServerRequest(" -c 127.0.0.1 -u -b 10m -w 64K -f m", peer.Port(), 2000ms, 2000ms);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->port, 5001);
    result->socket.Close();
    peer.Join();
    EXPECT_EQ(peer.Request(), "server_config -s -u -f m -i 1\r\n");
}

TEST(ServerRequest, FailedRepliesCloseTheConnection) {
    const char* replies[] = {"ok;0\r\n", "ok;\r\n", "error\r\n", "ok;70000\r\n"};
    for (const char* reply : replies) {
        FakeEndPoint peer(Replies(reply));
        ServerRequestFailure failure;
        EXPECT_FALSE(ServerRequest(kTcpCommand, peer.Port(), 2000ms, 2000ms, {}, &failure))
            << reply;
        // The requester reports the refusing line itself.
        EXPECT_EQ(failure.step, ServerRequestFailure::Step::Refused) << reply;
        EXPECT_EQ(failure.reply + "\r\n", reply);
        // The peer's WaitForClose only returns once the requester closed its socket.
        peer.Join();
    }
}

TEST(ServerRequest, ClosedWithoutTextFails) {
    FakeEndPoint peer([](const Socket&) {});
    ServerRequestFailure failure;
    EXPECT_FALSE(ServerRequest(kTcpCommand, peer.Port(), 2000ms, 2000ms, {}, &failure));
    EXPECT_EQ(failure.step, ServerRequestFailure::Step::ReplyClosed);
}

TEST(ServerRequest, SilentPeerTimesOut) {
    FakeEndPoint peer([](const Socket& connection) { FakeEndPoint::WaitForClose(connection); });
    const auto start = std::chrono::steady_clock::now();
    ServerRequestFailure failure;
    EXPECT_FALSE(ServerRequest(kTcpCommand, peer.Port(), 2000ms, 200ms, {}, &failure));
    EXPECT_EQ(failure.step, ServerRequestFailure::Step::ReplyTimeout);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_GE(elapsed, std::chrono::milliseconds(150));
    EXPECT_LT(elapsed, std::chrono::seconds(3));
}

// One byte every 100 ms, never a line end: each byte comes well within the timeout, but
// the reply as a whole must not take longer than it.
TEST(ServerRequest, DrippingPeerTimesOutOnceForTheWholeReply) {
    for (const bool cancellable : {false, true}) {
        FakeEndPoint peer([](const Socket& connection) {
            for (int i = 0; i < 60 && platform::SendAll(connection, "o"); ++i) {
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
            }
        });
        std::stop_source stop;
        const auto start = std::chrono::steady_clock::now();
        ServerRequestFailure failure;
        EXPECT_FALSE(ServerRequest(kTcpCommand, peer.Port(), 2000ms, 500ms,
                                   cancellable ? stop.get_token() : std::stop_token(), &failure));
        EXPECT_EQ(failure.step, ServerRequestFailure::Step::ReplyTimeout) << cancellable;
        const auto elapsed = std::chrono::steady_clock::now() - start;
        EXPECT_GE(elapsed, std::chrono::milliseconds(450)) << cancellable;
        EXPECT_LT(elapsed, std::chrono::milliseconds(2500)) << cancellable;
    }
}

// A stop from another thread (the agent's shutdown, the Console's abort) ends the wait for
// a reply at once, however long the reply may take, and the peer sees the connection go.
TEST(ServerRequest, StopEndsTheWaitForTheReply) {
    FakeEndPoint peer([](const Socket& connection) { FakeEndPoint::WaitForClose(connection); });
    std::stop_source stop;
    std::jthread stopper([&stop] {
        std::this_thread::sleep_for(150ms);
        stop.request_stop();
    });
    const auto start = std::chrono::steady_clock::now();
    ServerRequestFailure failure;
    EXPECT_FALSE(ServerRequest(kTcpCommand, peer.Port(), 2000ms, 10s, stop.get_token(), &failure));
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(failure.step, ServerRequestFailure::Step::ReplyClosed);
    EXPECT_GE(elapsed, 100ms);
    EXPECT_LT(elapsed, 1500ms);
    peer.Join();
    EXPECT_EQ(peer.Request(), "server_config -s -f m -i 1 -w 64K\r\n");
}

// Stopped before it began: it gives up at once, at the connect or at the reply.
TEST(ServerRequest, AlreadyStoppedDoesNotWaitForTheReply) {
    FakeEndPoint peer([](const Socket& connection) { FakeEndPoint::WaitForClose(connection); });
    std::stop_source stop;
    stop.request_stop();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(ServerRequest(kTcpCommand, peer.Port(), 2000ms, 10s, stop.get_token()));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1500ms);
}

TEST(ServerRequest, EndlessLineWithoutCrLfFails) {
    FakeEndPoint peer([](const Socket& connection) {
        const std::string junk(1000, 'x');
        for (int i = 0; i < 20 && platform::SendAll(connection, junk); ++i) {
        }
        FakeEndPoint::WaitForClose(connection);
    });
    EXPECT_FALSE(ServerRequest(kTcpCommand, peer.Port(), 2000ms, 2000ms));
}

TEST(ServerRequest, UnusablePeerFails) {
    ServerRequestFailure failure;
    EXPECT_FALSE(ServerRequest(" -i 1 -f m", kControlPort, 200ms, 200ms, {}, &failure));
    EXPECT_EQ(failure.step, ServerRequestFailure::Step::BadCommand);
    EXPECT_FALSE(ServerRequest(" -c 127.0.0.256 -f m", kControlPort, 200ms, 200ms));
    // A loopback port nobody listens on: refused at once.
    uint16_t closedPort;
    {
        Socket probe = platform::TcpListen(kLoopback, 0, 1);
        closedPort = platform::LocalPort(probe);
    }
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(ServerRequest(kTcpCommand, closedPort, 2000ms, 2000ms, {}, &failure));
    EXPECT_EQ(failure.step, ServerRequestFailure::Step::Connect);
    EXPECT_EQ(failure.error, ECONNREFUSED);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
}

}  // namespace
}  // namespace quarn::protocol
