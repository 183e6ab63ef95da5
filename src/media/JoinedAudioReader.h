// Sound of a track that is joined from other files' tracks (a recording split over several
// files): the requested range is read piece by piece from the segments' source files, one after
// the other, on one sample grid, as if it were one file. Gaps, and pieces that cannot be read or
// whose sound has another sample rate or channel count than the first readable piece, give
// silence of their length, so later pieces keep their places.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/CMTime.h"

namespace vorlane {

class AudioTrackReader;
class MediaAsset;
class MediaTrack;

class JoinedAudioReader {
  public:
    // Whether the track's segments show other tracks (then this reader, not the track's own
    // file, has its sound).
    static bool isJoinedTrack(const MediaTrack& track);
    // Nothing when the range is invalid or starts before zero, the bit depth is not 8, 16, 24 or
    // 32, or no piece of the range can be read.
    static std::unique_ptr<JoinedAudioReader> open(const MediaTrack& track, CMTimeRange range,
                                                   int32_t bitDepth);
    ~JoinedAudioReader();
    JoinedAudioReader(const JoinedAudioReader&) = delete;
    JoinedAudioReader& operator=(const JoinedAudioReader&) = delete;

    int32_t channelCount() const { return channelCount_; }
    int32_t sampleRate() const { return sampleRate_; }
    CMTime startTime() const { return CMTimeMake(firstFrame_, sampleRate_); }
    int64_t frameCount() const { return frameCount_; }
    uint32_t bytesPerFrame() const { return uint32_t(channelCount_) * uint32_t(bitDepth_ / 8); }
    // Replaces `bytes` with the next frames, at most `maxFrames`; false once the range is read.
    bool readFrames(std::vector<uint8_t>& bytes, int64_t maxFrames);

  private:
    // Frames of the range that one source shows, or silence (no source).
    struct Piece {
        std::shared_ptr<MediaTrack> source;
        CMTime sourceStart;  // source time of the piece's first frame
        int64_t frames = 0;
    };

    JoinedAudioReader(int32_t bitDepth, int32_t sampleRate, int32_t channelCount,
                      int64_t firstFrame, std::vector<Piece> pieces);
    void startPiece();
    void appendSilence(std::vector<uint8_t>& bytes, int64_t frames) const;

    int32_t bitDepth_;
    int32_t sampleRate_;
    int32_t channelCount_;
    int64_t firstFrame_;
    int64_t frameCount_ = 0;
    std::vector<Piece> pieces_;
    size_t current_ = 0;
    int64_t doneInPiece_ = 0;
    std::shared_ptr<MediaAsset> asset_;  // the file last opened, kept for its next piece
    std::unique_ptr<AudioTrackReader> reader_;
    std::vector<uint8_t> scratch_;
};

}  // namespace vorlane
