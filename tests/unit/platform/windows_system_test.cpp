// winsock2.h must come before windows.h.
#include <winsock2.h>

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/adapters.h"
#include "platform/adapters6.h"
#include "platform/name_store.h"
#include "platform/port_table.h"
#include "platform/single_instance.h"
#include "platform/socket.h"
#include "platform/socket6.h"
#include "platform/socket_reader_win.h"
#include "platform/text_encoding.h"
#include "platform/windows_text.h"

namespace quarn::platform {
namespace {

constexpr uint32_t kLoopback = 0x7F000001;
const std::string kKorean = "\xED\x95\x9C\xEA\xB8\x80";  // two Hangul syllables

TEST(WindowsPortTable, ListsBoundTcpAndUdpPorts) {
    Socket listener = TcpListen(kLoopback, 0, 4);
    Socket udp = UdpBind(kLoopback, 0, false);
    ASSERT_TRUE(listener.Valid() && udp.Valid());
    const uint16_t tcpPort = LocalPort(listener);
    const uint16_t udpPort = LocalPort(udp);
    EXPECT_EQ(BusyTcpPorts(1000).count(tcpPort), 1u);
    EXPECT_EQ(BusyUdpPorts(1000).count(udpPort), 1u);
    EXPECT_EQ(BusyTcpPorts(tcpPort).count(tcpPort), 0u);  // only ports above the bound
    listener.Close();
    EXPECT_EQ(BusyTcpPorts(1000).count(tcpPort), 0u);
}

TEST(WindowsSockets, SecondBindOfAPortFails) {
    Socket first = TcpListen(kLoopback, 0, 4);
    ASSERT_TRUE(first.Valid());
    EXPECT_FALSE(TcpListen(kLoopback, LocalPort(first), 4).Valid());
    Socket udp = UdpBind(kLoopback, 0, true);
    ASSERT_TRUE(udp.Valid());
    EXPECT_FALSE(UdpBind(kLoopback, LocalPort(udp), true).Valid());
}

TEST(WindowsSockets, WaitForDataOrHangUpSeesDataThenTheHangUp) {
    Socket listener = TcpListen(kLoopback, 0, 4);
    Socket source = TcpConnect(kLoopback, LocalPort(listener), 2000);
    Socket sourcePeer = Accept(listener);
    Socket watched = TcpConnect(kLoopback, LocalPort(listener), 2000);
    Socket watchedPeer = Accept(listener);
    ASSERT_TRUE(source.Valid() && sourcePeer.Valid() && watched.Valid() && watchedPeer.Valid());
    ASSERT_TRUE(SendAll(sourcePeer, "x"));
    EXPECT_EQ(WaitForDataOrHangUp(source, watched), StreamWait::SourceReadable);
    char byte;
    EXPECT_EQ(Receive(source, &byte, 1).status, RecvStatus::Data);
    EXPECT_FALSE(PeerHasClosed(watched));
    watchedPeer.Close();
    EXPECT_EQ(WaitForDataOrHangUp(source, watched), StreamWait::WatchedGone);
    EXPECT_TRUE(PeerHasClosed(watched));
}

// A relay's waits on one RelayWait: every line is seen, bytes from the watched side are
// dropped without ending it, and its close ends it however many waits went before.
TEST(WindowsSockets, RelayWaitSeesEveryLineAndTheHangUpLater) {
    Socket listener = TcpListen(kLoopback, 0, 4);
    Socket source = TcpConnect(kLoopback, LocalPort(listener), 2000);
    Socket sourcePeer = Accept(listener);
    Socket watched = TcpConnect(kLoopback, LocalPort(listener), 2000);
    Socket watchedPeer = Accept(listener);
    ASSERT_TRUE(source.Valid() && sourcePeer.Valid() && watched.Valid() && watchedPeer.Valid());
    RelayWait wait(source, watched);
    std::string relayed;
    char buffer[64];
    for (int line = 0; line < 5; ++line) {
        if (line == 2) {
            ASSERT_TRUE(SendAll(watchedPeer, "unexpected"));
        }
        ASSERT_TRUE(SendAll(sourcePeer, std::to_string(line)));
        const RelayStep got = wait.Next(buffer, sizeof buffer);
        ASSERT_EQ(got.wait, StreamWait::SourceReadable) << line;
        relayed.append(buffer, got.bytes);
    }
    EXPECT_EQ(relayed, "01234");
    std::thread closer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        watchedPeer.Close();
    });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(wait.Next(buffer, sizeof buffer).wait, StreamWait::WatchedGone);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    closer.join();
}

