#include "console/records/second_queue.h"

namespace quarn::console::records {

void SecondQueue::Push(Item item) {
    std::unique_lock lock(mutex_);
    if (queue_.size() >= capacity_) {
        ++fullWaits_;
        room_.wait(lock, [this] { return queue_.size() < capacity_; });
    }
    queue_.push_back(std::move(item));
    ++pushed_;
    items_.notify_one();
}

std::optional<SecondQueue::Item> SecondQueue::Pop(std::stop_token stop) {
    std::unique_lock lock(mutex_);
    if (!items_.wait(lock, stop, [this] { return !queue_.empty(); }))
        return std::nullopt;
    Item item = std::move(queue_.front());
    queue_.pop_front();
    room_.notify_one();
    return item;
}

void SecondQueue::Done() {
    std::lock_guard lock(mutex_);
    ++finished_;
    done_.notify_all();
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
