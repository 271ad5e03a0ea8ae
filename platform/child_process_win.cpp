#include "platform/child_process.h"

// winsock2.h must come before windows.h.
#include <winsock2.h>

#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cwctype>
#include <optional>
#include <utility>

#include "platform/command_line_quote.h"
#include "platform/deadline.h"
#include "platform/output_pipe_win.h"
#include "platform/readable_watch_win.h"
#include "platform/windows_handle.h"
#include "platform/windows_text.h"

namespace quarn::platform {
namespace {

using Clock = std::chrono::steady_clock;
constexpr int kNoHang = 1;
constexpr UINT kKilledExitCode = 137;  // what a shell shows for SIGKILL

HANDLE H(void* handle) {
    return static_cast<HANDLE>(handle);
}

void CloseIfOpen(void*& handle) {
    if (handle != nullptr) {
        CloseHandle(H(handle));
        handle = nullptr;
    }
}

std::wstring EnvName(std::wstring_view entry) {
    // "=C:=C:\dir" entries start with '='; their name runs to the second '='.
    const size_t equals = entry.find(L'=', 1);
    std::wstring name(entry.substr(0, equals));
    std::transform(name.begin(), name.end(), name.begin(), ::towupper);
    return name;
}

// The parent's environment with extraEnv added or replacing entries of the same name
// (names are case-insensitive here), as a double-NUL-terminated block.
std::wstring EnvironmentBlock(const std::vector<std::string>& extraEnv) {
    std::vector<std::wstring> extra;
    for (const std::string& entry : extraEnv) {
        extra.push_back(Widen(entry));
    }
    std::wstring block;
    if (wchar_t* strings = GetEnvironmentStringsW(); strings != nullptr) {
        for (const wchar_t* entry = strings; *entry != L'\0'; entry += wcslen(entry) + 1) {
            const std::wstring name = EnvName(entry);
            const bool replaced = std::any_of(extra.begin(), extra.end(),
                                              [&](const auto& e) { return EnvName(e) == name; });
            if (!replaced) {
                block.append(entry).push_back(L'\0');
            }
        }
        FreeEnvironmentStringsW(strings);
    }
    for (const std::wstring& entry : extra) {
        block.append(entry).push_back(L'\0');
    }
    block.push_back(L'\0');
    return block;
}

// A job that kills everything in it once its last handle closes, so a child never
// outlives its owner, even one that dies without cleaning up.
WinHandle KillOnCloseJob() {
    WinHandle job(CreateJobObjectW(nullptr, nullptr));
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (job.Valid() && !SetInformationJobObject(job.Get(), JobObjectExtendedLimitInformation,
                                                &limits, sizeof limits)) {
        job.Close();
    }
    return job;
}

// How long an exited child's last output may take to arrive through the pipe.
constexpr DWORD kExitDrainMs = 500;

// Starts the child suspended with only the given handles inherited, so no socket or
// other pipe of ours leaks into it.
bool CreateSuspended(std::wstring commandLine, std::wstring& environment, HANDLE input,
                     HANDLE output, PROCESS_INFORMATION& info) {
    HANDLE inherited[2] = {input, output};
    SIZE_T size = 0;
    InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
    std::vector<char> storage(size);
    auto* attributes = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(storage.data());
    if (!InitializeProcThreadAttributeList(attributes, 1, 0, &size)) {
        return false;
    }
    bool started = UpdateProcThreadAttribute(attributes, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST,
                                             inherited, sizeof inherited, nullptr, nullptr) != 0;
    if (started) {
        STARTUPINFOEXW startup{};
        startup.StartupInfo.cb = sizeof startup;
        startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
        startup.StartupInfo.hStdInput = input;
        startup.StartupInfo.hStdOutput = output;
        startup.StartupInfo.hStdError = output;
        started = CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE,
                                 CREATE_SUSPENDED | CREATE_UNICODE_ENVIRONMENT |
                                     EXTENDED_STARTUPINFO_PRESENT | CREATE_NO_WINDOW,
                                 environment.data(), nullptr, &startup.StartupInfo, &info) != 0;
    }
    DeleteProcThreadAttributeList(attributes);
    return started;
}

}  // namespace

void OutputPipeDelete::operator()(OutputPipe* pipe) const {
    delete pipe;
}

void ReadableWatchDelete::operator()(ReadableWatch* watch) const {
    delete watch;
}

