// vorlane-wallpaper's rotation on Windows. The period runs on a waitable timer set to a time of day: a
// change that fell due while the computer slept happens once when it wakes, and the next one a whole
// period later. One rotation per session: it holds a mutex of the session's namespace, and a named event
// asks it to end (rotate --stop, a new rotation taking its place, Ctrl+C). Changes made by others show as
// a change of "Control Panel\Desktop", where the system records every wallpaper, and start the period
// again. The session's end ends the process, and the mutex with it.
#include "tools/vorlane-wallpaper/Rotation.h"

#include <filesystem>

#include "platform/Exceptions.h"
#include "tools/vorlane-gsk/Text.h"

#include <windows.h>

namespace vorlane::wallpapertool {
namespace {

constexpr const wchar_t* RotationMutexName = L"Local\\VorlaneWallpaperRotation";
constexpr const wchar_t* StopEventName = L"Local\\VorlaneWallpaperRotationStop";
// How long a new rotation or --stop waits for the running one to end (it finishes a change first).
constexpr DWORD StopPatienceMs = 20000;

class Handle {
public:
    explicit Handle(HANDLE handle = nullptr) : handle_(handle) {}
    ~Handle()
    {
        if (handle_)
            CloseHandle(handle_);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE Get() const { return handle_; }

private:
    HANDLE handle_;
};

class RegistryKey {
public:
    RegistryKey(HKEY root, const wchar_t* name)
    {
        if (RegOpenKeyExW(root, name, 0, KEY_NOTIFY, &key_) != ERROR_SUCCESS)
            key_ = nullptr;
    }
    ~RegistryKey()
    {
        if (key_)
            RegCloseKey(key_);
    }
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;
    // Signals `event` at the key's next change of a value (once; asked again after each).
    void NotifyChange(HANDLE event) const
    {
        if (key_)
            RegNotifyChangeKeyValue(key_, FALSE, REG_NOTIFY_CHANGE_LAST_SET, event, TRUE);
    }

private:
    HKEY key_ = nullptr;
};

// The session's event that asks the running rotation to end (auto-reset: it ends one).
HANDLE OpenStopEvent()
{
    const HANDLE event = CreateEventW(nullptr, FALSE, FALSE, StopEventName);
    if (!event)
        throw Exception("no event to stop the rotation with");
    return event;
}

// Takes the session's rotation mutex, waiting up to `ms` for its holder to let go; a holder that ended
// without letting go counts as gone.
bool TakeMutex(HANDLE mutex, DWORD ms)
{
    const DWORD result = WaitForSingleObject(mutex, ms);
    return result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
}

// Asks the running rotation to end and waits until it has (bounded): true once the mutex is ours.
bool EndRunning(HANDLE mutex)
{
    const Handle stop(OpenStopEvent());
    SetEvent(stop.Get());
    return TakeMutex(mutex, StopPatienceMs);
}

HANDLE consoleStop = nullptr;

// Ctrl+C, Ctrl+Break and closing the console window end the rotation between two changes.
BOOL WINAPI OnConsoleStop(DWORD)
{
    SetEvent(consoleStop);
    return TRUE;
}

// A console window the system opened for this process alone (started at login, or from Explorer) would
// stay on the screen for as long as the rotation runs: it goes. A console shared with a command prompt
// stays, with the rotation's messages.
void LeaveOwnConsole()
{
    DWORD processes[2];
    if (GetConsoleProcessList(processes, 2) == 1)
        FreeConsole();
}

void Arm(HANDLE timer, int64_t periodMs)
{
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER when;
    when.LowPart = now.dwLowDateTime;
    when.HighPart = now.dwHighDateTime;
    when.QuadPart += uint64_t(periodMs) * 10000; // 100 ns units
    LARGE_INTEGER due;
    due.QuadPart = LONGLONG(when.QuadPart); // positive: a time of day, which a sleep does not postpone
    SetWaitableTimer(timer, &due, 0, nullptr, nullptr, FALSE); // never wakes a sleeping computer for this
}

// Waits for one of `handles` while handling the messages of this thread's windows (the system's
// settings broadcasts reach them): the index of the one signalled.
DWORD WaitHandlingMessages(const HANDLE* handles, DWORD count)
{
    for (;;) {
        const DWORD result = MsgWaitForMultipleObjects(count, handles, FALSE, INFINITE, QS_ALLINPUT);
        if (result == WAIT_OBJECT_0 + count) {
            MSG message;
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
            continue;
        }
        if (result >= WAIT_OBJECT_0 && result < WAIT_OBJECT_0 + count)
            return result - WAIT_OBJECT_0;
        throw Exception("the rotation's wait failed");
    }
}

} // namespace

ExitStatus RunRotation(const RotationInvocation& invocation)
{
    // A gallery that is not there fails now rather than at every change.
    const std::string gallery = RotationGallery(invocation.gallery);
    if (!std::filesystem::is_regular_file(gallery))
        throw EFOpenError(Format(msg::FOpenError, gsk::TerminalText(gallery).c_str()));

    const Handle mutex(CreateMutexW(nullptr, FALSE, RotationMutexName));
    if (!mutex.Get())
        throw Exception("the rotation's lock cannot be taken");
    if (!TakeMutex(mutex.Get(), 0)) {
        if (!EndRunning(mutex.Get())) {
            Report("the running rotation did not end");
            return Failed;
        }
        Report("the rotation that ran is replaced");
    }
    const Handle stop(OpenStopEvent());
    ResetEvent(stop.Get()); // a request meant for the one replaced, or for none
    consoleStop = stop.Get();
    SetConsoleCtrlHandler(OnConsoleStop, TRUE);
    LeaveOwnConsole();

    const Handle timer(CreateWaitableTimerW(nullptr, FALSE, nullptr));
    const Handle changed(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    if (!timer.Get() || !changed.Get())
        throw Exception("no timer for the rotation");
    const RegistryKey desktop(HKEY_CURRENT_USER, L"Control Panel\\Desktop");
    desktop.NotifyChange(changed.Get());
    Arm(timer.Get(), invocation.periodMs);
    const HANDLE waits[] = {stop.Get(), changed.Get(), timer.Get()};
    for (;;) {
        const DWORD signalled = WaitHandlingMessages(waits, 3);
        if (signalled == 0)
            break;
        if (signalled == 1) {
            desktop.NotifyChange(changed.Get());
            Arm(timer.Get(), invocation.periodMs); // set by the user: a whole period from now
            continue;
        }
        try {
            ChangeWallpaper(RotationGallery(invocation.gallery), invocation.step);
        } catch (const Exception& error) {
            Report(gsk::TerminalText(error.what())); // the next period may fare better
        }
        // Our own change: seen as none.
        ResetEvent(changed.Get());
        desktop.NotifyChange(changed.Get());
        Arm(timer.Get(), invocation.periodMs);
    }
    SetConsoleCtrlHandler(OnConsoleStop, FALSE);
    ReleaseMutex(mutex.Get());
    return Done;
}

ExitStatus StopRotation()
{
    const Handle mutex(CreateMutexW(nullptr, FALSE, RotationMutexName));
    if (!mutex.Get())
        throw Exception("the rotation's lock cannot be taken");
    if (TakeMutex(mutex.Get(), 0)) {
        ReleaseMutex(mutex.Get());
        Report("no rotation is running");
        return Done;
    }
    if (!EndRunning(mutex.Get())) {
        Report("the running rotation did not end");
        return Failed;
    }
    ReleaseMutex(mutex.Get());
    return Done;
}

} // namespace vorlane::wallpapertool
