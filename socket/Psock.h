// TPowersock: a TCP client over IPv4 whose waits (host lookup, connect, reads) let the window thread's
// event loop run. Socket events, lookup completion and time-outs reach it as messages to a hidden
// window of its own; every failure is an ESockError (or its subclass EAbortError) with an English text.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "component/Component.h"
#include "platform/AsyncSocket.h"
#include "platform/Exceptions.h"
#include "platform/MessageWindow.h"
#include "socket/ThreadTimer.h"

namespace vorlane {

// A wait of the client that ended by its time-out ("Host Lookup Timed Out", "Connection Timed out"), or
// by Cancel, Abort or the component being freed ("Host Lookup Canceled", "Connection Canceled",
// "Accepting Canceled"). The transfer operations end both ways with EAbortError.
class ESockTimedOut : public ESockError {
    using ESockError::ESockError;
};
class ESockCanceled : public ESockError {
    using ESockError::ESockError;
};

using THandlerEvent = std::function<void(bool& handled)>;
using TOnHostResolved = std::function<void(TComponent* sender)>;
using TOnStatus = std::function<void(TComponent* sender, const std::string& status)>;
using TOnSocketError = std::function<void(TComponent* sender, uint16_t code, const std::string& message)>;

// The socket notice and the lookup-done notice, as delivered to the socket window.
inline constexpr uint32_t SocketNotice = WM_USER + 101;     // 1125
inline constexpr uint32_t LookupDoneNotice = WM_USER + 102; // 1126
inline constexpr uint16_t NoSocket = 0xFFFF;
inline constexpr size_t DataBufferSize = 65537; // 64 KiB and a terminating zero
inline constexpr size_t ReceiveSize = 65536;

class TPowersock : public TComponent {
public:
    // Raises ESockError "Initializaton of windows sockets failed" when no socket can be opened.
    explicit TPowersock(TComponent* owner = nullptr);
    ~TPowersock() override;

    std::string ClassName() const override { return "TPowersock"; }
    // Host, Port, TimeOut, ReportLevel, OnDisconnect, OnConnect, OnInvalidHost, OnHostResolved,
    // OnStatus, OnConnectionFailed.
    std::vector<PublishedProperty> PublishedProperties() override;

    // Published properties: plain fields, no side effects.
    const std::string& Host() const { return host_; }
    void SetHost(const std::string& host) { host_ = host; }
    int32_t Port() const { return port_; } // only the low 16 bits are used
    void SetPort(int32_t port) { port_ = port; }
    int32_t TimeOut() const { return timeOut_; } // ms per wait; 0 = none; negative fails at TimerOn
    void SetTimeOut(int32_t timeOut) { timeOut_ = timeOut; }
    int32_t ReportLevel() const { return reportLevel_; }
    void SetReportLevel(int32_t level) { reportLevel_ = level; }

    // Published events.
    TNotifyEvent OnDisconnect;
    TNotifyEvent OnConnect;
    THandlerEvent OnInvalidHost;
    TOnHostResolved OnHostResolved;
    TOnStatus OnStatus;
    TNotifyEvent OnConnectionFailed;
    // Unpublished hooks.
    TNotifyEvent OnRead;
    TNotifyEvent OnAccept;
    TOnSocketError OnError;
    TNotifyEvent OnPacketReceived;

    // Connection.
    virtual void Connect();
    virtual void Disconnect();
    void Cancel();
    virtual void Abort();
    bool Connected() const { return connected_; }

    // Transfer.
    void SendBuffer(const uint8_t* buffer, uint16_t length); // length 0: up to the first zero byte
    void Write(const std::string& text);
    void Writeln(const std::string& text);
    void ReadLn(std::string& line);
    virtual void Transaction(const std::string& command, std::string& reply);
    // count -1: until the peer closes, or until the text is complete (SetCaptureEnd). See
    // SetCaptureLimit for how much of it is kept.
    void CaptureString(std::string& text, int32_t count);
    // Takes a pending connection of the (listening) socket; the new socket reports to this component's
    // window and belongs to the caller, who closes it with SocketClose.
    virtual uint16_t Accept();

    // Keeps at most `limit` bytes of what CaptureString receives; further bytes are read and dropped,
    // so the capture still ends where it would have. 0 (the default) keeps everything.
    void SetCaptureLimit(size_t limit) { captureLimit_ = limit; }
    size_t CaptureLimit() const { return captureLimit_; }
    // Ends CaptureString normally, without waiting for more, once `complete` holds for the text kept
    // so far: for replies whose end shows in the text while the peer keeps the connection open. Empty
    // (the default): only the count, the peer's close, the time-out or Cancel end it.
    void SetCaptureEnd(std::function<bool(std::string_view text)> complete) { captureEnd_ = std::move(complete); }

