#include "platform/media/MovieTrackSources.h"

extern "C" {
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cstring>
#include <mutex>
#include <vector>

#include "platform/media/AssetAudioDecoder.h"
#include "platform/media/MediaAsset.h"
#include "platform/media/SegmentPacketReader.h"

namespace vorlane {
namespace {

// Sound is handed out in packets of this many frames.
constexpr int64_t kAudioPacketFrames = 4096;

AVRational timeBaseOf(CMTime time) {
    return AVRational{1, time.timescale};
}

// A time as a timestamp of the time base, to the nearest.
int64_t timestampOf(CMTime time, AVRational timeBase) {
    return av_rescale_q_rnd(time.value, timeBaseOf(time), timeBase,
                            AVRounding(AV_ROUND_NEAR_INF | AV_ROUND_PASS_MINMAX));
}

std::string nameOf(const PlayableSegment& segment) {
    return segment.sourceURL.filename().string();
}

const PlayableSegment* firstFilledSegment(const std::vector<PlayableSegment>& segments) {
    for (const PlayableSegment& segment : segments)
        if (!segment.empty) return &segment;
    return nullptr;
}

// A written picture track: its segments and the picture the first one shows, which sets the
// track's format.
class PictureSource : public MovieTrackSource {
  protected:
    explicit PictureSource(const MovieTrackJob& track) : segments_(track.segments) {}

    std::optional<OpenedVideo> openFirstPicture() {
        const PlayableSegment* first = firstFilledSegment(segments_);
        if (!first)
            return fail(MovieWriteStatus::NoSource, "the picture track is empty"), std::nullopt;
        auto opened = openVideo(*first);
        if (!opened)
            fail(MovieWriteStatus::NoSource, "cannot open the picture of " + nameOf(*first));
        return opened;
    }

    std::vector<PlayableSegment> segments_;
};

// Picture packets copied bit for bit; every segment must show the same kind of picture.
class VideoCopySource : public PictureSource {
  public:
    explicit VideoCopySource(const MovieTrackJob& track) : PictureSource(track) {}

    bool addStream(AVFormatContext* output) override {
        const auto opened = openFirstPicture();
        if (!opened) return false;
        const AVStream* input = opened->stream();
        stream_ = avformat_new_stream(output, nullptr);
        if (!stream_ || avcodec_parameters_copy(stream_->codecpar, input->codecpar) < 0)
            return fail(MovieWriteStatus::CannotSetUp, "cannot add the picture track"), false;
        // Keep the source's sample description code only where the container knows it.
        const uint32_t tag = stream_->codecpar->codec_tag;
        if (tag != 0 &&
            av_codec_get_id(output->oformat->codec_tag, tag) != input->codecpar->codec_id)
            stream_->codecpar->codec_tag = 0;
        stream_->time_base = input->time_base;
        stream_->avg_frame_rate = input->avg_frame_rate;
        stream_->sample_aspect_ratio = input->sample_aspect_ratio;
        codecID_ = input->codecpar->codec_id;
        return true;
    }

    PacketPtr nextPacket() override {
        PacketPtr packet(av_packet_alloc());
        while (!failed()) {
            if (!reader_ && !openNextSegment()) return nullptr;
            CMTime decodeTime;
            CMTime presentationTime;
            if (!reader_->read(packet.get(), decodeTime, presentationTime)) {
                reader_.reset();
                continue;
            }
            // Copied pictures start with a sync sample, or nothing could decode them.
            synced_ = synced_ || (packet->flags & AV_PKT_FLAG_KEY) != 0;
            if (!synced_) {
                av_packet_unref(packet.get());
                continue;
            }
            const PlayableSegment& segment = segments_[index_ - 1];
            const CMTime shift = segment.targetRange.start - segment.sourceRange.start;
            const AVRational timeBase = stream_->time_base;
            packet->duration =
                av_rescale_q(packet->duration, reader_->stream()->time_base, timeBase);
            packet->dts = timestampOf(decodeTime + shift, timeBase);
            packet->pts = timestampOf(presentationTime + shift, timeBase);
            packet->stream_index = stream_->index;
            packet->pos = -1;
            return packet;
        }
        return nullptr;
    }

  private:
    bool openNextSegment() {
        while (index_ < segments_.size()) {
            const PlayableSegment& segment = segments_[index_++];
            if (segment.empty) continue;  // a copied track leaves the gap empty
            auto opened = openVideo(segment);
            if (!opened)
                return fail(MovieWriteStatus::NoSource,
                            "cannot open the picture of " + nameOf(segment)),
                       false;
            if (opened->stream()->codecpar->codec_id != codecID_)
                return fail(MovieWriteStatus::CannotSetUp,
                            "copied pictures must share one codec: " + nameOf(segment)),
                       false;
            reader_ = std::make_unique<SegmentPacketReader>(std::move(*opened), segment);
            synced_ = false;
            return true;
        }
        return false;
    }

    size_t index_ = 0;
    AVCodecID codecID_ = AV_CODEC_ID_NONE;
    std::unique_ptr<SegmentPacketReader> reader_;
    bool synced_ = false;
};

struct ScalerDeleter {
    void operator()(SwsContext* context) const { sws_freeContext(context); }
};
using ScalerPtr = std::unique_ptr<SwsContext, ScalerDeleter>;

// Pictures decoded, scaled and encoded again, one output frame per frame of the first source's
// rate; gaps become black.
class VideoEncodeSource : public PictureSource {
  public:
    VideoEncodeSource(const MovieTrackJob& track, const MovieVideoSettings& settings)
        : PictureSource(track), settings_(settings) {}

    bool addStream(AVFormatContext* output) override {
        const auto opened = openFirstPicture();
        if (!opened) return false;
        const AVStream* input = opened->stream();
        const AVCodec* codec = avcodec_find_encoder_by_name(settings_.encoder.c_str());
        if (!codec)
            return fail(MovieWriteStatus::CannotSetUp, "no encoder " + settings_.encoder), false;
        rate_ = input->avg_frame_rate.num > 0 ? input->avg_frame_rate : input->r_frame_rate;
        if (rate_.num <= 0 || rate_.den <= 0) rate_ = AVRational{25, 1};
        encoder_.reset(avcodec_alloc_context3(codec));
        AVCodecContext* encoder = encoder_.get();
        encoder->width = settings_.width > 0 ? settings_.width : input->codecpar->width;
        encoder->height = settings_.height > 0 ? settings_.height : input->codecpar->height;
        encoder->time_base = av_inv_q(rate_);
        encoder->framerate = rate_;
        encoder->sample_aspect_ratio = AVRational{1, 1};
        encoder->pix_fmt = settings_.pixelFormat.empty()
                               ? (codec->pix_fmts ? codec->pix_fmts[0] : AV_PIX_FMT_YUV420P)
                               : av_get_pix_fmt(settings_.pixelFormat.c_str());
        if (settings_.bitRate > 0) encoder->bit_rate = settings_.bitRate;
        encoder->thread_count = 0;  // as many as the encoder can use
        if (output->oformat->flags & AVFMT_GLOBALHEADER)
            encoder->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        AVDictionary* options = nullptr;
        if (!settings_.profile.empty())
            av_dict_set(&options, "profile", settings_.profile.c_str(), 0);
        for (const auto& [key, value] : settings_.encoderOptions)
            av_dict_set(&options, key.c_str(), value.c_str(), 0);
        const int opened_ = avcodec_open2(encoder, codec, &options);
        av_dict_free(&options);
        if (opened_ < 0)
            return fail(MovieWriteStatus::CannotSetUp,
                        "the encoder " + settings_.encoder + " does not take these settings"),
                   false;
        stream_ = avformat_new_stream(output, nullptr);
        if (!stream_ || avcodec_parameters_from_context(stream_->codecpar, encoder) < 0)
            return fail(MovieWriteStatus::CannotSetUp, "cannot add the picture track"), false;
        // QuickTime players want HEVC parameter sets in the sample description ('hvc1').
        if (encoder->codec_id == AV_CODEC_ID_HEVC)
            stream_->codecpar->codec_tag = MKTAG('h', 'v', 'c', '1');
        stream_->time_base = encoder->time_base;
        stream_->avg_frame_rate = rate_;
        frameDuration_ = CMTimeMake(rate_.den, rate_.num);
        end_ = segments_.back().targetRange.end();
        return true;
    }

    PacketPtr nextPacket() override {
        PacketPtr packet(av_packet_alloc());
        while (!failed()) {
            const int received = avcodec_receive_packet(encoder_.get(), packet.get());
            if (received == 0) {
                av_packet_rescale_ts(packet.get(), encoder_->time_base, stream_->time_base);
                packet->stream_index = stream_->index;
                return packet;
            }
            if (received != AVERROR(EAGAIN)) return nullptr;  // flushed
            FramePtr frame = nextFrame();
            if (failed()) return nullptr;
            if (avcodec_send_frame(encoder_.get(), frame.get()) < 0)
                return fail(MovieWriteStatus::WriteFailed, "the encoder refused a picture");
        }
        return nullptr;
    }

  private:
    // The picture of output frame `frameIndex_`; nullptr after the last one.
    FramePtr nextFrame() {
        const CMTime time = CMTimeMultiply(frameDuration_, frameIndex_);
        if (time >= end_) return nullptr;
        while (index_ < segments_.size() && segments_[index_].targetRange.end() <= time) {
            ++index_;
            reader_.reset();
        }
        FramePtr picture = newPicture();
        if (!picture) return fail(MovieWriteStatus::WriteFailed, "out of memory"), nullptr;
        const PlayableSegment* segment = index_ < segments_.size() ? &segments_[index_] : nullptr;
        if (segment && !segment->empty && !decodeInto(*segment, picture.get())) return nullptr;
        if (!segment || segment->empty || !hasPicture_) fillBlack(picture.get());
        picture->pts = frameIndex_++;
        return picture;
    }

    FramePtr newPicture() const {
        FramePtr frame(av_frame_alloc());
        frame->format = encoder_->pix_fmt;
        frame->width = encoder_->width;
        frame->height = encoder_->height;
        if (av_frame_get_buffer(frame.get(), 0) < 0) return nullptr;
        return frame;
    }

    static void fillBlack(AVFrame* frame) {
        ptrdiff_t lineSizes[4];
        for (int plane = 0; plane < 4; ++plane)
            lineSizes[plane] = frame->linesize[plane];
        av_image_fill_black(frame->data, lineSizes, AVPixelFormat(frame->format), AVCOL_RANGE_MPEG,
                            frame->width, frame->height);
    }

    // Decodes the segment's next picture into the frame (the last one again when the source ends
    // early); false when the source cannot be opened.
    bool decodeInto(const PlayableSegment& segment, AVFrame* picture) {
        if (!reader_) {
            auto opened = openVideo(segment);
            if (!opened)
                return fail(MovieWriteStatus::NoSource,
                            "cannot open the picture of " + nameOf(segment)),
                       false;
            decoder_ = openDecoder(opened->stream());
            if (!decoder_)
                return fail(MovieWriteStatus::NoSource, "cannot decode " + nameOf(segment)), false;
            reader_ = std::make_unique<SegmentPacketReader>(std::move(*opened), segment);
            sourceEnded_ = false;
            wanted_ = segment.sourceRange.start;
        }
        FramePtr decoded(av_frame_alloc());
        while (decodeNext(decoded.get())) {
            const CMTime time = reader_->assetTime(decoded->best_effort_timestamp);
            // Pictures before the range (decoded from the sync sample on) are passed over: those
            // shown more than half a frame before the time wanted (doubled, as half a frame does
            // not round in the frame's own timescale).
            if (time.isValid() &&
                CMTimeMultiply(time, 2) + frameDuration_ < CMTimeMultiply(wanted_, 2))
                continue;
            scale(decoded.get(), picture);
            hasPicture_ = true;
            wanted_ = wanted_ + frameDuration_;
            return true;
        }
        if (lastPicture_) av_frame_copy(picture, lastPicture_.get());
        return true;
    }

    bool decodeNext(AVFrame* frame) {
        while (true) {
            const int received = avcodec_receive_frame(decoder_.get(), frame);
            if (received == 0) return true;
            if (received != AVERROR(EAGAIN)) return false;
            PacketPtr packet(av_packet_alloc());
            CMTime decodeTime;
            CMTime presentationTime;
            if (sourceEnded_ || !reader_->read(packet.get(), decodeTime, presentationTime)) {
                if (sourceEnded_) return false;
                sourceEnded_ = true;
                avcodec_send_packet(decoder_.get(), nullptr);
                continue;
            }
            avcodec_send_packet(decoder_.get(), packet.get());
        }
    }

    void scale(const AVFrame* decoded, AVFrame* picture) {
        scaler_.reset(sws_getCachedContext(scaler_.release(), decoded->width, decoded->height,
                                           AVPixelFormat(decoded->format), picture->width,
                                           picture->height, AVPixelFormat(picture->format),
                                           SWS_BICUBIC, nullptr, nullptr, nullptr));
        if (!scaler_) return;
        sws_scale(scaler_.get(), decoded->data, decoded->linesize, 0, decoded->height,
                  picture->data, picture->linesize);
        if (!lastPicture_) lastPicture_ = newPicture();
        if (lastPicture_) av_frame_copy(lastPicture_.get(), picture);
    }

    MovieVideoSettings settings_;
    CodecContextPtr encoder_;
    AVRational rate_{25, 1};
    CMTime frameDuration_ = kCMTimeInvalid;
    CMTime end_ = kCMTimeZero;
    int64_t frameIndex_ = 0;
    size_t index_ = 0;
    std::unique_ptr<SegmentPacketReader> reader_;
    CodecContextPtr decoder_;
    bool sourceEnded_ = false;
    bool hasPicture_ = false;
    CMTime wanted_ = kCMTimeZero;
    ScalerPtr scaler_;
    FramePtr lastPicture_;
};

struct ResamplerDeleter {
    void operator()(SwrContext* context) const { swr_free(&context); }
};
using ResamplerPtr = std::unique_ptr<SwrContext, ResamplerDeleter>;

// Sound as interleaved little-endian PCM at the track's rate and depth: each segment's source
// range decoded (and resampled where its rate differs) and placed at the sample its target range
// starts on, silence in gaps, the muted channels zero.
class AudioSource : public MovieTrackSource {
  public:
    explicit AudioSource(const MovieTrackJob& track) : track_(track) {}

    bool addStream(AVFormatContext* output) override {
        const int32_t depth = track_.bitDepth;
        const AVCodecID codec = depth == 16   ? AV_CODEC_ID_PCM_S16LE
                                : depth == 24 ? AV_CODEC_ID_PCM_S24LE
                                : depth == 32 ? AV_CODEC_ID_PCM_S32LE
                                              : AV_CODEC_ID_NONE;
        if (codec == AV_CODEC_ID_NONE || track_.channelCount <= 0 || track_.sampleRate <= 0)
            return fail(MovieWriteStatus::CannotSetUp, "no sound format for the track"), false;
        stream_ = avformat_new_stream(output, nullptr);
        if (!stream_) return fail(MovieWriteStatus::CannotSetUp, "cannot add a sound track"), false;
        AVCodecParameters* parameters = stream_->codecpar;
        parameters->codec_type = AVMEDIA_TYPE_AUDIO;
        parameters->codec_id = codec;
        parameters->sample_rate = track_.sampleRate;
        av_channel_layout_default(&parameters->ch_layout, track_.channelCount);
        parameters->bits_per_coded_sample = depth;
        parameters->block_align = track_.channelCount * depth / 8;
        parameters->bit_rate = int64_t(parameters->block_align) * 8 * track_.sampleRate;
        stream_->time_base = AVRational{1, track_.sampleRate};
        bytesPerFrame_ = size_t(parameters->block_align);
        return true;
    }

    PacketPtr nextPacket() override {
        while (!failed() && pending_.size() < size_t(kAudioPacketFrames) * bytesPerFrame_) {
            if (index_ >= track_.segments.size()) break;
            fillFromSegment(track_.segments[index_]);
        }
        if (failed() || pending_.empty()) return nullptr;
        const size_t bytes = std::min(pending_.size(), size_t(kAudioPacketFrames) * bytesPerFrame_);
        PacketPtr packet(av_packet_alloc());
        if (av_new_packet(packet.get(), int(bytes)) < 0)
            return fail(MovieWriteStatus::WriteFailed, "out of memory");
        std::memcpy(packet->data, pending_.data(), bytes);
        pending_.erase(pending_.begin(), pending_.begin() + std::ptrdiff_t(bytes));
        const int64_t frames = int64_t(bytes / bytesPerFrame_);
        const AVRational rate{1, track_.sampleRate};
        packet->pts = packet->dts = av_rescale_q(written_, rate, stream_->time_base);
        packet->duration = av_rescale_q(frames, rate, stream_->time_base);
        packet->stream_index = stream_->index;
        packet->flags |= AV_PKT_FLAG_KEY;
        written_ += frames;
        return packet;
    }

  private:
    int64_t frameAt(CMTime time) const {
        return timestampOf(time, AVRational{1, track_.sampleRate});
    }
    int64_t queuedEnd() const { return written_ + int64_t(pending_.size() / bytesPerFrame_); }

    // Queues up to one packet of the segment's frames; moves to the next segment at its end.
    void fillFromSegment(const PlayableSegment& segment) {
        const int64_t start = frameAt(segment.targetRange.start);
        if (queuedEnd() < start) pending_.resize(size_t(start - written_) * bytesPerFrame_, 0);
        const int64_t end = frameAt(segment.targetRange.end());
        const int64_t wanted = std::min<int64_t>(end - queuedEnd(), kAudioPacketFrames);
        if (wanted <= 0) {
            nextSegment();
            return;
        }
        std::vector<uint8_t> frames;
        if (!segment.empty) readSource(segment, wanted, frames);
        if (failed()) return;
        if (frames.empty()) {
            // A gap, or a source that ended before its range: silence up to the segment's end.
            pending_.resize(pending_.size() + size_t(end - queuedEnd()) * bytesPerFrame_, 0);
            nextSegment();
            return;
        }
        mute(frames);
        pending_.insert(pending_.end(), frames.begin(), frames.end());
    }

    void nextSegment() {
        ++index_;
        reader_.reset();
        resampler_.reset();
        asset_.reset();
        resampledFrames_.clear();
    }

    // Up to `wanted` frames of the source in the written layout; none at its end.
    void readSource(const PlayableSegment& segment, int64_t wanted, std::vector<uint8_t>& out) {
        if (!reader_ && !openSource(segment)) return;
        std::vector<uint8_t> read;
        if (!resampler_) {
            if (reader_->readFrames(read, wanted)) remap(read, reader_->bitDepth(), out);
            return;
        }
        while (int64_t(resampledFrames_.size() / sourceChannels()) < wanted && !resamplerDrained_) {
            const bool more = reader_->readFrames(read, kAudioPacketFrames);
            resample(more ? &read : nullptr);
        }
        const size_t samples =
            std::min(resampledFrames_.size(), size_t(wanted) * size_t(sourceChannels()));
        std::vector<uint8_t> bytes(samples * 4);
        std::memcpy(bytes.data(), resampledFrames_.data(), bytes.size());
        resampledFrames_.erase(resampledFrames_.begin(),
                               resampledFrames_.begin() + std::ptrdiff_t(samples));
        remap(bytes, 32, out);
    }

    int sourceChannels() const { return reader_->channelCount(); }

    bool openSource(const PlayableSegment& segment) {
        asset_ = MediaAsset::assetWithURL(segment.sourceURL);
        const AssetTrack* track =
            asset_ ? asset_->trackWithTrackID(segment.sourceTrackID) : nullptr;
        const int32_t sourceRate =
            track && track->formatDescription && track->formatDescription->audio
                ? int32_t(track->formatDescription->audio->sampleRate)
                : 0;
        const bool resampling = sourceRate != 0 && sourceRate != track_.sampleRate;
        if (asset_)
            reader_ = AudioTrackReader::open(*asset_, segment.sourceTrackID, segment.sourceRange,
                                             resampling ? 32 : track_.bitDepth);
        if (!reader_) {
            fail(MovieWriteStatus::NoSource, "cannot read the sound of " + nameOf(segment));
            return false;
        }
        if (!resampling) return true;
        AVChannelLayout layout;
        av_channel_layout_default(&layout, reader_->channelCount());
        SwrContext* context = nullptr;
        swr_alloc_set_opts2(&context, &layout, AV_SAMPLE_FMT_S32, track_.sampleRate, &layout,
                            AV_SAMPLE_FMT_S32, reader_->sampleRate(), 0, nullptr);
        resampler_.reset(context);
        resamplerDrained_ = false;
        if (!resampler_ || swr_init(resampler_.get()) < 0) {
            fail(MovieWriteStatus::CannotSetUp, "cannot resample the sound of " + nameOf(segment));
            return false;
        }
        return true;
    }

    // Converts 32-bit frames at the source's rate (none: the end) to the written rate.
    void resample(const std::vector<uint8_t>* input) {
        const int channels = sourceChannels();
        const int inFrames = input ? int(input->size() / (size_t(channels) * 4)) : 0;
        const int room = swr_get_out_samples(resampler_.get(), inFrames) + 16;
        std::vector<int32_t> converted(size_t(room) * size_t(channels));
        uint8_t* outPlanes[1] = {reinterpret_cast<uint8_t*>(converted.data())};
        const uint8_t* inPlanes[1] = {input ? input->data() : nullptr};
        const int made =
            swr_convert(resampler_.get(), outPlanes, room, input ? inPlanes : nullptr, inFrames);
        if (made <= 0) {
            if (!input) resamplerDrained_ = true;
            return;
        }
        resampledFrames_.insert(resampledFrames_.end(), converted.begin(),
                                converted.begin() + std::ptrdiff_t(made) * channels);
    }

    // Interleaved frames of `depth` bits with the source's channel count into the written depth
    // and channel count: surplus channels dropped, missing ones silent.
    void remap(const std::vector<uint8_t>& in, int32_t depth, std::vector<uint8_t>& out) const {
        const size_t inBytes = size_t(depth / 8);
        const size_t outBytes = size_t(track_.bitDepth / 8);
        const size_t inChannels = size_t(sourceChannels());
        const size_t outChannels = size_t(track_.channelCount);
        const size_t frames = in.size() / (inBytes * inChannels);
        out.assign(frames * outChannels * outBytes, 0);
        const size_t shared = std::min(inChannels, outChannels);
        // Little-endian: the most significant bytes of a deeper sample are its last ones.
        const size_t skip = inBytes > outBytes ? inBytes - outBytes : 0;
        const size_t pad = outBytes > inBytes ? outBytes - inBytes : 0;
        for (size_t frame = 0; frame < frames; ++frame)
            for (size_t channel = 0; channel < shared; ++channel)
                std::memcpy(&out[(frame * outChannels + channel) * outBytes + pad],
                            &in[(frame * inChannels + channel) * inBytes + skip],
                            std::min(inBytes, outBytes));
    }

    void mute(std::vector<uint8_t>& frames) const {
        if (track_.mutedChannels == 0) return;
        const size_t sampleBytes = size_t(track_.bitDepth / 8);
        for (size_t frame = 0; frame < frames.size(); frame += bytesPerFrame_)
            for (int channel = 0; channel < track_.channelCount && channel < 64; ++channel)
                if ((track_.mutedChannels >> channel) & 1)
                    std::memset(&frames[frame + size_t(channel) * sampleBytes], 0, sampleBytes);
    }

    MovieTrackJob track_;
    size_t bytesPerFrame_ = 0;
    size_t index_ = 0;
    int64_t written_ = 0;
    std::vector<uint8_t> pending_;
    std::shared_ptr<MediaAsset> asset_;
    std::unique_ptr<AudioTrackReader> reader_;
    ResamplerPtr resampler_;
    bool resamplerDrained_ = false;
    std::vector<int32_t> resampledFrames_;
};

}  // namespace

std::unique_ptr<MovieTrackSource> MovieTrackSource::forTrack(const MovieTrackJob& track,
                                                             const MovieVideoSettings& video) {
    if (track.mediaType == AssetMediaType::Audio) return std::make_unique<AudioSource>(track);
    if (video.encoder.empty()) return std::make_unique<VideoCopySource>(track);
    return std::make_unique<VideoEncodeSource>(track, video);
}

}  // namespace vorlane
