// Non-blocking IPv4 stream sockets whose events arrive as messages to a window, and host lookups whose
// completion arrives the same way. Error codes are the Windows Sockets numbers that the socket client's
// message table uses: the system's own on Windows, mapped from errno elsewhere.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <sys/types.h>
#include <vector>

#include "platform/MessageWindow.h"

// The Windows headers name the events and error codes below as macros of the same values; these
// declarations are this layer's own, whatever was included before.
#pragma push_macro("FD_READ")
#pragma push_macro("FD_WRITE")
#pragma push_macro("FD_OOB")
#pragma push_macro("FD_ACCEPT")
#pragma push_macro("FD_CONNECT")
#pragma push_macro("FD_CLOSE")
#pragma push_macro("WSAEWOULDBLOCK")
#pragma push_macro("WSAEALREADY")
#pragma push_macro("WSAENOTCONN")
#pragma push_macro("WSAHOST_NOT_FOUND")
#undef FD_READ
#undef FD_WRITE
#undef FD_OOB
#undef FD_ACCEPT
#undef FD_CONNECT
#undef FD_CLOSE
#undef WSAEWOULDBLOCK
#undef WSAEALREADY
#undef WSAENOTCONN
#undef WSAHOST_NOT_FOUND

namespace vorlane {

// Socket notice events (low 16 bits of lParam; the error code is in the high 16 bits).
inline constexpr uint16_t FD_READ = 1;
inline constexpr uint16_t FD_WRITE = 2;
inline constexpr uint16_t FD_OOB = 4;
inline constexpr uint16_t FD_ACCEPT = 8;
inline constexpr uint16_t FD_CONNECT = 16;
inline constexpr uint16_t FD_CLOSE = 32;

// Error codes used by callers.
inline constexpr int WSAEWOULDBLOCK = 10035;
inline constexpr int WSAEALREADY = 10037;
inline constexpr int WSAENOTCONN = 10057;
inline constexpr int WSAHOST_NOT_FOUND = 11001;

inline constexpr int InvalidSocket = -1;
// An IPv4 address that is none (inet_addr's answer for text that is no dotted address).
inline constexpr uint32_t NoAddress = 0xFFFFFFFF;
// The receive flag that leaves the bytes in the socket (MSG_PEEK, the same number on both systems).
inline constexpr int RecvPeek = 2;

// lParam of a notice: event in the low word, error code in the high word.
inline intptr_t MakeNoticeParam(uint16_t event, uint16_t error)
{
    return static_cast<intptr_t>((static_cast<uint32_t>(error) << 16) | event);
}
inline uint16_t NoticeEvent(intptr_t lParam)
{
    return static_cast<uint16_t>(lParam & 0xFFFF);
}
inline uint16_t NoticeError(intptr_t lParam)
{
    return static_cast<uint16_t>((lParam >> 16) & 0xFFFF);
}

// The Windows Sockets number of an errno value (0 for 0; EINPROGRESS counts as WSAEWOULDBLOCK).
int SocketErrorFromErrno(int error);
// The code of the last failed call below, on this thread.
int LastSocketError();

// Starts the socket layer for the process (Windows Sockets 1.1) and describes it in six lines: "Version= ",
// "High Version= ", "Description= ", "System= ", "Max Sockets= ", "Max Udp pack size= ", each with its
// value. SocketCleanup ends it; each call of SocketStartup is matched by one of SocketCleanup.
std::vector<std::string> SocketStartup();
void SocketCleanup();

// The IPv4 address (network byte order) of a dotted address, or NoAddress.
uint32_t InetAddress(const char* text);

// A new stream socket (IPPROTO_TCP when `tcp`, else protocol 0), or InvalidSocket.
int SocketOpen(bool tcp);

// Makes the socket non-blocking and delivers `message` to `window` for the events asked for
// (FD_READ, FD_ACCEPT, FD_CONNECT, FD_CLOSE; FD_OOB is accepted and never reported). As with
// Windows Sockets, FD_READ and FD_ACCEPT are reported once and re-armed by the next SocketRecv or
// SocketAccept, and FD_CLOSE once per connection. Notices queued for a socket are dropped when it
// is closed. 0 on success, -1 on failure.
int AsyncSelect(int socket, WindowHandle window, uint32_t message, uint32_t events);

// Closing the socket resets its connection at once and drops unsent data (a linger time of 0).
void SocketResetOnClose(int socket);

// connect() to `address` (network byte order) and `port`; a connection that cannot complete at once
// fails with WSAEWOULDBLOCK and its outcome comes as an FD_CONNECT notice.
int SocketConnect(int socket, uint32_t address, uint16_t port);
// send() without SIGPIPE.
ssize_t SocketSend(int socket, const void* data, size_t length);
// recv(); flags may hold RecvPeek. Re-arms FD_READ.
ssize_t SocketRecv(int socket, void* data, size_t length, int flags);
// accept(); the peer's IPv4 address (network byte order) goes to `peerAddress` when not null. Re-arms
// FD_ACCEPT.
int SocketAccept(int socket, uint32_t* peerAddress);
// Stops the notices of the socket and closes it. 0 or -1.
int SocketClose(int socket);
// Ends both directions of a connection at once, the descriptor staying open: the peer sees the end,
// and reads here find it. 0, or -1 with the error kept as with the other calls.
int SocketShutdown(int socket);

// A resolved host: its IPv4 addresses in network byte order, as the lookup gave them.
struct HostEntry {
    std::vector<std::array<uint8_t, 4>> addresses;
    uint32_t task = 0; // the lookup whose result the entry takes
};

// Looks `name` up without blocking the caller and returns the lookup's task number (never 0). When the
// lookup ends, `entry` receives the result, unless a later lookup has been started on the same entry
// since, and `window` receives `message` with wParam = the task number and lParam =
// MakeNoticeParam(0, error), error being 0 or 11001..11004. If the window is gone by then, nothing is
// written and nothing is delivered; `entry` must live as long as the window.
uint32_t AsyncGetHostByName(WindowHandle window, uint32_t message, const std::string& name, HostEntry* entry);

} // namespace vorlane

#pragma pop_macro("FD_READ")
#pragma pop_macro("FD_WRITE")
#pragma pop_macro("FD_OOB")
#pragma pop_macro("FD_ACCEPT")
#pragma pop_macro("FD_CONNECT")
#pragma pop_macro("FD_CLOSE")
#pragma pop_macro("WSAEWOULDBLOCK")
#pragma pop_macro("WSAEALREADY")
#pragma pop_macro("WSAENOTCONN")
#pragma pop_macro("WSAHOST_NOT_FOUND")
