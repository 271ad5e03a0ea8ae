#include <arpa/inet.h>
#include <netdb.h>

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

#include "platform/host_lookup.h"

namespace quarn::platform {
namespace {

// What the resolving thread hands back. Shared, so that a lookup given up on leaves the
// thread nothing of the caller's to touch.
struct Answer {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    std::vector<std::uint32_t> addresses;
};

std::vector<std::uint32_t> Addresses(const addrinfo* list) {
    std::vector<std::uint32_t> addresses;
    for (const addrinfo* info = list; info != nullptr; info = info->ai_next) {
        if (info->ai_family != AF_INET || info->ai_addr == nullptr)
            continue;
        sockaddr_in address{};
        std::memcpy(&address, info->ai_addr, sizeof address);
        const std::uint32_t host = ntohl(address.sin_addr.s_addr);
        if (std::find(addresses.begin(), addresses.end(), host) == addresses.end())
            addresses.push_back(host);
    }
    return addresses;
}

void Resolve(const std::string& name, Answer& answer) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* list = nullptr;
    std::vector<std::uint32_t> found;
    if (getaddrinfo(name.c_str(), nullptr, &hints, &list) == 0) {
        found = Addresses(list);
        freeaddrinfo(list);
    }
    {
        const std::lock_guard lock(answer.mutex);
        answer.addresses = std::move(found);
        answer.finished = true;
    }
    answer.done.notify_all();
}

}  // namespace

std::vector<std::uint32_t> LookUpIpv4(const std::string& name, std::chrono::milliseconds limit) {
    if (name.empty())
        return {};
    auto answer = std::make_shared<Answer>();
    try {
        // getaddrinfo cannot be cancelled: a lookup past the limit is left to finish on
        // its own thread, which owns a share of the answer and a copy of the name.
        std::thread([answer, name] { Resolve(name, *answer); }).detach();
    } catch (const std::system_error&) {
        return {};
    }
    std::unique_lock lock(answer->mutex);
    if (!answer->done.wait_for(lock, limit, [&] { return answer->finished; }))
        return {};
    return answer->addresses;
}

}  // namespace quarn::platform
