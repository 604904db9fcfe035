// What ReplacedFile does alike on every system: the names of its temporary files, content held for an
// in-place write, and which way Commit() goes.
#include "platform/ReplacedFile.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/Path.h"
#include "platform/ReplacedFileNames.h"

namespace vorlane {
namespace replaced {
namespace {

bool AllDigits(std::string_view text, bool hex)
{
    if (text.empty())
        return false;
    for (const char c : text)
        if (!(c >= '0' && c <= '9') && !(hex && c >= 'a' && c <= 'f'))
            return false;
    return true;
}

} // namespace

std::string FolderOf(const std::string& target)
{
    return path::ExtractFilePath(target);
}

std::string TemporaryFor(const std::string& target, unsigned long writer, uint64_t random)
{
    char name[64];
    std::snprintf(name, sizeof name, "%s%lu-%016llx%s", TemporaryPrefix, writer,
                  static_cast<unsigned long long>(random), TemporarySuffix);
    return FolderOf(target) + name;
}

std::optional<unsigned long> WriterOf(std::string_view name)
{
    if (!name.starts_with(TemporaryPrefix) || !name.ends_with(TemporarySuffix))
        return std::nullopt;
    name.remove_prefix(std::strlen(TemporaryPrefix));
    name.remove_suffix(std::strlen(TemporarySuffix));
    const bool former = name.starts_with("save-");
    if (former)
        name.remove_prefix(5);
    const size_t dash = name.find('-');
    // A process number takes at most 10 digits (32 bits).
    if (dash == std::string_view::npos || dash > 10 || !AllDigits(name.substr(0, dash), false) ||
        !AllDigits(name.substr(dash + 1), !former))
        return std::nullopt;
    const unsigned long long writer = std::stoull(std::string(name.substr(0, dash)));
    if (writer > 0xFFFFFFFFu)
        return std::nullopt;
    return static_cast<unsigned long>(writer);
}

} // namespace replaced

ReplacedFile::~ReplacedFile()
{
    if (state_ == State::Temporary && !committed_)
        DropTemporary();
    else if (fd_ >= 0)
        ::close(fd_);
}

bool ReplacedFile::Write(std::span<const uint8_t> bytes)
{
    return Put(bytes, -1);
}

bool ReplacedFile::WriteAt(uint64_t offset, std::span<const uint8_t> bytes)
{
    return Put(bytes, off_t(offset));
}

bool ReplacedFile::Put(std::span<const uint8_t> bytes, off_t at)
{
    if (state_ == State::Closed)
        return false;
    if (state_ == State::InPlace) {
        // Kept in memory until Commit(); `at` < 0 continues where the last append ended.
        const size_t from = at < 0 ? appendAt_ : size_t(at);
        if (content_.size() < from + bytes.size())
            content_.resize(from + bytes.size());
        std::copy(bytes.begin(), bytes.end(), content_.begin() + std::ptrdiff_t(from));
        if (at < 0)
            appendAt_ = from + bytes.size();
        return true;
    }
    failed_ = failed_ || !WriteTemporary(bytes, at);
    return !failed_;
}

bool ReplacedFile::Commit(bool sync)
{
    if (state_ == State::InPlace)
        return CommitInPlace();
    if (state_ != State::Temporary || fd_ < 0)
        return false;
    return CommitTemporary(sync);
}

} // namespace vorlane
