#pragma once

#include <atomic>
#include <cerrno>
#include <stop_token>

namespace quarn::platform {

// A flag that a wait can sleep on beside its pipe and sockets: an eventfd on Linux, a
// manual-reset event on Windows. Once set it stays set. Set() may be called from any thread
// (a std::stop_callback usually does); the waiting thread owns the object. Its end keeps
// errno.
class WakeEvent {
  public:
    WakeEvent();
    ~WakeEvent();
    WakeEvent(const WakeEvent&) = delete;
    WakeEvent& operator=(const WakeEvent&) = delete;

    void Set();
    bool IsSet() const { return set_.load(); }
    // What a wait watches: the eventfd (or, where none can be made, a pipe's read end), or
    // the event's HANDLE on Windows; -1 / null when none could be made (then waits fall
    // back to looking at IsSet() between slices).
#ifdef _WIN32
    void* Handle() const {
        return handle_;
    }
#else
    int Fd() const {
        return fd_;
    }
#endif

  private:
    std::atomic<bool> set_{false};
#ifdef _WIN32
    void* handle_ = nullptr;
#else
    int fd_ = -1;
    int writeFd_ = -1;  // the pipe's write end; -1 with an eventfd
#endif
};

// A WakeEvent that is set once the token's stop is requested (at once if it already was).
// Its end keeps errno: a wait sets errno and then lets its StopWake go, and ending the
// callback may wait (in a futex) for a Set() still running on the stopping thread.
class StopWake {
  public:
    explicit StopWake(const std::stop_token& token) : callback_(token, Setter{&event_}) {}
    ~StopWake() { kept_.saved = errno; }
    StopWake(const StopWake&) = delete;
    StopWake& operator=(const StopWake&) = delete;
    const WakeEvent& Event() const { return event_; }

  private:
    struct Setter {
        WakeEvent* event;
        void operator()() const { event->Set(); }
    };
    // Declared first, so ended last: gives back the errno that ~StopWake saw.
    struct ErrnoKeeper {
        int saved = 0;
        ~ErrnoKeeper() { errno = saved; }
    };
    ErrnoKeeper kept_;
    WakeEvent event_;
    std::stop_callback<Setter> callback_;
};

}  // namespace quarn::platform
