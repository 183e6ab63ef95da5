#include "formats/raw/RedFile.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <limits>
#include <mutex>

#include "formats/asset/AVFoundationFile.h"
#include "formats/dng/EXIFExtractor.h"
#include "media/MediaText.h"
#include "platform/ByteOrder.h"
#include "platform/FileSystem.h"
#include "platform/Log.h"
#include "platform/Text.h"
#include "platform/red/RedSDK.h"
#include "timecode/TCHelper.h"

namespace vorlane {
namespace {

std::optional<std::string> itemText(const MetadataDictionary& items, const char* key) {
    std::optional<std::string> text = metadataString(items, key);
    if (!text || text->empty()) return std::nullopt;
    return text;
}

// "20160118" and "213555" as a local date.
std::optional<MetadataDate> localDateOfClip(const std::string& date, const std::string& time) {
    if (date.size() != 8 || time.size() != 6) return std::nullopt;
    const std::string text = date.substr(0, 4) + ":" + date.substr(4, 2) + ":" + date.substr(6) +
                             " " + time.substr(0, 2) + ":" + time.substr(2, 2) + ":" +
                             time.substr(4);
    return EXIFExtractor::dateWithExifText(text);
}

}  // namespace

RedFile::RedFile(std::filesystem::path url) : MediaFile(std::move(url)) {
    setFileContainerType(MediaFileContainerRedcode);
}

RedFile::~RedFile() = default;

bool RedFile::initSDK() {
    static const int status = RedSDK::initialize({});
    static std::once_flag logged;
    if (status != 0)
        std::call_once(logged, [] { Log::writef("Red-SDK: Failed to initialize (%d)", status); });
    return status == 0;
}

std::string RedFile::getSDKVersion() {
    return RedSDK::version();
}

void RedFile::freeSDK() {
    RedSDK::release();
}

bool RedFile::isSupportedURL(const std::filesystem::path& url) {
    return upperCasedExtension(url) == "R3D";
}

std::optional<std::vector<std::filesystem::path>> RedFile::spannedFilesForURL(
    const std::filesystem::path& url) {
    const std::filesystem::path folder = url.parent_path();
    const std::string prefix = folder.stem().string();
    if (prefix.empty() || !url.filename().string().starts_with(prefix)) return std::nullopt;
    std::vector<std::filesystem::path> members;
    for (const std::filesystem::path& entry : FileSystem::visibleFolderEntries(folder))
        if (entry.filename().string().starts_with(prefix) && isSupportedURL(entry))
            members.push_back(entry);
    if (members.size() < 2) return std::nullopt;
    return members;
}

bool RedFile::loadClip() {
    if (!initSDK()) return false;
    auto clip = std::make_unique<RedClip>(sourceURLPath());
    bytesRead_ += clip->bytesRead();
    if (clip->status() != RedStatus::Ok) {
        Log::writef("Red-SDK: Error loading clip %s", sourceURLPath().filename().c_str());
        return false;
    }
    redClip_ = std::move(clip);
    return true;
}

void RedFile::unloadClip() {
    redClip_.reset();
}

uint64_t RedFile::bytesRead() const {
    std::lock_guard lock(mutex());
    return bytesRead_;
}

void RedFile::analyzeWithOptions(const MetadataDictionary& options) {
    MediaFile::analyzeWithOptions(options);
    if (!loadClip()) return;
    analyzeTracks();
    analyzeMetadata();
    analyzeTimecode();
    if (optionEnabled(options, kAnalyzeCreateThumbnail)) makeThumbnail();
    if (optionEnabled(options, kAnalyzeReadAudioTc)) readAudioTimecode();
    if (optionEnabled(options, kAnalyzeApplyAVShift)) setAutoShift();
    unloadClip();
}

void RedFile::analyzeTracks() {
    const RedClip& clip = *redClip_;
    CMTimeRange range = CMTimeRangeMake(kCMTimeZero, kCMTimeZero);
    const uint32_t numerator = clip.videoRateNumerator();
    if (numerator > 0 && numerator <= uint32_t(std::numeric_limits<int32_t>::max()) &&
        clip.videoFrameCount() <= uint64_t(std::numeric_limits<uint32_t>::max()))
        range.duration = CMTimeMake(int64_t(clip.videoFrameCount() * clip.videoRateDenominator()),
                                    int32_t(numerator));
    std::lock_guard lock(mutex());
    const auto video = addTrackWithMediaType(MediaTrackTypeVideo, 1);
    video->setFourCC(fourCC("R3D "));
    video->setCodecName("REDcode");
    video->setVideoSize({double(clip.width()), double(clip.height())});
    video->setVideoFrameRate(clip.videoFrameRate());
    video->setVideoFieldCount(1);
    video->setTimeRange(range);
    if (clip.audioChannelCount() == 0) return;
    const auto audio = addTrackWithMediaType(MediaTrackTypeAudio, 0);
    audio->setFourCC(fourCC("lpcm"));
    audio->setCodecName("LPCM");
    audio->setAudioChannelCount(clip.audioChannelCount());
    audio->setAudioBitDepth(clip.audioBitDepth());
    audio->setAudioBytesPerFrame(clip.audioChannelCount() * clip.audioBitDepth() / 8);
    audio->setAudioSampleRate(clip.audioSampleRate());
    audio->setTimeRange(range);
}

void RedFile::analyzeMetadata() {
    MetadataDictionary items;
    for (const auto& [key, value] : redClip_->metadataItems())
        items.emplace(key, value);
    setMetaDataValue(kMaker, "RED");
    setMetaDataValue(kMFRedMetaData, items);
    if (auto model = itemText(items, "camera_model")) {
        std::optional<std::string> detail = itemText(items, "sensor_name");
        if (!detail) detail = itemText(items, "camera_network_name");
        setMetaDataValue(kModel, detail ? *model + " " + *detail : *model);
    }
    if (auto serial = itemText(items, "camera_pin")) setMetaDataValue(kSerialNumber, *serial);
    if (auto firmware = itemText(items, "camera_firmware_version"))
        setMetaDataValue(kFirmware, *firmware);
    if (auto reel = itemText(items, "reel_id_8_character")) setMetaDataValue(kReel, *reel);
    const auto date = itemText(items, "local_date");
    const auto time = itemText(items, "local_time");
    if (date && time) {
        if (const auto recorded = localDateOfClip(*date, *time))
            setMetaDataValue(kOriginalCreationDate, *recorded);
    }
}

void RedFile::analyzeTimecode() {
    const std::string text = redClip_->startTimecode();
    const double measured = redClip_->videoFrameRate();
    const double rate = TCHelper::quantizedFrameRate(measured);
    if (text.empty() || !(rate > 0)) return;
    const auto timecode = TCHelper::helperWithFrameRate(rate, false);
    timecode->setType(TCTypeFile);
    timecode->setSource("RED-SDK TC");
    if (!timecode->setTimecodeString(text)) return;
    std::lock_guard lock(mutex());
    addTimecodeTrackWithTCHelper(timecode);
}

void RedFile::makeThumbnail() {
    // Without the maker's decoder no frame can be shown.
    setThumbnail(Image::named(kVideoCodecUnavailableImage));
}

void RedFile::readAudioTimecodeAtFrameRate(const AudioTimecodeRequest&) {
    setAudioTimecodeHasBeenRead(true);
    updateReadableInfo();
}

std::string RedFile::extendedMetaDescription(int32_t level) const {
    std::string text = MediaFile::extendedMetaDescription(level);
    const std::optional<MetadataValue> value = metaDataValue(kMFRedMetaData);
    const MetadataDictionary* items = value ? value->dictionary() : nullptr;
    if (!items) return text;
    if (level < 1) return text + "RED Metadata = YES\n";
    text += "\n\n+++ RED MetaData +++\n\n";
    for (const auto& [key, item] : *items)
        text +=
            formatMediaText("%s = %s\n", key.c_str(), item.string() ? item.string()->c_str() : "");
    return text;
}

}  // namespace vorlane
