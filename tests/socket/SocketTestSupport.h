// Helpers of the socket, SSTP and announcement tests and of their benchmarks: the application object
// the event layer needs, waits bounded by a deadline, a loopback port nothing listens on, and the one
// TCP test peer, which listens on 127.0.0.1 and serves connections in a thread of its own with plain
// blocking sockets.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace vorlane::test {

// Makes what the event layer needs on first use: the process's QCoreApplication (unless some
// application object exists), or on Windows the started Windows Sockets.
void EnsureApplication();
// Wakes the event loop of the thread that called EnsureApplication; from any thread.
void WakeLoop();

// A base for fixtures whose members need the application object already.
struct WithApplication {
    WithApplication() { EnsureApplication(); }
};

// Hands the text of every exception that reaches the central handler to `messages` from now on.
void CollectCentralErrors(std::vector<std::string>& messages);

// Runs `action` once on the loop thread, `ms` milliseconds from now (0: at the loop's next turn).
void RunLater(int ms, std::function<void()> action);

// Runs a modal loop of the system's own, as a menu or a message box does (not the event layer's
// ProcessMessages), until `done` holds or `deadlineMs` pass; returns whether `done` held.
bool RunModalLoopUntil(const std::function<bool()>& done, int deadlineMs);

// Runs the event loop until `done` holds or `deadlineMs` pass; returns whether `done` held.
bool WaitUntil(const std::function<bool()>& done, int deadlineMs = 20000);

// A port on 127.0.0.1 that nothing listens on (one the system just handed out and took back).
uint16_t ClosedPort();

// A connection to `port` that completes (the peer's queue then holds it), for filling a listener.
int ConnectBlocking(uint16_t port);

// Plain blocking sockets of the peer and of the tests' own listeners, on either system.
int PlainSocket(); // -1 on failure
// Binds `socket` to 127.0.0.1 and `port` (0: an ephemeral one) and listens; the port, or 0 on failure.
uint16_t ListenOnLoopback(int socket, int backlog, uint16_t port = 0);
int AcceptWithin(int listener, int ms); // -1 when no connection came
bool ReadableWithin(int socket, int ms);
long ReceiveSome(int socket, char* bytes, size_t size);    // recv(); below 0 on an error
long SendSome(int socket, const char* bytes, size_t size); // send(); a gone peer raises no signal
void ShutdownSending(int socket);
void ShutdownBoth(int socket); // wakes a thread blocked on the socket
void CloseSocket(int socket);

// A listening socket on 127.0.0.1. `session` runs in the peer's thread for each connection accepted,
// one after another, with its blocking descriptor (closed afterwards); without a session the peer
// never accepts. The destructor stops the peer: Stopping() turns true, and a session blocked in a
// receive or send is woken, so a failing test reports instead of hanging.
class TestPeer {
public:
    using Session = std::function<void(int client, TestPeer& peer)>;
    static constexpr int EveryConnection = -1;
    // How long a test thread waits for the peer at most.
    static constexpr auto Deadline = std::chrono::seconds(20);

    // Serves `connections` connections (EveryConnection: until stopped) on an ephemeral port, or on
    // `port` when it is not 0.
    explicit TestPeer(Session session, int backlog = 8, int connections = 1, uint16_t port = 0);
    ~TestPeer();
    TestPeer(const TestPeer&) = delete;
    TestPeer& operator=(const TestPeer&) = delete;

    uint16_t Port() const { return port_; }
    bool Stopping() const { return stopping_; }
    // Waits in the peer's thread until the peer is stopped or `ms` pass; true when stopped.
    bool WaitForStop(int ms);

    // Session helpers: receive until `marker` has arrived in this connection (or the connection
    // ends), or everything until the client closes; send everything (false when the client has gone).
    void ReceiveUntil(int client, const std::string& marker);
    void ReceiveAll(int client);
    static bool SendAll(int client, const std::string& bytes);

    // Connections accepted so far, and sessions ended.
    int Accepted() const { return accepted_; }
    int Sessions() const { return sessions_; }
    // Blocks the calling thread (no events handled) until `count` sessions have ended; false at the
    // deadline.
    bool WaitForSessions(int count);
    // Every byte received through the session helpers, all connections together; and what each ended
    // connection received, in order.
    std::string Received();
    std::vector<std::string> ReceivedBySession();

    // After each chunk received and each session the peer wakes the event loop, so that a wait there
    // sees its progress at once. A benchmark turns that off: the wake-ups would land in the waits it
    // measures.
    void SetWakesLoop(bool wakes) { wakesLoop_ = wakes; }

private:
    void Run();
    void WakeLoop();
    void Receive(int client, const std::string* marker);

    int listener_ = -1;
    int client_ = -1; // the accepted connection while its session runs (guarded by mutex_)
    uint16_t port_ = 0;
    int connections_ = 1;
    Session session_;
    std::atomic<bool> stopping_{false};
    std::atomic<bool> wakesLoop_{true};
    std::atomic<int> accepted_{0};
    std::atomic<int> sessions_{0};
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::string> received_; // one entry per accepted connection
    std::thread thread_;
};

} // namespace vorlane::test
