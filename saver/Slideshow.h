// vorlane-saver's command line and the order its pictures come in.
#pragma once

#include <cstddef>
#include <optional>
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

} // namespace vorlane::saver
