#include "tools/vorlane-wallpaper/Rotation.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <filesystem>
#include <numeric>
#include <random>

#include "component/ComponentReader.h"
#include "component/Stream.h"
#include "gallery/CurrentGallery.h"
#include "gallery/Vorlane1.h"
#include "image/PictureFile.h"
#include "platform/Exceptions.h"
#include "platform/FolderLock.h"
#include "platform/Path.h"
#include "platform/ReplacedFile.h"
#include "tools/vorlane-gsk/Text.h"
#include "tools/vorlane-wallpaper/RotationPositions.h"

namespace vorlane::wallpapertool {
namespace {

namespace fs = std::filesystem;

std::optional<Step> StepCommand(const std::string& word)
{
    if (word == "next")
        return Step::Next;
    if (word == "previous")
        return Step::Previous;
    if (word == "random")
        return Step::Random;
    return std::nullopt;
}

// The gallery's pictures, read as the window's load reads them: under the folder's lock, after an
// in-place save killed half-way was undone. Only the names: the thumbnails that follow are not needed.
std::vector<std::string> GalleryPictures(const std::string& galleryFile)
{
    if (!fs::is_regular_file(galleryFile))
        throw EFOpenError(Format(msg::FOpenError, gsk::TerminalText(galleryFile).c_str()));
    const FolderLock lock(galleryFile);
    ReplacedFile::Recover(galleryFile);
    TVorlane gallery;
    TFileStream file(galleryFile, TFileStream::Mode::OpenRead);
    ComponentReader(file).ReadComponent(gallery);
    std::vector<std::string> pictures;
    for (int i = 0; i < gallery.FileNames().Count(); ++i)
        pictures.push_back(gallery.FileNames().Get(i));
    return pictures;
}

// The entries to try, in turn, from the current one (-1: none yet). Next and previous go round the
// gallery once, ending at the current entry; random takes every entry holding another picture in a random
// order, then those holding the current one, so it repeats the current picture only when no other
// picture can be shown.
std::vector<int> Candidates(Step step, int current, const std::vector<std::string>& pictures)
{
    const int count = static_cast<int>(pictures.size());
    std::vector<int> order;
    if (step == Step::Random) {
        std::vector<int> others;
        std::vector<int> same;
        for (int i = 0; i < count; ++i)
            (current >= 0 && pictures[i] == pictures[current] ? same : others).push_back(i);
        std::mt19937 random{std::random_device{}()};
        std::shuffle(others.begin(), others.end(), random);
        order = std::move(others);
        order.insert(order.end(), same.begin(), same.end());
        return order;
    }
    const int start = current >= 0 ? current : (step == Step::Next ? -1 : count);
    for (int n = 1; n <= count; ++n) {
        const int offset = step == Step::Next ? n : -n;
        order.push_back(((start + offset) % count + count) % count);
    }
    return order;
}

} // namespace

int64_t ParsePeriod(const std::string& text)
{
    const char* const begin = text.data();
    const char* const end = begin + text.size();
    uint64_t amount = 0;
    const auto [stop, error] = std::from_chars(begin, end, amount);
    const std::string unit(stop, end);
    uint64_t scale = 0;
    if (unit == "ms")
        scale = 1;
    else if (unit.empty() || unit == "s")
        scale = 1000;
    else if (unit == "m")
        scale = 60 * 1000;
    else if (unit == "h")
        scale = 60 * 60 * 1000;
    const uint64_t longest = uint64_t(MaximumPeriodMs);
    if (error != std::errc() || stop == begin || scale == 0 || amount > longest / scale)
        throw UsageError("'" + text + "' is not a period such as 30m, 45s, 2h or 500ms");
    const int64_t period = int64_t(amount * scale);
    if (period < MinimumPeriodMs)
        throw UsageError("the period must be at least " + std::to_string(MinimumPeriodMs) + "ms");
    return period;
}

std::string PeriodText(int64_t periodMs)
{
    constexpr struct {
        int64_t ms;
        const char* unit;
    } Units[] = {{60 * 60 * 1000, "h"}, {60 * 1000, "m"}, {1000, "s"}};
    for (const auto& unit : Units)
        if (periodMs % unit.ms == 0)
            return std::to_string(periodMs / unit.ms) + unit.unit;
    return std::to_string(periodMs) + "ms";
}

std::optional<RotationInvocation> ParseRotationArguments(const std::vector<std::string>& arguments)
{
    bool options = true;
    std::vector<std::string> words;
    std::vector<std::string> given;
    std::optional<std::string> every;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (options && argument == "--") {
            options = false;
        } else if (options && argument == "--every") {
            if (i + 1 == arguments.size())
                throw UsageError("--every needs a period such as 30m");
            every = arguments[++i];
        } else if (options && argument.rfind("--every=", 0) == 0) {
            every = argument.substr(8);
        } else if (options && argument.size() > 1 && argument[0] == '-') {
            given.push_back(argument);
        } else {
            words.push_back(argument);
        }
    }
    // Another command (and --help, --version) is set's, restore's or show's.
    if (words.empty() || (words[0] != "rotate" && !StepCommand(words[0])))
        return std::nullopt;
    if (std::any_of(given.begin(), given.end(),
                    [](const std::string& o) { return o == "-h" || o == "--help" || o == "--version"; }))
        return std::nullopt;

