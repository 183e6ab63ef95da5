#include "timecode/ltc/LtcChannelDecoder.h"

#include <cmath>

namespace vorlane {
namespace {

// The sync word in transmission order, as it fills a register shifted from the right.
constexpr uint16_t kSyncWord = 0x3FFD;
// The rate is measured over the frames read in up to this many seconds after the pair.
constexpr double kRateMeasureSeconds = 2.0;

int bcd(uint8_t units, uint8_t tens) {
    return units + 10 * tens;
}

}  // namespace

LtcChannelDecoder::LtcChannelDecoder(LtcEdgeSignal signal, double sampleRate, bool measureRate)
    : edges_(signal, sampleRate), sampleRate_(sampleRate), measureRate_(measureRate) {}

// A full cell lasts 1 ÷ (80 × rate), a half cell half of it; each is accepted within half its
// length either side. The two windows overlap; an interval there counts as a half cell.
void LtcChannelDecoder::setFrameRate(double rate) {
    frameRate_ = std::isfinite(rate) && rate > 0.0 ? rate : 0.0;
    const double fullCell = frameRate_ > 0.0 ? sampleRate_ / (80.0 * frameRate_) : 0.0;
    halfCellMin_ = fullCell / 4.0;
    halfCellMax_ = fullCell * 3.0 / 4.0;
    fullCellMin_ = fullCell / 2.0;
    fullCellMax_ = fullCell * 3.0 / 2.0;
}

void LtcChannelDecoder::decode(const LtcChannelSamples& samples, int64_t from, int64_t to,
                               int32_t upper, int32_t lower) {
    if (stage_ == Stage::Complete) return;
    edges_.scan(samples, from, to, upper, lower, [this](int64_t distance, int64_t position) {
        return takeEdge(distance, position);
    });
}

void LtcChannelDecoder::loseSync() {
    if (stage_ == Stage::Complete) return;
    if (measuring_) return finish();
    halfCellPending_ = false;
    stage_ = Stage::Searching;
    searchStep_ = 0;
}

void LtcChannelDecoder::finish() {
    if (candidate_ && !pair_) pair_ = candidate_;
    stage_ = Stage::Complete;
}

// A bit ends at the edge that begins the next one: the last bit of a frame at the first sample
// of the next frame.
bool LtcChannelDecoder::takeEdge(int64_t distance, int64_t position) {
    const int bit = bitOfPeriod(double(distance));
    if (bit != kPendingBit) takeBit(bit, position);
    return stage_ != Stage::Complete;
}

int LtcChannelDecoder::bitOfPeriod(double period) {  // in samples
    const bool halfCell = period > halfCellMin_ && period < halfCellMax_;
    if (halfCellPending_) {
        halfCellPending_ = false;
        return halfCell ? 1 : -1;
    }
    if (halfCell) {
        halfCellPending_ = true;
        return kPendingBit;
    }
    return period > fullCellMin_ && period < fullCellMax_ ? 0 : -1;
}

void LtcChannelDecoder::takeBit(int bit, int64_t position) {
    switch (stage_) {
        case Stage::Searching:
            return searchSync(bit, position);
        case Stage::FrameA:
        case Stage::FrameB:
        case Stage::MeasuredFrame: {
            if (bit < 0) return frameFailed(position);
            uint8_t& byte = ltcin_data_[bitCount_ / 8];
            byte = uint8_t(byte >> 1 | (bit == 1 ? 0x80 : 0));
            if (++bitCount_ == 80) frameRead(position);
            return;
        }
        case Stage::Complete:
            return;
    }
}

// Bits up to a 0, then a 16-bit shift register until it holds the sync word; a bit error
// clears the register.
void LtcChannelDecoder::searchSync(int bit, int64_t position) {
    if (searchStep_ == 0) {
        if (bit == 0) searchStep_ = 1;
        return;
    }
    shiftRegister_ = searchStep_ == 1 || bit < 0
                         ? uint16_t(bit == 1 ? 1 : 0)
                         : uint16_t(shiftRegister_ << 1 | (bit == 1 ? 1 : 0));
    searchStep_ = 2;
    if (shiftRegister_ != kSyncWord) return;
    searchStep_ = 0;
    startFrame(measuring_ ? Stage::MeasuredFrame : Stage::FrameA, position);
}

void LtcChannelDecoder::startFrame(Stage stage, int64_t position) {
    stage_ = stage;
    bitCount_ = 0;
    if (stage != Stage::FrameB) frameStart_ = position;
}

// Frame B is read after frame A whatever A's checks said; the pair holds when both pass and B
// follows A. Otherwise the decoder searches the next sync word.
void LtcChannelDecoder::frameRead(int64_t position) {
    const std::optional<int64_t> count = checkedFrame();
    switch (stage_) {
        case Stage::FrameA:
            countA_ = count;
            return startFrame(Stage::FrameB, position);
        case Stage::FrameB: {
            if (!countA_ || !count || *count != *countA_ + 1) {
                stage_ = Stage::Searching;
                return;
            }
            const LtcFramePair pair{labelSeconds_, labelFrames_, userBits_, dropFrame_,
                                    frameRate_,    position,     2,         position - frameStart_};
            if (!measureRate_) {
                pair_ = pair;
                stage_ = Stage::Complete;
                return;
            }
            candidate_ = pair;
            measuring_ = true;
            measureLimit_ = position + int64_t(kRateMeasureSeconds * sampleRate_);
            return continueMeasurement(position, true);
        }
        case Stage::MeasuredFrame:
            // Frames read back to back span exactly their count; the detection delay of each
            // edge cancels out but at the first and the last.
            if (count) {
                ++candidate_->measuredFrames;
                candidate_->measuredSamples += position - frameStart_;
            }
            return continueMeasurement(position, count.has_value());
        case Stage::Searching:
        case Stage::Complete:
            return;
    }
}

void LtcChannelDecoder::frameFailed(int64_t position) {
    if (stage_ == Stage::MeasuredFrame) return continueMeasurement(position, false);
    stage_ = Stage::Searching;
}

void LtcChannelDecoder::continueMeasurement(int64_t position, bool synced) {
    if (position >= measureLimit_) return finish();
    if (synced) return startFrame(Stage::MeasuredFrame, position);
    stage_ = Stage::Searching;
}

std::optional<int64_t> LtcChannelDecoder::checkedFrame() {
    const uint8_t* data = ltcin_data_;
    userBits_ = 0;
    for (uint32_t k = 0; k < 8; ++k)
        userBits_ |= uint32_t(data[k] >> 4) << (4 * k);
    // Units digits above 9 are not BCD: a damaged frame, however its total reads.
    for (const int k : {0, 2, 4, 6})
        if ((data[k] & 0x0f) > 9) return std::nullopt;
    const int frames = bcd(data[0] & 0x0f, data[1] & 0x03);
    const int seconds = bcd(data[2] & 0x0f, data[3] & 0x07);
    const int minutes = bcd(data[4] & 0x0f, data[5] & 0x07);
    const int hours = bcd(data[6] & 0x0f, data[7] & 0x03);
    const int64_t roundedRate = std::llround(frameRate_);
    if (hours > 23 || minutes > 59 || seconds > 59 || frames >= roundedRate) return std::nullopt;
    if (data[8] != 0xfc || data[9] != 0xbf) return std::nullopt;
    dropFrame_ = (data[1] & 0x04) != 0;
    labelSeconds_ = int64_t(hours) * 3600 + minutes * 60 + seconds;
    labelFrames_ = frames;
    return frames + roundedRate * labelSeconds_;
}

}  // namespace vorlane
