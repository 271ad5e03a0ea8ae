#include "tests/e2e/peer_requests.h"

#include <algorithm>
#include <chrono>

#include "address/ipv4.h"
#include "protocol/messages.h"
#include "tests/support/socket_reading.h"

namespace quarn::e2e {

platform::Socket Request(const test_support::TestNetwork& network, int fromHost,
                         const std::string& address, const std::string& text) {
    platform::Socket socket;
    network.RunInHost(fromHost, [&] {
        socket = platform::TcpConnect(ParseIpv4(address).value(), protocol::kControlPort, 3000);
        if (socket.Valid()) {
            platform::SendAll(socket, text);
        }
    });
    return socket;
}

std::string ServerRequestReply(const test_support::TestNetwork& network, int fromHost,
                               const std::string& address, platform::Socket& connection) {
    connection = Request(network, fromHost, address, std::string(protocol::kServerRequestTcp));
    // The rest of iperf's banner may follow in the same segment.
    const std::string data = test_support::ReadUntilContains(connection, "\r\n", 15000).data;
    const std::size_t end = data.find("\r\n");
    return end == std::string::npos ? std::string() : data.substr(0, end + 2);
}

std::vector<std::string> Probe(const test_support::TestNetwork& network, int fromHost,
                               const std::string& target, const std::string& word, int collectMs) {
    platform::Socket socket;
    network.RunInHost(fromHost, [&] {
        socket = platform::UdpBind(0, 0, /*broadcast=*/true);
        platform::SendTo(socket, word, ParseIpv4(target).value(), protocol::kDiscoveryPort);
    });
    platform::SetRecvTimeout(socket, 100);
    std::vector<std::string> replies;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(collectMs);
    while (std::chrono::steady_clock::now() < deadline) {
        const platform::DatagramResult received =
            platform::ReceiveFrom(socket, protocol::kMaxDatagram);
        if (received.status == platform::RecvStatus::Data) {
            replies.push_back(received.datagram.data);
        }
    }
    std::sort(replies.begin(), replies.end());
    return replies;
}

int CountReplies(const platform::Socket& socket) {
    platform::SetRecvTimeout(socket, 100);
    int replies = 0;
    while (platform::ReceiveFrom(socket, protocol::kMaxDatagram).status ==
           platform::RecvStatus::Data) {
        ++replies;
    }
    return replies;
}

int CountOccurrences(const std::string& text, const std::string& fragment) {
    int count = 0;
    for (std::size_t at = text.find(fragment); at != std::string::npos;
         at = text.find(fragment, at + 1)) {
        ++count;
    }
    return count;
}

}  // namespace quarn::e2e
