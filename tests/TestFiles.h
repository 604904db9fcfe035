// Test support: whole files written and read back in one call, and a scratch folder of a test's own.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace vorlane::test {

inline void WriteFile(const std::filesystem::path& file, std::span<const uint8_t> bytes)
{
    std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
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

// A new empty folder "<prefix>-XXXXXX" in the system's temporary folder, removed with all it holds when
// the object goes. A folder that cannot be made throws: a test fixture holding one then fails before
// it runs.
class ScratchFolder {
public:
    explicit ScratchFolder(const std::string& prefix)
    {
        std::string pattern = (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
        if (!::mkdtemp(pattern.data()))
            throw std::runtime_error("no scratch folder " + pattern);
        path_ = pattern;
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
