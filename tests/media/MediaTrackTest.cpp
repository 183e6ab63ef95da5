#include <gtest/gtest.h>

#include "media/MediaObject.h"
#include "media/MediaTrack.h"

namespace vorlane {
namespace {

CMTime at(int64_t seconds) {
    return CMTimeMake(seconds, 1);
}
CMTimeRange span(int64_t from, int64_t to) {
    return {at(from), at(to - from)};
}

// Target from..to showing `source` from sourceStart; without a source, a gap.
struct Expected {
    int64_t from, to;
    const MediaTrack* source = nullptr;
    int64_t sourceStart = 0;
};

void expectSegments(const std::vector<MediaSegment>& segments, std::vector<Expected> expected) {
    ASSERT_EQ(segments.size(), expected.size());
    for (size_t index = 0; index < segments.size(); ++index) {
        const Expected& want = expected[index];
        const CMTimeMapping& mapping = segments[index].timeMapping();
        SCOPED_TRACE("segment " + std::to_string(index) + " " + segments[index].description());
        EXPECT_TRUE(CMTimeRangeEqual(mapping.target, span(want.from, want.to)));
        EXPECT_EQ(segments[index].isEmpty() ? nullptr : segments[index].sourceTrack().get(),
                  want.source);
        const CMTimeRange source = span(want.sourceStart, want.sourceStart + want.to - want.from);
        EXPECT_TRUE(!want.source || CMTimeRangeEqual(mapping.source, source));
    }
}

class Composition : public MediaObject {
  public:
    bool isComposition() const override { return true; }
    std::string name() const override { return "Comp"; }
};

struct MediaTrackTest : testing::Test {
    std::shared_ptr<MediaObject> file = std::make_shared<MediaObject>();
    std::shared_ptr<MediaObject> composition = std::make_shared<Composition>();
    std::shared_ptr<MediaTrack> f = fileTrack(10), g = fileTrack(100);
    std::shared_ptr<MediaTrack> edited = composition->addTrackWithMediaType(MediaTrackTypeVideo, 0);

