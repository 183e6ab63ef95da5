#include "platform/media/AssetAudioDecoder.h"

extern "C" {
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <cstring>

#include "platform/SampleRateRange.h"
#include "platform/ffmpeg/AssetContext.h"
#include "platform/media/MediaAsset.h"

namespace vorlane {
namespace {

struct ResamplerDeleter {
    void operator()(SwrContext* context) const { swr_free(&context); }
};
using ResamplerPtr = std::unique_ptr<SwrContext, ResamplerDeleter>;

bool needsPreroll(AVCodecID codecID) {
    const AVCodecDescriptor* descriptor = avcodec_descriptor_get(codecID);
    const int independent = AV_CODEC_PROP_INTRA_ONLY | AV_CODEC_PROP_LOSSLESS;
    return !descriptor || (descriptor->props & independent) != independent;
}

AVSampleFormat libraryFormatFor(int32_t bitDepth) {
    switch (bitDepth) {
        case 8:
            return AV_SAMPLE_FMT_U8;
        case 16:
            return AV_SAMPLE_FMT_S16;
        case 24:
        case 32:
            return AV_SAMPLE_FMT_S32;
        default:
            return AV_SAMPLE_FMT_NONE;
    }
}

// Packets of these codecs are the interleaved samples themselves.
struct RawPcm {
    int bytes = 0;  // per sample; 0 for codecs that need decoding
    bool bigEndian = false;
};

RawPcm rawPcmOf(AVCodecID codecID) {
    switch (codecID) {
        case AV_CODEC_ID_PCM_S16LE:
            return {2, false};
        case AV_CODEC_ID_PCM_S16BE:
            return {2, true};
        case AV_CODEC_ID_PCM_S24LE:
            return {3, false};
        case AV_CODEC_ID_PCM_S24BE:
            return {3, true};
        case AV_CODEC_ID_PCM_S32LE:
            return {4, false};
        case AV_CODEC_ID_PCM_S32BE:
            return {4, true};
        default:
            return {};
    }
}

// A raw sample of `Bytes` bytes as a 32-bit value, its most significant byte on top.
template <int Bytes, bool BigEndian>
int32_t rawSampleAt(const uint8_t* in) {
    uint32_t value = 0;
    for (int b = 0; b < Bytes; ++b)
        value |= uint32_t(in[BigEndian ? b : Bytes - 1 - b]) << (24 - 8 * b);
    return int32_t(value);
}

// `values` raw samples in the library's format, as its resampler converts them.
template <int Bytes, bool BigEndian>
void convertRawSamples(const uint8_t* in, size_t values, AVSampleFormat format, uint8_t* out) {
    if (format == AV_SAMPLE_FMT_S16) {
        for (size_t i = 0; i < values; ++i) {
            const auto sample = int16_t(rawSampleAt<Bytes, BigEndian>(in + i * Bytes) >> 16);
            std::memcpy(out + 2 * i, &sample, 2);
        }
    } else if (format == AV_SAMPLE_FMT_S32) {
        for (size_t i = 0; i < values; ++i) {
            const int32_t sample = rawSampleAt<Bytes, BigEndian>(in + i * Bytes);
            std::memcpy(out + 4 * i, &sample, 4);
        }
    } else {
        for (size_t i = 0; i < values; ++i)
            out[i] = uint8_t((rawSampleAt<Bytes, BigEndian>(in + i * Bytes) >> 24) + 0x80);
    }
}

void convertRawSamples(const uint8_t* in, size_t values, RawPcm pcm, AVSampleFormat format,
                       uint8_t* out) {
    switch (pcm.bytes * 2 + (pcm.bigEndian ? 1 : 0)) {
        case 4:
            return convertRawSamples<2, false>(in, values, format, out);
        case 5:
            return convertRawSamples<2, true>(in, values, format, out);
        case 6:
            return convertRawSamples<3, false>(in, values, format, out);
        case 7:
            return convertRawSamples<3, true>(in, values, format, out);
        case 8:
            return convertRawSamples<4, false>(in, values, format, out);
        case 9:
            return convertRawSamples<4, true>(in, values, format, out);
        default:
            return;
    }
}

}  // namespace

// Converts decoded frames to the wanted interleaved integers and hands them out in order, with
// silence where the track has none.
class AudioTrackReader::Stream {
  public:
    Stream(std::unique_lock<std::mutex> lock, AssetContext& context, int index,
           CodecContextPtr decoder, int32_t bitDepth, int64_t first, int64_t end)
        : lock_(std::move(lock)),
          context_(context),
          index_(index),
          selection_(context.format(), index),
          decoder_(std::move(decoder)),
          packet_(av_packet_alloc()),
          frame_(av_frame_alloc()),
          channelCount_(context.format()->streams[index]->codecpar->ch_layout.nb_channels),
          sampleRate_(context.format()->streams[index]->codecpar->sample_rate),
          bitDepth_(bitDepth),
          libraryFormat_(libraryFormatFor(bitDepth)),
          libraryBytes_(av_get_bytes_per_sample(libraryFormat_)),
          rawPcm_(rawPcmOf(context.format()->streams[index]->codecpar->codec_id)),
          first_(first),
          end_(end),
          next_(first) {}
    ~Stream() { av_channel_layout_uninit(&inputLayout_); }
    Stream(const Stream&) = delete;
    Stream& operator=(const Stream&) = delete;

    int32_t channelCount() const { return channelCount_; }
    int32_t sampleRate() const { return sampleRate_; }
    int32_t bitDepth() const { return bitDepth_; }
    int64_t first() const { return first_; }
    int64_t end() const { return end_; }
    uint32_t bytesPerFrame() const { return uint32_t(channelCount_) * uint32_t(bitDepth_ / 8); }

    bool readFrames(std::vector<uint8_t>& bytes, int64_t maxFrames) {
        bytes.clear();
        const int64_t wanted = std::min(maxFrames, end_ - next_);
        int64_t delivered = 0;
        while (delivered < wanted) {
            const int64_t pendingEnd = pendingPosition_ + pendingCount_;
            if (pendingEnd > next_) {
                const int64_t room = wanted - delivered;
                const int64_t count = pendingPosition_ > next_
                                          ? std::min(pendingPosition_ - next_, room)
                                          : std::min(pendingEnd - next_, room);
                if (pendingPosition_ > next_)
                    bytes.resize(bytes.size() + size_t(count) * bytesPerFrame(), 0);
                else
                    append(bytes, next_ - pendingPosition_, count);
                next_ += count;
                delivered += count;
                continue;
            }
            if (ended_ || !decodeNextFrame()) {
                ended_ = true;
                break;
            }
        }
        return delivered > 0;
    }

  private:
    // Decodes until one frame is converted; false when the stream has ended.
    bool decodeNextFrame() {
        if (!packet_ || !frame_) return false;
        AVFormatContext* format = context_.format();
        const AVStream* stream = format->streams[index_];
        for (;;) {
            const int status = avcodec_receive_frame(decoder_.get(), frame_.get());
            if (status == 0) {
                const bool converted = takeFrame(stream->time_base);
                av_frame_unref(frame_.get());
                if (converted) return true;
                continue;
            }
            if (draining_ || status != AVERROR(EAGAIN)) return false;
            if (av_read_frame(format, packet_.get()) < 0) {
                draining_ = true;
                avcodec_send_packet(decoder_.get(), nullptr);
                continue;
            }
            // Raw samples are converted here, without the decoder's frame allocations; a
            // packet that is to be dropped, whole or in part, goes through the decoder, which
            // knows how.
            const bool raw =
                packet_->stream_index == index_ && rawPcm_.bytes > 0 &&
                !(packet_->flags & AV_PKT_FLAG_DISCARD) &&
                !av_packet_get_side_data(packet_.get(), AV_PKT_DATA_SKIP_SAMPLES, nullptr);
            bool converted = false;
            if (raw)
                converted = takePacket(stream->time_base);
            else if (packet_->stream_index == index_)
                avcodec_send_packet(decoder_.get(), packet_.get());
            av_packet_unref(packet_.get());
            if (converted) return true;
        }
    }

    // Converts the decoded frame into the pending frames, placed at its sample position.
    bool takeFrame(AVRational timeBase) {
        int64_t position = expected_;
        const CMTime time = context_.assetTime(frame_->best_effort_timestamp, timeBase);
        if (time.isValid()) {
            position =
                CMTimeConvertScale(time, sampleRate_, CMTimeRoundingMethod::RoundHalfAwayFromZero)
                    .value;
        }
        if (position == AV_NOPTS_VALUE || !configure(frame_.get())) return false;
        expected_ = position + frame_->nb_samples;
        const int capacity = swr_get_out_samples(resampler_.get(), frame_->nb_samples);
        if (capacity <= 0) return false;
        converted_.resize(size_t(capacity) * size_t(channelCount_) * size_t(libraryBytes_));
        uint8_t* out = converted_.data();
        const int count =
            swr_convert(resampler_.get(), &out, capacity,
                        const_cast<const uint8_t**>(frame_->extended_data), frame_->nb_samples);
        if (count <= 0) return false;
        pendingPosition_ = position;
        pendingCount_ = count;
        return true;
    }

    // Converts a packet of raw samples as the decoder and the resampler would.
    bool takePacket(AVRational timeBase) {
        const int64_t timestamp = packet_->pts != AV_NOPTS_VALUE ? packet_->pts : packet_->dts;
        const CMTime time = context_.assetTime(timestamp, timeBase);
        const int64_t position =
            time.isValid()
                ? CMTimeConvertScale(time, sampleRate_, CMTimeRoundingMethod::RoundHalfAwayFromZero)
                      .value
                : expected_;
        const size_t frameBytes = size_t(rawPcm_.bytes) * size_t(channelCount_);
        const size_t frames = size_t(packet_->size) / frameBytes;
        if (position == AV_NOPTS_VALUE || frames == 0) return false;
        expected_ = position + int64_t(frames);
        const size_t values = frames * size_t(channelCount_);
        converted_.resize(values * size_t(libraryBytes_));
        convertRawSamples(packet_->data, values, rawPcm_, libraryFormat_, converted_.data());
        pendingPosition_ = position;
        pendingCount_ = int64_t(frames);
        return true;
    }

    bool configure(const AVFrame* frame) {
        if (resampler_ && frame->format == inputFormat_ && frame->sample_rate == inputRate_ &&
            av_channel_layout_compare(&frame->ch_layout, &inputLayout_) == 0) {
            return true;
        }
        if (frame->ch_layout.nb_channels != channelCount_ || frame->sample_rate <= 0) return false;
        SwrContext* raw = nullptr;
        av_channel_layout_uninit(&inputLayout_);
        if (av_channel_layout_copy(&inputLayout_, &frame->ch_layout) < 0) return false;
        if (swr_alloc_set_opts2(&raw, &inputLayout_, libraryFormat_, sampleRate_, &inputLayout_,
                                AVSampleFormat(frame->format), frame->sample_rate, 0,
                                nullptr) < 0) {
            return false;
        }
        resampler_.reset(raw);
        if (swr_init(raw) < 0) return false;
        inputFormat_ = frame->format;
        inputRate_ = frame->sample_rate;
        return true;
    }

    // Appends `count` pending frames from frame `from` on in the delivered layout.
    void append(std::vector<uint8_t>& bytes, int64_t from, int64_t count) const {
        const size_t values = size_t(count) * size_t(channelCount_);
        const uint8_t* in =
            converted_.data() + size_t(from) * size_t(channelCount_) * size_t(libraryBytes_);
        const size_t start = bytes.size();
        bytes.resize(start + size_t(count) * bytesPerFrame());
        uint8_t* out = bytes.data() + start;
        if (bitDepth_ == 8) {
            for (size_t i = 0; i < values; ++i)
                out[i] = uint8_t(in[i] ^ 0x80);  // unsigned to signed
        } else if (bitDepth_ == 24) {
            for (size_t i = 0; i < values; ++i)
                std::memcpy(out + i * 3, in + i * 4 + 1, 3);  // top three bytes of 32
        } else {
            std::memcpy(out, in, values * size_t(libraryBytes_));
        }
    }

    std::unique_lock<std::mutex> lock_;
    AssetContext& context_;
    int index_;
    SingleStreamSelection selection_;
    CodecContextPtr decoder_;
    PacketPtr packet_;
    FramePtr frame_;
    int32_t channelCount_;
    int32_t sampleRate_;
    int32_t bitDepth_;
    AVSampleFormat libraryFormat_;
    int libraryBytes_;
    RawPcm rawPcm_;
    int64_t first_;
    int64_t end_;
    int64_t next_;  // the next frame handed out
    ResamplerPtr resampler_;
    AVChannelLayout inputLayout_{};
    int inputFormat_ = -1;
    int inputRate_ = 0;
    // Converted frames not yet handed out: [pendingPosition_, pendingPosition_ + pendingCount_).
    std::vector<uint8_t> converted_;
    int64_t pendingPosition_ = 0;
    int64_t pendingCount_ = 0;
    int64_t expected_ = AV_NOPTS_VALUE;
    bool draining_ = false;
    bool ended_ = false;
};

std::unique_ptr<AudioTrackReader> AudioTrackReader::open(const MediaAsset& asset, int32_t trackID,
                                                         CMTimeRange range, int32_t bitDepth) {
    if (!range.isValid() || range.start.value < 0 ||
        libraryFormatFor(bitDepth) == AV_SAMPLE_FMT_NONE) {
        return nullptr;
    }
    AssetContext& context = asset.context();
    std::unique_lock lock(context.mutex());
    const int index = context.streamIndexOfTrackID(trackID);
    if (index < 0) return nullptr;
    AVFormatContext* format = context.format();
    const AVStream* stream = format->streams[index];
    const AVCodecParameters* codec = stream->codecpar;
    if (codec->codec_type != AVMEDIA_TYPE_AUDIO || !isPlausibleSampleRate(codec->sample_rate) ||
        codec->ch_layout.nb_channels <= 0) {
        return nullptr;
    }
    CodecContextPtr decoder = openDecoder(stream);
    if (!decoder) return nullptr;

    const int32_t rate = codec->sample_rate;
    const auto toSample = [rate](CMTime time) {
        return CMTimeConvertScale(time, rate, CMTimeRoundingMethod::RoundHalfAwayFromZero);
    };
    const CMTime first = toSample(range.start);
    const CMTime end = toSample(range.end());
    if (!first.isValid() || !end.isValid() || end.value < first.value) return nullptr;

    auto reading = std::make_unique<Stream>(std::move(lock), context, index, std::move(decoder),
                                            bitDepth, first.value, end.value);
    const int64_t preroll = needsPreroll(codec->codec_id) ? rate / 2 : 0;
    // Before the track's first sample the demuxer starts at its first packet, which carries
    // the encoder delay to be discarded and primes the decoder.
    const CMTime seekTime = CMTimeMake(first.value - preroll, rate);
    if (!context.seekStream(index, context.streamTimestamp(seekTime, stream->time_base)))
        return nullptr;
    return std::unique_ptr<AudioTrackReader>(new AudioTrackReader(std::move(reading)));
}

AudioTrackReader::AudioTrackReader(std::unique_ptr<Stream> stream) : stream_(std::move(stream)) {}
AudioTrackReader::~AudioTrackReader() = default;

int32_t AudioTrackReader::channelCount() const {
    return stream_->channelCount();
}
int32_t AudioTrackReader::sampleRate() const {
    return stream_->sampleRate();
}
int32_t AudioTrackReader::bitDepth() const {
    return stream_->bitDepth();
}
CMTime AudioTrackReader::startTime() const {
    return CMTimeMake(stream_->first(), stream_->sampleRate());
}
int64_t AudioTrackReader::frameCount() const {
    return stream_->end() - stream_->first();
}

bool AudioTrackReader::readFrames(std::vector<uint8_t>& bytes, int64_t maxFrames) {
    return stream_->readFrames(bytes, maxFrames);
}

std::optional<DecodedAudio> decodeAudioTrack(const MediaAsset& asset, int32_t trackID,
                                             CMTimeRange range, int32_t bitDepth) {
    const std::unique_ptr<AudioTrackReader> reader =
        AudioTrackReader::open(asset, trackID, range, bitDepth);
    if (!reader) return std::nullopt;
    DecodedAudio result;
    result.channelCount = reader->channelCount();
    result.sampleRate = reader->sampleRate();
    result.bitDepth = bitDepth;
    result.startTime = reader->startTime();
    if (reader->frameCount() > (int64_t(1) << 34) / int64_t(result.bytesPerFrame()))
        return std::nullopt;
    result.samples.reserve(size_t(reader->frameCount()) * result.bytesPerFrame());
    std::vector<uint8_t> piece;
    while (reader->readFrames(piece, int64_t(1) << 16))
        result.samples.insert(result.samples.end(), piece.begin(), piece.end());
    result.frameCount = int64_t(result.samples.size() / result.bytesPerFrame());
    return result;
}

}  // namespace vorlane
