// A timecode at one frame rate, with or without drop frame: the time since 00:00:00:00 and the
// real frame count kept in step, an offset added on every read, its origin (plain, file
// metadata, decoded audio), an ordinal, a readable source and 32 LTC user bits. All timecode
// text of the application is made and parsed here.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "platform/CMTime.h"

namespace vorlane {

// Option bits of the legalising and text operations.
enum TCOptions : uint32_t {
    TCOptionNone = 0,
    TCOptionWrap24h = 1,
    TCOptionAllowNegative = 2,
    TCOptionPlusSign = 4,
    TCOptionUniformSeparators = 8,
};

enum TCType : int32_t {
    TCTypePlain = 0,
    TCTypeFile = 1,
    TCTypeAudio = 2,
};

class TCHelper {
  public:
    // Creation. Each answers a new value.
    static std::shared_ptr<TCHelper> helperWithFrameRate(double frameRate, bool dropFrame);
    static std::shared_ptr<TCHelper> helperWithTime(CMTime time);
    static std::shared_ptr<TCHelper> helperWithTime(CMTime time, double frameRate, bool dropFrame);
    static std::shared_ptr<TCHelper> helperWithFrameCount(int64_t frameCount, double frameRate,
                                                          bool dropFrame);

    // Rates above this, negative, not finite or below 0.5 (no whole frame per second) are taken
    // as 0: the value is then shown in seconds.
    static constexpr double kMaximumFrameRate = 1'000'000.0;

    TCHelper(double frameRate, bool dropFrame);  // initWithFrameRate:dropFrame:
    TCHelper(const TCHelper& other);             // the copy rule: re-derived from the stored time
    TCHelper& operator=(const TCHelper& other);
    std::shared_ptr<TCHelper> copy() const { return std::make_shared<TCHelper>(*this); }

    // Class helpers.
    static std::string timecodeStringWithTime(CMTime time, double frameRate, bool dropFrame,
                                              uint32_t options);
    static std::string timecodeStringWithTime(CMTime time, const TCHelper& tcHelper,
                                              uint32_t options);
    static int64_t frameCountOfTime(CMTime time, double frameRate);
    static int64_t frameCountOfTime(CMTime time, const TCHelper& tcHelper);
    static int64_t frameCountOfTime(CMTime time, double frameRate, CMTimeRoundingMethod method);
    static bool timeNeedsRounding(CMTime time, double frameRate);
    static CMTime quantizeTime(CMTime time, double frameRate);
    // The standard rate nearest to a measured rate (integer or r × 1000 / 1001), or 0.
    static double quantizedFrameRate(double measuredRate);

    // Derived constants.
    double frameRate() const { return frameRate_; }
    bool dropFrame() const { return dropFrame_; }
    double roundedFrameRate() const { return roundedFrameRate_; }
    uint64_t dropFrameCount() const { return dropFrameCount_; }
    uint64_t framesPerMinute() const { return framesPerMinute_; }
    uint64_t framesPer10Minute() const { return framesPer10Minute_; }
    uint64_t framesPer24h() const { return framesPer24h_; }

    // The stored value. Reads include offsetTime.
    void setTime(CMTime time);
    CMTime time() const;
    CMTime timeWithoutOffset() const { return time_; }
    void setFrameCount(int64_t frameCount);
    int64_t frameCount() const;

    CMTime offsetTime() const { return offsetTime_; }
    // An offset that is not valid is ignored, as setTime() ignores such a time.
    void setOffsetTime(CMTime offset);

    int32_t type() const { return type_; }
    void setType(int32_t type) { type_ = type; }
    int32_t index() const { return index_; }
    void setIndex(int32_t index) { index_ = index; }
    std::string source() const;
    void setSource(std::string source);
    CMTimeRoundingMethod roundingMethod() const { return roundingMethod_; }
    void setRoundingMethod(CMTimeRoundingMethod method) { roundingMethod_ = method; }
    uint32_t rawUserBits() const { return rawUserBits_; }
    void setRawUserBits(uint32_t userBits) { rawUserBits_ = userBits; }

    CMTime frameDuration() const;
    CMTime preciseFrameDuration() const;
    bool isNTSC() const;
    uint64_t dropFrameOffsetOfCount(uint64_t count) const;
    CMTime dropFrameTime() const;
    CMTime roundedTime() const;

    CMTime legalTime(uint32_t options) const;
    CMTime makeTimeLegal(CMTime time, uint32_t options) const;
    int64_t legalFrameCount(uint32_t options) const;
    int64_t makeCountLegal(int64_t count, uint32_t options) const;

    // Text.
    std::string timecodeString(uint32_t options) const;
    std::string timecodeStringWithDisplayOffset(CMTime displayOffset, uint32_t options) const;
    // Parses text into the value; false (value unchanged) when the text is not a timecode.
    bool setTimecodeString(const std::string& text);
    std::string dropFrameString() const;
    std::string typeString() const;
    std::string frameRateString() const;
    std::string userBitsString() const;
    std::string description() const;

  private:
    // base + value × frameRate ÷ timescale (timescale > 0), truncated or rounded half away from
    // zero, kept within ±INT64_MAX.
    int64_t framesOfTime(int64_t base, CMTimeValue value, CMTimeScale timescale,
                         bool nearest) const;
    // Frames of a valid time, converted to the frame timescale under the rounding method first.
    int64_t countOfTime(CMTime time, CMTimeRoundingMethod method) const;
    uint64_t realCountOfLabelCount(uint64_t labels) const;
    std::string secondsString(CMTime displayOffset, uint32_t options) const;
    bool setSecondsString(const std::string& text);

    double frameRate_;
    bool dropFrame_;
    double roundedFrameRate_;
    uint64_t dropFrameCount_ = 0;
    uint64_t framesPerMinute_ = 0;
    uint64_t framesPer10Minute_ = 0;
    uint64_t framesPer24h_ = 0;
    // frameRate as the exact ratio rateNumerator_ / rateDenominator_ for integer, NTSC and
    // other decimal rates; rateDenominator_ is 0 when the rate has no such form.
    int64_t rateNumerator_ = 0;
    int64_t rateDenominator_ = 0;

    CMTime time_ = kCMTimeZero;
    int64_t frameCount_ = 0;
    CMTime offsetTime_ = kCMTimeZero;
    int32_t type_ = TCTypePlain;
    int32_t index_ = 0;
    mutable std::mutex sourceMutex_;
    std::string source_;
    CMTimeRoundingMethod roundingMethod_ = CMTimeRoundingMethod::RoundHalfAwayFromZero;
    uint32_t rawUserBits_ = 0;
};

}  // namespace vorlane
