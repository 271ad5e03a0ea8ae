#pragma once

#include <string>
#include <string_view>

#include "platform/text_encoding.h"

namespace quarn::console {

// Configuration files hold UTF-16LE text while the program works in UTF-8. Anything
// that cannot be converted (invalid UTF-8, lone surrogates) becomes U+FFFD.
using platform::Utf16ToUtf8;
using platform::Utf8ToUtf16;

// Little-endian bytes of UTF-16 code units and back; an odd last byte is dropped.
std::string Utf16ToLeBytes(std::u16string_view utf16);
std::u16string Utf16FromLeBytes(std::string_view bytes);

}  // namespace quarn::console
