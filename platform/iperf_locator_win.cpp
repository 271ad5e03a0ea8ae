#include "platform/iperf_locator.h"

#include <windows.h>

#include <cstdlib>

#include "platform/windows_text.h"

namespace quarn::platform {
namespace {

bool IsFile(const std::string& path) {
    const DWORD attributes = GetFileAttributesW(Widen(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string EnvValue(const wchar_t* name) {
    const wchar_t* value = _wgetenv(name);
    return value != nullptr ? Narrow(value) : std::string();
}

std::string FindOnPath(const std::string& program) {
    const std::string path = EnvValue(L"PATH");
    std::string_view dirs = path;
    while (true) {
        const size_t semicolon = dirs.find(';');
        const std::string_view dir = dirs.substr(0, semicolon);
        if (!dir.empty()) {
            const std::string candidate = std::string(dir) + "\\" + program;
            if (IsFile(candidate)) {
                return candidate;
            }
        }
        if (semicolon == std::string_view::npos) {
            return {};
        }
        dirs.remove_prefix(semicolon + 1);
    }
}

}  // namespace

std::string FindIperf(const std::string& ownExeDir) {
    if (std::string overridden = EnvValue(L"QUARN_IPERF"); !overridden.empty()) {
        return overridden;
    }
    if (!ownExeDir.empty()) {
        const std::string beside = ownExeDir + "\\iperf.exe";
        if (IsFile(beside)) {
            return beside;
        }
    }
    const std::string onPath = FindOnPath("iperf.exe");
    return onPath.empty() ? "iperf.exe" : onPath;
}

std::string OwnExecutableDir() {
    std::wstring path(32768, L'\0');
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0 || length >= path.size()) {
        return {};
    }
    path.resize(length);
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::string() : Narrow(path.substr(0, slash));
}

}  // namespace quarn::platform
