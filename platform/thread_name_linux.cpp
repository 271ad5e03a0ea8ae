#include "platform/thread_name.h"

#include <pthread.h>

#include <array>

namespace quarn::platform {

namespace {
constexpr size_t kMaxName = 15;  // comm holds 16 bytes with its NUL
}

void NameThisThread(std::string_view name) {
    const std::string cut(name.substr(0, kMaxName));
    pthread_setname_np(pthread_self(), cut.c_str());
}

std::string ThisThreadName() {
    std::array<char, kMaxName + 1> name{};
    if (pthread_getname_np(pthread_self(), name.data(), name.size()) != 0) {
        return {};
    }
    return name.data();
}

}  // namespace quarn::platform
