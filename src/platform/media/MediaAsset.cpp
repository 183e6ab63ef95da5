#include "platform/media/MediaAsset.h"

#include <algorithm>

#include "platform/ByteOrder.h"
#include "platform/FileReader.h"
#include "platform/ffmpeg/AssetContext.h"
#include "platform/media/FormatDescriptions.h"
#include "platform/media/MetadataItems.h"

namespace vorlane {
namespace {

// Packets read at most while looking for a track's first sample.
constexpr int kFirstSampleSearchLimit = 4096;

MetadataFlavor metadataFlavorOf(const AVFormatContext* format) {
    const std::string name = format->iformat->name;
    if (name.rfind("mov,", 0) == 0) {
        const AVDictionaryEntry* brand = av_dict_get(format->metadata, "major_brand", nullptr, 0);
        const bool quickTime = !brand || std::string(brand->value).rfind("qt", 0) == 0;
        return quickTime ? MetadataFlavor::QuickTime : MetadataFlavor::MPEG4;
    }
    if (name == "mp3") return MetadataFlavor::ID3;
    return MetadataFlavor::Other;
}

// The shortest distance between neighbouring decode times in the stream's sample table.
CMTime shortestSampleDuration(AVStream* stream) {
    const int count = avformat_index_get_entries_count(stream);
    int64_t shortest = 0;
    for (int i = 1; i < count; ++i) {
        const AVIndexEntry* previous = avformat_index_get_entry(stream, i - 1);
        const AVIndexEntry* current = avformat_index_get_entry(stream, i);
        if (!previous || !current) break;
        int64_t delta = 0;
        if (__builtin_sub_overflow(current->timestamp, previous->timestamp, &delta)) continue;
        if (delta > 0 && (shortest == 0 || delta < shortest)) shortest = delta;
    }
    if (shortest > 0) return cmTimeFromTimestamp(shortest, stream->time_base);
    const AVRational rate = stream->r_frame_rate;
    // A rate of one frame per tick of the time base is the demuxer's guess for a stream whose
    // timing it could not read (a sample table without entries), not a frame rate.
    const AVRational timeBase = stream->time_base;
    const bool onePerTick = av_cmp_q(rate, av_inv_q(timeBase)) == 0;
    if (rate.num > 0 && rate.den > 0 && !onePerTick) return CMTimeMake(rate.den, rate.num);
    return kCMTimeInvalid;
}

int64_t sampleDataLength(AVStream* stream) {
    const int count = avformat_index_get_entries_count(stream);
    int64_t total = 0;
    for (int i = 0; i < count; ++i) {
        if (const AVIndexEntry* entry = avformat_index_get_entry(stream, i)) total += entry->size;
    }
    return total;
}

// The compression ID in the header of a DNxHD frame: after the 0x000002800 prefix, at 0x28.
std::optional<uint32_t> avidCompressionIDOf(AssetContext& context, AVStream* stream) {
    if (stream->codecpar->codec_id != AV_CODEC_ID_DNXHD) return std::nullopt;
    const AVIndexEntry* first = avformat_index_get_entry(stream, 0);
    if (!first || first->pos < 0) return std::nullopt;
    const auto header = context.readBytes(uint64_t(first->pos), 0x2c);
    if (!header || readBE32(header->data()) != 0x00000280) return std::nullopt;
    return readBE32(header->data() + 0x28);
}

float nominalFrameRateOf(const AVStream* stream) {
    AVRational rate = stream->avg_frame_rate;
    if (rate.num <= 0 || rate.den <= 0) rate = stream->r_frame_rate;
    if (rate.num <= 0 || rate.den <= 0) return 0;
    return float(av_q2d(rate));
}

AssetTrack trackOf(AssetContext& context, int index, bool quickTimeContainer,
                   MetadataFlavor flavor) {
    AVStream* stream = context.format()->streams[index];
    AssetTrack track;
    track.trackID = context.trackIDOfStream(index);
    track.mediaType = mediaTypeOfStream(stream);
    track.formatDescription = describeStream(stream, quickTimeContainer);
    if (track.formatDescription) {
        track.formatDescription->avidCompressionID = avidCompressionIDOf(context, stream);
    }

    CMTime start = context.assetTime(stream->start_time, stream->time_base);
    if (!start.isValid()) start = kCMTimeZero;
    const CMTime duration = stream->duration > 0
                                ? cmTimeFromTimestamp(stream->duration, stream->time_base)
                                : kCMTimeInvalid;
    track.timeRange = CMTimeRangeMake(start, duration);

    if (track.mediaType == AssetMediaType::Video) {
        track.nominalFrameRate = nominalFrameRateOf(stream);
        track.minFrameDuration = shortestSampleDuration(stream);
        const AVCodecParameters* codec = stream->codecpar;
        const AVRational aspect = stream->sample_aspect_ratio.num > 0 ? stream->sample_aspect_ratio
                                                                      : codec->sample_aspect_ratio;
        track.naturalWidth = codec->width;
        if (aspect.num > 0 && aspect.den > 0) track.naturalWidth *= av_q2d(aspect);
        track.naturalHeight = codec->height;
    } else if (track.mediaType == AssetMediaType::Timecode) {
        track.nominalFrameRate = nominalFrameRateOf(stream);
    }
    track.totalSampleDataLength = sampleDataLength(stream);
    if (const AVDictionaryEntry* language = av_dict_get(stream->metadata, "language", nullptr, 0)) {
        if (std::string(language->value) != "und") track.languageCode = language->value;
    }
    track.metadata = metadataItemsOf(stream->metadata, flavor, true);
    return track;
}

}  // namespace

std::shared_ptr<MediaAsset> MediaAsset::assetWithURL(const std::filesystem::path& url) {
    auto context = AssetContext::open(FileReader::open(url), url.filename().string());
    if (!context) return nullptr;
    return std::shared_ptr<MediaAsset>(new MediaAsset(std::move(context), url));
}

std::shared_ptr<MediaAsset> MediaAsset::assetForSoundWithURL(const std::filesystem::path& url) {
    auto context = AssetContext::open(FileReader::open(url), url.filename().string(), true);
    if (!context) return nullptr;
    return std::shared_ptr<MediaAsset>(new MediaAsset(std::move(context), url));
}

std::shared_ptr<MediaAsset> MediaAsset::assetWithBytes(std::span<const uint8_t> bytes) {
    auto context = AssetContext::open(FileReader::fromBuffer(bytes), "memory");
    if (!context) return nullptr;
    return std::shared_ptr<MediaAsset>(new MediaAsset(std::move(context), {}));
}

MediaAsset::MediaAsset(std::unique_ptr<AssetContext> context, std::filesystem::path url)
    : context_(std::move(context)), url_(std::move(url)) {
    const std::lock_guard lock(context_->mutex());
    AVFormatContext* format = context_->format();
    containerName_ = format->iformat->name;
    const MetadataFlavor flavor = metadataFlavorOf(format);
    const bool quickTimeContainer = containerName_.rfind("mov,", 0) == 0;

    metadata_ = metadataItemsOf(format->metadata, flavor, false);
    for (unsigned i = 0; i < format->nb_streams; ++i) {
        const AVStream* stream = format->streams[i];
        if (stream->disposition & AV_DISPOSITION_ATTACHED_PIC) {
            metadata_.push_back(pictureItemOf(stream->attached_pic, flavor));
            continue;
        }
        tracks_.push_back(trackOf(*context_, int(i), quickTimeContainer, flavor));
    }

    for (const AssetTrack& track : tracks_) {
        if (!track.timeRange.isValid()) continue;
        const CMTime end = track.timeRange.end();
        if (!duration_.isValid() || end > duration_) duration_ = end;
    }
    if (!duration_.isValid() && format->duration > 0) {
        duration_ = CMTimeMake(format->duration, AV_TIME_BASE);
    }
    for (AssetTrack& track : tracks_) {
        if (track.timeRange.isValid() || !duration_.isValid()) continue;
        const CMTime start = track.timeRange.start;
        track.timeRange.duration = duration_ > start ? duration_ - start : kCMTimeZero;
    }

    for (const char* key : {"creation_time", "com.apple.quicktime.creationdate"}) {
        const AVDictionaryEntry* entry = av_dict_get(format->metadata, key, nullptr, 0);
        if (entry && (creationDate_ = parseISO8601Date(entry->value))) break;
    }
}

MediaAsset::~MediaAsset() = default;

std::vector<AssetTrack> MediaAsset::tracksWithMediaType(AssetMediaType mediaType) const {
    std::vector<AssetTrack> found;
    for (const AssetTrack& track : tracks_)
        if (track.mediaType == mediaType) found.push_back(track);
    return found;
}

const AssetTrack* MediaAsset::trackWithTrackID(int32_t trackID) const {
    for (const AssetTrack& track : tracks_)
        if (track.trackID == trackID) return &track;
    return nullptr;
}

std::vector<std::string> MediaAsset::availableMetadataFormats() const {
    std::vector<std::string> formats;
    for (const MetadataItem& item : metadata_) {
        if (std::find(formats.begin(), formats.end(), item.format) == formats.end()) {
            formats.push_back(item.format);
        }
    }
    return formats;
}

std::vector<MetadataItem> MediaAsset::metadataForFormat(const std::string& format) const {
    std::vector<MetadataItem> items;
    for (const MetadataItem& item : metadata_)
        if (item.format == format) items.push_back(item);
    return items;
}

std::optional<MetadataItem> MediaAsset::metadataItemForKey(const std::string& key,
                                                           const std::string& format) const {
    for (const MetadataItem& item : metadata_)
        if (item.format == format && item.key == key) return item;
    return std::nullopt;
}

std::optional<std::vector<uint8_t>> MediaAsset::copyFirstSampleData(int32_t trackID) const {
    const std::lock_guard lock(context_->mutex());
    const int index = context_->streamIndexOfTrackID(trackID);
    if (index < 0) return std::nullopt;
    AVFormatContext* format = context_->format();
    const AVStream* stream = format->streams[index];
    const SingleStreamSelection selection(format, index);
    if (!context_->seekStream(index,
                              stream->start_time == AV_NOPTS_VALUE ? 0 : stream->start_time)) {
        return std::nullopt;
    }
    PacketPtr packet(av_packet_alloc());
    if (!packet) return std::nullopt;
    for (int read = 0; read < kFirstSampleSearchLimit; ++read) {
        if (av_read_frame(format, packet.get()) < 0) break;
        if (packet->stream_index == index && packet->size > 0) {
            return std::vector<uint8_t>(packet->data, packet->data + packet->size);
        }
        av_packet_unref(packet.get());
    }
    return std::nullopt;
}

std::optional<int64_t> MediaAsset::firstTimecodeFrameNumber(int32_t trackID) const {
    const AssetTrack* track = trackWithTrackID(trackID);
    if (!track || !track->formatDescription) return std::nullopt;
    const uint32_t subType = track->formatDescription->mediaSubType;
    size_t width = 0;
    if (subType == fourCC("tmcd") || subType == fourCC("cn32")) width = 4;
    if (subType == fourCC("tc64") || subType == fourCC("cn64")) width = 8;
    if (width == 0) return std::nullopt;
    const auto sample = copyFirstSampleData(trackID);
    if (!sample || sample->size() < width) return std::nullopt;
    return width == 4 ? int64_t(readBE32(sample->data())) : int64_t(readBE64(sample->data()));
}

uint64_t MediaAsset::bytesRead() const {
    const std::lock_guard lock(context_->mutex());
    return context_->bytesRead();
}

}  // namespace vorlane
