#include "app/TempDirectory.h"

#include <cstdlib>

#include "platform/FileSystem.h"
#include "platform/Log.h"
#include "platform/Version.h"

namespace vorlane {
namespace {

// A name that stays inside the folder it is joined to.
bool isPlainName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
           name.find('\0') == std::string::npos;
}

// Deletes everything below `folder` without following links, logging and skipping failures.
void removeContent(const std::filesystem::path& folder) {
    std::error_code error;
    std::filesystem::directory_iterator entries(folder, error);
    if (error) {
        Log::writef("TempDirectory: Error cleaning up directory: %s", error.message().c_str());
        return;
    }
    for (const auto& entry : entries) {
        if (entry.is_directory(error) && !entry.is_symlink(error)) removeContent(entry.path());
        if (!std::filesystem::remove(entry.path(), error) && error) {
            Log::writef("TempDirectory: Error cleaning up directory: %s %s",
                        error.message().c_str(), entry.path().c_str());
        }
    }
}

}  // namespace

std::filesystem::path TempDirectory::tempURL() {
    const char* folder = std::getenv("TMPDIR");
    const std::filesystem::path base =
        folder != nullptr && folder[0] != '\0' ? std::filesystem::path(folder) : "/tmp";
    return base / kBundleIdentifier;
}

std::unique_ptr<TempDirectory> TempDirectory::create() {
    return createWithURL(tempURL());
}

std::unique_ptr<TempDirectory> TempDirectory::createWithURL(const std::filesystem::path& folder) {
    std::error_code error;
    const bool existed = std::filesystem::exists(std::filesystem::symlink_status(folder, error));
    if (!createDirAtURL(folder)) return nullptr;
    if (!existed)
        std::filesystem::permissions(folder, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::replace, error);
    if (!FileSystem::isPrivateDirectory(folder)) {
        Log::writef("TempDirectory: Create folder failed %s (not a folder of this user)",
                    folder.c_str());
        return nullptr;
    }
    return std::unique_ptr<TempDirectory>(new TempDirectory(folder));
}

bool TempDirectory::createDirAtURL(const std::filesystem::path& folder) {
    std::error_code error;
    if (std::filesystem::exists(std::filesystem::symlink_status(folder, error))) return true;
    std::filesystem::create_directories(folder, error);
    if (error) {
        Log::writef("TempDirectory: Create folder failed %s", folder.c_str());
        return false;
    }
    return true;
}

std::optional<std::filesystem::path> TempDirectory::createTempDirectoryWithName(
    const std::string& name) {
    if (!isPlainName(name)) return std::nullopt;
    const std::filesystem::path folder = url_ / name;
    std::error_code error;
    if (!createDirAtURL(folder) || !std::filesystem::is_directory(folder, error))
        return std::nullopt;
    return folder;
}

void TempDirectory::removeTempDirectoryWithName(const std::string& name) {
    if (!isPlainName(name)) return;
    std::error_code error;
    std::filesystem::remove_all(url_ / name, error);
}

void TempDirectory::removeTempFileNamed(const std::string& fileName,
                                        const std::string& folderName) {
    if (!isPlainName(fileName) || !isPlainName(folderName)) return;
    std::error_code error;
    std::filesystem::remove(tempURL() / folderName / fileName, error);
}

void TempDirectory::cleanup() {
    removeContent(url_);
}

}  // namespace vorlane
