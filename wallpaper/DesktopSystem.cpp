// The session's desktop: the registry records the settings, the X11 root window and GNOME show them.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "image/BmpFile.h"
#include "platform/Exceptions.h"
#include "platform/Registry.h"
#include "platform/RegistryIniFile.h"
#include "wallpaper/CWallPaper.h"
#include "wallpaper/Desktop.h"
#include "wallpaper/DesktopGnome.h"
#include "wallpaper/DesktopX11.h"

namespace vorlane {
namespace {

constexpr const char* DesktopKey = "Control Panel\\Desktop";

bool RecordWallpaper(const std::string& path)
{
    const auto key = registry::CreateKey(registry::Root, DesktopKey);
    return key && registry::SetValue(*key, "Wallpaper", REG_SZ, registry::StringData(path)) == registry::Result::Ok;
}

// "%NAME%" replaced by the environment variable's value; a name that is not set stays as it is.
std::string ExpandEnvironmentStrings(const std::string& text)
{
    std::string result;
    size_t at = 0;
    for (;;) {
        const size_t open = text.find('%', at);
        const size_t close = open == std::string::npos ? open : text.find('%', open + 1);
        if (close == std::string::npos)
            break;
        const std::string name = text.substr(open + 1, close - open - 1);
        const char* value = name.empty() ? nullptr : std::getenv(name.c_str());
        result.append(text, at, open - at);
        if (value) {
            result += value;
            at = close + 1;
        } else {
            result.append(text, open, close - open); // the closing "%" may open the next name
            at = close;
        }
    }
    result.append(text, at);
    return result;
}

// A recorded string value, an expandable one with its variables expanded; nothing when it is missing
// or not a string.
std::optional<std::string> RecordedString(const char* name)
{
    const auto key = registry::OpenKey(registry::Root, DesktopKey);
    registry::Value value;
    if (!key || registry::QueryValue(*key, name, SIZE_MAX, value) != registry::Result::Ok ||
        (value.type != REG_SZ && value.type != REG_EXPAND_SZ))
        return std::nullopt;
    std::string text(value.data.begin(), value.data.end());
    if (const size_t nul = text.find('\0'); nul != std::string::npos)
        text.resize(nul);
    return value.type == REG_EXPAND_SZ ? ExpandEnvironmentStrings(text) : text;
}

bool RecordedTiling()
{
    const auto text = RecordedString("TileWallPaper");
    return text && ParseRegistryInteger(*text).value_or(0) != 0;
}

bool HasX11Display()
{
    const char* display = std::getenv("DISPLAY");
    return display && *display;
}

struct Descriptor {
    int fd;
    ~Descriptor()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

// A bitmap file's rows, viewed where they lie in the file's bytes when it is stored uncompressed (the
// usual case, "Temp.bmp" included), or decoded when it is stored in another form.
class BitmapRows {
public:
    // EFOpenError when the file cannot be read, EInvalidGraphic when it is not a valid bitmap.
    explicit BitmapRows(const std::string& path)
    {
        const auto cannotOpen = [&] { return EFOpenError(Format(msg::FOpenError, path.c_str())); };
        const Descriptor file{::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)};
        const int fd = file.fd;
        if (fd < 0)
            throw cannotOpen();
        struct stat info {};
        if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))
            throw cannotOpen();
        // No valid bitmap is larger than its headers, a colour table and the largest picture's pixels.
        const size_t size = std::min<size_t>(size_t(info.st_size), Bitmap::MaxBytes + 4096);
        bytes_ = std::make_unique_for_overwrite<uint8_t[]>(size);
        size_t filled = 0;
        while (filled < size) {
            const ssize_t n = ::read(fd, bytes_.get() + filled, size - filled);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                throw cannotOpen();
            if (n == 0)
                break;
            filled += size_t(n);
        }
        const std::span<const uint8_t> data(bytes_.get(), filled);
        if (ViewBmpRows(data, view_))
            return;
        bytes_.reset();
        decoded_ = ReadBmp(data);
        view_ = BmpRowsView{decoded_.Width(), decoded_.Height(), decoded_.BitsPerPixel(), decoded_.Palette(),
                            decoded_.Row(0), ptrdiff_t(decoded_.Stride()), 0};
    }

    const BmpRowsView& View() const { return view_; }

private:
    std::unique_ptr<uint8_t[]> bytes_;
    Bitmap decoded_;
    BmpRowsView view_;
};

bool ApplyWallpaper(const std::string& path, bool tile)
{
    const bool x11 = HasX11Display();
    const bool gnome = GnomeBackgroundAvailable();
    if (path.empty() || path == NoWallPaperText) {
        const bool cleared = x11 && ClearX11RootWallpaper();
        return (gnome && SetGnomeBackground("", tile)) || cleared;
    }
    if (!x11 && !gnome)
        return false;
    // A file that is not a readable bitmap leaves the desktop as it is.
    std::optional<BitmapRows> picture;
    try {
        picture.emplace(path);
    } catch (const std::exception&) {
        return false;
    }
    const bool shown = x11 && SetX11RootWallpaper(picture->View(), tile);
    return (gnome && SetGnomeBackground(path, tile)) || shown;
}

class SessionDesktop final : public Desktop {
public:
    bool SystemParametersInfo(uint32_t action, uint32_t, const char* param, uint32_t winIni) override
    {
        if (action != SPI_SETDESKWALLPAPER || !param)
            return false;
        const std::string path(param);
        const bool recorded = !(winIni & SPIF_UPDATEINIFILE) || RecordWallpaper(path);
        return ApplyWallpaper(path, RecordedTiling()) && recorded;
    }

    void BroadcastSettingChange(const char* section) override
    {
        // The desktop answers a "Desktop" change by drawing its recorded wallpaper again; with none
        // recorded it leaves the screen alone.
        if (!section || std::strcmp(section, "Desktop") != 0)
            return;
        if (const auto path = RecordedString("Wallpaper"))
            ApplyWallpaper(*path, RecordedTiling());
    }
};

} // namespace

Desktop& SystemDesktop()
{
    static SessionDesktop desktop;
    return desktop;
}

} // namespace vorlane
