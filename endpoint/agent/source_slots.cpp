#include "endpoint/agent/source_slots.h"

namespace quarn::agent {

SourceSlots::Slot& SourceSlots::Slot::operator=(Slot&& other) noexcept {
    if (this != &other) {
        Release();
        owner_ = std::exchange(other.owner_, nullptr);
        source_ = std::move(other.source_);
    }
    return *this;
}

void SourceSlots::Slot::Release() {
    if (owner_ != nullptr) {
        owner_->Give(source_);
        owner_ = nullptr;
    }
}

SourceSlots::Slot SourceSlots::TryTake(const IpAddress& source) {
    IpAddress block = SourceBlock(source);
    std::lock_guard lock(mutex_);
    int& held = held_[block];
    if (held >= perSource_) {
        return Slot();
    }
    ++held;
    return Slot(this, std::move(block));
}

int SourceSlots::Held(const IpAddress& source) const {
    const IpAddress block = SourceBlock(source);
    std::lock_guard lock(mutex_);
    const auto found = held_.find(block);
    return found == held_.end() ? 0 : found->second;
}

void SourceSlots::Give(const IpAddress& block) {
    std::lock_guard lock(mutex_);
    const auto found = held_.find(block);
    if (found != held_.end() && --found->second <= 0) {
        held_.erase(found);
    }
}

}  // namespace quarn::agent
