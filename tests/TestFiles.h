// Test support: whole files written and read back in one call, and a scratch folder of a test's own.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace vorlane::test {

inline void WriteFile(const std::filesystem::path& file, std::span<const uint8_t> bytes)
{
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

inline void WriteFile(const std::filesystem::path& file, std::string_view text)
{
    std::ofstream(file, std::ios::binary).write(text.data(), std::streamsize(text.size()));
}

// The file's bytes; empty when it cannot be read.
inline std::string ReadText(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline std::vector<uint8_t> ReadBytes(const std::filesystem::path& file)
{
    const std::string text = ReadText(file);
    return std::vector<uint8_t>(text.begin(), text.end());
}

// The same for a name spelt as the program spells it, in the system's code page (the ANSI code page on
// Windows, where std::filesystem takes narrow names as UTF-8).
inline void WriteFile(const std::string& file, std::string_view text)
{
    std::ofstream(file.c_str(), std::ios::binary).write(text.data(), std::streamsize(text.size()));
}

inline void WriteFile(const std::string& file, std::span<const uint8_t> bytes)
{
    WriteFile(file, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

inline std::string ReadText(const std::string& file)
{
    std::ifstream in(file.c_str(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A new empty folder "<prefix>-<random number>" in the system's temporary folder, for its owner alone,
// removed with all it holds when the object goes. A folder that cannot be made throws: a test fixture
// holding one then fails before it runs.
class ScratchFolder {
public:
    explicit ScratchFolder(const std::string& prefix)
    {
        std::random_device random;
        for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
            const auto folder = std::filesystem::temp_directory_path() / (prefix + "-" + std::to_string(random()));
            if (std::filesystem::create_directory(folder))
                path_ = folder;
        }
        if (path_.empty())
            throw std::runtime_error("no scratch folder " + prefix);
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all);
    }
    ~ScratchFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::filesystem::path& Path() const { return path_; }

private:
    std::filesystem::path path_;
};

} // namespace vorlane::test
