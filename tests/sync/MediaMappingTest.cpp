// Playable compositions of files and compositions, and the pixel-format and AVC-Intra choices of
// the movie export.
#include <gtest/gtest.h>

#include "formats/asset/AVFoundationFile.h"
#include "formats/asset/MediaTools.h"
#include "media/MediaFile.h"
#include "mediagen/MovieWriter.h"
#include "platform/ByteOrder.h"
#include "platform/Log.h"
#include "platform/media/MediaAsset.h"
#include "support/LogCapture.h"
#include "support/TestSupport.h"
#include "sync/MediaMapping.h"

namespace vorlane {
namespace {

// What a composition is to the mapping: a media object whose tracks hold edited segments.
class TestComposition : public MediaObject {
  public:
    bool isComposition() const override { return true; }
};

// A file with one video and one audio track over `seconds`, without reading anything.
std::shared_ptr<MediaFile> fileWithTracks(const std::string& path, uint32_t videoCode,
                                          int64_t seconds) {
    auto file = std::make_shared<MediaFile>(path);
    const auto video = file->addTrackWithMediaType(MediaTrackTypeVideo, 1);
    video->setFourCC(videoCode);
    video->setVideoFrameRate(25);
    video->setTimeRange(CMTimeRangeMake(kCMTimeZero, CMTimeMake(seconds * 25, 25)));
    const auto audio = file->addTrackWithMediaType(MediaTrackTypeAudio, 2);
    audio->setFourCC(fourCC("lpcm"));
    audio->setTimeRange(CMTimeRangeMake(kCMTimeZero, CMTimeMake(seconds * 48000, 48000)));
    return file;
}

CMTimeRange seconds(int64_t start, int64_t duration) {
    return CMTimeRangeMake(CMTimeMake(start, 1), CMTimeMake(duration, 1));
}

const CMTime kBlackLength = CMTimeMake(1, 25);

using test::LogCapture;

TEST(MediaMapping, BlackMovieResource) {
    const auto asset = MediaAsset::assetWithURL(MediaMapping::blackMovieURL());
    ASSERT_TRUE(asset);
    const AssetTrack* track = asset->trackWithTrackID(1);
    ASSERT_TRUE(track);
    EXPECT_EQ(track->mediaType, AssetMediaType::Video);
    EXPECT_GE(track->timeRange.duration, kBlackLength);
    EXPECT_LT(std::filesystem::file_size(MediaMapping::blackMovieURL()), 8192u);
}

// A movie analysed from disk: its tracks map onto the same file and track IDs; playback adds
// black after the last frame, export does not.
TEST(MediaMapping, FileForPlaybackAndExport) {
    VORLANE_REQUIRE_TOOL("ffmpeg");
    test::ScratchFolder folder;
    mediagen::MovieOptions options;
    options.path = folder / "take.mov";
    options.frameCount = 20;
    options.audioTracks = {test::writeStereoTone(folder / "tone.wav", 0.8)};
    std::string error;
    ASSERT_TRUE(mediagen::writeMovie(options, &error)) << error;
    auto file = std::make_shared<AVFoundationFile>(options.path);
    file->analyzeWithOptions({});
    const auto video = file->firstVideoTrack();
    const auto audio = file->firstAudioTrack();
    ASSERT_TRUE(video && audio);

    const auto playback = MediaMapping::avCompositionForMediaObject(file, MediaMappingPlayback);
    ASSERT_TRUE(playback);
    ASSERT_EQ(playback->tracks().size(), 2u);
    const PlayableCompositionTrack& picture = playback->tracks()[0];
    EXPECT_EQ(picture.mediaType(), AssetMediaType::Video);
    EXPECT_EQ(picture.trackID(), video->sourceTrackID());
    ASSERT_EQ(picture.segments().size(), 2u);
    const PlayableSegment& shown = picture.segments()[0];
    EXPECT_FALSE(shown.empty);
    EXPECT_EQ(shown.sourceURL, options.path);
    EXPECT_EQ(shown.sourceTrackID, video->mediaTrackID());
    EXPECT_EQ(shown.targetRange.duration, CMTimeMake(20, 25));
    const PlayableSegment& black = picture.segments()[1];
    EXPECT_EQ(black.sourceURL, MediaMapping::blackMovieURL());
    EXPECT_EQ(black.sourceTrackID, 1);
    EXPECT_EQ(black.sourceRange.start, kCMTimeZero);
    EXPECT_EQ(black.sourceRange.duration, kBlackLength);
    EXPECT_EQ(black.targetRange.start, video->timeRange().end());
    EXPECT_EQ(black.targetRange.duration, kBlackLength);
    const PlayableCompositionTrack& sound = playback->tracks()[1];
    EXPECT_EQ(sound.trackID(), audio->sourceTrackID());
    ASSERT_EQ(sound.segments().size(), 1u);
    EXPECT_EQ(sound.segments()[0].sourceTrackID, audio->mediaTrackID());

    const auto exported =
        MediaMapping::avCompositionForMediaObject(file, MediaMappingExportReencode);
    ASSERT_TRUE(exported);
    EXPECT_EQ(exported->tracks()[0].segments().size(), 1u);
    EXPECT_EQ(exported->duration(), video->timeRange().end());

    const auto asset = MediaMapping::avAssetForMediaObject(file, MediaMappingPlayback);
    ASSERT_TRUE(asset);
    EXPECT_EQ(asset->url(), options.path);
}

// Exports that pass QuickTime and MPEG-4 pictures through read the original file; everything
// else reads the file the media URL names.
TEST(MediaMapping, PassThroughExportReadsTheSourceFile) {
    const auto file = fileWithTracks("/clips/a.mov", fourCC("avc1"), 2);
    file->setFileContainerType(MediaFileContainerQuicktime);
    file->setMediaURL("/tmp/reference.mov");
    for (const auto& [type, expected] :
         {std::pair{MediaMappingExportPassThrough, "/clips/a.mov"},
          std::pair{MediaMappingExportReencode, "/tmp/reference.mov"},
          std::pair{MediaMappingPlayback, "/tmp/reference.mov"},
          std::pair{MediaMappingSampleReading, "/tmp/reference.mov"}}) {
        const auto composition = MediaMapping::avCompositionForMediaObject(file, type);
        ASSERT_TRUE(composition);
        EXPECT_EQ(composition->tracks()[0].segments()[0].sourceURL, expected);
    }
    file->setFileContainerType(MediaFileContainerAVCHD);
    const auto avchd =
        MediaMapping::avCompositionForMediaObject(file, MediaMappingExportPassThrough);
    EXPECT_EQ(avchd->tracks()[0].segments()[0].sourceURL, "/tmp/reference.mov");
}

// A composition's track: gaps stay gaps, pieces of files map onto their files, pictures the
// player cannot decode play as black but are still exported.
TEST(MediaMapping, CompositionTracks) {
    const auto camera = fileWithTracks("/clips/a.mov", fourCC("avc1"), 10);
    const auto red = fileWithTracks("/clips/b.R3D", fourCC("REDC"), 10);
    const auto composition = std::make_shared<TestComposition>();
    const auto track = composition->addTrackWithMediaType(MediaTrackTypeVideo, 7);
    track->setSegments(
        {MediaSegment::segmentWithTrack(camera->firstVideoTrack(), seconds(2, 3), seconds(0, 3)),
         MediaSegment::segmentWithTimeRange(seconds(3, 1)),
         MediaSegment::segmentWithTrack(red->firstVideoTrack(), seconds(0, 2), seconds(4, 2))});
    composition->addTimecodeTrackWithTCHelper(nullptr);

    const auto playback =
        MediaMapping::avCompositionForMediaObject(composition, MediaMappingPlayback);
    ASSERT_TRUE(playback);
    ASSERT_EQ(playback->tracks().size(), 1u);  // timecode tracks are not mapped
    const auto& segments = playback->tracks()[0].segments();
    EXPECT_EQ(playback->tracks()[0].trackID(), 7);
    ASSERT_EQ(segments.size(), 4u);
    EXPECT_EQ(segments[0].sourceURL, "/clips/a.mov");
    EXPECT_EQ(segments[0].sourceRange.start, CMTimeMake(2, 1));
    EXPECT_TRUE(segments[1].empty);
    EXPECT_TRUE(segments[2].empty);  // RED plays black
    EXPECT_EQ(segments[2].targetRange.start, CMTimeMake(4, 1));
    EXPECT_EQ(segments[3].targetRange.start, CMTimeMake(6, 1));

    const auto exported =
        MediaMapping::avCompositionForMediaObject(composition, MediaMappingExportPassThrough);
    ASSERT_TRUE(exported);
    const auto& exportSegments = exported->tracks()[0].segments();
    ASSERT_EQ(exportSegments.size(), 3u);
    EXPECT_FALSE(exportSegments[2].empty);
    EXPECT_EQ(exportSegments[2].sourceURL, "/clips/b.R3D");
    EXPECT_FALSE(MediaMapping::avAssetForMediaObject(composition, MediaMappingPlayback));
}

// A composition that shows another composition's track plays the files underneath.
TEST(MediaMapping, NestedCompositionsResolveToFiles) {
    const auto camera = fileWithTracks("/clips/a.mov", fourCC("avc1"), 10);
    const auto inner = std::make_shared<TestComposition>();
    const auto innerTrack = inner->addTrackWithMediaType(MediaTrackTypeAudio, 1);
    innerTrack->setSegments(
        {MediaSegment::segmentWithTimeRange(seconds(0, 1)),
         MediaSegment::segmentWithTrack(camera->firstAudioTrack(), seconds(0, 4), seconds(1, 4))});
    const auto outer = std::make_shared<TestComposition>();
    outer->addTrackWithMediaType(MediaTrackTypeAudio, 1)
        ->setSegments({MediaSegment::segmentWithTrack(innerTrack, seconds(0, 3), seconds(0, 3))});

    const auto playable = MediaMapping::avCompositionForMediaObject(outer, MediaMappingPlayback);
    ASSERT_TRUE(playable);
    const auto& segments = playable->tracks()[0].segments();
    ASSERT_EQ(segments.size(), 2u);
    EXPECT_TRUE(segments[0].empty);
    EXPECT_TRUE(CMTimeRangeEqual(segments[0].targetRange, seconds(0, 1)));
    EXPECT_EQ(segments[1].sourceURL, "/clips/a.mov");
    EXPECT_EQ(segments[1].sourceTrackID, 2);
    EXPECT_TRUE(CMTimeRangeEqual(segments[1].sourceRange, seconds(0, 2)));
    EXPECT_TRUE(CMTimeRangeEqual(segments[1].targetRange, seconds(1, 2)));
}

TEST(MediaMapping, FilesWithoutMediaURLAndRejectedLists) {
    LogCapture log;
    const auto lost = fileWithTracks("/clips/lost.mov", fourCC("avc1"), 4);
    lost->setMediaURL("");
    const auto composition = std::make_shared<TestComposition>();
    composition->addTrackWithMediaType(MediaTrackTypeVideo, 1)
        ->setSegments({MediaSegment::segmentWithTrack(lost->firstVideoTrack(), seconds(0, 4),
                                                      seconds(0, 4))});
    const auto playable =
        MediaMapping::avCompositionForMediaObject(composition, MediaMappingExportReencode);
    ASSERT_TRUE(playable);
    EXPECT_TRUE(playable->tracks()[0].segments()[0].empty);
    EXPECT_TRUE(log.contains(
        "avTrackSegmentsForMediaTrack: MediaObject has no URL set, inserting Empty Segment."));

    // A source range before the start of the file cannot be played.
    const auto camera = fileWithTracks("/clips/a.mov", fourCC("avc1"), 4);
    const auto broken = std::make_shared<TestComposition>();
    broken->addTrackWithMediaType(MediaTrackTypeVideo, 1)
        ->setSegments({MediaSegment::segmentWithTrack(
            camera->firstVideoTrack(), CMTimeRangeMake(CMTimeMake(-1, 1), CMTimeMake(2, 1)),
            seconds(0, 2))});
    EXPECT_FALSE(MediaMapping::avCompositionForMediaObject(broken, MediaMappingPlayback));
    EXPECT_TRUE(log.contains("avComposition: TrackSegments could not be validated, Reason: "));
}

TEST(MediaMapping, PixelFormats) {
    const auto formatOf = [](uint32_t code, std::optional<int64_t> profile = std::nullopt,
                             int32_t type = MediaTrackTypeVideo) {
        MediaTrack track(type);
        track.setFourCC(code);
        if (profile) track.metaData()[kVideoH264Profile] = MetadataValue(*profile);
        return MediaMapping::stringOfFourCC(
            MediaMapping::bestPixelBufferFormatForVideoTrack(track));
    };
    EXPECT_EQ(formatOf(fourCC("avc1"), 122), "v210");
    EXPECT_EQ(formatOf(fourCC("Avc1"), 122), "v210");
    EXPECT_EQ(formatOf(fourCC("avc1"), 100), "2vuy");
    EXPECT_EQ(formatOf(fourCC("apch")), "y416");
    EXPECT_EQ(MediaMapping::bestPixelBufferFormatForVideoTrack(MediaTrack(MediaTrackTypeAudio)),
              0u);

    // ProRes of the Blackmagic Cinema Camera decodes as 8-bit 4:2:2 inside a composition.
    const auto blackmagic = fileWithTracks("/clips/bmcc.mov", fourCC("apch"), 4);
    blackmagic->setMetaDataValue(kModel, "Blackmagic Design Cinema Camera");
    EXPECT_EQ(MediaMapping::bestPixelBufferFormatForVideoTrack(*blackmagic->firstVideoTrack()),
              fourCC("y416"));
    const auto composition = std::make_shared<TestComposition>();
    const auto track = composition->addTrackWithMediaType(MediaTrackTypeVideo, 1);
    track->setFourCC(fourCC("apch"));
    track->setSegments({MediaSegment::segmentWithTimeRange(seconds(0, 1)),
                        MediaSegment::segmentWithTrack(blackmagic->firstVideoTrack(), seconds(0, 2),
                                                       seconds(1, 2))});
    EXPECT_EQ(MediaMapping::bestPixelBufferFormatForVideoTrack(*track), fourCC("2vuy"));
}

TEST(MediaMapping, AVCIntraVariants) {
    const auto variant = [](double rate, int32_t fields, double height, uint32_t base,
                            int32_t type = MediaTrackTypeVideo) {
        MediaTrack track(type);
        track.setVideoFrameRate(rate);
        track.setVideoFieldCount(fields);
        const uint32_t code = MediaMapping::findMatchingAVCIntraCodecForTrack(track, base, height);
        return code ? MediaMapping::stringOfFourCC(code) : std::string("none");
    };
    const uint32_t ai1 = fourCC("ai1\0");
    const uint32_t ai5 = fourCC("ai5\0");
    EXPECT_EQ(variant(25, 2, 1080, ai1), "ai15");
    EXPECT_EQ(variant(50, 2, 1080, ai1), "none");
    EXPECT_EQ(variant(59.94, 2, 720, ai5), "ai5p");
    EXPECT_EQ(variant(25, 1, 900, ai1), "none");
    EXPECT_EQ(variant(25, 1, 1080, ai1, MediaTrackTypeAudio), "none");
}

}  // namespace
}  // namespace vorlane
