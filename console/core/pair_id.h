#pragma once

#include <compare>
#include <cstdint>
#include <functional>

namespace quarn::console {

// A pair's identity while the program runs. Logs, log windows, chart series and the
// selection follow it through Delete, Exchange, edits and saves; a row number is only
// where the pair stands in the list. Ids are never stored in a file: reading one gives
// every pair a fresh id.
class PairId {
  public:
    constexpr PairId() = default;
    // An id never handed out before in this process; callable from any thread (a file
    // is read on a worker).
    static PairId Next();

    constexpr bool Valid() const { return value_ != 0; }
    constexpr std::uint64_t Value() const { return value_; }
    friend constexpr auto operator<=>(PairId, PairId) = default;

  private:
    explicit constexpr PairId(std::uint64_t value) : value_(value) {}
    std::uint64_t value_ = 0;
};

}  // namespace quarn::console

template <>
struct std::hash<quarn::console::PairId> {
    std::size_t operator()(quarn::console::PairId id) const noexcept {
        return std::hash<std::uint64_t>{}(id.Value());
    }
};
