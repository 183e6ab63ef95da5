// A shooting day with camera raw clips (a CinemaDNG folder with its camera sound, a Canon
// Cinema RAW Light clip, a RED clip) and a sound recorder's file: `vorlane scan` lists every
// clip with its timecode, and `vorlane sync` lays the recorder's sound under the clips it
// overlaps.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "formats/dng/RawClipFiles.h"
#include "support/TestSupport.h"
#include "support/VorlaneCommand.h"

namespace vorlane {
namespace {

namespace fs = std::filesystem;

using mediagen::Rate;
using mediagen::Timecode;

nlohmann::json runJson(const fs::path& config, const std::vector<std::string>& arguments) {
    const auto result = test::runVorlane(config, arguments);
    EXPECT_EQ(result.exitStatus, 0) << result.standardError;
    return nlohmann::json::parse(result.standardOutput, nullptr, false);
}

const nlohmann::json* entryWithContainer(const nlohmann::json& files, const std::string& kind) {
    for (const auto& file : files)
        if (file["container"] == kind) return &file;
    return nullptr;
}

TEST(ScanRawClipsTest, RawClipsAreListedWithTimecodeAndSyncWithTheRecorder) {
    VORLANE_REQUIRE_TESTDATA(testdata);
    VORLANE_REQUIRE_TOOL("ffmpeg");
    test::ScratchFolder config;
    test::ScratchFolder day;
    test::writeCinemaDNGClip(day / "A001_C001", "A001_C001_", 48, Timecode{1, 0, 0, 0},
                             Rate::fps23976());
    test::writeCameraWave(day / "A001_C001" / "A001_C001.wav", Timecode{1, 0, 0, 0},
                          Rate::fps23976(), 2.0);
    fs::create_directories(day / "CRM");
    test::CanonRawClip canon;
    canon.timecode = "01:00:00:12";
    canon.frames = 12;
    test::writeCanonRawClip(day / "CRM" / "A002C001_240517AB_CANON.CRM", canon);
    fs::create_directories(day / "RED");
    fs::copy_file(testdata / "headers" / "exiftool_Red.r3d",
                  day / "RED" / "A106_C037_0118G5_002.R3D");
    fs::create_directories(day / "Sound");
    test::writeCameraWave(day / "Sound" / "T001.WAV", Timecode{0, 59, 59, 0}, Rate::fps23976(), 5.0,
                          "1", "1");

    const auto scan = runJson(config.path(), {"scan", "--json", "--quiet", day.path().string()});
    ASSERT_TRUE(scan.is_object());
    ASSERT_EQ(scan["files"].size(), 4u) << scan.dump(1);
    const auto* dng = entryWithContainer(scan["files"], "CinemaDNG");
    const auto* crm = entryWithContainer(scan["files"], "CanonCRM");
    const auto* red = entryWithContainer(scan["files"], "Redcode");
    ASSERT_TRUE(dng && crm && red);
    EXPECT_EQ((*dng)["timecode"]["text"], "01:00:00:00");
    EXPECT_EQ((*dng)["mediaType"], "movie");
    EXPECT_EQ((*crm)["timecode"]["text"], "01:00:00:12");
    EXPECT_EQ((*red)["timecode"]["text"], "21:36:16:18");
    EXPECT_DOUBLE_EQ((*red)["frameRate"].get<double>(), 24000.0 / 1001);
    // What is not listed are the clip's further images and its sound, all in the clip.
    for (const auto& skipped : scan["skipped"])
        EXPECT_EQ(skipped["reason"].get<std::string>().rfind("already in the pool", 0), 0u)
            << skipped.dump();

    const auto sync = runJson(config.path(), {"sync", "--json", "--quiet", day.path().string()});
    ASSERT_TRUE(sync.is_object());
    const std::string recorder = (day / "Sound" / "T001.WAV").string();
    int synced = 0;
    for (const auto& clip : sync["clips"]) {
        const std::string master = clip["master"];
        if (master.find(".R3D") != std::string::npos) continue;
        SCOPED_TRACE(master);
        EXPECT_EQ(clip["status"], "synced");
        EXPECT_NE(std::find(clip["files"].begin(), clip["files"].end(), recorder),
                  clip["files"].end());
        ++synced;
    }
    EXPECT_EQ(synced, 2);
}

}  // namespace
}  // namespace vorlane
