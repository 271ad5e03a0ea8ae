#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/private_file.h"
#include "platform/windows_text.h"

namespace quarn::platform {

// NTFS permissions are inherited from the folder: a key kept in the user's own profile
// (%APPDATA%) is readable by that user and administrators only. Nothing here can check
// an ACL cheaply, so the folder is the operator's to choose.
std::optional<std::string> WritePrivateFile(const std::string& path, std::string_view bytes) {
    std::ifstream existing(std::filesystem::path(Widen(path)));
    if (existing) {
        return std::string("the file exists already");
    }
    std::ofstream out(std::filesystem::path(Widen(path)), std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.flush();
    return out.good() ? std::nullopt : std::optional<std::string>("cannot write the file");
}

std::optional<std::string> ReadPrivateFile(const std::string& path, std::size_t maxBytes,
                                           std::string& why) {
    std::ifstream in(std::filesystem::path(Widen(path)), std::ios::binary);
    if (!in) {
        why = "cannot open the file";
        return std::nullopt;
    }
    std::string contents;
    char buffer[512];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
        contents.append(buffer, static_cast<std::size_t>(in.gcount()));
        if (contents.size() > maxBytes) {
            why = "too large for a key file";
            return std::nullopt;
        }
    }
    return contents;
}

}  // namespace quarn::platform
