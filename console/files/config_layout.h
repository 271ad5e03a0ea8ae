#pragma once

#include <cstddef>
#include <string_view>

namespace quarn::console {

// Fixed pieces of the .config layout shared by the writer and the reader.
inline constexpr std::string_view kConfigIdentifier = "{2E01FA3A-1C1D-4df1-BB63-3DB505F897BD}";
inline constexpr std::size_t kConfigHeaderSize = 2 + kConfigIdentifier.size();  // BOM + id
inline constexpr char kRecordEnd = '\n';
inline constexpr char kPartEnd = '\r';
inline constexpr char kAddressNameSeparator = '"';
inline constexpr std::string_view kNameBlockStart = "\r\r\r\r\r[";
inline constexpr std::string_view kNameBlockEnd = "]\r\r\r\r\r";
inline constexpr std::u16string_view kNameBlockStart16 = u"\r\r\r\r\r[";
inline constexpr std::u16string_view kNameBlockEnd16 = u"]\r\r\r\r\r";

}  // namespace quarn::console
