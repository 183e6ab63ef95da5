#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <thread>
#include <vector>

#include "platform/Log.h"
#include "platform/UserDefaults.h"
#include "support/EnvironmentValue.h"
#include "support/LogCapture.h"
#include "support/TestSupport.h"

namespace vorlane {
namespace {

using test::readFile;
using test::ScratchFolder;
using test::writeFile;

using test::EnvironmentValue;
using test::LogCapture;

std::vector<std::string> folderNames(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(UserDefaultsTest, StoredValuesSurviveAReload) {
    ScratchFolder folder;
    const auto path = folder / "nested" / "defaults.json";
    const MetadataList presets = {
        MetadataValue(MetadataDictionary{{"camera", "Canon EOS 550D"}, {"shift", "0.08"}})};
    {
        UserDefaults defaults(path);
        defaults.setBool(true, "flag");
        defaults.setInteger(-7, "number");
        defaults.setDouble(0.1, "fraction");
        defaults.setString("Trk \xc3\xa4", "text");
        EXPECT_TRUE(defaults.setObject(presets, "avShiftPresets"));
        defaults.setInteger(1, "removed");
        defaults.removeObjectForKey("removed");
        ASSERT_TRUE(defaults.synchronize());
    }
    UserDefaults reloaded(path);
    EXPECT_TRUE(reloaded.boolForKey("flag"));
    EXPECT_EQ(reloaded.integerForKey("number"), -7);
    EXPECT_EQ(reloaded.doubleForKey("fraction"), 0.1);
    EXPECT_EQ(reloaded.stringForKey("text"), "Trk \xc3\xa4");
    EXPECT_EQ(reloaded.arrayForKey("avShiftPresets"), presets);
    EXPECT_FALSE(reloaded.objectForKey("removed"));
    EXPECT_EQ(reloaded.dictionaryRepresentation().size(), 5u);
}

TEST(UserDefaultsTest, TypedGettersConvertMeaningfullyAndRefuseTheRest) {
    ScratchFolder folder;
    UserDefaults defaults(folder / "defaults.json");
    defaults.setString("YES", "yesText");
    defaults.setString(" 12.7 seconds", "numberText");
    defaults.setDouble(2.9, "double");
    defaults.setObject(MetadataList{MetadataValue(1)}, "list");
    defaults.setObject(MetadataDictionary{{"a", 1}}, "dictionary");

    EXPECT_TRUE(defaults.boolForKey("yesText"));
    EXPECT_FALSE(defaults.boolForKey("list"));
    EXPECT_EQ(defaults.integerForKey("numberText"), 12);
    EXPECT_EQ(defaults.integerForKey("double"), 2);
    EXPECT_EQ(defaults.doubleForKey("numberText"), 12.7);
    EXPECT_EQ(defaults.integerForKey("dictionary"), 0);
    EXPECT_EQ(defaults.stringForKey("double"), "2.9");
    EXPECT_FALSE(defaults.stringForKey("list"));
    EXPECT_FALSE(defaults.arrayForKey("dictionary"));
}

TEST(UserDefaultsTest, RefusesValuesTheFileCannotHold) {
    ScratchFolder folder;
    LogCapture log;
    UserDefaults defaults(folder / "defaults.json");
    EXPECT_FALSE(defaults.setObject(MetadataValue(MetadataDate()), "date"));
    EXPECT_FALSE(defaults.setObject(MetadataList{MetadataValue(MetadataBytes{1})}, "bytes"));
    EXPECT_FALSE(defaults.setObject(MetadataValue(std::nan("")), "nan"));
    EXPECT_TRUE(defaults.dictionaryRepresentation().empty());
    EXPECT_EQ(log.lines.size(), 3u);
}

TEST(UserDefaultsTest, SynchronizeReplacesTheFileByRenameAndLeavesNothingBehind) {
    ScratchFolder folder;
    const auto path = folder / "defaults.json";
    UserDefaults defaults(path);
    defaults.setInteger(1, "a");
    ASSERT_TRUE(defaults.synchronize());
    struct stat before {};
    ASSERT_EQ(::stat(path.c_str(), &before), 0);
    EXPECT_EQ(before.st_mode & 0777, 0600u) << "settings stay private";

    defaults.setInteger(2, "a");
    ASSERT_TRUE(defaults.synchronize());
    struct stat after {};
    ASSERT_EQ(::stat(path.c_str(), &after), 0);
    EXPECT_NE(before.st_ino, after.st_ino) << "a new file is renamed over the old one";
    EXPECT_EQ(folderNames(folder.path()), std::vector<std::string>{"defaults.json"});
    EXPECT_EQ(UserDefaults::parseSettingsText(readFile(path))->at("a"), MetadataValue(2));
}

TEST(UserDefaultsTest, AFailedWriteKeepsTheChangesPending) {
    ScratchFolder folder;
    writeFile(folder / "blocker", "a file where the folder should be");
    LogCapture log;
    UserDefaults defaults(folder / "blocker" / "defaults.json");
    defaults.setInteger(5, "a");
    EXPECT_FALSE(defaults.synchronize());
    EXPECT_EQ(defaults.integerForKey("a"), 5);
    ASSERT_EQ(log.lines.size(), 1u);
    EXPECT_NE(log.lines[0].find("UserDefaults: Cannot write settings file"), std::string::npos);
}

TEST(UserDefaultsTest, SynchronizeMergesChangesOfTwoProgramsKeyByKey) {
    ScratchFolder folder;
    const auto path = folder / "defaults.json";
    UserDefaults first(path);
    UserDefaults second(path);
    first.setInteger(1, "a");
    first.setInteger(1, "shared");
    ASSERT_TRUE(first.synchronize());
    second.setInteger(2, "b");
    second.removeObjectForKey("shared");
    ASSERT_TRUE(second.synchronize());
    EXPECT_EQ(second.integerForKey("a"), 1) << "the other program's change is read back";

    ASSERT_TRUE(first.synchronize());  // nothing pending: takes the file's content
    EXPECT_EQ(first.integerForKey("b"), 2);
    EXPECT_FALSE(first.objectForKey("shared"));

    first.removeAllObjects();
    first.setInteger(3, "c");
    ASSERT_TRUE(first.synchronize());
    EXPECT_EQ(UserDefaults(path).dictionaryRepresentation(), (MetadataDictionary{{"c", 3}}));
}

struct CorruptCase {
    const char* name;
    std::string content;
};

void PrintTo(const CorruptCase& corruptCase, std::ostream* output) {
    *output << corruptCase.name;
}

class CorruptSettingsFileTest : public testing::TestWithParam<CorruptCase> {};

TEST_P(CorruptSettingsFileTest, IsReportedOnceMovedAsideAndTheStandardValuesApply) {
    ScratchFolder folder;
    const auto path = folder / "defaults.json";
    writeFile(path, GetParam().content);
    LogCapture log;
    UserDefaults defaults(path);
    EXPECT_TRUE(defaults.dictionaryRepresentation().empty());
    EXPECT_FALSE(defaults.boolForKey("muteAudioTimecode"));

    const auto names = folderNames(folder.path());
    ASSERT_EQ(names.size(), 1u);
    EXPECT_EQ(names[0].rfind("defaults.json.corrupt-", 0), 0u) << names[0];
    EXPECT_EQ(readFile(folder / names[0]), GetParam().content) << "the user's file is kept";

    defaults.setBool(true, "muteAudioTimecode");
    ASSERT_TRUE(defaults.synchronize());
    EXPECT_TRUE(UserDefaults(path).boolForKey("muteAudioTimecode"));
    EXPECT_EQ(folderNames(folder.path()).size(), 2u);
    ASSERT_EQ(log.lines.size(), 1u);
    EXPECT_NE(log.lines[0].find("UserDefaults: Cannot read settings file"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Contents, CorruptSettingsFileTest,
    testing::Values(CorruptCase{"garbage", std::string("\x89PNG\r\n\x1a\n\0\0\xff", 11)},
                    CorruptCase{"truncated", "{\"muteAudioTimecode\": true, \"clipNam"},
                    CorruptCase{"array", "[1, 2, 3]"}, CorruptCase{"string", "\"defaults\""},
                    CorruptCase{"empty", ""}, CorruptCase{"badUtf8", "{\"a\": \"\xff\xfe\"}"},
                    CorruptCase{"tooDeep", "{\"a\": " + std::string(100000, '[') + "}"}),
    [](const testing::TestParamInfo<CorruptCase>& info) { return info.param.name; });

TEST(UserDefaultsTest, AnUnreadableSettingsFileIsMovedAside) {
    ScratchFolder folder;
    const auto path = folder / "defaults.json";
    if (::geteuid() == 0) {
        // Permissions do not stop root; a folder in the file's place cannot be read either.
        std::filesystem::create_directory(path);
    } else {
        writeFile(path, "{}");
        std::filesystem::permissions(path, std::filesystem::perms::none);
    }
    LogCapture log;
    UserDefaults defaults(path);
    EXPECT_TRUE(defaults.dictionaryRepresentation().empty());
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_EQ(log.lines.size(), 1u);
}

TEST(UserDefaultsTest, ACorruptFileThatCannotBeMovedIsNeverOverwritten) {
    LogCapture log;
    const std::string before = readFile("/proc/version");
    UserDefaults defaults("/proc/version");
    defaults.setInteger(1, "a");
    EXPECT_FALSE(defaults.synchronize());
    EXPECT_EQ(defaults.integerForKey("a"), 1) << "the program goes on with its settings";
    EXPECT_EQ(readFile("/proc/version"), before);
    EXPECT_EQ(log.lines.size(), 1u) << "reported once";
}

TEST(UserDefaultsTest, ParsingSkipsNullsAndKeepsBigNumbers) {
    const auto values = UserDefaults::parseSettingsText(
        R"({"a": null, "b": [1, null, 2], "c": 18446744073709551615, "d": 1.5e300})");
    ASSERT_TRUE(values);
    EXPECT_EQ(values->count("a"), 0u);
    EXPECT_EQ(values->at("b"), MetadataValue(MetadataList{MetadataValue(1), MetadataValue(2)}));
    EXPECT_TRUE(values->at("c").isDouble());
    EXPECT_EQ(values->at("d"), MetadataValue(1.5e300));
    EXPECT_FALSE(UserDefaults::parseValueText("null"));
    EXPECT_EQ(UserDefaults::valueText(MetadataValue(MetadataList{MetadataValue("x")})), "[\"x\"]");
}

TEST(UserDefaultsTest, ManyThreadsReadAndWriteOneStore) {
    ScratchFolder folder;
    UserDefaults defaults(folder / "defaults.json");
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&defaults, t] {
            for (int i = 0; i < 200; ++i) {
                defaults.setInteger(i, "key" + std::to_string(t));
                (void)defaults.integerForKey("key" + std::to_string((t + 1) % 4));
                if (i % 50 == 0) defaults.synchronize();
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    ASSERT_TRUE(defaults.synchronize());
    UserDefaults reloaded(folder / "defaults.json");
    for (int t = 0; t < 4; ++t)
        EXPECT_EQ(reloaded.integerForKey("key" + std::to_string(t)), 199);
}

TEST(UserDefaultsTest, StandardPathFollowsTheEnvironment) {
    EnvironmentValue home("HOME", "/home/someone");
    {
        EnvironmentValue config("VORLANE_CONFIG_DIR", "/srv/config");
        EnvironmentValue xdg("XDG_CONFIG_HOME", "/xdg");
        EXPECT_EQ(UserDefaults::standardPath(), "/srv/config/defaults.json");
    }
    EnvironmentValue config("VORLANE_CONFIG_DIR", nullptr);
    {
        EnvironmentValue xdg("XDG_CONFIG_HOME", "/xdg");
        EXPECT_EQ(UserDefaults::standardPath(), "/xdg/vorlane/defaults.json");
    }
    EnvironmentValue relative("XDG_CONFIG_HOME", "relative");
    EXPECT_EQ(UserDefaults::standardPath(), "/home/someone/.config/vorlane/defaults.json");
}

}  // namespace
}  // namespace vorlane
