#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quarn::platform {

struct Utf8Step {
    char32_t codePoint = 0;
    size_t length = 1;  // bytes consumed; for invalid input the maximal invalid subpart
    bool valid = false;
};

// Decodes one code point at pos (pos < text.size()): no overlong forms, no surrogates,
// nothing above U+10FFFF.
Utf8Step DecodeUtf8(std::string_view text, size_t pos);

// Appends one code point (at most U+10FFFF, no surrogate) as UTF-8.
void AppendUtf8(std::string& out, char32_t codePoint);

}  // namespace quarn::platform
