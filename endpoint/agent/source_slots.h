#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <utility>

#include "address/ip_address.h"

namespace quarn::agent {

// Counts what each source holds (connections, iperf servers) against a bound, so that one
// host cannot take everything the EndPoint serves at once. An IPv6 source counts by its /64.
class SourceSlots {
  public:
    explicit SourceSlots(int perSource) : perSource_(perSource) {}
    SourceSlots(const SourceSlots&) = delete;
    SourceSlots& operator=(const SourceSlots&) = delete;

    // Held for its lifetime; an empty Slot holds nothing.
    class Slot {
      public:
        Slot() = default;
        Slot(Slot&& other) noexcept
            : owner_(std::exchange(other.owner_, nullptr)), source_(std::move(other.source_)) {}
        Slot& operator=(Slot&& other) noexcept;
        Slot(const Slot&) = delete;
        Slot& operator=(const Slot&) = delete;
        ~Slot() { Release(); }

        explicit operator bool() const { return owner_ != nullptr; }

      private:
        friend class SourceSlots;
        Slot(SourceSlots* owner, IpAddress source) : owner_(owner), source_(std::move(source)) {}
        void Release();

        SourceSlots* owner_ = nullptr;
        IpAddress source_;
    };

    // An empty Slot when the source already holds its bound.
    Slot TryTake(const IpAddress& source);
    Slot TryTake(uint32_t source) { return TryTake(IpAddress::V4(source)); }
    int Held(const IpAddress& source) const;
    int Held(uint32_t source) const { return Held(IpAddress::V4(source)); }

  private:
    void Give(const IpAddress& block);

    const int perSource_;
    mutable std::mutex mutex_;
    std::map<IpAddress, int> held_;  // by SourceBlock
};

}  // namespace quarn::agent
