#include <gtest/gtest.h>

#include <cerrno>
#include <memory>
#include <string>
#include <vector>

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

class PsockConnect : public ::testing::Test {
protected:
    void SetUp() override { test::EnsureApplication(); }
};

TEST_F(PsockConnect, ConnectsToADottedAddressWithoutALookup)
{
    TestPeer peer(HoldOpen());
    TPowersock sock;
    Aim(sock, peer.Port());
    int connects = 0;
    int resolved = 0;
    sock.OnConnect = [&](TComponent* sender) {
        EXPECT_EQ(sender, &sock);
        ++connects;
    };
    sock.OnHostResolved = [&](TComponent*) { ++resolved; };
    sock.Connect();
    EXPECT_TRUE(sock.Connected());
    EXPECT_EQ(connects, 1);
    EXPECT_EQ(resolved, 0);
    EXPECT_FALSE(sock.Timer()->Running());

    // A second Connect leaves the connection alone.
    EXPECT_EQ(SockErrorOf([&] { sock.Connect(); }), "Already connected");
    EXPECT_TRUE(sock.Connected());

    int disconnects = 0;
    sock.OnDisconnect = [&](TComponent*) { ++disconnects; };
    sock.Disconnect();
    EXPECT_FALSE(sock.Connected());
    EXPECT_EQ(disconnects, 1);
    EXPECT_NE(sock.SocketHandle(), NoSocket); // a fresh socket for the next Connect
}

TEST_F(PsockConnect, AHostNameIsLookedUpAndReported)
{
    TestPeer peer(HoldOpen());
    TPowersock sock;
    sock.SetHost("localhost");
    sock.SetPort(peer.Port());
    sock.SetTimeOut(5000);
    int resolved = 0;
    sock.OnHostResolved = [&](TComponent*) { ++resolved; };
    sock.Connect();
    EXPECT_TRUE(sock.Connected());
    EXPECT_EQ(resolved, 1);
    EXPECT_EQ(sock.RemoteAddress(), InetAddress("127.0.0.1"));
}

TEST_F(PsockConnect, PortUsesOnlyItsLow16Bits)
{
    TestPeer peer(HoldOpen());
    TPowersock sock;
    Aim(sock, peer.Port() + 65536);
    sock.Connect();
    EXPECT_TRUE(sock.Connected());
}

TEST_F(PsockConnect, RefusedConnectionFiresOnConnectionFailedThenFails)
{
    TPowersock sock;
    Aim(sock, test::ClosedPort());
    std::vector<std::string> order;
    sock.OnConnectionFailed = [&](TComponent*) { order.push_back("failed"); };
    order.push_back(SockErrorOf([&] { sock.Connect(); }));
    EXPECT_EQ(order, (std::vector<std::string>{"failed", "Connection Failed"}));
    EXPECT_FALSE(sock.Connected());
    EXPECT_FALSE(sock.Canceled());
}

TEST_F(PsockConnect, AfterAFailedAttemptTheNextConnectUsesAFreshSocket)
{
    const uint16_t port = test::ClosedPort();
    TPowersock sock;
    Aim(sock, port);
    int failed = 0;
    int disconnects = 0;
    sock.OnConnectionFailed = [&](TComponent*) { ++failed; };
    sock.OnDisconnect = [&](TComponent*) { ++disconnects; };
    EXPECT_EQ(SockErrorOf([&] { sock.Connect(); }), "Connection Failed");
    EXPECT_EQ(SockErrorOf([&] { sock.Connect(); }), "Connection Failed"); // refused again, the same way

    TestPeer peer(HoldOpen(), 8, 1, port);
    int connects = 0;
    sock.OnConnect = [&](TComponent*) { ++connects; };
    sock.Connect();
    EXPECT_TRUE(sock.Connected());
    EXPECT_EQ(connects, 1);
    EXPECT_EQ(failed, 2);
    EXPECT_EQ(disconnects, 0); // replacing a socket that never connected is no disconnection
}

