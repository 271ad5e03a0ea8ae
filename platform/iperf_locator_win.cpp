#include "platform/iperf_locator.h"

#include <windows.h>

#include <cstdlib>

#include "platform/iperf_search.h"
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

}  // namespace

std::string FindIperf(const std::string& ownExeDir) {
    IperfSearch search;
    search.overridden = EnvValue(L"QUARN_IPERF");
    search.pathList = EnvValue(L"PATH");
    search.listSeparator = ';';
    search.dirSeparator = '\\';
    search.program = "iperf.exe";
    search.isProgram = IsFile;
    return FindIperfBy(search, ownExeDir);
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
