// vorlane-wallpaper's rotation on Linux. The period runs on a clock that counts the time the machine
// slept: a change that fell due while it slept happens once at wake-up, and the next one a whole period
// later. One rotation per session: it holds a lock that names its holder on a file in the user's runtime
// folder, and ends when that file goes with the session. Changes made by others show as a new settings
// store ("Vorlane.registry") and start the period again.
#include "tools/vorlane-wallpaper/Rotation.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <thread>

#include "platform/Exceptions.h"
#include "platform/FolderLockSystem.h" // the user's private folder, where every lock of ours lives
#include "platform/HolderLock.h"
#include "platform/Process.h"
#include "platform/Registry.h"
#include "platform/Waits.h"
#include "tools/vorlane-gsk/Text.h"

namespace vorlane::wallpapertool {
namespace {

// How long a new rotation or --stop waits for the running one to end (it finishes a change first).
constexpr std::chrono::seconds StopPatience{20};

std::string LockFile()
{
    const std::string folder = folderlock::PrivateFolder();
    if (folder.empty())
        throw Exception("no folder of your own for the rotation's lock (XDG_RUNTIME_DIR)");
    return folder + "rotation.lock";
}

// Asks the rotation holding the lock to end and waits until it has (bounded): true when none holds it.
bool EndHolder(const HolderLock& lock, int holder)
{
    if (holder < 0 || !process::AskToEnd(holder))
        return false;
    const auto deadline = std::chrono::steady_clock::now() + StopPatience;
    std::chrono::milliseconds pause{1};
    // A lock is released without notice to others: looked at again, at growing intervals.
    while (lock.Holder() != 0) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(pause);
        pause = std::min(pause * 2, std::chrono::milliseconds(50));
    }
    return true;
}

} // namespace

ExitStatus RunRotation(const RotationInvocation& invocation)
{
    // A gallery that is not there fails now rather than at every change.
    const std::string gallery = RotationGallery(invocation.gallery);
    if (!std::filesystem::is_regular_file(gallery))
        throw EFOpenError(Format(msg::FOpenError, gsk::TerminalText(gallery).c_str()));

    HolderLock lock(LockFile(), HolderLock::Open::CreateIfMissing);
    if (!lock.IsOpen())
        throw EFCreateError(Format(msg::FCreateError, LockFile().c_str()));
    for (HolderLock::Taken taken; (taken = lock.TryTake()) != HolderLock::Taken::Yes;) {
        if (taken == HolderLock::Taken::Failed)
            throw Exception("the rotation's lock cannot be taken");
        const int holder = lock.Holder();
        if (holder == 0)
            continue; // let go in the meantime
        if (!EndHolder(lock, holder)) {
            Report("the rotation running as process " + std::to_string(holder) + " did not end");
            return Failed;
        }
        Report("the rotation that ran as process " + std::to_string(holder) + " is replaced");
    }

    PeriodWait wait(registry::StorePath(), LockFile(), lock);
    wait.Restart(invocation.periodMs);
    for (;;) {
        switch (wait.Next()) {
        case PeriodWait::Event::LockFileGone:
            // Its runtime folder is emptied at logout, and a rotation of the next session would not see
            // this one.
            Report("the session has ended (its lock file is gone): the rotation ends");
            return Done;
        case PeriodWait::Event::Stop:
            return Done;
        case PeriodWait::Event::FileChanged:
            wait.Restart(invocation.periodMs); // set by the user: a whole period from now
            break;
        case PeriodWait::Event::PeriodEnded:
            try {
                ChangeWallpaper(RotationGallery(invocation.gallery), invocation.step);
            } catch (const Exception& error) {
                Report(gsk::TerminalText(error.what())); // the next period may fare better
            }
            wait.Forget(); // our own change
            wait.Restart(invocation.periodMs);
            break;
        }
    }
}

void SetRotationAtLogin(const RotationInvocation*)
{
    throw UsageError("--at-login is for Windows: here the autostart entry vorlane-wallpaper-rotate.desktop "
                     "starts the rotation at login once you turn it on (see the README)");
}

ExitStatus StopRotation()
{
    const HolderLock lock(LockFile(), HolderLock::Open::Existing);
    const int holder = lock.IsOpen() ? lock.Holder() : 0;
    if (holder == 0) {
        Report("no rotation is running");
        return Done;
    }
    if (!EndHolder(lock, holder)) {
        Report("the rotation running as process " + std::to_string(holder) + " did not end");
        return Failed;
    }
    return Done;
}

} // namespace vorlane::wallpapertool
