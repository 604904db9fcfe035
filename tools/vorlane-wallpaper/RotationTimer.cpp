// vorlane-wallpaper's rotation on Linux. The period runs on CLOCK_BOOTTIME, which counts the time the
// machine slept: a change that fell due while it slept happens once at wake-up, and the next one a whole
// period later. One rotation per session: it holds a record lock (fcntl, which also names its holder)
// on a file in the user's runtime folder, and ends when that file goes with the session. Changes made by
// others show as a new settings store ("Vorlane.registry", watched with inotify) and start the period
// again.
#include "tools/vorlane-wallpaper/Rotation.h"

#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <thread>

#include "platform/Exceptions.h"
#include "platform/FolderLockSystem.h" // the user's private folder, where every lock of ours lives
#include "platform/Path.h"
#include "platform/Registry.h"
#include "tools/vorlane-gsk/Text.h"

namespace vorlane::wallpapertool {
namespace {

// How long a new rotation or --stop waits for the running one to end (it finishes a change first).
constexpr std::chrono::seconds StopPatience{20};

class Descriptor {
public:
    explicit Descriptor(int fd = -1) : fd_(fd) {}
    ~Descriptor()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int Get() const { return fd_; }

private:
    int fd_;
};

std::string LockFile()
{
    const std::string folder = folderlock::PrivateFolder();
    if (folder.empty())
        throw Exception("no folder of your own for the rotation's lock (XDG_RUNTIME_DIR)");
    return folder + "rotation.lock";
}

flock WholeFile(short type)
{
    flock lock{};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    return lock;
}

bool TakeLock(int fd)
{
    flock lock = WholeFile(F_WRLCK);
    return ::fcntl(fd, F_SETLK, &lock) == 0;
}

// The process that holds the lock: 0 when none does, -1 when it cannot be named (another process
// namespace).
pid_t Holder(int fd)
{
    flock lock = WholeFile(F_WRLCK);
    if (::fcntl(fd, F_GETLK, &lock) != 0 || lock.l_type == F_UNLCK)
        return 0;
    return lock.l_pid > 0 ? lock.l_pid : -1;
}

// Asks the rotation holding the lock to end and waits until it has (bounded): true when none holds it.
bool EndHolder(int fd, pid_t holder)
{
    if (holder < 0 || ::kill(holder, SIGTERM) != 0)
        return false;
    const auto deadline = std::chrono::steady_clock::now() + StopPatience;
    std::chrono::milliseconds pause{1};
    // A lock is released without notice to others: looked at again, at growing intervals.
    while (Holder(fd) != 0) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(pause);
        pause = std::min(pause * 2, std::chrono::milliseconds(50));
    }
    return true;
}

// SIGTERM, SIGINT and SIGHUP end the rotation between two changes: the handler only wakes the loop.
int stopWriter = -1;

extern "C" void OnStopSignal(int)
{
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(stopWriter, &byte, 1);
    errno = saved;
}

void Arm(int timer, int64_t periodMs)
{
    itimerspec when{};
    when.it_value.tv_sec = static_cast<time_t>(periodMs / 1000);
    when.it_value.tv_nsec = static_cast<long>(periodMs % 1000) * 1000000L;
    ::timerfd_settime(timer, 0, &when, nullptr); // one change per expiry, however long the sleep was
}

// Watches the settings store's folder (once it exists) for a new store file, and the rotation's lock
// file, which goes with the runtime folder when the session ends.
class Watches {
public:
    Watches(const std::string& lockFile, int lockFd) : fd_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)), lockFd_(lockFd)
    {
        // Removing a file that is open changes its link count (IN_ATTRIB); IN_DELETE_SELF would wait
        // for this process to close it.
        if (fd_.Get() >= 0)
            lock_ = ::inotify_add_watch(fd_.Get(), lockFile.c_str(), IN_ATTRIB | IN_MOVE_SELF);
        WatchStore();
    }
    int Fd() const { return fd_.Get(); }
    void WatchStore()
    {
        if (store_ < 0 && fd_.Get() >= 0)
            store_ = ::inotify_add_watch(fd_.Get(), folder_.c_str(), IN_CLOSE_WRITE | IN_MOVED_TO);
    }
    // Reads what is pending: whether the store was written.
    bool StoreChanged()
    {
        bool changed = false;
        alignas(inotify_event) char buffer[8192];
        for (;;) {
            const ssize_t length = ::read(fd_.Get(), buffer, sizeof buffer);
            if (length <= 0)
                return changed;
            for (ssize_t at = 0; at < length;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                struct stat lock {};
                if (event->wd == lock_ && lock_ >= 0)
                    lockGone_ = lockGone_ || (event->mask & IN_MOVE_SELF) ||
                                (::fstat(lockFd_, &lock) == 0 && lock.st_nlink == 0);
                else if (event->len > 0 && name_ == event->name)
                    changed = true;
                else if (event->mask & IN_IGNORED)
                    store_ = -1; // the folder went: watched again once it is back
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            }
        }
    }
    // The lock file was removed or renamed: the session it belonged to has ended (its runtime folder is
    // emptied at logout), and a rotation of the next session would not see this one.
    bool SessionEnded() const { return lockGone_; }

