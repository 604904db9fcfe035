// vorlane-saver's command line, the order its pictures come in and which of them each turn shows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

namespace vorlane::saver {

inline constexpr const char* ProgramName = "vorlane-saver";

// Wrong usage: shown with a hint to --help; exit status 2.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct Options {
    bool help = false;
    bool version = false;
    bool root = false;                     // --root: the virtual root window
    std::optional<unsigned long> windowId; // --window-id ID, which wins over --root
    double delaySeconds = 10;              // --delay SECONDS: how long each picture shows
    bool random = false;                   // --random: shuffled, not the gallery's order
};

inline constexpr double MinDelaySeconds = 0.1;
inline constexpr double MaxDelaySeconds = 24 * 60 * 60;

// Parses argv[1..]. Each option also takes one dash, as XScreenSaver's hacks write theirs ("-root").
// Throws UsageError.
Options ParseOptions(const std::vector<std::string>& arguments);
std::string HelpText();
// A delay as --delay takes it: seconds from MinDelaySeconds to MaxDelaySeconds. Throws UsageError.
double ParseDelaySeconds(const std::string& text);

// The order of `count` pictures: the gallery's, round after round, or shuffled anew each round, never
// showing the same picture twice in a row when there are two or more.
class PictureOrder {
public:
    PictureOrder(size_t count, bool random);
    size_t Next();

private:
    void Shuffle();

    std::vector<size_t> round_;
    size_t at_ = 0;
    bool random_;
    std::mt19937 generator_;
};

// The pictures of a gallery as their turns come: each turn draws the next picture of the order that can
// be drawn, passing over those that fail, and gives up for that turn once a whole round drew none.
class Slideshow {
public:
    // Draws a picture, ready to be shown: a handle of the screen's (0 when the screen refused), or
    // raises the picture's Exception (EFOpenError, EInvalidGraphic, EJPEG, ...).
    using Draw = std::function<uintptr_t(const std::string& picture)>;
    // Told each picture that fails, once, with the reason.
    using Report = std::function<void(const std::string& line)>;

    Slideshow(std::vector<std::string> pictures, bool random);
    // The next picture drawn; 0 when none of a whole round could be.
    uintptr_t DrawNext(const Draw& draw, const Report& report);

private:
    std::vector<std::string> pictures_;
    PictureOrder order_;
    std::set<size_t> reported_;
};

} // namespace vorlane::saver
