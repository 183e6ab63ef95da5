#include "export/MovieExport.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <system_error>

#include "export/MediaExportOptionsController.h"
#include "formats/wave/BWFFile.h"
#include "media/MediaFile.h"
#include "media/MediaTrack.h"
#include "platform/ByteOrder.h"
#include "platform/media/MediaAsset.h"
#include "sync/MediaComposition.h"
#include "sync/MediaMapping.h"
#include "timecode/TCHelper.h"

namespace vorlane {
namespace {

namespace fs = std::filesystem;

constexpr char kExportNameMark[] = "vorlane";
// The two keys of the application's own namespace, and the QuickTime software key.
constexpr char kAVShiftKey[] = "org.vorlane.avshift";
constexpr char kUsedSettingsKey[] = "org.vorlane.usedSettings";
constexpr char kSoftwareKey[] = "com.apple.quicktime.software";

const char* extensionOf(MovieFileType fileType) {
    return fileType == MovieFileType::Wave ? "wav" : "mov";
}

// A metadata value as the text a QuickTime item holds; nothing for values without one.
std::optional<std::string> textOf(const std::optional<MetadataValue>& value) {
    if (!value) return std::nullopt;
    if (const std::string* text = value->string()) {
        if (text->empty()) return std::nullopt;
        return *text;
    }
    if (value->isBool()) return value->integer().value_or(0) ? "1" : "0";
    if (const auto integer = value->integer(); integer && !value->isDouble())
        return std::to_string(*integer);
    if (const auto number = value->number()) return std::to_string(*number);
    return std::nullopt;
}

std::optional<MetadataValue> valueIn(const MetadataDictionary& dictionary, const char* key) {
    const auto found = dictionary.find(key);
    if (found == dictionary.end()) return std::nullopt;
    return found->second;
}

// Adds or replaces an item; an item without a value is not written.
void addMetadata(std::vector<std::pair<std::string, std::string>>& items, const std::string& key,
                 const std::optional<std::string>& value) {
    if (!value) return;
    for (auto& item : items)
        if (item.first == key) {
            item.second = *value;
            return;
        }
    items.emplace_back(key, *value);
}

// The number behind "vorlane" in a base name made by an earlier export, and the name before it.
std::pair<std::string, int> splitExportNumber(const std::string& baseName) {
    const size_t mark = baseName.rfind(kExportNameMark);
    if (mark == std::string::npos || mark == 0) return {baseName, 1};
    const std::string digits = baseName.substr(mark + sizeof kExportNameMark - 1);
    int number = 0;
    for (const char digit : digits) {
        if (digit < '0' || digit > '9' || number > 99'999'999) return {baseName, 1};
        number = number * 10 + (digit - '0');
    }
    return {baseName.substr(0, mark - 1), number + 1};
}

bool isFourCC(uint32_t code, const char (&text)[5]) {
    return code == fourCC(text);
}

// The source track of a track's first segment with content (the track itself for a file).
std::shared_ptr<MediaTrack> firstSourceTrack(const MediaTrack& track) {
    for (const MediaSegment& segment : track.segmentsIncludingSubSegments())
        if (!segment.isEmpty()) return segment.sourceTrack();
    return nullptr;
}

// The frame rate of a timecode as a fraction: NTSC rates over 1001.
std::pair<int32_t, int32_t> rationalRate(const TCHelper& timecode) {
    const double rounded = timecode.roundedFrameRate();
    if (timecode.isNTSC()) return {int32_t(rounded) * 1000, 1001};
    return {int32_t(std::lround(timecode.frameRate())), 1};
}

int32_t supportedDepth(double depth) {
    if (depth > 24) return 32;
    if (depth > 16) return 24;
    return 16;
}

}  // namespace

MovieExport::MovieExport(fs::path pathURL, const UserDefaults& defaults,
                         std::shared_ptr<MovieWriter> writer)
    : MediaExport(defaults), pathURL_(std::move(pathURL)), writer_(std::move(writer)) {}

void MovieExport::offerAvailableCodecs(MediaExportOptionsController& options) {
    options.showHEVCCodecs(MovieWriter::encoderAvailable("libx265"));
    options.showAVCIntraCodecs(MovieWriter::encoderAvailable("libx264"));
    options.showQTReferenceCheckbox(false);
}

void MovieExport::copyOptions(const MediaExportOptionsController& options) {
    videoCodec_ = options.videoCodec();
    videoBitRate_ = options.videoBitRate();
    videoSize_ = options.videoSize();
    audioCodec_ = options.audioCodec();
    audioSampleRate_ = options.audioSampleRate();
    audioBitDepth_ = options.audioBitDepth();
    createQtRef_ = options.createQTRef();
}

std::optional<fs::path> MovieExport::createOutputURLForFileType(MovieFileType fileType) const {
    if (!exportObject_) return std::nullopt;
    const std::string extension = extensionOf(fileType);
    std::string baseName =
        exportName_.empty() ? nameWithoutExtension(exportObject_->name()) : exportName_;
    if (baseName.empty()) baseName = "Untitled";
    fs::path url = pathURL_ / (baseName + "." + extension);
    std::error_code error;
    while (fs::exists(fs::symlink_status(url, error))) {
        const auto [stem, number] = splitExportNumber(url.stem().string());
        char numbered[32];
        std::snprintf(numbered, sizeof numbered, "_%s%.3d.", kExportNameMark, number);
        url = pathURL_ / (stem + numbered + extension);
    }
    return url;
}

std::vector<std::pair<std::string, std::string>> MovieExport::collectedMetadata() const {
    std::vector<std::pair<std::string, std::string>> items;
    const auto* composition = dynamic_cast<const MediaComposition*>(exportObject_.get());
    std::shared_ptr<MediaFile> file = std::dynamic_pointer_cast<MediaFile>(exportObject_);
    if (composition && !file) {
        for (const auto& track : composition->tracks())
            if (const auto source = firstSourceTrack(*track))
                if ((file = std::dynamic_pointer_cast<MediaFile>(source->mediaObject()))) break;
    }
    if (file) {
        // The source's own QuickTime metadata first; the items below replace equal keys.
        const auto url = file->mediaURL();
        if (const auto asset = url ? MediaAsset::assetWithURL(*url) : nullptr)
            for (const MetadataItem& item :
                 asset->metadataForFormat(kMetadataFormatQuickTimeMetadata))
                addMetadata(items, item.key, item.stringValue);
        addMetadata(items, "com.apple.proapps.manufacturer", textOf(file->metaDataValue(kMaker)));
        addMetadata(items, "com.apple.proapps.modelname", textOf(file->metaDataValue(kModel)));
        addMetadata(items, "com.apple.proapps.serialno",
                    textOf(file->metaDataValue(kSerialNumber)));
        addMetadata(items, "com.apple.proapps.cameraName",
                    textOf(file->metaDataValue(kCameraName)));
    }
    const MetadataDictionary clip = composition ? composition->mergedMetadata()
                                                : (file ? file->metaData() : MetadataDictionary());
    addMetadata(items, "com.apple.proapps.scene", textOf(valueIn(clip, kScene)));
    addMetadata(items, "com.apple.proapps.shot", textOf(valueIn(clip, kTake)));
    addMetadata(items, "com.apple.proapps.reel", textOf(valueIn(clip, kReel)));
    addMetadata(items, "com.apple.proapps.angle", textOf(valueIn(clip, kAngle)));
    addMetadata(items, "com.apple.proapps.logNote", textOf(valueIn(clip, kNote)));
    if (file) addMetadata(items, kAVShiftKey, textOf(file->metaDataValue(kAVShifted)));
    addMetadata(items, kUsedSettingsKey, vorlaneSettings());
    addMetadata(items, kSoftwareKey, vorlaneVersion());
    return items;
}

double MovieExport::calculateTotalMediaDuration() const {
    double total = 0;
    for (const auto& track : exportObject_->tracks())
        if (track->isAudioVisual()) total += track->timeRange().duration.seconds();
    return total;
}

void MovieExport::findHighestSampleRateAndBitDepth() {
    audioHighestSampleRate_ = 48000;
    audioHighestBitDepth_ = 16;
    for (const auto& track : exportObject_->audioTracks()) {
        audioHighestSampleRate_ = std::max(audioHighestSampleRate_, track->audioSampleRate());
        audioHighestBitDepth_ = std::max(audioHighestBitDepth_, track->audioBitDepth());
    }
}

bool MovieExport::isAVCIntraEncoding() const {
    const uint32_t base = videoCodec_ & 0xFFFFFF00u;
    return (videoCodec_ & 0xFF) == 0 &&
           (base == fourCC("ai5\0") || base == fourCC("ai1\0") || base == fourCC("ai2\0"));
}

bool MovieExport::isProres422orBetterEncoding() const {
    return isFourCC(videoCodec_, "apcn") || isFourCC(videoCodec_, "apch") ||
           isFourCC(videoCodec_, "ap4h");
}

MovieVideoSettings MovieExport::createWriterSettingsForVideoTrack(const MediaTrack& track) const {
    MovieVideoSettings settings;
    if (videoCodec_ == 0) return settings;
    MediaSize size = videoSize_;
    if (size.width <= 0 || size.height <= 0) size = track.videoSize();
    static constexpr std::pair<const char*, const char*> kProRes[] = {
        {"apco", "0"}, {"apcs", "1"}, {"apcn", "2"}, {"apch", "3"}, {"ap4h", "4"}};
    for (const auto& [code, profile] : kProRes)
        if (MediaMapping::stringOfFourCC(videoCodec_) == code) {
            settings.encoder = "prores_ks";
            settings.profile = profile;
            settings.pixelFormat = isFourCC(videoCodec_, "ap4h") ? "yuva444p10le" : "yuv422p10le";
        }
    if (isFourCC(videoCodec_, "AVdh")) {
        settings.encoder = "dnxhd";
        settings.profile = "dnxhr_hq";
        settings.pixelFormat = "yuv422p";
    } else if (isFourCC(videoCodec_, "avc1") || isFourCC(videoCodec_, "hvc1")) {
        settings.encoder = isFourCC(videoCodec_, "avc1") ? "libx264" : "libx265";
        settings.pixelFormat = "yuv420p";
        settings.bitRate = videoBitRate_;
    } else if (isAVCIntraEncoding()) {
        // AVC-Intra 50 is coded 1440 wide; 100 and 200 at full width.
        const uint32_t base = videoCodec_ & 0xFFFFFF00u;
        const bool class50 = base == fourCC("ai5\0");
        size = {class50 ? 1440.0 : 1920.0, 1080.0};
        settings.encoder = "libx264";
        settings.pixelFormat = class50 ? "yuv420p10le" : "yuv422p10le";
        settings.encoderOptions = {{"avcintra-class", class50                   ? "50"
                                                      : base == fourCC("ai1\0") ? "100"
                                                                                : "200"}};
    }
    settings.width = int32_t(size.width) & ~1;
    settings.height = int32_t(size.height) & ~1;
    return settings;
}

MovieTrackJob MovieExport::createWriterSettingsForAudioTrack(const MediaTrack& track) const {
    MovieTrackJob job;
    job.mediaType = AssetMediaType::Audio;
    job.channelCount = int32_t(track.audioChannelCount());
    const std::shared_ptr<MediaTrack> source = firstSourceTrack(track);
    if (audioCodec_ == 0 || (audioSampleRate_ <= 0 && audioBitDepth_ <= 0)) {
        const bool own = audioCodec_ == 0;
        const double rate = own ? track.audioSampleRate() : audioHighestSampleRate_;
        const double depth = own ? track.audioBitDepth() : audioHighestBitDepth_;
        job.sampleRate = int32_t(rate > 0 ? rate : 48000);
        job.bitDepth = supportedDepth(depth);
    } else {
        job.sampleRate = int32_t(audioSampleRate_);
        job.bitDepth = supportedDepth(audioBitDepth_);
    }
    if (muteAudioTimecode() && source) job.mutedChannels = source->getAudioChannelMask();
    return job;
}

std::optional<MovieWriterJob> MovieExport::createExportJob(MovieFileType fileType) {
    const int32_t type =
        videoCodec_ == 0 ? MediaMappingExportPassThrough : MediaMappingExportReencode;
    const auto composition = MediaMapping::avCompositionForMediaObject(exportObject_, type);
    if (!composition) return std::nullopt;
    MovieWriterJob job;
    job.fileType = fileType;
    // The platform composition holds one track per picture and sound track, in their order
    // (their IDs may differ where two tracks came from sources with the same ID).
    auto platformTrack = composition->tracks().begin();
    for (const auto& track : exportObject_->tracks()) {
        if (!track->isAudioVisual() || platformTrack == composition->tracks().end()) continue;
        const PlayableCompositionTrack& platform = *platformTrack++;
        if (platform.segments().empty()) continue;
        MovieTrackJob trackJob;
        if (track->type() == MediaTrackTypeVideo) {
            if (job.video.encoder.empty() && videoCodec_ != 0)
                job.video = createWriterSettingsForVideoTrack(*track);
        } else {
            trackJob = createWriterSettingsForAudioTrack(*track);
        }
        trackJob.mediaType = platform.mediaType();
        trackJob.segments = platform.segments();
        job.tracks.push_back(std::move(trackJob));
    }
    if (job.tracks.empty()) return std::nullopt;
    const std::shared_ptr<TCHelper> timecode = exportObject_->timecode();
    if (fileType == MovieFileType::QuickTimeMovie && timecode && timecode->frameRate() > 0) {
        MovieTimecode written;
        written.frameNumber = timecode->legalFrameCount(TCOptionWrap24h);
        std::tie(written.rateNumerator, written.rateDenominator) = rationalRate(*timecode);
        written.dropFrame = timecode->dropFrame();
        job.timecode = written;
    }
    job.metadata = collectedMetadata();
    job.movieTimeScale = exportObject_->bestTimeScale();
    return job;
}

void MovieExport::exportClipAsync(const std::shared_ptr<MediaObject>& object,
                                  MovieFileType fileType) {
    exportObject_ = object;
    exportFailed_ = false;
    finished_ = false;
    diskFull_ = false;
    errorMessage_.clear();
    outputURL_.reset();
    progress_ = 0;
    timeElapsed_ = 0;
    const std::string exportName = std::exchange(exportName_, {});
    if (!object) return finish("cannot create export asset");
    totalMediaDuration_ = calculateTotalMediaDuration();
    findHighestSampleRateAndBitDepth();
    std::optional<MovieWriterJob> job = createExportJob(fileType);
    if (!job) return finish("cannot create export asset");
    exportName_ = exportName;
    outputURL_ = createOutputURLForFileType(fileType);
    exportName_.clear();
    if (!outputURL_) return finish("cannot setup media readers/writers");
    job->destination = *outputURL_;

    MovieWriterObserver observer;
    observer.cancelled = [this] { return cancelExporting_.load(); };
    observer.progress = [this](double seconds) { reportProgress(seconds); };
    const MovieWriteResult written = writer_->writeMovie(*job, observer);
    switch (written.status) {
        case MovieWriteStatus::Written:
            if (fileType == MovieFileType::Wave && !addBroadcastChunks())
                return finish("error " + std::to_string(EIO) + ": cannot write bext and iXML ");
            finished_ = true;
            return;
        case MovieWriteStatus::NoSource:
        case MovieWriteStatus::CannotSetUp:
            return finish("cannot setup media readers/writers (" + written.message + ")");
        case MovieWriteStatus::ReadFailed:
            return finish("reading media not possible (" + written.message + ")");
        case MovieWriteStatus::Cancelled:
            return finish("manually stopped");
        case MovieWriteStatus::DiskFull:
            diskFull_ = true;
            return finish("error " + std::to_string(ENOSPC) + ": " + written.message +
                          " (free space on the destination and export again)");
        case MovieWriteStatus::WriteFailed:
            return finish("error " + std::to_string(EIO) + ": " + written.message + " ");
    }
}

bool MovieExport::addBroadcastChunks() const {
    const auto* file = dynamic_cast<const MediaFile*>(exportObject_.get());
    if (file && BWFFile::writeBWFTimecodeOfMediaFile(*file, *outputURL_)) return true;
    std::error_code error;
    fs::remove(*outputURL_, error);
    return false;
}

void MovieExport::finish(std::string message) {
    exportFailed_ = true;
    finished_ = true;
    errorMessage_ = cancelExporting_ ? "manually stopped" : std::move(message);
    outputURL_.reset();
}

void MovieExport::reportProgress(double seconds) {
    timeElapsed_ = seconds;
    if (totalMediaDuration_ <= 0) return;
    const double progress = timeElapsed_ / totalMediaDuration_;
    if (progress <= 1.0 && progress > progress_ + 0.01) {
        progress_ = progress;
        exportProgress(progress);
    }
}

}  // namespace vorlane
