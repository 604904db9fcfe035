#include "platform/AsyncSocket.h"

#include <QSocketNotifier>

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <unordered_map>

#include "platform/EventDispatcher.h"

namespace vorlane {
namespace {

thread_local int lastError = 0;

int Fail(int error)
{
    lastError = SocketErrorFromErrno(error);
    return -1;
}

// What the layer knows about a socket registered with AsyncSelect. Lives on the loop thread.
struct Watch {
    int socket = InvalidSocket;
    uint64_t serial = 0; // tells a notice for this registration from one for a later socket on the same fd
    WindowHandle window = 0;
    uint32_t message = 0;
    uint32_t events = 0;
    std::unique_ptr<QSocketNotifier> readable;
    std::unique_ptr<QSocketNotifier> writable;
    bool readArmed = true;   // FD_READ / FD_ACCEPT may be reported
    bool connecting = false; // waiting for the outcome of connect()
    bool connected = false;
    bool closeReported = false;
};

std::unordered_map<int, std::unique_ptr<Watch>>& Watches()
{
    static auto* watches = new std::unordered_map<int, std::unique_ptr<Watch>>;
    return *watches;
}

uint64_t nextSerial = 1;

Watch* WatchOf(int socket)
{
    auto& watches = Watches();
    auto it = watches.find(socket);
    return it == watches.end() ? nullptr : it->second.get();
}

bool IsListening(int socket)
{
    int listening = 0;
    socklen_t length = sizeof listening;
    return getsockopt(socket, SOL_SOCKET, SO_ACCEPTCONN, &listening, &length) == 0 && listening != 0;
}

// Queues a notice; it is dropped if the socket has been closed or registered anew by then.
void PostNotice(const Watch& watch, uint16_t event, uint16_t error)
{
    const int socket = watch.socket;
    const uint64_t serial = watch.serial;
    detail::EventDispatcher::Instance().Post(watch.window, watch.message, static_cast<uintptr_t>(socket),
                                             MakeNoticeParam(event, error), [socket, serial] {
                                                 const Watch* current = WatchOf(socket);
                                                 return current && current->serial == serial;
                                             });
}

// The read side is watched only while it can report something: a poll on a socket that is neither
// connected nor listening reports a hang-up at once and would wake the loop without end.
void UpdateReadable(Watch& watch)
{
    if (!watch.readable)
        return;
    const bool wanted = (watch.events & (FD_READ | FD_ACCEPT | FD_CLOSE)) != 0;
    const bool canReport = watch.connected || IsListening(watch.socket);
    watch.readable->setEnabled(wanted && watch.readArmed && !watch.closeReported && canReport);
}

void OnReadable(Watch& watch)
{
    if (IsListening(watch.socket)) {
        watch.readArmed = false;
        if (watch.events & FD_ACCEPT)
            PostNotice(watch, FD_ACCEPT, 0);
    } else {
        char byte;
        const ssize_t n = recv(watch.socket, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
        if (n > 0) {
            watch.readArmed = false;
            if (watch.events & FD_READ)
                PostNotice(watch, FD_READ, 0);
        } else if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
            const uint16_t error = n == 0 ? 0 : static_cast<uint16_t>(SocketErrorFromErrno(errno));
            watch.closeReported = true;
            if (watch.events & FD_CLOSE)
                PostNotice(watch, FD_CLOSE, error);
        }
    }
    UpdateReadable(watch);
}

void OnWritable(Watch& watch)
{
    watch.writable->setEnabled(false);
    if (!watch.connecting)
        return;
    watch.connecting = false;
    int error = 0;
    socklen_t length = sizeof error;
    if (getsockopt(watch.socket, SOL_SOCKET, SO_ERROR, &error, &length) != 0)
        error = errno;
    if (error == ECONNRESET || error == EPIPE) {
        // The handshake completed and the peer reset the connection before the outcome was read:
        // connected, then closed, as the notices would have told it one after the other.
        if (watch.events & FD_CONNECT)
            PostNotice(watch, FD_CONNECT, 0);
        watch.closeReported = true;
        if (watch.events & FD_CLOSE)
            PostNotice(watch, FD_CLOSE, static_cast<uint16_t>(SocketErrorFromErrno(error)));
        UpdateReadable(watch);
        return;
    }
    watch.connected = error == 0;
    if (watch.events & FD_CONNECT)
        PostNotice(watch, FD_CONNECT, static_cast<uint16_t>(SocketErrorFromErrno(error)));
    UpdateReadable(watch);
}

bool PeerConnected(int socket)
{
    sockaddr_in peer{};
    socklen_t length = sizeof peer;
    return getpeername(socket, reinterpret_cast<sockaddr*>(&peer), &length) == 0;
}

// Outcomes that Windows Sockets reports through the connect notice rather than from connect().
bool IsConnectOutcome(int error)
{
    return error == ECONNREFUSED || error == ETIMEDOUT || error == ENETUNREACH || error == EHOSTUNREACH;
}

uint16_t LookupError(int status)
{
    switch (status) {
    case 0:
        return 0;
    case EAI_NONAME:
        return 11001;
#ifdef EAI_NODATA
    case EAI_NODATA:
        return 11004;
#endif
    case EAI_ADDRFAMILY:
        return 11004;
    case EAI_AGAIN:
        return 11002;
    default:
        return 11003;
    }
}

} // namespace

int LastSocketError()
{
    return lastError;
}

std::vector<std::string> SocketStartup()
{
    rlimit files{};
    rlim_t maxSockets = 0;
    if (getrlimit(RLIMIT_NOFILE, &files) == 0)
        maxSockets = files.rlim_cur == RLIM_INFINITY || files.rlim_cur > 0xFFFF ? 0xFFFF : files.rlim_cur;
    return {
        "Version= 1.1",
        "High Version= 2.2",
        "Description= POSIX sockets on the Qt event loop",
        "System= Running",
        "Max Sockets= " + std::to_string(maxSockets),
        "Max Udp pack size= 65507",
    };
}

void SocketCleanup()
{
    // Nothing to end: the POSIX sockets need no start.
}

uint32_t InetAddress(const char* text)
{
    return inet_addr(text);
}

int SocketOpen(bool tcp)
{
    const int socket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, tcp ? IPPROTO_TCP : 0);
    if (socket < 0)
        return Fail(errno);
    return socket;
}

