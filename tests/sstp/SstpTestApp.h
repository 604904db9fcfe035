// The event loop the SSTP component waits in: one QCoreApplication for the whole test program, and a
// bounded pump for tests that wait for something the loop delivers.
#pragma once

#include "platform/EventLoop.h"

#include <QCoreApplication>

#include <chrono>
#include <functional>

namespace vorlane::test {

inline void EnsureApplication()
{
    static int argc = 1;
    static char name[] = "sstp-test";
    static char* argv[] = {name, nullptr};
    static QCoreApplication* application =
        QCoreApplication::instance() ? QCoreApplication::instance() : new QCoreApplication(argc, argv);
    (void)application;
}

// Runs the event loop until `done` holds or the deadline passes; returns `done()`.
inline bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds deadline = std::chrono::seconds(20))
{
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (!done() && std::chrono::steady_clock::now() < end)
        WaitForEvents(50);
    return done();
}

} // namespace vorlane::test
