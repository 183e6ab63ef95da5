#include "timecode/ltc/LtcDecoder.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "platform/SampleRateRange.h"
#include "timecode/TCHelper.h"

namespace vorlane {
namespace {

// A window is cut into blocks of this length to twice it, and of no more frames than this
// whatever the sample rate a file claims.
constexpr double kBlockSeconds = 2.0;
constexpr int64_t kMaxBlockFrames = int64_t(1) << 20;
// Channels a result's mask can mark.
constexpr int64_t kMaskChannels = 64;
// Samples kept before each block: the slope looks one back.
constexpr int64_t kHistory = 8;
// Bit periods that frame-rate detection counts as full cells and as half cells (seconds).
constexpr double kLongPeriodMin = 0.000333;
constexpr double kLongPeriodMax = 0.000666;
constexpr double kShortPeriodMin = 0.000133;
constexpr double kLongMeanMax = 0.00055;
constexpr double kShortMeanMin = 0.0002;
constexpr double kFrameRateTolerance = 0.00005;
// In LTC neither full nor half cells are more than this many times as many as the other kind
// (noise has many more short intervals than long ones).
constexpr int64_t kCellCountRatio = 8;
// The rate measured after a pair is trusted when at least this many frames were read, and taken
// as the nearest LTC rate within 2 %.
constexpr int64_t kRateMeasureMinimumFrames = 10;
constexpr double kLtcRates[] = {24000.0 / 1001.0, 24.0, 25.0, 30000.0 / 1001.0, 30.0};
constexpr double kLtcRateTolerance = 0.02;

// Edges are found up to this many samples late (slow edges, compressed sound).
constexpr int64_t kEdgeJitterSamples = 4;

bool sameRate(double lhs, double rhs) {
    return lhs > 0.0 && std::fabs(lhs - rhs) < 1e-9 * rhs;
}

}  // namespace

LtcChannelLevels LtcChannelLevels::measure(const int16_t* values, size_t count) {
    if (count == 0) return {};
    int64_t sum = 0;
    int64_t squares = 0;
    for (size_t i = 0; i < count; ++i) {
        sum += values[i];
        squares += int64_t(values[i]) * values[i];
    }
    const double mean = double(sum) / double(count);
    const double variance = (double(squares) - double(sum) * mean) / double(count);
    return {mean, std::sqrt(std::max(0.0, variance))};
}

struct LtcDecoder::Channel {
    Channel(int64_t channel, LtcReadingAlgorithm algorithm, double sampleRate, bool measureRate)
        : index(channel), plain(edgeSignalOf(algorithm, false), sampleRate, measureRate) {
        if (algorithm == LtcReadingAlgorithm::AdaptiveThresholds)
            sharpened.emplace(edgeSignalOf(algorithm, true), sampleRate, measureRate);
    }

