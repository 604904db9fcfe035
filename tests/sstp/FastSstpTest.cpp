#include "sstp/FastSstp.h"

#include "platform/Exceptions.h"
#include "sstp/WallpaperAnnouncement.h"
#include "tests/sstp/SstpTestServer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <memory>

namespace vorlane {
namespace {

using test::PeerBehaviour;
using test::SstpTestServer;
using ::testing::ElementsAre;

// 壁紙を ... に設定しました in Shift_JIS.
const std::string SjisPrefix = "\x95\xC7\x8E\x86\x82\xF0";
const std::string SjisSuffix = "\x82\xC9\x90\xDD\x92\xE8\x82\xB5\x82\xDC\x82\xB5\x82\xBD";

PeerBehaviour Reply(std::string reply, PeerBehaviour::Kind kind = PeerBehaviour::ReplyAndClose)
{
    return {kind, std::move(reply)};
}

class FastSstpTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::EnsureApplication();
        sstp_ = std::make_unique<TFastSstp>();
        ApplyMainWindowSettings(*sstp_);
        sstp_->SetTimeOut(500); // keeps the cases that wait for the time-out short
    }

    // Sends `script` to a server that treats the connection by `behaviour`; returns what it received.
    std::string Exchange(const std::string& script, PeerBehaviour behaviour, TSstpResult* result = nullptr)
    {
        SstpTestServer server({std::move(behaviour)});
        sstp_->SetPort(server.Port());
        const TSstpResult r = sstp_->SendScript(script, {soNoDescript});
        if (result)
            *result = r;
        EXPECT_TRUE(server.WaitForConnections(1));
        return server.Requests().at(0);
    }

    // Announces `path` to a mascot that answers 200: the request must carry the file name as `sjisName`.
    void ExpectAnnouncement(const std::string& path, const std::string& sjisName)
    {
        SstpTestServer server({Reply("SSTP/1.4 200 OK\r\n")});
        sstp_->SetPort(server.Port());
        AnnounceWallpaper(*sstp_, path);
        ASSERT_TRUE(server.WaitForConnections(1));
        EXPECT_EQ(server.Requests().at(0), "SEND SSTP/1.0\r\n"
                                           "Sender: Vorlane\r\n"
                                           "CharSet: Shift_JIS\r\n"
                                           "Script: " +
                                               SjisPrefix + sjisName + SjisSuffix +
                                               "\r\n"
                                               "Option: nodescript\r\n"
                                               "\r\n"
                                               "\r\n")
            << path;
        EXPECT_EQ(sstp_->StatusCode(), 200);
    }

    std::unique_ptr<TFastSstp> sstp_;
};

TEST_F(FastSstpTest, AnnouncementGoesOutByteForByteInShiftJis)
{
    const std::pair<std::string, std::string> cases[] = {
        {"/pictures/a.jpg", "a.jpg"},
        {"/pictures/表示.jpg", "\x95\x5C\x8E\xA6.jpg"},           // 表 ends in 0x5C
        {"/pictures/ソース.bmp", "\x83\x5C\x81\x5B\x83\x58.bmp"}, // so does ソ
    };
    for (const auto& [path, sjisName] : cases)
        ExpectAnnouncement(path, sjisName);
}

// Mascots read every request as Shift_JIS: a character it lacks, or bytes that are not UTF-8, turn
// into "?" and the rest of the announcement stays readable.
TEST_F(FastSstpTest, WhatShiftJisCannotExpressGoesOutAsQuestionMarks)
{
    const std::pair<std::string, std::string> cases[] = {
        {"/pictures/caf\xC3\xA9 \xC3\xBC\xC3\x9F\xE2\x82\xAC\xF0\x9F\x98\x80表.jpg", "caf? ????\x95\x5C.jpg"},
        {"/pictures/a\xFF\xE3\x81"
         "b.jpg",
         "a??b.jpg"},
    };
    for (const auto& [path, sjisName] : cases)
        ExpectAnnouncement(path, sjisName);
}

