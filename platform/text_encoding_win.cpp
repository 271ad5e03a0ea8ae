#include "platform/text_encoding.h"

#include <windows.h>

#include <cstdlib>
#include <cstring>

#include "platform/windows_text.h"

namespace quarn::platform {
namespace {

// Code page of an iconv-style name: "UTF-8", "CP949", "WINDOWS-1252"; 0 when unknown.
UINT CodePageOf(const char* codeset) {
    if (_stricmp(codeset, "UTF-8") == 0 || _stricmp(codeset, "UTF8") == 0) {
        return CP_UTF8;
    }
    for (const char* prefix : {"CP", "WINDOWS-"}) {
        const size_t length = std::strlen(prefix);
        if (_strnicmp(codeset, prefix, length) == 0) {
            char* end = nullptr;
            const unsigned long page = std::strtoul(codeset + length, &end, 10);
            return end != codeset + length && *end == '\0' ? static_cast<UINT>(page) : 0;
        }
    }
    return 0;
}

// nullopt when a byte does not convert (strict) ; otherwise unconvertible input was replaced.
std::optional<std::wstring> ToWide(std::string_view text, UINT page, bool strict) {
    if (text.empty()) {
        return std::wstring();
    }
    const DWORD flags = strict ? MB_ERR_INVALID_CHARS : 0;
    const int length =
        MultiByteToWideChar(page, flags, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (length <= 0) {
        return std::nullopt;
    }
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(page, flags, text.data(), static_cast<int>(text.size()), wide.data(),
                        length);
    return wide;
}

// Bytes without a character in the code page come out as U+FFFD or the page's default
// character; either is shown as '?' as on Linux.
std::string ReplaceUnknown(std::wstring wide) {
    for (wchar_t& unit : wide) {
        if (unit == 0xFFFD) {
            unit = L'?';
        }
    }
    return Narrow(wide);
}

}  // namespace

std::string AnsiToUtf8(std::string_view text) {
    const UINT page = GetACP();
    if (page == CP_UTF8) {
        return SanitizeUtf8(text);
    }
    return ReplaceUnknown(ToWide(text, page, false).value_or(std::wstring()));
}

std::string Utf8ToAnsi(std::string_view text) {
    const UINT page = GetACP();
    const std::string clean = SanitizeUtf8(text);
    if (page == CP_UTF8 || clean.empty()) {
        return clean;
    }
    const std::wstring wide = Widen(clean);
    const int length = WideCharToMultiByte(page, 0, wide.data(), static_cast<int>(wide.size()),
                                           nullptr, 0, "?", nullptr);
    if (length <= 0) {
        return {};
    }
    std::string out(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(page, 0, wide.data(), static_cast<int>(wide.size()), out.data(), length,
                        "?", nullptr);
    return out;
}

std::optional<std::string> ToUtf8Strict(std::string_view text, const char* codeset) {
    const UINT page = CodePageOf(codeset);
    if (page == 0) {
        return std::nullopt;
    }
    if (page == CP_UTF8) {
        return IsValidUtf8(text) ? std::optional<std::string>(text) : std::nullopt;
    }
    const std::optional<std::wstring> wide = ToWide(text, page, true);
    if (!wide) {
        return std::nullopt;
    }
    return Narrow(*wide);
}

std::optional<std::string> AnsiToUtf8Strict(std::string_view text) {
    return ToUtf8Strict(text, ("CP" + std::to_string(GetACP())).c_str());
}

}  // namespace quarn::platform
