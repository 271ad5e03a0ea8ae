#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <thread>

#include "address/ip_address.h"
#include "console/core/outcome.h"
#include "platform/socket.h"

namespace quarn::console::records {

struct ListenAddress {
    IpAddress address = IpAddress::V4(0x7F000001);
    std::uint16_t port = 0;
};

// "[ADDR:]PORT": without an address the IPv4 loopback one. Any other address must be
// written out, so a page is never offered to the network by accident. An IPv6 address
// stands in brackets, as in a URL ("[::1]:9100"). Fails when the text is not an address
// and a port.
Result<ListenAddress> ParseListenAddress(const std::string& text);

// Serves the latest published page at /metrics over HTTP/1.1 from a thread of its own.
// One connection at a time, each closed after its answer; a request must arrive whole
// within kRequestTimeout and kMaxRequestBytes, and an answer that cannot be sent within
// the same time is given up, so a slow or hostile client holds the server only briefly.
class MetricsServer {
  public:
    static constexpr std::size_t kMaxRequestBytes = 8192;
    static constexpr std::chrono::milliseconds kRequestTimeout{3000};
    static constexpr std::chrono::milliseconds kStopPoll{200};

    MetricsServer() = default;
    ~MetricsServer();
    MetricsServer(const MetricsServer&) = delete;
    MetricsServer& operator=(const MetricsServer&) = delete;

    // Listens and starts serving; false (errno kept) when the address cannot be bound.
    bool Start(const ListenAddress& where);
    // The port listened on (the one chosen when 0 was asked for).
    std::uint16_t Port() const { return port_; }
    // Replaces the page served from now on.
    void Publish(std::string page);
    void Stop();

  private:
    void Serve(const std::stop_token& stop);
    void Answer(const platform::Socket& client);
    std::string Page() const;

    platform::Socket listener_;
    std::uint16_t port_ = 0;
    mutable std::mutex mutex_;
    std::string page_;
    std::jthread thread_;
};

// The answer to one request's text (request line and headers), as sent.
std::string MetricsResponse(const std::string& request, const std::string& page);

}  // namespace quarn::console::records
