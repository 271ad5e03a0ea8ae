#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/adapters.h"
#include "platform/adapters6.h"
#include "platform/address_changes.h"

namespace quarn::agent {

// What the agent says about the machine's addresses, from one listing.
struct AddressLists {
    std::optional<uint32_t> primary;
    std::vector<platform::Adapter> adapters;             // qualifying IPv4
    std::vector<platform::Interface6Address> adapters6;  // qualifying IPv6
};

// The address lists as last made. A Console probes once a second per pair, and on Windows
// a listing costs many times what the answer does, so answers use this copy. It is made
// anew when the system reports a change since, and at each identity refresh, which is what
// bounds its age where the system does not tell.
class AddressSnapshot {
  public:
    using Lister = std::function<AddressLists()>;
    // The machine's lists now: one listing of both families and the default route.
    static AddressLists ListNow();

    explicit AddressSnapshot(Lister list = ListNow) : list_(std::move(list)) {}

    // The copy, made anew first if the system reported a change since it was made.
    std::shared_ptr<const AddressLists> Current();
    // A copy made now.
    std::shared_ptr<const AddressLists> Renew();

  private:
    std::shared_ptr<const AddressLists> RenewLocked();

    const Lister list_;
    std::mutex mutex_;  // the responders of both families and the refresh share the copy
    platform::AddressChanges changes_;
    std::shared_ptr<const AddressLists> lists_;
};

}  // namespace quarn::agent
