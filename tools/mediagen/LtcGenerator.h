// Linear timecode as sound, made by libltc's encoder, with the exact sample at which every
// frame begins so that tests know the true timecode of any sample.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "mediagen/Signals.h"
#include "mediagen/Timecode.h"

namespace vorlane::mediagen {

struct LtcOptions {
    Timecode start;             // label of the first frame
    Rate rate = Rate::fps25();  // 23.976, 24, 25, 29.97 (drop frame or not), 30
    uint32_t userBits = 0;      // the 32 user bits, group 1 in the lowest nibble
    int sampleRate = 48000;
    double durationSeconds = 10.0;       // length of the signal made, at most an hour
    double levelDbfs = -10.0;            // peak level of the wave
    double riseTimeMicroseconds = 40.0;  // edge shaping; 0 gives a perfect square wave
    // Sample at which the first frame begins: negative values start the signal inside that
    // frame (a recording that began mid-frame; at most a minute before), positive values put
    // silence before it.
    int64_t firstFrameSample = 0;
    Impairments impairments;
};

struct LtcFrame {
    Timecode timecode;
    bool dropFrame = false;  // the frame's drop-frame flag (bit 10)
    uint32_t userBits = 0;
    // The frame occupies samples [firstSample, firstSample + sampleCount) of the signal; the
    // range may reach outside it for the first and last frame. Forward signals start the
    // frame's bit 0 at firstSample; reversed signals run the frame backwards from its end.
    int64_t firstSample = 0;
    int64_t sampleCount = 0;
};

struct LtcSignal {
    Samples samples;
    std::vector<LtcFrame> frames;  // every frame that touches the signal, in playing order
    Rate rate;
    int sampleRate = 48000;
    bool reversed = false;

    // Seconds since midnight of sample 0 of a forward signal on the timecode clock (frame n
    // labelled with drop frame or not lasts denominator / numerator seconds).
    double secondsAtSampleZero() const;
};

// Nothing (and a message in `error`) when libltc rejects the options.
std::optional<LtcSignal> generateLtc(const LtcOptions& options, std::string* error = nullptr);

}  // namespace vorlane::mediagen
