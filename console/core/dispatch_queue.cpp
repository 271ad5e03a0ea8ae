#include "console/core/dispatch_queue.h"

#include <utility>

namespace quarn::console {

DispatchQueue::DispatchQueue(std::function<void()> wake)
    : owner_(std::this_thread::get_id()), wake_(std::move(wake)) {}

DispatchQueue::~DispatchQueue() {
    Close();
}

void DispatchQueue::Queued() {
    queueChanged_.notify_one();
    if (wake_) {
        wake_();
    }
}

void DispatchQueue::Send(const std::function<void()>& call) {
    if (OnOwnerThread()) {
        if (!Closed()) {
            call();
        }
        return;
    }
    SendRequest request;
    request.call = &call;
    std::unique_lock lock(mutex_);
    if (closed_) {
        return;
    }
    queue_.push_back(Entry{{}, &request});
    Queued();
    // The request lives on this stack, so return only once the owner is done with it.
    request.finished.wait(lock, [&] {
        return request.state == SendState::Done || request.state == SendState::Dropped;
    });
}

void DispatchQueue::Post(std::function<void()> call) {
    std::lock_guard lock(mutex_);
    if (closed_) {
        return;
    }
    queue_.push_back(Entry{std::move(call), nullptr});
    Queued();
}

void DispatchQueue::Close() {
    std::deque<Entry> dropped;
    {
        std::lock_guard lock(mutex_);
        closed_ = true;
        for (Entry& entry : queue_) {
            if (entry.send) {
                entry.send->state = SendState::Dropped;
                entry.send->finished.notify_one();
            }
        }
        dropped.swap(queue_);
        queueChanged_.notify_all();
    }
    // Posted calls are destroyed outside the lock: their captures may do anything.
}

bool DispatchQueue::Closed() const {
    std::lock_guard lock(mutex_);
    return closed_;
}

bool DispatchQueue::TakeEntry(Entry& entry, std::chrono::steady_clock::time_point deadline) {
    std::unique_lock lock(mutex_);
    queueChanged_.wait_until(lock, deadline,
                             [&] { return !queue_.empty() || closed_ || interrupted_; });
    if (queue_.empty() || closed_ || interrupted_) {
        return false;
    }
    entry = std::move(queue_.front());
    queue_.pop_front();
    if (entry.send) {
        entry.send->state = SendState::Running;
    }
    return true;
}

void DispatchQueue::RunEntry(Entry& entry) {
    if (!entry.send) {
        entry.posted();
        return;
    }
    // Whatever the call does, the sender must be released.
    struct Release {
        DispatchQueue& queue;
        SendRequest& request;
        ~Release() {
            // Notified under the lock: the sender cannot leave (and free the request) first.
            std::lock_guard lock(queue.mutex_);
            request.state = SendState::Done;
            request.finished.notify_one();
        }
    } release{*this, *entry.send};
    (*entry.send->call)();
}

int DispatchQueue::RunPending() {
    std::size_t available = 0;
    {
        std::lock_guard lock(mutex_);
        available = queue_.size();
    }
    int count = 0;
    // Only what was queued on entry, so calls that queue more cannot keep this spinning.
    for (; available > 0; --available) {
        Entry entry;
        if (!TakeEntry(entry, std::chrono::steady_clock::now())) {
            break;
        }
        RunEntry(entry);
        ++count;
    }
    return count;
}

bool DispatchQueue::RunOne(std::chrono::steady_clock::time_point deadline) {
    Entry entry;
    if (!TakeEntry(entry, deadline)) {
        return false;
    }
    RunEntry(entry);
    return true;
}

void DispatchQueue::Interrupt() {
    std::lock_guard lock(mutex_);
    interrupted_ = true;
    queueChanged_.notify_all();
}

bool DispatchQueue::TakeInterrupt() {
    std::lock_guard lock(mutex_);
    const bool was = interrupted_;
    interrupted_ = false;
    return was;
}

}  // namespace quarn::console
