// Finds linear timecode (LTC, the 80-bit biphase-mark frame, forward running) in a media file's
// audio, decodes it and attaches the first trustworthy pair of frames (frame B = frame A + 1) per
// channel as the file's audio timecode: the timecode at the file's time zero, of type
// TCTypeAudio, with the frame's user bits and a readable source. Only short windows of the file
// are read (reading-window settings 0-4), through an AudioBufferReader per track and window.
//
// One decoder serves one request: create it, set the parameters, call findAudioTimecode() once.
// A decoder made without a file decodes sample buffers held in memory (findTimecodesInBuffer) by
// the same rules; the step operations (restartWithChannel, findSync, readFrame ...) work on the
// buffer reader in use and are public for tests and benchmarks.
//
// Frame rate: a rate given in readingFrameRate is used as given. Detected automatically, the bit
// cells only tell a whole rate (24, 25, 30), and tell it badly at low sample rates. The rate of
// the result is then measured over the frames that follow the pair (the samples whole frames
// span, at least ten of them) and taken as the nearest LTC rate: 23.976, 24, 25, 29.97 or 30.
// Without enough frames a detected 30 with the drop-frame flag is 29.97, and a detected 24 or 30
// over video at the NTSC rate (or twice it) is 23.976 or 29.97. So NTSC timecode converts at
// 1001/24000 and 1001/30000 s per frame like every other device's.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/CMTime.h"

namespace vorlane {

class AudioBufferReader;
class MediaAsset;
class MediaFile;
class MediaTrack;
class TCHelper;

class LtcReader {
  public:
    // Nothing when the file is missing or has no audio.
    static std::unique_ptr<LtcReader> initWithMediaFile(std::shared_ptr<MediaFile> mediaFile);
    // A decoder without a file, for buffers held in memory.
    LtcReader();
    ~LtcReader();
    LtcReader(const LtcReader&) = delete;
    LtcReader& operator=(const LtcReader&) = delete;

    // Parameters, set before findAudioTimecode(). Track and channel −1 mean all; a frame rate
    // of 0 means detect per channel and window.
    double readingFrameRate() const { return readingFrameRate_; }
    void setReadingFrameRate(double rate) { readingFrameRate_ = rate; }
    double videoFrameRate() const { return videoFrameRate_; }
    void setVideoFrameRate(double rate) { videoFrameRate_ = rate; }
    int64_t readingTrack() const { return readingTrack_; }
    void setReadingTrack(int64_t track) { readingTrack_ = track; }
    int64_t readingChannel() const { return readingChannel_; }
    void setReadingChannel(int64_t channel) { readingChannel_ = channel; }
    int32_t readingOffset() const { return readingOffset_; }
    void setReadingOffset(int32_t frames) { readingOffset_ = frames; }
    // Timescale of the start times found; 0 takes the buffer's sample rate.
    int32_t preferredTimescale() const { return preferredTimescale_; }
    void setPreferredTimescale(int32_t timescale) { preferredTimescale_ = timescale; }
    int32_t readingRanges() const { return readingRanges_; }
    void setReadingRanges(int32_t setting) { readingRanges_ = setting; }
    int32_t readingAlgorithm() const { return readingAlgorithm_; }
    void setReadingAlgorithm(int32_t setting) { readingAlgorithm_ = setting; }

    // The whole pass over the file: replaces its audio timecodes with those found and sets the
    // channel mask of every examined audio track. Answers the file's hasAudioTimecode(), or
    // false when the pass is abandoned (track index out of range, reading-window setting above
    // 4, an unusable frame rate).
    bool findAudioTimecode();

    // The reading windows of the setting in the order tried (start, length); nothing for a
    // setting outside 0-4. Windows may start before zero; no reader opens for them.
    std::optional<std::vector<CMTimeRange>> readingTimeRanges() const;

    // The in-memory entry: decodes the reader's channels (readingChannel or all) as one window
    // of the pass does. Start times are file times of the reader (its start time is time zero's
    // offset); sources read "on channel N".
    struct BufferResult {
        std::vector<std::shared_ptr<TCHelper>> timecodes;
        uint64_t channelMask = 0;  // bit n: channel n gave a timecode
        bool abandoned = false;    // an unusable frame rate ended the decoding
    };
    BufferResult findTimecodesInBuffer(std::shared_ptr<AudioBufferReader> reader);