private:
    Descriptor fd_;
    const int lockFd_;
    const std::string storeFile_ = registry::StorePath();
    const std::string folder_ = path::ExtractFileDir(storeFile_);
    const std::string name_ = path::ExtractFileName(storeFile_);
    int store_ = -1;
    int lock_ = -1;
    bool lockGone_ = false;
};

} // namespace

ExitStatus RunRotation(const RotationInvocation& invocation)
{
    // A gallery that is not there fails now rather than at every change.
    const std::string gallery = RotationGallery(invocation.gallery);
    if (!std::filesystem::is_regular_file(gallery))
        throw EFOpenError(Format(msg::FOpenError, gsk::TerminalText(gallery).c_str()));

    const Descriptor lock(::open(LockFile().c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (lock.Get() < 0)
        throw EFCreateError(Format(msg::FCreateError, LockFile().c_str()));
    while (!TakeLock(lock.Get())) {
        if (errno != EAGAIN && errno != EACCES)
            throw Exception("the rotation's lock cannot be taken");
        const pid_t holder = Holder(lock.Get());
        if (holder == 0)
            continue; // let go in the meantime
        if (!EndHolder(lock.Get(), holder)) {
            Report("the rotation running as process " + std::to_string(holder) + " did not end");
            return Failed;
        }
        Report("the rotation that ran as process " + std::to_string(holder) + " is replaced");
    }

    int pipeEnds[2];
    if (::pipe2(pipeEnds, O_CLOEXEC | O_NONBLOCK) != 0)
        throw Exception("no pipe for the rotation's signals");
    const Descriptor stopReader(pipeEnds[0]);
    const Descriptor stopWriterEnd(pipeEnds[1]);
    stopWriter = pipeEnds[1];
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(signal, &action, nullptr);

    const Descriptor timer(::timerfd_create(CLOCK_BOOTTIME, TFD_NONBLOCK | TFD_CLOEXEC));
    if (timer.Get() < 0)
        throw Exception("no timer for the rotation");
    Watches watches(LockFile(), lock.Get());
    Arm(timer.Get(), invocation.periodMs);
    for (;;) {
        if (watches.SessionEnded()) {
            Report("the session has ended (its lock file is gone): the rotation ends");
            return Done;
        }
        pollfd waits[] = {{stopReader.Get(), POLLIN, 0}, {watches.Fd(), POLLIN, 0}, {timer.Get(), POLLIN, 0}};
        if (::poll(waits, 3, -1) < 0) {
            if (errno == EINTR)
                continue;
            throw Exception("the rotation's wait failed");
        }
        if (waits[0].revents != 0)
            return Done;
        if (waits[1].revents != 0 && watches.StoreChanged()) {
            Arm(timer.Get(), invocation.periodMs); // set by the user: a whole period from now
            continue;
        }
        uint64_t expiries = 0;
        if (waits[2].revents == 0 || ::read(timer.Get(), &expiries, sizeof expiries) != sizeof expiries)
            continue;
        try {
            ChangeWallpaper(RotationGallery(invocation.gallery), invocation.step);
        } catch (const Exception& error) {
            Report(gsk::TerminalText(error.what())); // the next period may fare better
        }
        watches.StoreChanged(); // our own change
        watches.WatchStore();
        Arm(timer.Get(), invocation.periodMs);
    }
}

void SetRotationAtLogin(const RotationInvocation*)
{
    throw UsageError("--at-login is for Windows: here the autostart entry vorlane-wallpaper-rotate.desktop "
                     "starts the rotation at login once you turn it on (see the README)");
}

ExitStatus StopRotation()
{
    const Descriptor lock(::open(LockFile().c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC));
    const pid_t holder = lock.Get() >= 0 ? Holder(lock.Get()) : 0;
    if (holder == 0) {
        Report("no rotation is running");
        return Done;
    }
    if (!EndHolder(lock.Get(), holder)) {
        Report("the rotation running as process " + std::to_string(holder) + " did not end");
        return Failed;
    }
    return Done;
}

} // namespace vorlane::wallpapertool
