#include "tests/app/CommandsFixture.h"

#include <cstdlib>

#include "TestSystemCalls.h"
#include "platform/FileSystem.h"
#include "platform/Path.h"
#include "platform/Profile.h"

namespace vorlane::test {

namespace fs = std::filesystem;

bool ScriptedDialogs::Execute(TOpenDialog& dialog)
{
    shown.push_back(dialog);
    if (files.empty())
        ADD_FAILURE() << "a file dialog was not expected";
    if (files.empty() || !files.front()) {
        if (!files.empty())
            files.pop_front();
        return false;
    }
    dialog.Files = *files.front();
    dialog.FileName = dialog.Files.empty() ? std::string() : dialog.Files.front();
    files.pop_front();
    return true;
}

std::optional<std::string> ScriptedDialogs::AskGalleryName()
{
    if (names.empty()) {
        ADD_FAILURE() << "the name dialog was not expected";
        return std::nullopt;
    }
    const std::optional<std::string> name = names.front();
    names.pop_front();
    if (name && onTyped)
        onTyped(*name);
    return name;
}

void ProgramFolderTest::SetUp()
{
    fs::create_directories(program_);
    fs::create_directories(config_);
    fs::create_directories(root_ / "pictures");
    // Linux keeps the settings file in XDG_CONFIG_HOME; Windows in its own folder, where no other test
    // program's file may stay behind.
    ::setenv("XDG_CONFIG_HOME", config_.string().c_str(), 1);
    std::error_code ignored;
    fs::remove(IniPath(), ignored);
    path::SetProgramFolderForTesting(Program());
}

void ProgramFolderTest::TearDown()
{
    path::SetProgramFolderForTesting({});
    std::error_code ignored;
    fs::remove(IniPath(), ignored);
}

std::string ProgramFolderTest::Program() const
{
    return program_.string() + path::Separator();
}

std::string ProgramFolderTest::Picture(const std::string& name) const
{
    return (root_ / "pictures").string() + path::Separator() + name;
}

bool ProgramFolderTest::Exists(const std::string& file)
{
    return files::EntryKindOf(file) != files::Kind::None;
}

std::string ProgramFolderTest::IniPath() const
{
    return ProfileFilePath("Vorlane.ini");
}

#ifdef _WIN32
constexpr std::string_view SystemLineEnd = "\r\n";
#else
constexpr std::string_view SystemLineEnd = "\n";
#endif

void ProgramFolderTest::WriteIni(const std::string& content) const
{
    std::string text;
    for (const char c : content)
        text += c == '\n' ? SystemLineEnd : std::string_view(&c, 1);
    WriteFile(IniPath(), text);
}

std::string ProgramFolderTest::ReadIni() const
{
    std::string text = ReadText(IniPath());
    std::erase(text, '\r');
    return text;
}

} // namespace vorlane::test
