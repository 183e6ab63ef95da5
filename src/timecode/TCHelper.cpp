#include "timecode/TCHelper.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

#include "platform/Text.h"

namespace vorlane {
namespace {

__extension__ typedef __int128 Int128;

constexpr int64_t kCountMax = std::numeric_limits<int64_t>::max();
// Field values beyond this are out of every range check anyway; reading stops growing there.
constexpr int64_t kFieldValueCap = int64_t(1) << 40;
constexpr char kInvalidOffsetText[] = "Invalid Offset Time";

int64_t saturate(Int128 value) {
    if (value > kCountMax) return kCountMax;
    if (value < -kCountMax) return -kCountMax;
    return static_cast<int64_t>(value);
}

int64_t saturate(double value) {
    if (std::isnan(value)) return 0;
    if (value >= 0x1p63) return kCountMax;
    if (value <= -0x1p63) return -kCountMax;
    return static_cast<int64_t>(value);
}

bool isBlank(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// One field of a timecode text: its leading decimal integer (leading blanks and a "+" allowed)
// and, for seconds text, the first three digits after a "." as milliseconds.
struct Field {
    int64_t value = 0;
    int64_t milliseconds = 0;
};

struct ParsedText {
    bool negative = false;
    size_t count = 0;
    std::array<Field, 4> fields{};
};

// Splits at ":" and ";" with every "-" removed (a leading one makes the text negative); fails on
// more than four fields.
bool parseFields(const std::string& text, ParsedText& parsed) {
    enum class State { Blanks, AfterPlus, Digits, Fraction, Rest };
    parsed.negative = !text.empty() && text[0] == '-';
    parsed.count = 1;
    Field* field = &parsed.fields[0];
    State state = State::Blanks;
    int fractionDigits = 0;
    for (const char c : text) {
        if (c == '-') continue;
        if (c == ':' || c == ';') {
            if (parsed.count == parsed.fields.size()) return false;
            field = &parsed.fields[parsed.count++];
            state = State::Blanks;
            fractionDigits = 0;
            continue;
        }
        switch (state) {
            case State::Blanks:
                if (isBlank(c)) break;
                if (c == '+') {
                    state = State::AfterPlus;
                    break;
                }
                [[fallthrough]];
            case State::AfterPlus:
            case State::Digits:
                if (isDigit(c)) {
                    if (field->value < kFieldValueCap) field->value = field->value * 10 + (c - '0');
                    state = State::Digits;
                } else {
                    state = (c == '.' && state == State::Digits) ? State::Fraction : State::Rest;
                }
                break;
            case State::Fraction:
                if (!isDigit(c)) {
                    state = State::Rest;
                } else if (fractionDigits < 3) {
                    static constexpr int64_t kPlace[] = {100, 10, 1};
                    field->milliseconds += (c - '0') * kPlace[fractionDigits++];
                }
                break;
            case State::Rest:
                break;
        }
    }
    return true;
}

void appendNumber(std::string& text, uint64_t number, int width) {
    char digits[24];
    int length = 0;
    do {
        digits[length++] = static_cast<char>('0' + number % 10);
        number /= 10;
    } while (number != 0);
    while (length < width)
        digits[length++] = '0';
    while (length > 0)
        text += digits[--length];
}

// [sign]hh<separator>mm<separator>ss<lastSeparator>last; no sign character when sign is '\0'.
std::string clockText(char sign, uint64_t seconds, char separator, char lastSeparator,
                      uint64_t last, int lastWidth) {
    std::string text;
    text.reserve(24);
    if (sign != '\0') text += sign;
    appendNumber(text, seconds / 3600, 2);
    text += separator;
    appendNumber(text, seconds / 60 % 60, 2);
    text += separator;
    appendNumber(text, seconds % 60, 2);
    text += lastSeparator;
    appendNumber(text, last, lastWidth);
    return text;
}

}  // namespace

// ---- Creation ---------------------------------------------------------------------------------

TCHelper::TCHelper(double frameRate, bool dropFrame) {
    const bool usable =
        std::isfinite(frameRate) && frameRate >= 0.5 && frameRate <= kMaximumFrameRate;
    frameRate_ = usable ? frameRate : 0.0;
    roundedFrameRate_ = std::round(frameRate_);
    dropFrame_ = dropFrame && usable;
    if (dropFrame_) {
        dropFrameCount_ = static_cast<uint64_t>(std::round(frameRate_ * 0.066666));
        framesPerMinute_ =
            static_cast<uint64_t>(60.0 * roundedFrameRate_ - static_cast<double>(dropFrameCount_));
        framesPer10Minute_ = 10 * framesPerMinute_ + dropFrameCount_;
    }
    if (roundedFrameRate_ == 0.0) {
        framesPer24h_ = 86400;
        roundedFrameRate_ = 1.0;
    } else {
        framesPer24h_ = static_cast<uint64_t>(roundedFrameRate_ * 86400.0 -
                                              static_cast<double>(dropFrameCount_ * 1296));
    }
    const double perThousand = frameRate_ * 1000.0;
    if (isNTSC()) {
        rateNumerator_ = static_cast<int64_t>(roundedFrameRate_) * 1000;
        rateDenominator_ = 1001;
    } else if (perThousand == std::floor(perThousand)) {
        rateNumerator_ = static_cast<int64_t>(perThousand);
        rateDenominator_ = 1000;
    }
}

TCHelper::TCHelper(const TCHelper& other) : TCHelper(other.frameRate_, other.dropFrame_) {
    setTime(other.time_);
    offsetTime_ = other.offsetTime_;
    type_ = other.type_;
    rawUserBits_ = other.rawUserBits_;
    index_ = other.index_;
    source_ = other.source();
}

TCHelper& TCHelper::operator=(const TCHelper& other) {
    if (this == &other) return *this;
    const TCHelper fresh(other);
    frameRate_ = fresh.frameRate_;
    dropFrame_ = fresh.dropFrame_;
    roundedFrameRate_ = fresh.roundedFrameRate_;
    dropFrameCount_ = fresh.dropFrameCount_;
    framesPerMinute_ = fresh.framesPerMinute_;
    framesPer10Minute_ = fresh.framesPer10Minute_;
    framesPer24h_ = fresh.framesPer24h_;
    rateNumerator_ = fresh.rateNumerator_;
    rateDenominator_ = fresh.rateDenominator_;
    time_ = fresh.time_;
    frameCount_ = fresh.frameCount_;
    offsetTime_ = fresh.offsetTime_;
    type_ = fresh.type_;
    index_ = fresh.index_;
    roundingMethod_ = fresh.roundingMethod_;
    rawUserBits_ = fresh.rawUserBits_;
    setSource(fresh.source_);
    return *this;
}

std::shared_ptr<TCHelper> TCHelper::helperWithFrameRate(double frameRate, bool dropFrame) {
    return std::make_shared<TCHelper>(frameRate, dropFrame);
}

std::shared_ptr<TCHelper> TCHelper::helperWithTime(CMTime time) {
    return helperWithTime(time, 0.0, false);
}

std::shared_ptr<TCHelper> TCHelper::helperWithTime(CMTime time, double frameRate, bool dropFrame) {
    auto helper = helperWithFrameRate(frameRate, dropFrame);
    helper->setTime(time);
    return helper;
}

std::shared_ptr<TCHelper> TCHelper::helperWithFrameCount(int64_t frameCount, double frameRate,
                                                         bool dropFrame) {
    auto helper = helperWithFrameRate(frameRate, dropFrame);
    helper->setFrameCount(frameCount);
    return helper;
}

// ---- Class helpers ----------------------------------------------------------------------------

std::string TCHelper::timecodeStringWithTime(CMTime time, double frameRate, bool dropFrame,
                                             uint32_t options) {
    TCHelper helper(frameRate, dropFrame);
    helper.setTime(time);
    return helper.timecodeString(options);
}

std::string TCHelper::timecodeStringWithTime(CMTime time, const TCHelper& tcHelper,
                                             uint32_t options) {
    return timecodeStringWithTime(time, tcHelper.frameRate(), tcHelper.dropFrame(), options);
}

int64_t TCHelper::frameCountOfTime(CMTime time, double frameRate) {
    return frameCountOfTime(time, frameRate, CMTimeRoundingMethod::RoundHalfAwayFromZero);
}

int64_t TCHelper::frameCountOfTime(CMTime time, const TCHelper& tcHelper) {
    return frameCountOfTime(time, tcHelper.frameRate());
}

int64_t TCHelper::frameCountOfTime(CMTime time, double frameRate, CMTimeRoundingMethod method) {
    TCHelper helper(frameRate, false);
    helper.setRoundingMethod(method);
    helper.setTime(time);
    return helper.frameCount();
}

bool TCHelper::timeNeedsRounding(CMTime time, double frameRate) {
    if (!time.isValid()) return false;
    const TCHelper helper(frameRate, false);
    if (helper.rateDenominator_ != 0) {
        const Int128 product = Int128(time.value) * helper.rateNumerator_;
        return product % (Int128(time.timescale) * helper.rateDenominator_) != 0;
    }
    const double frames = double(time.value) * helper.frameRate_ / double(time.timescale);
    return frames != std::trunc(frames);
}

CMTime TCHelper::quantizeTime(CMTime time, double frameRate) {
    if (!time.isValid()) return kCMTimeInvalid;
    TCHelper helper(frameRate, false);
    helper.setRoundingMethod(CMTimeRoundingMethod::RoundAwayFromZero);
    helper.setTime(time);
    return helper.roundedTime();
}

double TCHelper::quantizedFrameRate(double measuredRate) {
    if (!(measuredRate > 0.0 && measuredRate <= kMaximumFrameRate)) return 0.0;
    const double rounded = std::round(measuredRate);
    if (rounded == 25.0) return 25.0;
    if (std::fabs(measuredRate - rounded) < rounded / 1500.0) return rounded;
    const double ntsc = rounded * 1000.0 / 1001.0;
    if (std::fabs(measuredRate - ntsc) < ntsc / 1500.0) return ntsc;
    return 0.0;
}

// ---- The stored value -------------------------------------------------------------------------

int64_t TCHelper::framesOfTime(int64_t base, CMTimeValue value, CMTimeScale timescale,
                               bool nearest) const {
    if (rateDenominator_ != 0) {
        const Int128 divisor = Int128(timescale) * rateDenominator_;
        const Int128 dividend = Int128(base) * divisor + Int128(value) * rateNumerator_;
        Int128 quotient = dividend / divisor;
        const Int128 remainder = dividend % divisor;
        if (nearest && 2 * (remainder < 0 ? -remainder : remainder) >= divisor) {
            quotient += dividend < 0 ? -1 : 1;
        }
        return saturate(quotient);
    }
    const double frames = double(base) + double(value) * frameRate_ / double(timescale);
    return saturate(nearest ? std::round(frames) : std::trunc(frames));
}

int64_t TCHelper::countOfTime(CMTime time, CMTimeRoundingMethod method) const {
    const CMTime converted = CMTimeConvertScale(time, frameDuration().timescale, method);
    // A time too large for the frame timescale is counted from its own timescale.
    const CMTime counted = converted.isValid() ? converted : time;
    return framesOfTime(0, counted.value, counted.timescale, false);
}

void TCHelper::setTime(CMTime time) {
    if (!time.isValid()) return;
    frameCount_ = countOfTime(time, roundingMethod_);
    time_ = time;
}

CMTime TCHelper::time() const {
    return CMTimeAdd(time_, offsetTime_);
}

void TCHelper::setFrameCount(int64_t frameCount) {
    const CMTime duration = frameDuration();
    // Keep the count within what the stored time can hold.
    const int64_t limit = kCountMax / duration.value;
    frameCount_ = std::clamp(frameCount, -limit, limit);
    time_ = CMTimeMake(frameCount_ * duration.value, duration.timescale);
}

int64_t TCHelper::frameCount() const {
    return framesOfTime(frameCount_, offsetTime_.value, offsetTime_.timescale, false);
}

void TCHelper::setOffsetTime(CMTime offset) {
    if (offset.isValid()) offsetTime_ = offset;
}

std::string TCHelper::source() const {
    std::lock_guard lock(sourceMutex_);
    return source_;
}

void TCHelper::setSource(std::string source) {
    std::lock_guard lock(sourceMutex_);
    source_ = std::move(source);
}

CMTime TCHelper::frameDuration() const {
    if (isNTSC()) return CMTimeMake(1001, static_cast<CMTimeScale>(roundedFrameRate_ * 1000.0));
    return CMTimeMake(1, static_cast<CMTimeScale>(roundedFrameRate_));
}

CMTime TCHelper::preciseFrameDuration() const {
    if (isNTSC() || frameRate_ == 0.0) return frameDuration();
    return CMTimeMake(1000, static_cast<CMTimeScale>(frameRate_ * 1000.0));
}

bool TCHelper::isNTSC() const {
    return std::round(frameRate_ * 1000.0) == std::round(roundedFrameRate_ * 999.0);
}

uint64_t TCHelper::dropFrameOffsetOfCount(uint64_t count) const {
    if (!dropFrame_ || framesPer10Minute_ == 0 || framesPerMinute_ == 0) return 0;
    const uint64_t tens = count / framesPer10Minute_;
    const uint64_t rest = count % framesPer10Minute_;
    const uint64_t skipped = 9 * dropFrameCount_ * tens;
    if (rest <= dropFrameCount_) return skipped;
    return skipped + dropFrameCount_ * ((rest - dropFrameCount_) / framesPerMinute_);
}

// The inverse of count + dropFrameOffsetOfCount(count): whole label minutes, less the labels
// skipped in every minute that is not a multiple of ten. A skipped label lands on the frame two
// labels before it, as parsing does.
uint64_t TCHelper::realCountOfLabelCount(uint64_t labels) const {
    const uint64_t minutes = labels / (60 * static_cast<uint64_t>(roundedFrameRate_));
    return labels - dropFrameCount_ * (minutes - minutes / 10);
}

CMTime TCHelper::dropFrameTime() const {
    if (!dropFrame_) return time();
    const int64_t labels = frameCount();
    const uint64_t magnitude = realCountOfLabelCount(labels < 0 ? uint64_t(-labels) : labels);
    const int64_t real = labels < 0 ? -int64_t(magnitude) : int64_t(magnitude);
    return CMTimeMultiply(frameDuration(), real);
}

CMTime TCHelper::roundedTime() const {
    // Without a frame rate the value counts whole seconds.
    const int64_t frames =
        frameRate_ == 0.0
            ? CMTimeConvertScale(time_, 1, CMTimeRoundingMethod::RoundHalfAwayFromZero).value
            : framesOfTime(0, time_.value, time_.timescale, true);
    return CMTimeMultiply(preciseFrameDuration(), frames);
}

// ---- Legalising -------------------------------------------------------------------------------

CMTime TCHelper::legalTime(uint32_t options) const {
    return makeTimeLegal(time(), options);
}

CMTime TCHelper::makeTimeLegal(CMTime time, uint32_t options) const {
    if (!time.isValid()) return time;
    if (options & TCOptionWrap24h) {
        const int64_t day = int64_t(time.timescale) * 86400;
        time.value %= day;
        if (time.value < 0) time.value += day;
    }
    if (!(options & TCOptionAllowNegative) && time.value < 0) return kCMTimeZero;
    return time;
}

int64_t TCHelper::legalFrameCount(uint32_t options) const {
    return makeCountLegal(frameCount(), options);
}

int64_t TCHelper::makeCountLegal(int64_t count, uint32_t options) const {
    if (options & TCOptionWrap24h) {
        const auto day = static_cast<int64_t>(framesPer24h_);
        count %= day;
        if (count < 0) count += day;
    }
    if (!(options & TCOptionAllowNegative) && count < 0) return 0;
    return count;
}

// ---- Text -------------------------------------------------------------------------------------

std::string TCHelper::timecodeString(uint32_t options) const {
    return timecodeStringWithDisplayOffset(kCMTimeZero, options);
}

std::string TCHelper::timecodeStringWithDisplayOffset(CMTime displayOffset,
                                                      uint32_t options) const {
    if (frameRate_ == 0.0) return secondsString(displayOffset, options);
    const CMTime shown = CMTimeAdd(time(), displayOffset);
    if (!shown.isValid()) return kInvalidOffsetText;
    // The count of a non-drop value at this rate (the frame timescale is the same).
    const int64_t count =
        makeCountLegal(countOfTime(shown, CMTimeRoundingMethod::RoundHalfAwayFromZero), options);
    const char sign = count < 0 ? '-' : ((options & TCOptionPlusSign) ? '+' : '\0');
    const uint64_t magnitude = count < 0 ? uint64_t(-count) : uint64_t(count);
    // Fits: the skipped labels are far fewer than the frames.
    const uint64_t labels = magnitude + dropFrameOffsetOfCount(magnitude);
    const auto fps = static_cast<uint64_t>(roundedFrameRate_);
    const char frameSeparator = dropFrame_ ? ';' : ':';
    const char separator = (options & TCOptionUniformSeparators) ? frameSeparator : ':';
    return clockText(sign, labels / fps, separator, frameSeparator, labels % fps, 2);
}

std::string TCHelper::secondsString(CMTime displayOffset, uint32_t options) const {
    CMTime shown = time();
    if (shown.isValid()) {
        if (!displayOffset.isValid()) return kInvalidOffsetText;
        shown = CMTimeAdd(shown, displayOffset);
    } else {
        shown = displayOffset;
    }
    shown = makeTimeLegal(shown, options);
    if (!shown.isValid()) return kInvalidOffsetText;
    const char sign = shown.value < 0 ? '-' : ((options & TCOptionPlusSign) ? '+' : '\0');
    const Int128 magnitude = shown.value < 0 ? -Int128(shown.value) : Int128(shown.value);
    const auto seconds = static_cast<uint64_t>(magnitude / shown.timescale);
    const auto millis = static_cast<uint64_t>(magnitude * 1000 / shown.timescale % 1000);
    return clockText(sign, seconds, ':', '.', millis, 3);
}

bool TCHelper::setTimecodeString(const std::string& text) {
    if (frameRate_ == 0.0) return setSecondsString(text);
    ParsedText parsed;
    if (!parseFields(text, parsed)) return false;
    // Fields fill from the right: frames, seconds, minutes, hours.
    std::array<int64_t, 4> hmsf{};
    for (size_t i = 0; i < parsed.count; ++i) {
        hmsf[4 - parsed.count + i] = parsed.fields[i].value;
    }
    const auto [hours, minutes, seconds, frames] = hmsf;
    if (hours > 99 || minutes > 59 || seconds > 59 || double(frames) >= roundedFrameRate_) {
        return false;
    }
    const int64_t minuteCount = hours * 60 + minutes;
    const int64_t dropped =
        dropFrame_ ? (minuteCount - minuteCount / 10) * int64_t(dropFrameCount_) : 0;
    const auto fps = static_cast<int64_t>(roundedFrameRate_);
    const int64_t count = fps * (hours * 3600 + minutes * 60 + seconds) + frames - dropped;
    setFrameCount(parsed.negative ? -count : count);
    return true;
}

// Seconds text as made above: [-]hours:minutes:seconds.milliseconds, leading fields optional.
bool TCHelper::setSecondsString(const std::string& text) {
    ParsedText parsed;
    if (!parseFields(text, parsed) || parsed.count > 3) return false;
    std::array<int64_t, 3> hms{};
    for (size_t i = 0; i < parsed.count; ++i) {
        hms[3 - parsed.count + i] = parsed.fields[i].value;
    }
    const auto [hours, minutes, seconds] = hms;
    if (hours > 99 || minutes > 59 || seconds > 59) return false;
    const int64_t millis = (hours * 3600 + minutes * 60 + seconds) * 1000 +
                           parsed.fields[parsed.count - 1].milliseconds;
    setTime(CMTimeMake(parsed.negative ? -millis : millis, 1000));
    return true;
}

std::string TCHelper::dropFrameString() const {
    return dropFrame_ ? "DF" : "NDF";
}

std::string TCHelper::typeString() const {
    switch (type_) {
        case TCTypeFile:
            return "File-TC";
        case TCTypeAudio:
            return "Audio-TC";
        default:
            return "TC";
    }
}

std::string TCHelper::frameRateString() const {
    if (frameRate_ == 0.0) return "fps not set";
    return formatText("%2.2ffps", frameRate_);
}

std::string TCHelper::userBitsString() const {
    return formatText("%02X.%02X.%02X.%02X", rawUserBits_ >> 24, (rawUserBits_ >> 16) & 0xff,
                      (rawUserBits_ >> 8) & 0xff, rawUserBits_ & 0xff);
}

std::string TCHelper::description() const {
    return typeString() + ":" + std::to_string(index_) + " " +
           timecodeString(TCOptionAllowNegative) + (dropFrame_ ? " DF" : "") + " (" +
           frameRateString() + ") ubits=" + userBitsString() +
           ", count=" + std::to_string(frameCount()) + ", time=" + time().description() + " " +
           source();
}

}  // namespace vorlane
