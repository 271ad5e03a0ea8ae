#pragma once

#include <atomic>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <thread>

namespace quarn::agent {

// Worker threads that end by themselves and are all joined at shutdown. The number
// running at once is bounded, so a flood of connections cannot exhaust the process.
class ThreadGroup {
  public:
    explicit ThreadGroup(int limit) : limit_(limit) {}
    ~ThreadGroup() { JoinAll(); }
    ThreadGroup(const ThreadGroup&) = delete;
    ThreadGroup& operator=(const ThreadGroup&) = delete;

    // False when the limit is reached, the group is closed or no thread can be made.
    bool Launch(std::function<void()> work);
    // Refuses further launches and waits for every thread.
    void JoinAll();
    int Running();

  private:
    struct Worker {
        std::jthread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };

    // Takes the finished workers out of the list; the caller joins them unlocked.
    std::list<Worker> TakeFinished();

    const int limit_;
    std::mutex mutex_;
    std::list<Worker> workers_;
    bool closed_ = false;
};

}  // namespace quarn::agent
