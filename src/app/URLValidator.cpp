#include "app/URLValidator.h"

#include <algorithm>
#include <cstdio>

#include "platform/Text.h"

namespace vorlane {

URLValidator::URLValidator(AlertPresenter& presenter, VolumeProbe volume, WritableProbe writable)
    : presenter_(presenter), volume_(std::move(volume)), writable_(std::move(writable)) {}

bool URLValidator::validateURL(const std::filesystem::path& url, bool choosesDirectories) {
    return checkURL(url, choosesDirectories, choosesDirectories);
}

bool URLValidator::checkURL(const std::filesystem::path& url, bool msdosCheck,
                            bool diskSpaceCheck) {
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(url, error);
    const std::filesystem::path& given = error ? url : absolute;
    const std::filesystem::path folder =
        std::filesystem::is_directory(given, error) ? given : given.parent_path();
    const auto volume = volume_(folder);
    const std::string type = volume ? volume->fileSystemType : std::string();

    if (msdosCheck && type == "msdos" &&
        !warn("File system may cause problems",
              "The selected target disk is formatted with a FAT32 or similar file system which "
              "might limit the maximum file size to 4GB."))
        return false;

    if (!writable_(folder)) {
        if (!warn("Selected destination may not be writable",
                  "The selected destination " + folder.string() +
                      (type.empty() ? "" : " (" + upperCased(type) + ")") +
                      " seems either to be write-protected or you do not have the necessary "
                      "rights to write to that destination."))
            return false;
    }

    if (diskSpaceCheck && volume && volume->freeBytes < kLowSpaceLimit) {
        char text[128];
        std::snprintf(text, sizeof text,
                      "The selected target disk has less than %2.2f GB free space left.",
                      double(volume->freeBytes) / double(uint64_t(1) << 30));
        if (!warn("Low disk space", text)) return false;
    }
    return true;
}

bool URLValidator::warn(const std::string& title, const std::string& text) {
    Alert alert;
    alert.style = Alert::Style::Warning;
    alert.messageText = title;
    alert.informativeText = text;
    alert.buttons = {"Continue", "Cancel"};
    alert.defaultButton = 0;
    alert.cancelButton = 1;
    return presenter_.runAlert(alert) == 0;
}

}  // namespace vorlane
