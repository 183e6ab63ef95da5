#include "media/MediaObject.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>

#include "media/MediaText.h"
#include "timecode/TCHelper.h"

namespace vorlane {

namespace {

// A random (version 4) UUID in upper-case text form.
std::string randomUUID() {
    static std::mutex mutex;
    static std::mt19937_64 generator{std::random_device{}()};
    uint64_t high = 0;
    uint64_t low = 0;
    {
        std::lock_guard lock(mutex);
        high = generator();
        low = generator();
    }
    high = (high & ~uint64_t(0xf000)) | 0x4000;
    low = (low & ~(uint64_t(0xc) << 60)) | (uint64_t(0x8) << 60);
    return formatMediaText("%08X-%04X-%04X-%04X-%012llX", unsigned(high >> 32),
                           unsigned((high >> 16) & 0xffff), unsigned(high & 0xffff),
                           unsigned(low >> 48), (unsigned long long)(low & 0xffffffffffffULL));
}

// A rate as an integer timescale, or nothing when it is no usable timescale.
std::optional<int32_t> timescaleOf(double rate) {
    if (!std::isfinite(rate) || rate < 1.0 || rate > std::numeric_limits<int32_t>::max())
        return std::nullopt;
    return int32_t(rate);
}

}  // namespace

MediaObject::MediaObject() : thumbnail_(defaultThumbnailVideo()), uuid_(randomUUID()) {}

Image MediaObject::defaultThumbnailVideo() {
    return Image::named("film.png");
}
Image MediaObject::defaultThumbnailAudio() {
    return Image::named("WaveformIcon.png");
}
Image MediaObject::defaultThumbnailWarning() {
    return Image::named("caution");
}

std::vector<std::shared_ptr<MediaTrack>> MediaObject::tracksWithType(int32_t type) const {
    std::vector<std::shared_ptr<MediaTrack>> found;
    std::copy_if(
        tracks_.begin(), tracks_.end(), std::back_inserter(found),
        [type](const std::shared_ptr<MediaTrack>& track) { return track->type() == type; });
    return found;
}

std::shared_ptr<MediaTrack> MediaObject::trackWithTrackID(int32_t trackID) const {
    for (const std::shared_ptr<MediaTrack>& track : tracks_)
        if (track->sourceTrackID() == trackID) return track;
    return nullptr;
}

std::vector<std::shared_ptr<MediaTrack>> MediaObject::videoTracks() const {
    return tracksWithType(MediaTrackTypeVideo);
}

std::vector<std::shared_ptr<MediaTrack>> MediaObject::audioTracks() const {
    return tracksWithType(MediaTrackTypeAudio);
}

std::shared_ptr<MediaTrack> MediaObject::firstVideoTrack() const {
    const auto tracks = videoTracks();
    return tracks.empty() ? nullptr : tracks.front();
}

std::shared_ptr<MediaTrack> MediaObject::firstAudioTrack() const {
    const auto tracks = audioTracks();
    return tracks.empty() ? nullptr : tracks.front();
}

int32_t MediaObject::countTracksWithType(int32_t type) const {
    return int32_t(std::count_if(
        tracks_.begin(), tracks_.end(),
        [type](const std::shared_ptr<MediaTrack>& track) { return track->type() == type; }));
}

int32_t MediaObject::videoTrackCount() const {
    return countTracksWithType(MediaTrackTypeVideo);
}
int32_t MediaObject::audioTrackCount() const {
    return countTracksWithType(MediaTrackTypeAudio);
}

int32_t MediaObject::audioTotalChannelCount() const {
    uint32_t channels = 0;
    for (const std::shared_ptr<MediaTrack>& track : audioTracks())
        channels += track->audioChannelCount();
    return int32_t(channels);
}

bool MediaObject::hasVideo() const {
    return countTracksWithType(MediaTrackTypeVideo) > 0;
}
bool MediaObject::hasAudio() const {
    return countTracksWithType(MediaTrackTypeAudio) > 0;
}
bool MediaObject::hasTimecode() const {
    return countTracksWithType(MediaTrackTypeTimecode) > 0;
}

std::shared_ptr<TCHelper> MediaObject::timecode() const {
    const auto tracks = tracksWithType(MediaTrackTypeTimecode);
    return tracks.empty() ? nullptr : tracks.front()->timecode();
}

std::shared_ptr<MediaTrack> MediaObject::addTimecodeTrackWithTCHelper(
    std::shared_ptr<TCHelper> tcHelper) {
    std::shared_ptr<MediaTrack> track = addTrackWithMediaType(MediaTrackTypeTimecode, 0);
    track->setTimecode(std::move(tcHelper));
    return track;
}

int32_t MediaObject::unusedTrackID() const {
    if (tracks_.empty()) return 1;
    int32_t largest = std::numeric_limits<int32_t>::min();
    for (const std::shared_ptr<MediaTrack>& track : tracks_)
        largest = std::max(largest, track->sourceTrackID());
    // Wraps like the 32-bit arithmetic it stands for instead of overflowing.
    return int32_t(uint32_t(largest) + 1u);
}

std::shared_ptr<MediaTrack> MediaObject::addTrackWithMediaType(int32_t type,
                                                               int32_t preferredTrackID) {
    auto track = std::make_shared<MediaTrack>(type);
    track->setSourceTrackID(preferredTrackID != 0 ? preferredTrackID : unusedTrackID());
    track->setMediaTrackID(track->sourceTrackID());
    track->setTrackNumber(countTracksWithType(type) + 1);
    track->setMediaObject(weak_from_this().lock());
    tracks_.push_back(track);
    return track;
}

void MediaObject::addSharedTrack(std::shared_ptr<MediaTrack> track) {
    if (track) tracks_.push_back(std::move(track));
}

void MediaObject::removeTrack(const std::shared_ptr<MediaTrack>& track) {
    std::erase(tracks_, track);
}

void MediaObject::removeTracks(const std::vector<std::shared_ptr<MediaTrack>>& tracks) {
    for (const std::shared_ptr<MediaTrack>& track : tracks)
        removeTrack(track);
}

void MediaObject::removeTracksWithMediaType(int32_t type) {
    std::erase_if(tracks_, [type](const std::shared_ptr<MediaTrack>& track) {
        return track->type() == type;
    });
}

void MediaObject::removeAllTracks() {
    tracks_.clear();
}

// A rate that is no usable timescale (unknown, zero, out of range) falls back to 600 like an
// object without tracks, so that times made with the result stay valid.
int32_t MediaObject::bestTimeScale() const {
    constexpr int32_t fallback = 600;
    if (const std::shared_ptr<MediaTrack> video = firstVideoTrack()) {
        const double rate = video->videoFrameRate();
        const double rounded = std::round(rate);
        const double scale = rate == rounded ? rounded : rounded * 1000.0;
        return timescaleOf(scale).value_or(fallback);
    }
    if (const std::shared_ptr<MediaTrack> audio = firstAudioTrack())
        return timescaleOf(audio->audioSampleRate()).value_or(fallback);
    return fallback;
}

CMTime MediaObject::duration() const {
    CMTime latest = kCMTimeZero;
    for (const std::shared_ptr<MediaTrack>& track : tracks_) {
        if (!track->isAudioVisual()) continue;
        const CMTime end = track->timeRange().end();
        if (end.isValid() && end > latest) latest = end;
    }
    return latest;
}

// Tracks without content are passed over: they add nothing to the union and must not void it.
CMTimeRange MediaObject::occupiedTimeRangeOfTracks(int32_t type) const {
    CMTimeRange occupied = kCMTimeRangeInvalid;
    for (const std::shared_ptr<MediaTrack>& track : tracksWithType(type)) {
        const CMTimeRange range = track->occupiedTimeRange();
        if (!range.isValid()) continue;
        occupied = occupied.isValid() ? CMTimeRangeGetUnion(occupied, range) : range;
    }
    return occupied;
}

CMTimeRange MediaObject::occupiedVideoTimeRange() const {
    return occupiedTimeRangeOfTracks(MediaTrackTypeVideo);
}

CMTimeRange MediaObject::occupiedAudioTimeRange() const {
    return occupiedTimeRangeOfTracks(MediaTrackTypeAudio);
}

double MediaObject::frameRate() const {
    if (const std::shared_ptr<TCHelper> value = timecode()) return value->frameRate();
    const std::shared_ptr<MediaTrack> video = firstVideoTrack();
    return video ? video->videoFrameRate() : 0.0;
}

int32_t MediaObject::type() const {
    return (hasAudio() ? MediaTypeAudio : 0) | (hasVideo() ? MediaTypeVideo : 0);
}

std::string MediaObject::name() const {
    return "MediaObject";
}

std::string MediaObject::className() const {
    return "MediaObject";
}

std::string MediaObject::timecodeText() const {
    const std::shared_ptr<TCHelper> value = timecode();
    return value ? value->timecodeString(TCOptionNone) : "none";
}

std::string MediaObject::description() const {
    return formatMediaText("%s [%s] %dxVid, %dxAud, Start %s, Length %.2f sec", className().c_str(),
                           name().c_str(), videoTrackCount(), audioTrackCount(),
                           timecodeText().c_str(), duration().seconds());
}

Image MediaObject::thumbnail() const {
    std::lock_guard lock(thumbnailMutex_);
    return thumbnail_;
}

void MediaObject::setThumbnail(Image thumbnail) {
    std::lock_guard lock(thumbnailMutex_);
    thumbnail_ = std::move(thumbnail);
}

bool MediaObject::isMediaFile() const {
    return false;
}
std::optional<std::filesystem::path> MediaObject::sourceURL() const {
    return std::nullopt;
}
std::optional<std::filesystem::path> MediaObject::mediaURL() const {
    return std::nullopt;
}
bool MediaObject::isComposition() const {
    return false;
}

}  // namespace vorlane
