#include "platform/name_store.h"

#include <windows.h>

#include <cstdio>

#include "platform/windows_text.h"

namespace quarn::platform {
namespace {

constexpr size_t kComputerNameMax = 24;

std::string EnvValue(const wchar_t* name) {
    const wchar_t* value = _wgetenv(name);
    return value != nullptr ? Narrow(value) : std::string();
}

// Every missing folder of dir, from the top down.
bool MakeDirs(const std::wstring& dir) {
    for (size_t slash = dir.find_first_of(L"\\/", 3);;
         slash = dir.find_first_of(L"\\/", slash + 1)) {
        const std::wstring prefix = dir.substr(0, slash);
        if (!CreateDirectoryW(prefix.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
            return false;
        }
        if (slash == std::wstring::npos) {
            break;
        }
    }
    const DWORD attributes = GetFileAttributesW(dir.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool WriteWhole(const std::wstring& path, const std::string& content) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    DWORD written = 0;
    bool ok =
        WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr) &&
        written == content.size() && FlushFileBuffers(file);
    ok = CloseHandle(file) && ok;
    return ok;
}

}  // namespace

std::string NameStore::DefaultDir() {
    if (std::string own = EnvValue(L"QUARN_CONFIG_HOME"); !own.empty()) {
        return own;
    }
    return EnvValue(L"APPDATA") + "\\Quarn";
}

bool NameStore::Save(std::string_view name) const {
    if (!Storable(name) || !MakeDirs(Widen(dir_))) {
        return false;
    }
    const std::wstring target = Widen(FilePath());
    const std::wstring temp = target + L".tmp" + std::to_wstring(GetCurrentProcessId());
    const bool ok = WriteWhole(temp, Content(name)) &&
                    MoveFileExW(temp.c_str(), target.c_str(),
                                MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (!ok) {
        DeleteFileW(temp.c_str());
    }
    return ok;
}

bool NameStore::Remove() const {
    return DeleteFileW(Widen(FilePath()).c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND ||
           GetLastError() == ERROR_PATH_NOT_FOUND;
}

std::string ComputerName() {
    wchar_t buffer[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD length = MAX_COMPUTERNAME_LENGTH + 1;
    if (!GetComputerNameW(buffer, &length)) {
        return {};
    }
    std::string name = Narrow(std::wstring_view(buffer, length));
    if (name.size() > kComputerNameMax) {
        name.resize(kComputerNameMax);
    }
    return name;
}

}  // namespace quarn::platform
