#include "tests/wallpaper/DesktopSession.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xdamage.h>
#include <fcntl.h>
#include <gio/gio.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>

#include "image/BmpFile.h"

namespace vorlane::test {

SessionProgram::SessionProgram(std::vector<std::string> argv, const std::string& log)
{
    std::vector<char*> args;
    for (auto& arg : argv)
        args.push_back(arg.data());
    args.push_back(nullptr);
    pid_ = ::fork();
    if (pid_ == 0) {
        ::setpgid(0, 0);
        const int out = ::open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        const int in = ::open("/dev/null", O_RDONLY);
        ::dup2(in, STDIN_FILENO);
        ::dup2(out, STDOUT_FILENO);
        ::dup2(out, STDERR_FILENO);
        ::execvp(args[0], args.data());
        ::_exit(127);
    }
    if (pid_ > 0)
        ::setpgid(pid_, pid_); // also here, so the group exists before either side goes on
}

bool SessionProgram::Running()
{
    if (pid_ <= 0 || ended_)
        return false;
    int status = 0;
    ended_ = ::waitpid(pid_, &status, WNOHANG) == pid_;
    return !ended_;
}

SessionProgram::~SessionProgram()
{
    if (pid_ <= 0)
        return;
    ::kill(-pid_, SIGTERM);
    if (!ended_) {
        int status = 0;
        ::waitpid(pid_, &status, 0);
    }
}

bool NeedPrograms(const std::vector<std::string>& programs, std::string& missing)
{
    missing.clear();
    for (const auto& program : programs)
        if (!ServerProcess::Installed(program))
            missing += (missing.empty() ? "" : ", ") + program;
    return missing.empty();
}

namespace {

const char* const SessionVariables[] = {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_RUNTIME_DIR"};

// The services the session's bus may start: the settings stores the desktops read.
const char* const BusServices[] = {"ca.desrt.dconf.service", "org.xfce.Xfconf.service"};

} // namespace

DesktopSession::DesktopSession(bool withDisplay, bool withBus)
{
    std::string pattern = (std::filesystem::temp_directory_path() / "vorlane-desktop-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) {
        failure_ = "no temporary folder";
        return;
    }
    folder_ = pattern;
    ::chmod(folder_.c_str(), 0700);
    for (const char* name : SessionVariables) {
        const auto folder = folder_ / name;
        std::filesystem::create_directories(folder);
        ::chmod(folder.c_str(), 0700);
        ::setenv(name, folder.c_str(), 1);
    }
    // Desktop programs stay off the accessibility bus and the volume monitors they would start.
    ::setenv("NO_AT_BRIDGE", "1", 1);
    ::setenv("GIO_USE_VFS", "local", 1);
    ::setenv("GSETTINGS_BACKEND", "dconf", 1);
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "DBUS_SESSION_BUS_ADDRESS", "XDG_CURRENT_DESKTOP",
                             "DESKTOP_SESSION", "SWAYSOCK"})
        ::unsetenv(name);

    if (withBus) {
        const auto services = folder_ / "services";
        std::filesystem::create_directories(services);
        for (const char* service : BusServices) {
            std::error_code ignored;
            std::filesystem::copy_file(std::filesystem::path("/usr/share/dbus-1/services") / service,
                                       services / service, ignored);
        }
        const auto config = folder_ / "bus.conf";
        std::ofstream(config) << "<busconfig>\n<type>session</type>\n<listen>unix:tmpdir=" << folder_.string()
                              << "</listen>\n<auth>EXTERNAL</auth>\n<servicedir>" << services.string()
                              << "</servicedir>\n<policy context=\"default\"><allow send_destination=\"*\" "
                                 "eavesdrop=\"true\"/><allow eavesdrop=\"true\"/><allow own=\"*\"/></policy>\n"
                                 "</busconfig>\n";
        bus_ = std::make_unique<ServerProcess>(std::vector<std::string>{
            "dbus-daemon", "--config-file=" + config.string(), "--nofork", "--print-address={fd}"});
        if (!bus_->Ready()) {
            failure_ = "dbus-daemon did not report an address";
            return;
        }
        ::setenv("DBUS_SESSION_BUS_ADDRESS", bus_->Line().c_str(), 1);
        // GLib's shared connection (the settings use it) would end this process when the bus stops;
        // it is held, so it stays the shared one, until the bus has gone.
        sharedBus_ = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
        if (sharedBus_)
            g_dbus_connection_set_exit_on_close(sharedBus_, FALSE);
    }
    if (withDisplay) {
        xvfb_ = std::make_unique<Xvfb>(std::to_string(Width) + "x" + std::to_string(Height) + "x24");
        if (!xvfb_->Running()) {
            failure_ = "Xvfb did not report a display";
            return;
        }
        ::setenv("DISPLAY", xvfb_->Display().c_str(), 1);
        display_ = XOpenDisplay(nullptr);
        int error = 0;
        if (!display_ || !XDamageQueryExtension(display_, &damageEvent_, &error)) {
            failure_ = "the display has no DAMAGE extension";
            return;
        }
        const Window root = DefaultRootWindow(display_);
        XSelectInput(display_, root, SubstructureNotifyMask | PropertyChangeMask);
        XDamageCreate(display_, root, XDamageReportNonEmpty);
        XSync(display_, False);
    }
}

