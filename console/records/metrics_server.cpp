#include "console/records/metrics_server.h"

#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <charconv>

#include "platform/socket6.h"
#include "platform/wake_event.h"

namespace quarn::console::records {
namespace {

std::string Response(const char* status, const char* type, const std::string& body,
                     bool withBody = true) {
    std::string out = std::string("HTTP/1.1 ") + status + "\r\nContent-Type: " + type +
                      "\r\nContent-Length: " + std::to_string(body.size()) +
                      "\r\nConnection: close\r\n\r\n";
    if (withBody)
        out += body;
    return out;
}

std::string ErrorResponse(const char* status) {
    return Response(status, "text/plain; charset=utf-8", std::string(status) + "\n");
}

long long MillisecondsLeft(std::chrono::steady_clock::time_point deadline) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(deadline -
                                                                 std::chrono::steady_clock::now())
        .count();
}

bool WaitFor(int fd, short events, std::chrono::steady_clock::time_point deadline) {
    const long long left = MillisecondsLeft(deadline);
    if (left <= 0)
        return false;
    pollfd p{fd, events, 0};
    return ::poll(&p, 1, static_cast<int>(left)) == 1;
}

// The request line and headers, or what came before the time or size ran out.
std::string ReadRequest(int fd, bool& complete) {
    const auto deadline = std::chrono::steady_clock::now() + MetricsServer::kRequestTimeout;
    std::string request;
    char buffer[1024];
    complete = false;
    while (request.size() <= MetricsServer::kMaxRequestBytes && WaitFor(fd, POLLIN, deadline)) {
        const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        request.append(buffer, static_cast<std::size_t>(got));
        if (request.find("\r\n\r\n") != std::string::npos ||
            request.find("\n\n") != std::string::npos) {
            complete = true;
            break;
        }
    }
    return request;
}

void SendAll(int fd, const std::string& data) {
    const auto deadline = std::chrono::steady_clock::now() + MetricsServer::kRequestTimeout;
    std::size_t sent = 0;
    while (sent < data.size() && WaitFor(fd, POLLOUT, deadline)) {
        const ssize_t n = ::send(fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        sent += static_cast<std::size_t>(n);
    }
}

}  // namespace

Result<ListenAddress> ParseListenAddress(const std::string& text) {
    std::string host;
    std::string port = text;
    if (text.starts_with('[')) {
        const std::size_t close = text.find("]:");
        host = text.substr(0, close == std::string::npos ? text.size() : close + 1);
        port = close == std::string::npos ? "" : text.substr(close + 2);
    } else if (const std::size_t colon = text.rfind(':'); colon != std::string::npos) {
        host = text.substr(0, colon);
        port = text.substr(colon + 1);
    }
    ListenAddress where;
    if (!host.empty()) {
        // Unbracketed, an IPv6 address would have lost its last group to the port.
        const std::optional<IpAddress> address = ParseIpAddress(host);
        if (!address || (address->IsV6() && !host.starts_with('['))) {
            return WhyNot{
                "--metrics expects [ADDR:]PORT with an IPv4 address or an IPv6 one "
                "in brackets: " +
                text};
        }
        where.address = address->Unmapped();
    }
    unsigned value = 0;
    const auto [ptr, ec] = std::from_chars(port.data(), port.data() + port.size(), value);
    if (port.empty() || ec != std::errc() || ptr != port.data() + port.size() || value > 65535) {
        return WhyNot{"--metrics expects a port from 0 to 65535: " + text};
    }
    where.port = static_cast<std::uint16_t>(value);
    return where;
}

std::string MetricsResponse(const std::string& request, const std::string& page) {
    const std::size_t lineEnd = request.find_first_of("\r\n");
    const std::string line = request.substr(0, lineEnd);
    const std::size_t space1 = line.find(' ');
    const std::size_t space2 =
        space1 == std::string::npos ? std::string::npos : line.find(' ', space1 + 1);
    if (space2 == std::string::npos || line.compare(space2 + 1, 7, "HTTP/1.") != 0)
        return ErrorResponse("400 Bad Request");
    const std::string method = line.substr(0, space1);
    std::string target = line.substr(space1 + 1, space2 - space1 - 1);
    target = target.substr(0, target.find('?'));
    if (method != "GET" && method != "HEAD")
        return ErrorResponse("405 Method Not Allowed");
    if (target != "/metrics")
        return ErrorResponse("404 Not Found");
    return Response("200 OK", "text/plain; version=0.0.4; charset=utf-8", page, method == "GET");
}

MetricsServer::~MetricsServer() {
    Stop();
}

bool MetricsServer::Start(const ListenAddress& where) {
    Stop();
    listener_ = where.address.IsV4() ? platform::TcpListen(where.address.V4Value(), where.port, 16)
                                     : platform::TcpListen6(where.address, where.port, 16);
    if (!listener_.Valid())
        return false;
    port_ = platform::LocalPort(listener_);
    thread_ = std::jthread([this](std::stop_token stop) { Serve(stop); });
    return true;
}

void MetricsServer::Publish(std::string page) {
    const std::lock_guard lock(mutex_);
    page_ = std::move(page);
}

std::string MetricsServer::Page() const {
    const std::lock_guard lock(mutex_);
    return page_;
}

void MetricsServer::Stop() {
    if (thread_.joinable()) {
        thread_.request_stop();
        thread_.join();
    }
    listener_.Close();
}

void MetricsServer::Serve(const std::stop_token& stop) {
    const platform::StopWake wake(stop);
    // Without an eventfd the stop is looked at every kStopPoll.
    const int waitMs = wake.Event().Fd() >= 0 ? -1 : static_cast<int>(kStopPoll.count());
    while (!stop.stop_requested()) {
        pollfd p[2] = {{listener_.Fd(), POLLIN, 0}, {wake.Event().Fd(), POLLIN, 0}};
        if (::poll(p, wake.Event().Fd() >= 0 ? 2 : 1, waitMs) < 1 || p[0].revents == 0)
            continue;
        const platform::Socket client(::accept4(listener_.Fd(), nullptr, nullptr, SOCK_CLOEXEC));
        if (client.Valid())
            Answer(client);
    }
}

void MetricsServer::Answer(const platform::Socket& client) {
    bool complete = false;
    const std::string request = ReadRequest(client.Fd(), complete);
    if (!complete) {
        // Too slow, too big or gone: say so if the client still listens.
        SendAll(client.Fd(), ErrorResponse(request.size() > kMaxRequestBytes
                                               ? "431 Request Header Fields Too Large"
                                               : "408 Request Timeout"));
        return;
    }
    SendAll(client.Fd(), MetricsResponse(request, Page()));
}

}  // namespace quarn::console::records
