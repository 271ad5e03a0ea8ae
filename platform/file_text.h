#pragma once

#include <optional>
#include <string>

namespace quarn::platform {

// Whole contents of a (small) file such as those under /proc; nullopt when unreadable.
std::optional<std::string> ReadFileText(const std::string& path);

}  // namespace quarn::platform