TEST_F(PsockConnect, ListenerThatNeverAcceptsTimesOutAndTheNextSendIsAborted)
{
    TestPeer peer(nullptr, 0);
    const int filler = test::ConnectBlocking(peer.Port()); // fills the queue: later handshakes hang
    TPowersock sock;
    Aim(sock, peer.Port(), 200);
    int failed = 0;
    sock.OnConnectionFailed = [&](TComponent*) { ++failed; };
    EXPECT_EQ(SockErrorOf([&] { sock.Connect(); }), "Connection Timed out");
    EXPECT_EQ(failed, 1);
    EXPECT_TRUE(sock.TimedOut());
    EXPECT_TRUE(sock.Canceled());
    EXPECT_FALSE(sock.Timer()->Running());

    EXPECT_EQ(test::ErrorOf<EAbortError>([&] { sock.Writeln("never sent"); }), "Socket send aborted");
    EXPECT_FALSE(sock.Canceled());

    // The next Connect makes a fresh attempt, which the full queue holds up again.
    EXPECT_EQ(SockErrorOf([&] { sock.Connect(); }), "Connection Timed out");
    EXPECT_EQ(failed, 2);
    test::CloseSocket(filler);
}

// After a Connect that timed out, the first write consumes the abort; the next one waits, handling
// events, for the abandoned attempt, and sends once it has connected after all.
TEST_F(PsockConnect, AfterATimedOutConnectTheSecondWriteSendsOnceTheAttemptConnects)
{
    const int listener = test::PlainSocket();
    const uint16_t port = test::ListenOnLoopback(listener, 0);
    ASSERT_NE(port, 0);
    const int filler = test::ConnectBlocking(port); // the queue is full
    TPowersock sock;
    Aim(sock, port, 200);
    int connects = 0;
    sock.OnConnect = [&](TComponent*) { ++connects; };
    EXPECT_EQ(SockErrorOf([&] { sock.Connect(); }), "Connection Timed out");

    // Room in the queue: the abandoned attempt's next handshake gets through.
    const int first = test::AcceptWithin(listener, 20000);
    ASSERT_GE(first, 0);
    sock.SetTimeOut(20000);
    EXPECT_EQ(SockErrorOf([&] { sock.Writeln("lost"); }), "Socket send aborted");
    sock.Writeln("hello");
    EXPECT_TRUE(test::WaitUntil([&] { return sock.Connected(); })); // the late connect notice
    EXPECT_EQ(connects, 1);

    const int second = test::AcceptWithin(listener, 20000);
    ASSERT_GE(second, 0);
    ASSERT_TRUE(test::ReadableWithin(second, 20000));
    char bytes[16] = {};
    EXPECT_EQ(test::ReceiveSome(second, bytes, sizeof bytes), 7);
    EXPECT_STREQ(bytes, "hello\r\n");
    for (const int socket : {second, first, filler, listener})
        test::CloseSocket(socket);
}

TEST_F(PsockConnect, CancelFromAnEventEndsAConnectWithoutTimeOut)
{
    TestPeer peer(nullptr, 0);
    const int filler = test::ConnectBlocking(peer.Port());
    TPowersock sock;
    Aim(sock, peer.Port(), 0);
    TThreadTimer canceller;
    canceller.SetInterval(50);
    canceller.SetOnTimer([&](TComponent*) { sock.Cancel(); });
    EXPECT_EQ(SockErrorOf([&] { sock.Connect(); }), "Connection Canceled");
    EXPECT_FALSE(sock.TimedOut());
    test::CloseSocket(filler);
}

TEST_F(PsockConnect, NoAddressEndsInNullRemoteAddress)
{
    TPowersock sock;
    sock.SetPort(1);
    sock.SetTimeOut(5000);
    sock.SetHost("0.0.0.0");
    EXPECT_EQ(SockErrorOf([&] { sock.Connect(); }), "Null Remote Address");
    sock.SetHost("no-such-host.invalid");
    EXPECT_EQ(SockErrorOf([&] { sock.Connect(); }), "Null Remote Address");
    sock.SetHost("");
    EXPECT_EQ(SockErrorOf([&] { sock.Connect(); }), "Null Remote Address");
}

