#include "sstp/FastSstp.h"

#include "platform/Exceptions.h"
#include "socket/FireEvent.h"
#include "sstp/SstpRequest.h"

#include <algorithm>
#include <cstring>
#include <exception>

namespace vorlane {
namespace detail {
FastSstpState::~FastSstpState()
{
    while (!resendQueue_.empty())
        resendQueue_.pop_back();
    DestroyWindow(hiddenWindow_);
}
} // namespace detail

TFastSstp::TFastSstp(TComponent* owner) : TPowersock(owner)
{
    SetPort(9801);
    SetTimeOut(2000);
    interval_ = 5000; // the resend timer does not exist yet; it takes Interval at the end of loading
    SetHost("127.0.0.1");
    sstpSender_ = "My Program";
    resendTimer_ = new TThreadTimer(this); // runs with a new timer's 1000 ms until loading ends
    resendTimer_->SetOnTimer([this](TComponent* sender) { ResendTick(sender); });
    sstpMethod_ = smTcpIp;
    hiddenWindow_ = AllocateWindow([this](uint32_t message, uintptr_t wParam, intptr_t lParam) {
        return CopyDataWndProc(message, wParam, lParam);
    });
}

// The socket client part goes first (see FastSstpState); nothing of this class's own is left to undo.
TFastSstp::~TFastSstp() = default;

std::vector<PublishedProperty> TFastSstp::PublishedProperties()
{
    std::vector<PublishedProperty> properties = TPowersock::PublishedProperties();
    // Port and TimeOut are declared again with the defaults an SSTP peer needs; they keep their place.
    for (PublishedProperty& property : properties) {
        if (property.name == "Port")
            property.defaultValue = 9801;
        else if (property.name == "TimeOut")
            property.defaultValue = 2000;
    }

    PublishedProperty sender;
    sender.name = "SstpSender";
    sender.kind = PropertyKind::String;
    sender.getString = [this] { return sstpSender_; };
    sender.setString = [this](const std::string& value) { SetSstpSender(value); };
    properties.push_back(std::move(sender));

    PublishedProperty interval;
    interval.name = "Interval";
    interval.kind = PropertyKind::Integer;
    interval.defaultValue = 5000;
    interval.getInteger = [this] { return interval_; };
    interval.setInteger = [this](int32_t value) { SetInterval(value); };
    properties.push_back(std::move(interval));

    PublishedProperty sleep;
    sleep.name = "Sleep";
    sleep.kind = PropertyKind::Boolean;
    sleep.getInteger = [this] { return sleep_ ? 1 : 0; };
    sleep.setInteger = [this](int32_t value) { SetSleep(value != 0); };
    properties.push_back(std::move(sleep));

    PublishedProperty method;
    method.name = "SstpMethod";
    method.kind = PropertyKind::Enumeration;
    method.identifiers = {"smTcpIp", "smDirectSstp"};
    method.getInteger = [this] { return static_cast<int32_t>(sstpMethod_); };
    method.setInteger = [this](int32_t value) { SetSstpMethod(static_cast<TSstpMethod>(value)); };
    properties.push_back(std::move(method));

    PublishedProperty target;
    target.name = "TargetHWnd";
    target.kind = PropertyKind::Integer;
    target.getInteger = [this] { return static_cast<int32_t>(targetHWnd_); };
    target.setInteger = [this](int32_t value) { SetTargetHWnd(static_cast<WindowHandle>(value)); };
    properties.push_back(std::move(target));

    properties.push_back(EventProperty("OnResendTrying", [this] { return bool(OnResendTrying); }));
    properties.push_back(EventProperty("OnResendEnd", [this] { return bool(OnResendEnd); }));
    properties.push_back(EventProperty("OnResendResend", [this] { return bool(OnResendResend); }));
    properties.push_back(EventProperty("OnResendCountChange", [this] { return bool(OnResendCountChange); }));
    properties.push_back(EventProperty("OnAfterConnection", [this] { return bool(OnAfterConnection); }));
    return properties;
}

void TFastSstp::Loaded()
{
    TPowersock::Loaded();
    resendTimer_->SetInterval(static_cast<uint32_t>(interval_));
    resendTimer_->SetEnabled(true); // whatever Sleep says; ticks look at Sleep themselves
    FireEvent(OnResendCountChange, this);
}

void TFastSstp::SetInterval(int32_t interval)
{
    if (interval < 0)
        throw ERangeError(msg::RangeError); // a timer period is unsigned
    interval_ = interval;
    resendTimer_->SetInterval(static_cast<uint32_t>(interval));
}

void TFastSstp::SetSleep(bool sleep)
{
    sleep_ = sleep;
    resendTimer_->SetEnabled(false);
    if (!sleep)
        resendTimer_->SetEnabled(true);
}

TSstpResult TFastSstp::SendScript(const std::string& script, TSstpOptions options)
{
    return SendScriptList(sstp::SplitLines(script), options, 0);
}

TSstpResult TFastSstp::SendScriptList(const std::vector<std::string>& lines, TSstpOptions options, WindowHandle wnd)
{
    sstp::RequestParts parts;
    parts.sender = sstpSender_;
    parts.scriptLines = lines;
    parts.options = options;
    parts.wnd = wnd;
    parts.method = sstpMethod_;
    parts.replyWindow = hiddenWindow_;
    sstp::EncodeShiftJis(parts);
    const auto lifetime = Lifetime();
    const TSstpResult result = Transmit(sstp::ComposeRequest(parts));
    return lifetime.expired() ? result : LastResult();
}

TSstpResult TFastSstp::LastResult() const
{
    return sstp::CodeToResult(statusCode_);
}

void TFastSstp::ClearReply()
{
    replyLines_.clear();
    replyText_.clear();
}

TSstpResult TFastSstp::Transmit(const std::vector<std::string>& request)
{
    ClearReply();
    resendTimer_->SetEnabled(false);
    if (busy_)
        return srOther; // the delivery in progress restores the timer when it ends
    busy_ = true;
    // Handlers, and commands run while the delivery waits, may free the component: past any of them
    // nothing of it is touched once it has gone.
    const auto lifetime = Lifetime();
    TSstpResult result = srOther;
    try {
        switch (sstpMethod_) {
        case smTcpIp:
            result = DeliverByTcp(request);
            break;
        case smDirectSstp:
            result = DeliverDirect(request);
            break;
        default:
            result = srOther;
            break;
        }
        if (lifetime.expired())
            return result;
        resendTimer_->SetEnabled(!sleep_);
        if (OnAfterConnection) {
            if (!FiredAndAlive(lifetime, OnAfterConnection, this))
                return result;
            // A request the handler made was refused and stopped the timer; this delivery is the one
            // that ends now, so it starts the timer again rather than leave the queue stalled.
            resendTimer_->SetEnabled(!sleep_);
        }
    } catch (...) {
        if (lifetime.expired())
            throw;
        busy_ = false;
        resendTimer_->SetEnabled(!sleep_);
        throw;
    }
    busy_ = false;
    return result;
}

TSstpResult TFastSstp::DeliverByTcp(const std::vector<std::string>& request)
{
    // A failed Connect leaves the socket as the client leaves it: no Disconnect on that path.
    if (!Connected())
        Connect();
    const auto lifetime = Lifetime();
    try {
        WriteRequestAndReadReply(request);
    } catch (const ESockError&) {
        if (lifetime.expired())
            throw;    // freed while the reply was awaited: the capture's abort goes on to the caller
        Disconnect(); // and once more below: a socket error costs the connection either way
        if (lifetime.expired())
            return srOther;
    }
    TakeStatusFromReply();
    const TSstpResult result = sstp::CodeToResult(statusCode_);
    Disconnect();
    return result;
}

void TFastSstp::WriteRequestAndReadReply(const std::vector<std::string>& request)
{
    // The reply is read whether or not the writing got through: a mascot may answer a cut-off request.
    std::exception_ptr writeError;
    try {
        for (const std::string& line : request)
            SendLine(line);
        Writeln(""); // SSTP peers expect one CR LF more after the empty line
    } catch (...) {
        writeError = std::current_exception();
    }
    ReadReply(); // an error here replaces the writing's
    if (writeError)
        std::rethrow_exception(writeError);
}

void TFastSstp::SendLine(const std::string& line)
{
    if (Connected())
        Writeln(line);
}

void TFastSstp::ReadReply()
{
    SetCaptureLimit(MaxReplyBytes);
    SetCaptureEnd(sstp::ReplyComplete); // mascots keep the connection open after their reply
    std::string received;
    // To the reply's empty line or the peer's close; when it raises, nothing read is kept.
    CaptureString(received, -1);
    replyText_ += received;
    replyLines_ = sstp::SplitLines(replyText_);
}

void TFastSstp::TakeStatusFromReply()
{
    statusCode_ = replyLines_.empty() ? NoStatusCode : sstp::ParseStatusCode(replyLines_.front());
}

TSstpResult TFastSstp::DeliverDirect(const std::vector<std::string>& request)
{
    if (targetHWnd_ == 0)
        return srOther;
    const std::string text = sstp::JoinLines(request);
    copyDataReply_.clear(); // a reply that came after an earlier send returned is never used
    const auto lifetime = Lifetime();
    SendCopyData(targetHWnd_, hiddenWindow_, SstpCopyDataId, text);
    if (lifetime.expired())
        return srOther; // the target's handler freed the component
    replyLines_ = sstp::SplitLines(copyDataReply_);
    TakeStatusFromReply();
    return sstp::CodeToResult(statusCode_);
}

intptr_t TFastSstp::CopyDataWndProc(uint32_t message, uintptr_t, intptr_t lParam)
{
    if (message != WM_COPYDATA)
        return 0; // a message target here has no default behaviour to fall back on
    // The text ends at the first NUL; the identifier and the sender are not looked at. A reply without
    // a NUL ends with its data, and no reply is kept beyond MaxReplyBytes.
    const CopyDataStruct* data = CopyDataOf(lParam);
    copyDataReply_.clear();
    if (data && data->lpData) {
        const char* bytes = static_cast<const char*>(data->lpData);
        copyDataReply_.assign(bytes, strnlen(bytes, std::min<size_t>(data->cbData, MaxReplyBytes)));
    }
    return 0;
}

void TFastSstp::AddResend(int32_t id, const std::string& script, TSstpOptions options)
{
    resendQueue_.push_back(std::make_unique<TSstpResendItem>(TSstpResendItem{id, script, options}));
    FireEvent(OnResendCountChange, this);
}

void TFastSstp::ResendTick(TComponent*)
{
    if (resendQueue_.empty() || sleep_)
        return;
    resendTimer_->SetEnabled(false);
    // The head stays in the queue while it is tried; the pointer stays valid whatever the handlers add.
    // Any handler, or a command run during the delivery, may free the component and the queue with it.
    const auto lifetime = Lifetime();
    TSstpResendItem* item = resendQueue_.front().get();
    const int32_t id = item->ID;
    const std::string script = item->Script; // the handlers' copy: one of them may free the item
    if (!FiredAndAlive(lifetime, OnResendTrying, this, id, script))
        return;
    const TSstpResult result = SendScript(script, item->Options);
    if (lifetime.expired())
        return;
    if (sstp::IsFinalResult(result)) {
        if (!FiredAndAlive(lifetime, OnResendEnd, this, id, script))
            return;
        auto queued = std::find_if(resendQueue_.begin(), resendQueue_.end(),
                                   [item](const auto& entry) { return entry.get() == item; });
        if (queued != resendQueue_.end()) {
            std::unique_ptr<TSstpResendItem> finished = std::move(*queued); // freed after the event
            resendQueue_.erase(queued);
            if (!FiredAndAlive(lifetime, OnResendCountChange, this))
                return;
        }
    } else if (!FiredAndAlive(lifetime, OnResendResend, this, id, script)) {
        return;
    }
    resendTimer_->SetEnabled(true);
}

} // namespace vorlane
