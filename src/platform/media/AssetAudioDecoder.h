// Decoding one audio track of an asset over a time range to interleaved little-endian signed
// integer PCM, what the design's asset reader with linear PCM output settings delivers. Works
// for linear PCM in any container and for compressed sound (AAC, MP3, AC-3, ...).
//
// Range semantics: sample frame k of the result sits at asset time (first + k) ÷ rate, with
// first = the range start rounded to the nearest sample; the result holds the frames up to the
// range end rounded the same way. Decoding starts at a sync point well before the range (half a
// second of pre-roll for compressed formats, so overlapping transforms and bit reservoirs
// settle) and discards up to the exact first frame, so a range gives the same samples as one
// decode of the whole track. Encoder delay (AAC priming, MP3 encoder and decoder delay) is
// removed as the container declares it. Stretches inside the range where the track has no
// sound (before its first sample, gaps) are silence; the result ends early where the track
// ends or cannot be read further.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "platform/CMTime.h"

namespace vorlane {

class MediaAsset;

struct DecodedAudio {
    int32_t channelCount = 0;
    int32_t sampleRate = 0;
    int32_t bitDepth = 0;               // 8, 16, 24 (packed in 3 bytes) or 32
    CMTime startTime = kCMTimeInvalid;  // asset time of the first frame
    int64_t frameCount = 0;
    std::vector<uint8_t> samples;  // frameCount × channelCount × bitDepth ÷ 8 bytes

    uint32_t bytesPerFrame() const { return uint32_t(channelCount) * uint32_t(bitDepth / 8); }
};

// The range read piece by piece, so that memory stays bounded however long the range is. The
// reader holds the asset's demuxer while it lives: other uses of the asset wait until it is gone.
class AudioTrackReader {
  public:
    // Nothing when the track is not a readable audio track (its sample rate outside 1 kHz to
    // 768 kHz included), the range is invalid or starts before zero, or the bit depth is not
    // 8, 16, 24 or 32.
    static std::unique_ptr<AudioTrackReader> open(const MediaAsset& asset, int32_t trackID,
                                                  CMTimeRange range, int32_t bitDepth);
    ~AudioTrackReader();
    AudioTrackReader(const AudioTrackReader&) = delete;
    AudioTrackReader& operator=(const AudioTrackReader&) = delete;

    int32_t channelCount() const;
    int32_t sampleRate() const;
    int32_t bitDepth() const;
    CMTime startTime() const;    // asset time of the first frame
    int64_t frameCount() const;  // frames the range spans; fewer when the track ends early
    uint32_t bytesPerFrame() const { return uint32_t(channelCount()) * uint32_t(bitDepth() / 8); }

    // Replaces `bytes` with the next frames of the range, at most `maxFrames`; false (and
    // `bytes` empty) once the range is complete or the track ends.
    bool readFrames(std::vector<uint8_t>& bytes, int64_t maxFrames);

  private:
    class Stream;
    explicit AudioTrackReader(std::unique_ptr<Stream> stream);
    std::unique_ptr<Stream> stream_;
};

// The whole range in memory. Nothing as for AudioTrackReader::open, and for ranges of more
// than 16 GiB of samples.
std::optional<DecodedAudio> decodeAudioTrack(const MediaAsset& asset, int32_t trackID,
                                             CMTimeRange range, int32_t bitDepth);

}  // namespace vorlane