    // Step operations on the buffer reader in use.
    void setBufferReader(std::shared_ptr<AudioBufferReader> reader);
    AudioBufferReader* bufferReader() const { return bufferReader_.get(); }
    // Decodes one channel from its first sample: thresholds from the edge setting, unsynced.
    void restartWithChannel(int64_t channel);
    // Frame rate in use and the bit periods that follow from it (0 accepts no bit).
    void setReaderFrameRate(double rate);
    // Detects the whole LTC rate over the rest of the window; false when it cannot.
    bool findFrameRate();
    // Seconds between two accepted edges; 0 at the end of the samples.
    double nextBitPeriod();
    // 1, 0, or −1 for no valid bit.
    int nextBitValue();
    // Advances to the end of the next sync word; true when synced.
    bool findSync();
    // Reads and checks the next 80 bits: the nominal label count (frames + rate × seconds,
    // without drop-frame correction) and the 32 user bits (delivered even when checks fail).
    bool readFrame(int64_t& frameCount, uint32_t& userBits);
    // "FPS: %02.02f, Track: %ld, Chan: %ld, Algorithm: %d, Ranges: %d".
    std::string description() const;

    // State.
    int64_t currentAudioChannel() const { return currentAudioChannel_; }
    double frameRate() const { return frameRate_; }
    bool dropFrame() const { return dropFrame_; }
    int32_t hysteresisPositive() const { return hysteresisPositive_; }
    int32_t hysteresisNegative() const { return hysteresisNegative_; }
    int64_t syncwordPosition() const { return syncwordPosition_; }
    bool syncedToBitStream() const { return syncedToBitStream_; }
    // What the last findAudioTimecode() read: sample frames decoded over all windows and bytes
    // read from the file.
    int64_t samplesDecoded() const { return samplesDecoded_; }
    uint64_t bytesRead() const { return bytesRead_; }

  private:
    struct ChannelTimecode {
        int64_t channel = 0;
        std::shared_ptr<TCHelper> timecode;
    };
    // A pair of frames read: frame B's label (seconds of the day and frames), drop-frame flag and
    // user bits, the sample time at its end, and whole frames read with the samples they span,
    // for measuring the rate.
    struct FramePair {
        int64_t labelSeconds = 0;
        int64_t labelFrames = 0;
        uint32_t userBits = 0;
        bool dropFrame = false;
        CMTime endTime = kCMTimeInvalid;
        int64_t measuredFrames = 0;
        int64_t measuredSamples = 0;
    };

    // Decodes the channels of the buffer in use whose bit in `mask` is clear; nothing when the
    // pass must be abandoned.
    std::optional<std::vector<ChannelTimecode>> decodeChannels(uint64_t& mask);
    // One reading of a channel; false when the pass must be abandoned.
    bool decodeChannel(int64_t channel, uint64_t& mask, std::vector<ChannelTimecode>& found);
    std::optional<FramePair> findFramePair();
    // Reads on past a pair, adding every whole frame read over up to two seconds.
    void measureFrames(FramePair& pair);
    double exactFrameRate(const FramePair& pair) const;
    // The value frame B gives for the file's time zero; nullptr when the rate is unusable.
    std::shared_ptr<TCHelper> timecodeOfPair(const FramePair& pair) const;
    std::shared_ptr<MediaAsset> openAsset() const;
    // The next accepted edge of the signal the edge setting compares (a function of the
    // position in the channel's samples).
    template <typename Signal>
    double nextEdge(const Signal& signal);
    bool edgeConfirmed(bool rising) const;

    std::shared_ptr<MediaFile> mediaFile_;
    double readingFrameRate_ = 0.0;
    double videoFrameRate_ = 0.0;
    int64_t readingTrack_ = -1;
    int64_t readingChannel_ = -1;
    int32_t readingOffset_ = 0;
    int32_t preferredTimescale_ = 0;
    int32_t readingRanges_ = 0;
    int32_t readingAlgorithm_ = 0;

    std::shared_ptr<AudioBufferReader> bufferReader_;
    int64_t currentAudioChannel_ = 0;
    double frameRate_ = 0.0;
    bool dropFrame_ = false;
    double periodZERO_ = 0.0;
    double periodONE_ = 0.0;
    double periodZeroTolerance_ = 0.0;
    double periodOneTolerance_ = 0.0;
    double frameRateTolerance_ = 0.00005;
    int32_t hysteresisPositive_ = 0;
    int32_t hysteresisNegative_ = 0;
    int64_t lastPosition_ = 0;
    int64_t syncwordPosition_ = 0;
    bool syncedToBitStream_ = false;
    bool lastEdgeRising_ = false;
    bool lastEdgeFalling_ = false;
    uint8_t ltcin_data_[10] = {};
    // Weight of the slope added to the sample in the second reading of edge setting 0.
    double sharpening_ = 0.0;
    // The label of the last frame read that passed the checks.
    int64_t lastLabelSeconds_ = 0;
    int64_t lastLabelFrames_ = 0;
    int64_t samplesDecoded_ = 0;
    uint64_t bytesRead_ = 0;
};

}  // namespace vorlane
