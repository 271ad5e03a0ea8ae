#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quarn::platform {

// Network text is 8-bit in the locale's character set; inside we use UTF-8.
// The C locale (ASCII) is treated as UTF-8 so non-Latin names survive.
// Invalid bytes become '?'; these never throw.
std::string AnsiToUtf8(std::string_view text);
std::string Utf8ToAnsi(std::string_view text);

// Without replacements: nullopt as soon as one byte sequence does not convert.
std::optional<std::string> AnsiToUtf8Strict(std::string_view text);
// From the named character set (an iconv name such as "CP949").
std::optional<std::string> ToUtf8Strict(std::string_view text, const char* codeset);

bool IsValidUtf8(std::string_view text);
// UTF-8 with every invalid sequence replaced by '?'.
std::string SanitizeUtf8(std::string_view text);

// Invalid input becomes U+FFFD.
std::u16string Utf8ToUtf16(std::string_view text);
std::string Utf16ToUtf8(std::u16string_view text);

}  // namespace quarn::platform
