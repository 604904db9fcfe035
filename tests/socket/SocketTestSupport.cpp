#include "tests/socket/SocketTestSupport.h"

#include <QCoreApplication>

#include <arpa/inet.h>
#include <chrono>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

#include "platform/EventLoop.h"

namespace vorlane::test {
namespace {

// Lets a wait on the loop thread see what the peer's thread has just done.
void WakeLoop()
{
    if (QCoreApplication* application = QCoreApplication::instance())
        QMetaObject::invokeMethod(application, [] {}, Qt::QueuedConnection);
}

} // namespace

void EnsureApplication()
{
    static int argc = 1;
    static char name[] = "socket-test";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance())
        new QCoreApplication(argc, argv);
}

bool WaitUntil(const std::function<bool()>& done, int deadlineMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(deadlineMs);
    while (!done()) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return false;
        WaitForEvents(static_cast<int>(left.count()));
    }
    return true;
}

TestPeer::TestPeer(Session session, int backlog) : session_(std::move(session))
{
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (listener_ < 0 || bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(listener_, backlog) != 0 ||
        getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        throw std::runtime_error("test peer: cannot listen");
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { Run(); });
}

TestPeer::~TestPeer()
{
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    stopped_.notify_all();
    shutdown(listener_, SHUT_RDWR); // wakes a blocked accept
    {
        // A session still blocked in a receive (its client never sent what it waited for) ends too,
        // so a failing test reports instead of hanging.
        std::lock_guard lock(mutex_);
        if (client_ >= 0)
            shutdown(client_, SHUT_RDWR);
    }
    thread_.join();
    close(listener_);
}

bool TestPeer::WaitForStop(int ms)
{
    std::unique_lock lock(mutex_);
    return stopped_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return stopping_.load(); });
}

std::string TestPeer::Received()
{
    std::lock_guard lock(mutex_);
    return received_;
}

void TestPeer::Run()
{
    if (!session_) {
        WaitForStop(60 * 60 * 1000);
        return;
    }
    // Poll so that stopping ends the wait for a client too.
    while (!stopping_) {
        pollfd ready{listener_, POLLIN, 0};
        if (poll(&ready, 1, 50) <= 0)
            continue;
        const int client = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0)
            return;
        {
            std::lock_guard lock(mutex_);
            client_ = client;
        }
        session_(client, *this);
        {
            std::lock_guard lock(mutex_);
            client_ = -1;
        }
        close(client);
        ++sessions_;
        WakeLoop();
        return;
    }
}

void TestPeer::ReceiveUntil(int client, const std::string& marker)
{
    Receive(client, &marker);
}

void TestPeer::ReceiveAll(int client)
{
    Receive(client, nullptr);
}

void TestPeer::Receive(int client, const std::string* marker)
{
    char chunk[4096];
    for (;;) {
        {
            std::lock_guard lock(mutex_);
            if (marker && received_.find(*marker) != std::string::npos)
                return;
        }
        const ssize_t n = recv(client, chunk, sizeof chunk, 0);
        if (n <= 0)
            return;
        {
            std::lock_guard lock(mutex_);
            received_.append(chunk, static_cast<size_t>(n));
        }
        WakeLoop();
    }
}

void TestPeer::SendAll(int client, const std::string& bytes)
{
    size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = send(client, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0)
            return;
        sent += static_cast<size_t>(n);
    }
}

int ConnectBlocking(uint16_t port)
{
    const int client = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    if (client < 0 || connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        throw std::runtime_error("test peer: cannot connect");
    return client;
}

} // namespace vorlane::test
