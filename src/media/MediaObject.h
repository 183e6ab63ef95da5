// The root of the media model: anything that owns tracks (files and compositions). Holds the
// ordered track list, a thumbnail and a random identity, and answers the questions every
// consumer asks of a set of tracks (kinds, counts, duration, frame rate, best timescale).
// Objects live in std::shared_ptr; tracks added here point back to their owner weakly.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "media/MediaTrack.h"
#include "media/MediaTypes.h"
#include "platform/CMTime.h"
#include "platform/Image.h"

namespace vorlane {

class TCHelper;

class MediaObject : public std::enable_shared_from_this<MediaObject> {
  public:
    MediaObject();
    virtual ~MediaObject() = default;
    MediaObject(const MediaObject&) = delete;
    MediaObject& operator=(const MediaObject&) = delete;

    static Image defaultThumbnailVideo();
    static Image defaultThumbnailAudio();
    static Image defaultThumbnailWarning();

    const std::vector<std::shared_ptr<MediaTrack>>& tracks() const { return tracks_; }
    std::vector<std::shared_ptr<MediaTrack>> tracksWithType(int32_t type) const;
    // The first track whose sourceTrackID equals the argument.
    std::shared_ptr<MediaTrack> trackWithTrackID(int32_t trackID) const;
    std::vector<std::shared_ptr<MediaTrack>> videoTracks() const;
    std::vector<std::shared_ptr<MediaTrack>> audioTracks() const;
    std::shared_ptr<MediaTrack> firstVideoTrack() const;
    std::shared_ptr<MediaTrack> firstAudioTrack() const;
    int32_t countTracksWithType(int32_t type) const;
    int32_t videoTrackCount() const;
    int32_t audioTrackCount() const;
    int32_t audioTotalChannelCount() const;
    bool hasVideo() const;
    bool hasAudio() const;
    // Compositions answer whether their timecode() gives a value.
    virtual bool hasTimecode() const;

    // The value of the first timecode track.
    virtual std::shared_ptr<TCHelper> timecode() const;
    // Adds a timecode track with a free track ID carrying the given value (shared, not copied).
    virtual std::shared_ptr<MediaTrack> addTimecodeTrackWithTCHelper(
        std::shared_ptr<TCHelper> tcHelper);
    // 1 + the largest sourceTrackID, or 1 without tracks.
    int32_t unusedTrackID() const;
    // Appends a new track of the kind; a preferred ID of 0 takes unusedTrackID().
    std::shared_ptr<MediaTrack> addTrackWithMediaType(int32_t type, int32_t preferredTrackID);
    // Appends a track that another object owns (the sound file of an image sequence): owner,
    // IDs and number stay, so its segments still read from the owner's file.
    void addSharedTrack(std::shared_ptr<MediaTrack> track);
    void removeTrack(const std::shared_ptr<MediaTrack>& track);
    void removeTracks(const std::vector<std::shared_ptr<MediaTrack>>& tracks);
    void removeTracksWithMediaType(int32_t type);
    void removeAllTracks();

    // Timescale for new times of this object: from the video rate, else the audio sample rate,
    // else 600.
    int32_t bestTimeScale() const;
    // The latest end of an audio or video track; zero without such tracks.
    virtual CMTime duration() const;
    // Union of the tracks' occupied ranges; invalid when no track of the kind has content.
    CMTimeRange occupiedVideoTimeRange() const;
    CMTimeRange occupiedAudioTimeRange() const;
    // The timecode's rate, else the first video track's rate, else 0.
    virtual double frameRate() const;
    // MediaTypeUnknown ... MediaTypeMovie.
    int32_t type() const;
    virtual std::string name() const;
    // Class name for descriptions.
    virtual std::string className() const;
    std::string description() const;

    Image thumbnail() const;
    void setThumbnail(Image thumbnail);
    // Random, made at creation, in its text form.
    const std::string& uuid() const { return uuid_; }

    // What a segment reaches through its source track's owner. Media files answer their URLs
    // and true; other objects nothing and false.
    virtual bool isMediaFile() const;
    virtual std::optional<std::filesystem::path> sourceURL() const;
    virtual std::optional<std::filesystem::path> mediaURL() const;
    // Compositions answer true; their tracks combine the channel masks of their sources.
    virtual bool isComposition() const;

  private:
    CMTimeRange occupiedTimeRangeOfTracks(int32_t type) const;
    std::string timecodeText() const;

    std::vector<std::shared_ptr<MediaTrack>> tracks_;
    mutable std::mutex thumbnailMutex_;
    Image thumbnail_;
    const std::string uuid_;
};

}  // namespace vorlane
