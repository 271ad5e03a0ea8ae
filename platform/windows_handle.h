#pragma once

#include <windows.h>

#include <utility>

namespace quarn::platform {

// Owns one kernel handle; closes it on destruction. Move-only.
class WinHandle {
  public:
    WinHandle() = default;
    explicit WinHandle(HANDLE handle)
        : handle_(handle == INVALID_HANDLE_VALUE ? nullptr : handle) {}
    ~WinHandle() { Close(); }
    WinHandle(WinHandle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
    WinHandle& operator=(WinHandle&& other) noexcept {
        if (this != &other) {
            Close();
            handle_ = std::exchange(other.handle_, nullptr);
        }
        return *this;
    }
    WinHandle(const WinHandle&) = delete;
    WinHandle& operator=(const WinHandle&) = delete;

    HANDLE Get() const { return handle_; }
    bool Valid() const { return handle_ != nullptr; }
    // Gives up ownership without closing.
    HANDLE Release() { return std::exchange(handle_, nullptr); }
    void Close() {
        if (handle_ != nullptr) {
            CloseHandle(handle_);
            handle_ = nullptr;
        }
    }

  private:
    HANDLE handle_ = nullptr;
};

}  // namespace quarn::platform
