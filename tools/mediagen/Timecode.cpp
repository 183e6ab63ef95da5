#include "mediagen/Timecode.h"

#include <array>
#include <cstdio>

namespace vorlane::mediagen {
namespace {

// Frame numbers left out at the start of every minute not divisible by ten: 2 at 30, 4 at 60.
int droppedPerMinute(const Rate& rate) {
    return rate.dropFrame ? rate.nominalFrames() / 15 : 0;
}

int64_t framesPerDay(const Rate& rate) {
    const int64_t nominal = rate.nominalFrames();
    return nominal * 86400 - int64_t(droppedPerMinute(rate)) * (24 * 60 - 24 * 6);
}

}  // namespace

std::string Rate::fractionText() const {
    return denominator == 1 ? std::to_string(numerator)
                            : std::to_string(numerator) + "/" + std::to_string(denominator);
}

std::string Rate::speedText() const {
    std::array<char, 32> text{};
    // Recorders print the rate truncated to three decimals (29.970, 23.976).
    const long thousandths = long(int64_t(numerator) * 1000 / denominator);
    std::snprintf(text.data(), text.size(), "%03ld.%03ld-%s", thousandths / 1000,
                  thousandths % 1000, dropFrame ? "DF" : "ND");
    return text.data();
}

std::string Timecode::text(bool dropFrame) const {
    std::array<char, 32> text{};
    std::snprintf(text.data(), text.size(), "%02d:%02d:%02d%c%02d", hours, minutes, seconds,
                  dropFrame ? ';' : ':', frames);
    return text.data();
}

std::optional<Timecode> Timecode::parse(std::string_view text) {
    if (text.size() != 11) return std::nullopt;
    std::array<int, 4> fields{};
    for (size_t field = 0; field < 4; ++field) {
        const char high = text[field * 3], low = text[field * 3 + 1];
        if (high < '0' || high > '9' || low < '0' || low > '9') return std::nullopt;
        fields[field] = (high - '0') * 10 + (low - '0');
        if (field < 3) {
            const char separator = text[field * 3 + 2];
            const bool valid =
                separator == ':' ||
                (field == 2 && (separator == ';' || separator == '.' || separator == ','));
            if (!valid) return std::nullopt;
        }
    }
    if (fields[0] > 23 || fields[1] > 59 || fields[2] > 59) return std::nullopt;
    return Timecode{fields[0], fields[1], fields[2], fields[3]};
}

std::optional<int64_t> frameNumber(const Timecode& label, const Rate& rate) {
    const int nominal = rate.nominalFrames();
    if (label.hours < 0 || label.hours > 23 || label.minutes < 0 || label.minutes > 59 ||
        label.seconds < 0 || label.seconds > 59 || label.frames < 0 || label.frames >= nominal)
        return std::nullopt;
    const int dropped = droppedPerMinute(rate);
    if (dropped > 0 && label.seconds == 0 && label.minutes % 10 != 0 && label.frames < dropped)
        return std::nullopt;
    const int64_t totalMinutes = int64_t(label.hours) * 60 + label.minutes;
    const int64_t nominalCount = (totalMinutes * 60 + label.seconds) * nominal + label.frames;
    return nominalCount - dropped * (totalMinutes - totalMinutes / 10);
}

namespace {

// A label that drop frame skips stands for the next one that exists (;00 and ;01 become ;02),
// as timecode generators treat it; a label that does not exist at all counts as midnight.
int64_t frameNumberOrNext(Timecode label, const Rate& rate) {
    const int dropped = droppedPerMinute(rate);
    if (dropped > 0 && label.seconds == 0 && label.minutes % 10 != 0 && label.frames >= 0 &&
        label.frames < dropped)
        label.frames = dropped;
    return frameNumber(label, rate).value_or(0);
}

}  // namespace

Timecode timecodeAtFrame(int64_t frame, const Rate& rate) {
    const int64_t day = framesPerDay(rate);
    frame %= day;
    if (frame < 0) frame += day;
    const int64_t nominal = rate.nominalFrames();
    const int64_t dropped = droppedPerMinute(rate);
    if (dropped > 0) {
        const int64_t perTenMinutes = nominal * 600 - 9 * dropped;
        const int64_t perMinute = nominal * 60 - dropped;
        const int64_t tens = frame / perTenMinutes, rest = frame % perTenMinutes;
        frame += 9 * dropped * tens;
        if (rest > dropped) frame += dropped * ((rest - dropped) / perMinute);
    }
    Timecode label;
    label.frames = int(frame % nominal);
    const int64_t totalSeconds = frame / nominal;
    label.seconds = int(totalSeconds % 60);
    label.minutes = int(totalSeconds / 60 % 60);
    label.hours = int(totalSeconds / 3600 % 24);
    return label;
}

Timecode addFrames(const Timecode& label, int64_t frames, const Rate& rate) {
    return timecodeAtFrame(frameNumberOrNext(label, rate) + frames, rate);
}

int64_t samplesSinceMidnight(const Timecode& label, const Rate& rate, int sampleRate) {
    // At most 2.6 million frames a day times 384 kHz times 1001: well inside 64 bits.
    const int64_t numerator =
        frameNumberOrNext(label, rate) * sampleRate * int64_t(rate.denominator);
    return (numerator * 2 + rate.numerator) / (int64_t(rate.numerator) * 2);
}

}  // namespace vorlane::mediagen
