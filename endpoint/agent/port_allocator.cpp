#include "endpoint/agent/port_allocator.h"

#include "platform/port_table.h"

namespace quarn::agent {
namespace {

constexpr uint16_t kBusyAbove = 5000;
constexpr int kHighestPort = 65535;

std::set<uint16_t> SystemBusyPorts(bool udp) {
    return udp ? platform::BusyUdpPorts(kBusyAbove) : platform::BusyTcpPorts(kBusyAbove);
}

}  // namespace

PortAllocator::PortAllocator(BusyPortReader reader)
    : reader_(reader ? std::move(reader) : BusyPortReader(SystemBusyPorts)) {}

std::vector<uint16_t> PortAllocator::Choose(bool udp) {
    // The tables are read before taking the lock, as the lock guards only the counter.
    const std::set<uint16_t> busy = reader_(udp);
    std::lock_guard lock(mutex_);
    return PickCandidates(next_, busy);
}

void PortAllocator::Reset() {
    SetNext(kFirstPort);
}

int PortAllocator::Next() const {
    std::lock_guard lock(mutex_);
    return next_;
}

void PortAllocator::SetNext(int port) {
    std::lock_guard lock(mutex_);
    next_ = port;
}

std::vector<uint16_t> PickCandidates(int& next, const std::set<uint16_t>& busy) {
    if (next > PortAllocator::kWrapAbove || next < PortAllocator::kFirstPort) {
        next = PortAllocator::kFirstPort;
    }
    std::vector<uint16_t> candidates;
    // Never past the last port number, whatever the span would reach.
    const int last = std::min(next + PortAllocator::kSearchSpan - 1, kHighestPort);
    for (int port = next; port <= last && candidates.size() < PortAllocator::kCandidates; ++port) {
        if (busy.count(static_cast<uint16_t>(port)) == 0) {
            candidates.push_back(static_cast<uint16_t>(port));
        }
    }
    if (!candidates.empty()) {
        next = candidates.back() + 1;
    }
    return candidates;
}

uint16_t AttemptPort(const std::vector<uint16_t>& candidates, size_t attempt) {
    if (candidates.empty()) {
        return PortAllocator::kFirstPort;
    }
    return candidates[std::min(attempt, candidates.size() - 1)];
}

}  // namespace quarn::agent
