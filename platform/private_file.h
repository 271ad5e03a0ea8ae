#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quarn::platform {

// Creates path (it must not exist yet) readable and writable by its owner only, with
// bytes as its contents; the reason when it cannot.
std::optional<std::string> WritePrivateFile(const std::string& path, std::string_view bytes);

// The contents of a file only its owner (or the service manager for it) can read, at most
// maxBytes; nullopt with the reason when it cannot be read, is too large, or others may
// read or change it.
std::optional<std::string> ReadPrivateFile(const std::string& path, std::size_t maxBytes,
                                           std::string& why);

}  // namespace quarn::platform