// What came in one receive reaches a caller with a smaller buffer whole and in order, and
// the source's end after it is told apart from data.
TEST(WindowsSockets, RelayWaitHandsOnAChunkInPiecesThenTheSourcesEnd) {
    Socket listener = TcpListen(kLoopback, 0, 4);
    Socket source = TcpConnect(kLoopback, LocalPort(listener), 2000);
    Socket sourcePeer = Accept(listener);
    Socket watched = TcpConnect(kLoopback, LocalPort(listener), 2000);
    Socket watchedPeer = Accept(listener);
    ASSERT_TRUE(source.Valid() && sourcePeer.Valid() && watched.Valid() && watchedPeer.Valid());
    std::string sent;
    for (int i = 0; i < 300; ++i) {
        sent += static_cast<char>('a' + i % 26);
    }
    ASSERT_TRUE(SendAll(sourcePeer, sent));
    sourcePeer.Close();
    RelayWait wait(source, watched);
    std::string relayed;
    char buffer[7];
    RelayStep got;
    while ((got = wait.Next(buffer, sizeof buffer)).wait == StreamWait::SourceReadable &&
           got.bytes > 0) {
        ASSERT_LE(got.bytes, sizeof buffer);
        relayed.append(buffer, got.bytes);
    }
    EXPECT_EQ(got.wait, StreamWait::SourceReadable);
    EXPECT_EQ(relayed, sent);
}

// The relay's stop is a local ShutdownBoth of either socket: it ends a wait at once, also
// one whose watches were kept from waits before and after bytes from the watched side.
TEST(WindowsSockets, ShutdownEndsARelayWaitAtOnce) {
    using namespace std::chrono_literals;
    for (const bool sourceSide : {true, false}) {
        Socket listener = TcpListen(kLoopback, 0, 4);
        Socket source = TcpConnect(kLoopback, LocalPort(listener), 2000);
        Socket sourcePeer = Accept(listener);
        Socket watched = TcpConnect(kLoopback, LocalPort(listener), 2000);
        Socket watchedPeer = Accept(listener);
        ASSERT_TRUE(source.Valid() && sourcePeer.Valid() && watched.Valid() && watchedPeer.Valid());
        RelayWait wait(source, watched);
        ASSERT_TRUE(SendAll(sourcePeer, "x"));
        char byte;
        ASSERT_EQ(wait.Next(&byte, 1).wait, StreamWait::SourceReadable);
        ASSERT_TRUE(SendAll(watchedPeer, "unexpected"));
        std::atomic<std::chrono::steady_clock::rep> stoppedAt{0};
        std::jthread stopper([&] {
            std::this_thread::sleep_for(200ms);
            stoppedAt.store(std::chrono::steady_clock::now().time_since_epoch().count());
            (sourceSide ? source : watched).ShutdownBoth();
        });
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(wait.Next(&byte, 1).wait, StreamWait::WatchedGone) << sourceSide;
        const auto end = std::chrono::steady_clock::now();
        stopper.join();
        EXPECT_GE(end - start, 150ms) << sourceSide;  // the bytes did not end it
        const std::chrono::steady_clock::time_point stopped{
            std::chrono::steady_clock::duration(stoppedAt.load())};
        EXPECT_LT(end - stopped, 500ms) << sourceSide;
    }
}

