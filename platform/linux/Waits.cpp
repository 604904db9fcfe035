// The waits on Linux: poll, a self-pipe for the stop signals, a CLOCK_BOOTTIME timerfd, inotify.
#include "platform/Waits.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

#include "platform/Exceptions.h"
#include "platform/Path.h"

namespace vorlane {
namespace {

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
    void Reset(int fd)
    {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = fd;
    }

private:
    int fd_;
};

// The stop signals' handler only wakes the wait.
int stopWriter = -1;

extern "C" void OnStopSignal(int)
{
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(stopWriter, &byte, 1);
    errno = saved;
}

} // namespace

void WaitToRead(int fd, int timeoutMs)
{
    pollfd connection{fd, POLLIN, 0};
    ::poll(&connection, 1, timeoutMs);
}

bool WaitInFolderUntil(const std::string& folder, int timeoutMs, const std::function<bool()>& holds)
{
    const Descriptor watcher(::inotify_init1(IN_CLOEXEC | IN_NONBLOCK));
    if (watcher.Get() < 0)
        return holds();
    ::inotify_add_watch(watcher.Get(), folder.c_str(), IN_CLOSE_WRITE | IN_MOVED_TO);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!holds()) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        pollfd events{watcher.Get(), POLLIN, 0};
        if (left.count() <= 0 || ::poll(&events, 1, int(left.count())) <= 0)
            return holds();
        char buffer[4096];
        while (::read(watcher.Get(), buffer, sizeof buffer) > 0) {}
    }
    return true;
}

struct PeriodWait::State {
    Descriptor stopReader;
    Descriptor stopWriterEnd;
    Descriptor timer;
    Descriptor watches;
    const HolderLock& lock;
    const std::string folder;
    const std::string name;
    int store = -1;
    int lockWatch = -1;
    bool lockGone = false;

    State(int reader, int writer, const std::string& watchedFile, const HolderLock& held)
        : stopReader(reader),
          stopWriterEnd(writer),
          lock(held),
          folder(path::ExtractFileDir(watchedFile)),
          name(path::ExtractFileName(watchedFile))
    {
    }

    void WatchStore()
    {
        if (store < 0 && watches.Get() >= 0)
            store = ::inotify_add_watch(watches.Get(), folder.c_str(), IN_CLOSE_WRITE | IN_MOVED_TO);
    }

    // Reads what is pending: whether the watched file was written.
    bool StoreChanged()
    {
        bool changed = false;
        alignas(inotify_event) char buffer[8192];
        for (;;) {
            const ssize_t length = ::read(watches.Get(), buffer, sizeof buffer);
            if (length <= 0)
                return changed;
            for (ssize_t at = 0; at < length;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                if (event->wd == lockWatch && lockWatch >= 0)
                    lockGone = lockGone || (event->mask & IN_MOVE_SELF) || lock.Removed();
                else if (event->len > 0 && name == event->name)
                    changed = true;
                else if (event->mask & IN_IGNORED)
                    store = -1; // the folder went: watched again once it is back
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            }
        }
    }
};

PeriodWait::PeriodWait(const std::string& watchedFile, const std::string& lockFile, const HolderLock& lock)
{
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0)
        throw Exception("no pipe for the rotation's signals");
    state_ = std::make_unique<State>(ends[0], ends[1], watchedFile, lock);
    stopWriter = ends[1];
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(signal, &action, nullptr);

    State& s = *state_;
    s.timer.Reset(::timerfd_create(CLOCK_BOOTTIME, TFD_NONBLOCK | TFD_CLOEXEC));
    if (s.timer.Get() < 0)
        throw Exception("no timer for the rotation");
    s.watches.Reset(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
    // Removing a file that is open changes its link count (IN_ATTRIB); IN_DELETE_SELF would wait for
    // this process to close it.
    if (s.watches.Get() >= 0)
        s.lockWatch = ::inotify_add_watch(s.watches.Get(), lockFile.c_str(), IN_ATTRIB | IN_MOVE_SELF);
    s.WatchStore();
}

PeriodWait::~PeriodWait()
{
    stopWriter = -1; // a signal from now on writes nowhere, not into a descriptor reused meanwhile
}

void PeriodWait::Restart(int64_t periodMs)
{
    itimerspec when{};
    when.it_value.tv_sec = static_cast<time_t>(periodMs / 1000);
    when.it_value.tv_nsec = static_cast<long>(periodMs % 1000) * 1000000L;
    ::timerfd_settime(state_->timer.Get(), 0, &when, nullptr); // one end per expiry, however long the sleep was
}

PeriodWait::Event PeriodWait::Next()
{
    State& s = *state_;
    for (;;) {
        if (s.lockGone)
            return Event::LockFileGone;
        pollfd waits[] = {{s.stopReader.Get(), POLLIN, 0}, {s.watches.Get(), POLLIN, 0}, {s.timer.Get(), POLLIN, 0}};
        if (::poll(waits, 3, -1) < 0) {
            if (errno == EINTR)
                continue;
            throw Exception("the rotation's wait failed");
        }
        if (waits[0].revents != 0)
            return Event::Stop;
        if (waits[1].revents != 0 && s.StoreChanged())
            return Event::FileChanged;
        uint64_t expiries = 0;
        if (waits[2].revents != 0 && ::read(s.timer.Get(), &expiries, sizeof expiries) == sizeof expiries)
            return Event::PeriodEnded;
    }
}

void PeriodWait::Forget()
{
    state_->StoreChanged();
    state_->WatchStore();
}

} // namespace vorlane
