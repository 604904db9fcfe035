#include "platform/EventLoop.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <QTimerEvent>

#include <vector>

#include "platform/EventDispatcher.h"

namespace vorlane {
namespace detail {
namespace {

const QEvent::Type PostedMessageType = static_cast<QEvent::Type>(QEvent::registerEventType());

struct PostedMessage : QEvent {
    PostedMessage(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam,
                  std::function<bool()> beforeDelivery)
        : QEvent(PostedMessageType),
          window(window),
          message(message),
          wParam(wParam),
          lParam(lParam),
          beforeDelivery(std::move(beforeDelivery))
    {
    }
    WindowHandle window;
    uint32_t message;
    uintptr_t wParam;
    intptr_t lParam;
    std::function<bool()> beforeDelivery;
};

// Timers can only be had on the thread the dispatcher lives on, with an event loop there.
bool TimersAvailable(const QObject& dispatcher)
{
    return QCoreApplication::instance() != nullptr && dispatcher.thread() == QThread::currentThread();
}

} // namespace

EventDispatcher& EventDispatcher::Instance()
{
    static EventDispatcher* dispatcher = [] {
        auto* made = new EventDispatcher;
        // Messages and ticks belong to the thread that runs the application's event loop, whichever
        // thread happens to ask first.
        if (QCoreApplication* application = QCoreApplication::instance())
            made->moveToThread(application->thread());
        return made;
    }();
    return *dispatcher;
}

void EventDispatcher::Post(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam,
                           std::function<bool()> beforeDelivery)
{
    QCoreApplication::postEvent(this, new PostedMessage(window, message, wParam, lParam, std::move(beforeDelivery)));
}

bool EventDispatcher::event(QEvent* event)
{
    if (event->type() != PostedMessageType)
        return QObject::event(event);
    auto* posted = static_cast<PostedMessage*>(event);
    try {
        if (!posted->beforeDelivery || posted->beforeDelivery())
            SendMessage(posted->window, posted->message, posted->wParam, posted->lParam);
    } catch (...) {
        HandleException(std::current_exception());
    }
    return true;
}

bool EventDispatcher::SetTimer(WindowHandle window, uint32_t id, uint32_t intervalMs)
{
    KillTimer(window, id);
    if (intervalMs == 0 || !IsWindow(window) || !TimersAvailable(*this))
        return false;
    // A window timer asked for a longer period gets the longest it has rather than none at all.
    const int period = intervalMs > static_cast<uint32_t>(INT32_MAX) ? INT32_MAX : static_cast<int>(intervalMs);
    const int qtId = startTimer(period, Qt::PreciseTimer);
    if (qtId == 0)
        return false;
    timers_[qtId] = {window, id};
    timerIds_[{window, id}] = qtId;
    return true;
}

void EventDispatcher::KillTimer(WindowHandle window, uint32_t id)
{
    auto it = timerIds_.find({window, id});
    if (it == timerIds_.end())
        return;
    killTimer(it->second);
    timers_.erase(it->second);
    timerIds_.erase(it);
}

int EventDispatcher::StartWakeTimer(int milliseconds)
{
    if (!TimersAvailable(*this))
        return 0;
    return startTimer(milliseconds < 0 ? 0 : milliseconds, Qt::PreciseTimer);
}

void EventDispatcher::StopWakeTimer(int id)
{
    if (id != 0)
        killTimer(id);
}

void EventDispatcher::timerEvent(QTimerEvent* event)
{
    auto it = timers_.find(event->timerId());
    if (it == timers_.end())
        return; // a wake-up: its only job was to end a wait
    const auto [window, id] = it->second;
    if (!IsWindow(window)) {
        KillTimer(window, id);
        return;
    }
    try {
        SendMessage(window, WM_TIMER, id, 0);
    } catch (...) {
        HandleException(std::current_exception());
    }
}

} // namespace detail

namespace {

// The loop level (nested QEventLoop::exec calls) at which each running pass began, innermost last: an
// event handled at a deeper level came from a modal loop started inside the pass.
thread_local std::vector<int> passLevels;

class Pass {
public:
    Pass() { passLevels.push_back(QThread::currentThread()->loopLevel()); }
    ~Pass() { passLevels.pop_back(); }
    Pass(const Pass&) = delete;
    Pass& operator=(const Pass&) = delete;
};

} // namespace

bool HandledBeneathModalLoop()
{
    return !passLevels.empty() && QThread::currentThread()->loopLevel() > passLevels.back();
}

void ProcessMessages()
{
    const Pass pass;
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void WaitForEvents(int maxMilliseconds)
{
    auto& dispatcher = detail::EventDispatcher::Instance();
    const int wake = dispatcher.StartWakeTimer(maxMilliseconds);
    if (wake == 0) {
        // No event loop on this thread: nothing can arrive, so only the bound is left to honour.
        QThread::msleep(static_cast<unsigned long>(maxMilliseconds < 0 ? 0 : maxMilliseconds));
        return;
    }
    {
        const Pass pass;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    dispatcher.StopWakeTimer(wake);
}

bool SetTimer(WindowHandle window, uint32_t id, uint32_t intervalMs)
{
    return detail::EventDispatcher::Instance().SetTimer(window, id, intervalMs);
}

void KillTimer(WindowHandle window, uint32_t id)
{
    detail::EventDispatcher::Instance().KillTimer(window, id);
}

} // namespace vorlane
