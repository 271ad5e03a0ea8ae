#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "console/core/dispatcher.h"

namespace quarn::console {

// A main-thread loop without a window system, for the headless Console and for tests.
// The thread that constructs the loop is its loop thread: only it may run the loop, and
// a Send from it runs the call at once. Destroy it only after every thread that may call
// Send or Post has been joined.
class EventLoop : public Dispatcher {
  public:
    EventLoop();
    ~EventLoop() override;
    EventLoop(const EventLoop&) = delete;
    EventLoop& operator=(const EventLoop&) = delete;

    // Waits until the loop thread has run the call (or the loop is closed).
    void Send(const std::function<void()>& call) override;
    // Queues the call for the loop thread.
    void Post(std::function<void()> call) override;
    // Drops everything queued; later Send and Post return at once without running.
    void Close() override;
    bool Closed() const;

    static constexpr std::chrono::milliseconds kRecheckInterval{20};

    // Runs queued calls until `done` holds (checked before waiting, after every call and
    // at least every kRecheckInterval),
    // Quit is called, the loop is closed or the timeout passes. Returns done().
    bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);
    // Runs queued calls for the given time (or until Quit or Close).
    void RunFor(std::chrono::milliseconds duration);
    // Runs what is queued now without waiting; returns the number of calls run.
    int RunPending();
    // Makes the current (or next) RunUntil/RunFor return; callable from any thread.
    void Quit();

    bool OnLoopThread() const { return std::this_thread::get_id() == loopThread_; }

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

    // Takes the next entry, waiting until the deadline; false when none came.
    bool TakeEntry(Entry& entry, std::chrono::steady_clock::time_point deadline);
    void RunEntry(Entry& entry);

    const std::thread::id loopThread_;
    mutable std::mutex mutex_;
    std::condition_variable queueChanged_;
    std::deque<Entry> queue_;
    bool closed_ = false;
    bool quitRequested_ = false;
};

}  // namespace quarn::console