TEST_F(FastSstpTest, RequestCarriesEntriesTheCurrentSenderAndAnHWndLine)
{
    sstp_->SetSstpSender("Other\r\nSender");
    SstpTestServer server({Reply("SSTP/1.4 200 OK\r\n")});
    sstp_->SetPort(server.Port());
    EXPECT_EQ(sstp_->SendScriptList({"one", "", "two"}, {soNoTranslate, soNoDescript}, 4000000000u), srOk);
    ASSERT_TRUE(server.WaitForConnections(1));
    EXPECT_EQ(server.Requests().at(0), "SEND SSTP/1.0\r\nSender: Other\r\nSender\r\nCharSet: Shift_JIS\r\n"
                                       "Script: one\r\nEntry: \r\nEntry: two\r\n"
                                       "Option: notranslate,nodescript\r\nHWnd: 4000000000\r\n\r\n\r\n");
}

TEST_F(FastSstpTest, ReplyStatusComesFromTheFirstLineOnly)
{
    struct Case {
        std::string reply;
        int32_t code;
        TSstpResult result;
    };
    // How a status line is read is SstpParseStatusCode's; here, that the component reads the reply's
    // first line, whole or cut, and reports it.
    const Case cases[] = {
        {"SSTP/1.4 200 OK\r\n", 200, srOk},
        {"SSTP/1.0 201 Created\r\n", 201, srOther},
        {"SSTP/1.0 Hello\r\nSSTP/1.0 200 OK\r\n", NoStatusCode, srOther},
        {"SSTP/1.0 409 Conflict", 409, srConflict}, // no line end before the close
        {"", NoStatusCode, srOther},
        {"SSTP/1.4 504 Not Local IP\r\n" + std::string(200000, 'y'), 504, srNotLocalIp}, // kept in part
    };
    for (const Case& c : cases) {
        int afterConnection = 0;
        sstp_->OnAfterConnection = [&](TComponent*) { ++afterConnection; };
        TSstpResult result = srOk;
        Exchange("x", Reply(c.reply), &result);
        EXPECT_EQ(sstp_->StatusCode(), c.code) << c.reply;
        EXPECT_EQ(result, c.result) << c.reply;
        EXPECT_EQ(sstp_->LastResult(), c.result) << c.reply;
        EXPECT_EQ(afterConnection, 1) << c.reply;
        EXPECT_EQ(sstp_->ReplyText(), c.reply.substr(0, MaxReplyBytes));
        EXPECT_FALSE(sstp_->Connected());
    }
}

TEST_F(FastSstpTest, PeerThatClosesAtOnceOrStaysOpenGivesOther)
{
    TSstpResult result = srOk;
    Exchange("x", {PeerBehaviour::CloseAtOnce, ""}, &result);
    EXPECT_EQ(result, srOther);
    EXPECT_EQ(sstp_->StatusCode(), NoStatusCode);

    // The capture ends at the time-out and what it read is dropped.
    Exchange("x", Reply("SSTP/1.4 200 OK\r\n", PeerBehaviour::ReplyAndStayOpen), &result);
    EXPECT_EQ(result, srOther);
    EXPECT_EQ(sstp_->StatusCode(), NoStatusCode);
    EXPECT_TRUE(sstp_->ReplyLines().empty());

    // The component is whole again afterwards.
    Exchange("x", Reply("SSTP/1.4 210 Break\r\n"), &result);
    EXPECT_EQ(result, srBreak);
}

// Mascots answer and keep the connection open: the reply ends at its empty line, with the status the
// server gave, and the component closes (the time-out would have given srOther).
TEST_F(FastSstpTest, ReplyEndsAtItsEmptyLineThoughTheServerStaysOpen)
{
    const std::pair<std::string, TSstpResult> cases[] = {
        {"SSTP/1.4 200 OK\r\nCharset: Shift_JIS\r\n\r\n", srOk},
        {"SSTP/1.1 204 No Content\n\n", srNoContent},
        {"SSTP/1.4 400 Bad Request\r\n\r", srBadRequest},
    };
    for (const auto& [reply, expected] : cases) {
        TSstpResult result = srOther;
        Exchange("x", Reply(reply, PeerBehaviour::ReplyAndStayOpen), &result);
        EXPECT_EQ(result, expected) << reply;
        EXPECT_EQ(sstp_->ReplyText(), reply);
        EXPECT_FALSE(sstp_->Connected());
    }
}

long PeakResidentKiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

