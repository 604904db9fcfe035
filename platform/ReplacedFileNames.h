// Private to the platform layer: how the temporary files of ReplacedFile are named on either system,
// ".vorlane-<process>-<random hex>.tmp" beside the target, and how a cleaner tells its writer.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vorlane::replaced {

inline constexpr const char* TemporaryPrefix = ".vorlane-";
inline constexpr const char* TemporarySuffix = ".tmp";

// The folder of `target` with its separator; empty for the current folder.
std::string FolderOf(const std::string& target);

// A temporary file's path for `target`, written by the process `writer`.
std::string TemporaryFor(const std::string& target, unsigned long writer, uint64_t random);

// The writer's process of a temporary file of ours, or of the gallery's former
// ".vorlane-save-<process>-<count>.tmp"; none for any other name.
std::optional<unsigned long> WriterOf(std::string_view name);

} // namespace vorlane::replaced
