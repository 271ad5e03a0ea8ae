#include "protocol/tokens.h"

namespace quarn::protocol {

std::vector<std::string_view> SplitTokens(std::string_view text) {
    constexpr std::string_view kSeparators = " \r\n";
    std::vector<std::string_view> tokens;
    size_t pos = 0;
    while ((pos = text.find_first_not_of(kSeparators, pos)) != std::string_view::npos) {
        const size_t end = text.find_first_of(kSeparators, pos);
        tokens.push_back(text.substr(pos, end == std::string_view::npos ? end : end - pos));
        if (end == std::string_view::npos) {
            break;
        }
        pos = end;
    }
    return tokens;
}

}  // namespace quarn::protocol
