#include "platform/name_store.h"

#include <utility>

#include "platform/file_text.h"

namespace quarn::platform {
namespace {

constexpr std::string_view kKey = "EndPoint_Name=";

}  // namespace

NameStore::NameStore(std::string dir) : dir_(std::move(dir)) {}

std::string NameStore::FilePath() const {
    return dir_ + "/endpoint.conf";
}

std::optional<std::string> NameStore::Load() const {
    const std::optional<std::string> text = ReadFileText(FilePath());
    if (!text) {
        return std::nullopt;
    }
    std::string_view rest = *text;
    while (!rest.empty()) {
        const size_t end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (line.substr(0, kKey.size()) == kKey) {
            const std::string_view value = line.substr(kKey.size());
            return value.empty() ? std::nullopt : std::optional<std::string>(value);
        }
    }
    return std::nullopt;
}

bool NameStore::Storable(std::string_view name) {
    // A line break or NUL would change what Load reads back.
    return name.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}

std::string NameStore::Content(std::string_view name) {
    return std::string(kKey) + std::string(name) + "\n";
}

}  // namespace quarn::platform
