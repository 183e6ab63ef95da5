// The FFmpeg side of an opened media asset: a demuxer reading through a FileReader (so bytes
// are counted and memory buffers work like files), the mapping between track IDs and streams,
// and conversions between stream timestamps and asset time. Private to src/platform/.
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/avutil.h>
}

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/CMTime.h"
#include "platform/FileReader.h"

namespace vorlane {

// A timestamp in a stream's time base as a rational time, exact where the time base allows;
// invalid for AV_NOPTS_VALUE or a time base that is not positive.
CMTime cmTimeFromTimestamp(int64_t timestamp, AVRational timeBase);

class AssetContext {
  public:
    // Opens the demuxer and reads the stream parameters; nullptr when nothing recognises the
    // bytes. `nameHint` (the file name) helps format detection by extension. With
    // `soundOnly`, a QuickTime or WAVE file whose header gives every sound stream's codec, rate
    // and channels is not probed further: its picture streams are left undecoded (probing
    // decodes a camera's first frames) and may lack their parameters.
    static std::unique_ptr<AssetContext> open(std::unique_ptr<FileReader> reader,
                                              const std::string& nameHint, bool soundOnly = false);
    ~AssetContext();
    AssetContext(const AssetContext&) = delete;
    AssetContext& operator=(const AssetContext&) = delete;

    // Every use of the demuxer holds this lock.
    std::mutex& mutex() const { return mutex_; }
    AVFormatContext* format() const { return format_; }
    uint64_t bytesRead() const { return reader_->bytesRead(); }

    // Track IDs, one per stream, and the way back; -1 for an unknown ID.
    int32_t trackIDOfStream(int streamIndex) const {
        return streamIndex >= 0 && size_t(streamIndex) < trackIDs_.size()
                   ? trackIDs_[size_t(streamIndex)]
                   : -1;
    }
    int streamIndexOfTrackID(int32_t trackID) const;

    // Asset time zero in container time.
    CMTime origin() const { return origin_; }
    CMTime assetTime(int64_t timestamp, AVRational timeBase) const;
    // An asset time as a timestamp of a stream, rounded down.
    int64_t streamTimestamp(CMTime assetTime, AVRational timeBase) const;

    // Bytes of the file read directly (not through the demuxer); nothing outside the file.
    std::optional<std::vector<uint8_t>> readBytes(uint64_t offset, size_t length) {
        return reader_->readBytes(offset, length);
    }

    // Moves the demuxer to the last sync sample of the stream at or before the timestamp (the
    // start of the file when that fails); false when no position could be taken at all.
    bool seekStream(int streamIndex, int64_t timestamp);

  private:
    AssetContext() = default;
    void assignTrackIDs();
    void findOrigin();

    std::unique_ptr<FileReader> reader_;
    uint64_t position_ = 0;
    AVIOContext* io_ = nullptr;
    AVFormatContext* format_ = nullptr;
    std::vector<int32_t> trackIDs_;
    CMTime origin_ = kCMTimeZero;
    mutable std::mutex mutex_;

    static int readPacket(void* opaque, uint8_t* buffer, int size);
    static int64_t seek(void* opaque, int64_t offset, int whence);
};

// Reads packets of one stream only: the demuxer skips the samples of every other stream (for
// QuickTime files without reading them) while the selection lives.
class SingleStreamSelection {
  public:
    SingleStreamSelection(AVFormatContext* format, int streamIndex);
    ~SingleStreamSelection();
    SingleStreamSelection(const SingleStreamSelection&) = delete;
    SingleStreamSelection& operator=(const SingleStreamSelection&) = delete;

  private:
    AVFormatContext* format_;
    std::vector<AVDiscard> saved_;
};

// Owning wrappers of the FFmpeg objects the decoders use.
struct PacketDeleter {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
struct FrameDeleter {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct CodecContextDeleter {
    void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
using PacketPtr = std::unique_ptr<AVPacket, PacketDeleter>;
using FramePtr = std::unique_ptr<AVFrame, FrameDeleter>;
using CodecContextPtr = std::unique_ptr<AVCodecContext, CodecContextDeleter>;

// A decoder opened for a stream's parameters; nullptr when none is available. One thread gives
// each frame as soon as its packet is in; 0 lets the decoder use every processor (frames then
// come out a few packets later).
CodecContextPtr openDecoder(const AVStream* stream, int threadCount = 1);

}  // namespace vorlane
