#include <charconv>
#include <filesystem>

#include "platform/file_text.h"
#include "platform/link_info.h"

namespace quarn::platform {
namespace {

// The first line's number; nothing for text that is no positive number ("-1" for no link).
std::optional<int> PositiveNumber(const std::optional<std::string>& text) {
    if (!text)
        return std::nullopt;
    int value = 0;
    const char* end = text->data() + text->size();
    const auto [ptr, ec] = std::from_chars(text->data(), end, value);
    if (ec != std::errc() || ptr == text->data() || value <= 0 || (ptr != end && *ptr != '\n'))
        return std::nullopt;
    return value;
}

bool SafeName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

}  // namespace

LinkInfo ReadLinkInfoFrom(const std::string& classNetDir, const std::string& interfaceName) {
    LinkInfo info;
    if (!SafeName(interfaceName))
        return info;
    const std::string dir = classNetDir + "/" + interfaceName + "/";
    info.speedMbps = PositiveNumber(ReadFileText(dir + "speed"));
    info.mtu = PositiveNumber(ReadFileText(dir + "mtu"));
    if (const auto duplex = ReadFileText(dir + "duplex")) {
        if (duplex->starts_with("full"))
            info.fullDuplex = true;
        else if (duplex->starts_with("half"))
            info.fullDuplex = false;
    }
    std::error_code error;
    info.wireless = std::filesystem::exists(dir + "wireless", error) ||
                    std::filesystem::exists(dir + "phy80211", error);
    return info;
}

}  // namespace quarn::platform
