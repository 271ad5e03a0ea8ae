#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quarn::console {

// One received iperf output line and whether its value entered a tick's statistics.
struct LogLine {
    bool counted = false;
    std::string text;
};

// A pair's log. A run may last days and produce millions of lines, so the text is kept
// in fixed-size blocks (no doubling slack) with one packed offset per line.
class PairLog {
  public:
    PairLog();
    PairLog(const PairLog& other);
    PairLog& operator=(const PairLog& other);
    PairLog(PairLog&&) noexcept;
    PairLog& operator=(PairLog&&) noexcept;
    ~PairLog();

    static constexpr std::size_t kNoLine = static_cast<std::size_t>(-1);

    // The new line's index, or kNoLine when it was not kept.
    std::size_t Append(std::string_view line, bool counted = false);
    void Clear();
    bool Empty() const { return Size() == 0; }
    std::size_t Size() const;
    std::string_view Text(std::size_t i) const;
    bool Counted(std::size_t i) const;
    void MarkLastCounted();
    // Marks line i; kNoLine or any index past the end is ignored.
    void MarkCounted(std::size_t i);
    LogLine At(std::size_t i) const { return {Counted(i), std::string(Text(i))}; }
    // Bytes held for the text and the index, for the memory benchmark.
    std::size_t BytesReserved() const;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace quarn::console
