// Timecode labels and frame rates of the media generator. Deliberately independent of the
// engine's timecode values: the generator states the truth that the engine is checked against.
#pragma once

#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vorlane::mediagen {

// A picture or timecode rate as a fraction, with the drop-frame labelling flag.
struct Rate {
    int numerator = 25;
    int denominator = 1;
    bool dropFrame = false;

    static constexpr Rate fps23976() { return {24000, 1001, false}; }
    static constexpr Rate fps24() { return {24, 1, false}; }
    static constexpr Rate fps25() { return {25, 1, false}; }
    static constexpr Rate fps2997(bool dropFrame) { return {30000, 1001, dropFrame}; }
    static constexpr Rate fps30() { return {30, 1, false}; }

    constexpr double fps() const { return double(numerator) / denominator; }
    // Frames counted per labelled second: 24, 25, 30 ...
    constexpr int nominalFrames() const { return (numerator + denominator / 2) / denominator; }
    // "25" or "30000/1001", as ffmpeg and iXML write rates.
    std::string fractionText() const;
    // The recorders' bext speed text: "025.000-ND", "029.970-DF".
    std::string speedText() const;
};

// A timecode label HH:MM:SS:FF.
struct Timecode {
    int hours = 0;
    int minutes = 0;
    int seconds = 0;
    int frames = 0;

    auto operator<=>(const Timecode&) const = default;

    // "10:00:00:00"; with drop frame the last separator is ';'.
    std::string text(bool dropFrame = false) const;
    // Accepts HH:MM:SS:FF with ':', ';', '.' or ',' before the frames.
    static std::optional<Timecode> parse(std::string_view text);
};

// Frames elapsed since midnight when a clock at `rate` shows `label` (drop-frame labels skip
// frame numbers 0 and 1 of every minute not divisible by ten). Nothing for a label that does
// not exist at that rate.
std::optional<int64_t> frameNumber(const Timecode& label, const Rate& rate);

// The label of frame `frame` since midnight, wrapping at 24 hours.
Timecode timecodeAtFrame(int64_t frame, const Rate& rate);

// The label `frames` frames after `label` (a label that drop frame skips counts as the next one).
Timecode addFrames(const Timecode& label, int64_t frames, const Rate& rate);

// Audio samples since midnight at which the frame labelled `label` begins (rounded to the
// nearest sample when a frame does not span a whole number of samples; a label that drop frame
// skips counts as the next one).
int64_t samplesSinceMidnight(const Timecode& label, const Rate& rate, int sampleRate);

}  // namespace vorlane::mediagen
