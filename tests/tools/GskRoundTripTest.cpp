// vorlane-gsk as users run it: the program is started on gallery files in a scratch folder, and what it
// leaves is read back through the gallery component itself.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <set>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "TestSystemCalls.h"
#include "image/BmpFile.h"
#include "gallery/ImageList.h"
#include "gallery/Thumbnail.h"
#include "gallery/Vorlane1.h"
#include "tests/TestFiles.h"
#include "tools/vorlane-gsk/Json.h"
#include "tools/vorlane-gsk/Placeholder.h"
#include "tests/gallery/WindowsGallery.h"
#include "tests/image/JpegEncode.h"

extern char** environ;

using namespace vorlane;
using vorlane::test::WindowsGallery;
namespace fs = std::filesystem;

namespace {

struct Result {
    int status = -1;
    std::string out;
    std::string err;
};

using test::ReadBytes;
using test::ReadText;

std::vector<std::string> TemporaryFiles(const fs::path& dir)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir))
        if (entry.path().filename().string().starts_with(".vorlane-"))
            names.push_back(entry.path().filename().string());
    return names;
}

// How often a run calls each system call, as strace counts them.
std::map<std::string, int> SystemCallCounts(const std::string& summary)
{
    std::map<std::string, int> counts;
    std::istringstream lines(summary);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        std::vector<std::string> columns;
        for (std::string word; words >> word;)
            columns.push_back(word);
        // % time, seconds, usecs/call, calls, [errors,] syscall
        if (columns.size() >= 5 && std::isdigit(static_cast<unsigned char>(columns[3][0])) && columns.back() != "total")
            counts[columns.back()] = std::stoi(columns[3]);
    }
    return counts;
}

class GskRoundTrip : public ::testing::Test {
protected:
    void SetUp() override
    {
        bmp_ = (dir_ / "a.bmp").string();
        jpg_ = (dir_ / "b.jpg").string();
        missing_ = (dir_ / "gone.jpg").string();
        gallery_ = (dir_ / "g.gsk").string();
        test::WriteFile(bmp_, WriteBmp(test::TestPicture(40, 30, 1)));
        test::WriteFile(jpg_, test::EncodeJpeg(test::TestPicture(64, 48, 2)));
    }
    // Starts vorlane-gsk with `arguments` (after `wrapper`, a program that runs it, if any), from the
    // scratch folder; its outputs go to files named after `tag`. The process id, or -1.
    pid_t Start(const std::vector<std::string>& arguments, const std::string& tag = "",
                const std::vector<std::string>& wrapper = {})
    {
        const std::string outFile = (dir_ / ("stdout" + tag + ".txt")).string();
        const std::string errFile = (dir_ / ("stderr" + tag + ".txt")).string();
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        posix_spawn_file_actions_addopen(&actions, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        posix_spawn_file_actions_addchdir_np(&actions, dir_.string().c_str());
        std::vector<std::string> all = wrapper;
        all.push_back(VORLANE_GSK);
        all.insert(all.end(), arguments.begin(), arguments.end());
        std::vector<char*> argv;
        for (std::string& a : all)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        pid_t pid = 0;
        const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        return spawned == 0 ? pid : -1;
    }
    // Waits for a started run and collects its outcome.
    Result Finish(pid_t pid, const std::string& tag = "")
    {
        Result result;
        int status = 0;
        if (pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status))
            result.status = WEXITSTATUS(status);
        result.out = ReadText(dir_ / ("stdout" + tag + ".txt"));
        result.err = ReadText(dir_ / ("stderr" + tag + ".txt"));
        return result;
    }
    // Runs vorlane-gsk with `arguments`, from the scratch folder, capturing both outputs.
    Result Run(const std::vector<std::string>& arguments) { return Finish(Start(arguments)); }