ChildProcess::ChildProcess(ChildProcess&& other) noexcept
    : pid_(std::exchange(other.pid_, -1)),
      process_(std::exchange(other.process_, nullptr)),
      pipe_(std::move(other.pipe_)),
      peerWatch_(std::move(other.peerWatch_)),
      watchedFd_(std::exchange(other.watchedFd_, -1)),
      job_(std::exchange(other.job_, nullptr)),
      reaped_(std::exchange(other.reaped_, false)),
      waitStatus_(std::exchange(other.waitStatus_, -1)) {}

ChildProcess& ChildProcess::operator=(ChildProcess&& other) noexcept {
    if (this != &other) {
        Reset();
        pid_ = std::exchange(other.pid_, -1);
        process_ = std::exchange(other.process_, nullptr);
        pipe_ = std::move(other.pipe_);
        peerWatch_ = std::move(other.peerWatch_);
        watchedFd_ = std::exchange(other.watchedFd_, -1);
        job_ = std::exchange(other.job_, nullptr);
        reaped_ = std::exchange(other.reaped_, false);
        waitStatus_ = std::exchange(other.waitStatus_, -1);
    }
    return *this;
}

void ChildProcess::CloseFds() {
    pipe_.reset();
    peerWatch_.reset();
    watchedFd_ = -1;
    CloseIfOpen(process_);
    // Closing the job kills whatever the child started and left running.
    CloseIfOpen(job_);
}

bool ChildProcess::Start(const std::vector<std::string>& argv,
                         const std::vector<std::string>& extraEnv) {
    Reset();
    if (argv.empty()) {
        errno = EINVAL;
        return false;
    }
    WinHandle childOutput;
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    WinHandle nul(CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                              OPEN_EXISTING, 0, nullptr));
    WinHandle job = KillOnCloseJob();
    std::wstring environment = EnvironmentBlock(extraEnv);
    PROCESS_INFORMATION info{};
    std::unique_ptr<OutputPipe> pipe = OutputPipe::Create(childOutput);
    if (!nul.Valid() || !job.Valid() || !pipe ||
        !CreateSuspended(Widen(WindowsCommandLine(argv)), environment, nul.Get(), childOutput.Get(),
                         info)) {
        errno = ENOENT;
        return false;
    }
    WinHandle thread(info.hThread);
    // In the job before it runs a single instruction, so nothing it starts escapes.
    if (!AssignProcessToJobObject(job.Get(), info.hProcess)) {
        TerminateProcess(info.hProcess, kKilledExitCode);
        CloseHandle(info.hProcess);
        errno = EPERM;
        return false;
    }
    ResumeThread(thread.Get());
    pid_ = static_cast<pid_t>(info.dwProcessId);
    process_ = info.hProcess;
    pipe_.reset(pipe.release());
    job_ = job.Release();
    return true;
}

long ChildProcess::ReadAvailable(char* buf, size_t max) {
    if (!pipe_) {
        return -1;
    }
    const long got = pipe_->Read(buf, max);
    if (got < 0) {
        pipe_.reset();  // every writer (the child and anything it started) has gone
    }
    return got;
}

// Once the child has ended, its last output may still be on the way through the pipe,
// whose end follows at once unless something the child started holds it: true when
// output came.
bool ChildProcess::DrainedAfterExit() {
    if (pipe_ && pipe_->Pending()) {
        WaitForSingleObject(pipe_->ReadyEvent(), kExitDrainMs);
    }
    return pipe_ && pipe_->HasOutput();
}

bool ChildProcess::WaitForOutputOrExit(int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (true) {
        if (pipe_ && pipe_->HasOutput()) {
            return true;
        }
        if (pipe_ && pipe_->Ended()) {
            pipe_.reset();
        }
        if (!pipe_ && !Running()) {
            return false;
        }
        if (Exited()) {
            return DrainedAfterExit();
        }
        const int leftMs = PollTimeoutMs(deadline);
        if (leftMs == 0) {
            return false;
        }
        HANDLE handles[2] = {H(process_), nullptr};
        DWORD count = 1;
        if (pipe_ && pipe_->Pending()) {
            handles[count++] = pipe_->ReadyEvent();
        }
        WaitForMultipleObjects(count, handles, FALSE, static_cast<DWORD>(leftMs));
    }
}