TEST_F(FastSstpTest, FloodingPeerCannotMakeTheReplyGrow)
{
    const long before = PeakResidentKiB();
    SstpTestServer server({Reply("SSTP/1.4 200 OK\r\n", PeerBehaviour::Flood)});
    sstp_->SetPort(server.Port());
    const TSstpResult result = sstp_->SendScript("x", {});
    ASSERT_TRUE(server.WaitForConnections(1));
    EXPECT_THAT(result, ::testing::AnyOf(srOk, srOther));
    EXPECT_LE(sstp_->ReplyText().size(), MaxReplyBytes);
    EXPECT_GT(server.BytesFlooded(), 4 * MaxReplyBytes); // the peer did get to flood
    EXPECT_LT(PeakResidentKiB() - before, 64 * 1024);    // far below what was sent, whatever that was
}

TEST_F(FastSstpTest, NoListenerRaisesFromSendScriptButNotFromTheAnnouncement)
{
    sstp_->SetPort(test::ClosedPort());
    int afterConnection = 0;
    sstp_->OnAfterConnection = [&](TComponent*) { ++afterConnection; };
    EXPECT_THROW(sstp_->SendScript("x", {}), ESockError);
    EXPECT_FALSE(sstp_->Busy());
    EXPECT_TRUE(sstp_->ResendTimer()->Running());
    EXPECT_EQ(sstp_->StatusCode(), 0);
    EXPECT_EQ(afterConnection, 0);
    AnnounceWallpaper(*sstp_, "/pictures/a.jpg"); // returns, shows nothing

    // The failed connect leaves the client usable for the next request.
    TSstpResult result = srOther;
    Exchange("x", Reply("SSTP/1.4 200 OK\r\n"), &result);
    EXPECT_EQ(result, srOk);
}

// A mascot started after an announcement found nobody listening gets the next announcement: the
// socket of a failed attempt is not used again.
TEST_F(FastSstpTest, MascotStartedAfterARefusedAnnouncementGetsTheNextOne)
{
    const uint16_t port = test::ClosedPort();
    sstp_->SetPort(port);
    AnnounceWallpaper(*sstp_, "/pictures/a.jpg");
    EXPECT_EQ(sstp_->StatusCode(), 0);

    SstpTestServer mascot({Reply("SSTP/1.4 200 OK\r\n")}, false, port);
    AnnounceWallpaper(*sstp_, "/pictures/b.jpg");
    ASSERT_TRUE(mascot.WaitForConnections(1));
    EXPECT_THAT(mascot.Requests().at(0), ::testing::HasSubstr("Script: " + SjisPrefix + "b.jpg" + SjisSuffix));
    EXPECT_EQ(sstp_->StatusCode(), 200);
}

TEST_F(FastSstpTest, NestedRequestDuringTheWaitIsRefusedUnsent)
{
    SstpTestServer server({Reply("SSTP/1.4 200 OK\r\n"), Reply("SSTP/1.4 200 OK\r\n")});
    sstp_->SetPort(server.Port());
    bool nestedDone = false;
    bool timerStopped = false;
    test::RunLater(0, [&] { // a second wallpaper set while the first announcement waits
        timerStopped = !sstp_->ResendTimer()->Running();
        AnnounceWallpaper(*sstp_, "/pictures/b.jpg");
        nestedDone = true;
    });
    int fromHandler = -1;
    sstp_->OnAfterConnection = [&](TComponent*) { fromHandler = sstp_->Transmit({"SEND SSTP/1.0", ""}); };
    EXPECT_EQ(sstp_->SendScript("outer", {}), srOk);
    EXPECT_TRUE(nestedDone);
    EXPECT_EQ(fromHandler, srOther);
    EXPECT_TRUE(timerStopped);
    EXPECT_TRUE(sstp_->ResendTimer()->Running());
    ASSERT_TRUE(server.WaitForConnections(1));
    EXPECT_EQ(server.Accepted(), 1u);
    EXPECT_THAT(server.Requests().at(0), ::testing::HasSubstr("Script: outer\r\n"));
    EXPECT_EQ(sstp_->StatusCode(), 200);
}

