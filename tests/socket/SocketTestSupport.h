// Helpers of the socket tests: the application object the event layer needs, waits for a condition
// bounded by a deadline, and small TCP peers on 127.0.0.1 that run in a thread of their own with plain
// blocking sockets.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace vorlane::test {

// Creates the process's QCoreApplication on first use.
void EnsureApplication();

// A base for fixtures whose members need the application object already.
struct WithApplication {
    WithApplication() { EnsureApplication(); }
};

// Runs the event loop until `done` holds or `deadlineMs` pass; returns whether `done` held.
bool WaitUntil(const std::function<bool()>& done, int deadlineMs = 5000);

// A listening socket on 127.0.0.1 with an ephemeral port. `session` runs in the peer's thread for the
// first connection accepted (with its blocking descriptor, closed afterwards); without a session the
// peer never accepts. The destructor stops the peer: Stopping() turns true and the session should end.
class TestPeer {
public:
    using Session = std::function<void(int client, TestPeer& peer)>;
    explicit TestPeer(Session session, int backlog = 8);
    ~TestPeer();
    TestPeer(const TestPeer&) = delete;
    TestPeer& operator=(const TestPeer&) = delete;

    uint16_t Port() const { return port_; }
    bool Stopping() const { return stopping_; }
    // Waits in the peer's thread until the peer is stopped or `ms` pass; true when stopped.
    bool WaitForStop(int ms);
    // Every byte the session received through ReceiveUntil / ReceiveAll.
    std::string Received();
    // Session helpers: receive until `marker` has arrived (or the connection ends), or everything until
    // the client closes.
    void ReceiveUntil(int client, const std::string& marker);
    void ReceiveAll(int client);
    static void SendAll(int client, const std::string& bytes);
    // Sessions ended so far.
    int Sessions() const { return sessions_; }

private:
    void Run();
    // Receives until `marker` (when not null) has arrived or the connection ends.
    void Receive(int client, const std::string* marker);

    int listener_ = -1;
    int client_ = -1; // the accepted connection while its session runs (guarded by mutex_)
    uint16_t port_ = 0;
    Session session_;
    std::atomic<bool> stopping_{false};
    std::atomic<int> sessions_{0};
    std::mutex mutex_;
    std::condition_variable stopped_;
    std::string received_;
    std::thread thread_;
};

// A connection to `port` that completes (the peer's queue then holds it), for filling a listener.
int ConnectBlocking(uint16_t port);

} // namespace vorlane::test
