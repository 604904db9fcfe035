// TPowersock: start-up, host resolution, connecting, closing, time-outs, status texts, error texts and
// the dispatch of socket notices. The transfer operations are in PsockTransfer.cpp.
#include "socket/Psock.h"

#include <algorithm>
#include <cstring>

#include "platform/EventLoop.h"
#include "platform/EventLoopWait.h"
#include "socket/FireEvent.h"
#include "socket/SocketErrors.h"
#include "socket/Wait.h"

namespace vorlane {
namespace {

constexpr size_t MaxHostLength = DataBufferSize - 1;

// Components alive that have started the socket layer; only the window thread touches it.
int socketUsers = 0;

PublishedProperty IntegerProperty(const char* name, std::optional<int32_t> defaultValue, int32_t& field)
{
    PublishedProperty property;
    property.name = name;
    property.kind = PropertyKind::Integer;
    property.defaultValue = defaultValue;
    property.getInteger = [&field] { return field; };
    property.setInteger = [&field](int32_t value) { field = value; };
    return property;
}

} // namespace

TPowersock::TPowersock(TComponent* owner) : TComponent(owner)
{
    socketWindow_ = AllocateWindow([this](uint32_t message, uintptr_t wParam, intptr_t lParam) -> intptr_t {
        if (message >= SocketNotice)
            HandleSocketMessage(message, wParam, lParam);
        return 0;
    });
    hostEntry_ = std::make_unique<HostEntry>();
    try {
        timer_ = new TThreadTimer(this);
        timer_->SetEnabled(false);
        timer_->SetOnTimer([this](TComponent* sender) { TimerTriggered(sender); });
        timeOut_ = 0;
        winsockInfo_.clear();
        canceled_ = destroying_ = connected_ = false;
        InitializeWinsock();
    } catch (...) {
        // The base destructor frees the timer; the window must not outlive the object it calls.
        DestroyWindow(socketWindow_);
        socketWindow_ = 0;
        throw;
    }
}

TPowersock::~TPowersock()
{
    lifetime_.reset();
    beingDestroyed_ = true;
    try {
        Abort();
        winsockInfo_.clear();
        delete timer_; // leaves the owned list as it goes
        timer_ = nullptr;
        hostEntry_.reset();
        DestroyWindow(socketWindow_);
        socketWindow_ = 0;
        destroying_ = true;
        RequestCloseSocket();
    } catch (...) {
        // A destructor cannot fail; what is left goes with the base destruction.
    }
    if (startedSockets_ && --socketUsers == 0)
        SocketCleanup();
}

int TPowersock::SocketUsers()
{
    return socketUsers;
}

int TPowersock::Descriptor() const
{
    return socketHandle_ == NoSocket ? -1 : socketHandle_;
}

uint16_t TPowersock::FitHandle(int descriptor)
{
    if (descriptor < 0)
        return NoSocket;
    if (descriptor >= NoSocket) {
        SocketClose(descriptor);
        throw ERangeError(msg::RangeError);
    }
    return static_cast<uint16_t>(descriptor);
}

bool TPowersock::OpenSocket(bool firstSocket)
{
    socketHandle_ = FitHandle(SocketOpen(firstSocket));
    if (socketHandle_ == NoSocket)
        return false;
    attemptFailed_ = false;
    resetOnClose_ = firstSocket;
    if (firstSocket) {
        // Closing the first socket resets the connection at once and drops unsent data.
        SocketResetOnClose(socketHandle_);
    }
    AsyncSelect(socketHandle_, socketWindow_, SocketNotice, NoticeEvents);
    return true;
}

void TPowersock::InitializeWinsock()
{
    StatusMessage(8, "Initializing Winsock");
    ++socketUsers;
    startedSockets_ = true;
    if (socketUsers == 1)
        winsockInfo_ = SocketStartup();
    try {
        if (!OpenSocket(true)) {
            std::string message;
            CheckSocketError(WSAEWOULDBLOCK, message);
            throw ESockError(message);
        }
    } catch (...) {
        if (--socketUsers == 0)
            SocketCleanup();
        startedSockets_ = false;
        throw ESockError("Initializaton of windows sockets failed");
    }
}

std::vector<PublishedProperty> TPowersock::PublishedProperties()
{
    auto properties = TComponent::PublishedProperties();

    PublishedProperty host;
    host.name = "Host";
    host.kind = PropertyKind::String;
    host.getString = [this] { return host_; };
    host.setString = [this](const std::string& value) { host_ = value; };
    properties.push_back(std::move(host));

    properties.push_back(IntegerProperty("Port", std::nullopt, port_));
    properties.push_back(IntegerProperty("TimeOut", std::nullopt, timeOut_));
    properties.push_back(IntegerProperty("ReportLevel", 1, reportLevel_));

    properties.push_back(EventProperty("OnDisconnect", [this] { return bool(OnDisconnect); }));
    properties.push_back(EventProperty("OnConnect", [this] { return bool(OnConnect); }));
    properties.push_back(EventProperty("OnInvalidHost", [this] { return bool(OnInvalidHost); }));
    properties.push_back(EventProperty("OnHostResolved", [this] { return bool(OnHostResolved); }));
    properties.push_back(EventProperty("OnStatus", [this] { return bool(OnStatus); }));
    properties.push_back(EventProperty("OnConnectionFailed", [this] { return bool(OnConnectionFailed); }));
    return properties;
}

PublishedProperty TPowersock::EventProperty(const std::string& name, std::function<bool()> assigned)
{
    // Events travel as the names of their handlers; binding a name to code is the owner's business.
    PublishedProperty event;
    event.name = name;
    event.kind = PropertyKind::Event;
    event.getString = [this, name, assigned = std::move(assigned)] {
        auto it = eventNames_.find(name);
        return assigned() && it != eventNames_.end() ? it->second : std::string();
    };
    event.setString = [this, name](const std::string& value) { eventNames_[name] = value; };
    return event;
}

void TPowersock::StatusMessage(uint8_t level, const std::string& text)
{
    if (level > reportLevel_)
        return;
    status_ = text;
    if (beingDestroyed_ || !OnStatus)
        return;
    try {
        FireEvent(OnStatus, this, status_);
    } catch (...) {
        // A status handler cannot stop the operation that reports.
    }
}

void TPowersock::ResolveHost()
{
    StatusMessage(8, "Resolve Host");
    // The name is handed over zero-terminated, so it ends at a zero byte and at the buffer's size.
    const size_t length = std::min(host_.size(), MaxHostLength);
    std::memcpy(dataBuffer_.data(), host_.data(), length);
    dataBuffer_[length] = 0;
    const char* name = reinterpret_cast<const char*>(dataBuffer_.data());
    const uint32_t address = InetAddress(name);
    if (address != NoAddress) {
        remoteAddress_ = address;
        return;
    }

    remoteAddress_ = 0;
    TimerOn();
    lookupDone_ = false;
    lookupTask_ = AsyncGetHostByName(socketWindow_, LookupDoneNotice, name, hostEntry_.get());
    auto wait = EventWait::Of(Lifetime());
    if (!wait.Until([this] { return lookupDone_ || timedOut_ || canceled_; }, ShortWaitMs))
        throw ESockCanceled("Host Lookup Canceled");
    TimerOff();

    if (timedOut_)
        throw ESockTimedOut("Host Lookup Timed Out");
    if (canceled_)
        throw ESockCanceled("Host Lookup Canceled");
    if (!succeeded_ || hostEntry_->addresses.empty())
        throw ESockError("Host Lookup Failed");
    std::memcpy(&remoteAddress_, hostEntry_->addresses.front().data(), 4);
    if (!FiredAndAlive(Lifetime(), OnHostResolved, this))
        throw ESockCanceled("Connection Canceled"); // the handler freed the component
}

void TPowersock::Connect()
{
    StatusMessage(8, "Connecting");
    canceled_ = false;
    if (connected_)
        throw ESockError("Already connected");

    for (int tries = 0;; ++tries) {
        try {
            ResolveHost();
        } catch (const ESockTimedOut&) {
            throw;
        } catch (const ESockCanceled&) {
            throw;
        } catch (const ESockError&) {
            // A failed lookup leaves the address at 0, which the handler below may repair.
        }
        if (remoteAddress_ != 0)
            break;
        if (tries > 0 || !OnInvalidHost)
            throw ESockError("Null Remote Address");
        bool handled = false;
        if (!FiredAndAlive(Lifetime(), OnInvalidHost, handled))
            throw ESockCanceled("Connection Canceled");
        if (!handled)
            throw ESockError("Null Remote Address");
    }

    if (attemptFailed_)
        ReplaceFailedSocket();
    attemptFailed_ = true; // until the connection stands
    lookupDone_ = false;
    succeeded_ = true;
    if (SocketConnect(Descriptor(), remoteAddress_, static_cast<uint16_t>(port_ & 0xFFFF)) != 0) {
        std::string message;
        CheckSocketError(WSAEWOULDBLOCK, message);
    }
    TimerOn();
    auto wait = EventWait::Of(Lifetime());
    if (!wait.Until([this] { return connected_ || timedOut_ || canceled_ || !succeeded_; }, ShortWaitMs))
        throw ESockCanceled("Connection Canceled"); // freed by a handler or a command run meanwhile
    TimerOff();

    if (!timedOut_ && !canceled_ && succeeded_) {
        attemptFailed_ = false;
        return; // OnConnect has come with the connect notice
    }
    // The outcome is read after the handler, which may change it; one that frees the component hears
    // the outcome it was told of.
    bool timedOut = timedOut_;
    bool canceled = canceled_;
    if (FiredAndAlive(Lifetime(), OnConnectionFailed, this)) {
        timedOut = timedOut_;
        canceled = canceled_;
    }
    if (timedOut)
        throw ESockTimedOut("Connection Timed out");
    if (canceled)
        throw ESockCanceled("Connection Canceled");
    throw ESockError("Connection Failed");
}

void TPowersock::ReplaceFailedSocket()
{
    // No OnDisconnect: nothing was connected. An attempt abandoned by a time-out or cancel ends here.
    if (socketHandle_ != NoSocket)
        SocketClose(socketHandle_);
    socketHandle_ = NoSocket;
    if (!OpenSocket(resetOnClose_)) {
        std::string message;
        CheckSocketError(WSAEWOULDBLOCK, message);
    }
}

void TPowersock::Disconnect()
{
    StatusMessage(8, "Disconnecting");
    RequestCloseSocket();
}

void TPowersock::RequestCloseSocket()
{
    StatusMessage(4, "Request Close Socket");
    connected_ = false;
    if (socketHandle_ == NoSocket)
        return;
    const int closed = SocketClose(socketHandle_);
    // The descriptor is gone either way; keeping its number could close someone else's later.
    socketHandle_ = NoSocket;
    if (closed != 0) {
        std::string message;
        CheckSocketError(WSAEWOULDBLOCK, message);
        return;
    }
    if (!destroying_ && !beingDestroyed_ && !FiredAndAlive(Lifetime(), OnDisconnect, this))
        return; // the handler freed the component: there is nothing left to open a socket for
    if (!destroying_)
        OpenSocket(false); // no linger option: this one closes gracefully
}

void TPowersock::Cancel()
{
    StatusMessage(8, "Canceling");
    canceled_ = true;
}

void TPowersock::Abort()
{
    StatusMessage(8, "Abort");
    Cancel();
}

void TPowersock::TimerOn()
{
    StatusMessage(8, "Timer On");
    timedOut_ = false;
    if (timeOut_ < 0)
        throw ERangeError(msg::RangeError);
    timer_->SetInterval(static_cast<uint32_t>(timeOut_));
    timer_->SetEnabled(true);
}

void TPowersock::TimerOff()
{
    StatusMessage(8, "Timer Off");
    timer_->SetEnabled(false);
}

void TPowersock::TimerTriggered(TComponent*)
{
    StatusMessage(8, "Timer Triggered");
    TimerOff();
    timedOut_ = true;
    lookupDone_ = true;
    Abort();
    // The wait sees Canceled at its next turn. Beneath a modal loop (a menu, a message box, a dialog)
    // that turn comes only once the loop ends: the connection ends now, so the time-out holds for the
    // peer whatever the user keeps open. The socket itself is closed when the wait ends, as always.
    if (connected_ && socketHandle_ != NoSocket && HandledBeneathModalLoop())
        SocketShutdown(socketHandle_);
}

void TPowersock::CheckSocketError(uint16_t tolerated, std::string& message)
{
    const int code = LastSocketError();
    lastError_ = code;
    if (code != tolerated && code > 10000) {
        message.clear();
        LookupErrorMessage(static_cast<uint16_t>(code), message);
        FireEvent(OnError, this, static_cast<uint16_t>(code), message);
        throw ESockError(message);
    }
    message.clear();
}

void TPowersock::LookupErrorMessage(uint16_t code, std::string& text)
{
    StatusMessage(8, "Looking Up Error Message" + text);
    text.clear();
    if (code == 0)
        return;
    if (const char* entry = SocketErrorText(code))
        text = std::to_string(code) + ":" + entry;
    else
        text = "Unknown Error No. " + std::to_string(code);
}

bool TPowersock::DataAvailable()
{
    StatusMessage(8, "Data Available");
    uint8_t byte = 0;
    return SocketRecv(Descriptor(), &byte, 1, RecvPeek) >= 1;
}

void TPowersock::HandleSocketMessage(uint32_t message, uintptr_t wParam, intptr_t lParam)
{
    // A lookup abandoned by a time-out or cancel still ends some time; its notice must neither end a
    // later lookup's wait with the wrong address nor fail a connect wait.
    if (message == LookupDoneNotice && wParam != lookupTask_)
        return;
    try {
        // The socket a notice names is not looked at: the layer drops notices of closed sockets.
        succeeded_ = NoticeError(lParam) == 0;
        if (message == SocketNotice) {
            switch (NoticeEvent(lParam)) {
            case FD_READ:
                try {
                    FireEvent(OnRead, this);
                } catch (...) {
                }
                break;
            case FD_ACCEPT:
                connected_ = true;
                acceptNoticed_ = true;
                FireEvent(OnAccept, this);
                break;
            case FD_CONNECT:
                if (succeeded_) {
                    connected_ = true;
                    FireEvent(OnConnect, this);
                }
                break;
            case FD_CLOSE:
                // With data still unread the reader meets the end of the data itself.
                if (!DataAvailable())
                    RequestCloseSocket();
                break;
            default:
                break;
            }
        } else if (message == LookupDoneNotice) {
            lookupDone_ = true;
        }
    } catch (...) {
        // A notice handler has no caller to report to.
    }
}

} // namespace vorlane
