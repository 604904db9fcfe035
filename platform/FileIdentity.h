// What tells one version of a file from another: the file it is (device and inode) and what its last
// write left (size and modification time). A file replaced by a rename is another file; one written in
// place keeps its inode but not its modification time. A change of mode or owner is no new version.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace vorlane {

struct FileIdentity {
    uint64_t device = 0;
    uint64_t inode = 0;
    int64_t size = 0;
    int64_t modifiedNs = 0;
    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

// The identity of the file at `path` (links followed); none when no file is there.
std::optional<FileIdentity> IdentityOf(const std::string& path);

// True when both paths reach the same existing file (links followed).
bool SameFile(const std::string& a, const std::string& b);

} // namespace vorlane
