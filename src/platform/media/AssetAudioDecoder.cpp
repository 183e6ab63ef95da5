#include "platform/media/AssetAudioDecoder.h"

extern "C" {
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <cstring>

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

// Converts decoded frames to the wanted interleaved integers and places them on the result's
// sample grid.
class RangeCollector {
  public:
    RangeCollector(DecodedAudio& result, int64_t firstSample, int64_t endSample)
        : result_(result), first_(firstSample), end_(endSample), filledEnd_(firstSample) {}
    ~RangeCollector() { av_channel_layout_uninit(&inputLayout_); }
    RangeCollector(const RangeCollector&) = delete;
    RangeCollector& operator=(const RangeCollector&) = delete;

    bool complete() const { return filledEnd_ >= end_; }
    int64_t framesFilled() const { return filledEnd_ - first_; }

    // Takes one decoded frame that starts at sample `position` (asset time × rate).
    bool add(const AVFrame* frame, int64_t position) {
        if (!configure(frame)) return false;
        const int capacity = swr_get_out_samples(resampler_.get(), frame->nb_samples);
        if (capacity <= 0) return true;
        const int libraryBytes = av_get_bytes_per_sample(libraryFormat_);
        converted_.resize(size_t(capacity) * size_t(result_.channelCount) * size_t(libraryBytes));
        uint8_t* out = converted_.data();
        const int count =
            swr_convert(resampler_.get(), &out, capacity,
                        const_cast<const uint8_t**>(frame->extended_data), frame->nb_samples);
        if (count <= 0) return count == 0;
        place(position, count, libraryBytes);
        return true;
    }

  private:
    bool configure(const AVFrame* frame) {
        if (resampler_ && frame->format == inputFormat_ && frame->sample_rate == inputRate_ &&
            av_channel_layout_compare(&frame->ch_layout, &inputLayout_) == 0) {
            return true;
        }
        if (frame->ch_layout.nb_channels != result_.channelCount || frame->sample_rate <= 0) {
            return false;
        }
        libraryFormat_ = libraryFormatFor(result_.bitDepth);
        SwrContext* raw = nullptr;
        av_channel_layout_uninit(&inputLayout_);
        if (av_channel_layout_copy(&inputLayout_, &frame->ch_layout) < 0) return false;
        if (swr_alloc_set_opts2(&raw, &inputLayout_, libraryFormat_, result_.sampleRate,
                                &inputLayout_, AVSampleFormat(frame->format), frame->sample_rate, 0,
                                nullptr) < 0) {
            return false;
        }
        resampler_.reset(raw);
        if (swr_init(raw) < 0) return false;
        inputFormat_ = frame->format;
        inputRate_ = frame->sample_rate;
        return true;
    }

    void place(int64_t position, int count, int libraryBytes) {
        const int64_t from = std::max(position, first_);
        const int64_t to = std::min(position + count, end_);
        const size_t channels = size_t(result_.channelCount);
        const size_t outBytes = size_t(result_.bitDepth / 8);
        for (int64_t frameIndex = from; frameIndex < to; ++frameIndex) {
            const uint8_t* in =
                converted_.data() + size_t(frameIndex - position) * channels * size_t(libraryBytes);
            uint8_t* out =
                result_.samples.data() + size_t(frameIndex - first_) * channels * outBytes;
            for (size_t c = 0; c < channels; ++c) {
                const uint8_t* sample = in + c * size_t(libraryBytes);
                if (result_.bitDepth == 8) {
                    out[c] = uint8_t(sample[0] ^ 0x80);  // unsigned to signed
                } else if (result_.bitDepth == 24) {
                    std::memcpy(out + c * 3, sample + 1, 3);  // top three bytes of 32
                } else {
                    std::memcpy(out + c * outBytes, sample, outBytes);
                }
            }
        }
        if (to > filledEnd_) filledEnd_ = to;
    }

    DecodedAudio& result_;
    int64_t first_;
    int64_t end_;
    int64_t filledEnd_;
    ResamplerPtr resampler_;
    AVChannelLayout inputLayout_{};
    int inputFormat_ = -1;
    int inputRate_ = 0;
    AVSampleFormat libraryFormat_ = AV_SAMPLE_FMT_NONE;
    std::vector<uint8_t> converted_;
};

// Feeds the stream's packets from the current demuxer position through the decoder until the
// range is complete or the stream ends.
void decodeInto(AssetContext& context, int index, AVCodecContext* decoder, int64_t sampleRate,
                RangeCollector& collector) {
    AVFormatContext* format = context.format();
    const AVStream* stream = format->streams[index];
    PacketPtr packet(av_packet_alloc());
    FramePtr frame(av_frame_alloc());
    if (!packet || !frame) return;
    int64_t expected = AV_NOPTS_VALUE;
    bool draining = false;
    while (!collector.complete()) {
        if (!draining) {
            const int status = av_read_frame(format, packet.get());
            if (status < 0) {
                draining = true;
                avcodec_send_packet(decoder, nullptr);
            } else {
                if (packet->stream_index == index) avcodec_send_packet(decoder, packet.get());
                av_packet_unref(packet.get());
            }
        }
        for (;;) {
            const int status = avcodec_receive_frame(decoder, frame.get());
            if (status < 0) {
                if (draining || status != AVERROR(EAGAIN)) return;
                break;
            }
            int64_t position = expected;
            const CMTime time = context.assetTime(frame->best_effort_timestamp, stream->time_base);
            if (time.isValid()) {
                position = CMTimeConvertScale(time, int32_t(sampleRate),
                                              CMTimeRoundingMethod::RoundHalfAwayFromZero)
                               .value;
            }
            if (position != AV_NOPTS_VALUE && collector.add(frame.get(), position)) {
                expected = position + frame->nb_samples;
            }
            av_frame_unref(frame.get());
            if (collector.complete()) return;
        }
    }
}

}  // namespace

