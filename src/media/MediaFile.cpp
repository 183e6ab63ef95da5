#include "media/MediaFile.h"

#include <algorithm>
#include <cctype>
#include <charconv>

#include "media/LtcReader.h"
#include "media/MediaText.h"
#include "platform/ByteOrder.h"
#include "platform/DefaultsKeys.h"
#include "platform/DisplayText.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "platform/UserDefaults.h"
#include "timecode/TCHelper.h"

namespace vorlane {

namespace {

// The user's AV shift presets (dictionaries with "camera" and "shift"), in list order.
MetadataList storedShiftPresets() {
    return UserDefaults::standardUserDefaults()
        .arrayForKey(DefaultsKey::avShiftPresets)
        .value_or(MetadataList());
}

// A preset's shift in seconds: written as text ("%2.2f"), accepted as a number too.
std::optional<double> presetSeconds(const MetadataValue& value) {
    if (const std::string* text = value.string()) {
        const char* first = text->data();
        const char* last = first + text->size();
        while (first != last && std::isspace(static_cast<unsigned char>(*first)))
            ++first;
        if (first != last && *first == '+') ++first;
        double seconds = 0.0;
        const auto [end, error] = std::from_chars(first, last, seconds);
        if (error != std::errc() || end == first) return std::nullopt;
        return seconds;
    }
    return value.number();
}

// Whether the bytes are well-formed UTF-8 (plain ASCII included).
bool isValidUTF8(const uint8_t* bytes, size_t length) {
    size_t i = 0;
    while (i < length) {
        const uint8_t lead = bytes[i];
        size_t extra = 0;
        if (lead >= 0xc2 && lead <= 0xdf)
            extra = 1;
        else if (lead >= 0xe0 && lead <= 0xef)
            extra = 2;
        else if (lead >= 0xf0 && lead <= 0xf4)
            extra = 3;
        else if (lead >= 0x80)
            return false;
        if (extra > length - i - 1) return false;
        for (size_t k = 1; k <= extra; ++k)
            if ((bytes[i + k] & 0xc0) != 0x80) return false;
        i += extra + 1;
    }
    return true;
}

// Codec bits of an audio track's identifier.
uint32_t audioCodecBits(const MediaTrack& track) {
    switch (track.fourCC()) {
        case fourCC("lpcm"):
            switch (track.audioBitDepth()) {
                case 8:
                    return 0x200000;
                case 24:
                    return 0x400000;
                case 32:
                    return 0x600000;
                default:
                    return 0;
            }
        case fourCC("ac-3"):
            return 0x800000;
        case fourCC(".mp2"):
            return 0xA00000;
        case fourCC(".mp3"):
            return 0xC00000;
        case fourCC("aac "):
            return 0xE00000;
        default:
            return 0;
    }
}

const char* dropFrameMark(const TCHelper& value) {
    return value.dropFrame() ? "DF " : "";
}

std::string dateDescription(const std::optional<MetadataValue>& value) {
    const MetadataDate* date = value ? value->date() : nullptr;
    return date ? DisplayText::dateDescription(*date) : "none";
}

}  // namespace

MediaFile::MediaFile(std::filesystem::path url) : sourceURL_(url), mediaURL_(std::move(url)) {}

MediaFile::~MediaFile() = default;

std::optional<std::vector<std::filesystem::path>> MediaFile::spannedFilesForURL(
    const std::filesystem::path&) {
    return std::nullopt;
}

// Fields are meant to be ASCII; text that is not valid UTF-8 is read as Latin-1 so that the
// result always is.
std::string MediaFile::cStringConvert(const uint8_t* bytes, size_t length) {
    if (!bytes) return {};
    const size_t end = size_t(std::find(bytes, bytes + length, uint8_t(0)) - bytes);
    if (isValidUTF8(bytes, end)) return std::string(reinterpret_cast<const char*>(bytes), end);
    std::string text;
    text.reserve(end * 2);
    for (size_t i = 0; i < end; ++i) {
        const uint8_t c = bytes[i];
        if (c < 0x80) {
            text += char(c);
        } else {
            text += char(0xc0 | (c >> 6));
            text += char(0x80 | (c & 0x3f));
        }
    }
    return text;
}

// Identity.

std::filesystem::path MediaFile::sourceURLPath() const {
    return sourceURL_;
}
std::optional<std::filesystem::path> MediaFile::sourceURL() const {
    return sourceURL_;
}
std::optional<std::filesystem::path> MediaFile::mediaURL() const {
    std::lock_guard lock(mutex_);
    return mediaURL_;
}
void MediaFile::setMediaURL(std::filesystem::path url) {
    std::lock_guard lock(mutex_);
    mediaURL_ = std::move(url);
}
uint64_t MediaFile::filesize() const {
    std::lock_guard lock(mutex_);
    return filesize_;
}
void MediaFile::setFilesize(uint64_t size) {
    std::lock_guard lock(mutex_);
    filesize_ = size;
}
std::string MediaFile::fileUTI() const {
    std::lock_guard lock(mutex_);
    return fileUTI_;
}
void MediaFile::setFileUTI(std::string uti) {
    std::lock_guard lock(mutex_);
    fileUTI_ = std::move(uti);
}
std::string MediaFile::fileTypeDescription() const {
    std::lock_guard lock(mutex_);
    return fileTypeDescription_;
}
void MediaFile::setFileTypeDescription(std::string description) {
    std::lock_guard lock(mutex_);
    fileTypeDescription_ = std::move(description);
}
int32_t MediaFile::fileContainerType() const {
    std::lock_guard lock(mutex_);
    return fileContainerType_;
}
void MediaFile::setFileContainerType(int32_t type) {
    std::lock_guard lock(mutex_);
    fileContainerType_ = type;
}

std::string MediaFile::fileContainerString() const {
    switch (fileContainerType()) {
        case MediaFileContainerQuicktime:
            return "Quicktime";
        case MediaFileContainerMP4:
            return "MP4";
        case MediaFileContainerAVCHD:
            return "AVCHD";
        case MediaFileContainerMXF:
            return "MXF";
        case MediaFileContainerRedcode:
            return "Redcode";
        case MediaFileContainerMPEG:
            return "MPEG";
        case MediaFileContainerWAVE:
            return "WAVE";
        case MediaFileContainerBWF:
            return "WAVE (BWF)";
        case MediaFileContainerAIFF:
            return "AIFF";
        case MediaFileContainerMP3:
            return "MP3";
        case MediaFileContainerCinemaDNG:
            return "CinemaDNG";
        case MediaFileContainerCanonCRM:
            return "CanonCRM";
        default:
            return "unkown";
    }
}

// Pool state.

uint32_t MediaFile::syncGroup() const {
    std::lock_guard lock(mutex_);
    return syncGroup_;
}
void MediaFile::setSyncGroup(uint32_t group) {
    std::lock_guard lock(mutex_);
    syncGroup_ = group;
}
bool MediaFile::linkedAudioFile() const {
    std::lock_guard lock(mutex_);
    return linkedAudioFile_;
}
void MediaFile::setLinkedAudioFile(bool linked) {
    std::lock_guard lock(mutex_);
    linkedAudioFile_ = linked;
}
bool MediaFile::hasBeenAnalyzed() const {
    std::lock_guard lock(mutex_);
    return hasBeenAnalyzed_;
}
bool MediaFile::audioTimecodeFirst() const {
    std::lock_guard lock(mutex_);
    return audioTimecodeFirst_;
}
void MediaFile::setAudioTimecodeFirst(bool audioFirst) {
    std::lock_guard lock(mutex_);
    audioTimecodeFirst_ = audioFirst;
}
bool MediaFile::audioTimecodeHasBeenRead() const {
    std::lock_guard lock(mutex_);
    return audioTimecodeHasBeenRead_;
}
void MediaFile::setAudioTimecodeHasBeenRead(bool read) {
    std::lock_guard lock(mutex_);
    audioTimecodeHasBeenRead_ = read;
}

// Metadata.

MetadataDictionary MediaFile::metaData() const {
    std::lock_guard lock(mutex_);
    return metaData_;
}
std::optional<MetadataValue> MediaFile::metaDataValue(const std::string& key) const {
    std::lock_guard lock(mutex_);
    const auto found = metaData_.find(key);
    if (found == metaData_.end()) return std::nullopt;
    return found->second;
}
std::optional<std::string> MediaFile::metaDataString(const std::string& key) const {
    std::lock_guard lock(mutex_);
    return metadataString(metaData_, key);
}
void MediaFile::setMetaDataValue(const std::string& key, MetadataValue value) {
    std::lock_guard lock(mutex_);
    metaData_[key] = std::move(value);
}
void MediaFile::removeMetaDataValue(const std::string& key) {
    std::lock_guard lock(mutex_);
    metaData_.erase(key);
}

std::optional<std::string> MediaFile::reel() const {
    return metaDataString(kReel);
}
std::optional<std::string> MediaFile::scene() const {
    return metaDataString(kScene);
}
std::optional<std::string> MediaFile::take() const {
    return metaDataString(kTake);
}
std::optional<std::string> MediaFile::note() const {
    std::optional<std::string> text = metaDataString(kNote);
    if (text && text->empty()) return std::nullopt;
    return text;
}
std::optional<std::string> MediaFile::software() const {
    return metaDataString(kSoftware);
}
std::optional<std::string> MediaFile::manufacturer() const {
    return metaDataString(kMaker);
}
std::optional<std::string> MediaFile::modelname() const {
    return metaDataString(kModel);
}
std::optional<std::string> MediaFile::firmware() const {
    return metaDataString(kFirmware);
}
std::optional<std::string> MediaFile::serialnumber() const {
    return metaDataString(kSerialNumber);
}

std::optional<MetadataDate> MediaFile::creationDate() const {
    std::lock_guard lock(mutex_);
    for (const char* key : {kOriginalCreationDate, kFileCreationDate}) {
        const auto found = metaData_.find(key);
        if (found != metaData_.end() && found->second.date()) return *found->second.date();
    }
    return std::nullopt;
}

// Timecodes.

namespace {

std::shared_ptr<TCHelper> firstTimecodeOfType(const MediaObject& object, int32_t type) {
    for (const std::shared_ptr<MediaTrack>& track : object.tracksWithType(MediaTrackTypeTimecode))
        if (track->timecode() && track->timecode()->type() == type) return track->timecode();
    return nullptr;
}

int32_t countTimecodesOfType(const MediaObject& object, int32_t type) {
    int32_t count = 0;
    for (const std::shared_ptr<MediaTrack>& track : object.tracksWithType(MediaTrackTypeTimecode))
        if (track->timecode() && track->timecode()->type() == type) ++count;
    return count;
}

}  // namespace

std::shared_ptr<TCHelper> MediaFile::fileTimecode() const {
    std::lock_guard lock(mutex_);
    return firstTimecodeOfType(*this, TCTypeFile);
}
std::shared_ptr<TCHelper> MediaFile::audioTimecode() const {
    std::lock_guard lock(mutex_);
    return firstTimecodeOfType(*this, TCTypeAudio);
}
int32_t MediaFile::fileTimecodeCount() const {
    std::lock_guard lock(mutex_);
    return countTimecodesOfType(*this, TCTypeFile);
}
int32_t MediaFile::audioTimecodeCount() const {
    std::lock_guard lock(mutex_);
    return countTimecodesOfType(*this, TCTypeAudio);
}
bool MediaFile::hasFileTimecode() const {
    return fileTimecode() != nullptr;
}
bool MediaFile::hasAudioTimecode() const {
    return audioTimecode() != nullptr;
}

std::shared_ptr<TCHelper> MediaFile::timecode() const {
    std::lock_guard lock(mutex_);
    std::shared_ptr<TCHelper> audio = audioTimecode();
    std::shared_ptr<TCHelper> file = fileTimecode();
    if (audioTimecodeFirst_) return audio ? audio : file;
    return file ? file : audio;
}

std::shared_ptr<TCHelper> MediaFile::creationDateTimecode() const {
    std::lock_guard lock(mutex_);
    const std::optional<MetadataDate> date = creationDate();
    const DisplayText::TimeOfDay clock =
        date ? DisplayText::localTimeOfDay(*date) : DisplayText::TimeOfDay{};
    const int64_t seconds = int64_t(clock.hour) * 3600 + int64_t(clock.minute) * 60 + clock.second;
    const CMTime time = CMTimeMake(seconds * 600, 600);
    if (hasVideo()) return TCHelper::helperWithTime(time, frameRate(), false);
    return TCHelper::helperWithTime(time);
}

CMTimeRange MediaFile::syncTimeRange() const {
    std::lock_guard lock(mutex_);
    const std::shared_ptr<TCHelper> value = timecode();
    if (!value) return kCMTimeRangeInvalid;
    return CMTimeRangeMake(value->time(), duration());
}

void MediaFile::removeAllAudioTimecodeTracks() {
    std::lock_guard lock(mutex_);
    std::vector<std::shared_ptr<MediaTrack>> audioTimecodeTracks;
    for (const std::shared_ptr<MediaTrack>& track : tracksWithType(MediaTrackTypeTimecode))
        if (track->timecode() && track->timecode()->type() == TCTypeAudio)
            audioTimecodeTracks.push_back(track);
    removeTracks(audioTimecodeTracks);
}

// User corrections.

CMTime MediaFile::offset() const {
    std::lock_guard lock(mutex_);
    return offset_;
}
int32_t MediaFile::offsetType() const {
    std::lock_guard lock(mutex_);
    return offsetType_;
}

void MediaFile::setOffset(CMTime offset, int32_t offsetType) {
    std::lock_guard lock(mutex_);
    if (!hasTimecode()) return;
    offset_ = offset;
    offsetType_ = offsetType;
    for (const std::shared_ptr<MediaTrack>& track : tracksWithType(MediaTrackTypeTimecode))
        if (track->timecode()) track->timecode()->setOffsetTime(offset);
    updateReadableInfo();
}

CMTime MediaFile::shiftTime() const {
    std::lock_guard lock(mutex_);
    return shiftTime_;
}

// The previous shift is taken out of the stored time (without the user offset, which every read
// adds anyway) before the new one goes in, so shifts never accumulate and the offset is never
// folded into the stored time.
void MediaFile::setAvShift(CMTime shift) {
    std::lock_guard lock(mutex_);
    if (!hasVideo() || !hasAudio() || !shift.isValid()) return;
    for (const std::shared_ptr<MediaTrack>& track : tracksWithType(MediaTrackTypeTimecode)) {
        const std::shared_ptr<TCHelper>& value = track->timecode();
        if (!value || value->type() != TCTypeAudio) continue;
        value->setTime(CMTimeSubtract(CMTimeAdd(value->timeWithoutOffset(), shiftTime_), shift));
    }
    shiftTime_ = shift;
    if (shift == kCMTimeZero) {
        metaData_.erase(kAVShifted);
    } else {
        metaData_[kAVShifted] =
            formatMediaText("%lld/%d", (long long)shift.value, int(shift.timescale));
    }
    updateReadableInfo();
}

bool MediaFile::hasAvShiftSet() const {
    std::lock_guard lock(mutex_);
    return shiftTime_ != kCMTimeZero;
}

void MediaFile::setAutoShift() {
    std::lock_guard lock(mutex_);
    if (software().value_or("").starts_with("Vorlane Sync")) return;
    const std::optional<std::string> model = modelname();
    for (const MetadataValue& preset : storedShiftPresets()) {
        const MetadataDictionary* entries = preset.dictionary();
        if (!entries || !model || metadataString(*entries, "camera") != model) continue;
        const auto shift = entries->find("shift");
        const std::optional<double> seconds =
            shift == entries->end() ? std::nullopt : presetSeconds(shift->second);
        if (seconds) setAvShift(CMTimeMakeWithSeconds(*seconds, 600));
    }
    updateReadableInfo();
}

// LTC.

void MediaFile::readAudioTimecode() {
    AudioTimecodeRequest request;
    if (manufacturer() == "GoPro") {
        request.readingRanges = LtcReadingRanges::MiddleStartAndEnd;
        request.readingAlgorithm = LtcReadingAlgorithm::Slope;
    }
    readAudioTimecodeAtFrameRate(request);
}

// The reader runs without the file's lock (the summaries stay readable meanwhile); it takes the
// lock itself while it replaces the audio timecode tracks.
void MediaFile::readAudioTimecodeAtFrameRate(const AudioTimecodeRequest& request) {
    const CMTime savedShift = shiftTime();
    if (hasAvShiftSet()) setAvShift(kCMTimeZero);
    std::unique_ptr<LtcReader> reader =
        LtcReader::initWithMediaFile(std::static_pointer_cast<MediaFile>(weak_from_this().lock()));
    if (reader) {
        reader->setRequest(request);
        reader->findAudioTimecode();
    } else {
        removeAllAudioTimecodeTracks();
    }
    std::lock_guard lock(mutex_);
    setAvShift(savedShift);
    copyAudioTimecodeUserBitsToMetadata();
    audioTimecodeHasBeenRead_ = true;
    updateReadableInfo();
}

void MediaFile::copyAudioTimecodeUserBitsToMetadata() {
    std::lock_guard lock(mutex_);
    if (reel()) return;
    const std::shared_ptr<TCHelper> audio = audioTimecode();
    const uint32_t userBits = audio ? audio->rawUserBits() : 0;
    if (userBits != 0) metaData_[kReel] = formatMediaText("%08X", userBits);
}

int32_t MediaFile::uniqueTrackIDForTrack(const MediaTrack& track) const {
    std::lock_guard lock(mutex_);
    uint32_t identifier = uint32_t(track.trackNumber()) & 0xff;
    identifier |= (syncGroup_ & 0xff) << 8;
    if (track.type() == MediaTrackTypeAudio)
        identifier |= ((track.audioChannelCount() & 0x3f) << 16) | audioCodecBits(track);
    if (track.type() == MediaTrackTypeVideo) identifier |= 0x01000000;
    if (type() == MediaTypeMovie) identifier |= 0x02000000;
    return int32_t(identifier);
}

std::optional<std::string> MediaFile::deviceName() const {
    std::lock_guard lock(mutex_);
    const std::optional<std::string> maker = manufacturer();
    const std::optional<std::string> model = modelname();
    if (!model) return maker;
    if (!maker) return model;
    if (upperCased(*model).find(upperCased(*maker)) != std::string::npos) return model;
    return *maker + " " + *model;
}

std::string MediaFile::uniqueDeviceID() const {
    std::lock_guard lock(mutex_);
    const std::optional<std::string> serial = serialnumber();
    const std::optional<std::string> lensSerial = metaDataString(kLensSerialNumber);
    std::string identity = deviceName().value_or("");
    if (!serial) identity += firmware().value_or("");
    if (!serial) identity += lensSerial.value_or("");
    if (!serial && !lensSerial) identity += metaDataString(kLensModel).value_or("");
    identity += serial.value_or("");
    std::erase(identity, ' ');
    return upperCased(identity);
}

void MediaFile::setName(std::string name) {
    std::lock_guard lock(mutex_);
    alternativeName_ = std::move(name);
}

std::string MediaFile::name() const {
    std::lock_guard lock(mutex_);
    if (alternativeName_) return *alternativeName_;
    std::string last = sourceURL_.filename().string();
    return last.empty() ? "unnamed file" : last;
}

CMTime MediaFile::duration() const {
    std::lock_guard lock(mutex_);
    if (const std::shared_ptr<MediaTrack> video = firstVideoTrack())
        return video->timeRange().duration;
    if (hasAudio()) return MediaObject::duration();
    // A file of timecode alone lasts as long as its longest timecode track.
    CMTime latest = kCMTimeZero;
    for (const std::shared_ptr<MediaTrack>& track : tracksWithType(MediaTrackTypeTimecode)) {
        const CMTime end = track->timeRange().end();
        if (end.isValid() && end > latest) latest = end;
    }
    return latest;
}

double MediaFile::frameRate() const {
    std::lock_guard lock(mutex_);
    return MediaObject::frameRate();
}

// Analysis.

// File-system facts of the source; the options matter only to the readers.
void MediaFile::analyzeWithOptions(const MetadataDictionary&) {
    const std::optional<std::string> uti = FileSystem::typeIdentifier(sourceURL_);
    const std::optional<std::string> description = FileSystem::typeDescription(sourceURL_);
    const std::optional<MetadataDate> created = FileSystem::creationDate(sourceURL_);
    const std::optional<uint64_t> size = FileSystem::fileSize(sourceURL_);
    std::lock_guard lock(mutex_);
    // Analysing again reads the file afresh: the tracks the earlier analysis added go, and with
    // them the AV shift their timecodes carried ("ApplyAVShift" applies it again). Tracks the
    // file had before its first analysis stay, and keep their shift.
    if (!tracksBeforeAnalysis_) {
        tracksBeforeAnalysis_ = tracks();
    } else {
        if (tracksBeforeAnalysis_->empty()) setAvShift(kCMTimeZero);
        removeAllTracks();
        for (const std::shared_ptr<MediaTrack>& track : *tracksBeforeAnalysis_)
            addSharedTrack(track);
    }
    if (uti) fileUTI_ = *uti;
    fileTypeDescription_ = description.value_or("unkown");
    if (created) metaData_[kFileCreationDate] = *created;
    if (size) filesize_ = *size;
}

void MediaFile::setAnalyzingFinished() {
    std::lock_guard lock(mutex_);
    updateReadableInfo();
    hasBeenAnalyzed_ = true;
}

namespace {

std::string audioFormatText(const MediaTrack& track) {
    return formatMediaText("%s, %uCH, %ubit, %0.0fHz", track.codecName().c_str(),
                           track.audioChannelCount(), track.audioBitDepth(),
                           track.audioSampleRate());
}

bool sameAudioFormat(const MediaTrack& lhs, const MediaTrack& rhs) {
    return lhs.fourCC() == rhs.fourCC() && lhs.audioChannelCount() == rhs.audioChannelCount() &&
           lhs.audioBitDepth() == rhs.audioBitDepth() &&
           lhs.audioSampleRate() == rhs.audioSampleRate();
}

std::string videoSummary(const std::vector<std::shared_ptr<MediaTrack>>& tracks) {
    if (tracks.empty()) return "no video";
    std::string text;
    for (const std::shared_ptr<MediaTrack>& track : tracks) {
        if (tracks.size() > 1) text += formatMediaText("[#%d] ", track->trackNumber());
        text += formatMediaText("%s, %0.0fx%0.0f, %2.2ffps", track->codecName().c_str(),
                                track->videoSize().width, track->videoSize().height,
                                track->videoFrameRate());
    }
    return text;
}

std::string audioSummary(const std::vector<std::shared_ptr<MediaTrack>>& tracks) {
    if (tracks.empty()) return "no audio";
    const bool alike = std::all_of(tracks.begin(), tracks.end(), [&](const auto& track) {
        return sameAudioFormat(*track, *tracks.front());
    });
    if (alike && tracks.size() >= 2)
        return formatMediaText("%d x [%s] ", int(tracks.size()),
                               audioFormatText(*tracks.front()).c_str());
    if (tracks.size() == 1) return audioFormatText(*tracks.front());
    std::string text;
    for (const std::shared_ptr<MediaTrack>& track : tracks)
        text +=
            formatMediaText("#%d: [%s] ", track->trackNumber(), audioFormatText(*track).c_str());
    return text;
}

std::string timecodeSummary(const TCHelper& value, int32_t count, const char* extra) {
    return formatMediaText("%s %s(%s) %s%s", value.timecodeString(TCOptionWrap24h).c_str(),
                           dropFrameMark(value), value.frameRateString().c_str(), extra,
                           count > 1 ? " ..." : "");
}

}  // namespace

void MediaFile::updateReadableInfo() {
    std::lock_guard lock(mutex_);
    std::string date = "unknown";
    if (const auto original = metaDataValue(kOriginalCreationDate); original && original->date())
        date = "*" + DisplayText::shortDateMediumTime(*original->date());
    else if (const auto file = metaDataValue(kFileCreationDate); file && file->date())
        date = DisplayText::shortDateMediumTime(*file->date());
    const int32_t files = referencedFilesCount();
    const std::string count = files > 1 ? formatMediaText("%lu Files ", (unsigned long)files) : "";
    readableFileInfo_ = formatMediaText(
        "%s%s | Duration %s | %s", count.c_str(), DisplayText::byteCountText(filesize_).c_str(),
        TCHelper::timecodeStringWithTime(duration(), frameRate(), false, TCOptionNone).c_str(),
        date.c_str());
    readableVideoInfo_ = videoSummary(videoTracks());
    readableAudioInfo_ = audioSummary(audioTracks());

    const std::shared_ptr<TCHelper> file = fileTimecode();
    readableFileTimecodeInfo_ =
        file ? timecodeSummary(*file, fileTimecodeCount(), "") : "no FileTimecode";
    const std::shared_ptr<TCHelper> audio = audioTimecode();
    if (audio)
        readableAudioTimecodeInfo_ =
            timecodeSummary(*audio, audioTimecodeCount(), (audio->source() + " ").c_str());
    else
        readableAudioTimecodeInfo_ =
            audioTimecodeHasBeenRead_ ? "no Audio-Timecode found" : "not read yet";
}

// Readable summaries.

std::string MediaFile::readableFileInfo() const {
    std::lock_guard lock(mutex_);
    return readableFileInfo_;
}
std::string MediaFile::readableVideoInfo() const {
    std::lock_guard lock(mutex_);
    return readableVideoInfo_;
}
std::string MediaFile::readableAudioInfo() const {
    std::lock_guard lock(mutex_);
    return readableAudioInfo_;
}
std::string MediaFile::readableFileTimecodeInfo() const {
    std::lock_guard lock(mutex_);
    return readableFileTimecodeInfo_;
}
std::string MediaFile::readableAudioTimecodeInfo() const {
    std::lock_guard lock(mutex_);
    return readableAudioTimecodeInfo_;
}
std::string MediaFile::infoText() const {
    std::lock_guard lock(mutex_);
    return infoText_;
}
void MediaFile::setInfoText(std::string text) {
    std::lock_guard lock(mutex_);
    infoText_ = std::move(text);
}
int32_t MediaFile::highLightColor() const {
    std::lock_guard lock(mutex_);
    return highLightColor_;
}
void MediaFile::setHighLightColor(int32_t color) {
    std::lock_guard lock(mutex_);
    highLightColor_ = color;
}
std::optional<std::string> MediaFile::alternativeName() const {
    std::lock_guard lock(mutex_);
    return alternativeName_;
}

namespace {

const char* mediaTypeWord(int32_t type) {
    switch (type) {
        case MediaTypeAudio:
            return "audio";
        case MediaTypeVideo:
            return "video";
        case MediaTypeMovie:
            return "movie";
        default:
            return "unkown";
    }
}

unsigned trackByte(const MediaTrack& track, const char* key) {
    const auto found = track.metaData().find(key);
    const std::optional<int64_t> number =
        found == track.metaData().end() ? std::nullopt : found->second.integer();
    return unsigned(uint8_t(number.value_or(0)));
}

std::string videoTrackDescription(const MediaTrack& track) {
    std::string text = formatMediaText(
        "TrackNumber = %d\nSourceTrackID = %d\nMediaTrackID = %d\nCodecName = %s\nFourCC = "
        "'%s'\nVideoWidth = %0.0f\nVideoHeight = %0.0f\nFrameRate = %2.2f\nFieldCount = "
        "%d\nTimeRange = %s\n\n",
        track.trackNumber(), track.sourceTrackID(), track.mediaTrackID(), track.codecName().c_str(),
        fourCCString(track.fourCC()).c_str(), track.videoSize().width, track.videoSize().height,
        track.videoFrameRate(), track.videoFieldCount(), track.timeRange().description().c_str());
    if (track.fourCC() == fourCC("avc1")) {
        text += formatMediaText("H264 Profile = %d\n", trackByte(track, kVideoH264Profile));
        text += formatMediaText("H264 Level = %d\n\n", trackByte(track, kVideoH264Level));
    }
    return text;
}

std::string audioTrackDescription(const MediaTrack& track) {
    return formatMediaText(
        "TrackNumber = %d\nSourceTrackID = %d\nMediaTrackID = %d\nCodecName = %s\nFourCC = "
        "'%s'\nChannelCount = %u\nSampleRate = %0.0f\nBitDepth = %u\nTimeRange = "
        "%s\nChannelMuteMask = %llu\n\n",
        track.trackNumber(), track.sourceTrackID(), track.mediaTrackID(), track.codecName().c_str(),
        fourCCString(track.fourCC()).c_str(), track.audioChannelCount(), track.audioSampleRate(),
        track.audioBitDepth(), track.timeRange().description().c_str(),
        (unsigned long long)track.getAudioChannelMask());
}

// The distance of the audio timecode from the file timecode, at their common rate when they
// share one.
std::string timecodeOffsetDescription(const TCHelper& file, const TCHelper& audio) {
    const CMTime distance = CMTimeSubtract(audio.time(), file.time());
    const bool sameRate =
        file.frameRate() == audio.frameRate() && file.dropFrame() == audio.dropFrame();
    std::shared_ptr<TCHelper> offset =
        sameRate ? TCHelper::helperWithTime(distance, file.frameRate(), file.dropFrame())
                 : TCHelper::helperWithTime(distance);
    offset->setSource("<<< Offset >>>");
    return "Offset FileTC/AudioTC: " + offset->description() + "\n";
}

}  // namespace

std::string MediaFile::metaDescription(int32_t level) const {
    std::lock_guard lock(mutex_);
    std::string text = formatMediaText(
        "+++ General +++\n\nFile = %s\nFileCreationDate = %s\nOriginalCreationDate = "
        "%s\nFileSize = %lld bytes\nFileDuration = %s\nFileType = %s\nFileUTI = "
        "%s\nFileTypeDescription = %s\nFileContainerType = %s\n",
        name().c_str(), dateDescription(metaDataValue(kFileCreationDate)).c_str(),
        dateDescription(metaDataValue(kOriginalCreationDate)).c_str(), (long long)filesize_,
        duration().description().c_str(), mediaTypeWord(type()), fileUTI_.c_str(),
        fileTypeDescription_.c_str(), fileContainerString().c_str());
    text += formatMediaText(
        "OffsetTime = %s\nAVShiftTime = %s\nframeRate = %2.2f\nLinked = %d\nReferenced Files = "
        "%lu\nUniqueDeviceID = %s\n\n",
        offset_.description().c_str(), shiftTime_.description().c_str(), frameRate(),
        linkedAudioFile_ ? 1 : 0, (unsigned long)referencedFilesCount(), uniqueDeviceID().c_str());
    if (level > 0)
        text += formatMediaText("sourceURL = %s\nmediaURL = %s\n\n", sourceURL_.c_str(),
                                mediaURL_.c_str());
    if (hasVideo()) {
        text += "+++ Video Tracks +++\n\n";
        for (const std::shared_ptr<MediaTrack>& track : videoTracks())
            text += videoTrackDescription(*track);
    }
    if (hasAudio()) {
        text += "\n+++ Audio Tracks +++\n\n";
        for (const std::shared_ptr<MediaTrack>& track : audioTracks())
            text += audioTrackDescription(*track);
    }
    if (hasTimecode()) {
        text += "\n+++ Timecode +++\n\n";
        for (const std::shared_ptr<MediaTrack>& track : tracksWithType(MediaTrackTypeTimecode))
            text += (track->timecode() ? track->timecode()->description() : "none") + "\n";
        const std::shared_ptr<TCHelper> file = fileTimecode();
        const std::shared_ptr<TCHelper> audio = audioTimecode();
        if (file && audio) text += timecodeOffsetDescription(*file, *audio);
    }
    text += "\n+++ Used Metadata +++\n\n";
    const std::pair<const char*, std::optional<std::string>> used[] = {
        {"Reel/Tape", reel()},
        {"Scene", scene()},
        {"Take", take()},
        {"Note", note()},
        {"Angle", metaDataString(kAngle)},
        {"CameraName", metaDataString(kCameraName)},
        {"Manufacturer", manufacturer()},
        {"ModelName", modelname()},
        {"Firmware", firmware()},
        {"SerialNumber", serialnumber()},
        {"LensModel", metaDataString(kLensModel)},
        {"LensSerialNumber", metaDataString(kLensSerialNumber)},
        {"Software", software()},
    };
    for (const auto& [label, value] : used)
        if (value) text += std::string(label) + " = " + *value + "\n";
    text +=
        level < 1 ? "\n+++ Metadata Sources +++\n\n" : "\n\n####### Original File Metadata #######";
    return text + extendedMetaDescription(level);
}

std::string MediaFile::extendedMetaDescription(int32_t) const {
    return {};
}

bool MediaFile::optionEnabled(const MetadataDictionary& options, const char* key) {
    const auto found = options.find(key);
    if (found == options.end()) return false;
    const std::optional<int64_t> flag = found->second.integer();
    return flag && *flag != 0;
}

}  // namespace vorlane
