#include "endpoint/agent/address_snapshot.h"

namespace quarn::agent {

AddressLists AddressSnapshot::ListNow() {
    const platform::AddressListing listing = platform::ListAddresses();
    return {platform::PrimaryAddressAmong(listing.v4, platform::DefaultRouteInterface()),
            platform::SelectQualifying(listing.v4), platform::SelectQualifying6(listing.v6)};
}

std::shared_ptr<const AddressLists> AddressSnapshot::Current() {
    std::lock_guard lock(mutex_);
    const bool changed = changes_.SinceLastLook();
    if (changed || lists_ == nullptr) {
        return RenewLocked();
    }
    return lists_;
}

std::shared_ptr<const AddressLists> AddressSnapshot::Renew() {
    std::lock_guard lock(mutex_);
    changes_.SinceLastLook();  // the listing below covers what was reported so far
    return RenewLocked();
}

std::shared_ptr<const AddressLists> AddressSnapshot::RenewLocked() {
    lists_ = std::make_shared<const AddressLists>(list_());
    return lists_;
}

}  // namespace quarn::agent
