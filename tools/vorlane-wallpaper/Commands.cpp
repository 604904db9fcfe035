#include "tools/vorlane-wallpaper/Commands.h"

#include <algorithm>
#include <charconv>
#include <exception>
#include <filesystem>
#include <memory>

#include "component/ComponentReader.h"
#include "component/Stream.h"
#include "gallery/Vorlane1.h"
#include "image/PictureDecoder.h"
#include "image/PictureFile.h"
#include "platform/Exceptions.h"
#include "platform/FileSystem.h"
#include "platform/Path.h"
#include "sstp/FastSstp.h"
#include "sstp/WallpaperAnnouncement.h"
#include "tools/vorlane-wallpaper/Session.h"
#include "wallpaper/BitmapRows.h"
#include "wallpaper/CWallPaper.h"
#include "wallpaper/WallpaperFile.h"

namespace vorlane::wallpapertool {
namespace {

namespace fs = std::filesystem;

// The placement an option names: "--centre" (or "--center"), "--tile", "--fill", "--fit", "--stretch",
// "--span"; nothing for any other argument.
std::optional<WallpaperPlacement> PlacementOption(const std::string& argument)
{
    if (argument == "--centre" || argument == "--center")
        return WallpaperPlacement::Centred;
    if (argument == "--tile")
        return WallpaperPlacement::Tiled;
    for (const WallpaperPlacement placement : AllPlacements)
        if (IsScaled(placement) && argument == "--" + std::string(PlacementName(placement)))
            return placement;
    return std::nullopt;
}

// The picture a "set" names: a picture file (made absolute, since the path is recorded for later), or
// entry N of a gallery file, counted from 0 as vorlane-gsk counts them.
std::string PictureOperand(const std::vector<std::string>& operands)
{
    const std::string first = path::ExpandFileName(operands[0]);
    files::CheckPathLength(first);
    if (operands.size() == 1)
        return first;
    if (path::AsciiLowerCase(path::ExtractFileExt(first)) != ".gsk")
        throw UsageError("'" + operands[0] + "' is not a gallery file name: it must end in \".gsk\"");
    const std::string& text = operands[1];
    int index = -1;
    const auto [stop, error] = std::from_chars(text.data(), text.data() + text.size(), index);
    if (error != std::errc() || stop != text.data() + text.size() || index < 0)
        throw UsageError("'" + text + "' is not an entry index (a whole number from 0)");
    if (!fs::is_regular_file(first))
        throw EFOpenError(Format(msg::FOpenError, first.c_str()));
    TVorlane gallery;
    TFileStream file(first, TFileStream::Mode::OpenRead);
    ComponentReader(file).ReadComponent(gallery); // the names; the thumbnails that follow are not needed
    if (index >= gallery.FileNames().Count())
        throw EStringListError(Format(msg::ListIndexError, index));
    return gallery.FileNames().Get(index);
}

} // namespace

void Report(const std::string& message)
{
    std::fprintf(stderr, "%s: %s\n", ToolName, message.c_str());
}

Invocation ParseArguments(const std::vector<std::string>& arguments)
{
    Invocation invocation;
    bool options = true;
    std::vector<std::string> words;
    for (const std::string& argument : arguments) {
        if (options && argument == "--") {
            options = false;
        } else if (options && (argument == "-h" || argument == "--help")) {
            return Invocation{};
        } else if (options && argument == "--version") {
            invocation.command = Invocation::Command::Version;
            return invocation;
        } else if (const auto placement = options ? PlacementOption(argument) : std::nullopt) {
            if (invocation.placement && *invocation.placement != *placement)
                throw UsageError("--centre, --tile, --fill, --fit, --stretch and --span exclude each other");
            invocation.placement = placement;
        } else if (options && argument == "--watch") {
            invocation.watch = true;
        } else if (options && argument.size() > 1 && argument[0] == '-') {
            throw UsageError("unknown option '" + argument + "'");
        } else {
            words.push_back(argument);
        }
    }
    if (words.empty())
        throw UsageError("a command is needed: set, next, previous, random, rotate, restore or show");
    const std::string command = words[0];
    invocation.operands.assign(words.begin() + 1, words.end());
    const size_t count = invocation.operands.size();
    if (command == "set") {
        invocation.command = Invocation::Command::Set;
        if (count < 1 || count > 2)
            throw UsageError("set takes PICTURE, or GALLERY.gsk and an entry index");
    } else if (command == "restore" || command == "show") {
        invocation.command = command == "show" ? Invocation::Command::Show : Invocation::Command::Restore;
        if (count != 0)
            throw UsageError(command + " takes no operands");
        if (invocation.placement)
            throw UsageError("--centre, --tile, --fill, --fit, --stretch and --span go with set");
    } else {
        throw UsageError("unknown command '" + command + "'");
    }
    if (invocation.watch && invocation.command != Invocation::Command::Restore)
        throw UsageError("--watch goes with restore");
    return invocation;
}

// The picture formats this build reads beside bitmaps and JPEG, as "PNG, WebP, GIF, ".
static std::string FormatNames()
{
    std::string names;
    for (const PictureFormat& format : PictureFormats())
        names += std::string(format.name) + ", ";
    return names;
}

std::string HelpText()
{
    return std::string("Usage: ") + ToolName +
           " set [PLACEMENT] PICTURE\n"
           "       " +
           ToolName +
           " set [PLACEMENT] GALLERY.gsk N\n"
           "       " +
           ToolName +
           " next|previous|random [GALLERY.gsk]\n"
           "       " +
           ToolName +
           " rotate --every PERIOD [--random] [--at-login] [GALLERY.gsk]\n"
           "       " +
           ToolName +
           " rotate --stop [--at-login]\n"
           "       " +
           ToolName +
           " restore [--watch]\n"
           "       " +
           ToolName +
           " show\n"
           "\n"
           "Sets the desktop wallpaper as Vorlane's wallpaper button does, and brings it back at login.\n"
           "\n"
           "  set       Makes PICTURE, or entry N (counted from 0) of the gallery file, the wallpaper. A\n"
           "            bitmap (.bmp) is used as it is; any other picture (" +
           FormatNames() +
           "known by\n"
           "            their content, anything else as JPEG) is decoded into Temp.bmp in Vorlane's\n"
           "            folder. The picture is recorded, every desktop of the session is told,\n"
           "            and once one shows it the desktop mascot hears of it over SSTP.\n"
           "  next, previous, random\n"
           "            Makes the next, the previous or a random picture of the gallery file (the current\n"
           "            gallery, Manager in Vorlane.ini, when none is named) the wallpaper as set does, at\n"
           "            the recorded placement, and remembers the position for each gallery. Entries whose\n"
           "            picture is missing or cannot be read are passed over with a line each; random\n"
           "            never repeats the current picture when the gallery holds another.\n"
           "  rotate    Does the same every PERIOD (30m, 45s, 2h, 500ms; at least 100ms) until stopped,\n"
           "            the next picture or with --random a random one. One rotation runs per session:\n"
           "            a new one replaces the running one. A change missed while the computer slept\n"
           "            happens once at wake-up; a wallpaper set meanwhile by the window or by set\n"
           "            starts the period again. --stop ends the running rotation. On Windows,\n"
           "            --at-login also starts this rotation at each of your logins (--every), or no\n"
           "            longer (--stop); elsewhere the autostart entry does that (see the README).\n"
           "  restore   Shows the recorded wallpaper again on the desktops that forget it when the session\n"
           "            ends (the X root window, sway, swaybg), silently. Run at login by the autostart\n"
           "            entry. With --watch it also leaves a watcher running while the X display lasts\n"
           "            (one per display) that draws the recorded wallpaper on the root window again\n"
           "            whenever a monitor is plugged in, removed or resized.\n"
           "  show      Prints the recorded wallpaper and placement and the desktops of this session.\n"
           "\n"
           "Placements (one; it is kept for later wallpapers, as the window's wallpaper menu keeps it):\n"
           "  --centre, --center  centre the picture at its own size on each monitor\n"
           "  --tile              tile it from the top-left corner of the screen\n"
           "  --fill              scale it to cover each monitor, cut at the edges\n"
           "  --fit               scale it to fit each monitor whole, black around\n"
           "  --stretch           scale it to each monitor, proportions changed\n"
           "  --span              one picture across all monitors, covering them\n"
           "\n"
           "Options:\n"
           "  -h, --help          show this help\n"
           "  --version           show the version\n"
           "\n"
           "Exit status: 0 done; 1 the picture, the gallery or Temp.bmp failed; 2 wrong usage;\n"
           "3 recorded, but no desktop of this session showed it; 4 (restore) nothing recorded, a damaged\n"
           "record, or a recorded file that cannot be shown.\n";
}

ExitStatus Set(const Invocation& invocation)
{
    const std::string picture = PictureOperand(invocation.operands);
    // As the window does: a picture that cannot be read ends here, unrecorded.
    const auto file = OpenPictureFile(picture);
    return SetOpenedPicture(picture, file.get(), invocation.placement);
}

ExitStatus SetOpenedPicture(const std::string& picture, std::FILE* file, std::optional<WallpaperPlacement> placement)
{
    TComponent owner;
    TWallPaper* wallpaper = new TWallPaper(&owner);
    if (placement)
        wallpaper->RecordPlacement(*placement); // the new picture is drawn so, the old one not again
    const int depth = DisplayDepth();
    if (!SetPictureAsWallpaper(*wallpaper, picture, file, depth > 0 ? depth : 24)) {
        Report("the wallpaper is recorded, but no desktop of this session showed it");
        return NotShown;
    }
    AnnounceWallpaper(*CreateMainWindowFastSstp(&owner), picture);
    return Done;
}

ExitStatus Restore()
{
    std::unique_ptr<TWallPaper> wallpaper;
    try {
        wallpaper = std::make_unique<TWallPaper>(nullptr);
    } catch (const Exception& error) {
        Report("the recorded wallpaper settings are damaged: " + std::string(error.what()));
        return NothingToRestore;
    }
    if (wallpaper->NoWallPaper()) {
        Report("no wallpaper is recorded");
        return NothingToRestore;
    }
    std::unique_ptr<BitmapRows> picture;
    try {
        picture = std::make_unique<BitmapRows>(wallpaper->WallPaperFile());
    } catch (const Exception& error) {
        Report("the recorded wallpaper cannot be shown: " + std::string(error.what()));
        return NothingToRestore;
    }
    bool forgetful = false;
    const bool shown = ReapplyWhereForgotten(wallpaper->WallPaperFile(), wallpaper->Placement(), *picture, forgetful);
    if (!forgetful)
        return Done; // every desktop of this session keeps the wallpaper itself
    if (!shown) {
        Report("no desktop of this session showed the recorded wallpaper " + wallpaper->WallPaperFile());
        return NotShown;
    }
    return Done;
}

ExitStatus Show(std::FILE* out)
{
    try {
        const TWallPaper wallpaper(nullptr);
        std::fprintf(out, "wallpaper: %s\n", wallpaper.NoWallPaper() ? "none" : wallpaper.WallPaperFile().c_str());
        std::fprintf(out, "placement: %s\n", std::string(PlacementName(wallpaper.Placement())).c_str());
    } catch (const Exception& error) {
        std::fprintf(out, "wallpaper: damaged record (%s)\n", error.what());
    }
    std::fprintf(out, "Temp.bmp: %s\n", TempWallpaperPath().c_str());
    ListDesktops(out);
    return Done;
}

} // namespace vorlane::wallpapertool
