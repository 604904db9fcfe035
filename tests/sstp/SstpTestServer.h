// A scripted SSTP peer for tests and benchmarks: the loopback test peer, treating each accepted
// connection by the next behaviour of its list and recording every byte it receives.
#pragma once

#include "tests/socket/SocketTestSupport.h"

#ifdef __linux__
#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

namespace vorlane::test {

struct PeerBehaviour {
    enum Kind {
        ReplyAndClose,    // read the request, send the reply, close
        ReplyAndStayOpen, // read the request, send the reply, wait until the client closes
        CloseAtOnce,      // close without reading or replying
        Flood,            // read the request, send the reply, then up to 1 GiB more until the client closes
        HoldReply,        // read the request, wait for Release(), then as ReplyAndStayOpen
    };
    Kind kind = ReplyAndClose;
    std::string reply;
};

class SstpTestServer {
public:
    // One behaviour per connection, in order; with `repeat` the last one serves every further
    // connection. `port` 0 takes an ephemeral port.
    explicit SstpTestServer(std::vector<PeerBehaviour> behaviours, bool repeat = false, uint16_t port = 0)
        : behaviours_(std::move(behaviours)),
          peer_([this](int client, TestPeer& peer) { Serve(client, peer); }, 8,
                repeat ? TestPeer::EveryConnection : static_cast<int>(behaviours_.size()), port)
    {
    }
    ~SstpTestServer() { Release(); } // a held reply must not keep the peer from stopping

    int32_t Port() const { return peer_.Port(); }

    // Waits (bounded, handling no events) until `count` connections have been handled to the end.
    bool WaitForConnections(size_t count) { return peer_.WaitForSessions(static_cast<int>(count)); }
    // What each finished connection received, in order.
    std::vector<std::string> Requests() { return peer_.ReceivedBySession(); }
    size_t Accepted() const { return static_cast<size_t>(peer_.Accepted()); }
    uint64_t BytesFlooded() const { return flooded_; }
    void SetWakesLoop(bool wakes) { peer_.SetWakesLoop(wakes); }
    // Lets held replies go out, now and from now on.
    void Release()
    {
        {
            std::lock_guard lock(mutex_);
            released_ = true;
        }
        releasedChanged_.notify_all();
    }

private:
    void Serve(int client, TestPeer& peer)
    {
        const int index = peer.Accepted() - 1;
        const PeerBehaviour& behaviour = behaviours_.at(std::min<size_t>(index, behaviours_.size() - 1));
        if (behaviour.kind == PeerBehaviour::CloseAtOnce)
            return;
        peer.ReceiveUntil(client, "\r\n\r\n\r\n");
        if (behaviour.kind == PeerBehaviour::HoldReply) {
            std::unique_lock lock(mutex_);
            releasedChanged_.wait_for(lock, TestPeer::Deadline, [&] { return released_ || peer.Stopping(); });
        }
        TestPeer::SendAll(client, behaviour.reply);
        if (behaviour.kind == PeerBehaviour::Flood) {
            const std::string chunk(64 * 1024, 'x');
            constexpr uint64_t Limit = uint64_t(1) << 30;
            while (flooded_ < Limit && TestPeer::SendAll(client, chunk))
                flooded_ += chunk.size();
        }
        if (behaviour.kind == PeerBehaviour::ReplyAndClose || behaviour.kind == PeerBehaviour::Flood)
            ShutdownSending(client);
        peer.ReceiveAll(client); // the rest, until the client disconnects
    }

    std::vector<PeerBehaviour> behaviours_;
    std::atomic<uint64_t> flooded_ = 0;
    std::mutex mutex_;
    std::condition_variable releasedChanged_;
    bool released_ = false;
    TestPeer peer_; // last: its thread stops before the members it uses go
};

#ifdef __linux__
// Moves the calling thread, and the threads and processes it starts from now on, into a network
// namespace of its own with the loopback interface up, so that a test's mascot can take the fixed port
// 9801. False where that is not allowed (it needs CAP_SYS_ADMIN).
inline bool EnterOwnNetwork()
{
    if (::unshare(CLONE_NEWNET) != 0)
        return false;
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    ifreq request{};
    std::strcpy(request.ifr_name, "lo");
    const bool up = fd >= 0 && ::ioctl(fd, SIOCGIFFLAGS, &request) == 0 &&
                    (request.ifr_flags |= IFF_UP, ::ioctl(fd, SIOCSIFFLAGS, &request) == 0);
    if (fd >= 0)
        ::close(fd);
    return up;
}
#endif

} // namespace vorlane::test
