// What the window tests share: a program folder and a settings folder of their own, dialogs that answer
// from a script, and error boxes that are recorded instead of shown.
#pragma once

#include <deque>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/Dialogs.h"
#include "tests/TestFiles.h"
#include "wallpaper/Desktop.h"

namespace vorlane::test {

class ScriptedDialogs final : public DialogRunner {
public:
    // Next answers: files chosen (none = Cancel) and names typed (none = Cancel).
    std::deque<std::optional<std::vector<std::string>>> files;
    std::deque<std::optional<std::string>> names;
    std::vector<TOpenDialog> shown; // the settings each file dialog was shown with

    bool Execute(TOpenDialog& dialog) override;
    // Types the name into GskForm's edit box as the user would.
    std::optional<std::string> AskGalleryName() override;
};

// A desktop that only records what it is asked to do.
class RecordingDesktop final : public Desktop {
public:
    bool SystemParametersInfo(uint32_t action, uint32_t, const char* param, uint32_t) override
    {
        wallpapers.push_back(action == SPI_SETDESKWALLPAPER && param ? param : "?");
        return applies;
    }
    void BroadcastSettingChange(const char* section) override { broadcasts.push_back(section); }

    std::vector<std::string> wallpapers;
    std::vector<std::string> broadcasts;
    bool applies = true; // what the system-parameter call answers
};

class AppTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    std::string Program() const { return program_.string() + "/"; }
    std::filesystem::path ProgramPath(const std::string& name) const { return program_ / name; }
    std::filesystem::path IniPath() const { return config_ / "Vorlane.ini"; }
    void WriteIni(const std::string& content) const;
    std::string ReadIni() const;

    const ScratchFolder scratch_{"vorlane-app"};
    const std::filesystem::path root_ = scratch_.Path();
    std::filesystem::path program_;
    std::filesystem::path config_;
    std::vector<std::string> errors_; // texts of the error boxes, in order
    ScriptedDialogs dialogs_;
    RecordingDesktop desktop_;
};

} // namespace vorlane::test
