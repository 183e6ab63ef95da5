// The settings sheet on a store of its own: the announcement URL is saved only when the update
// check can use it, and the codec line is the controller's.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QLabel>
#include <QLineEdit>
#include <filesystem>
#include <string>

#include "SettingsDialog.h"
#include "app/SettingsPanelController.h"
#include "platform/DefaultsKeys.h"

namespace vorlane::gui {
namespace {

TEST(SettingsDialogTest, AnnouncementURLIsSavedOnlyWhenUsable) {
    const auto folder = std::filesystem::temp_directory_path() /
                        ("vorlane-settings-sheet-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    UserDefaults defaults(folder / "defaults.json");
    defaults.setString("https://example.org/old.json", DefaultsKey::updateAnnouncementURL);
    defaults.synchronize();
    SettingsDialog dialog(defaults, nullptr);
    dialog.showSettings();
    auto* field = dialog.findChild<QLineEdit*>(DefaultsKey::updateAnnouncementURL);
    auto* problem = dialog.findChild<QLabel*>("updateAnnouncementURLProblem");
    ASSERT_TRUE(field && problem);
    EXPECT_EQ(field->text(), "https://example.org/old.json");

    field->setText("example.org/announce.json");
    EXPECT_FALSE(dialog.saveUserDefaults());
    EXPECT_FALSE(problem->isHidden());
    EXPECT_EQ(
        UserDefaults(folder / "defaults.json").stringForKey(DefaultsKey::updateAnnouncementURL),
        "https://example.org/old.json")
        << "nothing was written";

    field->setText("  file:///srv/announce.json ");
    EXPECT_TRUE(dialog.saveUserDefaults());
    EXPECT_EQ(
        UserDefaults(folder / "defaults.json").stringForKey(DefaultsKey::updateAnnouncementURL),
        "file:///srv/announce.json");
    field->clear();
    EXPECT_TRUE(dialog.saveUserDefaults());
    EXPECT_EQ(defaults.stringForKey(DefaultsKey::updateAnnouncementURL), "");

    auto* codecs = dialog.findChild<QLabel*>("codecSupport");
    ASSERT_TRUE(codecs);
    EXPECT_EQ(codecs->text().toStdString(), SettingsPanelController::codecSupportText());
    dialog.reject();
    std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace vorlane::gui
