#include <gtest/gtest.h>

#include <atomic>
#include <string>

#include "platform/EventLoop.h"
#include "platform/Exceptions.h"
#include "socket/Psock.h"
#include "tests/socket/PsockTestSupport.h"

namespace vorlane {
namespace {

using test::Aim;
using test::HoldOpen;
using test::SockErrorOf;
using test::TestPeer;

// Every byte value, line ends of all kinds and a zero byte, repeated past one receive's size.
std::string MixedReply()
{
    std::string block;
    for (int i = 0; i < 256; ++i)
        block.push_back(static_cast<char>(i));
    block += "SSTP/1.4 200 OK\r\nline\rcr\nlf\r\n\r\n";
    std::string reply;
    while (reply.size() < 200000)
        reply += block;
    return reply;
}

class PsockTransfer : public ::testing::Test, protected test::WithApplication {
protected:
    void ConnectTo(TestPeer& peer, int timeOut = 5000)
    {
        Aim(sock, peer.Port(), timeOut);
        sock.Connect();
    }

    TPowersock sock;
};

TEST_F(PsockTransfer, CaptureUntilClosedReturnsEveryByteUnchanged)
{
    const std::string reply = MixedReply();
    TestPeer peer([&](int client, TestPeer& p) {
        p.ReceiveUntil(client, "\r\n\r\n");
        TestPeer::SendAll(client, reply);
    });
    ConnectTo(peer);
    int packets = 0;
    sock.OnPacketReceived = [&](TComponent*) { ++packets; };
    sock.Writeln("SEND SSTP/1.4");
    sock.Writeln("");
    std::string text;
    sock.CaptureString(text, -1);
    EXPECT_EQ(text.size(), reply.size());
    EXPECT_TRUE(text == reply);
    EXPECT_EQ(sock.BytesReceived(), static_cast<int64_t>(reply.size()));
    EXPECT_GE(packets, 1);
    EXPECT_FALSE(sock.Timer()->Running());
    EXPECT_EQ(peer.Received(), "SEND SSTP/1.4\r\n\r\n");
}

TEST_F(PsockTransfer, CaptureOfAPeerThatStaysOpenIsAbortedByTheTimeOutWhileBytesKeepComing)
{
    TestPeer peer([](int client, TestPeer& p) {
        TestPeer::SendAll(client, "SSTP/1.4 200 OK\r\n");
        while (!p.WaitForStop(20))
            TestPeer::SendAll(client, "x");
    });
    ConnectTo(peer, 300);
    std::string text;
    EXPECT_EQ(SockErrorOf([&] { sock.CaptureString(text, -1); }), "Socket capture aborted");
    EXPECT_EQ(text.rfind("SSTP/1.4 200 OK\r\nx", 0), 0u); // what came before the abort stays
    EXPECT_GT(text.size(), 18u);
    EXPECT_FALSE(sock.Canceled());
    EXPECT_FALSE(sock.Timer()->Running());
}

// A modal loop (a menu, a message box) opened by a handler inside the wait keeps the wait from its next
// turn: the time-out tick itself must end the connection, which the peer sees while that loop still runs.
TEST_F(PsockTransfer, TimeOutEndsTheConnectionEvenBeneathAModalLoop)
{
    std::atomic<bool> ended{false};
    TestPeer peer([&](int client, TestPeer&) {
        char byte;
        ended = test::ReadableWithin(client, 20000) && test::ReceiveSome(client, &byte, 1) <= 0;
    });
    ConnectTo(peer, 200);
    bool endedBeneath = false;
    test::RunLater(0, [&] { endedBeneath = test::RunModalLoopUntil([&] { return ended.load(); }, 20000); });
    std::string text;
    EXPECT_EQ(SockErrorOf([&] { sock.CaptureString(text, -1); }), "Socket capture aborted");
    EXPECT_TRUE(endedBeneath);
}

TEST_F(PsockTransfer, CaptureWithACountTakesWholeChunks)
{
    TestPeer peer(HoldOpen("123456789012345"));
    ConnectTo(peer);
    std::string text = "old";
    sock.CaptureString(text, 0);
    EXPECT_EQ(text, "");
    sock.CaptureString(text, -2);
    EXPECT_EQ(text, "");
    sock.CaptureString(text, 10);
    EXPECT_EQ(text, "123456789012345");
}

TEST_F(PsockTransfer, CaptureLimitKeepsTheStartAndStillReadsToTheEnd)
{
    TestPeer peer([](int client, TestPeer&) { TestPeer::SendAll(client, std::string(5000, 'a') + "end"); });
    ConnectTo(peer);
    sock.SetCaptureLimit(1000);
    std::string text;
    sock.CaptureString(text, -1);
    EXPECT_EQ(text, std::string(1000, 'a'));
    EXPECT_EQ(sock.BytesReceived(), 5003);
}

TEST_F(PsockTransfer, ReadLnTakesOneLineAndLeavesTheRest)
{
    TestPeer peer(HoldOpen("first line\r\nsecond"));
    ConnectTo(peer);
    std::string line;
    sock.ReadLn(line);
    EXPECT_EQ(line, "first line\r\n");
    std::string rest;
    sock.CaptureString(rest, 6);
    EXPECT_EQ(rest, "second");
}

TEST_F(PsockTransfer, ReadLnAssemblesALineThatArrivesInParts)
{
    TestPeer peer([](int client, TestPeer& p) {
        TestPeer::SendAll(client, "par");
        p.ReceiveUntil(client, "go\r\n");
        TestPeer::SendAll(client, "ts\n");
        p.WaitForStop(60000);
    });
    ConnectTo(peer);
    // The second part is asked for from inside the reader's wait, which runs the event loop.
    test::RunLater(20, [&] { sock.Writeln("go"); });
    std::string line;
    sock.ReadLn(line);
    EXPECT_EQ(line, "parts\n");
}

TEST_F(PsockTransfer, ReadLnAtTheEndOfTheDataGivesAnEmptyLine)
{
    TestPeer peer([](int client, TestPeer&) { TestPeer::SendAll(client, "no line end"); });
    ConnectTo(peer);
    std::string line = "old";
    sock.ReadLn(line);
    EXPECT_EQ(line, "");
    EXPECT_FALSE(sock.Timer()->Running());
}

TEST_F(PsockTransfer, ReadLnIsAbortedByTheTimeOut)
{
    TestPeer peer(HoldOpen());
    ConnectTo(peer, 100);
    std::string line;
    EXPECT_EQ(SockErrorOf([&] { sock.ReadLn(line); }), "Socket readln aborted");
    EXPECT_FALSE(sock.Canceled());
}

TEST_F(PsockTransfer, TransactionReadsTheReplyNumber)
{
    TestPeer peer([](int client, TestPeer& p) {
        p.ReceiveUntil(client, "ONE\r\n");
        TestPeer::SendAll(client, "210 Break\r\n");
        p.ReceiveUntil(client, "TWO\r\n");
        TestPeer::SendAll(client, "OK 200\r\n");
        p.ReceiveUntil(client, "THREE\r\n");
        TestPeer::SendAll(client, "99999 too big\r\n");
        p.WaitForStop(60000);
    });
    ConnectTo(peer);
    std::string reply;
    sock.Transaction("ONE", reply);
    EXPECT_EQ(reply, "210 Break\r\n");
    EXPECT_EQ(sock.LastReply(), reply);
    EXPECT_EQ(sock.ReplyNumber(), 210);
    sock.Transaction("TWO", reply);
    EXPECT_EQ(reply, "OK 200\r\n");
    EXPECT_EQ(sock.ReplyNumber(), 0);
    EXPECT_THROW(sock.Transaction("THREE", reply), ERangeError);
}

TEST_F(PsockTransfer, WritelnLimitsAndZeroBytes)
{
    TestPeer peer([](int client, TestPeer& p) {
        p.ReceiveUntil(client, "before\r\n");
        p.WaitForStop(60000);
    });
    ConnectTo(peer);
    sock.Writeln(std::string(65533, 'w')); // 65,535 bytes with CR LF
    EXPECT_THROW(sock.Writeln(std::string(65534, 'x')), ERangeError);
    EXPECT_THROW(sock.Write(std::string(65536, 'x')), ERangeError);
    EXPECT_FALSE(sock.Timer()->Running());
    sock.Write(std::string("before\0after", 12));
    sock.Writeln("");
    ASSERT_TRUE(test::WaitUntil([&] { return peer.Received().size() >= 65543; }));
    const std::string received = peer.Received();
    EXPECT_EQ(received.size(), 65543u);
    EXPECT_TRUE(received == std::string(65533, 'w') + "\r\nbefore\r\n") << received.substr(65530);
}

// Waiting for a peer that stops reading runs the event loop like every other wait: events are handled,
// a Cancel from one ends the send, and so does the time-out.
TEST_F(PsockTransfer, SendToAPeerThatStopsReadingHandlesEventsAndEnds)
{
    TestPeer peer(HoldOpen());
    ConnectTo(peer);
    const std::string block(65533, 'b');
    const auto sendUntilAborted = [&] {
        for (int i = 0; i < 100000; ++i) {
            try {
                sock.Writeln(block);
            } catch (const EAbortError& e) {
                return e.Message();
            }
        }
        return std::string("(never aborted)");
    };

    int cancels = 0;
    TThreadTimer canceller;
    canceller.SetInterval(20);
    canceller.SetOnTimer([&](TComponent*) {
        ++cancels; // no events run between the writes: only inside a send's wait
        sock.Cancel();
    });
    sock.SetTimeOut(60000);
    EXPECT_EQ(sendUntilAborted(), "Socket send aborted");
    EXPECT_GE(cancels, 1);
    canceller.SetEnabled(false);

    sock.SetTimeOut(100);
    EXPECT_EQ(sendUntilAborted(), "Socket send aborted");
    EXPECT_FALSE(sock.Canceled());
    EXPECT_FALSE(sock.Timer()->Running());
}

TEST_F(PsockTransfer, WritingToAClosedPeerRaisesInsteadOfEndingTheProcess)
{
    TestPeer peer([](int client, TestPeer& p) {
        p.ReceiveUntil(client, "\n");
        SocketResetOnClose(client);
    });
    ConnectTo(peer);
    sock.Writeln("hello");
    ASSERT_TRUE(test::WaitUntil([&] { return peer.Sessions() == 1; }));
    bool raised = false;
    for (int i = 0; i < 100 && !raised; ++i) {
        try {
            sock.Writeln("anyone there?");
            ProcessMessages();
        } catch (const ESockError&) {
            raised = true;
        }
    }
    EXPECT_TRUE(raised);
}

TEST_F(PsockTransfer, ExchangesAndTimesOutInsideATimerTick)
{
    // The resend timer delivers from its tick: the capture's own notices and time-out must still come.
    TestPeer peer([](int client, TestPeer& p) {
        p.ReceiveUntil(client, "\r\n\r\n");
        TestPeer::SendAll(client, "SSTP/1.4 200 OK\r\n");
        p.WaitForStop(60000);
    });
    Aim(sock, peer.Port(), 200);
    std::string text;
    std::string outcome;
    TThreadTimer tick;
    tick.SetInterval(5);
    tick.SetOnTimer([&](TComponent*) {
        tick.SetEnabled(false);
        sock.Connect();
        sock.Writeln("SEND SSTP/1.4");
        sock.Writeln("");
        try {
            sock.CaptureString(text, -1);
            outcome = "ended";
        } catch (const EAbortError& e) {
            outcome = e.Message();
        }
    });
    ASSERT_TRUE(test::WaitUntil([&] { return !outcome.empty(); }));
    EXPECT_EQ(outcome, "Socket capture aborted");
    EXPECT_EQ(text, "SSTP/1.4 200 OK\r\n");
}

TEST_F(PsockTransfer, FreedInsideAReadEndsItAsAnAbort)
{
    TestPeer peer(HoldOpen("no line end"));
    for (const bool capture : {true, false}) {
        TestPeer open(HoldOpen());
        auto* other = new TPowersock;
        Aim(*other, open.Port(), 0);
        other->Connect();
        TThreadTimer command;
        command.SetInterval(20);
        command.SetOnTimer([&](TComponent*) {
            command.SetEnabled(false);
            delete other;
        });
        std::string text;
        EXPECT_EQ(SockErrorOf([&] { capture ? other->CaptureString(text, -1) : other->ReadLn(text); }),
                  capture ? "Socket capture aborted" : "Socket readln aborted");
    }

    // A packet handler that frees the component ends the capture the same way.
    auto* freedByHandler = new TPowersock;
    Aim(*freedByHandler, peer.Port());
    freedByHandler->Connect();
    freedByHandler->OnPacketReceived = [](TComponent* sender) { delete sender; };
    std::string text;
    EXPECT_THROW(freedByHandler->CaptureString(text, -1), EAbortError);
    EXPECT_EQ(text, "no line end");
}

TEST_F(PsockTransfer, AcceptTakesAPendingConnection)
{
    const uint16_t port = test::ListenOnLoopback(sock.SocketHandle(), 1);
    ASSERT_NE(port, 0);
    const int client = test::ConnectBlocking(port);
    const uint16_t accepted = sock.Accept();
    EXPECT_NE(accepted, NoSocket);
    EXPECT_NE(accepted, sock.SocketHandle());
    EXPECT_TRUE(sock.Connected());
    EXPECT_EQ(sock.RemoteAddress(), InetAddress("127.0.0.1"));
    SocketClose(accepted);
    test::CloseSocket(client);
}

TEST_F(PsockTransfer, AcceptEndsWithCancel)
{
    TThreadTimer canceller;
    canceller.SetInterval(20);
    canceller.SetOnTimer([&](TComponent*) { sock.Cancel(); });
    EXPECT_EQ(SockErrorOf([&] { sock.Accept(); }), "Accepting Canceled");
}

} // namespace
} // namespace vorlane
