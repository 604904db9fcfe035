// The socket client against a local peer: one request-reply exchange (Connect to the end of
// CaptureString) compared with the same exchange in plain blocking socket calls, and the processor
// time a capture uses while it waits for its time-out.
#include <benchmark/benchmark.h>

#include <chrono>
#include <stdexcept>
#include <string>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include "platform/Exceptions.h"
#include "socket/Psock.h"
#include "tests/socket/SocketTestSupport.h"

namespace {

using Clock = std::chrono::steady_clock;

const std::string Request = "SEND SSTP/1.4\r\nSender: bench\r\nScript: hello\\e\r\nCharset: UTF-8\r\n\r\n";
const std::string Reply = "SSTP/1.4 200 OK\r\nSender: peer\r\n\r\n";

// Answers every connection with Reply once the request is complete; with `holdOpen` it sends nothing
// and keeps the connection until the client goes or the peer is stopped.
vorlane::test::TestPeer StartLocalPeer(bool holdOpen)
{
    if (holdOpen)
        return vorlane::test::TestPeer([](int client, vorlane::test::TestPeer& peer) { peer.ReceiveAll(client); }, 64,
                                       vorlane::test::TestPeer::EveryConnection);
    return vorlane::test::TestPeer(
        [](int client, vorlane::test::TestPeer& peer) {
            peer.ReceiveUntil(client, "\r\n\r\n");
            vorlane::test::TestPeer::SendAll(client, Reply);
        },
        64, vorlane::test::TestPeer::EveryConnection);
}

// The floor: the same exchange in blocking calls.
std::string BlockingExchange(uint16_t port)
{
    const int client = vorlane::test::ConnectBlocking(port);
    send(client, Request.data(), Request.size(), MSG_NOSIGNAL);
    std::string reply;
    char chunk[65536];
    for (;;) {
        const ssize_t n = recv(client, chunk, sizeof chunk, 0);
        if (n <= 0)
            break;
        reply.append(chunk, static_cast<size_t>(n));
    }
    close(client);
    return reply;
}

// The exchange as the SSTP component makes it: the lines, an empty line, the capture until the peer
// closes, then Disconnect.
std::string PowersockExchange(vorlane::TPowersock& sock)
{
    sock.Connect();
    sock.Writeln("SEND SSTP/1.4");
    sock.Writeln("Sender: bench");
    sock.Writeln("Script: hello\\e");
    sock.Writeln("Charset: UTF-8");
    sock.Writeln("");
    std::string reply;
    sock.CaptureString(reply, -1);
    sock.Disconnect();
    return reply;
}

double Microseconds(Clock::duration d)
{
    return std::chrono::duration<double, std::micro>(d).count();
}

void BM_ConnectToEndOfCapture(benchmark::State& state)
{
    vorlane::test::TestPeer peer = StartLocalPeer(false);
    peer.SetWakesLoop(false); // its wake-ups would land in the waits measured
    vorlane::TPowersock sock;
    sock.SetHost("127.0.0.1");
    sock.SetPort(peer.Port());
    sock.SetTimeOut(2000);
    Clock::duration floor{};
    Clock::duration client{};
    for (auto _ : state) {
        auto start = Clock::now();
        const std::string plain = BlockingExchange(peer.Port());
        floor += Clock::now() - start;
        start = Clock::now();
        const std::string captured = PowersockExchange(sock);
        client += Clock::now() - start;
        if (plain != Reply || captured != Reply)
            state.SkipWithError("wrong reply");
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["blocking_us"] = Microseconds(floor) / n;
    state.counters["powersock_us"] = Microseconds(client) / n;
    state.counters["extra_us"] = (Microseconds(client) - Microseconds(floor)) / n;
    state.counters["ratio"] = Microseconds(client) / Microseconds(floor);
}
BENCHMARK(BM_ConnectToEndOfCapture)->Unit(benchmark::kMicrosecond);

double ThreadCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void BM_CpuDuringTimedOutCapture(benchmark::State& state)
{
    vorlane::test::TestPeer peer = StartLocalPeer(true);
    peer.SetWakesLoop(false);
    vorlane::TPowersock sock;
    sock.SetHost("127.0.0.1");
    sock.SetPort(peer.Port());
    sock.SetTimeOut(2000);
    double cpu = 0;
    double wall = 0;
    for (auto _ : state) {
        sock.Connect();
        const double cpuStart = ThreadCpuSeconds();
        const auto start = Clock::now();
        std::string text;
        bool aborted = false;
        try {
            sock.CaptureString(text, -1);
        } catch (const vorlane::EAbortError&) {
            aborted = true;
        }
        wall += std::chrono::duration<double>(Clock::now() - start).count();
        cpu += ThreadCpuSeconds() - cpuStart;
        sock.Disconnect();
        if (!aborted)
            state.SkipWithError("the capture did not time out");
    }
    state.counters["wall_ms"] = wall * 1000 / static_cast<double>(state.iterations());
    state.counters["cpu_ms"] = cpu * 1000 / static_cast<double>(state.iterations());
    state.counters["cpu_percent"] = wall > 0 ? 100 * cpu / wall : 0;
}
BENCHMARK(BM_CpuDuringTimedOutCapture)->Iterations(2)->Unit(benchmark::kMillisecond);

} // namespace