// The relay sleeps on the reader's event alone, so the event must tell exactly: clear while
// the receive is in flight (its start clears it, and Quiet after a wake without cause), set
// once bytes came or the socket ended, locally or from the peer.
TEST(WindowsSockets, SocketReaderEventSaysWhenBytesOrTheEndCame) {
    using namespace std::chrono_literals;
    for (const bool localEnd : {false, true}) {
        Socket listener = TcpListen(kLoopback, 0, 4);
        Socket source = TcpConnect(kLoopback, LocalPort(listener), 2000);
        Socket sourcePeer = Accept(listener);
        ASSERT_TRUE(source.Valid() && sourcePeer.Valid());
        SocketReader reader(source);
        ASSERT_TRUE(reader.Usable());
        char buffer[16];
        EXPECT_FALSE(reader.Take(buffer, sizeof buffer).has_value());
        WSASetEvent(reader.Event());  // a wake without cause
        reader.Quiet();
        EXPECT_EQ(WaitForSingleObject(reader.Event(), 100), WAIT_TIMEOUT) << localEnd;
        ASSERT_TRUE(SendAll(sourcePeer, "abc"));
        ASSERT_EQ(WaitForSingleObject(reader.Event(), 2000), WAIT_OBJECT_0) << localEnd;
        ASSERT_EQ(reader.Take(buffer, sizeof buffer), std::optional<size_t>(3)) << localEnd;
        EXPECT_EQ(std::string(buffer, 3), "abc");
        // The next receive is in flight and its start cleared the event.
        EXPECT_FALSE(reader.Take(buffer, sizeof buffer).has_value()) << localEnd;
        EXPECT_EQ(WaitForSingleObject(reader.Event(), 100), WAIT_TIMEOUT) << localEnd;
        if (localEnd) {
            source.ShutdownBoth();
        } else {
            sourcePeer.Close();
        }
        ASSERT_EQ(WaitForSingleObject(reader.Event(), 2000), WAIT_OBJECT_0) << localEnd;
        EXPECT_EQ(reader.Take(buffer, sizeof buffer), std::optional<size_t>(0)) << localEnd;
    }
}

// The IPv6 connect sleeps on the same events as the IPv4 one: a stop ends it at once and
// says so, and one stopped before it began does not wait at all.
TEST(WindowsSockets, StopEndsAnIpv6ConnectThatWaits) {
    using namespace std::chrono_literals;
    const IpAddress loopback6 =
        IpAddress::V6(IpAddress::Bytes6{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1});
    Socket listener;
    uint16_t port = 0;
    for (uint16_t candidate = 47301; candidate < 47400 && !listener.Valid(); ++candidate) {
        listener = TcpListen6(loopback6, candidate, 0);
        port = candidate;
    }
    if (!listener.Valid()) {
        GTEST_SKIP() << "no IPv6 loopback here";
    }
    std::vector<Socket> queued;
    bool full = false;
    for (int i = 0; i < 16 && !full; ++i) {
        Socket socket = TcpConnect6(loopback6, port, 200);
        full = !socket.Valid() && errno == ETIMEDOUT;
        queued.push_back(std::move(socket));
    }
    if (!full) {
        GTEST_SKIP() << "this system refuses a connect to a full queue at once";
    }
    std::stop_source stop;
    std::jthread stopper([&stop] {
        std::this_thread::sleep_for(150ms);
        stop.request_stop();
    });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(TcpConnect6(loopback6, port, 10s, stop.get_token()).Valid());
    EXPECT_EQ(errno, ECANCELED);
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, 100ms);
    EXPECT_LT(waited, 1500ms);
    const auto again = std::chrono::steady_clock::now();
    EXPECT_FALSE(TcpConnect6(loopback6, port, 10s, stop.get_token()).Valid());
    EXPECT_EQ(errno, ECANCELED);
    EXPECT_LT(std::chrono::steady_clock::now() - again, 500ms);
}

