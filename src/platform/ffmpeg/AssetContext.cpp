#include "platform/ffmpeg/AssetContext.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <set>

namespace vorlane {
namespace {

constexpr int kIOBufferSize = 64 * 1024;
// Reading only the sound of a camera file picks a few kilobytes of samples from between the
// pictures: every buffer fill reads this much.
constexpr int kSoundIOBufferSize = 4 * 1024;

// The library's own messages about broken input would flood the application log; failures
// are answered through this layer's results instead.
void silenceLibraryLog() {
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_level(AV_LOG_QUIET); });
}

// Demuxers that follow references (playlists, concatenation lists, external data references)
// would open other files behind the reader's back; an asset reads only its own bytes.
int refuseNestedOpen(AVFormatContext*, AVIOContext**, const char*, int, AVDictionary**) {
    return AVERROR(EPERM);
}

// Containers whose stream IDs are their own track numbers.
bool containerHasTrackNumbers(const AVInputFormat* format) {
    if (format->flags & AVFMT_SHOW_IDS) return true;  // MPEG program and transport streams
    const std::string name = format->name;
    return name.rfind("mov,", 0) == 0 || name == "mxf";
}

// Containers whose header describes their sound streams completely and whose timeline starts
// at zero without probing the streams.
bool headerDescribesSound(const AVFormatContext* format) {
    const std::string name = format->iformat->name;
    if (name.rfind("mov,", 0) != 0 && name != "wav" && name != "w64") return false;
    bool picture = false;
    for (unsigned i = 0; i < format->nb_streams; ++i) {
        const AVCodecParameters* codec = format->streams[i]->codecpar;
        picture = picture || codec->codec_type == AVMEDIA_TYPE_VIDEO;
        if (codec->codec_type == AVMEDIA_TYPE_AUDIO &&
            (codec->codec_id == AV_CODEC_ID_NONE || codec->sample_rate <= 0 ||
             codec->ch_layout.nb_channels <= 0))
            return false;
    }
    // A sound-only MPEG-4 file's first sample may lie after zero (findOrigin() needs probing).
    return picture || name.rfind("mov,", 0) != 0;
}

}  // namespace

CMTime cmTimeFromTimestamp(int64_t timestamp, AVRational timeBase) {
    if (timestamp == AV_NOPTS_VALUE || timeBase.num <= 0 || timeBase.den <= 0) {
        return kCMTimeInvalid;
    }
    if (timeBase.num == 1) return CMTimeMake(timestamp, timeBase.den);
    int64_t value = 0;
    if (!__builtin_mul_overflow(timestamp, int64_t(timeBase.num), &value)) {
        return CMTimeMake(value, timeBase.den);
    }
    return CMTimeMake(av_rescale_q(timestamp, timeBase, AVRational{1, timeBase.den}), timeBase.den);
}

std::unique_ptr<AssetContext> AssetContext::open(std::unique_ptr<FileReader> reader,
                                                 const std::string& nameHint, bool soundOnly) {
    if (!reader) return nullptr;
    silenceLibraryLog();
    std::unique_ptr<AssetContext> context(new AssetContext());
    context->reader_ = std::move(reader);

    const int bufferSize = soundOnly ? kSoundIOBufferSize : kIOBufferSize;
    auto* buffer = static_cast<unsigned char*>(av_malloc(size_t(bufferSize)));
    if (!buffer) return nullptr;
    context->io_ =
        avio_alloc_context(buffer, bufferSize, 0, context.get(), &readPacket, nullptr, &seek);
    if (!context->io_) {
        av_free(buffer);
        return nullptr;
    }
    AVFormatContext* format = avformat_alloc_context();
    if (!format) return nullptr;
    format->pb = context->io_;
    format->flags |= AVFMT_FLAG_CUSTOM_IO;
    format->io_open = &refuseNestedOpen;
    // A WAVE file's samples come in packets of 4 KiB unless asked otherwise; reading sound
    // takes them in pieces of a few hundred kilobytes.
    AVDictionary* options = nullptr;
    if (soundOnly) av_dict_set(&options, "max_size", "262144", 0);
    // On failure the library frees the format context itself.
    const int opened = avformat_open_input(&format, nameHint.c_str(), nullptr, &options);
    av_dict_free(&options);
    if (opened < 0) return nullptr;
    context->format_ = format;
    // Streams whose parameters stay unknown are still listed; they get no format description.
    if (!soundOnly || !headerDescribesSound(format)) avformat_find_stream_info(format, nullptr);
    context->assignTrackIDs();
    context->findOrigin();
    return context;
}

AssetContext::~AssetContext() {
    if (format_) avformat_close_input(&format_);
    if (io_) {
        av_freep(&io_->buffer);
        avio_context_free(&io_);
    }
}

int AssetContext::readPacket(void* opaque, uint8_t* buffer, int size) {
    auto* self = static_cast<AssetContext*>(opaque);
    const uint64_t total = self->reader_->size();
    if (size <= 0 || self->position_ >= total) return AVERROR_EOF;
    const size_t length = size_t(std::min<uint64_t>(total - self->position_, uint64_t(size)));
    if (!self->reader_->readAt(self->position_, buffer, length)) return AVERROR(EIO);
    self->position_ += length;
    return int(length);
}

