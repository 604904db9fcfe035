#include "platform/MessageWindow.h"

#include <memory>
#include <mutex>
#include <unordered_map>

#include "platform/EventDispatcher.h"

namespace vorlane {
namespace {

struct Registry {
    std::mutex mutex;
    std::unordered_map<WindowHandle, std::shared_ptr<MessageHandler>> windows;
    WindowHandle last = 0;
};

Registry& Windows()
{
    static Registry* registry = new Registry; // outlives every static that might still send at exit
    return *registry;
}

std::shared_ptr<MessageHandler> HandlerOf(WindowHandle window)
{
    Registry& registry = Windows();
    std::lock_guard lock(registry.mutex);
    auto it = registry.windows.find(window);
    return it == registry.windows.end() ? nullptr : it->second;
}

} // namespace

WindowHandle AllocateWindow(MessageHandler handler)
{
    if (!handler)
        return 0;
    Registry& registry = Windows();
    std::lock_guard lock(registry.mutex);
    if (registry.last == UINT32_MAX)
        return 0; // handles are never reused
    const WindowHandle window = ++registry.last;
    registry.windows.emplace(window, std::make_shared<MessageHandler>(std::move(handler)));
    return window;
}

void DestroyWindow(WindowHandle window)
{
    std::shared_ptr<MessageHandler> handler; // released outside the lock
    Registry& registry = Windows();
    {
        std::lock_guard lock(registry.mutex);
        auto it = registry.windows.find(window);
        if (it == registry.windows.end())
            return;
        handler = std::move(it->second);
        registry.windows.erase(it);
    }
}

bool IsWindow(WindowHandle window)
{
    return HandlerOf(window) != nullptr;
}

intptr_t SendMessage(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam)
{
    // The handler stays alive for the call even when it destroys its own window.
    const std::shared_ptr<MessageHandler> handler = HandlerOf(window);
    return handler ? (*handler)(message, wParam, lParam) : 0;
}

bool PostMessage(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam)
{
    if (!IsWindow(window))
        return false;
    detail::EventDispatcher::Instance().Post(window, message, wParam, lParam);
    return true;
}

} // namespace vorlane