int AsyncSelect(int socket, WindowHandle window, uint32_t message, uint32_t events)
{
    const int flags = fcntl(socket, F_GETFL);
    if (flags < 0 || fcntl(socket, F_SETFL, flags | O_NONBLOCK) < 0)
        return Fail(errno);

    auto watch = std::make_unique<Watch>();
    watch->socket = socket;
    watch->serial = nextSerial++;
    watch->window = window;
    watch->message = message;
    watch->events = events;
    watch->connected = PeerConnected(socket);
    Watch* w = watch.get();
    watch->readable = std::make_unique<QSocketNotifier>(socket, QSocketNotifier::Read);
    QObject::connect(watch->readable.get(), &QSocketNotifier::activated, [w] { OnReadable(*w); });
    watch->writable = std::make_unique<QSocketNotifier>(socket, QSocketNotifier::Write);
    watch->writable->setEnabled(false);
    QObject::connect(watch->writable.get(), &QSocketNotifier::activated, [w] { OnWritable(*w); });
    Watches()[socket] = std::move(watch); // a registration made before is replaced
    UpdateReadable(*w);
    return 0;
}

void SocketResetOnClose(int socket)
{
    linger option{};
    option.l_onoff = 1;
    option.l_linger = 0;
    setsockopt(socket, SOL_SOCKET, SO_LINGER, &option, sizeof option);
}

