// The folder's lock here: flock on a lock file of the user's own, named after the folder's identity, in
// a folder nobody else can open. A lock on the gallery's folder itself could be held by anybody who may
// open that folder. Lock files stay (one empty file per folder edited): removing one safely would need
// every holder to check the name again after each wait, and the runtime folder is emptied at logout.
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "platform/FolderLockSystem.h"

namespace vorlane::folderlock {
namespace {

// `folder` (made with `mode` when missing and `mode` is given) is the user's own, and nobody else may
// write in it: what is in it was put there by the user's programs.
bool OwnFolder(const std::string& folder, mode_t mode = 0)
{
    if (mode != 0)
        ::mkdir(folder.c_str(), mode);
    struct stat st {};
    return ::lstat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() &&
           (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

} // namespace

std::string PrivateFolder()
{
    // The runtime folder first: private by its definition, local to the machine, emptied at logout. The
    // /run/user name keeps a program started outside the session (cron, ssh) at the same locks.
    std::string runtime;
    if (const char* xdg = std::getenv("XDG_RUNTIME_DIR"); xdg && xdg[0] == '/')
        runtime = xdg;
    else
        runtime = "/run/user/" + std::to_string(::geteuid());
    if (OwnFolder(runtime) && OwnFolder(runtime + "/vorlane", 0700))
        return runtime + "/vorlane/";

    std::string data;
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && xdg[0] == '/')
        data = xdg;
    else if (const char* home = std::getenv("HOME"); home && home[0] == '/')
        data = std::string(home) + "/.local/share";
    if (!data.empty()) {
        std::error_code ignored;
        std::filesystem::create_directories(data, ignored);
        // The data folder as the program folder makes it (the umask's mode), its locks folder private.
        if (OwnFolder(data) && OwnFolder(data + "/vorlane", 0777) && OwnFolder(data + "/vorlane/locks", 0700) &&
            ::chmod((data + "/vorlane/locks").c_str(), 0700) == 0)
            return data + "/vorlane/locks/";
    }
    // A user without a folder of their own (a system account, a home that is not theirs): one in /tmp,
    // unless somebody else took its name first.
    const std::string temporary = "/tmp/vorlane-" + std::to_string(::geteuid());
    if (OwnFolder(temporary, 0700) && ::chmod(temporary.c_str(), 0700) == 0)
        return temporary + "/";
    return {};
}

std::optional<SystemLock> OpenLock(const std::string& folder)
{
    struct stat st {};
    if (::stat(folder.empty() ? "." : folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return std::nullopt;
    const std::string own = PrivateFolder();
    if (own.empty())
        return std::nullopt;
    const std::string name =
        own + "folder-" + std::to_string(uint64_t(st.st_dev)) + "-" + std::to_string(uint64_t(st.st_ino)) + ".lock";
    const int fd = ::open(name.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return std::nullopt;
    return SystemLock{fd, uint64_t(st.st_dev), uint64_t(st.st_ino)};
}

Taken TakeLock(intptr_t handle, int waitMilliseconds)
{
    // flock has no time limit of its own: tried again, at growing intervals, until the deadline.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMilliseconds);
    std::chrono::milliseconds pause{1};
    for (;;) {
        if (::flock(int(handle), LOCK_EX | LOCK_NB) == 0)
            return Taken::Yes;
        if (errno == EINTR)
            continue;
        if (errno != EWOULDBLOCK)
            return Taken::Refused;
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline)
            return Taken::Busy;
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(pause, deadline - now));
        pause = std::min(pause * 2, std::chrono::milliseconds(50));
    }
}

void CloseLock(intptr_t handle)
{
    ::close(int(handle)); // a lock held through another descriptor stays
}

void ReleaseLock(intptr_t handle)
{
    ::close(int(handle)); // releases the lock
}

} // namespace vorlane::folderlock
