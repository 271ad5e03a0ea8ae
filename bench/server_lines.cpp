#include "bench/server_lines.h"

#include <cstdio>

namespace quarn::bench {

ServerLines::ServerLines(std::string serverAddress, std::string clientAddress, int port)
    : serverAddress_(std::move(serverAddress)),
      clientAddress_(std::move(clientAddress)),
      port_(port),
      random_(static_cast<std::uint32_t>(port) * 2654435761u) {}

std::string ServerLines::Header(int index) const {
    switch (index) {
        case 0:
        case 3:
            return std::string(60, '-');
        case 1:
            return "Server listening on TCP port " + std::to_string(port_);
        case 2:
            return "TCP window size:  128 KByte (default)";
        case 4:
            return "[  1] local " + serverAddress_ + " port " + std::to_string(port_) +
                   " connected with " + clientAddress_ + " port " + std::to_string(port_ + 30000) +
                   " (icwnd/mss/irtt=14/1448/70)";
        default:
            return "[ ID] Interval       Transfer     Bandwidth";
    }
}

void ServerLines::AppendInterval(std::int64_t second, std::string& out) {
    // A rate that wanders between 900 and 999 Mbit/s, as on a busy gigabit link.
    random_ = random_ * 1664525u + 1013904223u;
    const int rate = 900 + static_cast<int>((random_ >> 16) % 100);
    char line[128];
    const int length = std::snprintf(
        line, sizeof line, "[  1] %lld.0000-%lld.0000 sec  %4.0f MBytes  %d Mbits/sec",
        static_cast<long long>(second), static_cast<long long>(second + 1), rate / 8.0, rate);
    out.append(line, static_cast<std::size_t>(length));
}

int ServerLines::AppendStreamInterval(std::int64_t second, int id, std::string& out) {
    // One of several streams sharing a gigabit link: 50 to 62 Mbit/s each.
    random_ = random_ * 1664525u + 1013904223u;
    const double rate = 50.0 + static_cast<double>((random_ >> 16) % 120) / 10.0;
    char line[128];
    const int length = std::snprintf(
        line, sizeof line, "[%3d] %lld.0000-%lld.0000 sec  %.2f MBytes  %.1f Mbits/sec", id,
        static_cast<long long>(second), static_cast<long long>(second + 1), rate / 8.0, rate);
    out.append(line, static_cast<std::size_t>(length));
    return static_cast<int>(rate);
}

void ServerLines::AppendSumInterval(std::int64_t second, int rate, std::string& out) {
    char line[128];
    const int length = std::snprintf(
        line, sizeof line, "[SUM] %lld.0000-%lld.0000 sec  %4.0f MBytes  %d Mbits/sec",
        static_cast<long long>(second), static_cast<long long>(second + 1), rate / 8.0, rate);
    out.append(line, static_cast<std::size_t>(length));
}

}  // namespace quarn::bench
