// One reading of one channel of LTC: the accepted edges become biphase-mark bits (a 1 is two
// half-cell intervals, a 0 one full-cell interval), the bits a sync word, the 80 bits after it a
// frame (BCD label, drop-frame flag, user bits, checked), and two consecutive frames the pair
// that gives the timecode. Samples come block by block; every state, down to a half-read bit,
// carries over to the next block.
//
// Only forward-running LTC is read: a backward sync word never matches. When the rate is
// detected rather than given, the frames read in up to two seconds after the pair are counted
// too, for measuring the exact rate.
#pragma once

#include <cstdint>
#include <optional>

#include "timecode/ltc/LtcEdgeDetector.h"

namespace vorlane {

// Frame B of the first consecutive pair: its label (seconds of the day and frames), drop-frame
// flag and user bits, the rate the bits were read at, the window position at which it ends (its
// last edge, the first sample of the next frame), and the whole frames read with the samples they
// span.
struct LtcFramePair {
    int64_t labelSeconds = 0;
    int64_t labelFrames = 0;
    uint32_t userBits = 0;
    bool dropFrame = false;
    double frameRate = 0.0;
    int64_t endPosition = 0;
    int64_t measuredFrames = 0;
    int64_t measuredSamples = 0;
};

class LtcChannelDecoder {
  public:
    LtcChannelDecoder(LtcEdgeSignal signal, double sampleRate, bool measureRate);

    // The rate the bits are read at; 0 accepts no bit.
    void setFrameRate(double rate);
    double frameRate() const { return frameRate_; }

    const LtcEdgeDetector& edgeDetector() const { return edges_; }

    // Decodes window positions [from, to) of the samples against the thresholds; stops once the
    // pair is complete.
    void decode(const LtcChannelSamples& samples, int64_t from, int64_t to, int32_t upper,
                int32_t lower);
    // A stretch without bits (no rate): the bit stream is lost.
    void loseSync();
    // The window ends: a pair whose rate is being measured is complete.
    void finish();

    // The pair, once complete.
    const std::optional<LtcFramePair>& pair() const { return pair_; }
    // The pair is complete, or the window has ended.
    bool complete() const { return stage_ == Stage::Complete; }

  private:
    enum class Stage { Searching, FrameA, FrameB, MeasuredFrame, Complete };
    static constexpr int kPendingBit = 2;

    bool takeEdge(int64_t distance, int64_t position);
    int bitOfPeriod(double period);
    void takeBit(int bit, int64_t position);
    void searchSync(int bit, int64_t position);
    void startFrame(Stage stage, int64_t position);
    void frameRead(int64_t position);
    void frameFailed(int64_t position);
    // Checks the frame in the buffer: the nominal label count (frames + rate × seconds).
    std::optional<int64_t> checkedFrame();
    // Goes on reading frames for the measurement, or ends it at the limit.
    void continueMeasurement(int64_t position, bool synced);

    LtcEdgeDetector edges_;
    double sampleRate_;
    bool measureRate_;
    double frameRate_ = 0.0;
    // Bit cell windows in samples.
    double halfCellMin_ = 0.0, halfCellMax_ = 0.0;
    double fullCellMin_ = 0.0, fullCellMax_ = 0.0;
    bool halfCellPending_ = false;

    Stage stage_ = Stage::Searching;
    bool measuring_ = false;
    int searchStep_ = 0;  // 0: waiting for a 0 bit, 1: the register's first bit, 2: shifting
    uint16_t shiftRegister_ = 0;
    uint8_t ltcin_data_[10] = {};
    int bitCount_ = 0;
    int64_t frameStart_ = 0;
    std::optional<int64_t> countA_;
    // The last frame that passed the checks.
    int64_t labelSeconds_ = 0;
    int64_t labelFrames_ = 0;
    uint32_t userBits_ = 0;
    bool dropFrame_ = false;
    int64_t measureLimit_ = 0;
    std::optional<LtcFramePair> candidate_;
    std::optional<LtcFramePair> pair_;
};

}  // namespace vorlane
