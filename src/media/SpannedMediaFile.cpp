#include "media/SpannedMediaFile.h"

#include <algorithm>

#include "media/MediaText.h"
#include "platform/Log.h"
#include "timecode/TCHelper.h"

namespace vorlane {

namespace {

// Tolerance when the frame rate is unknown: one frame of the slowest common rate, 23.976.
const CMTime kLongestFrame = CMTimeMake(1001, 24000);
const CMTime kDay = CMTimeMake(86400, 1);
const CMTime kHalfDay = CMTimeMake(43200, 1);

bool isEarlier(const std::shared_ptr<MediaFile>& lhs, const std::shared_ptr<MediaFile>& rhs) {
    const std::optional<MetadataDate> left = lhs->creationDate();
    const std::optional<MetadataDate> right = rhs->creationDate();
    if (left && right && *left != *right) return *left < *right;
    if (left.has_value() != right.has_value()) return left.has_value();
    return lhs->name() < rhs->name();
}

std::vector<std::shared_ptr<MediaFile>> sortedParts(std::vector<std::shared_ptr<MediaFile>> parts) {
    std::stable_sort(parts.begin(), parts.end(), isEarlier);
    return parts;
}

// A part that gave any track (a RED clip's first file may give its timecode alone).
bool isReadable(const MediaFile& part) {
    std::lock_guard lock(part.mutex());
    return !part.tracks().empty();
}

// A part's audio and video tracks and its length, taken under its lock.
struct PartContent {
    std::vector<std::shared_ptr<MediaTrack>> tracks;
    CMTime duration = kCMTimeZero;
};

PartContent contentOf(const MediaFile& part) {
    std::lock_guard lock(part.mutex());
    PartContent content;
    for (const std::shared_ptr<MediaTrack>& track : part.tracks())
        if (track->isAudioVisual()) content.tracks.push_back(track);
    content.duration = part.duration();
    return content;
}

std::shared_ptr<MediaTrack> copyTrack(MediaObject& owner, const MediaTrack& track) {
    std::shared_ptr<MediaTrack> copy =
        owner.addTrackWithMediaType(track.type(), track.sourceTrackID());
    copy->setTrackNumber(track.trackNumber());
    copy->setMediaTrackID(track.mediaTrackID());
    copy->setCodecName(track.codecName());
    copy->setFourCC(track.fourCC());
    copy->setMetaData(track.metaData());
    copy->setVideoSize(track.videoSize());
    copy->setVideoFrameRate(track.videoFrameRate());
    copy->setVideoFieldCount(track.videoFieldCount());
    copy->setAudioChannelCount(track.audioChannelCount());
    copy->setAudioBitDepth(track.audioBitDepth());
    copy->setAudioBytesPerFrame(track.audioBytesPerFrame());
    copy->setAudioSampleRate(track.audioSampleRate());
    copy->setAudioChannelMask(track.getAudioChannelMask());
    if (track.timecode()) copy->setTimecode(track.timecode()->copy());
    return copy;
}

std::string lengthText(CMTime time) {
    return TCHelper::timecodeStringWithTime(time, 0.0, false, TCOptionNone);
}

}  // namespace

SpannedMediaFile::SpannedMediaFile(std::vector<std::shared_ptr<MediaFile>> parts)
    : MediaFile(parts.front()->sourceURLPath()), parts_(std::move(parts)) {
    setFileContainerType(parts_.front()->fileContainerType());
}

std::shared_ptr<MediaFile> SpannedMediaFile::initWithMediaFiles(
    std::vector<std::shared_ptr<MediaFile>> mediaFiles) {
    std::erase(mediaFiles, nullptr);
    if (mediaFiles.empty()) return nullptr;
    if (mediaFiles.size() == 1) return mediaFiles.front();
    return std::shared_ptr<MediaFile>(new SpannedMediaFile(sortedParts(std::move(mediaFiles))));
}

std::vector<CMTime> SpannedMediaFile::partStartTimes() const {
    std::lock_guard lock(mutex());
    return partStarts_;
}

std::vector<std::string> SpannedMediaFile::missingParts() const {
    std::lock_guard lock(mutex());
    return missing_;
}

std::string SpannedMediaFile::name() const {
    if (std::optional<std::string> given = alternativeName()) return *given;
    return parts_.front()->name();
}

// Analysis.

// The file-system facts come from the parts, so the inherited analysis does not run. The
// recording's own LTC read replaces the first part's, so that part does not read one first.
// The camera's AV shift applies to the recording itself: its audio timecode is the one synced.
void SpannedMediaFile::analyzeWithOptions(const MetadataDictionary& options) {
    analyzeParts(options);
    {
        std::lock_guard lock(mutex());
        removeAllTracks();
        partStarts_.clear();
        missing_.clear();
        copyTracksOfFirstPart();
        copyFactsOfFirstPart();
        joinParts();
        for (const std::string& problem : missing_)
            Log::writef("SpannedMediaFile: %s: %s", name().c_str(), problem.c_str());
    }
    if (optionEnabled(options, kAnalyzeReadAudioTc)) readAudioTimecode();
    if (optionEnabled(options, kAnalyzeApplyAVShift)) setAutoShift();
    updateReadableInfo();
}

void SpannedMediaFile::analyzeParts(const MetadataDictionary& options) {
    MetadataDictionary firstOptions = options;
    firstOptions[kAnalyzeSyncOperation] = true;
    firstOptions.erase(kAnalyzeReadAudioTc);
    firstOptions.erase(kAnalyzeApplyAVShift);
    for (const std::shared_ptr<MediaFile>& part : parts_) {
        part->analyzeWithOptions(part == parts_.front() ? firstOptions : MetadataDictionary());
        part->setMetaDataValue(kReferencedBySpannedMedia, name());
    }
}

// The template is the first part that could be read (the first part, unless it is damaged).
void SpannedMediaFile::copyTracksOfFirstPart() {
    const auto first = std::find_if(parts_.begin(), parts_.end(),
                                    [](const auto& part) { return isReadable(*part); });
    if (first == parts_.end()) return;
    std::lock_guard partLock((*first)->mutex());
    for (const std::shared_ptr<MediaTrack>& track : (*first)->tracks())
        if (track->isAudioVisual() || track->type() == MediaTrackTypeTimecode)
            copyTrack(*this, *track);
}

void SpannedMediaFile::copyFactsOfFirstPart() {
    const MediaFile& first = *parts_.front();
    setMediaURL(first.sourceURLPath());
    setFileContainerType(first.fileContainerType());
    setAudioTimecodeFirst(first.audioTimecodeFirst());
    setThumbnail(first.thumbnail());
    setFileUTI(first.fileUTI());
    setFileTypeDescription(first.fileTypeDescription());
    for (const auto& [key, value] : first.metaData())
        setMetaDataValue(key, value);
    removeMetaDataValue(kReferencedBySpannedMedia);
    uint64_t size = 0;
    for (const std::shared_ptr<MediaFile>& part : parts_)
        size += part->filesize();
    setFilesize(size);
}

// A RED clip's first file already covers the whole recording.
void SpannedMediaFile::joinParts() {
    const bool firstCoversAll = parts_.front()->className() == "RedFile";
    CMTime end = kCMTimeZero;
    for (const std::shared_ptr<MediaFile>& part : parts_) {
        if (firstCoversAll && part != parts_.front()) {
            partStarts_.push_back(end);
            continue;
        }
        if (!isReadable(*part)) {
            partStarts_.push_back(end);
            missing_.push_back(part->name() + " could not be read");
            continue;
        }
        const CMTime start = startOfPart(*part, end);
        partStarts_.push_back(start);
        appendPart(*part, start);
        end = CMTimeAdd(start, contentOf(*part).duration);
    }
}

// After the first readable part, a part whose file timecode lies more than a frame after the
// end of the joined tracks starts there: the recording between them is missing.
CMTime SpannedMediaFile::startOfPart(const MediaFile& part, CMTime end) {
    const std::shared_ptr<TCHelper> timecode = part.fileTimecode();
    std::shared_ptr<TCHelper> reference;
    CMTime referenceStart = kCMTimeZero;
    for (size_t i = 0; i < partStarts_.size() && !reference; ++i) {
        if (!isReadable(*parts_[i])) continue;
        reference = parts_[i]->fileTimecode();
        referenceStart = partStarts_[i];
    }
    if (!timecode || !reference) return end;
    CMTime start = CMTimeAdd(referenceStart, CMTimeSubtract(timecode->timeWithoutOffset(),
                                                            reference->timeWithoutOffset()));
    if (start < CMTimeSubtract(end, kHalfDay)) start = CMTimeAdd(start, kDay);  // past midnight
    const CMTime frame = timecode->frameRate() > 0
                             ? CMTimeMakeWithSeconds(1.0 / timecode->frameRate(), 1000000)
                             : kLongestFrame;
    const CMTime gap = CMTimeSubtract(start, end);
    if (gap <= frame || gap >= kHalfDay) return end;
    missing_.push_back(
        formatMediaText("%s missing before %s", lengthText(gap).c_str(), part.name().c_str()));
    return start;
}

// Each track of the part continues the track of this file with its ID; a track the first part
// lacks is left out. Anything a longer track of the previous part holds past the start goes.
void SpannedMediaFile::appendPart(const MediaFile& part, CMTime start) {
    for (const std::shared_ptr<MediaTrack>& track : contentOf(part).tracks) {
        const std::shared_ptr<MediaTrack> joined = trackWithTrackID(track->sourceTrackID());
        if (!joined || joined->type() != track->type()) continue;
        const CMTime end = joined->timeRange().end();
        if (!joined->segments().empty() && end > start)
            joined->removeTimeRange(CMTimeRangeFromTimeToTime(start, end));
        joined->insertTimeRange(CMTimeRangeMake(kCMTimeZero, track->timeRange().duration), track,
                                start);
    }
}

// Timecode.

void SpannedMediaFile::readAudioTimecodeAtFrameRate(const AudioTimecodeRequest& request) {
    MediaFile::readAudioTimecodeAtFrameRate(request);
    std::lock_guard lock(mutex());
    if (!audioTimecode()) return;
    for (const std::shared_ptr<MediaTrack>& joined : audioTracks())
        for (const std::shared_ptr<MediaFile>& part : parts_) {
            std::lock_guard partLock(part->mutex());
            if (const auto track = part->trackWithTrackID(joined->sourceTrackID()))
                track->setAudioChannelMask(joined->getAudioChannelMask());
        }
}

std::shared_ptr<MediaTrack> SpannedMediaFile::addTimecodeTrackWithTCHelper(
    std::shared_ptr<TCHelper> tcHelper) {
    std::lock_guard lock(mutex());
    if (tcHelper && tcHelper->type() == TCTypeAudio) {
        for (size_t i = 0; i < parts_.size() && i < partStarts_.size(); ++i) {
            std::shared_ptr<TCHelper> copy = tcHelper->copy();
            copy->setOffsetTime(CMTimeAdd(tcHelper->offsetTime(), partStarts_[i]));
            std::lock_guard partLock(parts_[i]->mutex());
            parts_[i]->addTimecodeTrackWithTCHelper(copy);
            parts_[i]->updateReadableInfo();
        }
    }
    return MediaFile::addTimecodeTrackWithTCHelper(std::move(tcHelper));
}

void SpannedMediaFile::removeAllAudioTimecodeTracks() {
    std::lock_guard lock(mutex());
    MediaFile::removeAllAudioTimecodeTracks();
    for (const std::shared_ptr<MediaFile>& part : parts_)
        part->removeAllAudioTimecodeTracks();
}

void SpannedMediaFile::copyAudioTimecodeUserBitsToMetadata() {
    std::lock_guard lock(mutex());
    MediaFile::copyAudioTimecodeUserBitsToMetadata();
    for (const std::shared_ptr<MediaFile>& part : parts_)
        part->copyAudioTimecodeUserBitsToMetadata();
}

// Description.

std::string SpannedMediaFile::extendedMetaDescription(int32_t level) const {
    std::lock_guard lock(mutex());
    std::string text = formatMediaText("%lu Files\n", (unsigned long)parts_.size());
    for (size_t i = 0; i < parts_.size(); ++i) {
        text += formatMediaText("Part %lu = %s", (unsigned long)(i + 1), parts_[i]->name().c_str());
        if (i < partStarts_.size() && isReadable(*parts_[i]))
            text += formatMediaText(" (from %s for %s)", lengthText(partStarts_[i]).c_str(),
                                    lengthText(parts_[i]->duration()).c_str());
        text += "\n";
    }
    for (const std::string& problem : missing_)
        text += "Missing: " + problem + "\n";
    return text + "\n" + parts_.front()->extendedMetaDescription(level);
}

}  // namespace vorlane
