// Sockets and host lookups on Windows Sockets in its window-message mode: WSAAsyncSelect and
// WSAAsyncGetHostByName report to one relay window of the layer, which hands each notice to the target
// the caller named. The relay is what drops the notices still queued for a socket that has been closed
// (a later socket may get the same number) and what keeps a lookup's buffer alive until the lookup ends,
// however early its caller gives up.
#include "platform/AsyncSocket.h"

#include <climits>
#include <memory>
#include <unordered_map>

#include "platform/win32/WinApi.h"

namespace vorlane {
namespace {

// The relay's messages: a lookup has ended; a lookup could not be started; then one number for each
// registration of a socket, used round, so that a notice tells which registration it was made for.
constexpr uint32_t LookupEnded = 0x8000; // WM_APP
constexpr uint32_t LookupRefused = LookupEnded + 1;
constexpr uint32_t FirstRegistration = LookupEnded + 2;
constexpr uint32_t Registrations = 0xBFFF - FirstRegistration + 1;

thread_local int lastError = 0;

int Fail()
{
    lastError = WSAGetLastError();
    return -1;
}

struct Registration {
    WindowHandle window = 0;
    uint32_t message = 0;
    uint32_t relayMessage = 0;
    bool connecting = false;  // a connect was started and its notice has not come
    uint64_t connectPass = 0; // the loop's pass that delivered the connect notice
};

struct Lookup {
    WindowHandle window = 0;
    uint32_t message = 0;
    HostEntry* entry = nullptr;
    std::unique_ptr<char[]> buffer; // the system writes the host entry here when the lookup ends
};

// Only the thread that runs the loop uses these. They outlive every static that might still close a
// socket at exit.
auto& registrations = *new std::unordered_map<SOCKET, Registration>;
uint32_t nextRegistration = 0;
auto& lookups = *new std::unordered_map<uint32_t, Lookup>;           // by task
auto& tasksOfHandles = *new std::unordered_map<uintptr_t, uint32_t>; // the system's task handle -> task

HostEntry EntryFrom(const char* buffer, uint32_t task)
{
    HostEntry entry;
    entry.task = task;
    const auto* host = reinterpret_cast<const hostent*>(buffer);
    if (host->h_addrtype != AF_INET || host->h_length != 4)
        return entry;
    for (char** address = host->h_addr_list; address && *address; ++address) {
        std::array<uint8_t, 4> bytes;
        for (size_t i = 0; i < bytes.size(); ++i)
            bytes[i] = static_cast<uint8_t>((*address)[i]);
        entry.addresses.push_back(bytes);
    }
    return entry;
}

void FinishLookup(uint32_t task, uint16_t error)
{
    auto it = lookups.find(task);
    if (it == lookups.end())
        return;
    Lookup lookup = std::move(it->second);
    lookups.erase(it);
    if (!IsWindow(lookup.window))
        return; // the entry went with its window
    HostEntry result = error == 0 ? EntryFrom(lookup.buffer.get(), task) : HostEntry{{}, task};
    if (error == 0 && result.addresses.empty())
        error = WSANO_DATA;
    // An abandoned lookup may end after a later one on the same entry; its result must not replace that.
    if (lookup.entry->task == task)
        *lookup.entry = std::move(result);
    SendMessage(lookup.window, lookup.message, task, MakeNoticeParam(0, error));
}

// Hands a socket notice to its target, unless the socket has been closed or registered anew since.
//
// A wait looks at its state between passes of the loop, and under wine a peer that closes at once gets
// its close notice into the same pass as the connect notice, or even alone: the connect wait would
// never see the connection that stood, only a closed socket. So a close that comes in the pass that
// brought the connect is put off until that pass has ended, as it comes later on the other system, and
// a close that comes first brings the connect it implies (the handshake completed, or there would be
// nothing to close).
void Deliver(SOCKET socket, uint32_t relayMessage, intptr_t lParam)
{
    auto it = registrations.find(socket);
    if (it == registrations.end() || it->second.relayMessage != relayMessage)
        return;
    Registration& registration = it->second;
    const uint16_t event = NoticeEvent(lParam);
    auto closeLater = [&] {
        win32::DeferToNextPass([socket, relayMessage, lParam] { Deliver(socket, relayMessage, lParam); });
    };
    if (event == FD_CLOSE && registration.connecting) {
        registration.connecting = false;
        registration.connectPass = win32::CurrentPass();
        const Registration target = registration; // the handler may close the socket and drop it
        SendMessage(target.window, target.message, socket, MakeNoticeParam(FD_CONNECT, 0));
        if (win32::InPass())
            closeLater();
        else
            Deliver(socket, relayMessage, lParam);
        return;
    }
    if (event == FD_CLOSE && win32::InPass() && registration.connectPass == win32::CurrentPass()) {
        closeLater();
        return;
    }
    if (event == FD_CONNECT) {
        registration.connecting = false;
        registration.connectPass = win32::InPass() ? win32::CurrentPass() : 0;
    }
    const Registration target = registration;
    SendMessage(target.window, target.message, socket, lParam);
}

intptr_t Relay(uint32_t message, uintptr_t wParam, intptr_t lParam)
{
    if (message == LookupEnded) {
        auto it = tasksOfHandles.find(wParam);
        if (it != tasksOfHandles.end()) {
            const uint32_t task = it->second;
            tasksOfHandles.erase(it);
            FinishLookup(task, WSAGETASYNCERROR(lParam));
        }
    } else if (message == LookupRefused) {
        FinishLookup(static_cast<uint32_t>(wParam), NoticeError(lParam));
    } else {
        Deliver(static_cast<SOCKET>(wParam), message, lParam);
    }
    return 0;
}

HWND RelayWindow()
{
    static const WindowHandle relay = AllocateWindow(Relay);
    return win32::ToHwnd(relay);
}

SOCKET Native(int socket)
{
    return socket < 0 ? INVALID_SOCKET : static_cast<SOCKET>(socket);
}

// The layer's number for a new socket of the system, or -1: one that needs more than an int is closed.
// Programs this one starts do not inherit it.
int Adopt(SOCKET socket)
{
    if (socket == INVALID_SOCKET)
        return Fail();
    if (socket > static_cast<SOCKET>(INT_MAX)) {
        closesocket(socket);
        lastError = WSAEMFILE;
        return -1;
    }
    SetHandleInformation(reinterpret_cast<HANDLE>(socket), HANDLE_FLAG_INHERIT, 0);
    return static_cast<int>(socket);
}

} // namespace

std::vector<std::string> SocketStartup()
{
    WSADATA data{};
    WSAStartup(MAKEWORD(1, 1), &data);
    auto version = [](WORD word) { return std::to_string(LOBYTE(word)) + "." + std::to_string(HIBYTE(word)); };
    return {
        "Version= " + version(data.wVersion),
        "High Version= " + version(data.wHighVersion),
        std::string("Description= ") + data.szDescription,
        std::string("System= ") + data.szSystemStatus,
        "Max Sockets= " + std::to_string(data.iMaxSockets),
        "Max Udp pack size= " + std::to_string(data.iMaxUdpDg),
    };
}

void SocketCleanup()
{
    WSACleanup();
}

uint32_t InetAddress(const char* text)
{
    return inet_addr(text);
}

int LastSocketError()
{
    return lastError;
}

int SocketOpen(bool tcp)
{
    return Adopt(::socket(AF_INET, SOCK_STREAM, tcp ? IPPROTO_TCP : 0));
}

int AsyncSelect(int socket, WindowHandle window, uint32_t message, uint32_t events)
{
    const HWND relay = RelayWindow();
    const uint32_t relayMessage = FirstRegistration + nextRegistration++ % Registrations;
    // A registration made before is replaced, and its notices still queued are dropped.
    registrations[Native(socket)] = {window, message, relayMessage};
    if (WSAAsyncSelect(Native(socket), relay, relayMessage, static_cast<long>(events)) != 0) {
        registrations.erase(Native(socket));
        return Fail();
    }
    return 0;
}

void SocketResetOnClose(int socket)
{
    linger option{};
    option.l_onoff = 1;
    option.l_linger = 0;
    setsockopt(Native(socket), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&option), sizeof option);
}

