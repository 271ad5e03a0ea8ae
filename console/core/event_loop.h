#pragma once

#include <chrono>
#include <functional>

#include "console/core/dispatch_queue.h"
#include "console/core/dispatcher.h"

namespace quarn::console {

// A main-thread loop without a window system, for the headless Console and for tests.
// The thread that constructs the loop is its loop thread: only it may run the loop, and
// a Send from it runs the call at once. Destroy it only after every thread that may call
// Send or Post has been joined.
class EventLoop : public Dispatcher {
  public:
    EventLoop() = default;
    ~EventLoop() override;
    EventLoop(const EventLoop&) = delete;
    EventLoop& operator=(const EventLoop&) = delete;

    // Waits until the loop thread has run the call (or the loop is closed).
    void Send(const std::function<void()>& call) override { queue_.Send(call); }
    // Queues the call for the loop thread.
    void Post(std::function<void()> call) override { queue_.Post(std::move(call)); }
    // Drops everything queued; later Send and Post return at once without running.
    void Close() override { queue_.Close(); }
    bool Closed() const { return queue_.Closed(); }

    static constexpr std::chrono::milliseconds kRecheckInterval{20};

    // Runs queued calls until `done` holds (checked before waiting, after every call and
    // at least every kRecheckInterval),
    // Quit is called, the loop is closed or the timeout passes. Returns done().
    bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);
    // The same for a `done` that only calls run by the loop change (or Quit): it is looked at
    // after each of them, and the loop sleeps until the next call or the timeout.
    bool RunUntilCalled(const std::function<bool()>& done, std::chrono::milliseconds timeout);
    // Runs queued calls for the given time (or until Quit or Close).
    void RunFor(std::chrono::milliseconds duration);
    // Runs what is queued now without waiting; returns the number of calls run.
    int RunPending() { return queue_.RunPending(); }
    // Makes the current (or next) RunUntil/RunFor return; callable from any thread.
    void Quit() { queue_.Interrupt(); }

    bool OnLoopThread() const { return queue_.OnOwnerThread(); }

  private:
    bool Run(const std::function<bool()>& done, std::chrono::milliseconds timeout,
             std::chrono::milliseconds recheck);

    DispatchQueue queue_;
};

}  // namespace quarn::console
