#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace quarn::console {

// Cuts a received byte stream into lines at LF. A line split across chunks is handed over
// once, complete; a trailing CR stays on the line. Splitting happens on raw bytes, before
// any character set conversion, so a multibyte character cut by a chunk boundary survives.
class LineSplitter {
  public:
    using LineHandler = std::function<void(std::string_view line)>;

    // A peer that never sends LF must not grow the buffer without bound: text this long
    // without LF is handed over as a line of its own.
    static constexpr size_t kMaxLineBytes = 64 * 1024;

    void Feed(std::string_view chunk, const LineHandler& onLine);

    // Bytes after the last LF, waiting for the rest of their line.
    const std::string& Pending() const { return pending_; }

  private:
    std::string pending_;
};

}  // namespace quarn::console
