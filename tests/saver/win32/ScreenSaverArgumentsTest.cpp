// The command lines the system starts a screen saver with, in the spellings its versions and users write.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "saver/Slideshow.h"
#include "saver/win32/ScreenSaverArguments.h"

namespace vorlane::saver {
namespace {

TEST(ScreenSaverArguments, TakeEverySpellingOfTheThreeModesAndRefuseTheRest)
{
    const struct {
        std::vector<std::string> arguments;
        ScreenSaverMode mode;
        uintptr_t window;
    } cases[] = {
        {{}, ScreenSaverMode::Settings, 0},
        {{"/s"}, ScreenSaverMode::FullScreen, 0},
        {{"/S"}, ScreenSaverMode::FullScreen, 0},
        {{"-s"}, ScreenSaverMode::FullScreen, 0},
        {{"/p", "1234"}, ScreenSaverMode::Preview, 1234},
        {{"/P:65746"}, ScreenSaverMode::Preview, 65746},
        {{"/c"}, ScreenSaverMode::Settings, 0},
        {{"/c:4325"}, ScreenSaverMode::Settings, 4325},
        {{"/C", "77"}, ScreenSaverMode::Settings, 77},
        {{"/c:"}, ScreenSaverMode::Settings, 0},
    };
    for (const auto& c : cases) {
        const ScreenSaverArguments parsed = ParseScreenSaverArguments(c.arguments);
        EXPECT_EQ(parsed.mode, c.mode) << testing::PrintToString(c.arguments);
        EXPECT_EQ(parsed.window, c.window) << testing::PrintToString(c.arguments);
    }
    const std::vector<std::vector<std::string>> wrong = {
        {"/p"},        {"/p:"},
        {"/p", "0"},   {"/p", "-5"},
        {"/p", "12x"}, {"/p:0x10"},
        {"/s", "5"},   {"/s:5"},
        {"/a"},        {"s"},
        {"/"},         {"/c", "1", "2"},
        {"/settings"}, {"/p", "99999999999999999999999"},
    };
    for (const std::vector<std::string>& arguments : wrong)
        EXPECT_THROW(ParseScreenSaverArguments(arguments), UsageError) << testing::PrintToString(arguments);
}

} // namespace
} // namespace vorlane::saver
