#include <gtest/gtest.h>

#include <deque>
#include <sstream>

#include "app/ConsoleAlertPresenter.h"
#include "app/URLValidator.h"
#include "support/TestSupport.h"

namespace vorlane {
namespace {

using test::ScratchFolder;
using test::writeFile;

constexpr uint64_t kGiB = uint64_t(1) << 30;

// Records every alert and answers with the scripted buttons, "Continue" when the script is out.
class ScriptedPresenter : public AlertPresenter {
  public:
    size_t runAlert(const Alert& alert) override {
        alerts.push_back(alert);
        if (answers.empty()) return 0;
        const size_t answer = answers.front();
        answers.pop_front();
        return answer;
    }
    std::vector<std::string> titles() const {
        std::vector<std::string> result;
        for (const Alert& alert : alerts)
            result.push_back(alert.messageText);
        return result;
    }
    std::vector<Alert> alerts;
    std::deque<size_t> answers;
};

struct FakeDisk {
    explicit FakeDisk(std::string fileSystemType = "ext4", uint64_t free = 500 * kGiB)
        : type(std::move(fileSystemType)), freeBytes(free) {}
    std::string type;
    uint64_t freeBytes;
    bool readable = true;
    bool writable = true;
    std::vector<std::filesystem::path> asked;
};

URLValidator validatorFor(AlertPresenter& presenter, FakeDisk& disk) {
    return URLValidator(
        presenter,
        [&disk](const std::filesystem::path& path) -> std::optional<FileSystem::VolumeAttributes> {
            disk.asked.push_back(path);
            if (!disk.readable) return std::nullopt;
            FileSystem::VolumeAttributes attributes;
            attributes.fileSystemType = disk.type;
            attributes.freeBytes = disk.freeBytes;
            return attributes;
        },
        [&disk](const std::filesystem::path&) { return disk.writable; });
}

TEST(URLValidatorTest, FatStickWithLittleSpaceWarnsTwiceForAMovieExport) {
    ScratchFolder folder;
    ScriptedPresenter presenter;
    FakeDisk disk("msdos", 2 * kGiB);
    EXPECT_TRUE(validatorFor(presenter, disk).validateURL(folder.path(), true));
    EXPECT_EQ(presenter.titles(),
              (std::vector<std::string>{"File system may cause problems", "Low disk space"}));
    const Alert& fat = presenter.alerts[0];
    EXPECT_EQ(fat.informativeText,
              "The selected target disk is formatted with a FAT32 or similar file system which "
              "might limit the maximum file size to 4GB.");
    EXPECT_EQ(fat.style, Alert::Style::Warning);
    EXPECT_EQ(fat.buttons, (std::vector<std::string>{"Continue", "Cancel"}));
    EXPECT_EQ(presenter.alerts[1].informativeText,
              "The selected target disk has less than 2.00 GB free space left.");
}

TEST(URLValidatorTest, FatStickForAnXmlExportOnlyChecksWritability) {
    ScratchFolder folder;
    ScriptedPresenter presenter;
    FakeDisk disk("msdos", 2 * kGiB);
    EXPECT_TRUE(validatorFor(presenter, disk).validateURL(folder / "project.fcpxml", false));
    EXPECT_TRUE(presenter.alerts.empty());
    ASSERT_EQ(disk.asked.size(), 1u);
    EXPECT_EQ(disk.asked[0], folder.path()) << "a file to save is checked by its folder";
}

TEST(URLValidatorTest, CancelRejectsAtOnce) {
    ScratchFolder folder;
    ScriptedPresenter presenter;
    presenter.answers = {1};
    FakeDisk disk("msdos", 2 * kGiB);
    EXPECT_FALSE(validatorFor(presenter, disk).checkURL(folder.path(), true, true));
    EXPECT_EQ(presenter.alerts.size(), 1u);

    presenter.alerts.clear();
    presenter.answers = {0, 1};
    EXPECT_FALSE(validatorFor(presenter, disk).checkURL(folder.path(), true, true));
    EXPECT_EQ(presenter.alerts.size(), 2u);
}

TEST(URLValidatorTest, TenGibibytesFreeIsEnough) {
    ScratchFolder folder;
    ScriptedPresenter presenter;
    FakeDisk disk("ext4", 10 * kGiB);
    EXPECT_TRUE(validatorFor(presenter, disk).checkURL(folder.path(), true, true));
    EXPECT_TRUE(presenter.alerts.empty());

    disk.freeBytes = 10 * kGiB - 1;
    EXPECT_TRUE(validatorFor(presenter, disk).checkURL(folder.path(), true, true));
    ASSERT_EQ(presenter.alerts.size(), 1u);
    EXPECT_EQ(presenter.alerts[0].informativeText,
              "The selected target disk has less than 10.00 GB free space left.");
}

TEST(URLValidatorTest, UnwritableDestinationNamesFolderAndFileSystem) {
    ScratchFolder folder;
    writeFile(folder / "existing.xml", "");
    ScriptedPresenter presenter;
    presenter.answers = {1};
    FakeDisk disk("msdos", 500 * kGiB);
    disk.writable = false;
    EXPECT_FALSE(validatorFor(presenter, disk).validateURL(folder / "existing.xml", false));
    ASSERT_EQ(presenter.alerts.size(), 1u);
    EXPECT_EQ(presenter.alerts[0].messageText, "Selected destination may not be writable");
    EXPECT_EQ(presenter.alerts[0].informativeText,
              "The selected destination " + folder.path().string() +
                  " (MSDOS) seems either to be write-protected or you do not have the "
                  "necessary rights to write to that destination.");
}

TEST(URLValidatorTest, UnreadableFileSystemPassesTheFatAndSpaceChecks) {
    ScratchFolder folder;
    ScriptedPresenter presenter;
    FakeDisk disk;
    disk.readable = false;
    EXPECT_TRUE(validatorFor(presenter, disk).checkURL(folder.path(), true, true));
    EXPECT_TRUE(presenter.alerts.empty());
}

TEST(URLValidatorTest, RealScratchFolderIsAcceptedWithoutWarnings) {
    ScratchFolder folder;
    ScriptedPresenter presenter;
    const auto volume = FileSystem::volumeAttributes(folder.path());
    ASSERT_TRUE(volume);
    URLValidator validator(presenter);
    EXPECT_TRUE(validator.checkURL(folder.path(), true, true));
    if (volume->fileSystemType != "msdos" && volume->freeBytes >= URLValidator::kLowSpaceLimit) {
        EXPECT_TRUE(presenter.alerts.empty());
    }
}

TEST(ConsoleAlertPresenterTest, PrintsTheWarningAndGoesOnUnlessStrict) {
    ScratchFolder folder;
    FakeDisk disk("msdos", 2 * kGiB);
    std::ostringstream lenientOutput;
    ConsoleAlertPresenter lenient(lenientOutput, false);
    EXPECT_TRUE(validatorFor(lenient, disk).checkURL(folder.path(), true, true));
    EXPECT_EQ(lenientOutput.str(),
              "vorlane: warning: File system may cause problems. The selected target disk is "
              "formatted with a FAT32 or similar file system which might limit the maximum file "
              "size to 4GB. [Continue]\n"
              "vorlane: warning: Low disk space. The selected target disk has less than 2.00 GB "
              "free space left. [Continue]\n");

    std::ostringstream strictOutput;
    ConsoleAlertPresenter strict(strictOutput, true);
    EXPECT_FALSE(validatorFor(strict, disk).checkURL(folder.path(), true, true));
    EXPECT_NE(strictOutput.str().find("[Cancel]"), std::string::npos);
}

}  // namespace
}  // namespace vorlane
