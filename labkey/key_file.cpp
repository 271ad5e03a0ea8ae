#include "labkey/key_file.h"

#include "platform/private_file.h"

namespace quarn::labkey {
namespace {

// The line and its end, with room to spare.
constexpr std::size_t kMaxKeyFileBytes = 256;

}  // namespace

std::string FormatKeyFile(const LabKey& key) {
    return std::string(kKeyFileTag) + " " + ToHex(key.Bytes()) + "\n";
}

std::optional<LabKey> ParseKeyFile(std::string_view text) {
    if (text.ends_with("\n")) {
        text.remove_suffix(1);
        if (text.ends_with("\r")) {
            text.remove_suffix(1);
        }
    }
    if (!text.starts_with(kKeyFileTag) || text.size() != kKeyFileTag.size() + 1 + 2 * kKeyBytes ||
        text[kKeyFileTag.size()] != ' ') {
        return std::nullopt;
    }
    const std::optional<std::string> bytes = FromHex(text.substr(kKeyFileTag.size() + 1));
    return bytes ? LabKey::FromBytes(*bytes) : std::nullopt;
}

bool WriteNewKeyFile(const std::string& path, std::string& why) {
    if (const auto failed = platform::WritePrivateFile(path, FormatKeyFile(LabKey::Generate()))) {
        why = *failed;
        return false;
    }
    return true;
}

std::optional<LabKey> LoadKeyFile(const std::string& path, std::string& why) {
    const std::optional<std::string> text = platform::ReadPrivateFile(path, kMaxKeyFileBytes, why);
    if (!text) {
        return std::nullopt;
    }
    std::optional<LabKey> key = ParseKeyFile(*text);
    if (!key) {
        why = "not a lab key file (make one with Quarn_EndPoint --new-lab-key FILE)";
    }
    return key;
}

}  // namespace quarn::labkey
