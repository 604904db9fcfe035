// What the tests of the window's commands share, with no toolkit: a program folder and a settings file
// of their own, dialogs that answer from a script, a desktop and a front end that record what they are
// asked. Both systems' builds run the tests built on it; the Qt window's tests add their widgets to it.
#pragma once

#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/Dialogs.h"
#include "app/MainWindowFrontEnd.h"
#include "tests/TestFiles.h"
#include "wallpaper/Desktop.h"

namespace vorlane::test {

class ScriptedDialogs final : public DialogRunner {
public:
    // Next answers: files chosen (none = Cancel) and names typed (none = Cancel).
    std::deque<std::optional<std::vector<std::string>>> files;
    std::deque<std::optional<std::string>> names;
    std::vector<TOpenDialog> shown; // the settings each file dialog was shown with
    // Told each name typed, as the user types it into the name dialog's edit box.
    std::function<void(const std::string&)> onTyped;

    bool Execute(TOpenDialog& dialog) override;
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

// Progress that records each step and asks to stop once `stopAt` things are done.
class RecordingProgress final : public WorkProgress {
public:
    RecordingProgress(std::vector<size_t>& steps, size_t stopAt) : steps_(steps), stopAt_(stopAt) {}
    bool Step(size_t done) override
    {
        steps_.push_back(done);
        return done < stopAt_;
    }

private:
    std::vector<size_t>& steps_;
    size_t stopAt_;
};

// A window of no toolkit: what the commands ask of it is recorded, and errors go where the front ends'
// error boxes show them.
class RecordingFrontEnd final : public MainWindowFrontEnd {
public:
    void SetCaption(const std::string& text) override { caption = text; }
    void ShowNotice(const std::string& text) override { notices.push_back(text); }
    void ShowError(const std::string& text) override { errors.push_back(text); }
    LockWait AskWhileBusy(const std::string& text) override
    {
        asked.push_back(text);
        return answers.empty() ? LockWait::GiveUp : answers.at(asked.size() - 1);
    }
    void CheckWallpaperStyle(WallpaperPlacement placement) override { checked = placement; }
    WindowRect WindowArea() const override { return window; }
    void PlaceWindow(const WindowRect& area) override { window = area; }
    std::vector<WindowRect> MonitorAreas() const override { return monitors; }
    std::optional<int> ScreenBitsPerPixel() const override { return 24; }
    void WatchGalleryFile(const std::string& file, const std::string& folder) override { watched = {file, folder}; }
    std::unique_ptr<WorkProgress> BeginProgress(const std::string& text, size_t total) override
    {
        progress.push_back(text + " " + std::to_string(total));
        return std::make_unique<RecordingProgress>(steps, stopAt);
    }

    std::string caption;
    std::vector<std::string> notices;
    std::vector<std::string> errors;
    std::vector<std::string> asked;
    std::vector<LockWait> answers; // the answers to the asks, in turn
    std::optional<WallpaperPlacement> checked;
    WindowRect window;
    std::vector<WindowRect> monitors;
    std::pair<std::string, std::string> watched;
    std::vector<std::string> progress; // text and total of each progress begun
    std::vector<size_t> steps;
    size_t stopAt = SIZE_MAX;
};

// The program folder and the settings file of one test.
class ProgramFolderTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // The program folder, with its separator.
    std::string Program() const;
    // Names in the system's code page, as the program spells them.
    std::string ProgramPath(const std::string& name) const { return Program() + name; }
    std::string Picture(const std::string& name) const;
    static bool Exists(const std::string& file);
    // The settings file, its lines ending in "\n" here whatever the system writes (Windows' profile
    // functions end them in CR LF).
    std::string IniPath() const;
    void WriteIni(const std::string& content) const;
    std::string ReadIni() const;

    const ScratchFolder scratch_{"vorlane-app"};
    const std::filesystem::path root_ = scratch_.Path();
    const std::filesystem::path program_ = root_ / "program";
    const std::filesystem::path config_ = root_ / "config";
    ScriptedDialogs dialogs_;
    RecordingDesktop desktop_;
};

} // namespace vorlane::test