// A handler, or a command run while a delivery waits, may free the component; nothing of it may be
// touched afterwards (the sanitizer build sees it).
TEST_F(FastSstpTest, FreedByItsHandlersOrWhileADeliveryWaits)
{
    auto make = [](int32_t port) {
        auto* sstp = new TFastSstp;
        ApplyMainWindowSettings(*sstp);
        sstp->SetPort(port);
        sstp->SetTimeOut(5000);
        return sstp;
    };
    {
        SstpTestServer server({Reply("SSTP/1.4 200 OK\r\n")});
        TFastSstp* sstp = make(server.Port());
        sstp->OnAfterConnection = [](TComponent* sender) { delete sender; };
        EXPECT_EQ(sstp->SendScript("x", {}), srOk);
        EXPECT_TRUE(server.WaitForConnections(1));
    }
    {
        SstpTestServer server({Reply("SSTP/1.4 200 OK\r\n", PeerBehaviour::ReplyAndStayOpen)});
        TFastSstp* sstp = make(server.Port());
        bool freed = false;
        test::RunLater(50, [&] { // the main window goes while the announcement waits for the close
            delete sstp;
            freed = true;
        });
        AnnounceWallpaper(*sstp, "/pictures/a.jpg");
        EXPECT_TRUE(freed);
        EXPECT_TRUE(server.WaitForConnections(1));
    }
    {
        SstpTestServer server({Reply("SSTP/1.4 200 OK\r\n"), Reply("SSTP/1.4 409 Conflict\r\n")});
        for (const bool final : {true, false}) {
            TFastSstp* sstp = make(server.Port());
            int events = 0;
            auto freeIt = [&](TComponent* sender, int32_t, const std::string&) {
                ++events;
                delete sender;
            };
            sstp->OnResendEnd = freeIt;
            sstp->OnResendResend = freeIt;
            sstp->AddResend(1, "x", {});
            sstp->ResendTick(sstp);
            EXPECT_EQ(events, 1) << final;
        }
        EXPECT_TRUE(server.WaitForConnections(2));
    }
}

TEST_F(FastSstpTest, ResendQueueKeepsAScriptUntilAFinalAnswer)
{
    SstpTestServer server({{PeerBehaviour::CloseAtOnce, ""},
                           Reply("SSTP/1.4 409 Conflict\r\n"),
                           Reply("SSTP/1.4 503 Service Unavailable\r\n"),
                           Reply("SSTP/1.4 400 Bad Request\r\n")});
    sstp_->SetPort(server.Port());
    sstp_->SetInterval(20);
    std::vector<std::string> events;
    sstp_->OnResendTrying = [&](TComponent*, int32_t id, const std::string& script) {
        events.push_back("trying " + std::to_string(id) + " " + script);
    };
    sstp_->OnResendResend = [&](TComponent*, int32_t id, const std::string&) {
        events.push_back("resend " + std::to_string(id) + " queued " + std::to_string(sstp_->ResendCount()));
    };
    sstp_->OnResendEnd = [&](TComponent*, int32_t id, const std::string&) {
        events.push_back("end " + std::to_string(id) + " head " + std::to_string(sstp_->ResendItem(0).ID));
    };
    sstp_->OnResendCountChange = [&](TComponent*) {
        events.push_back("count " + std::to_string(sstp_->ResendCount()));
    };
    sstp_->AddResend(7, "こんにちは", {soNoDescript});
    ASSERT_TRUE(test::WaitUntil([&] { return sstp_->ResendCount() == 0; }));
    EXPECT_THAT(events, ElementsAre("count 1", "trying 7 こんにちは", "resend 7 queued 1", "trying 7 こんにちは",
                                    "resend 7 queued 1", "trying 7 こんにちは", "resend 7 queued 1",
                                    "trying 7 こんにちは", "end 7 head 7", "count 0"));
    ASSERT_TRUE(server.WaitForConnections(4));
    EXPECT_THAT(server.Requests().at(3), ::testing::HasSubstr("Script: \x82\xB1\x82\xF1\x82\xC9\x82\xBF\x82\xCD\r\n"));
    EXPECT_TRUE(sstp_->ResendTimer()->Running());
}

TEST_F(FastSstpTest, SleepLeavesTheQueueAlone)
{
    sstp_->SetSleep(true);
    EXPECT_FALSE(sstp_->ResendTimer()->Running());
    int trying = 0;
    sstp_->OnResendTrying = [&](TComponent*, int32_t, const std::string&) { ++trying; };
    sstp_->AddResend(1, "x", {});
    sstp_->ResendTick(sstp_.get());
    sstp_->Loaded(); // the end of loading starts the timer regardless
    EXPECT_TRUE(sstp_->ResendTimer()->Running());
    sstp_->ResendTick(sstp_.get());
    EXPECT_EQ(trying, 0);
    EXPECT_EQ(sstp_->ResendCount(), 1u);
    sstp_->SetSleep(false);
    EXPECT_TRUE(sstp_->ResendTimer()->Running());
}

