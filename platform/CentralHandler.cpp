// The application's central handler for exceptions that escape an event handler, on either system.
#include "platform/EventLoop.h"

#include <cstdio>
#include <mutex>

namespace vorlane {
namespace {

std::mutex& HandlerMutex()
{
    static std::mutex mutex;
    return mutex;
}

ExceptionHandler& CentralHandler()
{
    static ExceptionHandler handler;
    return handler;
}

} // namespace

void SetExceptionHandler(ExceptionHandler handler)
{
    std::lock_guard lock(HandlerMutex());
    CentralHandler() = std::move(handler);
}

void HandleException(std::exception_ptr error) noexcept
{
    ExceptionHandler handler;
    {
        std::lock_guard lock(HandlerMutex());
        handler = CentralHandler();
    }
    try {
        if (handler) {
            handler(error);
            return;
        }
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
    } catch (...) {
        std::fprintf(stderr, "unknown exception\n");
    }
}

} // namespace vorlane
