// Normalised cross-correlation of a query (the camera's sound) with a reference window (the
// recorder's), lag by lag, and the peak found in it.
//
// Lag k puts query sample 0 at reference sample k. The correlation at a lag is normalised by
// the energies of both signals where they overlap, so level differences and loud or quiet
// stretches elsewhere do not matter; where the query reaches past the recorded part of the
// window, the value is weighted by the square root of the overlapping fraction (a shorter
// overlap is a weaker witness), and lags overlapping less than a minimum score zero.
//
// Peaks are sought on the correlation's envelope (the magnitude of the analytic correlation):
// after band-limiting, the correlation oscillates at the band's frequencies, and a filter in one
// microphone's path (a camera's low-pass) can make the lobe beside the true peak the highest
// sample; the envelope has one peak where the two sounds align, whatever their polarity.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <span>
#include <utility>
#include <vector>

#include "sync/audio/FFTCorrelator.h"

namespace vorlane {

// The query side, kept for the scans of several reference windows.
class CorrelationQuery {
  public:
    explicit CorrelationQuery(std::vector<float> samples);

    size_t size() const { return correlator_.querySize(); }
    // Σ query² over [begin, end).
    double energy(size_t begin, size_t end) const {
        return energyPrefix_[end] - energyPrefix_[begin];
    }
    std::vector<float> correlate(std::span<const float> reference, std::vector<float>& quadrature) {
        return correlator_.correlate(reference, quadrature);
    }
    std::vector<float> correlateBothWays(std::span<const float> reference,
                                         std::vector<float>& quadrature,
                                         std::vector<float>& backwards,
                                         std::vector<float>& backwardsQuadrature) {
        return correlator_.correlateBothWays(reference, quadrature, backwards, backwardsQuadrature);
    }

  private:
    std::vector<double> energyPrefix_;
    FFTCorrelator correlator_;
};

struct CorrelationPeak {
    bool found = false;
    double lag = 0.0;    // in reference samples, refined between samples
    double value = 0.0;  // the envelope at the peak, negative when the polarity is inverted
    // The highest other local maxima of the envelope: near the peak (beyond the exclusion,
    // within the noise exclusion: echoes, the voice's periodicity) and away from it.
    double nearRival = 0.0;
    double farRival = 0.0;
    double noise = 0.0;  // robust noise level of the envelope away from the peak
};

class CorrelationScan {
  public:
    // The recorded part of the reference is [recordedBegin, recordedEnd); outside it the
    // reference holds silence.
    CorrelationScan(CorrelationQuery& query, std::span<const float> reference, size_t recordedBegin,
                    size_t recordedEnd, size_t minimumOverlap);

    // The scans of the query and of the query played backwards (sound surely unrelated: what
    // chance alone gives), from one transform of the reference.
    static std::pair<CorrelationScan, CorrelationScan> forwardsAndBackwards(
        CorrelationQuery& query, std::span<const float> reference, size_t recordedBegin,
        size_t recordedEnd, size_t minimumOverlap);

    // The envelope's highest value.
    double highest() const;

    // The envelope's peak among lags [searchBegin, searchEnd); the next best and the noise are
    // measured over all lags. `exclusion` lags either side of the peak belong to it, the noise
    // leaves out `noiseExclusion` lags either side.
    CorrelationPeak peak(size_t searchBegin, size_t searchEnd, size_t exclusion,
                         size_t noiseExclusion) const;

  private:
    // Normalises the raw correlation of the query, or of the query played backwards.
    CorrelationScan(const std::vector<float>& raw, const std::vector<float>& rawQuadrature,
                    const std::vector<double>& referenceEnergy, const CorrelationQuery& query,
                    bool backwards, size_t recordedBegin, size_t recordedEnd,
                    size_t minimumOverlap);

    double envelope(size_t lag) const {
        return std::sqrt(double(scores_[lag]) * scores_[lag] +
                         double(quadrature_[lag]) * quadrature_[lag]);
    }
    // Where between lags the envelope peaks near `lag`, and the polarity there.
    double refinedLag(size_t lag, double& signedPeak) const;

    std::vector<float> scores_;      // normalised correlation per lag
    std::vector<float> quadrature_;  // its Hilbert transform, normalised alike
};

}  // namespace vorlane