int SocketConnect(int socket, uint32_t remote, uint16_t port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = remote;
    const bool started = connect(Native(socket), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    const int error = started ? 0 : WSAGetLastError();
    auto it = registrations.find(Native(socket));
    if (it != registrations.end() && (started || error == WSAEWOULDBLOCK))
        it->second.connecting = true;
    if (!started) {
        lastError = error;
        return -1;
    }
    return 0;
}

ssize_t SocketSend(int socket, const void* data, size_t length)
{
    const int n =
        send(Native(socket), static_cast<const char*>(data), static_cast<int>(length > INT_MAX ? INT_MAX : length), 0);
    if (n == SOCKET_ERROR)
        return Fail();
    return n;
}

ssize_t SocketRecv(int socket, void* data, size_t length, int flags)
{
    const int n =
        recv(Native(socket), static_cast<char*>(data), static_cast<int>(length > INT_MAX ? INT_MAX : length), flags);
    if (n == SOCKET_ERROR)
        return Fail();
    return n;
}

int SocketAccept(int socket, uint32_t* peerAddress)
{
    sockaddr_in address{};
    int length = sizeof address;
    const int accepted = Adopt(accept(Native(socket), reinterpret_cast<sockaddr*>(&address), &length));
    if (accepted >= 0 && peerAddress)
        *peerAddress = address.sin_addr.s_addr;
    return accepted;
}

int SocketClose(int socket)
{
    registrations.erase(Native(socket));
    if (closesocket(Native(socket)) != 0)
        return Fail();
    return 0;
}

int SocketShutdown(int socket)
{
    if (shutdown(Native(socket), SD_BOTH) != 0)
        return Fail();
    return 0;
}

uint32_t AsyncGetHostByName(WindowHandle window, uint32_t message, const std::string& name, HostEntry* entry)
{
    static uint32_t lastTask = 0;
    const uint32_t task = ++lastTask == 0 ? ++lastTask : lastTask;
    entry->task = task;
    Lookup lookup;
    lookup.window = window;
    lookup.message = message;
    lookup.entry = entry;
    lookup.buffer = std::make_unique<char[]>(MAXGETHOSTSTRUCT);
    const HWND relay = RelayWindow();
    // The system takes the empty name for this machine's own; here, as on the other system, it names
    // no host.
    const HANDLE handle =
        name.empty() ? nullptr
                     : WSAAsyncGetHostByName(relay, LookupEnded, name.c_str(), lookup.buffer.get(), MAXGETHOSTSTRUCT);
    const int error = name.empty() ? WSAHOST_NOT_FOUND : WSAGetLastError();
    lookups.emplace(task, std::move(lookup));
    if (handle)
        tasksOfHandles[reinterpret_cast<uintptr_t>(handle)] = task;
    else
        PostMessageA(relay, LookupRefused, task, MakeNoticeParam(0, static_cast<uint16_t>(error)));
    return task;
}

} // namespace vorlane
