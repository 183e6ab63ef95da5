// The LTC decoder: finds linear timecode (LTC, the 80-bit biphase-mark frame of SMPTE 12M,
// forward running) in the channels of one window of sound and turns the first trustworthy pair
// of frames (frame B = frame A + 1) of each channel into the timecode at the window's time
// zero, of type TCTypeAudio, with the frame's user bits. Samples in, timecodes out: the caller
// reads the sound (media/LtcReader.h reads a file's windows and attaches what is found).
//
// The window comes in pieces of any size and is decoded in blocks of two to four seconds (a
// window shorter than four seconds is one block), so memory stays bounded however long the
// window is. Per block and channel the edge thresholds follow the block's levels (DC offset and
// RMS) and, unless a rate is given, the whole LTC rate is detected over the block's bit cells;
// everything else (edges, bits, frames, the rate measurement) carries over from block to block.
// With edge setting 0 a second, sharpened reading runs beside the plain one, on the blocks in
// which the plain one sees bit cells of LTC (every block when the rate is given); it serves a
// channel whose plain reading found nothing in the whole window (LTC that went through a
// low-pass). Decoding a channel stops once it has its timecode, and the window once every channel
// has.
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
#include <vector>

#include "platform/CMTime.h"
#include "timecode/ltc/LtcChannelDecoder.h"
#include "timecode/ltc/LtcReadingAlgorithm.h"
#include "timecode/ltc/PcmSamples.h"

namespace vorlane {

class TCHelper;

struct LtcDecoderSettings {
    double readingFrameRate = 0.0;   // 0 detects the rate per block and channel
    double videoFrameRate = 0.0;     // the file's video rate; 0 without video
    int32_t readingOffset = 0;       // frames added to every timecode (a user correction)
    int32_t preferredTimescale = 0;  // of the start times; 0 takes the sample rate
    LtcReadingAlgorithm readingAlgorithm = LtcReadingAlgorithm::AdaptiveThresholds;
};

// A channel's DC offset and the RMS level around it, in 16-bit sample units.
struct LtcChannelLevels {
    double dcOffset = 0.0;
    double rms = 0.0;

    static LtcChannelLevels measure(const int16_t* values, size_t count);
};

class LtcDecoder {
  public:
    struct ChannelTimecode {
        int64_t channel = 0;
        std::shared_ptr<TCHelper> timecode;
    };
    struct Result {
        std::vector<ChannelTimecode> timecodes;  // in the order of the channels decoded
        uint64_t channelMask = 0;                // bit n: channel n gave a timecode
        bool abandoned = false;                  // an unusable frame rate ended the decoding
    };

    // Decodes `channels` (each below 64) of a window of `windowFrames` sample frames at
    // `sampleRate` whose first frame sits at `startTime` of the file. Sound at a rate outside
    // 1 kHz to 768 kHz is not decoded (the decoder is complete at once and finds nothing).
    LtcDecoder(const LtcDecoderSettings& settings, std::vector<int64_t> channels, double sampleRate,
               CMTime startTime, int64_t windowFrames);
    ~LtcDecoder();
    LtcDecoder(const LtcDecoder&) = delete;
    LtcDecoder& operator=(const LtcDecoder&) = delete;

    // The next samples of the window; their channel count must cover the channels decoded.
    void decode(const PcmSamples& samples);
    // Every channel has its timecode, or the decoding was abandoned: more samples change nothing.
    bool complete() const;
    // The window ends.
    Result finish();

    // All of a window held in memory, decoded at once.
    static Result decodeWindow(const LtcDecoderSettings& settings, std::vector<int64_t> channels,
                               const PcmSamples& samples, double sampleRate,
                               CMTime startTime = kCMTimeZero);

  private:
    struct Channel;
    // The whole rate detected over a block (0 when the cells do not fit one), and whether the
    // block holds bit cells of LTC at all: full and half cells in LTC's proportions, the half
    // cells half as long, though perhaps at no rate the detection accepts.
    struct RateDetection {
        double rate = 0.0;
        bool bitCells = false;
    };
    // What one reading of a channel decodes in a block: window positions [from, to).
    struct BlockReading {
        LtcChannelSamples samples;
        int64_t from = 0;
        int64_t to = 0;
        int32_t upper = 0;
        int32_t lower = 0;
        bool newSamples = false;  // the block brought samples, so levels and rate are new
        bool lastBlock = false;
    };

    void takeBlock(bool lastBlock);
    void decodeBlock(Channel& channel, bool lastBlock);

    // Sets the block's rate (given, detected, or none when the reading is not wanted) and
    // decodes; answers whether the block held bit cells of LTC.
    bool decodeReading(LtcChannelDecoder& reading, const BlockReading& block, bool wanted) const;
    RateDetection detectFrameRate(LtcEdgeSignal signal, const LtcChannelSamples& samples,
                                  int64_t from, int64_t to, int32_t upper, int32_t lower) const;
    // The thresholds of the edge setting for the block's levels.
    std::pair<int32_t, int32_t> thresholds(const LtcChannelLevels& levels) const;
    void settleChannel(Channel& channel);
    double exactFrameRate(const LtcFramePair& pair) const;
    // The value frame B gives for the file's time zero; nullptr when the rate is unusable.
    std::shared_ptr<TCHelper> timecodeOfPair(const LtcFramePair& pair) const;
    CMTime startOnFrameGrid(CMTime start, double rate, int32_t timescale) const;
    int64_t blockEnd() const;

    LtcDecoderSettings settings_;
    double sampleRate_;
    CMTime startTime_;
    int64_t windowFrames_;
    int64_t blockFrames_;
    int64_t blockCount_;
    int64_t blockIndex_ = 0;
    int64_t blockStart_ = 0;  // window position of the block being filled
    int64_t filled_ = 0;      // frames of it received
    std::vector<std::unique_ptr<Channel>> channels_;
    bool abandoned_ = false;
};

}  // namespace vorlane
