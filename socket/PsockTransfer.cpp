// TPowersock: sending text, reading a line, a command with its reply line, capturing a reply, and
// accepting a connection.
#include <cstring>

#include "platform/EventLoopWait.h"
#include "platform/Exceptions.h"
#include "socket/FireEvent.h"
#include "socket/Psock.h"
#include "socket/Wait.h"

namespace vorlane {
namespace {

constexpr size_t MaxSendLength = 65535;

// Disarms the time-out timer however the operation ends, unless the component itself has gone.
class TimerGuard {
public:
    explicit TimerGuard(TPowersock& socket) : socket_(socket), lifetime_(socket.Lifetime()) {}
    ~TimerGuard()
    {
        if (lifetime_.expired())
            return;
        try {
            socket_.TimerOff();
        } catch (...) {
        }
    }
    TimerGuard(const TimerGuard&) = delete;
    TimerGuard& operator=(const TimerGuard&) = delete;

private:
    TPowersock& socket_;
    std::weak_ptr<const void> lifetime_;
};

// A turn of a read loop: after a receive that found nothing, sleep until the next event (a socket
// notice, the time-out tick, user input); otherwise only handle what is pending.
int ReadTurnMs(bool nothingReceived)
{
    return nothingReceived ? IdleWaitMs : 0;
}

} // namespace

void TPowersock::SendBuffer(const uint8_t* buffer, uint16_t length)
{
    StatusMessage(4, "Sending Buffer");
    TimerOn();
    TimerGuard guard(*this);
    if (!canceled_) {
        size_t total = length;
        if (total == 0) {
            total = strnlen(reinterpret_cast<const char*>(buffer), MaxSendLength + 1);
            if (total > MaxSendLength)
                throw ERangeError(msg::RangeError);
        }
        // Waiting for room lets the event loop run, as the other waits do: the time-out tick and a
        // Cancel from an event end it, and a connect abandoned by a time-out may still complete and
        // take the bytes. What is left to send is copied out first: a handler run meanwhile may write
        // into DataBuffer, or free the component with it.
        auto wait = EventWait::Of(Lifetime());
        std::string held;
        const uint8_t* next = buffer;
        size_t remaining = total;
        do {
            const ssize_t n = SocketSend(Descriptor(), next, remaining);
            if (n == 0)
                break;
            if (n > 0) {
                next += n;
                remaining -= static_cast<size_t>(n);
                continue;
            }
            std::string message;
            CheckSocketError(WSAEWOULDBLOCK, message);
            if (held.empty()) {
                held.assign(reinterpret_cast<const char*>(next), remaining);
                next = reinterpret_cast<const uint8_t*>(held.data());
            }
            if (!wait.Turn(ShortWaitMs))
                throw EAbortError("Socket send aborted"); // the component was freed meanwhile
        } while (remaining > 0 && !canceled_);
    }
    if (canceled_) {
        canceled_ = false;
        throw EAbortError("Socket send aborted");
    }
}

void TPowersock::Write(const std::string& text)
{
    StatusMessage(8, "Write");
    // At most 64 KiB and a zero byte; SendBuffer then stops at the first zero byte.
    const size_t length = std::min(text.size(), ReceiveSize);
    std::memcpy(dataBuffer_.data(), text.data(), length);
    dataBuffer_[length] = 0;
    SendBuffer(dataBuffer_.data(), 0);
}

void TPowersock::Writeln(const std::string& text)
{
    StatusMessage(8, "Writeln");
    Write(text + "\r\n");
}

void TPowersock::ReadLn(std::string& line)
{
    StatusMessage(8, "ReadLn");
    // DataBuffer holds an image of the line so far: each peek lands right after the bytes taken.
    size_t taken = 0;
    TimerOn();
    TimerGuard guard(*this);
    auto wait = EventWait::Of(Lifetime());
    bool lineEnd = false;
    size_t lineLength = 0;
    do {
        const size_t room = ReceiveSize - taken;
        if (room == 0)
            break; // the line fills DataBuffer: it is returned as it stands, the rest stays unread
        const ssize_t n = SocketRecv(Descriptor(), dataBuffer_.data() + taken, room, RecvPeek);
        if (n == 0) {
            line.clear(); // the end of the data; a part line taken before it is dropped
            return;
        }
        if (n > 0) {
            const uint8_t* start = dataBuffer_.data() + taken;
            if (const void* lf = std::memchr(start, '\n', static_cast<size_t>(n))) {
                lineLength = static_cast<size_t>(static_cast<const uint8_t*>(lf) - dataBuffer_.data()) + 1;
                lineEnd = true;
                break;
            }
            line.resize(taken + static_cast<size_t>(n));
            const ssize_t got = SocketRecv(Descriptor(), line.data() + taken, static_cast<size_t>(n), 0);
            taken += got > 0 ? static_cast<size_t>(got) : 0;
            line.resize(taken);
        } else {
            lastError_ = LastSocketError();
            if (lastError_ == WSAENOTCONN) {
                // The close notice found nothing unread and replaced the socket: the end of the data,
                // seen one notice earlier, so it reads as the end of the data does.
                line.clear();
                return;
            }
            std::string message;
            CheckSocketError(WSAEWOULDBLOCK, message);
        }
        if (!wait.Turn(ReadTurnMs(n < 0)))
            throw EAbortError("Socket readln aborted"); // the component was freed meanwhile
    } while (!canceled_);

    if (canceled_) {
        canceled_ = false;
        throw EAbortError("Socket readln aborted");
    }
    if (!lineEnd)
        return; // the line fills DataBuffer: it goes back as it stands
    line.resize(lineLength);
    while (taken < lineLength) {
        const ssize_t got = SocketRecv(Descriptor(), line.data() + taken, lineLength - taken, 0);
        if (got <= 0) {
            line.resize(taken); // the peeked bytes can only vanish with the connection
            break;
        }
        taken += static_cast<size_t>(got);
    }
}

void TPowersock::Transaction(const std::string& command, std::string& reply)
{
    StatusMessage(8, "Transaction");
    replyNumber_ = 0;
    Writeln(command);
    std::string line;
    ReadLn(line);
    lastReply_ = line;
    if (!lastReply_.empty()) {
        StatusMessage(1, lastReply_);
        size_t digits = 0;
        while (digits < lastReply_.size() && digits < 10 && lastReply_[digits] >= '0' && lastReply_[digits] <= '9')
            ++digits;
        if (digits > 0) {
            const int64_t value = std::stoll(lastReply_.substr(0, digits));
            const int32_t number = value > INT32_MAX ? 0 : static_cast<int32_t>(value);
            if (number < INT16_MIN || number > INT16_MAX)
                throw ERangeError(msg::RangeError);
            replyNumber_ = static_cast<int16_t>(number);
        }
    }
    reply = lastReply_;
}

void TPowersock::CaptureString(std::string& text, int32_t count)
{
    StatusMessage(8, "Capture String");
    text.clear();
    bytesReceived_ = 0;
    TimerOn();
    TimerGuard guard(*this);
    auto wait = EventWait::Of(Lifetime());
    while (!canceled_ && (count == -1 || bytesReceived_ < count)) {
        const ssize_t n = SocketRecv(Descriptor(), dataBuffer_.data(), ReceiveSize, 0);
        if (n == 0)
            break; // the peer closed and everything has been read
        if (n > 0) {
            size_t keep = static_cast<size_t>(n);
            if (captureLimit_ != 0)
                keep = text.size() >= captureLimit_ ? 0 : std::min(keep, captureLimit_ - text.size());
            text.append(reinterpret_cast<const char*>(dataBuffer_.data()), keep);
            bytesReceived_ += n;
            if (!FiredAndAlive(Lifetime(), OnPacketReceived, this))
                throw EAbortError("Socket capture aborted");
            TimerOn(); // the timer runs on with the same interval: TimeOut bounds the whole capture
            if (captureEnd_ && captureEnd_(text))
                break;
        } else {
            lastError_ = LastSocketError();
            if (lastError_ == WSAENOTCONN)
                break; // the close notice found nothing unread and replaced the socket
            std::string message;
            CheckSocketError(WSAEWOULDBLOCK, message);
        }
        if (!wait.Turn(ReadTurnMs(n < 0)))
            throw EAbortError("Socket capture aborted"); // the component was freed meanwhile
    }
    if (canceled_) {
        canceled_ = false;
        throw EAbortError("Socket capture aborted");
    }
}

uint16_t TPowersock::Accept()
{
    StatusMessage(4, "Accepting");
    // Ask again for notices: the socket may have started listening since it was registered.
    AsyncSelect(Descriptor(), socketWindow_, SocketNotice, NoticeEvents);
    // An accept notice ends the wait too; without it a pending connection would wait for ever.
    auto wait = EventWait::Of(Lifetime());
    if (!wait.Until([this] { return lookupDone_ || canceled_ || acceptNoticed_; }, ShortWaitMs))
        throw ESockCanceled("Accepting Canceled");
    acceptNoticed_ = false;
    if (canceled_)
        throw ESockCanceled("Accepting Canceled");
    if (!succeeded_)
        throw ESockError("Error creating Data Connection");
    uint32_t peer = 0;
    const int accepted = SocketAccept(Descriptor(), &peer);
    if (accepted < 0) {
        std::string message;
        CheckSocketError(WSAEWOULDBLOCK, message);
        return NoSocket;
    }
    const uint16_t handle = FitHandle(accepted);
    AsyncSelect(handle, socketWindow_, SocketNotice, NoticeEvents);
    remoteAddress_ = peer;
    return handle;
}

} // namespace vorlane
