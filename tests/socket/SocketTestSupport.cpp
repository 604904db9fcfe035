#include "tests/socket/SocketTestSupport.h"

#include <QCoreApplication>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

#include "platform/EventLoopWait.h"

namespace vorlane::test {
namespace {

sockaddr_in Loopback(uint16_t port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    return address;
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
    return EventWait::Within(std::chrono::milliseconds(deadlineMs)).Until(done, deadlineMs);
}

uint16_t ClosedPort()
{
    const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = Loopback(0);
    socklen_t length = sizeof address;
    if (s < 0 || bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        throw std::runtime_error("test peer: no free port");
    close(s);
    return ntohs(address.sin_port);
}

int ConnectBlocking(uint16_t port)
{
    const int client = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_in address = Loopback(port);
    if (client < 0 || connect(client, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
        throw std::runtime_error("test peer: cannot connect");
    return client;
}

TestPeer::TestPeer(Session session, int backlog, int connections, uint16_t port)
    : connections_(connections), session_(std::move(session))
{
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int reuse = 1; // a port just refused to a client is taken again at once
    setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
    sockaddr_in address = Loopback(port);
    socklen_t length = sizeof address;
    if (listener_ < 0 || bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(listener_, backlog) != 0 ||
        getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        if (listener_ >= 0)
            close(listener_);
        throw std::runtime_error("test peer: cannot listen");
    }
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { Run(); });
}

void TestPeer::WakeLoop()
{
    if (!wakesLoop_)
        return;
    if (QCoreApplication* application = QCoreApplication::instance())
        QMetaObject::invokeMethod(application, [] {}, Qt::QueuedConnection);
}

TestPeer::~TestPeer()
{
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        if (client_ >= 0)
            shutdown(client_, SHUT_RDWR); // wakes a session blocked in a receive or send
    }
    changed_.notify_all();
    shutdown(listener_, SHUT_RDWR); // wakes a blocked accept
    thread_.join();
    close(listener_);
}

bool TestPeer::WaitForStop(int ms)
{
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return stopping_.load(); });
}

bool TestPeer::WaitForSessions(int count)
{
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, Deadline, [&] { return sessions_ >= count; });
}

std::string TestPeer::Received()
{
    std::lock_guard lock(mutex_);
    std::string all;
    for (const std::string& bytes : received_)
        all += bytes;
    return all;
}

std::vector<std::string> TestPeer::ReceivedBySession()
{
    std::lock_guard lock(mutex_);
    return {received_.begin(), received_.begin() + sessions_};
}

void TestPeer::Run()
{
    if (!session_) {
        WaitForStop(60 * 60 * 1000);
        return;
    }
    // Poll so that stopping ends the wait for a client too.
    while (!stopping_ && (connections_ == EveryConnection || accepted_ < connections_)) {
        pollfd ready{listener_, POLLIN, 0};
        if (poll(&ready, 1, 50) <= 0)
            continue;
        const int client = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0)
            return;
        {
            std::lock_guard lock(mutex_);
            client_ = client;
            received_.emplace_back();
            if (stopping_)
                shutdown(client, SHUT_RDWR);
        }
        ++accepted_;
        session_(client, *this);
        {
            std::lock_guard lock(mutex_);
            client_ = -1;
            close(client);
            ++sessions_;
        }
        changed_.notify_all();
        WakeLoop();
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
            if (marker && received_.back().find(*marker) != std::string::npos)
                return;
        }
        const ssize_t n = recv(client, chunk, sizeof chunk, 0);
        if (n <= 0)
            return;
        {
            std::lock_guard lock(mutex_);
            received_.back().append(chunk, static_cast<size_t>(n));
        }
        WakeLoop();
    }
}

bool TestPeer::SendAll(int client, const std::string& bytes)
{
    size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = send(client, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        sent += static_cast<size_t>(n);
    }
    return true;
}

} // namespace vorlane::test
