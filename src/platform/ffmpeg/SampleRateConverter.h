// Converts interleaved 32-bit integer sound from one sample rate to another as 32-bit float
// (libswresample). Output frame k sits at input time k × inputRate ÷ outputRate: the first output
// frame is the first input frame's moment, with no added delay. The filter holds some input back;
// flush() gives out what it holds when the input ends.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace vorlane {

class SampleRateConverter {
  public:
    // Nothing when the library refuses the rates or the channel count.
    static std::unique_ptr<SampleRateConverter> create(int channelCount, int32_t inputRate,
                                                       int32_t outputRate);
    ~SampleRateConverter();
    SampleRateConverter(const SampleRateConverter&) = delete;
    SampleRateConverter& operator=(const SampleRateConverter&) = delete;

    // Appends the frames converted from `frameCount` input frames (native-endian int32, full
    // scale 2^31) to `output`; false when the conversion fails.
    bool convert(const uint8_t* input, int64_t frameCount, std::vector<float>& output);
    // Appends what the filter still holds; false when that fails.
    bool flush(std::vector<float>& output);

  private:
    struct Context;
    explicit SampleRateConverter(std::unique_ptr<Context> context);
    std::unique_ptr<Context> context_;
};

}  // namespace vorlane
