#include "platform/media/MovieWriter.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/timecode.h>
}

#include <algorithm>
#include <array>
#include <cerrno>

#include "platform/Text.h"
#include "platform/ffmpeg/AtomicOutput.h"
#include "platform/media/MovieTrackSources.h"

namespace vorlane {
namespace {

struct OutputDeleter {
    void operator()(AVFormatContext* format) const { avformat_free_context(format); }
};
using OutputPtr = std::unique_ptr<AVFormatContext, OutputDeleter>;

MovieWriteResult result(MovieWriteStatus status, std::string message) {
    return {status, std::move(message)};
}

std::string libraryErrorText(int error) {
    std::array<char, AV_ERROR_MAX_STRING_SIZE> text{};
    av_strerror(error, text.data(), text.size());
    return text.data();
}

// The timecode text the muxer turns into its timecode track.
std::string timecodeText(const MovieTimecode& timecode) {
    AVTimecode converter{};
    const AVRational rate{timecode.rateNumerator, timecode.rateDenominator};
    const int flags =
        AV_TIMECODE_FLAG_24HOURSMAX | (timecode.dropFrame ? AV_TIMECODE_FLAG_DROPFRAME : 0);
    if (av_timecode_init(&converter, rate, flags, 0, nullptr) < 0) return {};
    std::array<char, AV_TIMECODE_STR_SIZE> text{};
    av_timecode_make_string(&converter, text.data(), int(timecode.frameNumber));
    return text.data();
}

// The muxer marks a timecode track as drop frame or not; it also wraps at 24 hours, which the
// sample description says with its flag 2. Sets that flag in the written description
// ('tmcd', reserved, data reference index 1, reserved, then the flags).
bool markTimecodeWrapsAt24Hours(AtomicOutput& output) {
    static constexpr uint8_t kHead[] = {'t', 'm', 'c', 'd', 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0};
    const std::vector<uint8_t>& bytes = output.trailer();
    const auto found = std::search(bytes.begin(), bytes.end(), std::begin(kHead), std::end(kHead));
    if (found == bytes.end() || bytes.end() - found < std::ptrdiff_t(sizeof kHead) + 4)
        return false;
    const size_t flagsAt = size_t(found - bytes.begin()) + sizeof kHead;
    std::array<uint8_t, 4> flags{bytes[flagsAt], bytes[flagsAt + 1], bytes[flagsAt + 2],
                                 uint8_t(bytes[flagsAt + 3] | 0x02)};
    return output.overwrite(output.trailerOffset() + flagsAt, flags);
}

class LibraryMovieWriter : public MovieWriter {
  public:
    MovieWriteResult writeMovie(const MovieWriterJob& job,
                                const MovieWriterObserver& observer) override {
        const bool movie = job.fileType == MovieFileType::QuickTimeMovie;
        std::vector<std::unique_ptr<MovieTrackSource>> sources;
        for (const MovieTrackJob& track : job.tracks) {
            if (!movie && track.mediaType != AssetMediaType::Audio) continue;
            // A WAVE file holds one sound stream.
            if (!movie && !sources.empty()) break;
            sources.push_back(MovieTrackSource::forTrack(track, job.video));
        }
        if (sources.empty()) return result(MovieWriteStatus::NoSource, "nothing to write");

        AVFormatContext* allocated = nullptr;
        avformat_alloc_output_context2(&allocated, nullptr, movie ? "mov" : "wav", nullptr);
        OutputPtr format(allocated);
        if (!format) return result(MovieWriteStatus::CannotSetUp, "no muxer for the file type");
        for (const auto& source : sources)
            if (!source->addStream(format.get())) return source->failure();
        if (movie) describeMovie(job, *format);

        std::string failure;
        auto output = AtomicOutput::create(job.destination, failure);
        if (!output)
            return result(failure == systemErrorText(ENOSPC) ? MovieWriteStatus::DiskFull
                                                             : MovieWriteStatus::WriteFailed,
                          failure);
        format->pb = output->io();
        format->flags |= AVFMT_FLAG_CUSTOM_IO;
        AVDictionary* options = nullptr;
        av_dict_set(&options, movie ? "movflags" : "rf64", movie ? "use_metadata_tags" : "auto", 0);
        if (movie && job.movieTimeScale > 0)
            av_dict_set_int(&options, "movie_timescale", job.movieTimeScale, 0);
        const int header = avformat_write_header(format.get(), &options);
        av_dict_free(&options);
        if (header < 0) return writeFailure(*output, "cannot start the file: ", header);

        MovieWriteResult pumped = pump(*format, sources, observer);
        if (pumped.status != MovieWriteStatus::Written) {
            format->pb = nullptr;
            return pumped.status == MovieWriteStatus::WriteFailed
                       ? writeFailure(*output, "", AVERROR(EIO))
                       : pumped;
        }
        output->markTrailer();
        const int trailer = av_write_trailer(format.get());
        if (trailer < 0) return writeFailure(*output, "cannot end the file: ", trailer);
        if (movie && job.timecode) markTimecodeWrapsAt24Hours(*output);
        if (!output->commit()) return writeFailure(*output, "", AVERROR(EIO));
        return {};
    }

