// TFastSstp: announces things to a desktop mascot over SSTP, over TCP (one connection per request) or
// by a copy-data message to one of its windows, and keeps a queue of scripts to send again until the
// mascot gives them a final answer.
#pragma once

#include "platform/MessageWindow.h"
#include "socket/Psock.h"
#include "sstp/SstpTypes.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace vorlane {

// A script waiting in the resend queue.
struct TSstpResendItem {
    int32_t ID = 0;
    std::string Script;
    TSstpOptions Options;
};

using TSstpResendEvent = std::function<void(TComponent* sender, int32_t id, const std::string& script)>;

// The identifier of an SSTP copy-data message.
inline constexpr uint32_t SstpCopyDataId = 9801;
// How much of a reply is kept; only its first line is ever read, and a peer that floods the port must
// not make the process hold all it sends.
inline constexpr size_t MaxReplyBytes = 64 * 1024;

namespace detail {
// What the SSTP component frees only after its socket client part is gone (the socket closed, the
// sub-components freed): its reply lines, the queued items (last to first) and its hidden window.
class FastSstpState {
protected:
    FastSstpState() = default;
    ~FastSstpState();
    FastSstpState(const FastSstpState&) = delete;
    FastSstpState& operator=(const FastSstpState&) = delete;

    std::vector<std::string> replyLines_;
    std::deque<std::unique_ptr<TSstpResendItem>> resendQueue_;
    WindowHandle hiddenWindow_ = 0;
};
} // namespace detail

class TFastSstp : private detail::FastSstpState, public TPowersock {
public:
    explicit TFastSstp(TComponent* owner = nullptr);
    ~TFastSstp() override;

    std::string ClassName() const override { return "TFastSstp"; }
    // The socket client's properties (Port with default 9801, TimeOut with default 2000), then
    // SstpSender, Interval, Sleep, SstpMethod, TargetHWnd and the five events.
    std::vector<PublishedProperty> PublishedProperties() override;
    // Once the stored settings are applied: the resend timer takes Interval and runs, whatever Sleep
    // says, and OnResendCountChange fires.
    void Loaded() override;

    // Splits the script into lines (CR, LF or CR LF; a NUL ends it) and sends them as one request.
    TSstpResult SendScript(const std::string& script, TSstpOptions options);
    // Sends the lines as one request (the first as its script, the others as entries) and returns
    // LastResult. A non-zero `wnd` is named as the window that expects a direct reply.
    TSstpResult SendScriptList(const std::vector<std::string>& lines, TSstpOptions options, WindowHandle wnd = 0);
    // Delivers one composed request by SstpMethod and reads its status. Refuses with srOther, sending
    // nothing, while another delivery is running (a command started inside this one's wait).
    TSstpResult Transmit(const std::vector<std::string>& request);
    // The result for StatusCode.
    TSstpResult LastResult() const;
    // The status code of the last reply; -1000 when a delivery read no usable reply; 0 before any.
    int32_t StatusCode() const { return statusCode_; }
    // The last reply, split into lines, and its raw text (TCP), at most MaxReplyBytes.
    const std::vector<std::string>& ReplyLines() const { return replyLines_; }
    const std::string& ReplyText() const { return replyText_; }
    bool Busy() const { return busy_; }

    // The resend queue: appends a script (firing OnResendCountChange), and shows what waits in it.
    void AddResend(int32_t id, const std::string& script, TSstpOptions options);
    size_t ResendCount() const { return resendQueue_.size(); }
    const TSstpResendItem& ResendItem(size_t index) const { return *resendQueue_.at(index); }
    // The resend timer's handler: tries the head of the queue once.
    void ResendTick(TComponent* sender);
    TThreadTimer* ResendTimer() const { return resendTimer_; }

    // The hidden window that receives direct replies, and its window procedure.
    WindowHandle Handle() const { return hiddenWindow_; }
    intptr_t CopyDataWndProc(uint32_t message, uintptr_t wParam, intptr_t lParam);

    // Published properties.
    const std::string& SstpSender() const { return sstpSender_; }
    void SetSstpSender(const std::string& sender) { sstpSender_ = sender; }
    int32_t Interval() const { return interval_; }
    void SetInterval(int32_t interval); // also sets the resend timer's period; negative: ERangeError
    bool Sleep() const { return sleep_; }
    void SetSleep(bool sleep); // stops the resend timer; starts it again when false
    TSstpMethod SstpMethod() const { return sstpMethod_; }
    void SetSstpMethod(TSstpMethod method) { sstpMethod_ = method; }
    WindowHandle TargetHWnd() const { return targetHWnd_; }
    void SetTargetHWnd(WindowHandle window) { targetHWnd_ = window; }

    TSstpResendEvent OnResendTrying;
    TSstpResendEvent OnResendEnd;
    TSstpResendEvent OnResendResend;
    TNotifyEvent OnResendCountChange;
    TNotifyEvent OnAfterConnection;

private:
    void ClearReply();
    TSstpResult DeliverByTcp(const std::vector<std::string>& request);
    TSstpResult DeliverDirect(const std::vector<std::string>& request);
    void WriteRequestAndReadReply(const std::vector<std::string>& request);
    void SendLine(const std::string& line);
    void ReadReply();
    void TakeStatusFromReply();

    std::string sstpSender_;
    int32_t interval_ = 5000;
    bool sleep_ = false;
    TSstpMethod sstpMethod_ = smTcpIp;
    WindowHandle targetHWnd_ = 0;

    int32_t statusCode_ = 0;
    std::string replyText_;
    std::string copyDataReply_;
    bool busy_ = false;
    TThreadTimer* resendTimer_ = nullptr; // owned as a child component
};

} // namespace vorlane
