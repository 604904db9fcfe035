// Test support: a temporary settings folder (XDG_CONFIG_HOME, where the registry store lives) and
// program folder ("Temp.bmp"), removed again at the end.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/Path.h"
#include "platform/Registry.h"
#include "tests/TestFiles.h"

namespace vorlane::test {

class Sandbox : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::filesystem::create_directories(folder_ / "config");
        std::filesystem::create_directories(folder_ / "program");
        ::setenv("XDG_CONFIG_HOME", (folder_ / "config").c_str(), 1);
        path::SetProgramFolderForTesting((folder_ / "program").string() + "/");
    }
    void TearDown() override
    {
        path::SetProgramFolderForTesting("");
        ::unsetenv("XDG_CONFIG_HOME");
    }

    std::string File(const std::string& name) const { return (folder_ / name).string(); }

public:
    // A value under "Control Panel\Desktop", as another program would have stored it.
    static void StoreDesktopValue(const std::string& name, uint32_t type, const std::string& data)
    {
        const auto key = registry::CreateKey(registry::Root, "Control Panel\\Desktop");
        ASSERT_TRUE(key);
        ASSERT_EQ(
            registry::SetValue(*key, name, type, std::span(reinterpret_cast<const uint8_t*>(data.data()), data.size())),
            registry::Result::Ok);
    }
    static void StoreDesktopString(const std::string& name, const std::string& text)
    {
        StoreDesktopValue(name, REG_SZ, text + '\0');
    }
    // The text of a string value under "Control Panel\Desktop" up to its NUL; "<missing>" when absent.
    static std::string DesktopString(const std::string& name)
    {
        const auto key = registry::OpenKey(registry::Root, "Control Panel\\Desktop");
        registry::Value value;
        if (!key || registry::QueryValue(*key, name, SIZE_MAX, value) != registry::Result::Ok)
            return "<missing>";
        std::string text(value.data.begin(), value.data.end());
        return text.substr(0, text.find('\0'));
    }

protected:
    const ScratchFolder scratch_{"vorlane-wallpaper"};
    const std::filesystem::path folder_ = scratch_.Path();
};

} // namespace vorlane::test
