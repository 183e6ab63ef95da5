#include "formats/dng/CinemaDNGFile.h"

#include <algorithm>
#include <cctype>
#include <cmath>

#include "formats/asset/AVFoundationFile.h"
#include "formats/dng/DNGImage.h"
#include "formats/wave/BWFFile.h"
#include "media/MediaText.h"
#include "media/ThumbnailPicture.h"
#include "platform/ByteOrder.h"
#include "platform/FileSystem.h"
#include "platform/Log.h"
#include "platform/media/AssetImageGenerator.h"
#include "platform/media/MediaAsset.h"
#include "timecode/TCHelper.h"

namespace vorlane {
namespace {

constexpr double kDefaultFrameRate = 24.0;
constexpr CMTimeValue kSecondsPerDay = 86400;

bool isWave(const std::filesystem::path& url) {
    return BWFFile::isSupportedURL(url);
}

// The DNG images of a folder in name order.
std::filesystem::path folderOf(const std::filesystem::path& url) {
    return url.has_parent_path() ? url.parent_path() : std::filesystem::path(".");
}

// Two decimal digits of a BCD byte, with the tens limited to `tensMask`.
int bcd(uint8_t byte, uint8_t tensMask) {
    return (byte & 0x0F) + ((byte >> 4) & tensMask) * 10;
}

std::unique_ptr<DNGImage> readImage(const std::filesystem::path& url) {
    std::unique_ptr<DNGImage> image = DNGImage::initWithURL(url);
    if (!image) return nullptr;
    image->readMetadata();
    image->close();
    return image;
}

}  // namespace

CinemaDNGFile::CinemaDNGFile(const Sequence& sequence, std::unique_ptr<DNGImage> firstDNG,
                             std::unique_ptr<DNGImage> lastDNG)
    : MediaFile(sequence.firstImage),
      firstDNG_(std::move(firstDNG)),
      lastDNG_(std::move(lastDNG)),
      frameCount_(sequence.frameCount),
      totalFileSize_(sequence.totalFileSize) {
    setFileContainerType(MediaFileContainerCinemaDNG);
    if (sequence.audio) audioFile_ = std::make_shared<BWFFile>(*sequence.audio);
}

CinemaDNGFile::~CinemaDNGFile() = default;

bool CinemaDNGFile::isSupportedURL(const std::filesystem::path& url) {
    return DNGImage::isSupportedURL(url);
}

// Asked for every sound file the pool takes: one pass over the folder for its first and last
// image by name, without sorting a folder of thousands of takes each time.
bool CinemaDNGFile::isURLPartOfDNGDirectory(const std::filesystem::path& url) {
    std::optional<std::filesystem::path> first, last;
    const bool listed = FileSystem::visitVisibleFolderEntries(
        folderOf(url), [&](const std::filesystem::path& entry) {
            std::error_code error;
            if (!DNGImage::isSupportedURL(entry) || !std::filesystem::is_regular_file(entry, error))
                return;
            if (!first || entry < *first) first = entry;
            if (!last || *last < entry) last = entry;
        });
    return listed && first &&
           (DNGImage::isCinemaDNGImageAtURL(*first) || DNGImage::isCinemaDNGImageAtURL(*last));
}

std::optional<CinemaDNGFile::Sequence> CinemaDNGFile::scanDirectiory(
    const std::filesystem::path& url) {
    Sequence sequence;
    for (const std::filesystem::path& entry : FileSystem::visibleFolderEntries(folderOf(url))) {
        std::error_code error;
        if (!std::filesystem::is_regular_file(entry, error)) continue;
        if (isWave(entry)) {
            sequence.audio = entry;
        } else if (DNGImage::isSupportedURL(entry)) {
            if (sequence.frameCount++ == 0) sequence.firstImage = entry;
            sequence.lastImage = entry;
            sequence.totalFileSize += FileSystem::fileSize(entry).value_or(0);
        }
    }
    if (sequence.frameCount == 0) return std::nullopt;
    return sequence;
}

std::shared_ptr<CinemaDNGFile> CinemaDNGFile::initWithURL(const std::filesystem::path& url) {
    const std::optional<Sequence> sequence = scanDirectiory(url);
    if (!sequence) return nullptr;
    std::unique_ptr<DNGImage> first = readImage(sequence->firstImage);
    std::unique_ptr<DNGImage> last = readImage(sequence->lastImage);
    if (!first || !last || (!first->isCinemaDNG() && !last->isCinemaDNG())) return nullptr;
    return std::make_shared<CinemaDNGFile>(*sequence, std::move(first), std::move(last));
}

uint64_t CinemaDNGFile::bytesRead() const {
    return firstDNG_->bytesRead() + lastDNG_->bytesRead();
}

std::shared_ptr<TCHelper> CinemaDNGFile::timecodeOfDNGImage(const DNGImage& image) const {
    const DNGTagValue* timecode = image.valueForKey("Timecode");
    const DNGTagValue* rateValue = firstDNG_->valueForKey("FrameRate");
    const auto* address = timecode ? timecode->listValue() : nullptr;
    const std::optional<double> measured = rateValue ? rateValue->doubleValue() : std::nullopt;
    if (!address || address->size() != 8 || !measured || !std::isfinite(*measured) ||
        *measured <= 0 || *measured > TCHelper::kMaximumFrameRate)
        return nullptr;
    uint8_t bytes[4];
    for (size_t i = 0; i < 4; ++i)
        bytes[i] = uint8_t(DNGTagValue::integerOfNumber((*address)[i]).value_or(0));
    const bool dropFrame = bytes[0] & 0x40;
    const std::string text =
        formatMediaText("%02d:%02d:%02d:%02d", bcd(bytes[3], 0x03), bcd(bytes[2], 0x07),
                        bcd(bytes[1], 0x07), bcd(bytes[0], 0x03));
    // Cameras write 23.976 as 24000/1001 or as a decimal fraction; both mean the NTSC rate.
    const double quantized = TCHelper::quantizedFrameRate(*measured);
    const auto value =
        TCHelper::helperWithFrameRate(quantized > 0 ? quantized : *measured, dropFrame);
    value->setType(TCTypeFile);
    value->setSource("CinemaDNG Meta");
    if (!value->setTimecodeString(text)) return nullptr;
    return value;
}

std::string CinemaDNGFile::commonName() const {
    const std::filesystem::path first = firstDNG_->url().value_or(sourceURLPath());
    const std::filesystem::path last = lastDNG_->url().value_or(first);
    const std::string a = first.stem().string();
    const std::string b = last.stem().string();
    if (a.size() != b.size() || a.empty() || a == b) return a;
    size_t differs = a.size() - 1;
    while (a[differs] == b[differs])
        --differs;
    const auto isDigit = [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; };
    if (!isDigit(a[differs]) || !isDigit(b[differs])) return a;
    size_t start = differs;
    while (start > 0 && isDigit(a[start - 1]) && isDigit(b[start - 1]))
        --start;
    size_t end = differs + 1;
    while (end < a.size() && isDigit(a[end]) && isDigit(b[end]))
        ++end;
    std::string extension = first.extension().string();
    if (!extension.empty()) extension.erase(0, 1);
    return a.substr(0, start) + "[" + a.substr(start, end - start) + "-" +
           b.substr(start, end - start) + "]" + a.substr(end) + "." + extension;
}

std::filesystem::path CinemaDNGFile::commonNameURL() const {
    return folderOf(sourceURLPath()) / commonName();
}

uint32_t CinemaDNGFile::bitDepth() const {
    const DNGTagValue* depth = firstDNG_->valueForKey("BitDepth");
    if (!depth) return 0;
    std::optional<int64_t> bits = depth->integerValue();
    if (const auto* list = depth->listValue(); list && !list->empty())
        bits = DNGTagValue::integerOfNumber(list->front());
    return bits && *bits > 0 && *bits <= 64 ? uint32_t(*bits) : 0;
}

void CinemaDNGFile::analyzeWithOptions(const MetadataDictionary& options) {
    MediaFile::analyzeWithOptions(options);
    setFilesize(totalFileSize_);
    analyzeTracks();
    analyzeMetadata();
    if (optionEnabled(options, kAnalyzeCreateThumbnail)) makeThumbnail();
    if (optionEnabled(options, kAnalyzeReadAudioTc)) readAudioTimecode();
    if (optionEnabled(options, kAnalyzeApplyAVShift)) setAutoShift();
}

void CinemaDNGFile::analyzeTracks() {
    // The sound file is analysed first, outside this file's lock.
    std::shared_ptr<MediaTrack> sound;
    if (audioFile_) {
        audioFile_->setMetaDataValue(kMFBWFReferencedByCinemaDNG, sourceURLPath().string());
        if (!audioFile_->hasAudio()) audioFile_->analyzeWithOptions({});
        std::lock_guard audioLock(audioFile_->mutex());
        sound = audioFile_->firstAudioTrack();
    }
    std::lock_guard lock(mutex());
    if (hasVideo()) return;
    const std::shared_ptr<MediaTrack> video = addTrackWithMediaType(MediaTrackTypeVideo, 1);
    video->setFourCC(fourCC("tiff"));
    video->setTrackNumber(1);
    video->setCodecName(formatMediaText("CinemaDNG %dbit", int(bitDepth())));
    const DNGTagValue* crop = firstDNG_->valueForKey("DefaultCropZone");
    if (const auto* size = crop ? crop->listValue() : nullptr; size && size->size() == 2) {
        video->setVideoSize(
            {DNGTagValue::doubleOfNumber((*size)[0]), DNGTagValue::doubleOfNumber((*size)[1])});
    } else {
        const DNGTagValue* width = firstDNG_->valueForKey("ImageWidth");
        const DNGTagValue* height = firstDNG_->valueForKey("ImageHeight");
        video->setVideoSize({width ? width->doubleValue().value_or(0) : 0,
                             height ? height->doubleValue().value_or(0) : 0});
    }

    std::shared_ptr<TCHelper> start = timecodeOfDNGImage(*firstDNG_);
    std::shared_ptr<TCHelper> end = timecodeOfDNGImage(*lastDNG_);
    if (!start || !end) {
        start = TCHelper::helperWithFrameRate(kDefaultFrameRate, false);
        start->setType(TCTypeFile);
        start->setSource("CinemaDNG Default");
        start->setFrameCount(0);
        end = start->copy();
        end->setFrameCount(int64_t(std::min<uint64_t>(frameCount_, INT32_MAX)) - 1);
    }
    addTimecodeTrackWithTCHelper(start);
    video->setVideoFrameRate(start->frameRate());
    // A clip recorded across midnight ends at an earlier time of day than it starts.
    CMTime last = end->time();
    if (last < start->time()) last = last + CMTimeMake(kSecondsPerDay, 1);
    video->setTimeRange(
        CMTimeRangeMake(kCMTimeZero, last - start->time() + start->frameDuration()));
    addSharedTrack(sound);
}

void CinemaDNGFile::analyzeMetadata() {
    for (const auto& [tag, key] :
         {std::pair{"UniqueCameraModel", kModel}, std::pair{"CameraSerialNumber", kSerialNumber}}) {
        const DNGTagValue* value = firstDNG_->valueForKey(tag);
        if (const std::string* text = value ? value->textValue() : nullptr; text && !text->empty())
            setMetaDataValue(key, *text);
    }
    if (!audioFile_) return;
    for (const char* key : {kNote, kReel, kScene, kTake}) {
        if (auto value = audioFile_->metaDataValue(key)) setMetaDataValue(key, std::move(*value));
    }
}

void CinemaDNGFile::makeThumbnail() {
    std::optional<Image> picture;
    if (const auto asset = MediaAsset::assetWithURL(sourceURLPath())) {
        AssetImageGenerator generator(asset);
        generator.setMaximumSize(kThumbnailWidth, kThumbnailHeight);
        picture = generator.copyImageAtTime(kCMTimeZero);
    }
    setThumbnail(picture ? thumbnailPicture(*picture) : Image::named(kVideoCodecUnavailableImage));
}

void CinemaDNGFile::readAudioTimecodeAtFrameRate(const AudioTimecodeRequest& request) {
    removeAllAudioTimecodeTracks();
    if (audioFile_) {
        audioFile_->readAudioTimecodeAtFrameRate(request);
        std::vector<std::shared_ptr<TCHelper>> found;
        {
            std::lock_guard audioLock(audioFile_->mutex());
            for (const auto& track : audioFile_->tracksWithType(MediaTrackTypeTimecode))
                if (track->timecode() && track->timecode()->type() == TCTypeAudio)
                    found.push_back(track->timecode());
        }
        std::lock_guard lock(mutex());
        for (std::shared_ptr<TCHelper>& value : found)
            addTimecodeTrackWithTCHelper(std::move(value));
    }
    copyAudioTimecodeUserBitsToMetadata();
    setAudioTimecodeHasBeenRead(true);
    updateReadableInfo();
}

std::string CinemaDNGFile::tagsDescription() const {
    std::string text;
    if (const auto version = firstDNG_->dngVersion())
        text += formatMediaText("DNGVersion = %s\n", version->c_str());
    for (const auto& [name, value] : firstDNG_->imageFileDirectory())
        text += formatMediaText("%s = %s\n", name.c_str(), value.description().c_str());
    return text;
}

std::string CinemaDNGFile::extendedMetaDescription(int32_t level) const {
    std::string text = MediaFile::extendedMetaDescription(level);
    const std::optional<std::string> bext =
        audioFile_ ? audioFile_->bextDescription() : std::nullopt;
    const std::optional<std::string> iXML =
        audioFile_ ? audioFile_->iXMLDescription() : std::nullopt;
    if (level < 1) {
        text += "TIFF/DNG Metadata = YES\n";
        if (bext) text += "DNG Audio BWF Metadata = YES\n";
        if (iXML) text += "DNG Audio iXML Metadata = YES\n";
        return text;
    }
    text += "\n\n+++ TIFF/DNG Metadata +++\n\n" + tagsDescription();
    if (bext) text += "\n\n+++ DNG Audio BWF Metadata +++\n\n" + *bext;
    if (iXML) text += "\n\n+++ DNG Audio iXML Metadata +++\n\n" + *iXML;
    return text;
}

}  // namespace vorlane
