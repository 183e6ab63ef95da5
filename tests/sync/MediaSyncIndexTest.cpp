#include <gtest/gtest.h>

#include <random>

#include "sync/MediaSyncComposition.h"
#include "sync/MediaSyncIndex.h"
#include "sync/SyncTestFiles.h"

namespace vorlane {
namespace {

using test::makeCamera;
using test::makePool;
using test::makeRecorder;
using test::samplesAt;

CMTime seconds(int64_t value) {
    return CMTimeMake(value, 1);
}

CMTimeRange range(int64_t start, int64_t length) {
    return {seconds(start), seconds(length)};
}

TEST(MediaSyncIndexTest, DayShiftOnTheTwentyFourHourClock) {
    const int64_t day = 86400;
    EXPECT_EQ(MediaSyncIndex::syncDayShift(range(100, 60), range(150, 60)), 0);
    EXPECT_EQ(MediaSyncIndex::syncDayShift(range(day - 30, 60), range(10, 120)), 1);
    EXPECT_EQ(MediaSyncIndex::syncDayShift(range(10, 120), range(day - 30, 60)), -1);
    EXPECT_EQ(MediaSyncIndex::syncDayShift(range(100, 60), range(160, 60)), std::nullopt);
    EXPECT_EQ(MediaSyncIndex::syncDayShift(range(100, 60), range(100 + day, 60)), -1);
    EXPECT_EQ(MediaSyncIndex::syncDayShift(range(100, 0), range(90, 60)), std::nullopt);
    EXPECT_EQ(MediaSyncIndex::syncDayShift(kCMTimeRangeInvalid, range(90, 60)), std::nullopt);
    // Files that span more than a day overlap without moving.
    EXPECT_EQ(MediaSyncIndex::syncDayShift(range(0, 2 * day), range(day + 5, 10)), 0);
}

TEST(MediaSyncIndexTest, FindsOverlappingFilesInSyncOrder) {
    auto camera = makeCamera({.name = "A.mov", .timecode = "23:59:30:00"});
    auto night = makeRecorder({.name = "N.wav", .startSample = samplesAt(0, 0, 10)});
    auto before = makeRecorder({.name = "B.wav", .startSample = samplesAt(23, 59, 0)});
    auto far = makeRecorder({.name = "F.wav", .startSample = samplesAt(12, 0, 0)});
    auto untimed = makeRecorder({.name = "U.wav", .startSample = -1});
    auto pool = makePool({untimed, far, before, night, camera});
    ASSERT_EQ(pool->sortedFiles().front(), camera);
    const auto found = pool->filesOverlapping(camera->syncTimeRange());
    std::vector<std::pair<std::string, int32_t>> names;
    for (const auto& overlap : found)
        names.emplace_back(pool->sortedFiles()[overlap.sortedPosition]->name(), overlap.dayShift);
    const std::vector<std::pair<std::string, int32_t>> expected = {
        {"A.mov", 0}, {"B.wav", 0}, {"N.wav", 1}};
    EXPECT_EQ(names, expected);
    EXPECT_FALSE(pool->syncTimeRangeOfFile(*untimed).isValid());
    EXPECT_EQ(pool->sortedPositionOfFile(*camera), 0u);
    EXPECT_EQ(pool->sortedPositionOfFile(*makeRecorder({})), std::nullopt);
}

// The searched answers equal the rule applied to every pair: random pools with files across
// midnight, without timecode, without dates, of every kind.
TEST(MediaSyncIndexTest, SearchAgreesWithThePairwiseRule) {
    std::mt19937 random(11);
    const MetadataDate base = test::localDate(2024, 6, 1, 8, 0, 0);
    for (int round = 0; round < 40; ++round) {
        std::vector<std::shared_ptr<MediaFile>> files;
        const int count = 5 + int(random() % 40);
        for (int i = 0; i < count; ++i) {
            const int64_t start = int64_t(random() % 86400);
            const bool timed = random() % 8 != 0;
            std::optional<MetadataDate> created;
            if (random() % 5 != 0) created = base + std::chrono::seconds(random() % 20000);
            switch (random() % 3) {
                case 0:
                    files.push_back(makeRecorder({.name = "R" + std::to_string(i) + ".wav",
                                                  .startSample = timed ? start * 48000 : -1,
                                                  .samples = 48000 * int64_t(1 + random() % 900),
                                                  .created = created}));
                    break;
                default: {
                    const int64_t frame = int64_t(random() % (86400 * 25));
                    char text[16];
                    std::snprintf(text, sizeof text, "%02d:%02d:%02d:%02d", int(frame / 90000),
                                  int(frame / 1500 % 60), int(frame / 25 % 60), int(frame % 25));
                    files.push_back(makeCamera({.name = "C" + std::to_string(i) + ".mov",
                                                .timecode = timed ? text : "",
                                                .frames = int64_t(1 + random() % 20000),
                                                .audioTracks = uint32_t(random() % 2),
                                                .created = created}));
                }
            }
        }
        auto pool = makePool(files);
        for (const bool involveDate : {false, true}) {
            for (const bool multicam : {false, true}) {
                for (const auto& file : files) {
                    // Status by the rule over every pair.
                    int32_t types = 0;
                    for (const auto& other : files)
                        if (MediaSyncComposition::isMediaFile(*file, *other, involveDate, multicam,
                                                              false))
                            types |= other->type();
                    std::string expected = "no corresponding files";
                    if (!file->timecode())
                        expected = "no timecode";
                    else if (((types & 1) && (file->type() & 2)) ||
                             ((types & 2) && (file->type() & 1)))
                        expected = "synced";
                    EXPECT_EQ(MediaSyncComposition::syncInfoOfMediaFile(*file, *pool, involveDate,
                                                                        multicam)
                                  .infoText,
                              expected);

                    // Corresponding files by the rule, in sync order.
                    std::vector<std::shared_ptr<MediaFile>> matching;
                    for (const auto& other : pool->sortedFiles())
                        if (MediaSyncComposition::isMediaFile(*file, *other, involveDate, multicam,
                                                              false))
                            matching.push_back(other);
                    CompositionSettings settings;
                    settings.involveDate = involveDate;
                    settings.multicam = multicam;
                    auto clip =
                        MediaSyncComposition::syncCompositionWithMasterFile(file, pool, settings);
                    clip->findCorrespondingMediaFiles();
                    EXPECT_EQ(clip->correspondingFiles(), matching) << file->name();
                }
            }
        }
    }
}

}  // namespace
}  // namespace vorlane
