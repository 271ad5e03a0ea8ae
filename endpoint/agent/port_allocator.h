#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <set>
#include <vector>

namespace quarn::agent {

// Busy local ports above 5000 of the UDP (true) or TCP (false) table.
using BusyPortReader = std::function<std::set<uint16_t>(bool udp)>;

// The next iperf data port shared by all server roles, behind the port lock.
class PortAllocator {
  public:
    static constexpr int kFirstPort = 5001;
    static constexpr int kWrapAbove = 65499;
    static constexpr size_t kCandidates = 3;
    static constexpr int kSearchSpan = 200;

    // An empty reader reads the system's tables.
    explicit PortAllocator(BusyPortReader reader = {});

    // Up to three free ports from the next port upward; moves the next port past them.
    std::vector<uint16_t> Choose(bool udp);
    void Reset();
    int Next() const;
    void SetNext(int port);

  private:
    BusyPortReader reader_;
    mutable std::mutex mutex_;
    int next_ = kFirstPort;
};

// The candidate search of one server role on a given busy set; updates next.
std::vector<uint16_t> PickCandidates(int& next, const std::set<uint16_t>& busy);

// The port of attempt 0, 1 or 2: that candidate, else the one before (5001 before any).
uint16_t AttemptPort(const std::vector<uint16_t>& candidates, size_t attempt);

}  // namespace quarn::agent
