#include "platform/Resources.h"

#include <system_error>

namespace vorlane::Resources {

namespace {

// Set by the build for this file alone: the installed folder relative to the installed
// programs' folder, and the source tree's folder.
constexpr const char* kInstalledRelativeToPrograms = VORLANE_INSTALLED_RESOURCE_DIR;
constexpr const char* kSourceTreeFolder = VORLANE_SOURCE_RESOURCE_DIR;

}  // namespace

std::filesystem::path directoryForExecutable(const std::filesystem::path& executable) {
    std::error_code error;
    const std::filesystem::path installed =
        (executable.parent_path() / kInstalledRelativeToPrograms).lexically_normal();
    if (!executable.empty() && std::filesystem::is_directory(installed, error)) return installed;
    return kSourceTreeFolder;
}

const std::filesystem::path& directory() {
    static const std::filesystem::path folder = [] {
        std::error_code error;
        const std::filesystem::path executable =
            std::filesystem::read_symlink("/proc/self/exe", error);
        return directoryForExecutable(error ? std::filesystem::path() : executable);
    }();
    return folder;
}

std::filesystem::path path(const std::string& name) {
    return directory() / name;
}

}  // namespace vorlane::Resources
