#pragma once

#include <atomic>
#include <thread>

namespace quarn::console {

// Remembers the thread an object belongs to (the window thread: the one that built it) so
// that debug builds can catch entry points called from a worker. Release builds check
// nothing. Copies belong to the thread that makes them; assignment keeps the owner.
class ThreadAffinity {
  public:
    ThreadAffinity() : owner_(std::this_thread::get_id()) {}
    ThreadAffinity(const ThreadAffinity&) : ThreadAffinity() {}
    ThreadAffinity& operator=(const ThreadAffinity&) { return *this; }

    bool OnOwnerThread() const { return owner_.load() == std::this_thread::get_id(); }

    // Aborts (debug builds only) when called from a thread other than the owner.
    void Check(const char* where) const {
#ifndef NDEBUG
        if (!OnOwnerThread()) {
            Violated(where);
        }
#else
        (void)where;
#endif
    }

    // Hands the object to the current thread for the life of the scope, for a worker that
    // uses it while its owner waits (the file worker while the window ignores the operator).
    class Lend {
      public:
        explicit Lend(ThreadAffinity& affinity)
            : affinity_(affinity),
              previous_(affinity.owner_.exchange(std::this_thread::get_id())) {}
        ~Lend() { affinity_.owner_.store(previous_); }
        Lend(const Lend&) = delete;
        Lend& operator=(const Lend&) = delete;

      private:
        ThreadAffinity& affinity_;
        std::thread::id previous_;
    };

  private:
    [[noreturn]] static void Violated(const char* where);

    std::atomic<std::thread::id> owner_;
};

}  // namespace quarn::console
