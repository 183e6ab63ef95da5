// Runs the built `vorlane export aaf` on the demo shoot: every camera take's synced clip holds
// the recorder take where the shoot's README says it meets the camera's first frame, the log of
// the run, the batch variant's start timecodes, and the usage errors of options that belong to
// other exports.
#include <gtest/gtest.h>

#include <set>

#include "export/AAFReadBack.h"
#include "export/ExportTestSupport.h"
#include "support/TestSupport.h"
#include "support/VorlaneCommand.h"

namespace vorlane {
namespace {

using test::AAFMobView;

class ExportAAFCommandTest : public testing::Test {
  protected:
    test::ScratchFolder config;
    test::ScratchFolder out;
};

// The sound of a composition that comes from the master mob: the recorder sample under the
// composition's first picture frame, in edit units of 1/25 s.
std::optional<int64_t> takeFrameAtPictureStart(const AAFMobView& clip, const AAFMobView& take,
                                               const AAFMobView& camera) {
    std::optional<int64_t> picture;
    std::optional<int64_t> sound;
    for (const auto& slot : clip.slots) {
        for (size_t index = 0; index < slot.segment.components.size(); ++index) {
            const auto& component = slot.segment.components[index];
            if (component.kind != "SourceClip") continue;
            const int64_t position = test::positionOf(slot.segment, index);
            if (component.sourceID == camera.mobID && component.dataDef == "Picture")
                picture = position - component.startTime;
            if (component.sourceID == take.mobID && !sound) sound = component.startTime - position;
        }
    }
    if (!picture || !sound) return std::nullopt;
    return *sound + *picture;
}

TEST_F(ExportAAFCommandTest, TheDemoShootLinkedAndForBatchImport) {
    VORLANE_REQUIRE_DEMO_SHOOT(shoot);
    auto result =
        test::runVorlane(config.path(), {"export", "aaf", "-o", (out / "demo.aaf").string(),
                                         "--log", (out / "run.log").string(), shoot.string()});
    ASSERT_EQ(result.exitStatus, 0) << result.standardError;
    EXPECT_EQ(result.standardOutput.rfind("AAF Export (AMA) started ...\n\n", 0), 0u);
    EXPECT_NE(result.standardOutput.find("Adding [10:00:02:00] A001_C001 (10.00s) \n"),
              std::string::npos);
    EXPECT_NE(result.standardOutput.find("\nAAF Export ended.\n"), std::string::npos);
    EXPECT_EQ(test::readFile(out / "run.log"), result.standardOutput);
    EXPECT_NE(result.standardError.find("AAF Export"), std::string::npos);  // progress
    test::keepForIndependentCheck(out / "demo.aaf", "demo-ama");
    const auto file = test::readAAFFile(out / "demo.aaf");
    ASSERT_TRUE(file);
    // Every pair of the README, in frames of 1920 samples (sound that starts after the picture
    // meets its first frame at a negative sample).
    struct Pair {
        const char* camera;
        const char* take;
        int64_t takeSampleAtFrameZero;
    };
    for (const Pair& pair :
         {Pair{"A001_C001", "SC12_T01", 96000}, Pair{"B_0001", "SC12_T01", 163200},
          Pair{"A001_C002", "SC12_T02", 119040}, Pair{"A001_C002", "HANDY_0001", -13 * 1920},
          Pair{"B_0002", "SC12_T02", 48000}, Pair{"B_0002", "HANDY_0001", -50 * 1920},
          Pair{"A001_C003", "SC14_T01_1", 96000}, Pair{"A001_C003", "SC14_T01_2", 96000},
          Pair{"A001_C003", "SC14_T01_3", 96000}, Pair{"A001_C003", "LAV_0001", 48000}}) {
        SCOPED_TRACE(std::string(pair.camera) + " + " + pair.take);
        const AAFMobView* take = file->mobNamed("MasterMob", pair.take);
        const AAFMobView* camera = file->mobNamed("MasterMob", pair.camera);
        ASSERT_TRUE(take && camera);
        const AAFMobView* clip = nullptr;
        for (const AAFMobView* candidate : file->mobsOfKind("CompositionMob"))
            if (takeFrameAtPictureStart(*candidate, *take, *camera) &&
                candidate->usageCode == "{0d010102-0101-0500-060e2b34-04010101}")
                clip = candidate;
        ASSERT_TRUE(clip);
        EXPECT_EQ(takeFrameAtPictureStart(*clip, *take, *camera),
                  pair.takeSampleAtFrameZero / 1920);
        EXPECT_EQ(clip->slot(1)->editRate, std::pair(25, 1));
    }
    // One master per file of the shoot that reached the AAF, each once.
    std::set<std::string> masters;
    for (const AAFMobView* master : file->mobsOfKind("MasterMob"))
        EXPECT_TRUE(masters.insert(master->name).second) << master->name;

    // Batch import: a camera without a timecode track starts at 01:00:00:00.
    result = test::runVorlane(config.path(), {"export", "aaf", "--batch", "--quiet", "-o",
                                              (out / "batch.aaf").string(), shoot.string()});
    ASSERT_EQ(result.exitStatus, 0) << result.standardError;
    EXPECT_EQ(result.standardOutput.rfind("AAF Export (Batch Import) started ...\n\n", 0), 0u);
    test::keepForIndependentCheck(out / "batch.aaf", "demo-batch");
    const auto batch = test::readAAFFile(out / "batch.aaf");
    ASSERT_TRUE(batch);
    const AAFMobView* cameraB = batch->mobNamed("SourceMob", "B_0002");
    ASSERT_TRUE(cameraB);
    EXPECT_EQ(cameraB->slot(1)->segment.timecodeStart, 90000);
}

TEST_F(ExportAAFCommandTest, APoolWithoutMediaGivesTheSyncMap) {
    const std::string file = (out / "x.aaf").string();
    const std::string media = config.path().string();
    // A pool without media still gives the sync map.
    const auto result = test::runVorlane(
        config.path(),
        {"export", "aaf", "--rate", "29.97", "--drop-frame", "--quiet", "-o", file, media});
    ASSERT_EQ(result.exitStatus, 0) << result.standardError;
    const auto written = test::readAAFFile(file);
    ASSERT_TRUE(written);
    ASSERT_EQ(written->mobs.size(), 1u);
    EXPECT_EQ(written->mobs[0].slot(1)->editRate, std::pair(30000, 1001));
    EXPECT_TRUE(written->mobs[0].slot(1)->segment.drop);
}

}  // namespace
}  // namespace vorlane
