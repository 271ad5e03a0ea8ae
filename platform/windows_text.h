#pragma once

#include <string>
#include <string_view>

namespace quarn::platform {

// Text for the Win32 wide-character calls; invalid UTF-8 becomes U+FFFD.
std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view wide);

}  // namespace quarn::platform