std::optional<DecodedAudio> decodeAudioTrack(const MediaAsset& asset, int32_t trackID,
                                             CMTimeRange range, int32_t bitDepth) {
    if (!range.isValid() || range.start.value < 0 ||
        libraryFormatFor(bitDepth) == AV_SAMPLE_FMT_NONE) {
        return std::nullopt;
    }
    AssetContext& context = asset.context();
    const std::lock_guard lock(context.mutex());
    const int index = context.streamIndexOfTrackID(trackID);
    if (index < 0) return std::nullopt;
    AVFormatContext* format = context.format();
    const AVStream* stream = format->streams[index];
    const AVCodecParameters* codec = stream->codecpar;
    if (codec->codec_type != AVMEDIA_TYPE_AUDIO || codec->sample_rate <= 0 ||
        codec->ch_layout.nb_channels <= 0) {
        return std::nullopt;
    }
    CodecContextPtr decoder = openDecoder(stream);
    if (!decoder) return std::nullopt;

    const int32_t rate = codec->sample_rate;
    const auto toSample = [rate](CMTime time) {
        return CMTimeConvertScale(time, rate, CMTimeRoundingMethod::RoundHalfAwayFromZero);
    };
    const CMTime first = toSample(range.start);
    const CMTime end = toSample(range.end());
    if (!first.isValid() || !end.isValid() || end.value < first.value) return std::nullopt;

    DecodedAudio result;
    result.channelCount = codec->ch_layout.nb_channels;
    result.sampleRate = rate;
    result.bitDepth = bitDepth;
    result.startTime = first;
    const int64_t wanted = end.value - first.value;
    if (wanted > (int64_t(1) << 34) / int64_t(result.bytesPerFrame())) return std::nullopt;
    result.samples.assign(size_t(wanted) * result.bytesPerFrame(), 0);

    const int64_t preroll = needsPreroll(codec->codec_id) ? rate / 2 : 0;
    // Before the track's first sample the demuxer starts at its first packet, which carries
    // the encoder delay to be discarded and primes the decoder.
    const CMTime seekTime = CMTimeMake(first.value - preroll, rate);
    const SingleStreamSelection selection(format, index);
    if (!context.seekStream(index, context.streamTimestamp(seekTime, stream->time_base))) {
        return std::nullopt;
    }
    RangeCollector collector(result, first.value, end.value);
    decodeInto(context, index, decoder.get(), rate, collector);
    result.frameCount = collector.framesFilled();
    result.samples.resize(size_t(result.frameCount) * result.bytesPerFrame());
    return result;
}

}  // namespace vorlane
