#include "platform/socket.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "platform/socket6.h"

namespace quarn::platform {
namespace {

constexpr uint32_t kLoopback = 0x7F000001;

// Either family's bound port: an IPv6 listener asked for port 0 can be connected to.
TEST(TcpSocket, LocalPortReadsAnIpv6SocketsPortToo) {
    const IpAddress loopback6 = *ParseIpAddress("::1");
    const Socket listener = TcpListen6(loopback6, 0, 1);
    ASSERT_TRUE(listener.Valid());
    const uint16_t port = LocalPort(listener);
    ASSERT_NE(port, 0);
    EXPECT_TRUE(TcpConnect6(loopback6, port, 1000).Valid());
}

TEST(TcpSocket, ConnectAcceptSendReceive) {
    Socket listener = TcpListen(kLoopback, 0, 4);
    ASSERT_TRUE(listener.Valid());
    const uint16_t port = LocalPort(listener);
    ASSERT_NE(port, 0);
    Socket client = TcpConnect(kLoopback, port, 1000);
    ASSERT_TRUE(client.Valid());
    Socket server = Accept(listener);
    ASSERT_TRUE(server.Valid());

    ASSERT_TRUE(SendAll(client, "ping\r\n"));
    char buffer[16];
    const RecvResult got = Receive(server, buffer, sizeof buffer);
    ASSERT_EQ(got.status, RecvStatus::Data);
    ASSERT_EQ(got.bytes, 6u);
    EXPECT_EQ(std::string(buffer, 6), "ping\r\n");

    // Silence: a timeout, distinguishable from a close.
    ASSERT_TRUE(SetRecvTimeout(server, 100));
    EXPECT_EQ(Receive(server, buffer, sizeof buffer).status, RecvStatus::TimedOut);
    EXPECT_FALSE(PeerHasClosed(server));

    client.Close();
    EXPECT_TRUE(PeerHasClosed(server));
    EXPECT_EQ(Receive(server, buffer, sizeof buffer).status, RecvStatus::Closed);
    // Sending to a closed peer fails instead of raising SIGPIPE.
    bool sendFailed = false;
    for (int i = 0; i < 50 && !sendFailed; ++i) {
        sendFailed = !SendAll(server, std::string(4096, 'x'));
    }
    EXPECT_TRUE(sendFailed);
}

// The agent tells requesters apart by address, so tests connect from other 127.x ones.
// A peer that never reads fills both buffers; the sender is let go at the deadline, and a
// reading peer gets everything within it.
TEST(TcpSocket, SendAllWithinGivesUpOnAPeerThatStopsReading) {
    Socket listener = TcpListen(kLoopback, 0, 4);
    ASSERT_TRUE(listener.Valid());
    Socket client = TcpConnect(kLoopback, LocalPort(listener), 1000);
    Socket server = Accept(listener);
    ASSERT_TRUE(server.Valid());
    EXPECT_TRUE(KeepAliveWithin(server, std::chrono::milliseconds(3000)));

    const std::string chunk(64 * 1024, 'x');
    // A long limit first: the short one after it must not inherit its send timeout.
    EXPECT_TRUE(SendAllWithin(server, chunk, std::chrono::seconds(10)));
    const auto start = std::chrono::steady_clock::now();
    bool refused = false;
    for (int i = 0; i < 1000 && !refused; ++i) {
        refused = !SendAllWithin(server, chunk, std::chrono::milliseconds(300));
    }
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_TRUE(refused);
    EXPECT_LT(took, std::chrono::seconds(3));
    EXPECT_GE(took, std::chrono::milliseconds(300));
}

// The other way round: after a send with a short limit, a longer one waits its own limit
// for a peer that only starts reading later, more than the short limit later.
TEST(TcpSocket, SendAllWithinWaitsItsOwnLimitAfterAShorterOne) {
    Socket listener = TcpListen(kLoopback, 0, 4);
    Socket client = TcpConnect(kLoopback, LocalPort(listener), 1000);
    Socket server = Accept(listener);
    ASSERT_TRUE(client.Valid() && server.Valid());
    ASSERT_TRUE(SendAllWithin(server, "short", std::chrono::milliseconds(200)));
    // More than the loopback buffers hold, so the send blocks until the reader starts.
    const std::string big(32 * 1024 * 1024, 'x');
    size_t received = 0;
    std::thread reader([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(700));
        std::vector<char> buffer(256 * 1024);
        while (received < big.size() + 5) {
            const RecvResult got = Receive(client, buffer.data(), buffer.size());
            if (got.status != RecvStatus::Data) {
                break;
            }
            received += got.bytes;
        }
    });
    const bool sent = SendAllWithin(server, big, std::chrono::seconds(10));
    if (!sent) {
        client.ShutdownBoth();  // ends the reader, which would wait for the rest
    }
    reader.join();
    EXPECT_TRUE(sent);
    EXPECT_EQ(received, big.size() + 5);
}

TEST(TcpSocket, ConnectFromAChosenLocalAddressIsSeenFromThere) {
    constexpr uint32_t kOtherLoopback = 0x7F000002;
    Socket listener = TcpListen(kLoopback, 0, 4);
    ASSERT_TRUE(listener.Valid());
    const uint16_t port = LocalPort(listener);
    Socket client = TcpConnectFrom(kOtherLoopback, kLoopback, port, 1000);
    ASSERT_TRUE(client.Valid());
    Socket server = Accept(listener);
    ASSERT_TRUE(server.Valid());
    EXPECT_EQ(PeerAddress(server), kOtherLoopback);
    Socket plain = TcpConnect(kLoopback, port, 1000);
    ASSERT_TRUE(plain.Valid());
    EXPECT_EQ(PeerAddress(Accept(listener)), kLoopback);
    // An address this host does not have (203.0.113.99) cannot be the source.
    EXPECT_FALSE(TcpConnectFrom(0xCB007163, kLoopback, port, 1000).Valid());
}

TEST(TcpSocket, ConnectToClosedLoopbackPortFailsFast) {
    uint16_t port;
    {
        Socket probe = TcpListen(kLoopback, 0, 1);
        port = LocalPort(probe);
    }
    const auto start = std::chrono::steady_clock::now();
    Socket client = TcpConnect(kLoopback, port, 5000);
    EXPECT_FALSE(client.Valid());
    EXPECT_EQ(errno, ECONNREFUSED);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
}

// Fills the accept queue of a listener that never accepts, so that the next connect
// waits for an answer that does not come; false when the system refuses instead.
bool FillAcceptQueue(const Socket& listener, std::vector<Socket>& queued) {
    for (int i = 0; i < 16; ++i) {
        Socket socket = TcpConnect(kLoopback, LocalPort(listener), 200);
        if (!socket.Valid()) {
            return errno == ETIMEDOUT;
        }
        queued.push_back(std::move(socket));
    }
    return false;
}

TEST(TcpSocket, StopEndsAConnectThatWaits) {
    using namespace std::chrono_literals;
    Socket listener = TcpListen(kLoopback, 0, 0);
    ASSERT_TRUE(listener.Valid());
    std::vector<Socket> queued;
    if (!FillAcceptQueue(listener, queued)) {
        GTEST_SKIP() << "this system refuses a connect to a full queue at once";
    }
    std::stop_source stop;
    std::jthread stopper([&stop] {
        std::this_thread::sleep_for(150ms);
        stop.request_stop();
    });
    const auto start = std::chrono::steady_clock::now();
    const Socket waited = TcpConnect(kLoopback, LocalPort(listener), 10s, stop.get_token());
    const int error = errno;
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_FALSE(waited.Valid());
    EXPECT_EQ(error, ECANCELED);
    EXPECT_GE(elapsed, 100ms);
    EXPECT_LT(elapsed, 1500ms);

    // Stopped before it began: no wait at all.
    const auto again = std::chrono::steady_clock::now();
    EXPECT_FALSE(TcpConnect(kLoopback, LocalPort(listener), 10s, stop.get_token()).Valid());
    EXPECT_EQ(errno, ECANCELED);
    EXPECT_LT(std::chrono::steady_clock::now() - again, 500ms);

    // Without a stop the timeout still holds.
    const auto timed = std::chrono::steady_clock::now();
    EXPECT_FALSE(TcpConnect(kLoopback, LocalPort(listener), 300ms, std::stop_token()).Valid());
    EXPECT_EQ(errno, ETIMEDOUT);
    EXPECT_GE(std::chrono::steady_clock::now() - timed, 250ms);
}

TEST(TcpSocket, ShutdownFromAnotherThreadWakesAccept) {
    Socket listener = TcpListen(kLoopback, 0, 1);
    ASSERT_TRUE(listener.Valid());
    std::atomic<bool> returned{false};
    std::thread acceptor([&] {
        Socket none = Accept(listener);
        EXPECT_FALSE(none.Valid());
        returned = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    listener.ShutdownBoth();
    acceptor.join();
    EXPECT_TRUE(returned);
}

// A listener thread that reaches Accept only after the shutdown came (a loaded machine)
// must not wait for ever.
TEST(TcpSocket, AcceptAfterTheShutdownReturnsAtOnce) {
    Socket listener = TcpListen(kLoopback, 0, 1);
    ASSERT_TRUE(listener.Valid());
    listener.ShutdownBoth();
    std::atomic<bool> returned{false};
    std::thread acceptor([&] {
        const Socket none = Accept(listener);
        EXPECT_FALSE(none.Valid());
        returned = true;
    });
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (!returned && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_TRUE(returned);
    // Frees an accept that blocked, so the failure is reported rather than hung.
    Socket unblock;
    if (!returned) {
        unblock = TcpConnect(kLoopback, LocalPort(listener), 1000);
    }
    acceptor.join();
}

TEST(UdpSocket, DatagramRoundTripOnLoopback) {
    Socket receiver = UdpBind(kLoopback, 0, false);
    ASSERT_TRUE(receiver.Valid());
    Socket sender = UdpBind(kLoopback, 0, true);
    ASSERT_TRUE(sender.Valid());
    ASSERT_TRUE(SendTo(sender, "hello", kLoopback, LocalPort(receiver)));
    ASSERT_TRUE(SetRecvTimeout(receiver, 1000));
    const DatagramResult received = ReceiveFrom(receiver, 1499);
    ASSERT_EQ(received.status, RecvStatus::Data);
    EXPECT_EQ(received.datagram.data, "hello");
    EXPECT_EQ(received.datagram.addr, kLoopback);
    EXPECT_EQ(received.datagram.port, LocalPort(sender));

    // A longer datagram is cut at maxLen.
    ASSERT_TRUE(SendTo(sender, std::string(2000, 'x'), kLoopback, LocalPort(receiver)));
    const DatagramResult cut = ReceiveFrom(receiver, 1499);
    ASSERT_EQ(cut.status, RecvStatus::Data);
    EXPECT_EQ(cut.datagram.data.size(), 1499u);

    // An empty datagram is data, not a close.
    ASSERT_TRUE(SendTo(sender, "", kLoopback, LocalPort(receiver)));
    const DatagramResult empty = ReceiveFrom(receiver, 1499);
    EXPECT_EQ(empty.status, RecvStatus::Data);
    EXPECT_EQ(empty.datagram.data, "");

    ASSERT_TRUE(SetRecvTimeout(receiver, 50));
    EXPECT_EQ(ReceiveFrom(receiver, 1499).status, RecvStatus::TimedOut);
}

}  // namespace
}  // namespace quarn::platform