    // A gallery of 200 entries (their pictures missing), for runs killed part-way.
    void AddManyPictures()
    {
        std::vector<std::string> many = {"add", "g.gsk"};
        for (int i = 0; i < 200; ++i)
            many.push_back("p" + std::to_string(i) + ".jpg");
        ASSERT_EQ(Run(many).status, 0);
    }
    // How often a run under strace makes each system call.
    std::map<std::string, int> CountCalls(const std::vector<std::string>& arguments)
    {
        std::vector<std::string> counting = Traced;
        counting.insert(counting.end(), {"-c", "-o", summary_});
        EXPECT_EQ(Finish(Start(arguments, "", counting)).status, 0);
        return SystemCallCounts(ReadText(summary_));
    }
    // Runs with the n-th `call` killed: whether it was (it may end before).
    bool RunKilled(const std::vector<std::string>& arguments, const std::string& call, int n)
    {
        std::vector<std::string> killing = Traced;
        killing.insert(killing.end(), {"-o", "/dev/null", "-e", "trace=" + call, "-e",
                                       "inject=" + call + ":signal=KILL:when=" + std::to_string(n)});
        const pid_t pid = Start(arguments, "", killing);
        int status = 0;
        EXPECT_EQ(waitpid(pid, &status, 0), pid);
        return (WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) ||
               (WIFEXITED(status) && WEXITSTATUS(status) == 128 + SIGKILL);
    }

    // The gallery as the program would load it.
    std::unique_ptr<TVorlane> Load(const std::string& file)
    {
        auto gallery = std::make_unique<TVorlane>();
        gallery->SetManagerName(file);
        gallery->LoadGallery();
        return gallery;
    }

    const test::ScratchFolder scratch_{"vorlane-gsk"};
    const fs::path dir_ = scratch_.Path();
    std::string bmp_, jpg_, missing_, gallery_;
    // The leak checker of a sanitized build cannot work in a traced process.
    const std::vector<std::string> Traced = {"env", "ASAN_OPTIONS=detect_leaks=0", "strace", "-f", "-qq"};
    const std::string summary_ = (dir_ / "syscalls.txt").string();
};

std::string JsonEntries(const std::vector<std::string>& names)
{
    std::string text = "\"entries\":[";
    for (size_t i = 0; i < names.size(); ++i)
        text += (i ? "," : "") + gsk::JsonString(names[i]);
    return text + "]";
}

TEST_F(GskRoundTrip, AddMoveRemoveShowCheckKeepsAValidExactFile)
{
    Result add = Run({"add", "g.gsk", "a.bmp", "b.jpg", "gone.jpg"});
    ASSERT_EQ(add.status, 0) << add.err;

    // Relative operands are stored as absolute paths; the new gallery is named after its file.
    Result shown = Run({"show", "--json", "g.gsk"});
    ASSERT_EQ(shown.status, 0) << shown.err;
    EXPECT_NE(shown.out.find(JsonEntries({bmp_, jpg_, missing_})), std::string::npos) << shown.out;
    EXPECT_NE(shown.out.find("\"managerName\":" + gsk::JsonString(gallery_)), std::string::npos) << shown.out;
    EXPECT_NE(shown.out.find("\"initialDir\":" + gsk::JsonString(dir_.string())), std::string::npos) << shown.out;
    EXPECT_NE(shown.out.find(R"("formLeft":0,"formTop":0,"formWidth":600,"formHeight":400)"), std::string::npos);
    EXPECT_NE(shown.out.find(R"("images":{"count":4,"width":32,"height":32,"bitsPerPixel":)"), std::string::npos);

    // The drag rule: entry 0 dropped on entry 2 ends just before it.
    ASSERT_EQ(Run({"move", "g.gsk", "0", "2"}).status, 0);
    EXPECT_NE(Run({"show", "--json", "g.gsk"}).out.find(JsonEntries({jpg_, bmp_, missing_})), std::string::npos);
    ASSERT_EQ(Run({"move", "g.gsk", "2", "0"}).status, 0);
    EXPECT_NE(Run({"show", "--json", "g.gsk"}).out.find(JsonEntries({missing_, jpg_, bmp_})), std::string::npos);
    // The number of entries is the place after the last one.
    Result last = Run({"move", "g.gsk", "0", "3"});
    ASSERT_EQ(last.status, 0) << last.err;
    EXPECT_NE(last.out.find("entry 0 is now entry 2"), std::string::npos) << last.out;
    EXPECT_NE(Run({"show", "--json", "g.gsk"}).out.find(JsonEntries({jpg_, bmp_, missing_})), std::string::npos);
    ASSERT_EQ(Run({"remove", "g.gsk", "2"}).status, 0);

    Result check = Run({"check", "g.gsk"});
    EXPECT_EQ(check.status, 0) << check.err;
    EXPECT_NE(check.out.find("ok (2 entries, 3 images)"), std::string::npos) << check.out;

    // Exact: the program loads the file and saves it again byte for byte the same, and holds the pictures'
    // own thumbnails after the tool's placeholder.
    const std::vector<uint8_t> written = ReadBytes(gallery_);
    const auto loaded = Load(gallery_);
    loaded->SaveGallery();
    EXPECT_EQ(ReadBytes(gallery_), written);

    EXPECT_EQ(loaded->FileNames().Items(), (std::vector<std::string>{jpg_, bmp_}));
    const TImageList& images = loaded->Images();
    ASSERT_EQ(images.Count(), 3);
    TImageList placeholder(nullptr, 32, 32);
    const Bitmap image = gsk::PlaceholderImage(), mask = gsk::PlaceholderMask();
    placeholder.Add(image, &mask);
    EXPECT_EQ(images.Image(0), placeholder.Image(0));
    EXPECT_EQ(images.Mask(0), placeholder.Mask(0));
    EXPECT_EQ(images.Image(1), MakeThumbnail(jpg_, placeholder, 24));
    EXPECT_EQ(images.Image(2), MakeThumbnail(bmp_, placeholder, 24));
}

