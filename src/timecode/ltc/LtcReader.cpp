#include "timecode/ltc/LtcReader.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "media/MediaFile.h"
#include "media/MediaTrack.h"
#include "platform/Log.h"
#include "platform/media/MediaAsset.h"
#include "timecode/TCHelper.h"
#include "timecode/ltc/AudioBufferReader.h"

namespace vorlane {
namespace {

// Crossings closer than this to the last edge are ignored (seconds).
constexpr double kMinimumEdgeDistance = 0.0001;
// Edge setting 4 confirms a crossing this much later (seconds).
constexpr double kConfirmationDelay = 0.00005;
// The sync word in transmission order, as it fills a register shifted from the right.
constexpr uint16_t kSyncWord = 0x3FFD;
// Bit periods that frame-rate detection counts as full cells and as half cells (seconds).
constexpr double kLongPeriodMin = 0.000333;
constexpr double kLongPeriodMax = 0.000666;
constexpr double kShortPeriodMin = 0.000133;
constexpr double kLongMeanMax = 0.00055;
constexpr double kShortMeanMin = 0.0002;
// Channels a track's mask can mark.
constexpr int64_t kMaskChannels = 64;
// The rate is measured over the frames read in up to this many seconds after a pair, trusted
// when at least this many frames were read, and taken as the nearest LTC rate within 2 %.
constexpr double kRateMeasureSeconds = 2.0;
constexpr int64_t kRateMeasureMinimumFrames = 10;
constexpr double kLtcRates[] = {24000.0 / 1001.0, 24.0, 25.0, 30000.0 / 1001.0, 30.0};
constexpr double kLtcRateTolerance = 0.02;
// The second reading of edge setting 0 compares sample + slope × this time in samples: the
// inverse of a one-pole low-pass near 1 kHz, which restores the edges of LTC filtered down to a
// few hundred hertz.
constexpr double kSharpeningSeconds = 0.000167;

enum EdgeSetting : int32_t {
    EdgeAdaptive = 0,
    EdgeFixedLow = 1,
    EdgeFixedHigh = 2,
    EdgeSlope = 3,
    EdgeAdaptiveConfirmed = 4,
};

bool sameRate(double lhs, double rhs) {
    return lhs > 0.0 && std::fabs(lhs - rhs) < 1e-9 * rhs;
}

int bcd(uint8_t units, uint8_t tens) {
    return units + 10 * tens;
}

std::string sourceText(int64_t channel, int32_t trackNumber, size_t fileAudioTracks,
                       uint32_t trackChannels) {
    char text[64];
    if (fileAudioTracks < 2)
        std::snprintf(text, sizeof text, "on channel %ld", long(channel + 1));
    else if (trackChannels < 2)
        std::snprintf(text, sizeof text, "on track %d", trackNumber);
    else
        std::snprintf(text, sizeof text, "on channel %ld of track %d", long(channel + 1),
                      trackNumber);
    return text;
}

}  // namespace

std::unique_ptr<LtcReader> LtcReader::initWithMediaFile(std::shared_ptr<MediaFile> mediaFile) {
    if (!mediaFile || !mediaFile->hasAudio()) return nullptr;
    auto reader = std::make_unique<LtcReader>();
    reader->preferredTimescale_ = mediaFile->bestTimeScale();
    reader->mediaFile_ = std::move(mediaFile);
    return reader;
}

LtcReader::LtcReader() = default;
LtcReader::~LtcReader() = default;

// ---- The pass --------------------------------------------------------------------------------

std::optional<std::vector<CMTimeRange>> LtcReader::readingTimeRanges() const {
    const int32_t timescale = preferredTimescale_ > 0 ? preferredTimescale_ : 600;
    const auto seconds = [timescale](int64_t count) {
        return CMTimeMake(count * timescale, timescale);
    };
    const CMTime start = seconds(0);
    const CMTime duration = mediaFile_ ? mediaFile_->duration() : kCMTimeZero;
    const CMTime middle = CMTimeMake(duration.value / 2, duration.timescale);
    switch (readingRanges_) {
        case 0:
            return std::vector{CMTimeRangeMake(start, seconds(1))};
        case 1:
            return std::vector{CMTimeRangeMake(middle, seconds(1))};
        case 2:
            return std::vector{CMTimeRangeMake(middle, seconds(2)),
                               CMTimeRangeMake(start, seconds(2)),
                               CMTimeRangeMake(duration - seconds(4), seconds(2))};
        case 3:
            return std::vector{CMTimeRangeMake(start, duration)};
        case 4:
            return std::vector{CMTimeRangeMake(start, seconds(1)),
                               CMTimeRangeMake(middle, seconds(1)),
                               CMTimeRangeMake(duration - seconds(2), seconds(1)),
                               CMTimeRangeMake(start, duration)};
        default:
            return std::nullopt;
    }
}

std::shared_ptr<MediaAsset> LtcReader::openAsset() const {
    const std::optional<std::filesystem::path> url = mediaFile_->mediaURL();
    return url ? MediaAsset::assetWithURL(*url) : nullptr;
}

bool LtcReader::findAudioTimecode() {
    if (!mediaFile_) return false;
    mediaFile_->removeAllAudioTimecodeTracks();
    const std::optional<std::vector<CMTimeRange>> windows = readingTimeRanges();
    if (!windows) return false;
    std::vector<std::shared_ptr<MediaTrack>> fileTracks;
    {
        std::lock_guard lock(mediaFile_->mutex());
        fileTracks = mediaFile_->audioTracks();
    }
    // Tracks to read with their number among the file's audio tracks.
    std::vector<std::pair<std::shared_ptr<MediaTrack>, int32_t>> tracks;
    if (readingTrack_ >= 0) {
        if (readingTrack_ >= int64_t(fileTracks.size())) return false;
        tracks.emplace_back(fileTracks[size_t(readingTrack_)], int32_t(readingTrack_ + 1));
    } else {
        for (size_t i = 0; i < fileTracks.size(); ++i)
            tracks.emplace_back(fileTracks[i], int32_t(i + 1));
    }
    if (tracks.empty()) return mediaFile_->hasAudioTimecode();

    const std::shared_ptr<MediaAsset> asset = openAsset();
    samplesDecoded_ = 0;
    int32_t index = 1;
    for (const auto& [track, trackNumber] : tracks) {
        uint64_t mask = 0;
        for (const CMTimeRange& window : *windows) {
            if (!asset) break;
            std::shared_ptr<AudioBufferReader> reader =
                AudioBufferReader::initWithMediaTrack(track, window, asset);
            if (!reader) continue;
            samplesDecoded_ += reader->totalSamples();
            bytesRead_ = asset->bytesRead();
            bufferReader_ = std::move(reader);
            const std::optional<std::vector<ChannelTimecode>> found = decodeChannels(mask);
            if (!found) {
                Log::writef("LtcReader: Unusable frame rate %.3f in %s, reading abandoned",
                            frameRate_, mediaFile_->name().c_str());
                return false;
            }
            for (const ChannelTimecode& item : *found) {
                item.timecode->setIndex(index++);
                item.timecode->setSource(sourceText(item.channel, trackNumber, fileTracks.size(),
                                                    track->audioChannelCount()));
                std::lock_guard lock(mediaFile_->mutex());
                mediaFile_->addTimecodeTrackWithTCHelper(item.timecode);
            }
            if (!found->empty()) break;
        }
        std::lock_guard lock(mediaFile_->mutex());
        track->setAudioChannelMask(mask);
    }
    bufferReader_.reset();
    return mediaFile_->hasAudioTimecode();
}

LtcReader::BufferResult LtcReader::findTimecodesInBuffer(
    std::shared_ptr<AudioBufferReader> reader) {
    BufferResult result;
    if (!reader) return result;
    bufferReader_ = std::move(reader);
    const std::optional<std::vector<ChannelTimecode>> found = decodeChannels(result.channelMask);
    result.abandoned = !found;
    int32_t index = 1;
    for (const ChannelTimecode& item : found.value_or(std::vector<ChannelTimecode>{})) {
        item.timecode->setIndex(index++);
        item.timecode->setSource(sourceText(item.channel, 1, 1, 1));
        result.timecodes.push_back(item.timecode);
    }
    return result;
}

std::optional<std::vector<LtcReader::ChannelTimecode>> LtcReader::decodeChannels(uint64_t& mask) {
    std::vector<ChannelTimecode> found;
    if (!bufferReader_) return found;
    const int64_t channelCount = bufferReader_->totalChannels();
    std::vector<int64_t> channels;
    if (readingChannel_ >= 0) {
        if (readingChannel_ < channelCount && readingChannel_ < kMaskChannels)
            channels.push_back(readingChannel_);
    } else {
        for (int64_t c = 0; c < channelCount && c < kMaskChannels; ++c)
            channels.push_back(c);
    }
    for (const int64_t channel : channels) {
        if (!decodeChannel(channel, mask, found)) return std::nullopt;
        // LTC that went through a low-pass (a narrow audio path, heavy compression) has edges
        // too slow for the thresholds; a second reading undoes much of the filter.
        if ((mask & (uint64_t(1) << channel)) == 0 && readingAlgorithm_ == EdgeAdaptive) {
            sharpening_ = kSharpeningSeconds * bufferReader_->sampleRate();
            const bool usable = decodeChannel(channel, mask, found);
            sharpening_ = 0.0;
            if (!usable) return std::nullopt;
        }
    }
    return found;
}

bool LtcReader::decodeChannel(int64_t channel, uint64_t& mask,
                              std::vector<ChannelTimecode>& found) {
    const uint64_t bit = uint64_t(1) << channel;
    if (readingFrameRate_ != 0.0) {
        setReaderFrameRate(readingFrameRate_);
    } else {
        restartWithChannel(channel);
        if (!findFrameRate()) setReaderFrameRate(0.0);
    }
    restartWithChannel(channel);
    while ((mask & bit) == 0) {
        const std::optional<FramePair> pair = findFramePair();
        if (!pair) break;
        std::shared_ptr<TCHelper> timecode = timecodeOfPair(*pair);
        if (!timecode) return false;
        found.push_back({channel, std::move(timecode)});
        mask |= bit;
    }
    return true;
}

std::optional<LtcReader::FramePair> LtcReader::findFramePair() {
    AudioBufferReader& reader = *bufferReader_;
    while (findSync()) {
        const int64_t startA = reader.currentPosition();
        int64_t countA = 0, countB = 0;
        uint32_t bitsA = 0, bitsB = 0;
        const bool readA = readFrame(countA, bitsA);
        const bool readB = readFrame(countB, bitsB);
        if (readA && readB && countB == countA + 1) {
            FramePair pair{lastLabelSeconds_,
                           lastLabelFrames_,
                           bitsB,
                           dropFrame_,
                           reader.currentSampleTime(),
                           2,
                           reader.currentPosition() - startA};
            if (readingFrameRate_ == 0.0) measureFrames(pair);
            return pair;
        }
        syncedToBitStream_ = false;
    }
    return std::nullopt;
}

// Frames read back to back span exactly their count; the detection delay of each edge cancels
// out but at the first and the last.
void LtcReader::measureFrames(FramePair& pair) {
    AudioBufferReader& reader = *bufferReader_;
    const int64_t limit =
        reader.currentPosition() + int64_t(kRateMeasureSeconds * reader.sampleRate());
    while (reader.currentPosition() < limit && findSync()) {
        const int64_t start = reader.currentPosition();
        int64_t count = 0;
        uint32_t bits = 0;
        if (readFrame(count, bits)) {
            ++pair.measuredFrames;
            pair.measuredSamples += reader.currentPosition() - start;
        } else {
            syncedToBitStream_ = false;
        }
    }
}

double LtcReader::exactFrameRate(const FramePair& pair) const {
    const double whole = frameRate_;
    if (readingFrameRate_ != 0.0) return whole;
    if (pair.measuredFrames >= kRateMeasureMinimumFrames && pair.measuredSamples > 0) {
        const double measured = double(pair.measuredFrames) * bufferReader_->sampleRate() /
                                double(pair.measuredSamples);
        double nearest = kLtcRates[0];
        for (const double rate : kLtcRates)
            if (std::fabs(measured - rate) < std::fabs(measured - nearest)) nearest = rate;
        if (std::fabs(measured - nearest) < kLtcRateTolerance * nearest) return nearest;
    }
    if (whole != 24.0 && whole != 30.0) return whole;
    const double ntsc = whole * 1000.0 / 1001.0;
    if (pair.dropFrame && whole == 30.0) return ntsc;
    const double video = TCHelper::quantizedFrameRate(videoFrameRate_);
    if (sameRate(video, ntsc) || sameRate(video, 2.0 * ntsc)) return ntsc;
    return whole;
}

std::shared_ptr<TCHelper> LtcReader::timecodeOfPair(const FramePair& pair) const {
    const double rate = TCHelper::quantizedFrameRate(exactFrameRate(pair));
    if (rate == 0.0) return nullptr;
    // The reader stands at the end of frame B, the start of the frame after it. The label counts
    // frames at the rate of the result, which a measurement may have corrected.
    const int64_t labelCount =
        pair.labelFrames + std::llround(rate) * pair.labelSeconds + 1 + readingOffset_;
    const CMTime labelTime =
        TCHelper::helperWithFrameCount(labelCount, rate, pair.dropFrame)->dropFrameTime();
    const double video = TCHelper::quantizedFrameRate(videoFrameRate_);
    const double resultRate = sameRate(video, 2.0 * rate) ? video : rate;
    const int32_t timescale =
        preferredTimescale_ > 0 ? preferredTimescale_ : CMTimeScale(bufferReader_->sampleRate());
    const CMTime start = CMTimeConvertScale(CMTimeSubtract(labelTime, pair.endTime), timescale,
                                            CMTimeRoundingMethod::RoundHalfAwayFromZero);
    auto timecode = TCHelper::helperWithFrameRate(resultRate, pair.dropFrame);
    timecode->setTime(start);
    timecode->setType(TCTypeAudio);
    timecode->setRawUserBits(pair.userBits);
    return timecode;
}

// ---- Steps -------------------------------------------------------------------------------------

void LtcReader::setBufferReader(std::shared_ptr<AudioBufferReader> reader) {
    bufferReader_ = std::move(reader);
}

void LtcReader::restartWithChannel(int64_t channel) {
    currentAudioChannel_ = channel;
    syncedToBitStream_ = false;
    std::memset(ltcin_data_, 0, sizeof ltcin_data_);
    frameRateTolerance_ = 0.00005;
    lastPosition_ = 0;
    syncwordPosition_ = 0;
    if (!bufferReader_) return;
    switch (readingAlgorithm_) {
        case EdgeAdaptive:
        case EdgeAdaptiveConfirmed: {
            const AudioBufferReaderChannelInfo info = bufferReader_->analyzeChannel(channel);
            hysteresisPositive_ = int32_t(info.analyzedDcOffset + 0.7 * info.analyzedRMS);
            hysteresisNegative_ = int32_t(info.analyzedDcOffset - 0.7 * info.analyzedRMS);
            break;
        }
        case EdgeFixedLow:
            hysteresisPositive_ = 128;
            hysteresisNegative_ = -128;
            break;
        case EdgeFixedHigh:
            hysteresisPositive_ = 4096;
            hysteresisNegative_ = -4096;
            break;
        case EdgeSlope: {
            const AudioBufferReaderChannelInfo info = bufferReader_->analyzeChannel(channel);
            hysteresisPositive_ = int32_t(0.8 * info.analyzedRMS);
            hysteresisNegative_ = int32_t(-0.8 * info.analyzedRMS);
            break;
        }
        default:
            break;
    }
    bufferReader_->restartWithChannel(channel);
}

void LtcReader::setReaderFrameRate(double rate) {
    frameRate_ = std::isfinite(rate) && rate > 0.0 ? rate : 0.0;
    periodZERO_ = frameRate_ > 0.0 ? 1.0 / (80.0 * frameRate_) : 0.0;
    periodONE_ = frameRate_ > 0.0 ? 1.0 / (160.0 * frameRate_) : 0.0;
    periodZeroTolerance_ = periodZERO_ / 2.0;
    periodOneTolerance_ = periodONE_ / 2.0;
}

bool LtcReader::findFrameRate() {
    if (!bufferReader_) return false;
    nextBitPeriod();
    nextBitPeriod();
    if (bufferReader_->finished()) return false;
    double longSum = 0.0, shortSum = 0.0;
    int64_t longCount = 0, shortCount = 0;
    for (double period = nextBitPeriod(); period > 0.0; period = nextBitPeriod()) {
        if (period > kLongPeriodMin && period < kLongPeriodMax) {
            longSum += period;
            ++longCount;
        } else if (period > kShortPeriodMin && period < kLongPeriodMin) {
            shortSum += period;
            ++shortCount;
        }
    }
    if (longCount == 0 || shortCount == 0) return false;
    const double longMean = longSum / double(longCount);
    const double shortMean = shortSum / double(shortCount);
    if (!(longMean < kLongMeanMax) || !(shortMean > kShortMeanMin) ||
        !(std::fabs(shortMean - 0.5 * longMean) < frameRateTolerance_)) {
        return false;
    }
    setReaderFrameRate(std::round((1.0 / (80.0 * longMean) + 1.0 / (160.0 * shortMean)) * 0.5));
    return true;
}

bool LtcReader::edgeConfirmed(bool rising) const {
    if (readingAlgorithm_ != EdgeAdaptiveConfirmed) return true;
    AudioBufferReader& reader = *bufferReader_;
    const int64_t position = reader.currentPosition();
    reader.setCurrentPosition(position + std::llround(reader.sampleRate() * kConfirmationDelay));
    const int32_t later = reader.currentValue();
    reader.setCurrentPosition(position);
    return rising ? later > hysteresisPositive_ : later < hysteresisNegative_;
}

double LtcReader::nextBitPeriod() {
    if (!bufferReader_ || bufferReader_->finished()) return 0.0;
    const int16_t* values = bufferReader_->channelValues();
    switch (readingAlgorithm_) {
        case EdgeAdaptive:
            if (sharpening_ > 0.0) {
                // The sample before position 1 is position 1 itself, as lastValue() answers.
                const double weight = sharpening_;
                return nextEdge([values, weight](int64_t position) {
                    const int32_t slope =
                        position < 2 ? 0 : values[position] - values[position - 1];
                    return values[position] + int32_t(weight * slope);
                });
            }
            [[fallthrough]];
        case EdgeFixedLow:
        case EdgeFixedHigh:
        case EdgeAdaptiveConfirmed:
            return nextEdge([values](int64_t position) { return int32_t(values[position]); });
        case EdgeSlope:
            return nextEdge([values](int64_t position) {
                const int32_t slope = position < 2 ? 0 : values[position] - values[position - 1];
                return int32_t(int16_t(uint16_t(slope)));
            });
        default:
            bufferReader_->setCurrentPosition(bufferReader_->totalSamples());
            return 0.0;
    }
}

// The Schmitt trigger over the channel's samples, with its state in locals; the reader's
// position follows.
template <typename Signal>
double LtcReader::nextEdge(const Signal& signal) {
    AudioBufferReader& reader = *bufferReader_;
    const int64_t total = reader.totalSamples();
    const double sampleRate = reader.sampleRate();
    const int32_t upper = hysteresisPositive_;
    const int32_t lower = hysteresisNegative_;
    for (int64_t position = reader.currentPosition(); position < total; ++position) {
        const int32_t value = signal(position);
        const bool rising = value > upper && !lastEdgeRising_;
        const bool falling = !rising && value < lower && !lastEdgeFalling_;
        if (!rising && !falling) continue;
        const double period = double(position - lastPosition_) / sampleRate;
        if (!(period > kMinimumEdgeDistance)) continue;
        reader.setCurrentPosition(position);
        if (!edgeConfirmed(rising)) continue;
        lastPosition_ = position;
        lastEdgeRising_ = rising;
        lastEdgeFalling_ = falling;
        reader.increment();
        return period;
    }
    reader.setCurrentPosition(total);
    return 0.0;
}

int LtcReader::nextBitValue() {
    const double first = nextBitPeriod();
    if (!bufferReader_ || bufferReader_->finished()) {
        syncedToBitStream_ = false;
        return -1;
    }
    const auto halfCell = [this](double period) {
        return period > periodONE_ - periodOneTolerance_ &&
               period < periodONE_ + periodOneTolerance_;
    };
    if (halfCell(first)) {
        if (halfCell(nextBitPeriod())) return 1;
        syncedToBitStream_ = false;
        return -1;
    }
    if (first > periodZERO_ - periodZeroTolerance_ && first < periodZERO_ + periodZeroTolerance_)
        return 0;
    syncedToBitStream_ = false;
    return -1;
}

bool LtcReader::findSync() {
    if (syncedToBitStream_) return true;
    if (!bufferReader_) return false;
    AudioBufferReader& reader = *bufferReader_;
    for (;;) {
        const int bit = nextBitValue();
        if (reader.finished()) return false;
        if (bit == 0) break;
    }
    uint16_t shiftRegister = nextBitValue() == 1 ? 1 : 0;
    while (shiftRegister != kSyncWord) {
        const int bit = nextBitValue();
        if (reader.finished()) {
            syncedToBitStream_ = false;
            return false;
        }
        shiftRegister = bit < 0 ? 0 : uint16_t(shiftRegister << 1);
        if (bit == 1) shiftRegister |= 1;
    }
    syncedToBitStream_ = true;
    syncwordPosition_ = reader.currentPosition();
    return true;
}

bool LtcReader::readFrame(int64_t& frameCount, uint32_t& userBits) {
    frameCount = 0;
    userBits = 0;
    if (!syncedToBitStream_) return false;
    for (uint8_t& byte : ltcin_data_) {
        for (int bit = 0; bit < 8; ++bit) {
            byte >>= 1;
            const int value = nextBitValue();
            if (value < 0) return false;
            if (value == 1) byte |= 0x80;
        }
    }
    const uint8_t* data = ltcin_data_;
    for (uint32_t k = 0; k < 8; ++k)
        userBits |= uint32_t(data[k] >> 4) << (4 * k);
    // Units digits above 9 are not BCD: a damaged frame, however its total reads.
    for (const int k : {0, 2, 4, 6})
        if ((data[k] & 0x0f) > 9) return false;
    const int frames = bcd(data[0] & 0x0f, data[1] & 0x03);
    const int seconds = bcd(data[2] & 0x0f, data[3] & 0x07);
    const int minutes = bcd(data[4] & 0x0f, data[5] & 0x07);
    const int hours = bcd(data[6] & 0x0f, data[7] & 0x03);
    const int64_t roundedRate = std::llround(frameRate_);
    if (hours > 23 || minutes > 59 || seconds > 59 || frames >= roundedRate) return false;
    if (data[8] != 0xfc || data[9] != 0xbf) return false;
    dropFrame_ = (data[1] & 0x04) != 0;
    lastLabelSeconds_ = int64_t(hours) * 3600 + minutes * 60 + seconds;
    lastLabelFrames_ = frames;
    frameCount = frames + roundedRate * lastLabelSeconds_;
    return true;
}

std::string LtcReader::description() const {
    char text[128];
    std::snprintf(text, sizeof text,
                  "FPS: %02.02f, Track: %ld, Chan: %ld, Algorithm: %d, Ranges: %d",
                  readingFrameRate_, long(readingTrack_), long(readingChannel_), readingAlgorithm_,
                  readingRanges_);
    return text;
}

}  // namespace vorlane
