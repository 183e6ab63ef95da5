// The LTC reader's access to one audio track of a media file over one time range: the range is
// decoded through the platform's asset reader to interleaved little-endian 16-bit PCM and handed
// out piece by piece, so that a whole file never sits in memory. The pieces go to the LTC
// decoder (timecode/ltc/LtcDecoder.h), which reads 16 bits of every sample: the top 16 bits of
// wider integer samples (what the conversion keeps), 8-bit samples shifted up.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/CMTime.h"
#include "timecode/ltc/PcmSamples.h"

namespace vorlane {

class AudioTrackReader;
class JoinedAudioReader;
class MediaAsset;
class MediaTrack;

class AudioBufferReader {
  public:
    // Frames per piece unless asked otherwise: a third of a second at 48 kHz.
    static constexpr int64_t kPieceFrames = 16384;
    static constexpr int32_t kBitDepth = 16;

    // Opens the range of the track. `asset` is the opened media of the track's file; without
    // one it is opened from the file's mediaURL, for its sound only. A track joined from other
    // files' tracks (a recording split over several files) is read from those files, and `asset` is
    // not used. Nothing when the track's file has no audio or is not a media file, the asset cannot
    // be opened, the range starts before zero, the track is not a readable audio track or reports
    // no channels. The asset is busy while the reader lives.
    static std::unique_ptr<AudioBufferReader> initWithMediaTrack(
        const std::shared_ptr<MediaTrack>& track, CMTimeRange timeRange,
        std::shared_ptr<MediaAsset> asset = nullptr);
    ~AudioBufferReader();
    AudioBufferReader(const AudioBufferReader&) = delete;
    AudioBufferReader& operator=(const AudioBufferReader&) = delete;

    // The next piece of the range, at most `maxFrames` frames; none once the range is read or
    // the track ends. Valid until the next call.
    PcmSamples readSamples(int64_t maxFrames = kPieceFrames);

    double sampleRate() const { return sampleRate_; }
    int64_t totalChannels() const { return totalChannels_; }
    CMTimeRange timeRange() const { return timeRange_; }
    // File time of the first frame: the range's start on the sample grid.
    CMTime startTime() const { return startTime_; }
    // Frames the range spans (fewer arrive where the track ends early).
    int64_t totalSamples() const { return totalSamples_; }
    // Frames handed out so far.
    int64_t samplesRead() const { return samplesRead_; }

  private:
    AudioBufferReader(std::shared_ptr<MediaAsset> asset, std::unique_ptr<AudioTrackReader> reader,
                      CMTimeRange timeRange);
    AudioBufferReader(std::unique_ptr<JoinedAudioReader> joined, CMTimeRange timeRange);

    std::shared_ptr<MediaAsset> asset_;
    std::unique_ptr<AudioTrackReader> reader_;   // a file's own track
    std::unique_ptr<JoinedAudioReader> joined_;  // or a track joined from several files
    CMTimeRange timeRange_;
    CMTime startTime_;
    double sampleRate_;
    int64_t totalChannels_;
    int64_t totalSamples_;
    int64_t samplesRead_ = 0;
    std::vector<uint8_t> piece_;
};

}  // namespace vorlane
