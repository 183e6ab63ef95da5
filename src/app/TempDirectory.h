// The application's private temporary folder ($TMPDIR, else /tmp, plus the bundle identifier
// "org.vorlane.studio"). Readers keep intermediate files in named sub-folders of it; the
// application empties it at start and at quit.
//
// Because /tmp is shared by every user of the machine, the folder is created for the current
// user only, and a folder that is a link or belongs to someone else is refused (otherwise
// emptying it could delete files elsewhere).
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

namespace vorlane {

class TempDirectory {
  public:
    // The standard folder (not created).
    static std::filesystem::path tempURL();

    // The standard folder, created when missing; nullptr when it cannot be created or used.
    static std::unique_ptr<TempDirectory> create();
    // The same for another folder (tests, tools).
    static std::unique_ptr<TempDirectory> createWithURL(const std::filesystem::path& folder);

    // The folder this object works in.
    const std::filesystem::path& url() const { return url_; }

    // Creates a folder with its intermediate folders unless something exists at the path; true
    // when created or already there. A failure is logged.
    static bool createDirAtURL(const std::filesystem::path& folder);
    // The named sub-folder, created when missing; nothing when it cannot be created or the name
    // is not a single plain file name.
    std::optional<std::filesystem::path> createTempDirectoryWithName(const std::string& name);
    // Deletes the named sub-folder with its content; errors are ignored.
    void removeTempDirectoryWithName(const std::string& name);
    // Deletes one file of a named sub-folder of the standard folder; errors are ignored.
    static void removeTempFileNamed(const std::string& fileName, const std::string& folderName);
    // Deletes everything inside the folder; each failed deletion is logged and skipped.
    void cleanup();

  private:
    explicit TempDirectory(std::filesystem::path url) : url_(std::move(url)) {}

    std::filesystem::path url_;
};

}  // namespace vorlane
