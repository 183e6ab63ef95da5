#include "sync/MediaMapping.h"

#include <cmath>

#include "media/MediaFile.h"
#include "media/MediaObject.h"
#include "media/MediaTrack.h"
#include "platform/ByteOrder.h"
#include "platform/Log.h"
#include "platform/Resources.h"
#include "platform/media/MediaAsset.h"

namespace vorlane {
namespace {

// The H.264 profile of the High 4:2:2 family (10-bit 4:2:2 pictures).
constexpr int64_t kH264ProfileHigh422 = 122;
// How deep edited tracks may show other edited tracks; deeper nesting can only be a loop.
constexpr int kMaximumNesting = 32;
constexpr char kBlackMasterModel[] = "Blackmagic Design Cinema Camera";

// Pictures the player cannot decode: tracks without a known codec, RED and Canon raw, image
// sequences. (The media layer decodes DNxHD and 10-bit 4:2:2 H.264 itself.)
bool playerCanDecode(uint32_t code) {
    return code != 0 && code != fourCC("REDC") && code != fourCC("tiff") && code != fourCC("CRAW");
}

bool isTenBit422Code(uint32_t code) {
    static constexpr uint32_t kCodes[] = {
        fourCC("ai12"), fourCC("ai13"), fourCC("ai15"), fourCC("ai16"), fourCC("ai1p"),
        fourCC("ai1q"), fourCC("ai22"), fourCC("ai23"), fourCC("ai25"), fourCC("ai26"),
        fourCC("ai2p"), fourCC("ai2q"), fourCC("ai52"), fourCC("ai53"), fourCC("ai55"),
        fourCC("ai56"), fourCC("ai5p"), fourCC("ai5q"), fourCC("ai42"), fourCC("aivx"),
        fourCC("v210"), fourCC("xalg")};
    for (const uint32_t known : kCodes)
        if (code == known) return true;
    return false;
}

bool isProRes4444Class(uint32_t code) {
    return code == fourCC("ap4h") || code == fourCC("ap4x") || code == fourCC("apch") ||
           code == fourCC("apcn") || code == fourCC("ai44");
}

// Whether the track is part of a composition whose picture comes from a Blackmagic Cinema
// Camera file: its first segment with content shows such a file.
bool showsBlackmagicCinemaCamera(const MediaTrack& track) {
    const std::shared_ptr<MediaObject> owner = track.mediaObject();
    if (!owner || !owner->isComposition()) return false;
    for (const MediaSegment& segment : MediaSegment::subSegmentsForSegments(track.segments())) {
        if (segment.isEmpty()) continue;
        const auto file = std::dynamic_pointer_cast<MediaFile>(segment.sourceFile());
        return file && file->modelname() == kBlackMasterModel;
    }
    return false;
}

std::optional<AssetMediaType> assetMediaTypeOf(const MediaTrack& track) {
    if (track.type() == MediaTrackTypeVideo) return AssetMediaType::Video;
    if (track.type() == MediaTrackTypeAudio) return AssetMediaType::Audio;
    return std::nullopt;
}

std::string rangeText(CMTimeRange range) {
    if (!range.isValid()) return "{INVALID}";
    return "{" + std::to_string(range.start.seconds()) + ", " +
           std::to_string(range.duration.seconds()) + "}";
}

}  // namespace

MediaMapping::MediaMapping(std::shared_ptr<MediaObject> mediaObject)
    : mediaObject_(std::move(mediaObject)) {}

std::shared_ptr<MediaAsset> MediaMapping::avAssetForMediaObject(std::shared_ptr<MediaObject> object,
                                                                int32_t type) {
    MediaMapping mapping(std::move(object));
    mapping.setType(type);
    return mapping.avAsset();
}

std::shared_ptr<PlayableComposition> MediaMapping::avCompositionForMediaObject(
    std::shared_ptr<MediaObject> object, int32_t type) {
    MediaMapping mapping(std::move(object));
    mapping.setType(type);
    return mapping.avComposition();
}

std::filesystem::path MediaMapping::urlOfSourceFile(const MediaObject& object) const {
    const auto* file = dynamic_cast<const MediaFile*>(&object);
    if (!file) return object.mediaURL().value_or(std::filesystem::path());
    const int32_t container = file->fileContainerType();
    if (type_ == MediaMappingExportPassThrough &&
        (container == MediaFileContainerQuicktime || container == MediaFileContainerMP4)) {
        return file->sourceURLPath();
    }
    return file->mediaURL().value_or(std::filesystem::path());
}

std::shared_ptr<MediaAsset> MediaMapping::avAsset() const {
    const auto file = std::dynamic_pointer_cast<MediaFile>(mediaObject_);
    if (!file || file->referencedFilesCount() > 1) return nullptr;
    const std::filesystem::path url = urlOfSourceFile(*file);
    if (url.empty()) return nullptr;
    return MediaAsset::assetWithURL(url);
}

std::shared_ptr<PlayableComposition> MediaMapping::avComposition() const {
    if (!mediaObject_) return nullptr;
    auto composition = std::make_shared<PlayableComposition>();
    const std::vector<std::shared_ptr<MediaTrack>> tracks = mediaObject_->tracks();
    for (const std::shared_ptr<MediaTrack>& track : tracks) {
        const std::optional<AssetMediaType> kind = assetMediaTypeOf(*track);
        if (!kind) continue;
        PlayableCompositionTrack* platformTrack =
            composition->addMutableTrackWithMediaType(*kind, track->sourceTrackID());
        if (!platformTrack) continue;
        std::vector<PlayableSegment> segments = avTrackSegmentsForMediaSegments(track->segments());
        if (type_ == MediaMappingPlayback && *kind == AssetMediaType::Video) {
            // The player shows black after the last frame.
            const CMTime frame = CMTimeMake(1, 25);
            segments.push_back(PlayableSegment::compositionTrackSegmentWithURL(
                blackMovieURL(), 1, CMTimeRangeMake(kCMTimeZero, frame),
                CMTimeRangeMake(track->timeRange().end(), frame)));
        }
        std::string reason;
        if (!PlayableCompositionTrack::validateTrackSegments(segments, &reason)) {
            Log::writef("avComposition: TrackSegments could not be validated, Reason: %s",
                        reason.c_str());
            return nullptr;
        }
        platformTrack->setSegments(std::move(segments));
    }
    return composition;
}

namespace {

void appendPlatformSegments(const MediaMapping& mapping, const std::vector<MediaSegment>& segments,
                            int nesting, std::vector<PlayableSegment>& out) {
    for (const MediaSegment& segment : segments) {
        const CMTimeRange target = segment.timeMapping().target;
        if (segment.isEmpty()) {
            out.push_back(PlayableSegment::compositionTrackSegmentWithTimeRange(target));
        } else if (segment.hasSubSegments()) {
            if (nesting < kMaximumNesting) {
                appendPlatformSegments(mapping, segment.subSegments(), nesting + 1, out);
            } else {
                out.push_back(PlayableSegment::compositionTrackSegmentWithTimeRange(target));
            }
        } else if (const auto url = segment.mediaURL(); !url || url->empty()) {
            Log::write(
                "avTrackSegmentsForMediaTrack: MediaObject has no URL set, inserting Empty "
                "Segment.");
            out.push_back(PlayableSegment::compositionTrackSegmentWithTimeRange(target));
        } else {
            out.push_back(mapping.avTrackSegmentForMediaSegment(
                segment, segment.timeMapping().source, target));
        }
    }
}

}  // namespace

std::vector<PlayableSegment> MediaMapping::avTrackSegmentsForMediaSegments(
    const std::vector<MediaSegment>& segments) const {
    std::vector<PlayableSegment> platformSegments;
    appendPlatformSegments(*this, segments, 0, platformSegments);
    return platformSegments;
}

PlayableSegment MediaMapping::avTrackSegmentForMediaSegment(const MediaSegment& segment,
                                                            CMTimeRange sourceRange,
                                                            CMTimeRange targetRange) const {
    const std::shared_ptr<MediaTrack> track = segment.sourceTrack();
    const std::shared_ptr<MediaObject> file = segment.sourceFile();
    if (!track || !file) return PlayableSegment::compositionTrackSegmentWithTimeRange(targetRange);
    if (type_ == MediaMappingPlayback && !playerCanDecode(track->fourCC())) {
        return PlayableSegment::compositionTrackSegmentWithTimeRange(targetRange);
    }
    return PlayableSegment::compositionTrackSegmentWithURL(
        urlOfSourceFile(*file), track->mediaTrackID(), sourceRange, targetRange);
}

void MediaMapping::showAVSegments(const std::vector<PlayableSegment>& segments) {
    for (size_t i = 0; i < segments.size(); ++i) {
        const PlayableSegment& segment = segments[i];
        if (segment.empty) {
            Log::writef("  [%zu] target %s empty", i, rangeText(segment.targetRange).c_str());
        } else {
            Log::writef("  [%zu] target %s source %s track %d %s", i,
                        rangeText(segment.targetRange).c_str(),
                        rangeText(segment.sourceRange).c_str(), int(segment.sourceTrackID),
                        segment.sourceURL.string().c_str());
        }
    }
}

std::filesystem::path MediaMapping::blackMovieURL() {
    return Resources::path("Black.mov");
}

std::string MediaMapping::stringOfFourCC(uint32_t code) {
    return {char(code >> 24), char(code >> 16), char(code >> 8), char(code)};
}

uint32_t MediaMapping::bestPixelBufferFormatForVideoTrack(const MediaTrack& track) {
    if (track.type() != MediaTrackTypeVideo) return 0;
    const uint32_t code = track.fourCC();
    if (isTenBit422Code(code)) return fourCC("v210");
    if (code == fourCC("avc1") || code == fourCC("Avc1")) {
        const auto profile = track.metaData().find(kVideoH264Profile);
        const bool high422 = profile != track.metaData().end() &&
                             (profile->second.integer().value_or(0) & 0xff) == kH264ProfileHigh422;
        return high422 ? fourCC("v210") : fourCC("2vuy");
    }
    if (isProRes4444Class(code))
        return showsBlackmagicCinemaCamera(track) ? fourCC("2vuy") : fourCC("y416");
    return fourCC("2vuy");
}

uint32_t MediaMapping::findMatchingAVCIntraCodecForTrack(const MediaTrack& track,
                                                         uint32_t baseFourCC, double videoHeight) {
    if (track.type() != MediaTrackTypeVideo) return 0;
    const long rate = std::lround(track.videoFrameRate());
    const bool rate24Family = rate == 24 || rate == 30 || rate == 60;
    const bool rate25Family = rate == 25 || rate == 50;
    char last = 0;
    if (videoHeight == 1080) {
        if (track.videoFieldCount() == 2) {
            last = rate == 30 ? '6' : rate == 25 ? '5' : 0;
        } else {
            last = rate24Family ? '3' : rate25Family ? '2' : 0;
        }
    } else if (videoHeight == 720) {
        last = rate24Family ? 'p' : rate25Family ? 'q' : 0;
    }
    return last ? baseFourCC | uint32_t(uint8_t(last)) : 0;
}

}  // namespace vorlane
