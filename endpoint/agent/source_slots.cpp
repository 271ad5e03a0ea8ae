#include "endpoint/agent/source_slots.h"

namespace quarn::agent {

SourceSlots::Slot& SourceSlots::Slot::operator=(Slot&& other) noexcept {
    if (this != &other) {
        Release();
        owner_ = std::exchange(other.owner_, nullptr);
        source_ = other.source_;
    }
    return *this;
}

void SourceSlots::Slot::Release() {
    if (owner_ != nullptr) {
        owner_->Give(source_);
        owner_ = nullptr;
    }
}

SourceSlots::Slot SourceSlots::TryTake(uint32_t source) {
    std::lock_guard lock(mutex_);
    int& held = held_[source];
    if (held >= perSource_) {
        return Slot();
    }
    ++held;
    return Slot(this, source);
}

int SourceSlots::Held(uint32_t source) const {
    std::lock_guard lock(mutex_);
    const auto found = held_.find(source);
    return found == held_.end() ? 0 : found->second;
}

void SourceSlots::Give(uint32_t source) {
    std::lock_guard lock(mutex_);
    const auto found = held_.find(source);
    if (found != held_.end() && --found->second <= 0) {
        held_.erase(found);
    }
}

}  // namespace quarn::agent
