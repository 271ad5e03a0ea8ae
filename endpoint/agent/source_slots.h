#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <utility>

namespace quarn::agent {

// Counts what each source address holds (connections, iperf servers) against a bound, so
// that one host cannot take everything the EndPoint serves at once.
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
            : owner_(std::exchange(other.owner_, nullptr)), source_(other.source_) {}
        Slot& operator=(Slot&& other) noexcept;
        Slot(const Slot&) = delete;
        Slot& operator=(const Slot&) = delete;
        ~Slot() { Release(); }

        explicit operator bool() const { return owner_ != nullptr; }

      private:
        friend class SourceSlots;
        Slot(SourceSlots* owner, uint32_t source) : owner_(owner), source_(source) {}
        void Release();

        SourceSlots* owner_ = nullptr;
        uint32_t source_ = 0;
    };

    // An empty Slot when the source already holds its bound.
    Slot TryTake(uint32_t source);
    int Held(uint32_t source) const;

  private:
    void Give(uint32_t source);

    const int perSource_;
    mutable std::mutex mutex_;
    std::map<uint32_t, int> held_;
};

}  // namespace quarn::agent
