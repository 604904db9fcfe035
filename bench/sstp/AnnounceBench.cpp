// One wallpaper announcement to a local mascot that answers and closes, against the floor of the same
// request bytes sent and the reply read with plain blocking socket calls. Prints the ratio.
#include "platform/CodePage.h"
#include "sstp/FastSstp.h"
#include "sstp/WallpaperAnnouncement.h"
#include "tests/sstp/SstpTestServer.h"

#include <QCoreApplication>
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <map>
#include <string>

namespace {

using namespace vorlane;

const char* const Picture = "/pictures/a.jpg";

// Answers every request with a status line and closes, in a thread of its own.
test::SstpTestServer& TheMascot()
{
    static test::SstpTestServer mascot({{test::PeerBehaviour::ReplyAndClose, "SSTP/1.4 200 OK\r\n"}}, true);
    return mascot;
}

void BM_Announcement(benchmark::State& state)
{
    TFastSstp sstp;
    ApplyMainWindowSettings(sstp);
    sstp.SetPort(TheMascot().Port());
    for (auto _ : state) {
        AnnounceWallpaper(sstp, Picture);
        if (sstp.StatusCode() != 200)
            state.SkipWithError("no 200 from the mascot");
    }
}
BENCHMARK(BM_Announcement)->Unit(benchmark::kMicrosecond);

// The floor: the same bytes, one blocking send per line as the component writes them.
void BM_PlainSocketFloor(benchmark::State& state)
{
    const std::string script = "壁紙を" + std::string("a.jpg") + "に設定しました";
    const std::string lines[] = {"SEND SSTP/1.0\r\n", "Sender: Vorlane\r\n", "CharSet: Shift_JIS\r\n",
                                 "Script: " + codepage::Utf8ToShiftJis(script).value() + "\r\n",
                                 "Option: nodescript\r\n", "\r\n", "\r\n"};
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(TheMascot().Port()));
    for (auto _ : state) {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
            state.SkipWithError("connect failed");
        for (const std::string& line : lines)
            ::send(fd, line.data(), line.size(), MSG_NOSIGNAL);
        std::string reply;
        char buffer[65536];
        ssize_t n;
        while ((n = ::recv(fd, buffer, sizeof buffer, 0)) > 0)
            reply.append(buffer, static_cast<size_t>(n));
        ::close(fd);
        benchmark::DoNotOptimize(reply);
    }
}
BENCHMARK(BM_PlainSocketFloor)->Unit(benchmark::kMicrosecond);

// Keeps the per-iteration times so the ratio can be printed after the run.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs)
            if (run.iterations > 0 && run.run_type == Run::RT_Iteration)
                times[run.benchmark_name()] = run.GetAdjustedRealTime();
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> times;
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const double announcement = reporter.times["BM_Announcement"];
    const double floor = reporter.times["BM_PlainSocketFloor"];
    if (announcement > 0 && floor > 0)
        std::printf("announcement / plain blocking floor = %.2f\n", announcement / floor);
    benchmark::Shutdown();
    return 0;
}
