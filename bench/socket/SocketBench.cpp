// The socket client against a local peer: one request-reply exchange (Connect to the end of
// CaptureString) compared with the same exchange in plain blocking socket calls, and the processor
// time a capture uses while it waits for its time-out.
#include <benchmark/benchmark.h>

#include <QCoreApplication>

#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <string>
#include <sys/resource.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

#include "platform/Exceptions.h"
#include "socket/Psock.h"

namespace {

using Clock = std::chrono::steady_clock;

const std::string Request = "SEND SSTP/1.4\r\nSender: bench\r\nScript: hello\\e\r\nCharset: UTF-8\r\n\r\n";
const std::string Reply = "SSTP/1.4 200 OK\r\nSender: peer\r\n\r\n";

// Answers every connection with Reply once the request is complete; with `holdOpen` it sends nothing
// and keeps the connection until it is stopped.
class LocalPeer {
public:
    explicit LocalPeer(bool holdOpen) : holdOpen_(holdOpen)
    {
        listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            listen(listener_, 64) != 0 || getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            throw std::runtime_error("cannot listen");
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { Run(); });
    }
    ~LocalPeer()
    {
        stop_ = true;
        thread_.join();
        close(listener_);
    }
    uint16_t Port() const { return port_; }

private:
    bool Ready(int socket)
    {
        pollfd ready{socket, POLLIN, 0};
        while (!stop_)
            if (poll(&ready, 1, 20) > 0)
                return true;
        return false;
    }
    void Run()
    {
        while (Ready(listener_)) {
            const int client = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            if (client < 0)
                continue;
            if (holdOpen_) {
                Ready(client); // until stopped or the client goes
            } else {
                std::string received;
                char chunk[4096];
                while (received.find("\r\n\r\n") == std::string::npos) {
                    const ssize_t n = recv(client, chunk, sizeof chunk, 0);
                    if (n <= 0)
                        break;
                    received.append(chunk, static_cast<size_t>(n));
                }
                send(client, Reply.data(), Reply.size(), MSG_NOSIGNAL);
            }
            close(client);
        }
    }

    bool holdOpen_;
    int listener_ = -1;
    uint16_t port_ = 0;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// The floor: the same exchange in blocking calls.
std::string BlockingExchange(uint16_t port)
{
    const int client = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    if (connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        throw std::runtime_error("cannot connect");
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
    LocalPeer peer(false);
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
    LocalPeer peer(true);
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

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
