#pragma once

#include <string>
#include <string_view>

namespace quarn::protocol {

// "ok;<port>\r\n"
std::string FormatOkReply(int port);

// The port of an "ok;<digits>" reply (0 when no digits follow), -1 when it is not "ok".
int ParseOkReply(std::string_view reply);

}  // namespace quarn::protocol
