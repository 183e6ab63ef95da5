#include <gtest/gtest.h>

#include "platform/media/CompositionVideoReader.h"
#include "platform/media/GeneratedMedia.h"
#include "support/TestSupport.h"

namespace vorlane {
namespace {

CMTime frameTime(int64_t frame) {
    return CMTimeMake(frame, 25);
}

CMTimeRange frames(int64_t start, int64_t count) {
    return CMTimeRangeMake(frameTime(start), frameTime(count));
}

std::string pixelsOf(const CompositionFrame& frame) {
    return {frame.pixels.begin(), frame.pixels.end()};
}

std::shared_ptr<PlayableComposition> compositionOf(std::vector<PlayableSegment> segments) {
    auto composition = std::make_shared<PlayableComposition>();
    EXPECT_TRUE(composition->addMutableTrackWithMediaType(AssetMediaType::Video, 1)
                    ->setSegments(std::move(segments)));
    return composition;
}

// A 12 s clip with sync samples at frames 0 and 250 shows ffmpeg's own pictures however it is
// entered.
void expectExactFramesAroundTheSyncSamples(const std::filesystem::path& clip) {
    const auto reference = test::referencePictures(clip);
    ASSERT_EQ(reference.size(), 300u);
    CompositionVideoReader reader(compositionOf({PlayableSegment::compositionTrackSegmentWithURL(
        clip, 1, frames(0, 300), frames(0, 300))}));
    EXPECT_EQ(reader.frameDuration(), frameTime(1));
    // Forwards and backwards across the sync samples at 0 and 250, jumps and small steps.
    for (const int64_t wanted : {260, 10, 249, 250, 251, 0, 299, 137, 138, 140, 139, 1}) {
        const auto frame = reader.frameAtTime(frameTime(wanted));
        ASSERT_TRUE(frame) << wanted;
        EXPECT_EQ(frame->time, frameTime(wanted));
        EXPECT_EQ(frame->duration, frameTime(1));
        EXPECT_FALSE(frame->black);
        EXPECT_TRUE(pixelsOf(*frame) == reference[size_t(wanted)]) << "frame " << wanted;
        // Any time inside the frame shows it.
        const auto inside = reader.frameAtTime(frameTime(wanted) + CMTimeMake(39, 1000));
        ASSERT_TRUE(inside);
        EXPECT_EQ(inside->time, frameTime(wanted));
    }
    auto frame = reader.frameAtTime(frameTime(248));
    for (const int64_t expected : {249, 250, 251}) {
        frame = reader.frameAfter(*frame);
        ASSERT_TRUE(frame);
        EXPECT_TRUE(pixelsOf(*frame) == reference[size_t(expected)]) << "step to " << expected;
    }
    for (const int64_t expected : {250, 249, 248}) {
        frame = reader.frameBefore(*frame);
        ASSERT_TRUE(frame);
        EXPECT_TRUE(pixelsOf(*frame) == reference[size_t(expected)]) << "step to " << expected;
    }
    EXPECT_FALSE(reader.frameAtTime(frameTime(300)));
    EXPECT_FALSE(reader.frameAtTime(frameTime(-1)));
}

TEST(CompositionVideoReader, SeeksToTheExactFrameOfALongGroupOfPictures) {
    VORLANE_REQUIRE_FFMPEG();
    expectExactFramesAroundTheSyncSamples(test::generatedMedia("gop.mov"));
}

// HEVC as x265 makes it by default: open groups of pictures, whose leading pictures after the
// second sync sample refer to the group before it.
TEST(CompositionVideoReader, SeeksToTheExactFrameOfALongOpenHEVCGroupOfPictures) {
    VORLANE_REQUIRE_FFMPEG();
    const std::string encoders = test::runTool({"ffmpeg", "-v", "error", "-encoders"});
    if (encoders.find("libx265") == std::string::npos)
        GTEST_SKIP() << "ffmpeg has no libx265 encoder; the HEVC seek check is skipped";
    const auto clip = test::generatedMedia("gop265.mov");
    expectExactFramesAroundTheSyncSamples(clip);
    // A segment that starts on a leading picture of the second group.
    CompositionVideoReader reader(compositionOf({PlayableSegment::compositionTrackSegmentWithURL(
        clip, 1, frames(249, 10), frames(0, 10))}));
    const auto frame = reader.frameAtTime(frameTime(0));
    ASSERT_TRUE(frame);
    EXPECT_TRUE(pixelsOf(*frame) == test::referencePictures(clip)[249]);
}

TEST(CompositionVideoReader, PlaysSegmentsOfTwoFilesWithAGapBetween) {
    VORLANE_REQUIRE_FFMPEG();
    const auto first = test::generatedMedia("other.mov");
    const auto second = test::generatedMedia("gop.mov");
    const auto firstFrames = test::referencePictures(first);
    const auto secondFrames = test::referencePictures(second);
    ASSERT_EQ(firstFrames.size(), 100u);
    // Frames 25..74 of the first file, a second of black, frames 125..199 of the second.
    CompositionVideoReader reader(compositionOf({
        PlayableSegment::compositionTrackSegmentWithURL(first, 1, frames(25, 50), frames(0, 50)),
        PlayableSegment::compositionTrackSegmentWithTimeRange(frames(50, 25)),
        PlayableSegment::compositionTrackSegmentWithURL(second, 1, frames(125, 75), frames(75, 75)),
    }));
    const auto expected = [&](int64_t frame) -> std::string {
        if (frame < 50) return firstFrames[size_t(frame + 25)];
        if (frame < 75) return {};
        return secondFrames[size_t(frame + 50)];
    };
    for (const int64_t wanted : {0, 49, 50, 74, 75, 149, 76, 48, 60, 3, 120, 110}) {
        const auto frame = reader.frameAtTime(frameTime(wanted));
        ASSERT_TRUE(frame) << wanted;
        EXPECT_EQ(frame->time, frameTime(wanted));
        const std::string pixels = expected(wanted);
        if (pixels.empty()) {
            EXPECT_TRUE(frame->black) << wanted;
            ASSERT_EQ(frame->pixels.size(), test::kPictureBytes);
            EXPECT_EQ(frame->pixels.front(), 16);  // video-range black, neutral colour
            EXPECT_EQ(frame->pixels.back(), 128);
        } else {
            EXPECT_FALSE(frame->black) << wanted;
            EXPECT_TRUE(pixelsOf(*frame) == pixels) << "frame " << wanted;
        }
    }
    // Stepping over both boundaries.
    auto frame = reader.frameAtTime(frameTime(48));
    for (int64_t step = 49; step <= 77; ++step) {
        frame = reader.frameAfter(*frame);
        ASSERT_TRUE(frame);
        EXPECT_EQ(frame->time, frameTime(step));
        EXPECT_EQ(frame->black, expected(step).empty()) << step;
    }
    const auto image = imageOfFrame(*frame, 160, 160);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->width, 160);
    EXPECT_EQ(image->height, 90);
}

TEST(CompositionVideoReader, UnreadablePicturesAreBlackAndReadingGoesOn) {
    VORLANE_REQUIRE_FFMPEG();
    test::ScratchFolder folder;
    // A stretch of garbage in the middle of the picture data.
    std::string bytes = test::readFile(test::generatedMedia("gop.mov"));
    for (size_t at = bytes.size() / 2; at < bytes.size() / 2 + 40000; ++at)
        bytes[at] = char(at * 7919 % 251);
    const auto damaged = folder / "damaged.mov";
    test::writeFile(damaged, bytes);
    const auto doomed = folder / "doomed.mov";
    std::filesystem::copy_file(test::generatedMedia("other.mov"), doomed);
    CompositionVideoReader reader(compositionOf({
        PlayableSegment::compositionTrackSegmentWithURL(damaged, 1, frames(0, 300), frames(0, 300)),
        PlayableSegment::compositionTrackSegmentWithURL(folder / "missing.mov", 1, frames(0, 25),
                                                        frames(300, 25)),
        PlayableSegment::compositionTrackSegmentWithURL(doomed, 1, frames(0, 100),
                                                        frames(325, 100)),
    }));
    for (int64_t wanted = 0; wanted < 300; wanted += 7) {
        const auto frame = reader.frameAtTime(frameTime(wanted));
        ASSERT_TRUE(frame) << wanted;
        EXPECT_EQ(frame->pixels.size(), test::kPictureBytes);
    }
    for (const int64_t wanted : {310, 324}) {
        const auto frame = reader.frameAtTime(frameTime(wanted));
        ASSERT_TRUE(frame);
        EXPECT_TRUE(frame->black);
        EXPECT_EQ(frame->time, frameTime(wanted));
    }
    ASSERT_TRUE(reader.frameAtTime(frameTime(330)));
    std::filesystem::remove(doomed);  // gone while it plays
    for (const int64_t wanted : {331, 400, 326, 0}) {
        const auto frame = reader.frameAtTime(frameTime(wanted));
        ASSERT_TRUE(frame) << wanted;
    }
    // A file that ends before its segment does: its last picture stays to the segment's end.
    CompositionVideoReader shorter(compositionOf({PlayableSegment::compositionTrackSegmentWithURL(
        test::generatedMedia("other.mov"), 1, frames(0, 200), frames(0, 200))}));
    for (const int64_t wanted : {98, 99, 100, 150, 199}) {
        const auto frame = shorter.frameAtTime(frameTime(wanted));
        ASSERT_TRUE(frame) << wanted;
        EXPECT_EQ(frame->sourceTime, frameTime(std::min<int64_t>(wanted, 99))) << wanted;
        if (wanted >= 99) {
            EXPECT_EQ(frame->time + frame->duration, frameTime(200)) << wanted;
        }
    }
    // Only gaps: black all along.
    CompositionVideoReader gaps(
        compositionOf({PlayableSegment::compositionTrackSegmentWithTimeRange(frames(0, 10)),
                       PlayableSegment::compositionTrackSegmentWithTimeRange(frames(10, 10))}));
    const auto black = gaps.frameAtTime(frameTime(15));
    ASSERT_TRUE(black);
    EXPECT_TRUE(black->black);
    EXPECT_EQ(black->width, 1920);
    EXPECT_EQ(gaps.frameAfter(*black)->time, frameTime(16));
}

}  // namespace
}  // namespace vorlane
