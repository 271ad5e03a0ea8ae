#include "platform/iperf_marker.h"

#include <charconv>

namespace quarn::platform {

std::optional<pid_t> MarkerOwner(std::string_view markerValue, std::string_view role) {
    if (markerValue.size() <= role.size() + 1 || markerValue.substr(0, role.size()) != role ||
        markerValue[role.size()] != ':') {
        return std::nullopt;
    }
    const std::string_view digits = markerValue.substr(role.size() + 1);
    pid_t owner = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), owner);
    if (error != std::errc() || end != digits.data() + digits.size() || owner <= 0) {
        return std::nullopt;
    }
    return owner;
}

bool IsStray(const ProcessInfo& process, std::optional<std::string> marker, std::string_view role) {
    if (!marker) {
        return false;
    }
    const std::optional<pid_t> owner = MarkerOwner(*marker, role);
    return owner && process.ppid != *owner;
}

}  // namespace quarn::platform
