// Waits on what the system signals: a display connection with something to read, and the wait of a task
// that runs until it is stopped and acts once a period. Linux only: the Windows build has its own
// message loop and rotation and no side of these (linux/Waits.cpp).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/HolderLock.h"

namespace vorlane {

// Waits until the descriptor `fd` (an X connection) has something to read, at most `timeoutMs`.
void WaitToRead(int fd, int timeoutMs);

// Waits until `holds` answers true, asking it again whenever a file of `folder` is written and closed or
// renamed into place, and once more at the end; at most `timeoutMs`. Returns its last answer.
bool WaitInFolderUntil(const std::string& folder, int timeoutMs, const std::function<bool()>& holds);

// Ends on the first of: a stop asked for by a signal (SIGTERM, SIGINT, SIGHUP, from the moment it is
// made), a new version of `watchedFile` (written and closed, or renamed into place; its folder is
// watched once it exists), the removal or renaming of the lock's file, or the end of the period on a
// clock that counts the time the machine slept (a period that ended during sleep ends once, at wake-up).
class PeriodWait {
public:
    // Throws Exception when the system gives no pipe or timer.
    PeriodWait(const std::string& watchedFile, const std::string& lockFile, const HolderLock& lock);
    ~PeriodWait();
    PeriodWait(const PeriodWait&) = delete;
    PeriodWait& operator=(const PeriodWait&) = delete;

    enum class Event { Stop, FileChanged, PeriodEnded, LockFileGone };
    // Starts the period again: it ends `periodMs` from now.
    void Restart(int64_t periodMs);
    // Waits for the next event. Throws Exception when the wait itself fails.
    Event Next();
    // Forgets the changes of the watched file seen so far (the task's own), and watches its folder again
    // should it have been made anew.
    void Forget();

private:
    struct State;
    std::unique_ptr<State> state_;
};

} // namespace vorlane
