#include "tests/app/AppFixture.h"

#include <cstdlib>

#include <QApplication>
#include <QLineEdit>

#include "app/qt/ErrorReport.h"
#include "app/qt/GskFormUnit.h"
#include "platform/Path.h"

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
    if (name)
        GskForm->GskEdit->setText(QString::fromStdString(*name));
    return name;
}

void AppTest::SetUp()
{
    program_ = root_ / "program";
    config_ = root_ / "config";
    fs::create_directories(program_);
    fs::create_directories(config_);
    ::setenv("XDG_CONFIG_HOME", config_.c_str(), 1);
    path::SetProgramFolderForTesting(Program());
    SetErrorPresenter([this](const std::string&, const std::string& text) { errors_.push_back(text); });
    GskForm = new TGskForm;
}

void AppTest::TearDown()
{
    delete GskForm;
    GskForm = nullptr;
    SetErrorPresenter({});
    path::SetProgramFolderForTesting({});
}

void AppTest::WriteIni(const std::string& content) const
{
    WriteFile(IniPath(), content);
}

std::string AppTest::ReadIni() const
{
    return ReadText(IniPath());
}

} // namespace vorlane::test

// fontconfig keeps some of its font-matching data for the life of the process, unreachable to the leak
// checker; it is not the program's to free.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig.so\n";
}

// Widgets need the application object before any test runs.
int main(int argc, char** argv)
{
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
