#include "console/records/second_queue.h"

namespace quarn::console::records {

SecondQueue::SecondQueue(std::size_t capacity)
    : slots_(capacity < 1 ? 1 : capacity, Item({}, false)), capacity_(slots_.size()) {
    spare_.reserve(capacity_ + 1);
}

SecondQueue::Item SecondQueue::Push(Item item) {
    std::unique_lock lock(mutex_);
    if (count_ >= capacity_) {
        ++fullWaits_;
        room_.wait(lock, [this] { return count_ < capacity_; });
    }
    slots_[(head_ + count_) % capacity_] = std::move(item);
    // The consumer waits only for an empty queue: with items already there it is awake or
    // already woken.
    const bool wake = count_++ == 0;
    ++pushed_;
    Item next({}, false);
    if (!spare_.empty()) {
        next = std::move(spare_.back());
        spare_.pop_back();
    }
    // Woken after the unlock, the consumer does not wake only to wait for the lock.
    lock.unlock();
    if (wake)
        items_.notify_one();
    return next;
}

std::optional<SecondQueue::Item> SecondQueue::Pop(std::stop_token stop) {
    std::unique_lock lock(mutex_);
    if (!items_.wait(lock, stop, [this] { return count_ > 0; }))
        return std::nullopt;
    Item item = std::move(slots_[head_]);
    head_ = (head_ + 1) % capacity_;
    --count_;
    room_.notify_one();
    return item;
}

void SecondQueue::Item::Clear() {
    lines.clear();
    last = false;
    strings.clear();
    at.reset();
    time.clear();
    seconds.clear();
}

void SecondQueue::Done(Item spent) {
    spent.Clear();
    std::lock_guard lock(mutex_);
    ++finished_;
    done_.notify_all();
    // Beyond the bound its buffers are freed: after a burst, memory goes back.
    if (spare_.size() < capacity_ + 1)
        spare_.push_back(std::move(spent));
}

bool SecondQueue::WaitDone(std::chrono::milliseconds limit) {
    std::unique_lock lock(mutex_);
    return done_.wait_for(lock, limit, [this] { return finished_ == pushed_; });
}

long long SecondQueue::FullWaits() const {
    std::lock_guard lock(mutex_);
    return fullWaits_;
}

}  // namespace quarn::console::records