// Each look that costs a system call (a wineserver call under Wine) is made only once the
// wait says its handle fired: the peer's state, the child's exit.
ChildEvent ChildProcess::WaitForEvent(std::chrono::milliseconds timeout, const WakeEvent& wake,
                                      const Socket* peer) {
    if (wake.Handle() == nullptr) {
        return ChildEvent::Woken;  // a wait that nothing could stop is not begun
    }
    const auto deadline = Clock::now() + timeout;
    ReadableWatch* hangUp = PeerWatch(peer);
    // Without a watch the peer is left out of the wait and looked at after each wake.
    bool lookAtPeer = peer != nullptr && !hangUp->Usable();
    // The process is in every wait: an exit that came already fires it at once.
    bool lookAtExit = false;
    while (true) {
        if (wake.IsSet()) {
            return ChildEvent::Woken;
        }
        if (peer != nullptr && (peer->WasShutDown() || (lookAtPeer && PeerHasClosed(*peer)))) {
            return ChildEvent::PeerGone;
        }
        if (pipe_ && pipe_->HasOutput()) {
            return ChildEvent::Output;
        }
        if (pipe_ && pipe_->Ended()) {
            pipe_.reset();
        }
        if (!Running() || (lookAtExit && Exited())) {
            return DrainedAfterExit() ? ChildEvent::Output : ChildEvent::Exited;
        }
        const int leftMs = PollTimeoutMs(deadline);
        if (leftMs == 0) {
            return ChildEvent::TimedOut;
        }
        const Woke woke = SleepUntilEvent(wake, hangUp, leftMs);
        if (woke == Woke::Peer) {
            // Bytes the peer sent are dropped (nobody reads them); the watch sleeps again.
            if (PeerGoneDroppingBytes(*peer)) {
                return ChildEvent::PeerGone;
            }
            hangUp->Rearm();
        }
        lookAtPeer = peer != nullptr && (!hangUp->Usable() || woke == Woke::Unsure);
        lookAtExit = woke == Woke::Process || woke == Woke::Unsure;
    }
}

// The watch of this peer, made anew for another socket; null without a peer.
ReadableWatch* ChildProcess::PeerWatch(const Socket* peer) {
    if (peer == nullptr) {
        return nullptr;
    }
    if (!peerWatch_ || watchedFd_ != peer->Fd()) {
        peerWatch_.reset(new ReadableWatch(*peer));
        watchedFd_ = peer->Fd();
    }
    return peerWatch_.get();
}

// One wait on the process, the pipe's read, the stop and the peer's watch, until the
// first of them or the timeout. Says which of them woke it.
ChildProcess::Woke ChildProcess::SleepUntilEvent(const WakeEvent& wake, const ReadableWatch* hangUp,
                                                 int timeoutMs) {
    HANDLE handles[4] = {H(process_), wake.Handle(), nullptr, nullptr};
    Woke which[4] = {Woke::Process, Woke::Other, Woke::Other, Woke::Other};
    DWORD count = 2;
    if (pipe_ && pipe_->Pending()) {
        handles[count++] = pipe_->ReadyEvent();
    }
    if (hangUp != nullptr && hangUp->Usable()) {
        which[count] = Woke::Peer;
        handles[count++] = hangUp->Event();
    }
    const DWORD result =
        WaitForMultipleObjects(count, handles, FALSE, static_cast<DWORD>(timeoutMs));
    if (result == WAIT_TIMEOUT) {
        return Woke::Other;
    }
    return result < WAIT_OBJECT_0 + count ? which[result - WAIT_OBJECT_0] : Woke::Unsure;
}

bool ChildProcess::Reap(int options) {
    if (pid_ <= 0 || reaped_) {
        return true;
    }
    if (process_ == nullptr) {
        reaped_ = true;
        return true;
    }
    const DWORD wait = options == kNoHang ? 0 : INFINITE;
    if (WaitForSingleObject(H(process_), wait) != WAIT_OBJECT_0) {
        return false;
    }
    DWORD code = 0;
    waitStatus_ = GetExitCodeProcess(H(process_), &code) ? static_cast<int>(code) : -1;
    reaped_ = true;
    CloseIfOpen(process_);
    return true;
}

bool ChildProcess::Exited() {
    return Reap(kNoHang);
}

bool ChildProcess::WaitExit(int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!Exited()) {
        const int leftMs = PollTimeoutMs(deadline);
        if (leftMs == 0) {
            return false;
        }
        WaitForSingleObject(H(process_), static_cast<DWORD>(leftMs));
    }
    return true;
}

void ChildProcess::Terminate() {
    if (!Running() || Exited()) {
        return;
    }
    // The handle pins the process, so this never hits another one with a reused id.
    TerminateProcess(H(process_), kKilledExitCode);
    Reap(0);
}

}  // namespace quarn::platform
