#include "sync/audio/AudioEnvelope.h"

#include <algorithm>
#include <cmath>

namespace vorlane {
namespace {

// The input is first averaged in groups down to about this rate (cheap enough for hours of
// sound); the band filters then run at the reduced rate.
constexpr double kDecimatedRate = 8000.0;
constexpr double kBandLowHz = 300.0;
constexpr double kBandHighHz = 3000.0;
constexpr float kLargestLevel = 1000.0f;
constexpr float kSilentFrameLevel = 3.16e-4f;  // −70 dBFS

int decimationFor(int32_t sampleRate) {
    return std::max(1, int(std::lround(double(sampleRate) / kDecimatedRate)));
}

}  // namespace

AudioEnvelopeBuilder::AudioEnvelopeBuilder(int32_t sampleRate)
    : decimation_(decimationFor(sampleRate)),
      decimatedRate_(double(sampleRate) / decimationFor(sampleRate)),
      highPass_(BiquadFilter::highPass(kBandLowHz, decimatedRate_)),
      lowPass_(
          BiquadFilter::lowPass(std::min(kBandHighHz, 0.45 * decimatedRate_), decimatedRate_)) {
    envelope_.sampleRate = sampleRate;
    frameEnd_ = decimatedFrameEnd(0);
}

int64_t AudioEnvelopeBuilder::decimatedFrameEnd(int64_t frame) const {
    return int64_t(std::llround(double(frame + 1) * decimatedRate_ / kEnvelopeFrameRate));
}

void AudioEnvelopeBuilder::addDecimated(float value) {
    value = lowPass_.filtered(highPass_.filtered(value));
    frameEnergy_ += double(value) * double(value);
    ++frameSamples_;
    if (++decimatedCount_ < frameEnd_) return;
    envelope_.frames.push_back(float(std::sqrt(frameEnergy_ / double(frameSamples_))));
    frameEnergy_ = 0.0;
    frameSamples_ = 0;
    frameEnd_ = decimatedFrameEnd(int64_t(envelope_.frames.size()));
}

void AudioEnvelopeBuilder::append(std::span<const float> samples) {
    envelope_.sampleCount += int64_t(samples.size());
    const auto usable = [](float sample) {
        // Damaged input (infinities, not-a-number, absurd levels) counts as silence.
        return std::abs(sample) <= kLargestLevel ? sample : 0.0f;
    };
    size_t at = 0;
    while (at < samples.size()) {
        // The rest of the current group, all of it at once where the samples allow.
        const size_t take = std::min(samples.size() - at, size_t(decimation_ - boxCount_));
        for (size_t k = at; k < at + take; ++k)
            boxSum_ += usable(samples[k]);
        at += take;
        boxCount_ += int(take);
        if (boxCount_ < decimation_) break;
        addDecimated(boxSum_ / float(decimation_));
        boxSum_ = 0.0f;
        boxCount_ = 0;
    }
}

AudioEnvelope AudioEnvelopeBuilder::finish() {
    const int64_t frameLength = frameEnd_ - decimatedFrameEnd(int64_t(envelope_.frames.size()) - 1);
    if (frameSamples_ > 0 && 2 * frameSamples_ >= frameLength)
        envelope_.frames.push_back(float(std::sqrt(frameEnergy_ / double(frameSamples_))));
    frameEnergy_ = 0.0;
    frameSamples_ = 0;
    return std::move(envelope_);
}

bool AudioEnvelope::silent() const {
    return std::all_of(frames.begin(), frames.end(),
                       [](float frame) { return frame < kSilentFrameLevel; });
}

size_t mostActiveStretch(std::span<const float> frames, size_t begin, size_t end, size_t length) {
    end = std::min(end, frames.size());
    if (end <= begin + length) return begin;
    std::vector<float> sorted(frames.begin() + ptrdiff_t(begin), frames.begin() + ptrdiff_t(end));
    const auto fifth = sorted.begin() + ptrdiff_t(sorted.size() / 5);
    std::nth_element(sorted.begin(), fifth, sorted.end());
    const double floor = *fifth;
    const auto activity = [&](size_t f) { return std::max(0.0, double(frames[f]) - floor); };
    double sum = 0.0;
    for (size_t f = begin; f < begin + length; ++f)
        sum += activity(f);
    double best = sum;
    size_t bestFirst = begin;
    for (size_t first = begin + 1; first + length <= end; ++first) {
        sum += activity(first + length - 1) - activity(first - 1);
        if (sum > best) {
            best = sum;
            bestFirst = first;
        }
    }
    return bestFirst;
}

AudioEnvelope audioEnvelope(std::span<const float> samples, int32_t sampleRate) {
    AudioEnvelopeBuilder builder(sampleRate);
    builder.append(samples);
    return builder.finish();
}

}  // namespace vorlane
