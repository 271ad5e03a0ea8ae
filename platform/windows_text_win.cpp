#include "platform/text_encoding.h"
#include "platform/windows_text.h"

namespace quarn::platform {

// wchar_t is UTF-16 on Windows, so the shared converters serve.
std::wstring Widen(std::string_view utf8) {
    const std::u16string wide = Utf8ToUtf16(utf8);
    return std::wstring(wide.begin(), wide.end());
}

std::string Narrow(std::wstring_view wide) {
    return Utf16ToUtf8(std::u16string(wide.begin(), wide.end()));
}

}  // namespace quarn::platform
