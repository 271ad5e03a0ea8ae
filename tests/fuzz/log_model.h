#pragma once

#include <string>
#include <string_view>

#include "console/core/pair_log.h"

namespace quarn::fuzz {

inline bool IsUtf8Continuation(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// What the pair log must give back for a line: the line itself, or an overlong line cut
// at the limit (up to three bytes earlier so no UTF-8 sequence is split) and marked.
inline std::string ExpectedLogText(std::string_view line) {
    using console::PairLog;
    if (line.size() <= PairLog::kMaxLineBytes) {
        return std::string(line);
    }
    std::size_t cut = PairLog::kMaxLineBytes;
    while (cut > PairLog::kMaxLineBytes - 3 && IsUtf8Continuation(line[cut])) {
        --cut;
    }
    return std::string(line.substr(0, cut)) + std::string(PairLog::kCutMark);
}

}  // namespace quarn::fuzz