TEST_F(PsockConnect, OnInvalidHostMayRepairTheHostOnce)
{
    TestPeer peer(HoldOpen());
    TPowersock sock;
    sock.SetPort(peer.Port());
    sock.SetTimeOut(5000);
    int calls = 0;
    sock.OnInvalidHost = [&](bool& handled) {
        ++calls;
        sock.SetHost("127.0.0.1");
        handled = true;
    };
    sock.SetHost("no-such-host.invalid");
    sock.Connect();
    EXPECT_TRUE(sock.Connected());
    EXPECT_EQ(calls, 1);
    sock.Disconnect();

    // A repair that still gives no address is not offered a second time.
    calls = 0;
    sock.OnInvalidHost = [&](bool& handled) {
        ++calls;
        sock.SetHost("0.0.0.0");
        handled = true;
    };
    sock.SetHost("0.0.0.0");
    EXPECT_EQ(SockErrorOf([&] { sock.Connect(); }), "Null Remote Address");
    EXPECT_EQ(calls, 1);

    // A handler that does not set Handled changes nothing.
    sock.OnInvalidHost = [&](bool&) { sock.SetHost("127.0.0.1"); };
    sock.SetHost("0.0.0.0");
    EXPECT_EQ(SockErrorOf([&] { sock.Connect(); }), "Null Remote Address");
}

TEST_F(PsockConnect, PeerClosingWithNothingUnreadDisconnects)
{
    TestPeer peer([](int, TestPeer&) {});
    TPowersock sock;
    Aim(sock, peer.Port());
    int disconnects = 0;
    sock.OnDisconnect = [&](TComponent*) { ++disconnects; };
    sock.Connect();
    ASSERT_TRUE(test::WaitUntil([&] { return !sock.Connected(); }));
    EXPECT_EQ(disconnects, 1);
    EXPECT_NE(sock.SocketHandle(), NoSocket);
}

// A handler, or a command run inside a wait, may free the component: nothing of it may be touched
// afterwards (the sanitizer build sees it), and a wait it interrupted ends as a cancel.
TEST_F(PsockConnect, FreedByItsOwnHandlersOrInsideItsWaits)
{
    {
        TestPeer peer([](int, TestPeer&) {}); // accepts and closes: the close notice fires OnDisconnect
        auto* sock = new TPowersock;
        Aim(*sock, peer.Port());
        bool freed = false;
        sock->OnDisconnect = [&](TComponent* sender) {
            delete sender;
            freed = true;
        };
        sock->Connect();
        ASSERT_TRUE(test::WaitUntil([&] { return freed; }));
    }
    {
        TestPeer peer(nullptr, 0);
        const int filler = test::ConnectBlocking(peer.Port()); // the connect wait lasts
        auto* sock = new TPowersock;
        Aim(*sock, peer.Port(), 0);
        TThreadTimer command;
        command.SetInterval(20);
        command.SetOnTimer([&](TComponent*) {
            command.SetEnabled(false);
            delete sock;
        });
        EXPECT_EQ(SockErrorOf([&] { sock->Connect(); }), "Connection Canceled");
        test::CloseSocket(filler);
    }
    {
        TestPeer peer(nullptr, 0);
        const int filler = test::ConnectBlocking(peer.Port());
        auto* sock = new TPowersock;
        Aim(*sock, peer.Port(), 100);
        sock->OnConnectionFailed = [](TComponent* sender) { delete sender; };
        EXPECT_EQ(SockErrorOf([&] { sock->Connect(); }), "Connection Timed out");
        test::CloseSocket(filler);
    }
    {
        TestPeer peer(HoldOpen());
        auto* sock = new TPowersock;
        Aim(*sock, peer.Port());
        sock->OnConnect = [](TComponent* sender) { delete sender; };
        EXPECT_EQ(SockErrorOf([&] { sock->Connect(); }), "Connection Canceled");
    }
}

