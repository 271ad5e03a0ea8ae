#include "console/files/config_pass_lines.h"

namespace quarn::console {

std::string WithPassLineTokens(std::string qualityTokens, int qualityTokenCount,
                               const PassLines& lines) {
    const std::vector<std::string> tokens = PassLineTokens(lines);
    if (tokens.empty())
        return qualityTokens;
    if (qualityTokens.empty()) {
        for (int i = 0; i < qualityTokenCount; ++i)
            qualityTokens += " -";
    }
    for (const std::string& token : tokens)
        qualityTokens += " " + token;
    return qualityTokens;
}

void ApplyPassLineFileToken(std::string_view token, PassLines& lines) {
    ApplyPassLineToken(std::string(token), lines);
}

}  // namespace quarn::console