TEST_F(FastSstpTest, IntervalSetsTheResendTimer)
{
    EXPECT_EQ(sstp_->ResendTimer()->Interval(), 5000u);
    sstp_->SetInterval(250);
    EXPECT_EQ(sstp_->ResendTimer()->Interval(), 250u);
    EXPECT_TRUE(sstp_->ResendTimer()->Running());
    sstp_->SetInterval(0);
    EXPECT_FALSE(sstp_->ResendTimer()->Running());
    EXPECT_THROW(sstp_->SetInterval(-1), ERangeError);
    EXPECT_EQ(sstp_->Interval(), 0);
}

TEST(FastSstpProperties, ConstructionDefaultsAndPublishedTable)
{
    test::EnsureApplication();
    TFastSstp sstp;
    EXPECT_EQ(sstp.Port(), 9801);
    EXPECT_EQ(sstp.TimeOut(), 2000);
    EXPECT_EQ(sstp.Host(), "127.0.0.1");
    EXPECT_EQ(sstp.SstpSender(), "My Program");
    EXPECT_EQ(sstp.Interval(), 5000);
    EXPECT_FALSE(sstp.Sleep());
    EXPECT_EQ(sstp.SstpMethod(), smTcpIp);
    EXPECT_EQ(sstp.TargetHWnd(), 0u);
    EXPECT_EQ(sstp.StatusCode(), 0);
    EXPECT_EQ(sstp.LastResult(), srOther);
    EXPECT_EQ(sstp.ResendTimer()->Interval(), 1000u); // a new timer's period until loading ends
    EXPECT_TRUE(sstp.ResendTimer()->Running());
    EXPECT_NE(sstp.Handle(), 0u);

    std::vector<std::string> names;
    for (const PublishedProperty& property : sstp.PublishedProperties()) {
        names.push_back(property.name);
        if (property.name == "Port") {
            EXPECT_EQ(property.defaultValue, 9801);
        } else if (property.name == "TimeOut") {
            EXPECT_EQ(property.defaultValue, 2000);
        } else if (property.name == "Interval") {
            EXPECT_EQ(property.defaultValue, 5000);
        } else if (property.name == "SstpSender" || property.name == "Sleep" || property.name == "TargetHWnd") {
            EXPECT_FALSE(property.defaultValue.has_value()) << property.name;
        }
    }
    ASSERT_GE(names.size(), 10u);
    PublishedProperty afterConnection = sstp.PublishedProperties().back();
    afterConnection.setString("SstpAfterConnection");
    EXPECT_EQ(afterConnection.getString(), ""); // written only while a handler is bound
    sstp.OnAfterConnection = [](TComponent*) {};
    EXPECT_EQ(afterConnection.getString(), "SstpAfterConnection");
    EXPECT_THAT(std::vector<std::string>(names.end() - 10, names.end()),
                ElementsAre("SstpSender", "Interval", "Sleep", "SstpMethod", "TargetHWnd", "OnResendTrying",
                            "OnResendEnd", "OnResendResend", "OnResendCountChange", "OnAfterConnection"));
}

TEST(FastSstpProperties, MainWindowComponentIsOwnedAndLoaded)
{
    test::EnsureApplication();
    TComponent owner;
    int counted = 0;
    TFastSstp* sstp = CreateMainWindowFastSstp(&owner);
    EXPECT_EQ(sstp->Owner(), &owner);
    EXPECT_EQ(sstp->Name(), "FastSstp");
    EXPECT_EQ(sstp->SstpSender(), "Vorlane");
    EXPECT_EQ(sstp->ResendTimer()->Interval(), 5000u);
    sstp->OnResendCountChange = [&](TComponent*) { ++counted; };
    sstp->AddResend(1, "left in the queue", {});
    EXPECT_EQ(counted, 1); // the owner frees the component with the item still queued
}

// A mascot window for direct delivery: records the copy-data message and answers as told.
class MascotWindow {
public:
    std::function<void(WindowHandle replyTo)> answer;
    uint32_t id = 0;
    uint32_t length = 0;
    std::string text;
    int received = 0;

