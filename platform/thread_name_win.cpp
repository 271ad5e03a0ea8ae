#include "platform/thread_name.h"

#include <windows.h>

#include "platform/windows_text.h"

namespace quarn::platform {
namespace {

constexpr size_t kMaxName = 15;  // as on Linux; Wine passes the name on to the Unix thread

using SetDescription = HRESULT(WINAPI*)(HANDLE, PCWSTR);
using GetDescription = HRESULT(WINAPI*)(HANDLE, PWSTR*);

// Windows 10 1607 and later; looked up so that an older system only goes without names.
template <typename Function>
Function Kernel32(const char* name) {
    const HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll");
    return kernel32 == nullptr ? nullptr
                               : reinterpret_cast<Function>(
                                     reinterpret_cast<void*>(GetProcAddress(kernel32, name)));
}

}  // namespace

void NameThisThread(std::string_view name) {
    static const auto set = Kernel32<SetDescription>("SetThreadDescription");
    if (set != nullptr) {
        set(GetCurrentThread(), Widen(name.substr(0, kMaxName)).c_str());
    }
}

std::string ThisThreadName() {
    static const auto get = Kernel32<GetDescription>("GetThreadDescription");
    PWSTR description = nullptr;
    if (get == nullptr || FAILED(get(GetCurrentThread(), &description)) || description == nullptr) {
        return {};
    }
    std::string name = Narrow(description);
    LocalFree(description);
    return name;
}

}  // namespace quarn::platform
