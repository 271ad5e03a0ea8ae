#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace quarn::console {

// The queue behind every Dispatcher: calls from worker threads wait here until the owner
// thread (the one that built the queue) runs them. Send blocks on a request of its own
// that Close releases, so a worker waiting in Send never holds up shutdown; after Close,
// Send and Post return at once without running anything. How the owner thread learns that
// something is queued is up to the user: it waits in RunOne, or `wake` tells its event loop.
class DispatchQueue {
  public:
    // `wake` runs with the queue's lock held each time a call is queued (never after
    // Close); it must not block and must not call back into the queue.
    explicit DispatchQueue(std::function<void()> wake = {});
    ~DispatchQueue();
    DispatchQueue(const DispatchQueue&) = delete;
    DispatchQueue& operator=(const DispatchQueue&) = delete;

    bool OnOwnerThread() const { return std::this_thread::get_id() == owner_; }

    // Waits until the owner thread has run the call, or the queue is closed. From the owner
    // thread itself the call runs at once.
    void Send(const std::function<void()>& call);
    void Post(std::function<void()> call);
    // Drops everything queued and releases every waiting sender.
    void Close();
    bool Closed() const;

    // Owner thread only. Runs the calls queued on entry (not those they queue); returns
    // how many ran.
    int RunPending();
    // Owner thread only. Waits until a call is queued, the queue is closed, Interrupt is
    // called or the deadline passes; runs at most one call. Returns whether one ran.
    bool RunOne(std::chrono::steady_clock::time_point deadline);
    // Makes the current or next RunOne/RunPending stop; callable from any thread.
    void Interrupt();
    // Reads and clears the interrupt.
    bool TakeInterrupt();

  private:
    enum class SendState { Queued, Running, Done, Dropped };
    // Lives on the sender's stack; its own condition variable wakes only that sender.
    struct SendRequest {
        const std::function<void()>* call = nullptr;
        SendState state = SendState::Queued;
        std::condition_variable finished;
    };
    struct Entry {
        std::function<void()> posted;
        SendRequest* send = nullptr;
    };

    bool TakeEntry(Entry& entry, std::chrono::steady_clock::time_point deadline);
    void RunEntry(Entry& entry);
    void Queued();

    const std::thread::id owner_;
    const std::function<void()> wake_;
    mutable std::mutex mutex_;
    std::condition_variable queueChanged_;
    std::deque<Entry> queue_;
    bool closed_ = false;
    bool interrupted_ = false;
};

}  // namespace quarn::console