TEST_F(PsockConnect, ComponentsShareTheStartUp)
{
    const int before = TPowersock::SocketUsers();
    auto first = std::make_unique<TPowersock>();
    EXPECT_EQ(TPowersock::SocketUsers(), before + 1);
    auto second = std::make_unique<TPowersock>();
    EXPECT_EQ(TPowersock::SocketUsers(), before + 2);
    if (before == 0) {
        EXPECT_EQ(first->WinsockInfo().size(), 6u);
        EXPECT_EQ(first->WinsockInfo()[0], "Version= 1.1");
    }
    EXPECT_TRUE(second->WinsockInfo().empty());
    EXPECT_NE(first->SocketWindow(), second->SocketWindow());
    first.reset();
    EXPECT_EQ(TPowersock::SocketUsers(), before + 1);
    second.reset();
    EXPECT_EQ(TPowersock::SocketUsers(), before);
}

TEST_F(PsockConnect, EachComponentGetsOnlyItsOwnNotices)
{
    TestPeer peerA(HoldOpen());
    TPowersock a;
    TPowersock b;
    int connectsA = 0;
    int connectsB = 0;
    a.OnConnect = [&](TComponent*) { ++connectsA; };
    b.OnConnect = [&](TComponent*) { ++connectsB; };
    Aim(a, peerA.Port());
    a.Connect();
    ProcessMessages();
    EXPECT_EQ(connectsA, 1);
    EXPECT_EQ(connectsB, 0);
    EXPECT_FALSE(b.Connected());
}

TEST_F(PsockConnect, HighMessagesAreSwallowedAndSetSucceeded)
{
    TPowersock sock;
    EXPECT_EQ(SendMessage(sock.SocketWindow(), 1300, 0, MakeNoticeParam(0, 10061)), 0);
    EXPECT_FALSE(sock.Succeeded());
    EXPECT_EQ(SendMessage(sock.SocketWindow(), 1125, 0, MakeNoticeParam(FD_OOB, 0)), 0);
    EXPECT_TRUE(sock.Succeeded());
    SendMessage(sock.SocketWindow(), 1124, 0, MakeNoticeParam(0, 10061)); // below the range: not handled
    EXPECT_TRUE(sock.Succeeded());
    EXPECT_FALSE(sock.Connected());
}

TEST_F(PsockConnect, ErrorTextsCarryTheCodeAndTheTableText)
{
    TPowersock sock;
    std::string text = "left over";
    sock.LookupErrorMessage(10061, text);
    EXPECT_EQ(text, "10061:Connection refused");
    sock.LookupErrorMessage(11004, text);
    EXPECT_EQ(text, "11004:Valid name, no data record of requested type");
    sock.LookupErrorMessage(12345, text);
    EXPECT_EQ(text, "Unknown Error No. 12345");
    sock.LookupErrorMessage(0, text);
    EXPECT_EQ(text, "");
}

TEST_F(PsockConnect, SocketErrorsMapFromErrno)
{
    EXPECT_EQ(SocketErrorFromErrno(EAGAIN), 10035);
    EXPECT_EQ(SocketErrorFromErrno(EINPROGRESS), 10035);
    EXPECT_EQ(SocketErrorFromErrno(ECONNREFUSED), 10061);
    EXPECT_EQ(SocketErrorFromErrno(ENOTCONN), 10057);
    EXPECT_EQ(SocketErrorFromErrno(EALREADY), 10037);
    EXPECT_EQ(SocketErrorFromErrno(EMFILE), 10024);
    EXPECT_EQ(SocketErrorFromErrno(0), 0);
    EXPECT_GT(SocketErrorFromErrno(EDEADLK), 10093); // unknown numbers never land on a table entry
}

