#include "platform/process_table.h"

#include <dirent.h>
#include <unistd.h>

#include <charconv>
#include <memory>

#include "platform/file_text.h"

namespace quarn::platform {
namespace {

std::optional<pid_t> ParsePid(std::string_view text) {
    pid_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty()) {
        return std::nullopt;
    }
    return value;
}

std::string ReadLink(const std::string& path) {
    std::string target(4096, '\0');
    const ssize_t length = readlink(path.c_str(), target.data(), target.size());
    if (length <= 0 || static_cast<size_t>(length) >= target.size()) {
        return {};
    }
    target.resize(static_cast<size_t>(length));
    return target;
}

struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};

}  // namespace

std::optional<pid_t> ParseStatParentPid(std::string_view statText) {
    // "pid (comm) state ppid ...": comm may hold anything, so look after its last ')'.
    const size_t close = statText.rfind(')');
    if (close == std::string_view::npos) {
        return std::nullopt;
    }
    std::string_view rest = statText.substr(close + 1);
    // " S 1234 ..."
    if (rest.size() < 4 || rest[0] != ' ' || rest[2] != ' ') {
        return std::nullopt;
    }
    rest.remove_prefix(3);
    return ParsePid(rest.substr(0, rest.find(' ')));
}

std::optional<ProcessInfo> ReadProcessInfo(pid_t pid) {
    const std::string base = "/proc/" + std::to_string(pid);
    const std::optional<std::string> stat = ReadFileText(base + "/stat");
    const std::optional<pid_t> ppid = stat ? ParseStatParentPid(*stat) : std::nullopt;
    if (!ppid) {
        return std::nullopt;
    }
    return ProcessInfo{pid, *ppid, ReadLink(base + "/exe")};
}

std::vector<ProcessInfo> ListProcesses() {
    std::vector<ProcessInfo> processes;
    std::unique_ptr<DIR, DirCloser> proc(opendir("/proc"));
    if (!proc) {
        return processes;
    }
    while (const dirent* entry = readdir(proc.get())) {
        const std::optional<pid_t> pid = ParsePid(entry->d_name);
        if (!pid) {
            continue;
        }
        if (std::optional<ProcessInfo> info = ReadProcessInfo(*pid)) {
            processes.push_back(std::move(*info));
        }
    }
    return processes;
}

std::optional<std::string> FindEnvironValue(std::string_view environText, std::string_view name) {
    while (!environText.empty()) {
        const size_t end = environText.find('\0');
        const std::string_view entry = environText.substr(0, end);
        if (entry.size() > name.size() && entry.substr(0, name.size()) == name &&
            entry[name.size()] == '=') {
            return std::string(entry.substr(name.size() + 1));
        }
        if (end == std::string_view::npos) {
            break;
        }
        environText.remove_prefix(end + 1);
    }
    return std::nullopt;
}

std::optional<std::string> ReadEnvironValue(pid_t pid, std::string_view name) {
    const std::optional<std::string> text =
        ReadFileText("/proc/" + std::to_string(pid) + "/environ");
    if (!text) {
        return std::nullopt;
    }
    return FindEnvironValue(*text, name);
}

}  // namespace quarn::platform
