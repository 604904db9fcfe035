// One wallpaper announcement to a local mascot that answers and keeps the connection open, as real
// mascots do, against the floor of the same exchange in plain blocking socket calls that stop at the
// reply's empty line. Each iteration times both, one after the other, so the ratio holds up on a busy
// machine; run with repetitions to see its spread.
#include "platform/CodePage.h"
#include "sstp/FastSstp.h"
#include "sstp/SstpRequest.h"
#include "sstp/WallpaperAnnouncement.h"
#include "tests/sstp/SstpTestServer.h"

#include <benchmark/benchmark.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <string>

namespace {

using namespace vorlane;
using Clock = std::chrono::steady_clock;

const char* const Picture = "/pictures/a.jpg";
const char* const MascotReply = "SSTP/1.4 200 OK\r\nCharset: Shift_JIS\r\n\r\n";

// The floor: the same request bytes, one blocking send per line as the component writes them, and
// blocking receives up to the reply's empty line.
bool BlockingExchange(uint16_t port)
{
    static const std::string lines[] = {"SEND SSTP/1.0\r\n",
                                        "Sender: Vorlane\r\n",
                                        "CharSet: Shift_JIS\r\n",
                                        "Script: " + codepage::Utf8ToShiftJis("壁紙をa.jpgに設定しました").value() +
                                            "\r\n",
                                        "Option: nodescript\r\n",
                                        "\r\n",
                                        "\r\n"};
    const int fd = test::ConnectBlocking(port);
    for (const std::string& line : lines)
        ::send(fd, line.data(), line.size(), MSG_NOSIGNAL);
    std::string reply;
    char buffer[65536];
    while (!sstp::ReplyComplete(reply)) {
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0)
            break;
        reply.append(buffer, static_cast<size_t>(n));
    }
    ::close(fd);
    return reply == MascotReply;
}

double Microseconds(Clock::duration d)
{
    return std::chrono::duration<double, std::micro>(d).count();
}

void BM_AnnouncementToAMascotThatStaysOpen(benchmark::State& state)
{
    test::SstpTestServer mascot({{test::PeerBehaviour::ReplyAndStayOpen, MascotReply}}, true);
    mascot.SetWakesLoop(false);
    TFastSstp sstp;
    ApplyMainWindowSettings(sstp);
    sstp.SetPort(mascot.Port());
    Clock::duration floor{};
    Clock::duration announcement{};
    for (auto _ : state) {
        auto start = Clock::now();
        const bool plain = BlockingExchange(static_cast<uint16_t>(mascot.Port()));
        floor += Clock::now() - start;
        start = Clock::now();
        AnnounceWallpaper(sstp, Picture);
        announcement += Clock::now() - start;
        if (!plain || sstp.StatusCode() != 200)
            state.SkipWithError("no 200 from the mascot");
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["blocking_us"] = Microseconds(floor) / n;
    state.counters["announcement_us"] = Microseconds(announcement) / n;
    state.counters["ratio"] = Microseconds(announcement) / Microseconds(floor);
}
BENCHMARK(BM_AnnouncementToAMascotThatStaysOpen)->Unit(benchmark::kMicrosecond);

} // namespace
