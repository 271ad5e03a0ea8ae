#pragma once

#include <cstdint>
#include <string>

namespace quarn::bench {

// What one iperf 2.1.8 server prints for a TCP client reporting every second ("-i 1 -f m").
class ServerLines {
  public:
    ServerLines(std::string serverAddress, std::string clientAddress, int port);

    static constexpr int kHeaderLines = 6;
    // Header line 0..kHeaderLines-1: separators, "Server listening", the window, the
    // connection and the column titles.
    std::string Header(int index) const;
    // The report of interval [second, second + 1), appended to out (no LF).
    void AppendInterval(std::int64_t second, std::string& out);
    // With parallel streams: stream `id`'s report of the interval (returns its rate in
    // Mbit/s), and the "[SUM]" line of all streams.
    int AppendStreamInterval(std::int64_t second, int id, std::string& out);
    static void AppendSumInterval(std::int64_t second, int rate, std::string& out);

  private:
    std::string serverAddress_;
    std::string clientAddress_;
    int port_;
    std::uint32_t random_;
};

}  // namespace quarn::bench