TEST(WindowsSockets, ShutdownWakesABlockedReceive) {
    Socket listener = TcpListen(kLoopback, 0, 4);
    Socket client = TcpConnect(kLoopback, LocalPort(listener), 2000);
    Socket server = Accept(listener);
    ASSERT_TRUE(client.Valid() && server.Valid());
    RecvResult result;
    std::thread reader([&] {
        char buffer[16];
        result = Receive(server, buffer, sizeof buffer);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    server.ShutdownBoth();
    reader.join();  // a hang here is the failure
    EXPECT_NE(result.status, RecvStatus::Data);
}

TEST(WindowsNameStore, KeepsAKoreanNameUnderAppData) {
    const std::filesystem::path root = std::filesystem::temp_directory_path() /
                                       ("quarn-names-" + std::to_string(GetCurrentProcessId()));
    std::filesystem::create_directories(root);
    _wputenv_s(L"QUARN_CONFIG_HOME", L"");
    _wputenv_s(L"APPDATA", root.wstring().c_str());
    const std::string dir = NameStore::DefaultDir();
    EXPECT_EQ(dir, Narrow(root.wstring()) + "\\Quarn");
    const NameStore store(dir);
    EXPECT_FALSE(store.Load().has_value());
    ASSERT_TRUE(store.Save(kKorean));
    EXPECT_EQ(store.Load(), kKorean);
    ASSERT_TRUE(store.Save("second"));  // replaces an existing file
    EXPECT_EQ(store.Load(), "second");
    EXPECT_FALSE(store.Save("two\nlines"));
    EXPECT_TRUE(store.Remove());
    EXPECT_TRUE(store.Remove());
    EXPECT_FALSE(store.Load().has_value());
    std::filesystem::remove_all(root);
}

TEST(WindowsNameStore, ComputerNameIsShortAndPresent) {
    const std::string name = ComputerName();
    EXPECT_FALSE(name.empty());
    EXPECT_LE(name.size(), 24u);
}

TEST(WindowsSingleInstance, SecondHolderIsRefusedUntilRelease) {
    const std::string name = "test-" + std::to_string(GetCurrentProcessId());
    SingleInstance first;
    SingleInstance second;
    ASSERT_TRUE(first.Acquire(name));
    EXPECT_TRUE(first.Held());
    EXPECT_FALSE(second.Acquire(name));
    EXPECT_FALSE(second.Held());
    first.Release();
    EXPECT_TRUE(second.Acquire(name));
}

TEST(WindowsTextEncoding, CodePage949AndTheAnsiPage) {
    EXPECT_EQ(ToUtf8Strict("\xC7\xD1\xB1\xDB", "CP949"), kKorean);
    EXPECT_EQ(ToUtf8Strict("plain", "CP949"), "plain");
    EXPECT_FALSE(ToUtf8Strict("\xC7", "CP949").has_value());  // cut in the middle
    EXPECT_FALSE(ToUtf8Strict("x", "NO-SUCH-SET").has_value());
    EXPECT_EQ(ToUtf8Strict(kKorean, "UTF-8"), kKorean);
    EXPECT_FALSE(ToUtf8Strict("bad\xFF", "UTF-8").has_value());
    // Whatever the ANSI page is, ASCII survives both ways and invalid UTF-8 becomes '?'.
    EXPECT_EQ(AnsiToUtf8(Utf8ToAnsi("name-1")), "name-1");
    EXPECT_EQ(Utf8ToAnsi("cut\xE2\x82"), "cut?");
    if (GetACP() == 949) {
        EXPECT_EQ(Utf8ToAnsi(kKorean), "\xC7\xD1\xB1\xDB");
        EXPECT_EQ(AnsiToUtf8("\xC7\xD1\xB1\xDB"), kKorean);
    }
}

TEST(WindowsAdapters, LoopbackIsListedButNeverQualifies) {
    bool sawLoopback = false;
    for (const InterfaceAddress& entry : ListInterfaceAddresses()) {
        if (entry.address == kLoopback) {
            sawLoopback = true;
            EXPECT_TRUE(entry.flags & kInterfaceLoopback);
        }
    }
    EXPECT_TRUE(sawLoopback);
    for (const Adapter& adapter : QualifyingAdapters()) {
        EXPECT_NE(adapter.address, kLoopback);
        EXPECT_EQ(adapter.broadcast, (adapter.address & adapter.netmask) | ~adapter.netmask);
    }
}

// The agent's one listing of both families says what the two listings say, and the default
// route's interface, found by its alias, is one of them.
TEST(WindowsAdapters, OneListingOfBothFamiliesAgreesWithEachAlone) {
    const AddressListing both = ListAddresses();
    std::vector<std::string> v4;
    for (const InterfaceAddress& entry : ListInterfaceAddresses()) {
        v4.push_back(entry.name + " " + std::to_string(entry.address));
    }
    std::vector<std::string> bothV4;
    for (const InterfaceAddress& entry : both.v4) {
        bothV4.push_back(entry.name + " " + std::to_string(entry.address));
    }
    EXPECT_EQ(bothV4, v4);
    ASSERT_FALSE(v4.empty());
    std::vector<std::string> v6;
    for (const Interface6Address& entry : ListInterface6Addresses()) {
        v6.push_back(entry.name + " " + FormatIpAddress(entry.address));
    }
    std::vector<std::string> bothV6;
    for (const Interface6Address& entry : both.v6) {
        bothV6.push_back(entry.name + " " + FormatIpAddress(entry.address));
    }
    EXPECT_EQ(bothV6, v6);
    if (const std::optional<std::string> route = DefaultRouteInterface()) {
        EXPECT_TRUE(std::any_of(both.v4.begin(), both.v4.end(), [&](const InterfaceAddress& entry) {
            return entry.name == *route;
        })) << *route;
    }
}

}  // namespace
}  // namespace quarn::platform
