#include "platform/host_lookup.h"

#include <arpa/inet.h>
#include <netdb.h>

#include <algorithm>
#include <cstring>
#include <ctime>
#include <memory>
#include <mutex>

namespace quarn::platform {
namespace {

// One asynchronous request: glibc writes into it from its own thread until it is done.
struct Request {
    std::string name;
    addrinfo hints{};
    gaicb block{};
    addrinfo* result() const { return block.ar_result; }
    ~Request() {
        if (block.ar_result != nullptr)
            freeaddrinfo(block.ar_result);
    }
};

// Requests glibc could not cancel stay here until they finish. Never destroyed: a
// resolver thread may still write into one while the process exits.
class Abandoned {
  public:
    void Keep(std::unique_ptr<Request> request) {
        const std::lock_guard lock(mutex_);
        std::erase_if(requests_, [](const std::unique_ptr<Request>& r) {
            return gai_error(&r->block) != EAI_INPROGRESS;
        });
        requests_.push_back(std::move(request));
    }

  private:
    std::mutex mutex_;
    std::vector<std::unique_ptr<Request>> requests_;
};

Abandoned& AbandonedRequests() {
    static auto* abandoned = new Abandoned;
    return *abandoned;
}

timespec ToTimespec(std::chrono::milliseconds limit) {
    const auto ms = std::max<long long>(limit.count(), 0);
    return timespec{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
}

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

}  // namespace

std::vector<std::uint32_t> LookUpIpv4(const std::string& name, std::chrono::milliseconds limit) {
    if (name.empty())
        return {};
    auto request = std::make_unique<Request>();
    request->name = name;
    request->hints.ai_family = AF_INET;
    request->hints.ai_socktype = SOCK_STREAM;
    request->block.ar_name = request->name.c_str();
    request->block.ar_request = &request->hints;
    gaicb* list[] = {&request->block};
    if (getaddrinfo_a(GAI_NOWAIT, list, 1, nullptr) != 0)
        return {};
    const timespec deadline = ToTimespec(limit);
    const gaicb* waiting[] = {&request->block};
    // One wait is enough: EAI_INTR (a signal) counts as the limit having passed.
    gai_suspend(waiting, 1, &deadline);
    if (gai_error(&request->block) == EAI_INPROGRESS) {
        if (gai_cancel(&request->block) == EAI_NOTCANCELED)
            AbandonedRequests().Keep(std::move(request));
        return {};
    }
    if (gai_error(&request->block) != 0)
        return {};
    return Addresses(request->result());
}

}  // namespace quarn::platform
