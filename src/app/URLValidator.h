// Checks an export destination before the save or folder panel closes: a FAT file system (files
// limited to 4 GB), a destination the user cannot write to, and less than 10 GiB free space each
// raise a warning, from which the user may go on or go back.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>

#include "app/AlertPresenter.h"
#include "platform/FileSystem.h"

namespace vorlane {

class URLValidator {
  public:
    // How the checks learn about the destination; tests put in their own answers.
    using VolumeProbe =
        std::function<std::optional<FileSystem::VolumeAttributes>(const std::filesystem::path&)>;
    using WritableProbe = std::function<bool(const std::filesystem::path&)>;

    // Free space below this raises the low-space warning (free bytes >> 31 at most 4).
    static constexpr uint64_t kLowSpaceLimit = uint64_t(5) << 31;  // 10 GiB

    explicit URLValidator(AlertPresenter& presenter,
                          VolumeProbe volume = FileSystem::volumeAttributes,
                          WritableProbe writable = FileSystem::isWritable);

    // The panel's check: every check for a chosen folder (movie exports), only the writability
    // check for a single file to save (XML and AAF). True when the panel may close.
    bool validateURL(const std::filesystem::path& url, bool choosesDirectories);
    // The destination is `url` when it is a folder, else the folder it is in. The writability
    // check always runs, the other two when asked. True when the destination is accepted.
    bool checkURL(const std::filesystem::path& url, bool msdosCheck, bool diskSpaceCheck);

  private:
    // Shows a warning with "Continue" and "Cancel"; true for "Continue".
    bool warn(const std::string& title, const std::string& text);

    AlertPresenter& presenter_;
    VolumeProbe volume_;
    WritableProbe writable_;
};

}  // namespace vorlane
