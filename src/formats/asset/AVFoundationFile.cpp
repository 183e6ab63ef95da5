#include "formats/asset/AVFoundationFile.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <limits>
#include <typeinfo>

#include "formats/asset/AVCCExtractor.h"
#include "media/MediaText.h"
#include "media/ThumbnailPicture.h"
#include "platform/ByteOrder.h"
#include "platform/FileSystem.h"
#include "platform/Log.h"
#include "platform/NotificationCenter.h"
#include "platform/SampleRateRange.h"
#include "platform/Text.h"
#include "platform/media/AssetImageGenerator.h"
#include "platform/media/MediaAsset.h"
#include "timecode/TCHelper.h"

namespace vorlane {
namespace {

// The H.264 profile of the High 4:2:2 family, which records 10-bit 4:2:2 pictures.
constexpr uint8_t kH264ProfileHigh422 = 122;
// Bytes of a data value shown in the metadata listing.
constexpr size_t kDataPreviewBytes = 32;

// The track's range; a track whose length the container does not tell spans the asset.
CMTimeRange timeRangeOfTrack(const AssetTrack& track, const MediaAsset& asset) {
    if (track.timeRange.isValid()) return track.timeRange;
    const CMTime duration = asset.duration().isValid() ? asset.duration() : kCMTimeZero;
    return CMTimeRangeMake(kCMTimeZero, duration);
}

double videoFrameRateOfTrack(const AssetTrack& track) {
    const CMTime shortest = track.minFrameDuration;
    if (shortest.isValid() && shortest.value != 0) {
        return double(shortest.timescale) / double(shortest.value);
    }
    return track.nominalFrameRate;
}

// Profile and level of an H.264 track: from its 'avcC' record, else as the decoding library
// found them in the stream (transport streams carry no record).
std::optional<uint8_t> describeH264Track(const FormatDescription& format,
                                         const std::shared_ptr<MediaTrack>& track) {
    const auto record = format.extensionAtoms.find("avcC");
    if (record != format.extensionAtoms.end()) {
        AVCCExtractor extractor(record->second, track);
        extractor.extractH264ProfileAndLevel();
        if (track->metaData().count(kVideoH264Profile)) return extractor.h264Profile();
        return std::nullopt;
    }
    if (format.profile < 0 || format.level < 0) return std::nullopt;
    const auto profile = uint8_t(format.profile & 0xff);
    track->metaData()[kVideoH264Profile] = MetadataValue(int64_t(profile));
    track->metaData()[kVideoH264Level] = MetadataValue(int64_t(format.level & 0xff));
    return profile;
}

// The frames per second a timecode description counts. Quanta 0 would divide by zero; such a
// description counts whole frames. Some cameras write the rate rounded down (29 for 29.97)
// while their counter runs at the rounded rate, 30: taken as written, the start would be
// 30/29 too late, tens of minutes in the day. Quanta below the rate on purpose (30 for 60 fps
// material, whose counter is scaled up) are kept.
double frameQuantaOf(const TimecodeFormatDescription& description, double fps) {
    const double roundedFps = std::round(fps);
    if (description.frameQuanta == 0 || double(description.frameQuanta) == std::floor(fps))
        return roundedFps;
    return double(description.frameQuanta);
}

// The first bytes of a data value as text, or in hexadecimal when one of them is not printable.
std::string dataPreview(const std::vector<uint8_t>& data) {
    const size_t shown = std::min(data.size(), kDataPreviewBytes);
    const bool printable = std::all_of(data.begin(), data.begin() + std::ptrdiff_t(shown),
                                       [](uint8_t byte) { return byte >= 32 && byte <= 127; });
    if (printable) return std::string(data.begin(), data.begin() + std::ptrdiff_t(shown));
    std::string hex = "<";
    for (size_t i = 0; i < shown; ++i) {
        if (i > 0 && i % 4 == 0) hex += ' ';
        hex += formatMediaText("%02x", data[i]);
    }
    return hex + ">";
}

std::string itemLabel(const MetadataItem& item) {
    if (!item.identifier.empty()) return item.identifier;
    if (!item.keySpace.empty() || !item.key.empty()) return item.keySpace + "/" + item.key;
    return "???";
}

}  // namespace

AVFoundationFile::AVFoundationFile(std::filesystem::path url) : MediaFile(url) {
    setFileContainerType(containerTypeForURL(url));
}

AVFoundationFile::~AVFoundationFile() = default;

std::optional<Image> AVFoundationFile::pictureOfFile(const std::filesystem::path& url,
                                                     CMTime time) {
    const auto asset = MediaAsset::assetWithURL(url);
    if (!asset) return std::nullopt;
    AssetImageGenerator generator(asset);
    generator.setMaximumSize(kThumbnailWidth, kThumbnailHeight);
    return generator.copyImageAtTime(time);
}

const std::vector<std::string>& AVFoundationFile::audiovisualTypes() {
    static const std::vector<std::string> types = {
        FileSystem::kTypeQuickTimeMovie,
        FileSystem::kTypeMPEG4,
        FileSystem::kTypeMPEG4Audio,
        FileSystem::kTypeMPEG,
        FileSystem::kTypeMPEG2TransportStream,
        FileSystem::kTypeAVCHDTransportStream,
        FileSystem::kTypeWaveformAudio,
        FileSystem::kTypeAIFFAudio,
        FileSystem::kTypeAIFCAudio,
        FileSystem::kTypeMP3,
    };
    return types;
}

bool AVFoundationFile::isSupportedURL(const std::filesystem::path& url) {
    if (upperCasedExtension(url) == "M2T") return true;
    const std::optional<std::string> type = FileSystem::typeIdentifier(url);
    const auto& types = audiovisualTypes();
    return type && std::find(types.begin(), types.end(), *type) != types.end();
}

int32_t AVFoundationFile::containerTypeForURL(const std::filesystem::path& url) {
    const std::optional<std::string> type = FileSystem::typeIdentifier(url);
    if (!type) return MediaFileContainerUnknown;
    if (*type == FileSystem::kTypeQuickTimeMovie) return MediaFileContainerQuicktime;
    if (*type == FileSystem::kTypeMPEG4 || *type == FileSystem::kTypeMPEG4Audio)
        return MediaFileContainerMP4;
    if (*type == FileSystem::kTypeMPEG) return MediaFileContainerMPEG;
    if (*type == FileSystem::kTypeMP3) return MediaFileContainerMP3;
    if (*type == FileSystem::kTypeAIFFAudio || *type == FileSystem::kTypeAIFCAudio)
        return MediaFileContainerAIFF;
    if (*type == FileSystem::kTypeWaveformAudio) return MediaFileContainerWAVE;
    const std::string extension = upperCasedExtension(url);
    if (extension == "MTS") return MediaFileContainerAVCHD;
    if (extension == "M2T") return MediaFileContainerMPEG;
    return MediaFileContainerUnknown;
}

std::string AVFoundationFile::videoCodecName(const FormatDescription& format,
                                             std::optional<uint8_t> h264Profile) {
    std::string name;
    if (format.mediaSubType == fourCC("avc1")) {
        name = h264Profile == kH264ProfileHigh422 ? "H.264 10bit 4:2:2" : "H.264/MPEG-4";
    } else if (!format.formatName.empty()) {
        name = format.formatName;
    } else {
        name = fourCCString(format.mediaSubType);
    }
    std::erase(name, '\0');
    return name;
}

std::string AVFoundationFile::audioCodecName(uint32_t subType) {
    std::string name;
    for (int shift = 24; shift >= 0; shift -= 8)
        name += char((subType >> shift) & 0xff);
    const auto kept = [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '-';
    };
    const auto first = std::find_if(name.begin(), name.end(), kept);
    const auto last = std::find_if(name.rbegin(), name.rend(), kept).base();
    if (first >= last) return {};
    return upperCased(std::string(first, last));
}

int32_t AVFoundationFile::maxAudioTrackCount() const {
    std::lock_guard lock(mutex());
    return maxAudioTrackCount_;
}

void AVFoundationFile::setMaxAudioTrackCount(int32_t count) {
    std::lock_guard lock(mutex());
    maxAudioTrackCount_ = count;
}

// Asset.

std::shared_ptr<MediaAsset> AVFoundationFile::openedAsset() const {
    {
        std::lock_guard lock(mutex());
        if (asset_) return asset_;
    }
    // Opening reads the file; the summaries stay readable meanwhile.
    const std::optional<std::filesystem::path> url = mediaURL();
    std::shared_ptr<MediaAsset> opened = url ? MediaAsset::assetWithURL(*url) : nullptr;
    std::lock_guard lock(mutex());
    if (!asset_) asset_ = std::move(opened);
    return asset_;
}

bool AVFoundationFile::loadAsset() {
    return openedAsset() != nullptr;
}

void AVFoundationFile::unloadAsset() {
    std::lock_guard lock(mutex());
    asset_.reset();
}

std::shared_ptr<MediaAsset> AVFoundationFile::bufferedAsset() {
    return openedAsset();
}

std::shared_ptr<MediaAsset> AVFoundationFile::avAsset() const {
    std::lock_guard lock(mutex());
    return asset_;
}

// Tracks.

void AVFoundationFile::analyzeVideoTracks() {
    const std::shared_ptr<MediaAsset> asset = bufferedAsset();
    if (!asset) return;
    std::lock_guard lock(mutex());
    for (const AssetTrack& assetTrack : asset->tracksWithMediaType(AssetMediaType::Video)) {
        if (!assetTrack.formatDescription) continue;
        const FormatDescription& format = *assetTrack.formatDescription;
        const std::shared_ptr<MediaTrack> track =
            addTrackWithMediaType(MediaTrackTypeVideo, assetTrack.trackID);
        track->setFourCC(format.mediaSubType);
        std::optional<uint8_t> h264Profile;
        if (format.mediaSubType == fourCC("avc1")) h264Profile = describeH264Track(format, track);
        track->setCodecName(videoCodecName(format, h264Profile));
        track->setTimeRange(timeRangeOfTrack(assetTrack, *asset));
        track->setVideoSize({double(format.width), double(format.height)});
        track->setVideoFrameRate(videoFrameRateOfTrack(assetTrack));
        track->setVideoFieldCount(format.fieldCount.value_or(1));
        if (format.mediaSubType == fourCC("AVdn") && format.avidCompressionID) {
            track->metaData()[kVideoAvidResolutionID] =
                MetadataValue(int64_t(*format.avidCompressionID));
        }
    }
}

void AVFoundationFile::analyzeAudioTracks() {
    const std::shared_ptr<MediaAsset> asset = bufferedAsset();
    if (!asset) return;
    std::lock_guard lock(mutex());
    for (const AssetTrack& assetTrack : asset->tracksWithMediaType(AssetMediaType::Audio)) {
        if (audioTrackCount() >= maxAudioTrackCount_) break;
        if (!assetTrack.formatDescription) continue;
        const FormatDescription& format = *assetTrack.formatDescription;
        if (format.audio && isImplausibleStatedSampleRate(format.audio->sampleRate)) {
            Log::writef("AVFoundationFile: An audio track of %s is left out: %s",
                        sourceURLPath().c_str(),
                        implausibleSampleRateReason(format.audio->sampleRate).c_str());
            continue;
        }
        const std::shared_ptr<MediaTrack> track =
            addTrackWithMediaType(MediaTrackTypeAudio, assetTrack.trackID);
        track->setFourCC(format.mediaSubType);
        track->setCodecName(audioCodecName(format.mediaSubType));
        track->setTimeRange(timeRangeOfTrack(assetTrack, *asset));
        const AudioStreamBasicDescription audio =
            format.audio.value_or(AudioStreamBasicDescription{});
        track->setAudioChannelCount(audio.channelsPerFrame);
        track->setAudioBytesPerFrame(audio.bytesPerFrame);
        track->setAudioSampleRate(audio.sampleRate);
        track->setAudioChannelMask(0);
        track->setAudioBitDepth(audio.bitsPerChannel);
        if (audio.bitsPerChannel == 0) {
            // Compressed sound decodes to 16-bit samples.
            track->setAudioBitDepth(16);
            track->setAudioBytesPerFrame(2 * audio.channelsPerFrame);
        }
    }
}

void AVFoundationFile::analyzeTimecodeTracks() {
    const std::shared_ptr<MediaAsset> asset = bufferedAsset();
    if (!asset || hasFileTimecode()) return;
    int32_t made = 0;
    for (const AssetTrack& assetTrack : asset->tracksWithMediaType(AssetMediaType::Timecode)) {
        if (!assetTrack.formatDescription || !assetTrack.formatDescription->timecode) continue;
        const TimecodeFormatDescription& description = *assetTrack.formatDescription->timecode;
        const std::optional<int64_t> counter = asset->firstTimecodeFrameNumber(assetTrack.trackID);
        if (!counter) continue;
        if (!description.sourceReferenceName.empty())
            setMetaDataValue(kReel, description.sourceReferenceName);
        // A description without a frame duration gives no rate to count frames at.
        const CMTime frameDuration = description.frameDuration;
        if (!frameDuration.isValid() || frameDuration.value <= 0) continue;
        const double fps = double(frameDuration.timescale) / double(frameDuration.value);
        const double roundedFps = std::round(fps);
        const double quanta = frameQuantaOf(description, fps);
        if (quanta <= 0) continue;
        const double count = std::trunc(roundedFps * double(*counter) / quanta);
        if (!(std::fabs(count) < 9.2e18)) continue;

        const std::shared_ptr<TCHelper> value =
            TCHelper::helperWithFrameRate(fps, description.dropFrame());
        value->setType(TCTypeFile);
        value->setIndex(++made);
        value->setSource("avf tmcd track");
        value->setFrameCount(int64_t(count));
        std::lock_guard lock(mutex());
        const std::shared_ptr<MediaTrack> track = addTimecodeTrackWithTCHelper(value);
        track->setTimeRange(timeRangeOfTrack(assetTrack, *asset));
        track->setMediaTrackID(assetTrack.trackID);
        track->setSourceTrackID(assetTrack.trackID);
    }
}

// Thumbnail.

void AVFoundationFile::makeThumbnail() {
    if (const std::optional<std::string> original = metaDataString(kOriginalThumbnailURL)) {
        if (const std::optional<Image> picture = pictureOfFile(*original, kCMTimeZero)) {
            setThumbnail(thumbnailPicture(*picture));
            return;
        }
    }
    bool hasVideoTrack = false;
    {
        std::lock_guard lock(mutex());
        hasVideoTrack = firstVideoTrack() != nullptr;
    }
    if (!hasVideoTrack) {
        setThumbnail(defaultThumbnailAudio());
        return;
    }
    std::optional<Image> picture;
    if (const std::shared_ptr<MediaAsset> asset = bufferedAsset()) {
        AssetImageGenerator generator(asset);
        generator.setMaximumSize(kThumbnailWidth, kThumbnailHeight);
        picture = generator.copyImageAtTime(CMTimeMake(600, 600));
    }
    setThumbnail(picture ? thumbnailPicture(*picture) : Image::named(kVideoCodecUnavailableImage));
    if (const std::shared_ptr<MediaObject> self = weak_from_this().lock()) {
        NotificationCenter::defaultCenter().postNotificationName(
            kUpdateMediaFileNotification, std::static_pointer_cast<MediaFile>(self));
    }
}

// Metadata.

std::optional<MetadataItem> AVFoundationFile::avMetadataItemForKey(
    const std::string& key, const std::string& metadataFormat) const {
    const std::shared_ptr<MediaAsset> asset = openedAsset();
    if (!asset) return std::nullopt;
    return asset->metadataItemForKey(key, metadataFormat);
}

std::vector<MetadataItem> AVFoundationFile::avMetadataItems() const {
    const std::shared_ptr<MediaAsset> asset = openedAsset();
    if (!asset) return {};
    return asset->metadata();
}

std::string AVFoundationFile::metadataDescription() const {
    const std::shared_ptr<MediaAsset> asset = openedAsset();
    if (!asset) return {};
    std::string text;
    for (const std::string& format : asset->availableMetadataFormats()) {
        text += formatMediaText(" + MetaDataFormat : %s\n", format.c_str());
        for (const MetadataItem& item : asset->metadataForFormat(format)) {
            const std::string label = itemLabel(item);
            if (item.stringValue) {
                text += formatMediaText("  - [%s] %s\n", label.c_str(), item.stringValue->c_str());
            } else if (item.dataValue) {
                const std::vector<uint8_t>& data = *item.dataValue;
                text += formatMediaText(
                    "  - [%s] %s%s (%ld bytes)\n", label.c_str(), dataPreview(data).c_str(),
                    data.size() > kDataPreviewBytes ? "..." : "", long(data.size()));
            }
        }
    }
    return text;
}

std::string AVFoundationFile::extendedMetaDescription(int32_t level) const {
    std::string text = MediaFile::extendedMetaDescription(level);
    if (level < 1) {
        if (openedAsset()) text += "AVF/Quicktime Metadata = YES\n";
    } else if (const std::string listing = metadataDescription(); !listing.empty()) {
        text += "\n\n+++ AVF/Quicktime Metadata +++\n\n" + listing;
    }
    return text;
}

// Analysis.

void AVFoundationFile::analyzeWithOptions(const MetadataDictionary& options) {
    MediaFile::analyzeWithOptions(options);
    if (!loadAsset()) return;
    analyzeVideoTracks();
    analyzeAudioTracks();
    analyzeTimecodeTracks();
    if (optionEnabled(options, kAnalyzeCreateThumbnail)) makeThumbnail();
    // Readers built on this class decide about LTC themselves.
    if (typeid(*this) == typeid(AVFoundationFile) && optionEnabled(options, kAnalyzeReadAudioTc))
        readAudioTimecode();
}

void AVFoundationFile::setAnalyzingFinished() {
    unloadAsset();
    MediaFile::setAnalyzingFinished();
}

}  // namespace vorlane
