#include "platform/media/CompositionVideoReader.h"

extern "C" {
#include <libavutil/imgutils.h>
#include <libavutil/pixdesc.h>
}

#include <algorithm>

#include "platform/Log.h"
#include "platform/media/SegmentPacketReader.h"

namespace vorlane {
namespace {

// A jump forwards of more than this decodes from the sync sample before the target instead of
// decoding on from where the decoder stands.
const CMTime kDecodeOnLimit = CMTimeMake(2, 1);
// Packets read at most for one picture (broken files never end the search otherwise).
constexpr int kPacketLimit = 5000;
// The picture size of a composition without any picture source.
constexpr int kDefaultWidth = 1920;
constexpr int kDefaultHeight = 1080;

const PlayableCompositionTrack* firstVideoTrack(const PlayableComposition& composition) {
    for (const auto& track : composition.tracks())
        if (track.mediaType() == AssetMediaType::Video) return &track;
    return nullptr;
}

std::shared_ptr<CompositionFrame> blackFrame(int width, int height) {
    auto frame = std::make_shared<CompositionFrame>();
    frame->width = width;
    frame->height = height;
    frame->pixelFormat = av_get_pix_fmt_name(AV_PIX_FMT_YUV420P);
    frame->black = true;
    const int size = av_image_get_buffer_size(AV_PIX_FMT_YUV420P, width, height, 1);
    frame->pixels.resize(size_t(std::max(size, 0)));
    uint8_t* planes[4] = {};
    int lineSizes[4] = {};
    av_image_fill_arrays(planes, lineSizes, frame->pixels.data(), AV_PIX_FMT_YUV420P, width, height,
                         1);
    const ptrdiff_t strides[4] = {lineSizes[0], lineSizes[1], lineSizes[2], lineSizes[3]};
    av_image_fill_black(planes, strides, AV_PIX_FMT_YUV420P, AVCOL_RANGE_MPEG, width, height);
    return frame;
}

std::shared_ptr<CompositionFrame> packedFrame(const AVFrame* decoded) {
    auto frame = std::make_shared<CompositionFrame>();
    const auto format = AVPixelFormat(decoded->format);
    const int size = av_image_get_buffer_size(format, decoded->width, decoded->height, 1);
    if (size <= 0) return nullptr;
    frame->pixels.resize(size_t(size));
    if (av_image_copy_to_buffer(frame->pixels.data(), size, decoded->data, decoded->linesize,
                                format, decoded->width, decoded->height, 1) < 0)
        return nullptr;
    frame->width = decoded->width;
    frame->height = decoded->height;
    const char* name = av_get_pix_fmt_name(format);
    frame->pixelFormat = name ? name : "";
    return frame;
}

}  // namespace

struct CompositionVideoReader::State {
    std::shared_ptr<const PlayableComposition> composition;
    std::vector<PlayableSegment> segments;
    CMTime frameDuration = CMTimeMake(1, 25);
    int width = kDefaultWidth;
    int height = kDefaultHeight;

    // The decoder of the open segment and the frames around the last time asked for.
    size_t openIndex = SIZE_MAX;
    std::unique_ptr<SegmentPacketReader> reader;
    CodecContextPtr decoder;
    bool drained = false;
    bool fresh = false;  // standing at the range's start since it was opened
    FramePtr current;    // the latest frame at or before the last source time
    CMTime currentTime = kCMTimeInvalid;
    FramePtr next;  // the frame after it, when decoded
    CMTime nextTime = kCMTimeInvalid;
    std::shared_ptr<const CompositionFrame> answer;  // `current` as answered, once asked

    void describePictures() {
        for (const auto& segment : segments) {
            if (segment.empty) continue;
            const auto opened = openVideo(segment);
            if (!opened) continue;
            const AVStream* stream = opened->stream();
            const AVRational rate =
                stream->avg_frame_rate.num > 0 ? stream->avg_frame_rate : stream->r_frame_rate;
            if (rate.num > 0 && rate.den > 0) frameDuration = CMTimeMake(rate.den, rate.num);
            if (stream->codecpar->width > 0 && stream->codecpar->height > 0) {
                width = stream->codecpar->width;
                height = stream->codecpar->height;
            }
            return;
        }
    }

    void close() {
        openIndex = SIZE_MAX;
        reader.reset();
        decoder.reset();
        forget();
    }

    void forget() {
        current.reset();
        answer.reset();
        next.reset();
        currentTime = nextTime = kCMTimeInvalid;
        drained = false;
    }

    bool open(size_t index) {
        if (openIndex == index) return reader != nullptr;
        close();
        openIndex = index;
        const PlayableSegment& segment = segments[index];
        auto opened = openVideo(segment);
        if (!opened) {
            Log::write("Player: cannot open the picture of " + segment.sourceURL.string());
            return false;
        }
        decoder = openDecoder(opened->stream(), 0);  // playing 1080p wants every processor
        if (!decoder) {
            Log::write("Player: cannot decode the picture of " + segment.sourceURL.string());
            return false;
        }
        reader = std::make_unique<SegmentPacketReader>(std::move(*opened), segment);
        fresh = true;
        return true;
    }

    void seekTo(CMTime sourceTime) {
        reader->seekTo(sourceTime);
        avcodec_flush_buffers(decoder.get());
        forget();
    }