    std::shared_ptr<MediaTrack> fileTrack(int64_t length) {
        auto track = file->addTrackWithMediaType(MediaTrackTypeVideo, 0);
        track->setTimeRange(span(0, length));
        return track;
    }
};

TEST_F(MediaTrackTest, InsertSplitsContentAppendsAtTheEndAndLeadsWithContent) {
    f->insertTimeRange(span(50, 52), g, at(4));
    expectSegments(f->segments(), {{0, 4, f.get(), 0}, {4, 6, g.get(), 50}, {6, 12, f.get(), 4}});
    f->insertTimeRange(span(50, 52), g, at(0));  // no zero-length head is left
    expectSegments(
        f->segments(),
        {{0, 2, g.get(), 50}, {2, 6, f.get(), 0}, {6, 8, g.get(), 50}, {8, 14, f.get(), 4}});
    edited->insertTimeRange(span(0, 10), f, at(0));
    edited->insertTimeRange(span(3, 5), g, at(10));
    edited->insertTimeRange(span(0, 1), g, at(15));
    expectSegments(edited->segments(),
                   {{0, 10, f.get(), 0}, {10, 12, g.get(), 3}, {12, 15}, {15, 16, g.get(), 0}});
    // Before the first segment of a track that starts late: the list stays contiguous.
    edited->setSegments({MediaSegment::segmentWithTrack(f, span(0, 10), span(10, 20))});
    edited->insertTimeRange(span(7, 9), g, at(3));
    expectSegments(edited->segments(), {{3, 5, g.get(), 7}, {5, 12}, {12, 22, f.get(), 0}});
}

// Edits of edited tracks, gaps, removal and flattening are checked against a reference model in
// MediaTrackEditModelTest; a file track edits its own segments the same way.
TEST_F(MediaTrackTest, RemovingFromAFileTrackClosesTheCut) {
    f->removeTimeRange(span(4, 6));
    expectSegments(f->segments(), {{0, 4, f.get(), 0}, {4, 8, f.get(), 6}});
}

TEST_F(MediaTrackTest, MeaninglessEditsChangeNothing) {
    for (CMTime length : {at(0), at(-2), kCMTimeInvalid}) {
        f->insertTimeRange({at(0), length}, g, at(3));
        f->insertEmptyTimeRange({at(3), length});
        f->removeTimeRange({at(3), length});
    }
    f->insertTimeRange(span(0, 2), g, kCMTimeInvalid);
    f->removeTimeRange({kCMTimeInvalid, at(2)});
    f->removeTimeRange(span(10, 12));
    expectSegments(f->segments(), {{0, 10, f.get(), 0}});
    EXPECT_EQ(f->segmentForTrackTime(kCMTimeInvalid), nullptr);
    EXPECT_EQ(f->segmentForTrackTime(at(10)), nullptr);
}

TEST_F(MediaTrackTest, SegmentsReachTheirSourceWeakly) {
    const MediaSegment segment =
        MediaSegment::segmentWithTrack(f, span(2, 4), {CMTimeMake(21, 2), at(2)});
    EXPECT_EQ(segment.sourceFile(), nullptr);  // a plain object is no media file
    EXPECT_FALSE(segment.sourceURL().has_value());
    auto orphan = std::make_shared<MediaTrack>(MediaTrackTypeAudio);
    orphan->setTimeRange(span(0, 1));
    const MediaSegment kept = orphan->segments().front();
    EXPECT_EQ(kept.sourceName(), "???");
    orphan.reset();
    EXPECT_TRUE(kept.isEmpty());
    EXPECT_EQ(kept.sourceName(), "empty");
}

TEST_F(MediaTrackTest, NamesDescriptionsThumbnailsAndChannels) {
    f->setVideoSize({1920, 1080});
    f->setVideoFrameRate(25);
    auto a1 = file->addTrackWithMediaType(MediaTrackTypeAudio, 0);
    auto a2 = file->addTrackWithMediaType(MediaTrackTypeAudio, 0);
    a1->setAudioChannelCount(2);
    a1->setAudioBitDepth(24);
    a1->setAudioSampleRate(48000);
    a1->setAudioChannelMask(0b01);
    a2->setAudioChannelMask(0b1000);
    a1->setTimeRange(span(0, 3));
    a2->setTimeRange(span(0, 3));
    EXPECT_EQ(a2->totalAudioChannelStart(), 2u);
    EXPECT_EQ(f->totalAudioChannelStart(), 0u);  // not an audio track
    auto mixed = composition->addTrackWithMediaType(MediaTrackTypeAudio, 0);
    mixed->setAudioChannelMask(0b10);  // a composition's track combines its sources instead
    EXPECT_EQ(mixed->getAudioChannelMask(), 0u);
    mixed->insertTimeRange(span(0, 3), a1, at(0));
    mixed->insertTimeRange(span(0, 3), a2, at(3));
    EXPECT_EQ(mixed->getAudioChannelMask(), 0b1001u);
    auto timecode = composition->addTrackWithMediaType(MediaTrackTypeTimecode, 0);
    EXPECT_EQ(timecode->description(), "TC1 [Comp]: none");
    auto other = composition->addTrackWithMediaType(7, 0);
    other->insertTimeRange(span(0, 1), nullptr, at(0));
    EXPECT_EQ(other->description(), "T1 [Comp]: (" + other->segments()[0].description() + ")");
    file->setThumbnail(Image::named("frame"));
    EXPECT_EQ(f->thumbnail().resourceName, "frame");
    EXPECT_EQ(a1->thumbnail().resourceName, "WaveformIcon.png");
    EXPECT_EQ(timecode->thumbnail().resourceName, "caution");
}

}  // namespace
}  // namespace vorlane
