#include "console/core/event_loop.h"

#include <algorithm>
#include <utility>

namespace quarn::console {

EventLoop::EventLoop() : loopThread_(std::this_thread::get_id()) {}

EventLoop::~EventLoop() {
    Close();
}

void EventLoop::Send(const std::function<void()>& call) {
    if (OnLoopThread()) {
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
    queueChanged_.notify_one();
    // The request lives on this stack, so return only once the loop is done with it.
    request.finished.wait(lock, [&] {
        return request.state == SendState::Done || request.state == SendState::Dropped;
    });
}

void EventLoop::Post(std::function<void()> call) {
    std::lock_guard lock(mutex_);
    if (closed_) {
        return;
    }
    queue_.push_back(Entry{std::move(call), nullptr});
    queueChanged_.notify_one();
}

void EventLoop::Close() {
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

bool EventLoop::Closed() const {
    std::lock_guard lock(mutex_);
    return closed_;
}

bool EventLoop::TakeEntry(Entry& entry, std::chrono::steady_clock::time_point deadline) {
    std::unique_lock lock(mutex_);
    queueChanged_.wait_until(lock, deadline,
                             [&] { return !queue_.empty() || closed_ || quitRequested_; });
    if (queue_.empty() || closed_ || quitRequested_) {
        return false;
    }
    entry = std::move(queue_.front());
    queue_.pop_front();
    if (entry.send) {
        entry.send->state = SendState::Running;
    }
    return true;
}

void EventLoop::RunEntry(Entry& entry) {
    if (!entry.send) {
        entry.posted();
        return;
    }
    // Whatever the call does, the sender must be released.
    struct Release {
        EventLoop& loop;
        SendRequest& request;
        ~Release() {
            // Notified under the lock: the sender cannot leave (and free the request) first.
            std::lock_guard lock(loop.mutex_);
            request.state = SendState::Done;
            request.finished.notify_one();
        }
    } release{*this, *entry.send};
    (*entry.send->call)();
}

bool EventLoop::RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        // Wake now and then: `done` may also depend on what other threads change.
        const auto wake = std::min(deadline, std::chrono::steady_clock::now() + kRecheckInterval);
        Entry entry;
        if (TakeEntry(entry, wake)) {
            RunEntry(entry);
            continue;
        }
        std::lock_guard lock(mutex_);
        const bool stop = quitRequested_ || closed_ || std::chrono::steady_clock::now() >= deadline;
        quitRequested_ = false;
        if (stop) {
            break;
        }
    }
    return done();
}

void EventLoop::RunFor(std::chrono::milliseconds duration) {
    RunUntil([] { return false; }, duration);
}

int EventLoop::RunPending() {
    int count = 0;
    std::size_t available = 0;
    {
        std::lock_guard lock(mutex_);
        available = queue_.size();
    }
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

void EventLoop::Quit() {
    std::lock_guard lock(mutex_);
    quitRequested_ = true;
    queueChanged_.notify_all();
}

}  // namespace quarn::console
