// Timecode text at the common rates: whatever parses prints a text that parses back to the same
// value, and the live reformatting keeps the typed digits. A second mode feeds raw rates, times
// and offsets to every operation of the value.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "timecode/TCHelper.h"
#include "timecode/TcFormatter.h"

using namespace vorlane;

namespace {

constexpr double kRates[] = {
    0,  24000.0 / 1001,  24,  25,    30000.0 / 1001, 30,  48, 50, 60000.0 / 1001,
    60, 120000.0 / 1001, 120, 29.97, 23.976,         100, 1};

void check(bool condition) {
    if (!condition) std::abort();
}

std::string digitsOf(const std::string& text) {
    std::string digits;
    for (char c : text)
        if (c >= '0' && c <= '9') digits += c;
    return digits;
}

void checkReformatting(const std::string& text, double rate, bool drop) {
    TcFormatter formatter;
    formatter.setFrameRate(rate);
    formatter.setDropFrame(drop);
    const std::string original = text.empty() ? text : text.substr(0, text.size() - 1);
    const TcEditAnswer answer =
        formatter.isPartialStringValid(text, original, {original.size(), 0});
    const bool foreign = text.find_first_not_of("0123456789:;.+-") != std::string::npos;
    check(answer.beep == foreign);
    check(answer.accepted == (!foreign && digitsOf(text).size() <= 8));
    if (!answer.replacement) return;
    const std::string& replacement = *answer.replacement;
    check(digitsOf(replacement) == digitsOf(text));
    check(replacement.size() <= 12 && answer.replacementSelection.location == replacement.size());
    // Reformatting the answer again changes nothing.
    const TcEditAnswer again =
        formatter.isPartialStringValid(replacement, replacement, {replacement.size(), 0});
    check(again.replacement && *again.replacement == replacement);
}

void checkRoundTrip(const std::string& text, double rate, bool drop) {
    TCHelper value(rate, drop);
    TcFormatter formatter;
    formatter.setFrameRate(rate);
    formatter.setDropFrame(drop);
    const auto fromFormatter = formatter.getObjectValue(text);
    if (!value.setTimecodeString(text)) {
        check(value.frameCount() == 0 && value.time() == kCMTimeZero && !fromFormatter);
        return;
    }
    check(fromFormatter && fromFormatter->time() == value.time());
    check(formatter.stringForObjectValue(fromFormatter.get()) ==
          value.timecodeString(TCOptionAllowNegative | TCOptionPlusSign));
    check(value.copy()->frameCount() == value.frameCount());
    for (uint32_t options : {2u, 6u, 10u, 3u}) {
        const std::string printed = value.timecodeString(options);
        TCHelper back(rate, drop);
        check(back.setTimecodeString(printed));
        // Frames wrap at a day of labels, seconds at a day of real time.
        if (rate != 0) check(back.frameCount() == value.legalFrameCount(options));
        if (rate == 0) check(back.time() == value.legalTime(options));
    }
}

template <typename T>
T take(const uint8_t*& data, size_t& size) {
    T result{};
    const size_t n = size < sizeof(T) ? size : sizeof(T);
    std::memcpy(&result, data, n);
    data += n;
    size -= n;
    return result;
}

// Raw numbers into every operation: nothing may overflow or crash.
void exerciseRawValues(const uint8_t* data, size_t size, bool drop) {
    const auto rate = take<double>(data, size);
    const auto value = take<int64_t>(data, size);
    const auto timescale = take<int32_t>(data, size);
    const auto offset = take<int64_t>(data, size);
    const auto method = static_cast<CMTimeRoundingMethod>(1 + take<uint8_t>(data, size) % 6);
    const CMTime time = CMTimeMake(value, timescale);
    TCHelper helper(rate, drop);
    helper.setRoundingMethod(method);
    helper.setTime(time);
    helper.setOffsetTime(CMTimeMake(offset, timescale));
    for (uint32_t options = 0; options < 16; ++options) {
        (void)helper.timecodeStringWithDisplayOffset(time, options);
        (void)helper.legalTime(options);
        (void)helper.legalFrameCount(options);
    }
    (void)helper.description();
    (void)helper.dropFrameTime();
    (void)helper.roundedTime();
    (void)helper.dropFrameOffsetOfCount(static_cast<uint64_t>(value));
    helper.setFrameCount(value);
    (void)helper.timecodeString(TCOptionAllowNegative);
    (void)helper.dropFrameTime();
    (void)TCHelper::quantizeTime(time, rate);
    (void)TCHelper::timeNeedsRounding(time, rate);
    (void)TCHelper::frameCountOfTime(time, rate, method);
    (void)TCHelper::quantizedFrameRate(rate);
    std::string text(reinterpret_cast<const char*>(data), size);
    (void)helper.setTimecodeString(text);
    (void)helper.timecodeString(TCOptionAllowNegative);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const uint8_t control = data[0];
    const bool drop = control & 0x10;
    if (control & 0x20) {
        exerciseRawValues(data + 1, size - 1, drop);
        return 0;
    }
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    const double rate = kRates[control & 0x0f];
    checkRoundTrip(text, rate, drop);
    checkReformatting(text, rate, drop);
    return 0;
}
