#include "platform/output_pipe_win.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <string>
#include <utility>

namespace quarn::platform {
namespace {

constexpr DWORD kPipeBuffer = 64 * 1024;

// Process id, a counter and the time: no two pipes of this machine share a name.
std::wstring UniquePipeName() {
    static std::atomic<unsigned> counter{0};
    return L"\\\\.\\pipe\\quarn-output-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
           std::to_wstring(counter.fetch_add(1)) + L"-" + std::to_wstring(GetTickCount64());
}

}  // namespace

std::unique_ptr<OutputPipe> OutputPipe::Create(WinHandle& childEnd) {
    const std::wstring name = UniquePipeName();
    // One instance, first of its name, local only: nobody else can take the child's end.
    WinHandle pipe(CreateNamedPipeW(
        name.c_str(), PIPE_ACCESS_INBOUND | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
        PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS, 1, 0,
        kPipeBuffer, 0, nullptr));
    WinHandle event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!pipe.Valid() || !event.Valid()) {
        return nullptr;
    }
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    WinHandle write(CreateFileW(name.c_str(), GENERIC_WRITE, 0, &inherit, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!write.Valid()) {
        return nullptr;
    }
    childEnd = std::move(write);
    auto made = std::make_unique<OutputPipe>(std::move(pipe), std::move(event));
    made->Arm();
    return made;
}

OutputPipe::OutputPipe(WinHandle pipe, WinHandle event)
    : pipe_(std::move(pipe)), event_(std::move(event)) {}

OutputPipe::~OutputPipe() {
    if (pending_) {
        CancelIoEx(pipe_.Get(), &overlapped_);
        DWORD ignored = 0;
        GetOverlappedResult(pipe_.Get(), &overlapped_, &ignored, TRUE);
    }
}

long OutputPipe::Read(char* buf, size_t max) {
    if (!HasOutput()) {
        return ended_ ? -1 : 0;
    }
    const size_t count = std::min(max, end_ - start_);
    std::memcpy(buf, buffer_.data() + start_, count);
    start_ += count;
    // The next read goes out at once, so that a wait has something to wake it.
    Arm();
    return static_cast<long>(count);
}

bool OutputPipe::HasOutput() {
    Collect();
    Arm();
    return start_ < end_;
}

// Takes the result of the read in flight when it has completed.
void OutputPipe::Collect() {
    if (!pending_) {
        return;
    }
    DWORD got = 0;
    if (GetOverlappedResult(pipe_.Get(), &overlapped_, &got, FALSE)) {
        pending_ = false;
        start_ = 0;
        end_ = got;
    } else if (GetLastError() != ERROR_IO_INCOMPLETE) {
        pending_ = false;  // broken pipe: every writer (the child and its children) has gone
        ended_ = true;
    }
}

// Starts the next read once the buffer is empty; a read that completes at once fills it.
void OutputPipe::Arm() {
    while (!pending_ && !ended_ && start_ == end_) {
        // ReadFile resets the event itself when it starts the read.
        overlapped_ = OVERLAPPED{};
        overlapped_.hEvent = event_.Get();
        if (!ReadFile(pipe_.Get(), buffer_.data(), static_cast<DWORD>(buffer_.size()), nullptr,
                      &overlapped_) &&
            GetLastError() != ERROR_IO_PENDING) {
            ended_ = true;
            return;
        }
        pending_ = true;
        Collect();
    }
}

}  // namespace quarn::platform