TEST_F(GskRoundTrip, ShowListsEntriesAndGeometryAsText)
{
    ASSERT_EQ(Run({"add", "g.gsk", "b.jpg", "a.bmp"}).status, 0);
    Result shown = Run({"show", "g.gsk"});
    ASSERT_EQ(shown.status, 0);
    EXPECT_NE(shown.out.find("   0  " + jpg_ + "\n   1  " + bmp_ + "\n"), std::string::npos) << shown.out;
    EXPECT_NE(shown.out.find("left 0, top 0, width 600, height 400"), std::string::npos);
    EXPECT_NE(shown.out.find("3 of 32x32"), std::string::npos);
}

// A name is bytes from a file: shown on a terminal, its control characters are escaped, so that it can
// neither retitle the terminal nor forge a line of the listing.
TEST_F(GskRoundTrip, ShowEscapesControlCharactersOfNames)
{
    ASSERT_EQ(Run({"add", "g.gsk", "\x1b]0;owned\x07\n   1  x\x7f\xC2\x85.jpg"}).status, 0);
    const Result shown = Run({"show", "g.gsk"});
    ASSERT_EQ(shown.status, 0);
    EXPECT_EQ(shown.out.find_first_of("\x1b\x07\x7f"), std::string::npos) << shown.out;
    EXPECT_EQ(shown.out.find("\xC2\x85"), std::string::npos);
    EXPECT_NE(shown.out.find("   0  " + dir_.string() + "/\\x1B]0;owned\\x07\\x0A   1  x\\x7F\\u0085.jpg\n"),
              std::string::npos)
        << shown.out;
}

TEST_F(GskRoundTrip, ThumbsWritesAllImagesSideBySide)
{
    ASSERT_EQ(Run({"add", "g.gsk", "a.bmp", "b.jpg"}).status, 0);
    ASSERT_EQ(Run({"thumbs", "g.gsk", "sheet.png"}).status, 0);
    const std::vector<uint8_t> png = ReadBytes(dir_ / "sheet.png");
    ASSERT_GT(png.size(), 24u);
    EXPECT_EQ(std::string(png.begin() + 12, png.begin() + 16), "IHDR");
    EXPECT_EQ((png[16] << 24) | (png[17] << 16) | (png[18] << 8) | png[19], 3 * 32) << "placeholder and two";
    EXPECT_EQ((png[20] << 24) | (png[21] << 16) | (png[22] << 8) | png[23], 32);
}

