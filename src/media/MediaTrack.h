// One track of a media object: the video, an audio or a timecode track of a file, or a track
// of a composition. Its content is an edit list of segments whose targets follow each other
// without holes, each showing a range of a source track (or a gap) at its own speed.
// Tracks live in std::shared_ptr; the owner is held weakly.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "media/MediaSegment.h"
#include "media/MediaTypes.h"
#include "platform/CMTime.h"
#include "platform/Image.h"
#include "platform/MetadataValue.h"

namespace vorlane {

class MediaObject;
class TCHelper;

class MediaTrack : public std::enable_shared_from_this<MediaTrack> {
  public:
    explicit MediaTrack(int32_t type);  // initWithTrackType:

    std::shared_ptr<MediaObject> mediaObject() const { return mediaObject_.lock(); }
    void setMediaObject(const std::shared_ptr<MediaObject>& owner) { mediaObject_ = owner; }
    int32_t type() const { return type_; }
    int32_t sourceTrackID() const { return sourceTrackID_; }
    void setSourceTrackID(int32_t trackID) { sourceTrackID_ = trackID; }
    int32_t mediaTrackID() const { return mediaTrackID_; }
    void setMediaTrackID(int32_t trackID) { mediaTrackID_ = trackID; }
    int32_t trackNumber() const { return trackNumber_.load(std::memory_order_relaxed); }
    void setTrackNumber(int32_t number) { trackNumber_.store(number, std::memory_order_relaxed); }
    const std::string& codecName() const { return codecName_; }
    void setCodecName(std::string name) { codecName_ = std::move(name); }
    uint32_t fourCC() const { return fourCC_; }
    void setFourCC(uint32_t code) { fourCC_ = code; }
    const std::vector<MediaSegment>& segments() const { return segments_; }
    void setSegments(std::vector<MediaSegment> segments) { segments_ = std::move(segments); }
    const MetadataDictionary& metaData() const { return metaData_; }
    MetadataDictionary& metaData() { return metaData_; }
    void setMetaData(MetadataDictionary metaData) { metaData_ = std::move(metaData); }
    MediaSize videoSize() const { return videoSize_; }
    void setVideoSize(MediaSize size) { videoSize_ = size; }
    double videoFrameRate() const { return videoFrameRate_; }
    void setVideoFrameRate(double rate) { videoFrameRate_ = rate; }
    int32_t videoFieldCount() const { return videoFieldCount_; }
    void setVideoFieldCount(int32_t count) { videoFieldCount_ = count; }
    uint32_t audioChannelCount() const { return audioChannelCount_; }
    void setAudioChannelCount(uint32_t count) { audioChannelCount_ = count; }
    uint32_t audioBitDepth() const { return audioBitDepth_; }
    void setAudioBitDepth(uint32_t depth) { audioBitDepth_ = depth; }
    uint32_t audioBytesPerFrame() const { return audioBytesPerFrame_; }
    void setAudioBytesPerFrame(uint32_t bytes) { audioBytesPerFrame_ = bytes; }
    double audioSampleRate() const { return audioSampleRate_; }
    void setAudioSampleRate(double rate) { audioSampleRate_ = rate; }
    // The stored mask (one bit per muted channel); getAudioChannelMask() is what consumers read.
    uint64_t audioChannelMask() const { return audioChannelMask_; }
    void setAudioChannelMask(uint64_t mask) { audioChannelMask_ = mask; }
    const std::shared_ptr<TCHelper>& timecode() const { return timecode_; }
    void setTimecode(std::shared_ptr<TCHelper> timecode) { timecode_ = std::move(timecode); }

    bool isAudioVisual() const;
    // A composition's track answers the OR of its source tracks' masks, any other the stored one.
    uint64_t getAudioChannelMask() const;
    // Channels of the owner's audio tracks before this one; 0 when this is not among them.
    uint32_t totalAudioChannelStart() const;

    // Whether the range lies outside the content or inside one gap.
    bool isTimeRangeFree(CMTimeRange range) const;
    // The first segment whose target contains the time; nullptr when none does. The pointer
    // stays valid until the edit list changes.
    const MediaSegment* segmentForTrackTime(CMTime time) const;
    // Moves the target of every segment after the index by the time.
    void shiftSegmentTimesBehindIndex(size_t index, CMTime shiftTime);
    // One segment showing this track itself over the range (what a reader sets on a file track).
    void setTimeRange(CMTimeRange range);
    // From the first segment's target start to the last one's target end; zero without segments.
    CMTimeRange timeRange() const;
    const MediaSegment* firstNonEmptySegment() const;
    // From the first to the last segment with content; invalid when there is none.
    CMTimeRange occupiedTimeRange() const;
    std::vector<MediaSegment> segmentsIncludingSubSegments() const;

    // Inserts the source range of the source track (a gap when it is null or the range's start is
    // invalid) at the time; content at and after the time moves later by the range's duration.
    void insertTimeRange(CMTimeRange sourceRange, const std::shared_ptr<MediaTrack>& sourceTrack,
                         CMTime atTime);
    // Inserts a gap at the range's start when that lies inside the content.
    void insertEmptyTimeRange(CMTimeRange range);
    // Deletes the range from the content; later content moves earlier by its duration.
    void removeTimeRange(CMTimeRange range);

    // Writes the edit list to the application log, one line per segment.
    void showSegments() const;
    // "V1", "A2", "TC1" ...
    std::string name() const;
    std::string description() const;
    Image thumbnail() const;

  private:
    std::optional<size_t> indexOfSegmentForTrackTime(CMTime time) const;
    void appendSegment(MediaSegment inserted);
    void insertBeforeContent(MediaSegment inserted);
    void splitSegmentForInsertion(size_t index, MediaSegment inserted);
    void removeInsideSegment(size_t index, CMTimeRange range);
    void removeAcrossSegments(size_t index, CMTimeRange range);
    std::string ownerName() const;
    std::string timecodeDescription() const;

    std::weak_ptr<MediaObject> mediaObject_;
    int32_t type_;
    int32_t sourceTrackID_ = 0;
    int32_t mediaTrackID_ = 0;
    // Renumbered by the pool's linking pass on its own queue while the window reads it.
    std::atomic<int32_t> trackNumber_{1};
    std::string codecName_ = "???";
    uint32_t fourCC_ = 0;
    std::vector<MediaSegment> segments_;
    MetadataDictionary metaData_;
    MediaSize videoSize_;
    double videoFrameRate_ = 0.0;
    int32_t videoFieldCount_ = 0;
    uint32_t audioChannelCount_ = 0;
    uint32_t audioBitDepth_ = 0;
    uint32_t audioBytesPerFrame_ = 0;
    double audioSampleRate_ = 0.0;
    uint64_t audioChannelMask_ = 0;
    std::shared_ptr<TCHelper> timecode_;
};

}  // namespace vorlane