    // State.
    const std::string& Status() const { return status_; }
    int LastError() const { return lastError_; }
    bool Canceled() const { return canceled_; }
    bool TimedOut() const { return timedOut_; }
    bool Succeeded() const { return succeeded_; }
    bool LookupDone() const { return lookupDone_; }
    const std::string& LastReply() const { return lastReply_; }
    int16_t ReplyNumber() const { return replyNumber_; }
    int64_t BytesReceived() const { return bytesReceived_; }
    const std::vector<std::string>& WinsockInfo() const { return winsockInfo_; }
    uint16_t SocketHandle() const { return socketHandle_; }
    WindowHandle SocketWindow() const { return socketWindow_; }
    TThreadTimer* Timer() const { return timer_; }
    // The remote address in network byte order (0 before any resolution).
    uint32_t RemoteAddress() const { return remoteAddress_; }
    // Components that have started the socket layer and are still alive.
    static int SocketUsers();

    // Expires when the component is destroyed. Event handlers (OnStatus excepted: status texts come
    // from everywhere) and the commands that run inside a wait may free the component; code that goes
    // on after them checks this first, and a wait so interrupted ends as a cancel does.
    std::weak_ptr<const void> Lifetime() const { return lifetime_; }

    // A published event for the property table: it travels as the name of its handler, written while
    // `assigned` holds.
    PublishedProperty EventProperty(const std::string& name, std::function<bool()> assigned);

    // Operations the transfer code, derived components and tests use.
    void StatusMessage(uint8_t level, const std::string& text);
    void TimerOn();
    void TimerOff();
    void TimerTriggered(TComponent* sender);
    void CheckSocketError(uint16_t tolerated, std::string& message);
    void LookupErrorMessage(uint16_t code, std::string& text);
    bool DataAvailable();
    void HandleSocketMessage(uint32_t message, uintptr_t wParam, intptr_t lParam);
    void ResolveHost();
    void RequestCloseSocket();

private:
    // The events every socket of the component reports: read, out-of-band, accept, connect, close (61).
    static constexpr uint32_t NoticeEvents = FD_READ | FD_OOB | FD_ACCEPT | FD_CONNECT | FD_CLOSE;

    void InitializeWinsock();
    bool OpenSocket(bool firstSocket);
    // Closes the socket of a connection attempt that failed and opens another like it: a socket
    // whose connect failed refuses the next one on this platform.
    void ReplaceFailedSocket();
    int Descriptor() const;
    // Adopts a descriptor as SocketHandle-sized handle; a number that needs more than 16 bits is closed
    // and raises ERangeError.
    static uint16_t FitHandle(int descriptor);

    std::shared_ptr<const int> lifetime_ = std::make_shared<const int>(0);
    std::string host_;
    int32_t port_ = 0;
    int32_t timeOut_ = 0;
    int32_t reportLevel_ = 0;
    std::map<std::string, std::string> eventNames_; // handler names read from or written to a stream

    std::array<uint8_t, DataBufferSize> dataBuffer_{};
    bool connected_ = false;
    bool canceled_ = false;
    bool destroying_ = false;
    int lastError_ = 0;
    std::string status_;
    TThreadTimer* timer_ = nullptr; // owned as a child component
    bool succeeded_ = true;
    bool timedOut_ = false;
    bool lookupDone_ = false;
    std::vector<std::string> winsockInfo_;
    uint32_t remoteAddress_ = 0;
    std::unique_ptr<HostEntry> hostEntry_;
    uint16_t socketHandle_ = NoSocket;
    WindowHandle socketWindow_ = 0;
    bool startedSockets_ = false;
    bool beingDestroyed_ = false; // from the first step of the destructor: no status text goes out
    bool acceptNoticed_ = false;  // an accept notice came since the last Accept
    bool attemptFailed_ = false;  // a connect was tried on this socket and did not connect
    bool resetOnClose_ = false;   // the first socket: closing it resets the connection
    uint32_t lookupTask_ = 0;     // the lookup whose end ResolveHost waits for

    std::string lastReply_;
    int16_t replyNumber_ = 0;
    int64_t bytesReceived_ = 0;
    size_t captureLimit_ = 0;
    std::function<bool(std::string_view)> captureEnd_;
};

} // namespace vorlane
