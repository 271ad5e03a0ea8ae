#include "platform/file_text.h"

#include <cstdio>

#include "platform/windows_text.h"

namespace quarn::platform {

std::optional<std::string> ReadFileText(const std::string& path) {
    std::FILE* file = _wfopen(Widen(path).c_str(), L"rb");
    if (file == nullptr) {
        return std::nullopt;
    }
    std::string text;
    char buffer[4096];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        text.append(buffer, got);
    }
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed) {
        return std::nullopt;
    }
    return text;
}

}  // namespace quarn::platform