DesktopSession::~DesktopSession()
{
    if (display_)
        XCloseDisplay(display_);
    xvfb_.reset();
    bus_.reset();
    if (sharedBus_)
        g_object_unref(sharedBus_);
    for (const char* name : SessionVariables)
        ::unsetenv(name);
    ::unsetenv("DISPLAY");
    ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
    if (!folder_.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
}

std::unique_ptr<SessionProgram> DesktopSession::Start(std::vector<std::string> argv) const
{
    const std::string log = (folder_ / (std::filesystem::path(argv.at(0)).filename().string() + ".log")).string();
    return std::make_unique<SessionProgram>(std::move(argv), log);
}

std::string DesktopSession::SaveBmp(const std::string& name, const Bitmap& picture) const
{
    const std::string file = (folder_ / name).string();
    const auto bytes = WriteBmp(picture);
    std::ofstream(file, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return file;
}

std::vector<Rgb> DesktopSession::Screenshot() const
{
    std::vector<Rgb> pixels(size_t(Width) * Height, 0);
    XImage* image = XGetImage(display_, DefaultRootWindow(display_), 0, 0, Width, Height, AllPlanes, ZPixmap);
    if (!image)
        return pixels;
    for (int y = 0; y < Height; ++y)
        for (int x = 0; x < Width; ++x)
            pixels[size_t(y) * Width + size_t(x)] = Rgb(XGetPixel(image, x, y) & 0xFFFFFF);
    XDestroyImage(image);
    return pixels;
}

bool DesktopSession::WaitForScreen(const std::function<bool()>& ready, int seconds) const
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    for (;;) {
        if (ready())
            return true;
        XFlush(display_);
        while (!XPending(display_)) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            pollfd events{ConnectionNumber(display_), POLLIN, 0};
            if (left.count() <= 0 || ::poll(&events, 1, int(left.count())) == 0)
                return ready();
        }
        while (XPending(display_)) {
            XEvent event;
            XNextEvent(display_, &event);
            if (event.type == damageEvent_ + XDamageNotify)
                XDamageSubtract(display_, reinterpret_cast<XDamageNotifyEvent*>(&event)->damage, None, None);
        }
    }
}

bool DesktopSession::DesktopWindowShown() const
{
    const Atom windowType = XInternAtom(display_, "_NET_WM_WINDOW_TYPE", False);
    const Atom desktopType = XInternAtom(display_, "_NET_WM_WINDOW_TYPE_DESKTOP", False);
    const auto isDesktop = [&](Window window) {
        XWindowAttributes attributes{};
        if (!XGetWindowAttributes(display_, window, &attributes) || attributes.map_state != IsViewable ||
            attributes.width < Width || attributes.height < Height)
            return false;
        Atom type = None;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        bool desktop = false;
        if (XGetWindowProperty(display_, window, windowType, 0, 16, False, XA_ATOM, &type, &format, &count, &after,
                               &data) == Success && data) {
            const auto* atoms = reinterpret_cast<const Atom*>(data);
            desktop = std::find(atoms, atoms + count, desktopType) != atoms + count;
        }
        if (data)
            XFree(data);
        return desktop;
    };
    const auto children = [&](Window parent) {
        Window rootReturn = None, parentReturn = None;
        Window* list = nullptr;
        unsigned int count = 0;
        std::vector<Window> result;
        if (XQueryTree(display_, parent, &rootReturn, &parentReturn, &list, &count) && list)
            result.assign(list, list + count);
        if (list)
            XFree(list);
        return result;
    };
    // A top-level window, or one a window manager framed.
    for (const Window top : children(DefaultRootWindow(display_))) {
        if (isDesktop(top))
            return true;
        for (const Window framed : children(top))
            if (isDesktop(framed))
                return true;
    }
    return false;
}

int Mismatches(const std::vector<Rgb>& screen, int left, int top, int width, int height,
               const std::function<Rgb(int, int)>& expected)
{
    const auto near = [](Rgb a, Rgb b) {
        for (int shift : {0, 8, 16})
            if (std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)) > 3)
                return false;
        return true;
    };
    int wrong = 0;
    for (int y = top; y < top + height; ++y)
        for (int x = left; x < left + width; ++x)
            if (x < 0 || y < 0 || x >= DesktopSession::Width || y >= DesktopSession::Height ||
                !near(screen[size_t(y) * DesktopSession::Width + size_t(x)], expected(x, y)))
                ++wrong;
    return wrong;
}

int CentredMismatches(const std::vector<Rgb>& screen, const Bitmap& picture)
{
    const int left = (DesktopSession::Width - picture.Width()) / 2;
    const int top = (DesktopSession::Height - picture.Height()) / 2;
    return Mismatches(screen, left, top, picture.Width(), picture.Height(),
                      [&](int x, int y) { return picture.PixelRgb(x - left, y - top); });
}

int TiledMismatches(const std::vector<Rgb>& screen, const Bitmap& picture)
{
    constexpr int W = DesktopSession::Width, H = DesktopSession::Height;
    return Mismatches(screen, W / 2, H / 2, W / 2, H / 2,
                      [&](int x, int y) { return picture.PixelRgb(x % picture.Width(), y % picture.Height()); });
}

Bitmap TestPicture(int width, int height, int seed)
{
    Bitmap picture(width, height, 24);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            picture.SetPixelRgb(x, y, MakeRgb(uint8_t(40 + (x * 3 + seed * 70) % 200), uint8_t(30 + (y * 4 + seed * 50) % 210),
                                              uint8_t(60 + (x + y + seed * 90) % 190)));
    return picture;
}

} // namespace vorlane::test
