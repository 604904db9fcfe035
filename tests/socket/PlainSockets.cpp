// The tests' plain sockets and application object on Linux: POSIX sockets and a QCoreApplication.
#include "tests/socket/SocketTestSupport.h"

#include <QCoreApplication>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

#include "tests/socket/LoopbackAddress.h"

namespace vorlane::test {

void EnsureApplication()
{
    static int argc = 1;
    static char name[] = "socket-test";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance())
        new QCoreApplication(argc, argv);
}

void WakeLoop()
{
    if (QCoreApplication* application = QCoreApplication::instance())
        QMetaObject::invokeMethod(
            application, [] {}, Qt::QueuedConnection);
}

int ConnectBlocking(uint16_t port)
{
    const int client = PlainSocket();
    const sockaddr_in address = Loopback(port);
    if (client < 0 || connect(client, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
        throw std::runtime_error("test peer: cannot connect");
    return client;
}

int PlainSocket()
{
    return ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
}

uint16_t ListenOnLoopback(int socket, int backlog, uint16_t port)
{
    const int reuse = 1; // a port just refused to a client is taken again at once
    setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
    sockaddr_in address = Loopback(port);
    socklen_t length = sizeof address;
    if (bind(socket, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(socket, backlog) != 0 ||
        getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return 0;
    return ntohs(address.sin_port);
}

bool ReadableWithin(int socket, int ms)
{
    pollfd ready{socket, POLLIN, 0};
    return poll(&ready, 1, ms) == 1;
}

int AcceptWithin(int listener, int ms)
{
    if (!ReadableWithin(listener, ms))
        return -1;
    return accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
}

long ReceiveSome(int socket, char* bytes, size_t size)
{
    return recv(socket, bytes, size, 0);
}

long SendSome(int socket, const char* bytes, size_t size)
{
    return send(socket, bytes, size, MSG_NOSIGNAL);
}

void ShutdownSending(int socket)
{
    shutdown(socket, SHUT_WR);
}

void ShutdownBoth(int socket)
{
    shutdown(socket, SHUT_RDWR);
}

void CloseSocket(int socket)
{
    close(socket);
}

} // namespace vorlane::test
