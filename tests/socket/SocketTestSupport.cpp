#include "tests/socket/SocketTestSupport.h"

#include <chrono>
#include <memory>
#include <stdexcept>

#include "platform/EventLoop.h"
#include "platform/EventLoopWait.h"
#include "platform/MessageWindow.h"

namespace vorlane::test {

void RunLater(int ms, std::function<void()> action)
{
    auto window = std::make_shared<WindowHandle>(0);
    *window = AllocateWindow([window, action = std::move(action)](uint32_t, uintptr_t, intptr_t) -> intptr_t {
        const WindowHandle self = *window;
        if (!IsWindow(self))
            return 0;
        KillTimer(self, 1);
        DestroyWindow(self);
        action();
        return 0;
    });
    if (ms <= 0 || !SetTimer(*window, 1, static_cast<uint32_t>(ms)))
        PostMessage(*window, WM_USER, 0, 0);
}

void CollectCentralErrors(std::vector<std::string>& messages)
{
    SetExceptionHandler([&messages](std::exception_ptr error) {
        try {
            std::rethrow_exception(error);
        } catch (const std::exception& e) {
            messages.push_back(e.what());
        }
    });
}

bool WaitUntil(const std::function<bool()>& done, int deadlineMs)
{
    return EventWait::Within(std::chrono::milliseconds(deadlineMs)).Until(done, deadlineMs);
}

uint16_t ClosedPort()
{
    // A port the system hands out to a listener is free again once the listener, which never accepted
    // anything, is closed.
    const int s = PlainSocket();
    const uint16_t port = s < 0 ? 0 : ListenOnLoopback(s, 1);
    if (s >= 0)
        CloseSocket(s);
    if (port == 0)
        throw std::runtime_error("test peer: no free port");
    return port;
}

TestPeer::TestPeer(Session session, int backlog, int connections, uint16_t port)
    : connections_(connections),
      session_(std::move(session))
{
    listener_ = PlainSocket();
    port_ = listener_ < 0 ? 0 : ListenOnLoopback(listener_, backlog, port);
    if (port_ == 0) {
        if (listener_ >= 0)
            CloseSocket(listener_);
        throw std::runtime_error("test peer: cannot listen");
    }
    thread_ = std::thread([this] { Run(); });
}

void TestPeer::WakeLoop()
{
    if (wakesLoop_)
        test::WakeLoop();
}

TestPeer::~TestPeer()
{
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        if (client_ >= 0)
            ShutdownBoth(client_); // wakes a session blocked in a receive or send
    }
    changed_.notify_all();
    thread_.join();
    CloseSocket(listener_);
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
        const int client = AcceptWithin(listener_, 50);
        if (client < 0)
            continue;
        {
            std::lock_guard lock(mutex_);
            client_ = client;
            received_.emplace_back();
            if (stopping_)
                ShutdownBoth(client);
        }
        ++accepted_;
        session_(client, *this);
        {
            std::lock_guard lock(mutex_);
            client_ = -1;
            CloseSocket(client);
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
        const long n = ReceiveSome(client, chunk, sizeof chunk);
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
        const long n = SendSome(client, bytes.data() + sent, bytes.size() - sent);
        if (n <= 0)
            return false;
        sent += static_cast<size_t>(n);
    }
    return true;
}

} // namespace vorlane::test
