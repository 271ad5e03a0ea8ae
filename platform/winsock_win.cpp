#include "platform/winsock_win.h"

#include <windows.h>

#include <cerrno>

#include "platform/deadline.h"
#include "platform/wake_event.h"
#include "platform/windows_handle.h"

namespace quarn::platform {
namespace {

// The connect's own result comes with FD_CONNECT, which also reports a refused connect
// reliably (WSAPoll does not).
bool WaitConnected(SOCKET socket, HANDLE connected, std::chrono::milliseconds timeout,
                   const std::stop_token& stop) {
    const StopWake wake(stop);
    const HANDLE handles[2] = {connected, wake.Event().Handle()};
    if (stop.stop_possible() && handles[1] == nullptr) {
        errno = ENOMEM;  // a wait that nothing could stop is not begun
        return false;
    }
    const DWORD count = handles[1] != nullptr ? 2 : 1;
    const auto deadline = SteadyClock::now() + timeout;
    while (true) {
        if (wake.Event().IsSet()) {
            errno = ECANCELED;
            return false;
        }
        const int leftMs = PollTimeoutMs(deadline);
        if (leftMs == 0) {
            errno = ETIMEDOUT;
            return false;
        }
        WaitForMultipleObjects(count, handles, FALSE, static_cast<DWORD>(leftMs));
        WSANETWORKEVENTS events{};
        if (WSAEnumNetworkEvents(socket, connected, &events) != 0) {
            SetErrnoFromWinsock(WSAGetLastError());
            return false;
        }
        if ((events.lNetworkEvents & FD_CONNECT) != 0) {
            const int error = events.iErrorCode[FD_CONNECT_BIT];
            if (error != 0) {
                SetErrnoFromWinsock(error);
                return false;
            }
            return true;
        }
    }
}

}  // namespace

void SetErrnoFromWinsock(int error) {
    switch (error) {
        case WSAETIMEDOUT:
            errno = ETIMEDOUT;
            break;
        case WSAECONNREFUSED:
            errno = ECONNREFUSED;
            break;
        case WSAEADDRINUSE:
            errno = EADDRINUSE;
            break;
        case WSAEADDRNOTAVAIL:
            errno = EADDRNOTAVAIL;
            break;
        case WSAEAFNOSUPPORT:
            errno = EAFNOSUPPORT;
            break;
        case WSAEACCES:
            errno = EACCES;
            break;
        case WSAENETUNREACH:
        case WSAEHOSTUNREACH:
            errno = ENETUNREACH;
            break;
        case WSAECANCELLED:
            errno = ECANCELED;
            break;
        default:
            errno = EIO;
            break;
    }
}

Socket ClosedKeepingErrno(Socket& socket) {
    const int saved = errno;
    socket.Close();
    errno = saved;
    return Socket();
}

Socket ClosedOnWinsockError(Socket& socket) {
    SetErrnoFromWinsock(WSAGetLastError());
    return ClosedKeepingErrno(socket);
}

bool ConnectWithin(SOCKET socket, const sockaddr* address, int length,
                   std::chrono::milliseconds timeout, const std::stop_token& stop) {
    // Selected before the connect, so that its end is recorded however soon it comes; the
    // selection makes the socket non-blocking until it is cleared.
    const WinHandle connected(WSACreateEvent());
    if (!connected.Valid() || WSAEventSelect(socket, connected.Get(), FD_CONNECT) != 0) {
        SetErrnoFromWinsock(WSAGetLastError());
        return false;
    }
    if (::connect(socket, address, length) != 0) {
        if (WSAGetLastError() != WSAEWOULDBLOCK) {
            SetErrnoFromWinsock(WSAGetLastError());
            return false;
        }
        if (!WaitConnected(socket, connected.Get(), timeout, stop)) {
            return false;
        }
    }
    u_long blocking = 0;
    if (WSAEventSelect(socket, nullptr, 0) != 0 || ioctlsocket(socket, FIONBIO, &blocking) != 0) {
        SetErrnoFromWinsock(WSAGetLastError());
        return false;
    }
    return true;
}

}  // namespace quarn::platform
