// A scripted SSTP peer for tests: listens on 127.0.0.1 (an ephemeral port, or the one given) in a thread of its own and
// treats each accepted connection by the next behaviour of its list, recording every byte it receives.
// Every wait is bounded by a deadline, so a faulty client can never hang a test.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace vorlane::test {

struct PeerBehaviour {
    enum Kind {
        ReplyAndClose,     // read the request, send the reply, close
        ReplyAndStayOpen,  // read the request, send the reply, wait until the client closes
        CloseAtOnce,       // close without reading or replying
        Flood,             // read the request, send the reply, then up to 1 GiB more until the client closes
    };
    Kind kind = ReplyAndClose;
    std::string reply;
};

class SstpTestServer {
public:
    static constexpr auto Deadline = std::chrono::seconds(20);

    // `port` 0: an ephemeral one. A fixed port (9801) only inside a network namespace of the test's own.
    explicit SstpTestServer(std::vector<PeerBehaviour> behaviours, uint16_t port = 0) : behaviours_(std::move(behaviours))
    {
        listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(port);
        socklen_t length = sizeof address;
        if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(listener_, 8) != 0 ||
            ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            throw std::runtime_error("test server cannot listen");
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { Run(); });
    }

    ~SstpTestServer()
    {
        stop_ = true;
        thread_.join();
        ::close(listener_);
    }

    int32_t Port() const { return port_; }

    // Waits (bounded) until `count` connections have been handled to the end; false on the deadline.
    bool WaitForConnections(size_t count)
    {
        std::unique_lock lock(mutex_);
        return done_.wait_for(lock, Deadline, [&] { return requests_.size() >= count; });
    }

    // What each finished connection received, in order.
    std::vector<std::string> Requests()
    {
        std::lock_guard lock(mutex_);
        return requests_;
    }
    size_t Accepted() const { return accepted_; }
    uint64_t BytesFlooded() const { return flooded_; }

private:
    using Clock = std::chrono::steady_clock;

    bool TimeLeft(Clock::time_point end) const { return !stop_ && Clock::now() < end; }

    // Waits for `events` on `fd` in short slices, so that stop_ and the deadline are seen.
    bool WaitFor(int fd, short events, Clock::time_point end) const
    {
        while (TimeLeft(end)) {
            pollfd entry{fd, events, 0};
            const int ready = ::poll(&entry, 1, 20);
            if (ready > 0)
                return true;
            if (ready < 0)
                return false;
        }
        return false;
    }

    void Run()
    {
        const Clock::time_point end = Clock::now() + Deadline;
        for (const PeerBehaviour& behaviour : behaviours_) {
            if (!WaitFor(listener_, POLLIN, end))
                return;
            const int connection = ::accept(listener_, nullptr, nullptr);
            if (connection < 0)
                return;
            ++accepted_;
            std::string received = Serve(connection, behaviour, end);
            ::close(connection);
            std::lock_guard lock(mutex_);
            requests_.push_back(std::move(received));
            done_.notify_all();
        }
    }

    // Reads until `stopAtRequestEnd` sees the blank line and the extra CR LF, or until the client closes.
    void Receive(int connection, std::string& received, bool stopAtRequestEnd, Clock::time_point end) const
    {
        char buffer[4096];
        while (!(stopAtRequestEnd && received.find("\r\n\r\n\r\n") != std::string::npos) &&
               WaitFor(connection, POLLIN, end)) {
            const ssize_t n = ::recv(connection, buffer, sizeof buffer, 0);
            if (n <= 0)
                return;
            received.append(buffer, static_cast<size_t>(n));
        }
    }

    bool SendAll(int connection, const char* data, size_t length, Clock::time_point end)
    {
        while (length > 0) {
            if (!WaitFor(connection, POLLOUT, end))
                return false;
            const ssize_t n = ::send(connection, data, length, MSG_NOSIGNAL);
            if (n <= 0)
                return false;
            data += n;
            length -= static_cast<size_t>(n);
        }
        return true;
    }

    std::string Serve(int connection, const PeerBehaviour& behaviour, Clock::time_point end)
    {
        std::string received;
        if (behaviour.kind == PeerBehaviour::CloseAtOnce)
            return received;
        Receive(connection, received, true, end);
        SendAll(connection, behaviour.reply.data(), behaviour.reply.size(), end);
        if (behaviour.kind == PeerBehaviour::Flood) {
            const std::string chunk(64 * 1024, 'x');
            constexpr uint64_t Limit = uint64_t(1) << 30;
            while (flooded_ < Limit && SendAll(connection, chunk.data(), chunk.size(), end))
                flooded_ += chunk.size();
        }
        if (behaviour.kind != PeerBehaviour::ReplyAndStayOpen)
            ::shutdown(connection, SHUT_WR);
        Receive(connection, received, false, end); // the rest, until the client disconnects
        return received;
    }

    std::vector<PeerBehaviour> behaviours_;
    int listener_ = -1;
    int32_t port_ = 0;
    std::thread thread_;
    std::atomic<bool> stop_ = false;
    std::atomic<size_t> accepted_ = 0;
    std::atomic<uint64_t> flooded_ = 0;
    std::mutex mutex_;
    std::condition_variable done_;
    std::vector<std::string> requests_;
};

} // namespace vorlane::test
