// Arbitrary sound through the alignment: both sides' samples, sample rates and the lag range
// come from the input. Whatever the sound, the answer is well formed: a confidence between 0 and
// 1, a finite lag when it confirms, a reason when it does not.
//
// Header: byte 0 the camera's rate (low four bits) and the recorder's (high four bits) from the
// table below; byte 1 the lag range (bits 0-1: anywhere, around 0 ± 1 s, around 0.5 ± 0.1 s,
// empty); byte 2 the camera's share of the samples in 256ths; byte 3 bit 0 the sample coding
// (16-bit integers, or raw 32-bit floats with their infinities and not-a-numbers). The rest is
// the camera's samples followed by the recorder's.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "sync/audio/AudioAligner.h"
#include "sync/audio/AudioDrift.h"

using namespace vorlane;

namespace {

constexpr int32_t kRates[] = {1000, 2000,   8000,   11025, 44100, 48000, 96000, 0,
                              999,  768001, 192000, 22050, 16000, 32000, 88200, 768000};

void check(bool condition) {
    if (!condition) std::abort();
}

std::vector<float> samplesOf(const uint8_t* data, size_t size, bool rawFloats) {
    std::vector<float> samples;
    if (rawFloats) {
        samples.resize(size / 4);
        std::memcpy(samples.data(), data, samples.size() * 4);
    } else {
        for (size_t at = 0; at + 1 < size; at += 2)
            samples.push_back(float(int16_t(uint16_t(data[at] | data[at + 1] << 8))) / 32768.0f);
    }
    return samples;
}

void checkAnswer(const AudioAlignment& answer) {
    check(answer.confidence >= 0.0 && answer.confidence <= 1.0);
    if (answer.confirmed()) {
        check(answer.confidence >= kAudioSyncConfidenceThreshold);
        check(std::isfinite(answer.lagSeconds) && std::isfinite(answer.lagRecorderSamples));
        check(answer.lagTime().isValid());
    } else {
        check(!audioSyncProblemText(answer.problem).empty());
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4) return 0;
    const bool rawFloats = data[3] & 1;
    const std::vector<float> all = samplesOf(data + 4, size - 4, rawFloats);
    const size_t cameraCount = all.size() * data[2] / 256;
    const std::vector<float> camera(all.begin(), all.begin() + ptrdiff_t(cameraCount));
    const std::vector<float> recorder(all.begin() + ptrdiff_t(cameraCount), all.end());
    const AudioExcerpt cameraSound{camera, kRates[data[0] & 0x0f]};
    const AudioExcerpt recorderSound{recorder, kRates[data[0] >> 4]};
    const LagRange ranges[] = {
        LagRange::anywhere(), LagRange::around(0.0, 1.0), LagRange::around(0.5, 0.1), {1.0, -1.0}};
    checkAnswer(alignAudio(cameraSound, recorderSound, ranges[data[1] & 0x03]));

    // The same recorder as a day of one recording, read through a reader.
    AudioEnvelopeBuilder builder(recorderSound.sampleRate);
    builder.append(recorder);
    const std::vector<AudioEnvelope> day = {builder.finish()};
    const RecordingReader read = [&](size_t recording, int64_t first, size_t count) {
        check(recording == 0);
        std::vector<float> stretch(count, 0.0f);
        for (size_t k = 0; k < count; ++k) {
            const int64_t at = first + int64_t(k);
            if (at >= 0 && at < int64_t(recorder.size())) stretch[k] = recorder[size_t(at)];
        }
        return stretch;
    };
    const AudioPlacement placed = placeAudio(cameraSound, day, read);
    checkAnswer(placed.alignment);
    check(placed.recording == 0);

    const AudioDrift drift = measureAudioDrift(cameraSound, recorderSound, ranges[data[1] & 0x03]);
    check(!drift.measured() ||
          (std::isfinite(drift.ppm) && drift.confidence >= kAudioSyncConfidenceThreshold));
    return 0;
}