int64_t AssetContext::seek(void* opaque, int64_t offset, int whence) {
    auto* self = static_cast<AssetContext*>(opaque);
    const auto total = int64_t(self->reader_->size());
    int64_t target = 0;
    switch (whence & ~AVSEEK_FORCE) {
        case AVSEEK_SIZE:
            return total;
        case SEEK_SET:
            target = offset;
            break;
        case SEEK_CUR:
            if (__builtin_add_overflow(int64_t(self->position_), offset, &target)) {
                return AVERROR(EINVAL);
            }
            break;
        case SEEK_END:
            if (__builtin_add_overflow(total, offset, &target)) return AVERROR(EINVAL);
            break;
        default:
            return AVERROR(EINVAL);
    }
    if (target < 0) return AVERROR(EINVAL);
    self->position_ = uint64_t(target);
    return target;
}

void AssetContext::assignTrackIDs() {
    const unsigned count = format_->nb_streams;
    trackIDs_.resize(count);
    std::set<int32_t> seen;
    bool ownNumbers = containerHasTrackNumbers(format_->iformat);
    for (unsigned i = 0; i < count && ownNumbers; ++i) {
        const int id = format_->streams[i]->id;
        ownNumbers = id > 0 && seen.insert(id).second;
        trackIDs_[i] = id;
    }
    if (ownNumbers) return;
    for (unsigned i = 0; i < count; ++i)
        trackIDs_[i] = int32_t(i + 1);
}

// Transport streams count from an arbitrary clock. A sound file whose stream starts after zero
// (an MP3's encoder delay, which decoding drops) begins with its first audible sample.
void AssetContext::findOrigin() {
    origin_ = kCMTimeZero;
    CMTime earliest = kCMTimeInvalid;
    bool soundOnly = format_->nb_streams > 0;
    for (unsigned i = 0; i < format_->nb_streams; ++i) {
        const AVStream* stream = format_->streams[i];
        soundOnly = soundOnly && stream->codecpar->codec_type == AVMEDIA_TYPE_AUDIO;
        const CMTime start = cmTimeFromTimestamp(stream->start_time, stream->time_base);
        if (start.isValid() && (!earliest.isValid() || start < earliest)) earliest = start;
    }
    if (!earliest.isValid()) return;
    if ((format_->iformat->flags & AVFMT_TS_DISCONT) || (soundOnly && earliest > kCMTimeZero)) {
        origin_ = earliest;
    }
}

int AssetContext::streamIndexOfTrackID(int32_t trackID) const {
    const auto found = std::find(trackIDs_.begin(), trackIDs_.end(), trackID);
    return found == trackIDs_.end() ? -1 : int(found - trackIDs_.begin());
}

CMTime AssetContext::assetTime(int64_t timestamp, AVRational timeBase) const {
    const CMTime time = cmTimeFromTimestamp(timestamp, timeBase);
    return time.isValid() ? CMTimeSubtract(time, origin_) : time;
}

int64_t AssetContext::streamTimestamp(CMTime assetTime, AVRational timeBase) const {
    const CMTime containerTime = CMTimeAdd(assetTime, origin_);
    if (!containerTime.isValid() || timeBase.num <= 0 || timeBase.den <= 0) return AV_NOPTS_VALUE;
    const CMTime scaled = CMTimeConvertScale(containerTime, timeBase.den,
                                             CMTimeRoundingMethod::RoundTowardNegativeInfinity);
    if (!scaled.isValid()) return AV_NOPTS_VALUE;
    const int64_t quotient = scaled.value / timeBase.num;
    return (scaled.value % timeBase.num < 0) ? quotient - 1 : quotient;
}

bool AssetContext::seekStream(int streamIndex, int64_t timestamp) {
    if (timestamp != AV_NOPTS_VALUE &&
        av_seek_frame(format_, streamIndex, timestamp, AVSEEK_FLAG_BACKWARD) >= 0) {
        return true;
    }
    if (timestamp != AV_NOPTS_VALUE &&
        avformat_seek_file(format_, streamIndex, std::numeric_limits<int64_t>::min(), timestamp,
                           timestamp, 0) >= 0) {
        return true;
    }
    const AVStream* stream = format_->streams[streamIndex];
    const int64_t start = stream->start_time == AV_NOPTS_VALUE ? 0 : stream->start_time;
    if (av_seek_frame(format_, streamIndex, start, AVSEEK_FLAG_BACKWARD) >= 0) return true;
    return av_seek_frame(format_, -1, 0, AVSEEK_FLAG_BYTE) >= 0;
}

SingleStreamSelection::SingleStreamSelection(AVFormatContext* format, int streamIndex)
    : format_(format) {
    for (unsigned i = 0; i < format->nb_streams; ++i) {
        saved_.push_back(format->streams[i]->discard);
        format->streams[i]->discard = int(i) == streamIndex ? AVDISCARD_DEFAULT : AVDISCARD_ALL;
    }
}

SingleStreamSelection::~SingleStreamSelection() {
    for (unsigned i = 0; i < format_->nb_streams && i < saved_.size(); ++i)
        format_->streams[i]->discard = saved_[i];
}

CodecContextPtr openDecoder(const AVStream* stream, int threadCount) {
    const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
    if (!codec) return nullptr;
    CodecContextPtr context(avcodec_alloc_context3(codec));
    if (!context || avcodec_parameters_to_context(context.get(), stream->codecpar) < 0) {
        return nullptr;
    }
    context->pkt_timebase = stream->time_base;
    context->thread_count = threadCount;
    if (avcodec_open2(context.get(), codec, nullptr) < 0) return nullptr;
    return context;
}

}  // namespace vorlane
