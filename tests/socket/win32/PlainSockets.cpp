// The tests' plain sockets on Windows: blocking Windows Sockets, started once for the tests, and a
// message target of the loop thread that a peer's thread posts to, to wake the loop.
#include "tests/socket/SocketTestSupport.h"

#include <winsock2.h>
#include <windows.h>

#include <stdexcept>

#undef PostMessage
#include "platform/MessageWindow.h"
#include "tests/socket/LoopbackAddress.h"

namespace vorlane::test {
namespace {

SOCKET Native(int socket)
{
    return socket < 0 ? INVALID_SOCKET : static_cast<SOCKET>(socket);
}

WindowHandle& Waker()
{
    static WindowHandle waker = 0;
    return waker;
}

} // namespace

void EnsureApplication()
{
    static const bool started = [] {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
        Waker() = AllocateWindow([](uint32_t, uintptr_t, intptr_t) { return intptr_t{0}; });
        return true;
    }();
    (void)started;
}

void WakeLoop()
{
    if (Waker() != 0)
        vorlane::PostMessage(Waker(), WM_USER, 0, 0);
}

uint16_t ClosedPort()
{
    const int s = PlainSocket();
    sockaddr_in address = Loopback(0);
    int length = sizeof address;
    if (s < 0 || bind(Native(s), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        getsockname(Native(s), reinterpret_cast<sockaddr*>(&address), &length) != 0)
        throw std::runtime_error("test peer: no free port");
    closesocket(Native(s));
    return ntohs(address.sin_port);
}

int ConnectBlocking(uint16_t port)
{
    const int client = PlainSocket();
    const sockaddr_in address = Loopback(port);
    if (client < 0 || connect(Native(client), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
        throw std::runtime_error("test peer: cannot connect");
    return client;
}

int PlainSocket()
{
    EnsureApplication();
    const SOCKET socket = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    return socket == INVALID_SOCKET ? -1 : static_cast<int>(socket);
}

uint16_t ListenOnLoopback(int socket, int backlog, uint16_t port)
{
    sockaddr_in address = Loopback(port);
    int length = sizeof address;
    if (bind(Native(socket), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(Native(socket), backlog) != 0 ||
        getsockname(Native(socket), reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return 0;
    return ntohs(address.sin_port);
}

bool ReadableWithin(int socket, int ms)
{
    WSAPOLLFD ready{Native(socket), POLLRDNORM, 0};
    return WSAPoll(&ready, 1, ms) == 1;
}

int AcceptWithin(int listener, int ms)
{
    if (!ReadableWithin(listener, ms))
        return -1;
    const SOCKET accepted = accept(Native(listener), nullptr, nullptr);
    return accepted == INVALID_SOCKET ? -1 : static_cast<int>(accepted);
}

long ReceiveSome(int socket, char* bytes, size_t size)
{
    return recv(Native(socket), bytes, static_cast<int>(size), 0);
}

long SendSome(int socket, const char* bytes, size_t size)
{
    return send(Native(socket), bytes, static_cast<int>(size), 0);
}

void ShutdownSending(int socket)
{
    shutdown(Native(socket), SD_SEND);
}

void ShutdownBoth(int socket)
{
    shutdown(Native(socket), SD_BOTH);
}

void CloseSocket(int socket)
{
    closesocket(Native(socket));
}

} // namespace vorlane::test
