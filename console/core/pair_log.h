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

// A pair's log. A run may last days and produce tens of millions of lines, and a peer
// may send anything, so the log keeps its memory bounded: text goes into 64 KiB blocks
// that are compressed once full, an overlong line is cut and marked, and past a limit
// further lines are dropped after one line that says so.
class PairLog {
  public:
    static constexpr std::size_t kNoLine = static_cast<std::size_t>(-1);
    // iperf's lines are short; a longer one is kept up to here and marked as cut.
    static constexpr std::size_t kMaxLineBytes = 2048;
    static constexpr std::string_view kCutMark = " [line cut]";
    // Memory one log may hold; 16 pairs stay below 1 GiB. A run of three days with 16
    // streams per pair needs about half of it (32 MiB), so only junk reaches it.
    static constexpr std::size_t kMaxHeldBytes = std::size_t{60} << 20;
    static constexpr std::string_view kDroppedLine =
        "[log limit reached: later lines of this run are not kept]";

    PairLog();
    PairLog(const PairLog& other);
    PairLog& operator=(const PairLog& other);
    PairLog(PairLog&&) noexcept;
    PairLog& operator=(PairLog&&) noexcept;
    ~PairLog();

    // The new line's index, or kNoLine when it was not kept (the log is full).
    std::size_t Append(std::string_view line, bool counted = false);
    void Clear();
    bool Empty() const { return Size() == 0; }
    std::size_t Size() const;
    // Bytes of the longest line kept, so a view can size itself without reading them all.
    std::size_t LongestLine() const;
    // Line i ("" past the end). The view stays valid until the next call of Text, At,
    // Append or Clear on this log: lines of a compressed block are read from the one
    // block held unpacked. Copy it to keep it longer.
    std::string_view Text(std::size_t i) const;
    bool Counted(std::size_t i) const;
    void MarkLastCounted();
    // Marks line i; kNoLine or any index past the end is ignored.
    void MarkCounted(std::size_t i);
    LogLine At(std::size_t i) const { return {Counted(i), std::string(Text(i))}; }
    // True once lines were dropped for the memory limit.
    bool Full() const;
    // Bytes held for the text, the index and the unpacked block, for the benchmark.
    std::size_t BytesReserved() const;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace quarn::console