    int64_t index;
    // Window positions [first, first + values.size()), from one before position 0 on (a copy of
    // sample 0).
    std::vector<int16_t> values = {0};
    int64_t first = -1;
    int64_t scanned = 0;  // positions before this one are decoded
    int32_t upper = 0;
    int32_t lower = 0;
    LtcChannelDecoder plain;
    // The second reading of edge setting 0; serves when the plain one finds nothing.
    std::optional<LtcChannelDecoder> sharpened;
    bool settled = false;
    bool unusable = false;  // its pair has no usable rate
    std::shared_ptr<TCHelper> timecode;
};

LtcDecoder::LtcDecoder(const LtcDecoderSettings& settings, std::vector<int64_t> channels,
                       double sampleRate, CMTime startTime, int64_t windowFrames)
    : settings_(settings),
      sampleRate_(sampleRate),
      startTime_(startTime),
      windowFrames_(std::max<int64_t>(windowFrames, 0)),
      blockFrames_(
          isPlausibleSampleRate(sampleRate)
              ? std::clamp<int64_t>(std::llround(kBlockSeconds * sampleRate), 1, kMaxBlockFrames)
              : 1) {
    blockCount_ = std::max<int64_t>(1, windowFrames_ / blockFrames_);
    // Sound at a rate no recorder uses has no channel worth reading.
    if (!isPlausibleSampleRate(sampleRate)) return;
    for (const int64_t channel : channels) {
        if (channel < 0 || channel >= kMaskChannels) continue;
        channels_.push_back(std::make_unique<Channel>(
            channel, settings.readingAlgorithm, sampleRate, settings.readingFrameRate == 0.0));
    }
}

LtcDecoder::~LtcDecoder() = default;

int64_t LtcDecoder::blockEnd() const {
    // In 128 bits: a window may span nearly all of int64_t.
    __extension__ typedef __int128 Int128;
    const int64_t planned =
        blockIndex_ + 1 < blockCount_
            ? int64_t(Int128(blockIndex_ + 1) * Int128(windowFrames_) / Int128(blockCount_))
            : std::numeric_limits<int64_t>::max();
    return std::min(planned, blockStart_ + 2 * blockFrames_);
}

void LtcDecoder::decode(const PcmSamples& samples) {
    size_t offset = 0;
    while (offset < samples.frameCount && !complete()) {
        const size_t count = size_t(std::min<int64_t>(int64_t(samples.frameCount - offset),
                                                      blockEnd() - (blockStart_ + filled_)));
        for (const auto& channel : channels_) {
            if (channel->settled) continue;
            if (channel->index >= samples.channelCount) {
                channel->settled = true;
                continue;
            }
            const size_t held = channel->values.size();
            channel->values.resize(held + count);
            samples.unpackChannel(channel->index, offset, count, channel->values.data() + held);
            if (channel->first < 0 && held == 1) channel->values[0] = channel->values[1];
        }
        filled_ += int64_t(count);
        offset += count;
        if (blockStart_ + filled_ == blockEnd()) takeBlock(false);
    }
}

bool LtcDecoder::complete() const {
    return abandoned_ || std::all_of(channels_.begin(), channels_.end(),
                                     [](const auto& channel) { return channel->settled; });
}

LtcDecoder::Result LtcDecoder::finish() {
    if (!abandoned_) takeBlock(true);
    Result result;
    for (const auto& channel : channels_) {
        if (channel->unusable) {
            result.abandoned = true;
            break;
        }
        if (!channel->timecode) continue;
        result.timecodes.push_back({channel->index, channel->timecode});
        result.channelMask |= uint64_t(1) << channel->index;
    }
    return result;
}

LtcDecoder::Result LtcDecoder::decodeWindow(const LtcDecoderSettings& settings,
                                            std::vector<int64_t> channels,
                                            const PcmSamples& samples, double sampleRate,
                                            CMTime startTime) {
    LtcDecoder decoder(settings, std::move(channels), sampleRate, startTime,
                       int64_t(samples.frameCount));
    decoder.decode(samples);
    return decoder.finish();
}

void LtcDecoder::takeBlock(bool lastBlock) {
    for (const auto& channel : channels_)
        if (!channel->settled) decodeBlock(*channel, lastBlock);
    blockStart_ += filled_;
    filled_ = 0;
    ++blockIndex_;
}

// The block's new samples set the thresholds and the rate; the samples a confirmation still
// has to look past are left for the next block.
void LtcDecoder::decodeBlock(Channel& channel, bool lastBlock) {
    const int64_t end = channel.first + int64_t(channel.values.size());
    const LtcChannelSamples samples{channel.values.data(), channel.first, end};
    const bool newSamples = end > blockStart_;
    if (newSamples) {
        std::tie(channel.upper, channel.lower) = thresholds(LtcChannelLevels::measure(
            channel.values.data() + (blockStart_ - channel.first), size_t(end - blockStart_)));
    }
    const int64_t lookAhead = channel.plain.edgeDetector().lookAhead();
    const int64_t to = lastBlock ? end : std::max(channel.scanned, end - lookAhead);
    const BlockReading block{samples,       channel.scanned, to,       channel.upper,
                             channel.lower, newSamples,      lastBlock};
    const bool bitCells = decodeReading(channel.plain, block, true);
    // The sharpened reading reads the blocks in which the plain one saw bit cells of LTC (it
    // does in LTC low-passed down to 300 Hz), and no others: music and noise are read once.
    if (channel.sharpened) decodeReading(*channel.sharpened, block, bitCells);
    channel.scanned = to;
    settleChannel(channel);
    if (lastBlock) return;
    const int64_t keep = std::max(channel.first, to - kHistory);
    channel.values.erase(channel.values.begin(),
                         channel.values.begin() + std::ptrdiff_t(keep - channel.first));
    channel.first = keep;
}

bool LtcDecoder::decodeReading(LtcChannelDecoder& reading, const BlockReading& block,
                               bool wanted) const {
    if (reading.pair()) return true;
    bool bitCells = true;
    if (block.newSamples) {
        RateDetection detection;
        if (wanted && settings_.readingFrameRate != 0.0)
            detection = {settings_.readingFrameRate, true};
        else if (wanted)
            detection = detectFrameRate(reading.edgeDetector().signal(), block.samples, block.from,
                                        block.to, block.upper, block.lower);
        reading.setFrameRate(detection.rate);
        bitCells = detection.bitCells;
    }
    if (reading.frameRate() > 0.0)
        reading.decode(block.samples, block.from, block.to, block.upper, block.lower);
    else
        reading.loseSync();
    if (block.lastBlock) reading.finish();
    return bitCells;
}

std::pair<int32_t, int32_t> LtcDecoder::thresholds(const LtcChannelLevels& levels) const {
    switch (settings_.readingAlgorithm) {
        case LtcReadingAlgorithm::AdaptiveThresholds:
        case LtcReadingAlgorithm::AdaptiveConfirmed:
            return {int32_t(levels.dcOffset + 0.7 * levels.rms),
                    int32_t(levels.dcOffset - 0.7 * levels.rms)};
        case LtcReadingAlgorithm::FixedThresholds128:
            return {128, -128};
        case LtcReadingAlgorithm::FixedThresholds4096:
            return {4096, -4096};
        case LtcReadingAlgorithm::Slope:
            return {int32_t(0.8 * levels.rms), int32_t(-0.8 * levels.rms)};
    }
    return {0, 0};
}

// The whole rate from the mean full and half bit cells of the block: 0 when they do not fit.
LtcDecoder::RateDetection LtcDecoder::detectFrameRate(LtcEdgeSignal signal,
                                                      const LtcChannelSamples& samples,
                                                      int64_t from, int64_t to, int32_t upper,
                                                      int32_t lower) const {
    LtcEdgeDetector detector(signal, sampleRate_, from);
    const double longMin = kLongPeriodMin * sampleRate_;
    const double longMax = kLongPeriodMax * sampleRate_;
    const double shortMin = kShortPeriodMin * sampleRate_;
    int discarded = 0;
    int64_t longSum = 0, shortSum = 0;
    int64_t longCount = 0, shortCount = 0;
    detector.scan(samples, from, to, upper, lower, [&](int64_t distance, int64_t) {
        const double period = double(distance);
        if (discarded < 2) {
            ++discarded;
        } else if (period > longMin && period < longMax) {
            longSum += distance;
            ++longCount;
        } else if (period > shortMin && period < longMin) {
            shortSum += distance;
            ++shortCount;
        }
        return true;
    });
    if (longCount == 0 || shortCount == 0) return {};
    const double longMean = double(longSum) / double(longCount) / sampleRate_;
    const double shortMean = double(shortSum) / double(shortCount) / sampleRate_;
    const bool halves = std::fabs(shortMean - 0.5 * longMean) < kFrameRateTolerance;
    RateDetection detection;
    detection.bitCells = halves && longCount <= kCellCountRatio * shortCount &&
                         shortCount <= kCellCountRatio * longCount;
    if (longMean < kLongMeanMax && shortMean > kShortMeanMin && halves) {
        detection.rate = std::round((1.0 / (80.0 * longMean) + 1.0 / (160.0 * shortMean)) * 0.5);
        detection.bitCells = true;
    }
    return detection;
}

// A channel is settled by its plain reading's pair, or at the window's end by the sharpened
// reading's.
void LtcDecoder::settleChannel(Channel& channel) {
    std::optional<LtcFramePair> pair = channel.plain.pair();
    const bool ended = channel.plain.complete();
    if (!pair && ended && channel.sharpened) pair = channel.sharpened->pair();
    if (!pair && !ended) return;
    channel.settled = true;
    if (!pair) return;
    channel.timecode = timecodeOfPair(*pair);
    channel.unusable = channel.timecode == nullptr;
    abandoned_ = abandoned_ || channel.unusable;
}

double LtcDecoder::exactFrameRate(const LtcFramePair& pair) const {
    const double whole = pair.frameRate;
    if (settings_.readingFrameRate != 0.0) return whole;
    if (pair.measuredFrames >= kRateMeasureMinimumFrames && pair.measuredSamples > 0) {
        const double measured =
            double(pair.measuredFrames) * sampleRate_ / double(pair.measuredSamples);
        double nearest = kLtcRates[0];
        for (const double rate : kLtcRates)
            if (std::fabs(measured - rate) < std::fabs(measured - nearest)) nearest = rate;
        if (std::fabs(measured - nearest) < kLtcRateTolerance * nearest) return nearest;
    }
    if (whole != 24.0 && whole != 30.0) return whole;
    const double ntsc = whole * 1000.0 / 1001.0;
    if (pair.dropFrame && whole == 30.0) return ntsc;
    const double video = TCHelper::quantizedFrameRate(settings_.videoFrameRate);
    if (sameRate(video, ntsc) || sameRate(video, 2.0 * ntsc)) return ntsc;
    return whole;
}

// The start at the timescale. A start that lies a few samples before a frame edge of the LTC, or
// after it but nearer than the timescale can tell, is taken as starting on that edge: LTC that
// begins with the file shows the frame in progress at its first sample, whatever the jitter of
// the edges and however the frame grid falls on the timescale's.
CMTime LtcDecoder::startOnFrameGrid(CMTime start, double rate, int32_t timescale) const {
    const CMTime converted =
        CMTimeConvertScale(start, timescale, CMTimeRoundingMethod::RoundHalfAwayFromZero);
    const CMTime frame = TCHelper::helperWithFrameRate(rate, false)->frameDuration();
    const CMTime inFrames =
        CMTimeConvertScale(start, frame.timescale, CMTimeRoundingMethod::RoundHalfAwayFromZero);
    const int64_t nearest =
        (inFrames.value + (inFrames.value < 0 ? -1 : 1) * frame.value / 2) / frame.value;
    const CMTime edge = CMTimeMultiply(frame, nearest);
    const CMTime jitter = CMTimeMake(kEdgeJitterSamples, CMTimeScale(sampleRate_));
    if (!(converted < edge) || CMTimeAdd(start, jitter) < edge) return converted;
    return CMTimeConvertScale(edge, timescale, CMTimeRoundingMethod::RoundTowardPositiveInfinity);
}

std::shared_ptr<TCHelper> LtcDecoder::timecodeOfPair(const LtcFramePair& pair) const {
    const double rate = TCHelper::quantizedFrameRate(exactFrameRate(pair));
    if (rate == 0.0) return nullptr;
    // The pair ends where the frame after B begins. The label counts frames at the rate of the
    // result, which a measurement may have corrected.
    const int64_t labelCount =
        pair.labelFrames + std::llround(rate) * pair.labelSeconds + 1 + settings_.readingOffset;
    const CMTime labelTime =
        TCHelper::helperWithFrameCount(labelCount, rate, pair.dropFrame)->dropFrameTime();
    const double video = TCHelper::quantizedFrameRate(settings_.videoFrameRate);
    const double resultRate = sameRate(video, 2.0 * rate) ? video : rate;
    const int32_t timescale =
        settings_.preferredTimescale > 0 ? settings_.preferredTimescale : CMTimeScale(sampleRate_);
    const CMTime endTime =
        CMTimeAdd(startTime_, CMTimeMake(pair.endPosition, CMTimeScale(sampleRate_)));
    const CMTime start = startOnFrameGrid(CMTimeSubtract(labelTime, endTime), rate, timescale);
    auto timecode = TCHelper::helperWithFrameRate(resultRate, pair.dropFrame);
    timecode->setTime(start);
    timecode->setType(TCTypeAudio);
    timecode->setRawUserBits(pair.userBits);
    return timecode;
}

}  // namespace vorlane
