#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "platform/socket.h"
#include "platform/wake_event.h"

namespace quarn::platform {

#ifdef _WIN32
class OutputPipe;
class ReadableWatch;
// Defined where OutputPipe is complete, so that the header needs only its name.
struct OutputPipeDelete {
    void operator()(OutputPipe* pipe) const;
};
struct ReadableWatchDelete {
    void operator()(ReadableWatch* watch) const;
};
#endif

// What ended a ChildProcess::WaitForEvent.
enum class ChildEvent { Output, Exited, PeerGone, Woken, TimedOut };

// One child program with stdout and stderr merged into one pipe.
// Move-only RAII: the destructor kills a running child, reaps it and closes the fds.
// Not thread-safe: one owner thread uses the object (other threads must not touch it).
class ChildProcess {
  public:
    ChildProcess() = default;
    ~ChildProcess();
    ChildProcess(ChildProcess&& other) noexcept;
    ChildProcess& operator=(ChildProcess&& other) noexcept;
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Spawns argv[0] (a path, never through a shell) with the parent's environment plus
    // extraEnv ("NAME=value"), stdin from /dev/null. False when it cannot be started.
    // The child is killed when the thread that started it ends (or this process dies),
    // so start it on the thread that waits for it. On Windows it runs in a kill-on-close
    // job object owned by this object, so it ends when this process dies.
    bool Start(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnv = {});

    // Non-blocking: bytes read, 0 when nothing is waiting, -1 at EOF or when no pipe is open.
    long ReadAvailable(char* buf, size_t max);

    // Waits up to timeoutMs for output or the child's exit; true when output is waiting.
    bool WaitForOutputOrExit(int timeoutMs);
    // Sleeps until the first of: output (or its end) waiting, the child's exit, the peer of
    // `peer` closing its side (bytes it sends do not count), `wake` set, or the timeout.
    // Output comes before an exit, so what the child wrote last is read first.
    ChildEvent WaitForEvent(std::chrono::milliseconds timeout, const WakeEvent& wake,
                            const Socket* peer = nullptr);

    // Non-blocking check; reaps the child. Stays true once reaped.
    bool Exited();
    // Waits up to timeoutMs for the child to end; true when it has ended.
    bool WaitExit(int timeoutMs);
    // SIGKILL (TerminateProcess) if still running, then reap.
    void Terminate();

    bool Running() const { return pid_ > 0 && !reaped_; }
    pid_t Pid() const { return pid_; }
    // Raw wait status once reaped (see WIFEXITED etc.; the exit code on Windows), -1 before.
    int WaitStatus() const { return waitStatus_; }

  private:
    void Reset();
    void CloseFds();
    bool Reap(int options);

    pid_t pid_ = -1;
#ifdef _WIN32
    // What ended a wait of WaitForEvent: Unsure when the wait itself failed.
    enum class Woke { Process, Peer, Other, Unsure };
    bool DrainedAfterExit();
    Woke SleepUntilEvent(const WakeEvent& wake, const ReadableWatch* hangUp, int timeoutMs);
    ReadableWatch* PeerWatch(const Socket* peer);
    void* process_ = nullptr;
    std::unique_ptr<OutputPipe, OutputPipeDelete> pipe_;
    // The peer's hang-up watch, kept from one wait to the next while the same socket is
    // watched: making one per wait costs several system calls per line of output.
    std::unique_ptr<ReadableWatch, ReadableWatchDelete> peerWatch_;
    int watchedFd_ = -1;
    void* job_ = nullptr;
#else
    int pipeFd_ = -1;
    int pidFd_ = -1;
#endif
    bool reaped_ = false;
    int waitStatus_ = -1;
};

}  // namespace quarn::platform
