// What a path leads to on disk, and whether it may be read: the identity that tells a file
// apart from every other one whatever path reaches it, and the system's reason a file cannot
// be opened.
#pragma once

#include <compare>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <system_error>

namespace vorlane::FileAccess {

struct FileIdentity {
    uint64_t device = 0;
    uint64_t inode = 0;
    auto operator<=>(const FileIdentity&) const = default;
};

// The identity of the file the path leads to (links followed); nothing when it cannot be
// examined.
std::optional<FileIdentity> fileIdentity(const std::filesystem::path& path);

// Why the file cannot be opened for reading (permission denied, say); no error when it can.
// Never waits on a FIFO or a device.
std::error_code readingError(const std::filesystem::path& path);

}  // namespace vorlane::FileAccess