TEST_F(GskRoundTrip, FailuresLeaveTheFileAsItWas)
{
    ASSERT_EQ(Run({"add", "g.gsk", "a.bmp"}).status, 0);
    const std::vector<uint8_t> before = ReadBytes(gallery_);

    Result range = Run({"remove", "g.gsk", "5"});
    EXPECT_EQ(range.status, 1);
    EXPECT_NE(range.err.find("リストのインデックスが範囲を超えています (5)"), std::string::npos) << range.err;

    // A picture that is not a JPEG: the error names it, and no picture of the command is added.
    test::WriteFile(dir_ / "text.jpg", "not a jpeg");
    Result bad = Run({"add", "g.gsk", "b.jpg", "text.jpg"});
    EXPECT_EQ(bad.status, 1);
    EXPECT_NE(bad.err.find((dir_ / "text.jpg").string() + ": JPEG エラー #"), std::string::npos) << bad.err;

    EXPECT_EQ(Run({"move", "g.gsk", "0", "x"}).status, 2);
    Result pastEnd = Run({"move", "g.gsk", "0", "2"});
    EXPECT_EQ(pastEnd.status, 1);
    EXPECT_NE(pastEnd.err.find("リストのインデックスが範囲を超えています (2)"), std::string::npos) << pastEnd.err;
    EXPECT_EQ(ReadBytes(gallery_), before);

    Result missing = Run({"show", "nothere.gsk"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("ファイル " + (dir_ / "nothere.gsk").string() + " は開けません"), std::string::npos);
    EXPECT_FALSE(fs::exists(dir_ / "nothere.gsk"));

    Result notGallery = Run({"add", "list.txt", "a.bmp"});
    EXPECT_EQ(notGallery.status, 2);
    EXPECT_FALSE(fs::exists(dir_ / "list.txt")) << "nor list.gsk";
    EXPECT_FALSE(fs::exists(dir_ / "list.gsk"));
}

TEST_F(GskRoundTrip, CheckReportsDamageWithTheProgramsMessage)
{
    ASSERT_EQ(Run({"add", "g.gsk", "a.bmp", "b.jpg"}).status, 0);
    const std::vector<uint8_t> whole = ReadBytes(gallery_);

    std::vector<uint8_t> cut(whole.begin(), whole.begin() + long(whole.size() - 100));
    test::WriteFile(gallery_, cut);
    Result truncated = Run({"check", "g.gsk"});
    EXPECT_EQ(truncated.status, 1);
    EXPECT_NE(truncated.err.find("ストリームからの読み込みエラー"), std::string::npos) << truncated.err;

    std::vector<uint8_t> signature = whole;
    signature[3] = 'X';
    test::WriteFile(gallery_, signature);
    Result wrong = Run({"check", "g.gsk"});
    EXPECT_EQ(wrong.status, 1);
    EXPECT_NE(wrong.err.find("不正なストリーム フォーマット"), std::string::npos) << wrong.err;

    // The program would load this one; only a strict reading notices the bytes after the image list.
    std::vector<uint8_t> longer = whole;
    longer.push_back(0);
    test::WriteFile(gallery_, longer);
    Result trailing = Run({"check", "g.gsk"});
    EXPECT_EQ(trailing.status, 1);
    EXPECT_NE(trailing.err.find("1 bytes after the image list"), std::string::npos) << trailing.err;
}

TEST_F(GskRoundTrip, EditingACopiedGalleryWritesTheCopyAndNamesItThere)
{
    ASSERT_EQ(Run({"add", "g.gsk", "a.bmp"}).status, 0);
    const std::vector<uint8_t> original = ReadBytes(gallery_);
    fs::create_directory(dir_ / "copy");
    fs::copy_file(gallery_, dir_ / "copy" / "c.gsk");

    Result add = Run({"add", "copy/c.gsk", "b.jpg"});
    ASSERT_EQ(add.status, 0) << add.err;
    EXPECT_EQ(ReadBytes(gallery_), original) << "the gallery the copy came from is not touched";
    const auto copy = Load((dir_ / "copy" / "c.gsk").string());
    EXPECT_EQ(copy->ManagerName(), (dir_ / "copy" / "c.gsk").string());
    EXPECT_EQ(copy->FileNames().Count(), 2);
}

// A gallery made on Japanese Windows, beside the scratch folder's pictures.
class WindowsGalleryTool : public GskRoundTrip {
protected:
    void SetUp() override
    {
        GskRoundTrip::SetUp();
        file_ = (dir_ / "旅行.gsk").string();
        test::WriteFile(file_, windows_.File());
    }
    void Touch(const fs::path& relative)
    {
        fs::create_directories((dir_ / relative).parent_path());
        test::WriteFile(dir_ / relative, "x");
    }
    // The entries as the program reads them, after checking that the thumbnails and the name are the
    // file's own and that the file is exact (the program writes back the same bytes).
    std::vector<std::string> Entries()
    {
        const auto gallery = Load(file_);
        EXPECT_EQ(gallery->StoredManagerName(), windows_.managerName);
        for (int i = 0; i < gallery->Images().Count(); ++i)
            EXPECT_EQ(gallery->Images().Image(i), WindowsGallery::Image(size_t(i))) << i;
        TMemoryStream written;
        gallery->WriteStreams(written);
        EXPECT_EQ(written.Bytes(), ReadBytes(file_));
        EXPECT_EQ(Run({"check", "旅行.gsk"}).status, 0);
        return gallery->FileNames().Items();
    }

    WindowsGallery windows_;
    std::string file_;
};

TEST_F(WindowsGalleryTool, ShowGivesTheJapaneseNames)
{
    const std::vector<uint8_t> before = ReadBytes(file_);
    Result text = Run({"show", "旅行.gsk"});
    ASSERT_EQ(text.status, 0) << text.err;
    EXPECT_NE(text.out.find("ManagerName:    C:\\Vorlane\\旅行\nName:           旅行\nInitialDir:     C:\\写真\n"),
              std::string::npos)
        << text.out;
    EXPECT_NE(text.out.find("   0  C:\\写真\\夏休み.jpg\n   1  C:\\写真\\ソ表\\能.bmp\n   2  C:\\写真\\表.jpg\n"
                            "   3  D:\\ソ.jpg\n"),
              std::string::npos)
        << text.out;

    Result json = Run({"show", "--json", "旅行.gsk"});
    ASSERT_EQ(json.status, 0) << json.err;
    EXPECT_NE(json.out.find(R"("managerName":"C:\\Vorlane\\旅行","name":"旅行","initialDir":"C:\\写真")"),
              std::string::npos)
        << json.out;
    EXPECT_NE(json.out.find(JsonEntries(
                  {R"(C:\写真\夏休み.jpg)", R"(C:\写真\ソ表\能.bmp)", R"(C:\写真\表.jpg)", R"(D:\ソ.jpg)"})),
              std::string::npos)
        << json.out;
    EXPECT_EQ(ReadBytes(file_), before);
}

TEST_F(WindowsGalleryTool, RelinkMovesAFolderGivenInEitherStyle)
{
    Touch("pics/夏休み.jpg");
    Touch("pics/ソ表/能.bmp");
    const std::vector<uint8_t> before = ReadBytes(file_);
    const std::string pics = (dir_ / "pics").string();

    Result dry = Run({"relink", "旅行.gsk", "--dry-run", "c:/写真/", "pics"});
    ASSERT_EQ(dry.status, 0) << dry.err;
    EXPECT_EQ(ReadBytes(file_), before) << "a dry run writes nothing";
    EXPECT_EQ(dry.out, "   0  found      C:\\写真\\夏休み.jpg -> " + pics +
                           "/夏休み.jpg\n"
                           "   1  found      C:\\写真\\ソ表\\能.bmp -> " +
                           pics +
                           "/ソ表/能.bmp\n"
                           "   2  missing    C:\\写真\\表.jpg -> " +
                           pics +
                           "/表.jpg\n"
                           "   3  missing    D:\\ソ.jpg\n" +
                           file_ + ": 3 relinked, 2 found, 2 missing (dry run: nothing written)\n");

    Result real = Run({"relink", "旅行.gsk", "C:\\写真", "pics"});
    ASSERT_EQ(real.status, 0) << real.err;
    EXPECT_EQ(Entries(), (std::vector<std::string>{pics + "/夏休み.jpg", pics + "/ソ表/能.bmp", pics + "/表.jpg",
                                                   windows_.entries[3]}));

    // Then a folder of this system, moved again.
    fs::rename(dir_ / "pics", dir_ / "moved");
    Result native = Run({"relink", "旅行.gsk", pics, "moved/"});
    ASSERT_EQ(native.status, 0) << native.err;
    EXPECT_NE(native.out.find(": 3 relinked, 2 found, 2 missing\n"), std::string::npos) << native.out;
    EXPECT_EQ(Entries()[1], (dir_ / "moved/ソ表/能.bmp").string());

    // Nothing under FROM: the file is not even rewritten.
    const fs::file_time_type written = fs::last_write_time(file_);
    const std::vector<uint8_t> relinked = ReadBytes(file_);
    EXPECT_EQ(Run({"relink", "旅行.gsk", "E:\\", "pics"}).status, 0);
    EXPECT_EQ(ReadBytes(file_), relinked);
    EXPECT_EQ(fs::last_write_time(file_), written);

    EXPECT_EQ(Run({"relink", "旅行.gsk", "C:\\写真", "D:\\new"}).status, 2) << "the new folder is one of this system";
    EXPECT_EQ(Run({"relink", "旅行.gsk", "--search", "pics", "more"}).status, 2);
    EXPECT_EQ(Run({"relink", "旅行.gsk", "C:\\写真"}).status, 2);
}

TEST_F(WindowsGalleryTool, SearchRelinksUniqueNamesOnlyAndListsAmbiguousOnes)
{
    Touch("lib/a/夏休み.JPG"); // a Windows name matches in any letter case
    Touch("lib/b/能.bmp");
    Touch("lib/x/ソ.jpg");
    Touch("lib/y/ソ.jpg");
    const std::vector<uint8_t> before = ReadBytes(file_);
    const std::string lib = (dir_ / "lib").string();

    Result dry = Run({"relink", "--dry-run", "旅行.gsk", "--search", "lib"});
    ASSERT_EQ(dry.status, 0) << dry.err;
    EXPECT_EQ(ReadBytes(file_), before);

    Result real = Run({"relink", "旅行.gsk", "--search", "lib"});
    ASSERT_EQ(real.status, 0) << real.err;
    EXPECT_EQ(real.out, dry.out.substr(0, dry.out.rfind(" (dry run")) + "\n");
    EXPECT_EQ(real.out, "   0  found      C:\\写真\\夏休み.jpg -> " + lib +
                            "/a/夏休み.JPG\n"
                            "   1  found      C:\\写真\\ソ表\\能.bmp -> " +
                            lib +
                            "/b/能.bmp\n"
                            "   2  missing    C:\\写真\\表.jpg\n"
                            "   3  ambiguous  D:\\ソ.jpg\n"
                            "                 " +
                            lib +
                            "/x/ソ.jpg\n"
                            "                 " +
                            lib + "/y/ソ.jpg\n" + file_ + ": 2 relinked, 2 found, 1 missing, 1 ambiguous\n");
    EXPECT_EQ(Entries(), (std::vector<std::string>{lib + "/a/夏休み.JPG", lib + "/b/能.bmp", windows_.entries[2],
                                                   windows_.entries[3]}));
}

// Edits of one gallery started at the same moment each start from the other's result: every picture
// added lands, and the picture removed is gone.
TEST_F(GskRoundTrip, EditsAtTheSameTimeAllLand)
{
    std::vector<std::string> thousand = {"add", "g.gsk"};
    for (int i = 0; i < 1000; ++i)
        thousand.push_back("p" + std::to_string(i) + ".jpg"); // missing pictures: placeholder thumbnails
    ASSERT_EQ(Run(thousand).status, 0);
    std::vector<std::string> nine = {"add", "g.gsk"};
    for (int i = 0; i < 9; ++i)
        nine.push_back("n" + std::to_string(i) + ".jpg");

    int expected = 1000;
    for (int round = 0; round < 5; ++round) {
        const pid_t first = Start(nine, "1"), second = Start(nine, "2"), third = Start({"remove", "g.gsk", "0"}, "3");
        for (const auto& [pid, tag] : {std::pair(first, "1"), std::pair(second, "2"), std::pair(third, "3")}) {
            const Result result = Finish(pid, tag);
            EXPECT_EQ(result.status, 0) << result.err;
        }
        expected += 9 + 9 - 1;
        EXPECT_EQ(Load(gallery_)->FileNames().Count(), expected) << "round " << round;
    }
}

// A save killed at any system call leaves the old gallery or the new one, never a mix, and the next save
// clears away the temporary file of the one that was killed.
TEST_F(GskRoundTrip, SaveKilledAtAnyPointLeavesTheOldOrTheNewGallery)
{
    AddManyPictures();
    const std::vector<std::string> addOne = {"add", "g.gsk", "a.bmp"};
    std::map<std::string, int> counts = CountCalls(addOne);
    std::erase_if(counts, [](const auto& count) {
        static const std::set<std::string> onFiles = {"openat",     "read",       "write",  "lseek",  "fsync",
                                                      "rename",     "close",      "flock",  "unlink", "fchmod",
                                                      "getdents64", "newfstatat", "pread64"};
        return !onFiles.count(count.first);
    });
    int total = 0;
    for (const auto& [name, count] : counts)
        total += count;
    // The 600 KB file goes out in a few large writes: kills land before, between and after them.
    ASSERT_GT(counts["write"], 3) << ReadText(summary_);

    std::mt19937 random(20261207);
    int killed = 0, entries = Load(gallery_)->FileNames().Count();
    for (int round = 0; round < 130; ++round) {
        // A random point: the n-th call of one system call, chosen in proportion to how often it is made.
        int pick = std::uniform_int_distribution<int>(0, total - 1)(random);
        std::string call;
        for (const auto& [name, count] : counts) {
            if (pick < count) {
                call = name;
                break;
            }
            pick -= count;
        }
        const std::vector<uint8_t> before = ReadBytes(gallery_);
        killed += RunKilled(addOne, call, pick + 1);

        const int now = Load(gallery_)->FileNames().Count();
        if (now == entries)
            EXPECT_EQ(ReadBytes(gallery_), before) << call << " " << pick + 1;
        else
            EXPECT_EQ(now, entries + 1) << call << " " << pick + 1;
        EXPECT_LE(TemporaryFiles(dir_).size(), 1u) << "only the last killed save's may be left";
        entries = now;
    }
    EXPECT_GE(killed, 100);
    ASSERT_EQ(Run(addOne).status, 0);
    EXPECT_TRUE(TemporaryFiles(dir_).empty());
    EXPECT_EQ(Run({"check", "g.gsk"}).status, 0);
}

// A save in place (the gallery has a second name) killed at any call on a file or folder: the next
// program to open the gallery finds the old version or the new one, never the new content followed by
// the old one's tail, and both names still lead to one file.
TEST_F(GskRoundTrip, InPlaceSaveKilledAtEveryCallLeavesTheOldOrTheNewGallery)
{
    AddManyPictures();
    const std::string second = (dir_ / "second.gsk").string();
    ASSERT_EQ(::link(gallery_.c_str(), second.c_str()), 0);
    const std::vector<uint8_t> old = ReadBytes(gallery_);
    const std::vector<std::string> removeOne = {"remove", "g.gsk", "0"}; // shorter: the old tail must go
    const std::map<std::string, int> counts = CountCalls(removeOne);
    const std::vector<uint8_t> fresh = ReadBytes(gallery_);
    ASSERT_LT(fresh.size(), old.size());
    ASSERT_EQ(ReadBytes(second), fresh);

    int killed = 0;
    for (const char* call : {"openat", "read", "pread64", "write", "pwrite64", "lseek", "ftruncate", "fsync", "close",
                             "flock", "rename", "unlink", "mkdir", "chmod", "fchmod", "newfstatat", "getdents64"}) {
        const auto count = counts.find(call);
        for (int n = 1; count != counts.end() && n <= count->second; ++n) {
            test::WriteFile(gallery_, old); // in place: the second name sees it too
            killed += RunKilled(removeOne, call, n);

            Load(gallery_);
            const std::vector<uint8_t> now = ReadBytes(gallery_);
            EXPECT_TRUE(now == old || now == fresh) << call << " #" << n << ": " << now.size() << " bytes";
            EXPECT_EQ(ReadBytes(second), now) << call << " #" << n;
        }
    }
    EXPECT_GE(killed, 100) << ReadText(summary_);
    EXPECT_EQ(Run({"check", "g.gsk"}).status, 0);
}

TEST_F(GskRoundTrip, HelpAndUsage)
{
    Result help = Run({"--help"});
    EXPECT_EQ(help.status, 0);
    for (const char* command : {"show", "add", "remove", "move", "thumbs", "check", "relink"})
        EXPECT_NE(help.out.find(command), std::string::npos);
    Result own = Run({"move", "--help"});
    EXPECT_EQ(own.status, 0);
    EXPECT_NE(own.out.find("just before"), std::string::npos);
    Result none = Run({});
    EXPECT_EQ(none.status, 2);
    EXPECT_NE(none.err.find("--help"), std::string::npos);
    EXPECT_TRUE(none.out.empty());
}

} // namespace
