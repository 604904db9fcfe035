#include "tests/wallpaper/DesktopSession.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xdamage.h>
#include <X11/extensions/Xrandr.h>
#include <fcntl.h>
#include <gio/gio.h>
#include <poll.h>
#include <spawn.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "image/BmpFile.h"
#include "tests/TestFiles.h"

namespace vorlane::test {

SessionProgram::SessionProgram(std::vector<std::string> argv, const std::string& log)
    : pid_(StartProgram(std::move(argv), log, true))
{
}

// The program is waited for without being reaped (WNOWAIT) until it is destroyed: while it stays a zombie,
// its process number, which names its group, cannot be given to another program, so the group signals
// below never reach a program of another test.
bool SessionProgram::Running()
{
    if (pid_ <= 0 || ended_)
        return false;
    siginfo_t info{};
    ended_ = ::waitid(P_PID, id_t(pid_), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == pid_;
    if (ended_)
        status_ = info.si_code == CLD_EXITED ? info.si_status : -1;
    return !ended_;
}

int SessionProgram::Wait()
{
    siginfo_t info{};
    if (pid_ > 0 && !ended_ && ::waitid(P_PID, id_t(pid_), &info, WEXITED | WNOWAIT) == 0) {
        ended_ = true;
        status_ = info.si_code == CLD_EXITED ? info.si_status : -1;
    }
    return ended_ ? status_ : -1;
}

SessionProgram::~SessionProgram()
{
    if (pid_ <= 0)
        return;
    ::kill(-pid_, SIGTERM);
    Wait();
    // What it started and left in its group, ignoring SIGTERM (Plasma's KIO workers), goes too.
    ::kill(-pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
}

DesktopSession& SharedDesktopSession()
{
    static DesktopSession session;
    return session;
}

bool SharedSessionTest::Begin(const std::vector<std::string>& programs)
{
    [&] {
        VORLANE_NEED_PROGRAMS(programs);
        session_ = &SharedDesktopSession();
        ASSERT_EQ(session_->Failure(), "");
    }();
    return !IsSkipped() && !HasFailure();
}

namespace {

const char* const SessionVariables[] = {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME",
                                        "XDG_RUNTIME_DIR"};

// The services the session's bus may start: the settings stores the desktops read.
const char* const BusServices[] = {"ca.desrt.dconf.service", "org.xfce.Xfconf.service"};

} // namespace

std::unique_ptr<ServerProcess> StartSessionBus(const std::filesystem::path& folder, std::vector<std::string> runAs,
                                               bool allServices)
{
    const auto services = folder / "services";
    std::filesystem::create_directories(services);
    std::error_code ignored;
    for (const char* service : BusServices)
        std::filesystem::copy_file(std::filesystem::path("/usr/share/dbus-1/services") / service, services / service,
                                   ignored);
    // Every other one too for a shell, but Plasma's splash-screen stand-in, which would wait for a name
    // that never comes and outlive the test.
    for (const auto& entry : std::filesystem::directory_iterator("/usr/share/dbus-1/services", ignored))
        if (allServices && entry.path().filename() != "org.kde.KSplash.service")
            std::filesystem::copy_file(entry.path(), services / entry.path().filename(), ignored);
    const auto config = folder / "bus.conf";
    std::ofstream(config) << "<busconfig>\n<type>session</type>\n<listen>unix:tmpdir=" << folder.string()
                          << "</listen>\n<auth>EXTERNAL</auth>\n"
                          << "<servicedir>" << services.string() << "</servicedir>"
                          << "\n<policy context=\"default\"><allow user=\"*\"/><allow send_destination=\"*\" "
                             "eavesdrop=\"true\"/><allow eavesdrop=\"true\"/><allow own=\"*\"/></policy>\n"
                             "</busconfig>\n";
    runAs.insert(runAs.end(), {"dbus-daemon", "--config-file=" + config.string(), "--nofork", "--print-address={fd}"});
    return std::make_unique<ServerProcess>(std::move(runAs));
}

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
        bus_ = StartSessionBus(folder_);
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
    // Written beside and renamed over, as the program replaces "Temp.bmp": a desktop that watches the
    // file must never read it half written.
    const std::string file = (folder_ / name).string();
    const std::string written = file + ".new";
    const auto bytes = WriteBmp(picture);
    WriteFile(written, bytes);
    std::filesystem::rename(written, file);
    return file;
}

Screen RootScreenshot(Display* display, int width, int height)
{
    Screen screen{width, height, std::vector<Rgb>(size_t(width) * size_t(height), 0)};
    XImage* image =
        XGetImage(display, DefaultRootWindow(display), 0, 0, unsigned(width), unsigned(height), AllPlanes, ZPixmap);
    if (!image)
        return screen;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            screen.pixels[size_t(y) * size_t(width) + size_t(x)] = Rgb(XGetPixel(image, x, y) & 0xFFFFFF);
    XDestroyImage(image);
    return screen;
}

Screen DesktopSession::Screenshot() const
{
    return RootScreenshot(display_, Width, Height);
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

bool WaitForFolder(const std::filesystem::path& folder, const std::function<bool()>& ready, int seconds)
{
    const int watcher = ::inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
    std::filesystem::create_directories(folder);
    if (watcher < 0 || ::inotify_add_watch(watcher, folder.c_str(), IN_CLOSE_WRITE | IN_MOVED_TO | IN_CREATE) < 0) {
        if (watcher >= 0)
            ::close(watcher);
        return ready();
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    bool held = false;
    while (!(held = ready())) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        pollfd events{watcher, POLLIN, 0};
        if (left.count() <= 0 || ::poll(&events, 1, int(left.count())) <= 0) {
            held = ready();
            break;
        }
        char buffer[4096];
        while (::read(watcher, buffer, sizeof buffer) > 0) {}
    }
    ::close(watcher);
    return held;
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
                               &data) == Success &&
            data) {
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
    // A top-level window, or one a window manager framed (kwin puts a wrapper between frame and window).
    // A window may go while it is looked at (a shell starting up makes and drops many): the errors that
    // gives are ignored.
    XSync(display_, False);
    const XErrorHandler previous = XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
    const std::function<bool(Window, int)> within = [&](Window parent, int depth) {
        for (const Window child : children(parent))
            if (isDesktop(child) || (depth > 1 && within(child, depth - 1)))
                return true;
        return false;
    };
    const bool shown = within(DefaultRootWindow(display_), 3);
    XSync(display_, False);
    XSetErrorHandler(previous);
    return shown;
}

int Mismatches(const Screen& screen, int left, int top, int width, int height,
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
            if (x < 0 || y < 0 || x >= screen.width || y >= screen.height || !near(screen.At(x, y), expected(x, y)))
                ++wrong;
    return wrong;
}

int CentredMismatches(const Screen& screen, const Bitmap& picture)
{
    const int left = (screen.width - picture.Width()) / 2;
    const int top = (screen.height - picture.Height()) / 2;
    return Mismatches(screen, left, top, picture.Width(), picture.Height(),
                      [&](int x, int y) { return picture.PixelRgb(x - left, y - top); });
}

int TiledMismatches(const Screen& screen, const Bitmap& picture)
{
    const int w = std::max(1, screen.width / 2), h = std::max(1, screen.height / 2);
    return Mismatches(screen, w, h, w, h,
                      [&](int x, int y) { return picture.PixelRgb(x % picture.Width(), y % picture.Height()); });
}

Sway::Sway(const DesktopSession& session, const std::string& extraConfig, const std::vector<std::string>& variables)
    : runtime_(session.Folder() / "sway")
{
    // Its runtime folder and configuration belong to "nobody" when this runs as root.
    const bool root = ::getuid() == 0;
    std::filesystem::create_directories(runtime_);
    ::chmod(session.Folder().c_str(), 0711);
    ::chmod(runtime_.c_str(), 0700);
    const auto ready = session.Folder() / "sway-ready";
    ::mkfifo(ready.c_str(), 0666);
    ::chmod(ready.c_str(), 0666);
    const auto config = session.Folder() / "sway.config";
    std::ofstream(config) << extraConfig << "\n"
                          << "output * bg #000000 solid_color\n"
                          << "exec sh -c 'echo \"$WAYLAND_DISPLAY $SWAYSOCK\" > " << ready.string() << "'\n";
    ::chmod(config.c_str(), 0644);
    if (root && ::chown(runtime_.c_str(), 65534, 65534) != 0) {
        failure_ = "cannot give the runtime folder to nobody";
        return;
    }
    // Opened for writing too, so the wait sees the line and never an end of file.
    const int fifo = ::open(ready.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    std::vector<std::string> argv{"env",
                                  "-u",
                                  "DISPLAY",
                                  "-u",
                                  "WAYLAND_DISPLAY",
                                  "HOME=" + runtime_.string(),
                                  "XDG_RUNTIME_DIR=" + runtime_.string(),
                                  "WLR_BACKENDS=headless",
                                  "WLR_RENDERER=pixman",
                                  "WLR_LIBINPUT_NO_DEVICES=1"};
    argv.insert(argv.end(), variables.begin(), variables.end());
    if (root)
        argv.insert(argv.end(), {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"});
    argv.insert(argv.end(), {"sway", "-c", config.string()});
    program_ = session.Start(argv);

    const std::string line = fifo >= 0 ? ReadFirstLine(fifo, 20) : std::string();
    if (fifo >= 0)
        ::close(fifo);
    const size_t blank = line.find(' ');
    const size_t end = line.find('\n');
    if (blank == std::string::npos || end == std::string::npos) {
        failure_ = "sway did not start (see sway.log)";
        return;
    }
    display_ = line.substr(0, blank);
    socket_ = line.substr(blank + 1, end - blank - 1);
}

Screen Sway::Screenshot() const
{
    // grim writes a binary PPM: "P6", width, height, 255, then RGB triples.
    const std::string command =
        "XDG_RUNTIME_DIR='" + runtime_.string() + "' WAYLAND_DISPLAY='" + display_ + "' grim -t ppm - 2>/dev/null";
    Screen screen;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        return screen;
    int maximum = 0;
    if (std::fscanf(pipe, "P6 %d %d %d", &screen.width, &screen.height, &maximum) == 3 && maximum == 255 &&
        std::fgetc(pipe) != EOF && screen.width > 0 && screen.height > 0) {
        std::vector<uint8_t> bytes(size_t(screen.width) * size_t(screen.height) * 3);
        if (std::fread(bytes.data(), 1, bytes.size(), pipe) == bytes.size()) {
            screen.pixels.resize(bytes.size() / 3);
            for (size_t i = 0; i < screen.pixels.size(); ++i)
                screen.pixels[i] = MakeRgb(bytes[3 * i], bytes[3 * i + 1], bytes[3 * i + 2]);
        }
    }
    ::pclose(pipe);
    if (screen.pixels.empty())
        screen = Screen{};
    return screen;
}

int MonitorCount(Display* display)
{
    int count = 0;
    XRRFreeMonitors(XRRGetMonitors(display, DefaultRootWindow(display), True, &count));
    return count;
}

UserSession::UserSession(const DesktopSession& session) : session_(session), folder_(session.Folder() / "user")
{
    const bool root = ::getuid() == 0;
    for (const char* name : {"home", "config", "data", "cache", "runtime"})
        std::filesystem::create_directories(folder_ / name);
    ::chmod((folder_ / "runtime").c_str(), 0700);
    ::chmod(session.Folder().c_str(), 0711); // the pictures saved there are the user's to read
    if (root &&
        (::chown(folder_.c_str(), 65534, 65534) != 0 ||
         std::system(
             ("chown -R 65534:65534 '" + folder_.string() + "' && xhost +si:localuser:nobody >/dev/null").c_str()) !=
             0)) {
        failure_ = "cannot give the folders or the display to nobody";
        return;
    }
    bus_ = StartSessionBus(folder_ / "runtime", AsUser({}), true);
    if (!bus_->Ready())
        failure_ = "the user's dbus-daemon did not report an address";
}

std::vector<std::string> UserSession::AsUser(const std::vector<std::string>& argv) const
{
    std::vector<std::string> command{"env",
                                     "HOME=" + (folder_ / "home").string(),
                                     "XDG_CONFIG_HOME=" + (folder_ / "config").string(),
                                     "XDG_DATA_HOME=" + (folder_ / "data").string(),
                                     "XDG_CACHE_HOME=" + (folder_ / "cache").string(),
                                     "XDG_RUNTIME_DIR=" + (folder_ / "runtime").string(),
                                     "QT_QPA_PLATFORM=xcb"};
    if (::getuid() == 0)
        command.insert(command.end(), {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"});
    command.insert(command.end(), argv.begin(), argv.end());
    return command;
}

std::unique_ptr<SessionProgram> UserSession::Start(const std::vector<std::string>& argv,
                                                   const std::vector<std::string>& variables) const
{
    std::vector<std::string> command{"env", "DBUS_SESSION_BUS_ADDRESS=" + BusAddress()};
    command.insert(command.end(), variables.begin(), variables.end());
    const auto user = AsUser(argv);
    command.insert(command.end(), user.begin(), user.end());
    const std::string log =
        (session_.Folder() / (std::filesystem::path(argv.at(0)).filename().string() + ".log")).string();
    return std::make_unique<SessionProgram>(std::move(command), log);
}

Pixmap RootPixmapProperty(Display* display, const char* name)
{
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    Pixmap pixmap = None;
    if (XGetWindowProperty(display, DefaultRootWindow(display), XInternAtom(display, name, False), 0, 1, False,
                           AnyPropertyType, &type, &format, &count, &after, &data) == Success &&
        data && type == XA_PIXMAP && format == 32 && count == 1)
        pixmap = *reinterpret_cast<Pixmap*>(data);
    if (data)
        XFree(data);
    return pixmap;
}

namespace {
int g_xErrors = 0;
} // namespace

bool PixmapAlive(Display* display, Pixmap pixmap)
{
    XSync(display, False);
    g_xErrors = 0;
    const XErrorHandler previous = XSetErrorHandler([](Display*, XErrorEvent*) { return ++g_xErrors, 0; });
    Window root;
    int x, y;
    unsigned width, height, border, depth;
    XGetGeometry(display, pixmap, &root, &x, &y, &width, &height, &border, &depth);
    XSync(display, False);
    XSetErrorHandler(previous);
    return g_xErrors == 0;
}

Bitmap ScreenPicture(int width, int height, int seed)
{
    Bitmap picture(width, height, 24);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            picture.SetPixelRgb(x, y,
                                MakeRgb(uint8_t(40 + (x * 3 + seed * 70) % 200),
                                        uint8_t(30 + (y * 4 + seed * 50) % 210),
                                        uint8_t(60 + (x + y + seed * 90) % 190)));
    return picture;
}

Bitmap SmoothPicture(int width, int height, int seed)
{
    Bitmap picture(width, height, 24);
    const auto wave = [](double phase) { return uint8_t(std::lround(140 + 100 * std::sin(phase))); };
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            picture.SetPixelRgb(x, y, MakeRgb(wave(x / 9.0 + seed), wave(y / 7.0 + 2 * seed), wave((x + y) / 13.0)));
    return picture;
}

Screen PlacedReference(const std::string& pictureFile, WallpaperPlacement placement, int width, int height,
                       const std::vector<PixelRect>& monitors)
{
    std::string areas;
    for (const PixelRect& m : monitors)
        areas += (areas.empty() ? "" : ";") + std::to_string(m.x) + "," + std::to_string(m.y) + "," +
                 std::to_string(m.width) + "," + std::to_string(m.height);
    const std::string out = pictureFile + ".reference";
    // Debian's own interpreter, which python3-pil serves (not one a user put first on the PATH).
    std::vector<std::string> argv{
        "/usr/bin/python3",     VORLANE_TEST_SCRIPTS "/placed_reference.py", pictureFile, std::to_string(width),
        std::to_string(height), std::string(PlacementName(placement)),       areas,       out};
    std::vector<char*> args;
    for (std::string& a : argv)
        args.push_back(a.data());
    args.push_back(nullptr);
    pid_t child = -1;
    int status = -1;
    if (::posix_spawnp(&child, args[0], nullptr, nullptr, args.data(), environ) != 0 ||
        ::waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        ADD_FAILURE() << "python3 with Pillow (python3-pil) could not compute the reference";
        return {};
    }
    std::ifstream file(out, std::ios::binary);
    std::vector<uint8_t> bytes(size_t(width) * size_t(height) * 3);
    if (!file.read(reinterpret_cast<char*>(bytes.data()), std::streamsize(bytes.size()))) {
        ADD_FAILURE() << "the reference " << out << " is short";
        return {};
    }
    Screen screen{width, height, std::vector<Rgb>(size_t(width) * size_t(height))};
    for (size_t i = 0; i < screen.pixels.size(); ++i)
        screen.pixels[i] = MakeRgb(bytes[3 * i], bytes[3 * i + 1], bytes[3 * i + 2]);
    return screen;
}

ScreenDifference Difference(const Screen& actual, const Screen& expected, const PixelRect& area)
{
    if (actual.width != expected.width || actual.height != expected.height || actual.pixels.empty())
        return {255, 1};
    double total = 0;
    size_t far = 0, count = 0;
    for (int y = std::max(0, area.y); y < std::min(actual.height, area.y + area.height); ++y)
        for (int x = std::max(0, area.x); x < std::min(actual.width, area.x + area.width); ++x) {
            int worst = 0;
            for (const int shift : {0, 8, 16}) {
                const int d =
                    std::abs(int((actual.At(x, y) >> shift) & 0xFF) - int((expected.At(x, y) >> shift) & 0xFF));
                total += d;
                worst = std::max(worst, d);
            }
            far += worst > 32;
            ++count;
        }
    return count ? ScreenDifference{total / (3.0 * double(count)), double(far) / double(count)} : ScreenDifference{};
}

} // namespace vorlane::test
