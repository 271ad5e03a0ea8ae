#pragma once

// winsock2.h must come before windows.h.
#include <winsock2.h>

#include <chrono>
#include <stop_token>

#include "platform/socket.h"

namespace quarn::platform {

// errno for a Winsock error, for the callers that look at it (EIO for the rest).
void SetErrnoFromWinsock(int error);

// Connects an overlapped socket of either family, sleeping on its FD_CONNECT and the stop
// together, and leaves it blocking. False with errno saying why (ETIMEDOUT, ECANCELED, the
// connect's own error, or ENOMEM when no event to sleep on could be made).
bool ConnectWithin(SOCKET socket, const sockaddr* address, int length,
                   std::chrono::milliseconds timeout, const std::stop_token& stop);

// Closes a socket that failed, keeping the errno that says why; an invalid Socket.
Socket ClosedKeepingErrno(Socket& socket);
// The same after a failed Winsock call: errno from its WSAGetLastError first.
Socket ClosedOnWinsockError(Socket& socket);

}  // namespace quarn::platform
