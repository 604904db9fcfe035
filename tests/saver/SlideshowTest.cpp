// vorlane-saver's options, in the two spellings XScreenSaver's settings and users write, and the order of
// its pictures.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "platform/Exceptions.h"
#include "saver/Slideshow.h"

namespace vorlane::saver {
namespace {

TEST(SaverOptions, TakeOneOrTwoDashesAndRefuseWhatTheyCannotUse)
{
    const Options options = ParseOptions({"-root", "--delay", "2.5", "-random"});
    EXPECT_TRUE(options.root);
    EXPECT_DOUBLE_EQ(options.delaySeconds, 2.5);
    EXPECT_TRUE(options.random);
    EXPECT_EQ(ParseOptions({"--window-id", "0x1a00004"}).windowId, 0x1a00004ul);
    EXPECT_EQ(ParseOptions({"-window-id", "27262980"}).windowId, 27262980ul);
    EXPECT_DOUBLE_EQ(ParseOptions({}).delaySeconds, 10);
    // XScreenSaver's settings preview adds its window to the command, --root and all.
    EXPECT_EQ(ParseOptions({"--root", "--delay", "10", "--window-id", "0x2008CD"}).windowId, 0x2008CDul);
    for (const std::vector<std::string>& wrong : std::vector<std::vector<std::string>>{{"--delay", "0"},
                                                                                       {"--delay", "10s"},
                                                                                       {"--delay", "nan"},
                                                                                       {"--delay"},
                                                                                       {"--window-id", "-5"},
                                                                                       {"--window-id", "0"},
                                                                                       {"--window-id", "12x"},
                                                                                       {"---root"},
                                                                                       {"gallery"}})
        EXPECT_THROW(ParseOptions(wrong), UsageError) << wrong[0];
}

TEST(PictureOrder, GoesRoundInOrderOrShuffledEachPictureOnceARoundNeverTwiceInARow)
{
    PictureOrder ordered(3, false);
    std::vector<size_t> seen;
    for (int i = 0; i < 7; ++i)
        seen.push_back(ordered.Next());
    EXPECT_EQ(seen, (std::vector<size_t>{0, 1, 2, 0, 1, 2, 0}));

    for (const size_t count : {size_t(2), size_t(5)}) {
        PictureOrder random(count, true);
        size_t previous = count;
        for (int round = 0; round < 200; ++round) {
            std::vector<size_t> shown;
            for (size_t i = 0; i < count; ++i) {
                shown.push_back(random.Next());
                ASSERT_NE(shown.back(), previous) << "round " << round;
                previous = shown.back();
            }
            std::sort(shown.begin(), shown.end());
            for (size_t i = 0; i < count; ++i)
                ASSERT_EQ(shown[i], i);
        }
    }
    PictureOrder one(1, true);
    EXPECT_EQ(one.Next(), 0u);
    EXPECT_EQ(one.Next(), 0u);
}

TEST(Slideshow, PassesOverPicturesThatFailSayingSoOnceAndGivesUpATurnOnlyWhenAllFail)
{
    std::set<std::string> failing{"b.jpg"};
    std::vector<std::string> reports;
    const Slideshow::Report report = [&](const std::string& line) { reports.push_back(line); };
    const Slideshow::Draw draw = [&](const std::string& picture) -> uintptr_t {
        if (failing.count(picture))
            throw Exception("cannot");
        return picture == "c.jpg" ? 0 : picture[0]; // the screen refuses c.jpg, which is said nowhere
    };
    Slideshow slideshow({"a.jpg", "b.jpg", "c.jpg", "d.jpg"}, false);
    std::string shown;
    for (int turn = 0; turn < 5; ++turn)
        shown += char(slideshow.DrawNext(draw, report));
    EXPECT_EQ(shown, "adada");
    EXPECT_EQ(reports, std::vector<std::string>{"b.jpg: cannot"});

    failing = {"a.jpg", "b.jpg", "d.jpg"};
    EXPECT_EQ(slideshow.DrawNext(draw, report), 0u);
    EXPECT_EQ(slideshow.DrawNext(draw, report), 0u);
    EXPECT_EQ(reports, (std::vector<std::string>{"b.jpg: cannot", "d.jpg: cannot", "a.jpg: cannot"}));
    EXPECT_EQ(Slideshow({}, true).DrawNext(draw, report), 0u);
}

} // namespace
} // namespace vorlane::saver
