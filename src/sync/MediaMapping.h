// Turns a media object (a file or a composition) into what the platform media layer plays and
// writes: an asset opened on a file, or a playable composition whose tracks are segment lists,
// each segment a range of one track of one file (or a gap). The player, the movie export and the
// sample reader all get their platform objects here. Also holds two format decisions of the movie
// export: the pixel format in which to decode a video track, and the AVC-Intra variant that
// matches a track.
//
// Mappings are made on the calling thread and not shared.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "media/MediaSegment.h"
#include "platform/CMTime.h"
#include "platform/media/PlayableComposition.h"

namespace vorlane {

class MediaAsset;
class MediaObject;
class MediaTrack;

// The purpose of a mapping.
enum MediaMappingType : int32_t {
    MediaMappingSampleReading = 0,
    MediaMappingPlayback = 1,
    MediaMappingExportPassThrough = 2,  // movie export without a chosen video codec
    MediaMappingExportReencode = 3,
};

class MediaMapping {
  public:
    explicit MediaMapping(
        std::shared_ptr<MediaObject> mediaObject);  // initWithMediaObject:, type 0

    static std::shared_ptr<MediaAsset> avAssetForMediaObject(std::shared_ptr<MediaObject> object,
                                                             int32_t type);
    static std::shared_ptr<PlayableComposition> avCompositionForMediaObject(
        std::shared_ptr<MediaObject> object, int32_t type);

    const std::shared_ptr<MediaObject>& mediaObject() const { return mediaObject_; }
    int32_t type() const { return type_; }
    void setType(int32_t type) { type_ = type; }

    // An asset opened on a media file: on its sourceURL when exporting by pass-through a
    // QuickTime or MPEG-4 file, else on its mediaURL. Nothing for other objects, for files that
    // cannot be opened, and for recordings split over several files, which play as compositions.
    std::shared_ptr<MediaAsset> avAsset() const;
    // A composition of the object's video and audio tracks; for playback each video track ends
    // with 1/25 s of black. Nothing when a track's segments are rejected (logged).
    std::shared_ptr<PlayableComposition> avComposition() const;
    // Platform segments for a track's segments: gaps stay gaps, edited tracks are replaced by
    // the segments they show, segments of files without a media URL become gaps (logged).
    std::vector<PlayableSegment> avTrackSegmentsForMediaSegments(
        const std::vector<MediaSegment>& segments) const;
    PlayableSegment avTrackSegmentForMediaSegment(const MediaSegment& segment,
                                                  CMTimeRange sourceRange,
                                                  CMTimeRange targetRange) const;
    // Writes one log line per platform segment.
    static void showAVSegments(const std::vector<PlayableSegment>& segments);

    // The one-frame black movie shipped with the application (resource "Black", "mov").
    static std::filesystem::path blackMovieURL();
    // A four-character code as text, most significant byte first.
    static std::string stringOfFourCC(uint32_t code);
    // The pixel format ('v210', '2vuy', 'y416') in which to decode a video track; 0 for other
    // tracks.
    static uint32_t bestPixelBufferFormatForVideoTrack(const MediaTrack& track);
    // The base code ('ai1', 'ai5' with 0 in its last byte) completed with the character that
    // matches the picture height, scan and rate of the track; 0 when none matches.
    static uint32_t findMatchingAVCIntraCodecForTrack(const MediaTrack& track, uint32_t baseFourCC,
                                                      double videoHeight);

  private:
    // The URL a segment of the source file plays from for this mapping's purpose.
    std::filesystem::path urlOfSourceFile(const MediaObject& file) const;

    std::shared_ptr<MediaObject> mediaObject_;
    int32_t type_ = MediaMappingSampleReading;
};

}  // namespace vorlane
