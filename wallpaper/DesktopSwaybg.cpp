// wlroots compositors other than sway (and sway reached without its socket): their background is a
// client on the wlr-layer-shell protocol, swaybg. Vorlane starts one per Wayland session with the
// picture, leaves it running (the picture lasts as long as it does) and replaces it with a new one for
// each later picture. Ours carry VORLANE_SWAYBG, naming the session's Wayland socket, in their
// environment, so only they are replaced, never a background program of the compositor's own.
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <wayland-client.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "wallpaper/Backends.h"

extern char** environ;

namespace vorlane {
namespace {

const char* const Marker = "VORLANE_SWAYBG";

// The session's Wayland socket as a path: WAYLAND_DISPLAY, under XDG_RUNTIME_DIR when relative.
std::string WaylandSocket()
{
    const char* display = std::getenv("WAYLAND_DISPLAY");
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (!display || !*display)
        return {};
    if (display[0] == '/')
        return display;
    return runtime ? std::string(runtime) + "/" + display : std::string();
}

bool HasMarker(const std::string& folder, const std::string& entry)
{
    std::ifstream environ(folder + "/environ", std::ios::binary);
    std::string variable;
    while (std::getline(environ, variable, '\0'))
        if (variable == entry)
            return true;
    return false;
}

// Ends the swaybg processes of this user that we started for this Wayland session, but `keep`. Each is
// named by a process descriptor before it is checked, so a number reused meanwhile is never signalled.
void StopOurSwaybg(const std::string& entry, pid_t keep)
{
    DIR* proc = ::opendir("/proc");
    if (!proc)
        return;
    while (const dirent* e = ::readdir(proc)) {
        if (!std::all_of(e->d_name, e->d_name + std::strlen(e->d_name), ::isdigit))
            continue;
        const pid_t pid = std::atoi(e->d_name);
        if (pid == keep)
            continue;
        const int process = int(::syscall(SYS_pidfd_open, pid, 0));
        if (process < 0)
            continue;
        const std::string folder = std::string("/proc/") + e->d_name;
        struct stat info {};
        std::ifstream comm(folder + "/comm");
        std::string name;
        if (::stat(folder.c_str(), &info) == 0 && info.st_uid == ::getuid() && std::getline(comm, name) &&
            name == "swaybg" && HasMarker(folder, entry))
            ::syscall(SYS_pidfd_send_signal, process, SIGTERM, nullptr, 0);
        ::close(process);
    }
    ::closedir(proc);
}

// Starts argv with the marker in its environment, in a session of its own and not our child (it
// outlives this process and leaves no zombie behind): its process id once it was executed, 0 otherwise.
pid_t StartDetached(const std::vector<std::string>& argv, const std::string& entry)
{
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    std::vector<char*> variables;
    for (char** v = environ; *v; ++v)
        if (std::strncmp(*v, Marker, std::strlen(Marker)) != 0)
            variables.push_back(*v);
    variables.push_back(const_cast<char*>(entry.c_str()));
    variables.push_back(nullptr);
    int started[2]; // the program's id from the middle process; then closed by a successful exec, or an errno
    if (::pipe2(started, O_CLOEXEC) != 0)
        return 0;
    const int null = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    const pid_t child = ::fork();
    if (child == 0) {
        // Only calls safe after fork in a threaded process from here on.
        ::setsid();
        const pid_t program = ::fork();
        if (program > 0) {
            [[maybe_unused]] const ssize_t n = ::write(started[1], &program, sizeof program);
        } else if (program == 0) {
            ::dup2(null, STDIN_FILENO);
            ::dup2(null, STDOUT_FILENO);
            ::dup2(null, STDERR_FILENO);
            ::execvpe(args[0], args.data(), variables.data());
            const int error = errno;
            [[maybe_unused]] const ssize_t n = ::write(started[1], &error, sizeof error);
        }
        ::_exit(0);
    }
    ::close(started[1]);
    if (null >= 0)
        ::close(null);
    int status = 0;
    while (child > 0 && ::waitpid(child, &status, 0) < 0 && errno == EINTR) {}
    pid_t program = 0;
    int error = 0;
    ssize_t n = 0;
    while ((n = ::read(started[0], &program, sizeof program)) < 0 && errno == EINTR) {}
    if (n == sizeof program)
        while ((n = ::read(started[0], &error, sizeof error)) < 0 && errno == EINTR) {}
    ::close(started[0]);
    return child > 0 && program > 0 && n == 0 ? program : 0;
}

class SwaybgBackend final : public DesktopBackend {
public:
    std::string Name() const override { return "swaybg"; }
    bool Apply(const WallpaperRequest& request) override
    {
        const std::string socket = WaylandSocket();
        if (socket.empty())
            return false;
        const std::string entry = std::string(Marker) + "=" + socket;
        // swaybg takes the path as one argument and reads it as it is. The previous one goes once the new
        // one runs: the newer background surface lies above, so the screen never shows neither.
        const pid_t started =
            request.path.empty()
                ? StartDetached({"swaybg", "-c", "#000000", "-m", "solid_color"}, entry)
                : StartDetached({"swaybg", "-i", request.path, "-m", SwayMode(request.placement), "-c", "#000000"},
                                entry);
        if (started > 0)
            StopOurSwaybg(entry, started);
        return started > 0;
    }
};

void NoteGlobal(void* found, wl_registry*, uint32_t, const char* interface, uint32_t)
{
    if (std::strcmp(interface, "zwlr_layer_shell_v1") == 0)
        *static_cast<bool*>(found) = true;
}

void IgnoreRemoval(void*, wl_registry*, uint32_t)
{
}

} // namespace

bool WaylandOffersLayerShell()
{
    wl_display* display = wl_display_connect(nullptr);
    if (!display)
        return false;
    bool found = false;
    static const wl_registry_listener listener{NoteGlobal, IgnoreRemoval};
    wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &listener, &found);
    wl_display_roundtrip(display);
    wl_registry_destroy(registry);
    wl_display_disconnect(display);
    return found;
}

std::unique_ptr<DesktopBackend> NewSwaybgBackend()
{
    return std::make_unique<SwaybgBackend>();
}

} // namespace vorlane