  private:
    // Timecode track and metadata of a QuickTime movie.
    static void describeMovie(const MovieWriterJob& job, AVFormatContext& format) {
        for (const auto& [key, value] : job.metadata)
            av_dict_set(&format.metadata, key.c_str(), value.c_str(), 0);
        if (!job.timecode) return;
        const std::string text = timecodeText(*job.timecode);
        for (unsigned index = 0; index < format.nb_streams && !text.empty(); ++index) {
            AVStream* stream = format.streams[index];
            if (stream->codecpar->codec_type != AVMEDIA_TYPE_VIDEO) continue;
            // The muxer counts the timecode's frames at the picture's rate.
            stream->avg_frame_rate =
                AVRational{job.timecode->rateNumerator, job.timecode->rateDenominator};
            av_dict_set(&stream->metadata, "timecode", text.c_str(), 0);
            break;
        }
    }

    static MovieWriteResult writeFailure(const AtomicOutput& output, const std::string& what,
                                         int error) {
        if (output.diskFull()) return result(MovieWriteStatus::DiskFull, systemErrorText(ENOSPC));
        const std::string reason =
            output.writeFailure().empty() ? libraryErrorText(error) : output.writeFailure();
        return result(MovieWriteStatus::WriteFailed, what + reason);
    }

    // Writes the sources' packets in the order of their decoding times until all are done.
    static MovieWriteResult pump(AVFormatContext& format,
                                 const std::vector<std::unique_ptr<MovieTrackSource>>& sources,
                                 const MovieWriterObserver& observer) {
        std::vector<PacketPtr> next(sources.size());
        for (size_t index = 0; index < sources.size(); ++index) {
            next[index] = sources[index]->nextPacket();
            if (sources[index]->failed()) return sources[index]->failure();
        }
        double written = 0;
        while (true) {
            if (observer.cancelled && observer.cancelled())
                return result(MovieWriteStatus::Cancelled, "manually stopped");
            const size_t earliest = earliestPacket(next, sources);
            if (earliest == next.size()) return {};
            MovieTrackSource& source = *sources[earliest];
            written += double(next[earliest]->duration) * av_q2d(source.stream()->time_base);
            const int error = av_interleaved_write_frame(&format, next[earliest].get());
            if (error < 0) return result(MovieWriteStatus::WriteFailed, libraryErrorText(error));
            if (observer.progress) observer.progress(written);
            next[earliest] = source.nextPacket();
            if (source.failed()) return source.failure();
        }
    }

    // The source whose packet decodes first; the count when none is left.
    static size_t earliestPacket(const std::vector<PacketPtr>& next,
                                 const std::vector<std::unique_ptr<MovieTrackSource>>& sources) {
        size_t earliest = next.size();
        for (size_t index = 0; index < next.size(); ++index) {
            if (!next[index]) continue;
            if (earliest == next.size() ||
                av_compare_ts(next[index]->dts, sources[index]->stream()->time_base,
                              next[earliest]->dts, sources[earliest]->stream()->time_base) < 0)
                earliest = index;
        }
        return earliest;
    }
};

}  // namespace

std::shared_ptr<MovieWriter> MovieWriter::standardWriter() {
    return std::make_shared<LibraryMovieWriter>();
}

bool MovieWriter::encoderAvailable(const std::string& name) {
    return avcodec_find_encoder_by_name(name.c_str()) != nullptr;
}

}  // namespace vorlane