    // The next decoded frame in presentation order; false when the segment has no more.
    bool decodeNext(AVFrame* frame) {
        PacketPtr packet(av_packet_alloc());
        for (int read = 0; read < kPacketLimit; ++read) {
            const int received = avcodec_receive_frame(decoder.get(), frame);
            if (received == 0) return true;
            if (received != AVERROR(EAGAIN) || drained) return false;
            CMTime decodeTime;
            CMTime presentationTime;
            if (!reader->read(packet.get(), decodeTime, presentationTime)) {
                drained = true;
                answer.reset();  // the last picture now lasts to the segment's end
                avcodec_send_packet(decoder.get(), nullptr);
                continue;
            }
            avcodec_send_packet(decoder.get(), packet.get());  // damaged packets are passed over
            av_packet_unref(packet.get());
        }
        return false;
    }

    // The decoded frame shown at the source time; nullptr when none could be decoded.
    const AVFrame* frameAtSourceTime(CMTime sourceTime, CMTime rangeStart) {
        const bool behind = current && sourceTime < currentTime;
        // Once the decoder has given out the segment's last picture there is nothing further
        // to decode: later times show that picture without decoding its group again.
        const bool pastEnd = drained && current && sourceTime >= currentTime;
        const bool farAhead =
            !fresh && !pastEnd && (!current || sourceTime > currentTime + kDecodeOnLimit);
        const bool freshButFar = fresh && sourceTime > rangeStart + kDecodeOnLimit;
        if (behind || farAhead || freshButFar) seekTo(sourceTime);
        fresh = false;
        decodeUpTo(sourceTime);
        return current.get();
    }

    // Decodes on until `current` is the frame shown at the source time (or the first frame
    // decoded, when that comes later).
    void decodeUpTo(CMTime sourceTime) {
        while (true) {
            if (next) {
                if (nextTime > sourceTime) break;
                current = std::move(next);
                currentTime = nextTime;
                answer.reset();
            }
            FramePtr decoded(av_frame_alloc());
            if (!decodeNext(decoded.get())) break;
            const CMTime time = reader->assetTime(decoded->best_effort_timestamp);
            if (!time.isValid()) continue;
            if (time <= sourceTime || !current) {
                // The first frame stands in for a source time before it.
                current = std::move(decoded);
                currentTime = time;
                answer.reset();
                if (currentTime > sourceTime) break;
            } else {
                next = std::move(decoded);
                nextTime = time;
            }
        }
    }

    std::shared_ptr<const CompositionFrame> frameAt(CMTime time) {
        if (time < kCMTimeZero) return nullptr;
        const auto segment = std::find_if(segments.begin(), segments.end(), [&](const auto& s) {
            return CMTimeRangeContainsTime(s.targetRange, time);
        });
        if (segment == segments.end()) return nullptr;
        if (!segment->empty && open(size_t(segment - segments.begin()))) {
            const CMTime sourceTime =
                time - segment->targetRange.start + segment->sourceRange.start;
            if (const AVFrame* decoded = frameAtSourceTime(sourceTime, segment->sourceRange.start))
                if (auto frame = answerFor(decoded, *segment)) return frame;
        }
        return blackAt(time, segment->targetRange);
    }

    std::shared_ptr<const CompositionFrame> answerFor(const AVFrame* decoded,
                                                      const PlayableSegment& segment) {
        if (answer) return answer;
        auto frame = packedFrame(decoded);
        if (!frame) return nullptr;
        const CMTime shift = segment.targetRange.start - segment.sourceRange.start;
        frame->sourceURL = segment.sourceURL;
        frame->sourceTime = currentTime;
        frame->time = CMTimeMaximum(currentTime + shift, segment.targetRange.start);
        // The last picture a source gives stays until its segment ends, also where the file
        // ends before the segment says.
        const CMTime end = next      ? nextTime + shift
                           : drained ? segment.targetRange.end()
                                     : frame->time + frameDuration;
        frame->duration = CMTimeMinimum(end, segment.targetRange.end()) - frame->time;
        answer = frame;
        return frame;
    }

    // Black on the frame grid of the gap.
    std::shared_ptr<const CompositionFrame> blackAt(CMTime time, CMTimeRange gap) {
        auto frame = blackFrame(width, height);
        const double frames = CMTimeGetSeconds(time - gap.start) / CMTimeGetSeconds(frameDuration);
        frame->time = gap.start + CMTimeMultiply(frameDuration, int64_t(frames));
        if (frame->time > time) frame->time = frame->time - frameDuration;
        frame->duration = CMTimeMinimum(frame->time + frameDuration, gap.end()) - frame->time;
        return frame;
    }
};

CompositionVideoReader::CompositionVideoReader(
    std::shared_ptr<const PlayableComposition> composition)
    : state_(std::make_unique<State>()) {
    state_->composition = std::move(composition);
    if (state_->composition)
        if (const auto* track = firstVideoTrack(*state_->composition))
            state_->segments = track->segments();
    state_->describePictures();
}

CompositionVideoReader::~CompositionVideoReader() = default;

CMTime CompositionVideoReader::frameDuration() const {
    return state_->frameDuration;
}

CMTime CompositionVideoReader::duration() const {
    return state_->segments.empty() ? kCMTimeZero : state_->segments.back().targetRange.end();
}

std::shared_ptr<const CompositionFrame> CompositionVideoReader::frameAtTime(CMTime time) {
    return state_->frameAt(time);
}

std::shared_ptr<const CompositionFrame> CompositionVideoReader::frameAfter(
    const CompositionFrame& frame) {
    return state_->frameAt(frame.time + frame.duration);
}

std::shared_ptr<const CompositionFrame> CompositionVideoReader::frameBefore(
    const CompositionFrame& frame) {
    // The latest time before the frame's start that the time's scale can say.
    const CMTime start = frame.time;
    const CMTime justBefore = start - CMTimeMake(1, std::max(start.timescale, 1000000));
    return state_->frameAt(justBefore);
}

}  // namespace vorlane