    RotationInvocation invocation;
    const std::string command = words[0];
    if (const auto step = StepCommand(command)) {
        invocation.step = *step;
        if (!given.empty() || every)
            throw UsageError(command + " takes no options: the picture is placed as recorded (see set)");
    } else {
        invocation.command = RotationInvocation::Command::Rotate;
        for (const std::string& option : given) {
            if (option == "--random")
                invocation.step = Step::Random;
            else if (option == "--stop")
                invocation.command = RotationInvocation::Command::Stop;
            else if (option == "--at-login")
                invocation.atLogin = true;
            else
                throw UsageError("unknown option '" + option + "'");
        }
        const bool stop = invocation.command == RotationInvocation::Command::Stop;
        if (stop && (every || invocation.step == Step::Random || words.size() > 1))
            throw UsageError("rotate --stop takes no other option than --at-login, and no gallery");
        if (!stop && !every)
            throw UsageError("rotate needs --every and a period such as 30m");
        if (every)
            invocation.periodMs = ParsePeriod(*every);
    }
    if (words.size() > 2)
        throw UsageError(command + " takes at most one gallery file");
    if (words.size() == 2) {
        invocation.gallery = path::ExpandFileName(words[1]);
        if (path::AsciiLowerCase(path::ExtractFileExt(invocation.gallery)) != ".gsk")
            throw UsageError("'" + words[1] + "' is not a gallery file name: it must end in \".gsk\"");
    }
    return invocation;
}

std::string RotationGallery(const std::string& named)
{
    std::string file = named;
    if (file.empty()) {
        TVorlane current;
        current.SetManagerName(CurrentGalleryName());
        file = current.GalleryFileName();
    }
    file = path::ExpandFileName(file);
    return file;
}

ExitStatus ChangeWallpaper(const std::string& galleryFile, Step step)
{
    // One change at a time: a second one starts from where the first one left the gallery.
    const std::string positionsFile = PositionsFile();
    std::error_code ignored;
    fs::create_directories(path::ExtractFileDir(positionsFile), ignored);
    const FolderLock lock(positionsFile);

    const std::vector<std::string> pictures = GalleryPictures(galleryFile);
    std::vector<RememberedPosition> positions = ReadPositions(positionsFile);
    const auto remembered = std::find_if(positions.begin(), positions.end(),
                                         [&](const RememberedPosition& p) { return p.gallery == galleryFile; });
    const int current = remembered == positions.end() ? -1 : CurrentIndex(*remembered, pictures);

    for (const int index : Candidates(step, current, pictures)) {
        const std::string& picture = pictures[index];
        std::unique_ptr<std::FILE, FileCloser> file;
        ExitStatus status = Done;
        try {
            file = OpenPictureFile(picture);
            status = SetOpenedPicture(picture, file.get(), std::nullopt);
        } catch (const EFCreateError&) {
            throw; // "Temp.bmp" or the record: no other picture would fare better
        } catch (const Exception& error) {
            Report("passed over entry " + std::to_string(index) + ": " + gsk::TerminalText(error.what()));
            continue;
        }
        if (remembered != positions.end())
            positions.erase(remembered);
        positions.insert(positions.begin(), RememberedPosition{galleryFile, index, picture});
        try {
            WritePositions(positionsFile, positions);
        } catch (const Exception& error) {
            Report("the position in the gallery is not remembered: " + gsk::TerminalText(error.what()));
        }
        return status;
    }
    Report("the gallery " + gsk::TerminalText(galleryFile) + " has no picture that can be shown");
    return Failed;
}

ExitStatus RunRotationCommand(const RotationInvocation& invocation)
{
    switch (invocation.command) {
    case RotationInvocation::Command::Change:
        return ChangeWallpaper(RotationGallery(invocation.gallery), invocation.step);
    case RotationInvocation::Command::Rotate:
        if (invocation.atLogin)
            SetRotationAtLogin(&invocation);
        return RunRotation(invocation);
    case RotationInvocation::Command::Stop:
        if (invocation.atLogin)
            SetRotationAtLogin(nullptr);
        return StopRotation();
    }
    return Failed;
}

} // namespace vorlane::wallpapertool