TEST_F(PsockConnect, CheckSocketErrorRaisesAndReportsAllButTheToleratedCode)
{
    TPowersock sock;
    std::vector<uint16_t> reported;
    sock.OnError = [&](TComponent*, uint16_t code, const std::string&) { reported.push_back(code); };
    uint8_t byte = 0;
    ASSERT_LT(SocketRecv(sock.SocketHandle(), &byte, 1, 0), 0); // not connected
    std::string message = "x";
    EXPECT_EQ(SockErrorOf([&] { sock.CheckSocketError(WSAEWOULDBLOCK, message); }), "10057:Socket is not connected");
    EXPECT_EQ(sock.LastError(), 10057);
    EXPECT_EQ(reported, std::vector<uint16_t>{10057});
    sock.CheckSocketError(10057, message);
    EXPECT_EQ(message, "");
    EXPECT_EQ(reported.size(), 1u);
}

TEST_F(PsockConnect, ReportLevelFiltersStatusTexts)
{
    auto run = [](int level) {
        TestPeer peer([](int client, TestPeer& p) {
            p.ReceiveUntil(client, "\n");
            TestPeer::SendAll(client, "210 fine\r\n");
            p.WaitForStop(60000);
        });
        std::vector<std::string> statuses;
        TPowersock sock;
        sock.SetReportLevel(level);
        sock.OnStatus = [&](TComponent*, const std::string& status) { statuses.push_back(status); };
        Aim(sock, peer.Port());
        sock.Connect();
        std::string reply;
        sock.Transaction("HELLO", reply);
        sock.Disconnect();
        return statuses;
    };
    EXPECT_TRUE(run(0).empty());
    EXPECT_EQ(run(1), std::vector<std::string>{"210 fine\r\n"});
    EXPECT_EQ(run(4), (std::vector<std::string>{"Sending Buffer", "210 fine\r\n", "Request Close Socket"}));
    const auto all = run(8);
    EXPECT_EQ(all.front(), "Connecting");
    for (const char* text : {"Resolve Host", "Timer On", "Timer Off", "Transaction", "Writeln", "Write",
                             "Sending Buffer", "ReadLn", "210 fine\r\n", "Disconnecting", "Request Close Socket"})
        EXPECT_NE(std::find(all.begin(), all.end(), text), all.end()) << text;
}

TEST_F(PsockConnect, DestructionReportsNothingAndFiresNoDisconnect)
{
    TestPeer peer(HoldOpen());
    int statuses = 0;
    int disconnects = 0;
    {
        TPowersock sock;
        Aim(sock, peer.Port());
        sock.Connect();
        sock.SetReportLevel(8);
        sock.OnStatus = [&](TComponent*, const std::string&) { ++statuses; };
        sock.OnDisconnect = [&](TComponent*) { ++disconnects; };
    }
    EXPECT_EQ(statuses, 0);
    EXPECT_EQ(disconnects, 0);
}

TEST_F(PsockConnect, NegativeTimeOutIsARangeError)
{
    TPowersock sock;
    sock.SetTimeOut(-1);
    EXPECT_THROW(sock.TimerOn(), ERangeError);
}

TEST_F(PsockConnect, PublishedPropertiesInOrderWithTheirDefaults)
{
    TPowersock sock;
    const auto properties = sock.PublishedProperties();
    std::vector<std::string> names;
    for (const auto& p : properties)
        names.push_back(p.name);
    EXPECT_EQ(names, (std::vector<std::string>{"Name", "Tag", "Host", "Port", "TimeOut", "ReportLevel", "OnDisconnect",
                                               "OnConnect", "OnInvalidHost", "OnHostResolved", "OnStatus",
                                               "OnConnectionFailed"}));
    EXPECT_EQ(properties[5].defaultValue, 1);
    EXPECT_EQ(properties[5].getInteger(), 0);
    EXPECT_FALSE(properties[3].defaultValue.has_value());

    // An event travels as its handler's name, and only while a handler is bound.
    properties[7].setString("SockConnect");
    EXPECT_EQ(properties[7].getString(), "");
    sock.OnConnect = [](TComponent*) {};
    EXPECT_EQ(properties[7].getString(), "SockConnect");
}

} // namespace
} // namespace vorlane
