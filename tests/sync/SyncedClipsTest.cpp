#include <gtest/gtest.h>

#include "sync/SyncTestFiles.h"
#include "sync/SyncedClips.h"

namespace vorlane {
namespace {

using test::makeCamera;
using test::makePool;
using test::makeRecorder;
using test::samplesAt;

// Two cameras and a recorder under both: the cameras master the round, each clip is synced
// with the round's flags before it is handed over, and the progress before each handover counts
// the masters already done.
TEST(SyncedClipsTest, EachMasterIsSyncedWithTheFlagsAndCountedBeforeItIsHandedOver) {
    auto a = makeCamera({.name = "A001.mov"});
    auto recorder = makeRecorder({.startSample = samplesAt(9, 59, 0), .samples = 48000 * 180});
    auto b = makeCamera({.name = "B001.mov", .serial = "200"});
    const std::vector<std::shared_ptr<MediaFile>> files = {a, recorder, b};
    const auto masters = filesWithVideo(files);
    ASSERT_EQ(masters, (std::vector<std::shared_ptr<MediaFile>>{a, b}));

    SyncedClipFlags flags;
    flags.xmlMode = true;
    flags.useAVShift = false;
    std::vector<std::string> events;
    buildSyncedClips(
        masters, makePool(files), {}, flags,
        [&](const std::shared_ptr<MediaFile>& master,
            const std::shared_ptr<MediaSyncComposition>& clip) {
            EXPECT_EQ(clip->masterFile(), master);
            EXPECT_TRUE(clip->successfullySynced()) << clip->syncInformation();
            EXPECT_TRUE(clip->xmlMode());
            EXPECT_FALSE(clip->useAVShift());
            EXPECT_FALSE(clip->forPlayback());
            events.push_back("clip " + master->name());
        },
        [&](double percent) { events.push_back("percent " + std::to_string(int(percent))); });
    EXPECT_EQ(events, (std::vector<std::string>{"percent 0", "clip A001.mov", "percent 50",
                                                "clip B001.mov"}));
}

}  // namespace
}  // namespace vorlane
