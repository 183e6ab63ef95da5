// The packets of one written track, made from its segment list: video packets copied from their
// sources, video decoded and encoded again, or sound decoded to linear PCM. Each source adds its
// stream to the muxer and then hands out packets in decoding order, timed in that stream's time
// base, until its segments are done. Private to src/platform/.
#pragma once

extern "C" {
#include <libavformat/avformat.h>
}

#include <memory>
#include <string>

#include "platform/ffmpeg/AssetContext.h"
#include "platform/media/MovieWriter.h"

namespace vorlane {

class MovieTrackSource {
  public:
    virtual ~MovieTrackSource() = default;

    // Adds the output stream to the muxer; false (failure() says why) when it cannot be made.
    virtual bool addStream(AVFormatContext* output) = 0;
    // The next packet, nullptr when the track is complete or failed (failed() tells).
    virtual PacketPtr nextPacket() = 0;

    AVStream* stream() const { return stream_; }
    bool failed() const { return failure_.status != MovieWriteStatus::Written; }
    const MovieWriteResult& failure() const { return failure_; }

    // The source that writes the track as the settings ask.
    static std::unique_ptr<MovieTrackSource> forTrack(const MovieTrackJob& track,
                                                      const MovieVideoSettings& video);

  protected:
    PacketPtr fail(MovieWriteStatus status, std::string message) {
        failure_ = {status, std::move(message)};
        return nullptr;
    }

    AVStream* stream_ = nullptr;
    MovieWriteResult failure_;
};

}  // namespace vorlane
