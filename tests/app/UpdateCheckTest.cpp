#include <gtest/gtest.h>

#include "app/UpdateCheck.h"
#include "platform/DefaultsKeys.h"
#include "support/TestSupport.h"

namespace vorlane {
namespace {

using test::ScratchFolder;
using Mode = UpdateCheck::Mode;

const std::string kNewer =
    R"({"version": 0.2, "description": "Faster LTC.", "url": "https://example.org/v"})";

TEST(UpdateCheckTest, AnnouncementsAreReadOnlyWhenComplete) {
    const auto announcement = UpdateCheck::parseAnnouncement(kNewer);
    ASSERT_TRUE(announcement);
    EXPECT_DOUBLE_EQ(announcement->version, 0.2);
    EXPECT_EQ(announcement->description, "Faster LTC.");
    EXPECT_EQ(UpdateCheck::parseAnnouncement(R"({"version": "1.5", "url": "http://x"})")->version,
              1.5);
    for (const char* bad :
         {"", "[]", "{\"version\": 0.2", R"({"url": "https://x"})",
          R"({"version": -1, "url": "https://x"})", R"({"version": true, "url": "https://x"})",
          R"({"version": 0.2, "url": "file:///bin/sh"})", R"({"version": 0.2, "url": "https://"})"})
        EXPECT_FALSE(UpdateCheck::parseAnnouncement(bad)) << bad;
    EXPECT_EQ(UpdateCheck::versionNumber("0.1.0"), 0.1);
    EXPECT_FALSE(UpdateCheck::versionNumber("beta"));
}

TEST(UpdateCheckTest, TheSettingTakesNothingAWebURLOrALocalFile) {
    for (const char* good : {"", "https://example.org/vorlane.json", "HTTP://10.0.0.1:8080/a",
                             "file:///srv/announce.json", "file://localhost/srv/a.json"})
        EXPECT_TRUE(UpdateCheck::isAnnouncementURL(good)) << good;
    for (const char* bad : {"example.org/a.json", "https://", "https:///path", "ftp://host/a",
                            "file:///", "file://server/share/a.json", "/srv/announce.json",
                            "https://exa mple.org", "https://example.org/\n", " https://e.org"})
        EXPECT_FALSE(UpdateCheck::isAnnouncementURL(bad)) << bad;
}

TEST(UpdateCheckTest, AutomaticCheckOffersTheNewVersionUntilTheUserSetsItAside) {
    ScratchFolder folder;
    UserDefaults defaults(folder / "defaults.json");
    UpdateCheck check(defaults, Mode::Automatic, 0.1);
    EXPECT_FALSE(check.promptWithoutURL()) << "no URL, no word";
    auto prompt = check.promptForDocument(kNewer, "");
    ASSERT_TRUE(prompt);
    EXPECT_EQ(prompt->alert.messageText, "Version 0.20 of Vorlane Studio is available!");
    EXPECT_EQ(prompt->alert.informativeText, "Faster LTC.");
    EXPECT_EQ(prompt->alert.buttons[UpdateCheck::kDownloadButton], "Download now...");
    EXPECT_EQ(prompt->checkBoxText, "Do not show me again for this version");
    EXPECT_EQ(check.answer(UpdateCheck::kDownloadButton, true), "https://example.org/v");
    EXPECT_FALSE(defaults.objectForKey(DefaultsKey::updateSuppression))
        << "download stores nothing";

    // Cancel without the check box: offered again next start.
    check.promptForDocument(kNewer, "");
    EXPECT_FALSE(check.answer(prompt->alert.cancelButton, false));
    EXPECT_TRUE(UpdateCheck(defaults, Mode::Automatic, 0.1).promptForDocument(kNewer, ""));
    // With it: silent for this version, offered for the next, and always when asked for.
    check.promptForDocument(kNewer, "");
    check.answer(prompt->alert.cancelButton, true);
    UserDefaults reloaded(folder / "defaults.json");
    EXPECT_DOUBLE_EQ(reloaded.doubleForKey(DefaultsKey::updateSuppressionVersion), 0.2);
    EXPECT_FALSE(UpdateCheck(reloaded, Mode::Automatic, 0.1).promptForDocument(kNewer, ""));
    EXPECT_TRUE(UpdateCheck(reloaded, Mode::Automatic, 0.1)
                    .promptForDocument(R"({"version": 0.3, "url": "https://e.org"})", ""));
    const auto manual = UpdateCheck(reloaded, Mode::Manual, 0.1).promptForDocument(kNewer, "");
    ASSERT_TRUE(manual);
    EXPECT_EQ(manual->checkBoxText, "");
}

TEST(UpdateCheckTest, OnlyTheManualCheckReportsUpToDateAndFailures) {
    ScratchFolder folder;
    UserDefaults defaults(folder / "defaults.json");
    UpdateCheck automatic(defaults, Mode::Automatic, 0.2);
    UpdateCheck manual(defaults, Mode::Manual, 0.2);
    EXPECT_FALSE(automatic.promptForDocument(kNewer, ""));
    EXPECT_FALSE(automatic.promptForDocument(std::nullopt, "Connection refused"));
    EXPECT_FALSE(automatic.promptForDocument("<html>", ""));

    const auto upToDate = manual.promptForDocument(kNewer, "");
    ASSERT_TRUE(upToDate);
    EXPECT_EQ(upToDate->alert.messageText, "Version 0.20 of Vorlane Studio is up to date!");
    EXPECT_EQ(upToDate->alert.informativeText,
              "Congratulations! You are running the latest Version.");
    EXPECT_EQ(upToDate->alert.buttons, std::vector<std::string>{"Ok"});
    defaults.setString("https://e.org/a.json", DefaultsKey::updateAnnouncementURL);
    const auto failed = manual.promptForDocument(std::nullopt, "Connection refused");
    ASSERT_TRUE(failed);
    EXPECT_NE(failed->alert.informativeText.find("https://e.org/a.json"), std::string::npos);
    EXPECT_NE(failed->alert.informativeText.find("Connection refused"), std::string::npos);
    EXPECT_TRUE(manual.promptForDocument("<html>", ""));
    EXPECT_FALSE(manual.answer(0, false)) << "nothing to download after a failure";
    manual.promptForDocument(kNewer, "");
    EXPECT_FALSE(manual.answer(0, false)) << "\"Ok\" on up to date stores nothing";
    EXPECT_FALSE(defaults.objectForKey(DefaultsKey::updateSuppressionVersion));
    EXPECT_TRUE(UpdateCheck(defaults, Mode::Manual).promptWithoutURL());
}

}  // namespace
}  // namespace vorlane