int SocketConnect(int socket, uint32_t remote, uint16_t port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = remote;
    Watch* watch = WatchOf(socket);
    if (::connect(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
        if (!watch)
            return 0;
        // Connected at once; the caller still learns it from the notice, as on any other path.
        watch->connected = true;
        if (watch->events & FD_CONNECT)
            PostNotice(*watch, FD_CONNECT, 0);
        UpdateReadable(*watch);
        return Fail(EWOULDBLOCK);
    }
    const int error = errno;
    if (!watch)
        return Fail(error);
    if (error == EINPROGRESS) {
        watch->connecting = true;
        watch->closeReported = false;
        watch->writable->setEnabled(true);
    } else if (IsConnectOutcome(error)) {
        if (watch->events & FD_CONNECT)
            PostNotice(*watch, FD_CONNECT, static_cast<uint16_t>(SocketErrorFromErrno(error)));
    } else {
        return Fail(error);
    }
    return Fail(EWOULDBLOCK);
}

ssize_t SocketSend(int socket, const void* data, size_t length)
{
    const ssize_t n = ::send(socket, data, length, MSG_NOSIGNAL);
    if (n < 0)
        return Fail(errno);
    return n;
}

ssize_t SocketRecv(int socket, void* data, size_t length, int flags)
{
    const ssize_t n = ::recv(socket, data, length, flags);
    const int error = errno;
    if (Watch* watch = WatchOf(socket)) {
        watch->readArmed = true;
        UpdateReadable(*watch);
    }
    if (n < 0)
        return Fail(error);
    return n;
}

int SocketAccept(int socket, uint32_t* peerAddress)
{
    sockaddr_in address{};
    socklen_t length = sizeof address;
    const int accepted = ::accept4(socket, reinterpret_cast<sockaddr*>(&address), &length, SOCK_CLOEXEC);
    const int error = errno;
    if (Watch* watch = WatchOf(socket)) {
        watch->readArmed = true;
        UpdateReadable(*watch);
    }
    if (accepted < 0)
        return Fail(error);
    if (peerAddress)
        *peerAddress = address.sin_addr.s_addr;
    return accepted;
}

int SocketClose(int socket)
{
    Watches().erase(socket); // the notifiers go before the descriptor does
    if (::close(socket) != 0)
        return Fail(errno);
    return 0;
}

int SocketShutdown(int socket)
{
    if (::shutdown(socket, SHUT_RDWR) != 0)
        return Fail(errno);
    return 0;
}

uint32_t AsyncGetHostByName(WindowHandle window, uint32_t message, const std::string& name, HostEntry* entry)
{
    static uint32_t lastTask = 0;
    const uint32_t task = ++lastTask == 0 ? ++lastTask : lastTask;
    auto& dispatcher = detail::EventDispatcher::Instance(); // made here, on the loop thread
    // An abandoned lookup may end after a later one on the same entry; its result must not replace that.
    entry->task = task;
    // getaddrinfo blocks, so it runs on a helper thread; only the posted result touches the caller.
    std::thread([&dispatcher, window, message, name, entry, task] {
        addrinfo hints{};
        hints.ai_family = AF_INET;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* list = nullptr;
        const int status = getaddrinfo(name.c_str(), nullptr, &hints, &list);
        auto result = std::make_shared<HostEntry>();
        result->task = task;
        // At most what a 1,024-byte host entry could list.
        constexpr size_t MaxAddresses = 64;
        for (addrinfo* a = status == 0 ? list : nullptr; a && result->addresses.size() < MaxAddresses; a = a->ai_next) {
            if (a->ai_family != AF_INET || a->ai_addrlen < sizeof(sockaddr_in))
                continue;
            const auto* in = reinterpret_cast<const sockaddr_in*>(a->ai_addr);
            std::array<uint8_t, 4> bytes;
            static_assert(sizeof in->sin_addr.s_addr == 4);
            const uint32_t s = in->sin_addr.s_addr;
            bytes[0] = reinterpret_cast<const uint8_t*>(&s)[0];
            bytes[1] = reinterpret_cast<const uint8_t*>(&s)[1];
            bytes[2] = reinterpret_cast<const uint8_t*>(&s)[2];
            bytes[3] = reinterpret_cast<const uint8_t*>(&s)[3];
            result->addresses.push_back(bytes);
        }
        if (list)
            freeaddrinfo(list);
        uint16_t error = LookupError(status);
        if (error == 0 && result->addresses.empty())
            error = 11004;
        dispatcher.Post(window, message, task, MakeNoticeParam(0, error), [window, entry, result] {
            if (!IsWindow(window))
                return false;
            if (entry->task == result->task)
                *entry = *result;
            return true;
        });
    }).detach();
    return task;
}

} // namespace vorlane