    MascotWindow()
    {
        handle_ = AllocateWindow([this](uint32_t message, uintptr_t, intptr_t lParam) -> intptr_t {
            if (message != WM_COPYDATA)
                return 0;
            const CopyDataStruct* data = CopyDataOf(lParam);
            ++received;
            id = data->dwData;
            length = data->cbData;
            text.assign(static_cast<const char*>(data->lpData), data->cbData);
            if (answer) {
                const size_t at = text.find("HWnd: ");
                answer(at == std::string::npos ? 0 : static_cast<WindowHandle>(std::stoul(text.substr(at + 6))));
            }
            return 0;
        });
    }
    ~MascotWindow() { DestroyWindow(handle_); }
    WindowHandle Handle() const { return handle_; }

private:
    WindowHandle handle_ = 0;
};

TEST_F(FastSstpTest, DirectDeliveryReadsTheReplySentBackBeforeReturning)
{
    MascotWindow mascot;
    mascot.answer = [&](WindowHandle replyTo) {
        static const char bytes[] = "SSTP/1.4 204 No Content\r\nX\0SSTP/1.4 200 OK";
        const std::string reply(bytes, sizeof bytes - 1);
        SendCopyData(replyTo, mascot.Handle(), 0, reply); // id and length are not looked at
    };
    sstp_->SetSstpMethod(smDirectSstp);
    sstp_->SetTargetHWnd(mascot.Handle());
    EXPECT_EQ(sstp_->SendScript("表", {soNoDescript}), srNoContent);
    EXPECT_EQ(mascot.id, SstpCopyDataId);
    const std::string expected = "SEND SSTP/1.0\r\nSender: Vorlane\r\nCharSet: Shift_JIS\r\nScript: \x95\x5C\r\n"
                                 "Option: nodescript\r\nHWnd: " +
                                 std::to_string(sstp_->Handle()) + "\r\n\r\n";
    EXPECT_EQ(mascot.text, expected);
    EXPECT_EQ(mascot.length, expected.size());
    EXPECT_THAT(sstp_->ReplyLines(), ElementsAre("SSTP/1.4 204 No Content", "X"));
}

TEST_F(FastSstpTest, DirectDeliveryWithoutTargetSendsNothing)
{
    sstp_->SetSstpMethod(smDirectSstp);
    int afterConnection = 0;
    sstp_->OnAfterConnection = [&](TComponent*) { ++afterConnection; };
    EXPECT_EQ(sstp_->Transmit({"SEND SSTP/1.0", ""}), srOther);
    EXPECT_EQ(afterConnection, 1);
    EXPECT_EQ(sstp_->StatusCode(), 0);
    EXPECT_EQ(sstp_->LastResult(), srOther);
}

TEST_F(FastSstpTest, DirectReplyOutsideTheSendIsNeverUsed)
{
    MascotWindow mascot;
    sstp_->SetSstpMethod(smDirectSstp);
    sstp_->SetTargetHWnd(mascot.Handle());
    // A reply that arrives after the send returned...
    EXPECT_EQ(sstp_->SendScript("x", {}), srOther);
    SendCopyData(sstp_->Handle(), mascot.Handle(), SstpCopyDataId, std::string("SSTP/1.4 200 OK\r\n"));
    // ...is dropped by the next delivery, whose target does not answer.
    EXPECT_EQ(sstp_->SendScript("x", {}), srOther);
    EXPECT_EQ(sstp_->StatusCode(), NoStatusCode);
    EXPECT_EQ(mascot.received, 2);

    // A window named by the caller gets the reply, not the component.
    MascotWindow other;
    mascot.answer = [&](WindowHandle replyTo) {
        SendCopyData(replyTo, mascot.Handle(), 0, std::string("SSTP/1.4 200 OK\0", 16));
    };
    EXPECT_EQ(sstp_->SendScriptList({"x"}, {}, other.Handle()), srOther);
    EXPECT_THAT(mascot.text, ::testing::HasSubstr("HWnd: " + std::to_string(other.Handle()) + "\r\n"));
    EXPECT_EQ(other.received, 1);
    EXPECT_TRUE(sstp_->ReplyLines().empty());
}

} // namespace
} // namespace vorlane
