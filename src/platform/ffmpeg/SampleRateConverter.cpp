#include "platform/ffmpeg/SampleRateConverter.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <cstdint>

namespace vorlane {

struct SampleRateConverter::Context {
    SwrContext* resampler = nullptr;
    int channels = 0;

    ~Context() { swr_free(&resampler); }

    // Converts `frameCount` frames at `input` (nullptr: what the filter holds) onto the output.
    bool run(const uint8_t* input, int frameCount, std::vector<float>& output) {
        const int capacity = swr_get_out_samples(resampler, frameCount);
        if (capacity < 0) return false;
        const size_t before = output.size();
        output.resize(before + size_t(capacity) * size_t(channels));
        uint8_t* out = reinterpret_cast<uint8_t*>(output.data() + before);
        const uint8_t* in = input;
        const int made = swr_convert(resampler, &out, capacity, input ? &in : nullptr, frameCount);
        output.resize(before + size_t(std::max(made, 0)) * size_t(channels));
        return made >= 0;
    }
};

std::unique_ptr<SampleRateConverter> SampleRateConverter::create(int channelCount,
                                                                 int32_t inputRate,
                                                                 int32_t outputRate) {
    if (channelCount <= 0 || inputRate <= 0 || outputRate <= 0) return nullptr;
    auto context = std::make_unique<Context>();
    context->channels = channelCount;
    AVChannelLayout layout{};
    layout.order = AV_CHANNEL_ORDER_UNSPEC;
    layout.nb_channels = channelCount;
    if (swr_alloc_set_opts2(&context->resampler, &layout, AV_SAMPLE_FMT_FLT, outputRate, &layout,
                            AV_SAMPLE_FMT_S32, inputRate, 0, nullptr) < 0 ||
        swr_init(context->resampler) < 0)
        return nullptr;
    return std::unique_ptr<SampleRateConverter>(new SampleRateConverter(std::move(context)));
}

SampleRateConverter::SampleRateConverter(std::unique_ptr<Context> context)
    : context_(std::move(context)) {}

SampleRateConverter::~SampleRateConverter() = default;

bool SampleRateConverter::convert(const uint8_t* input, int64_t frameCount,
                                  std::vector<float>& output) {
    if (frameCount <= 0) return true;
    if (frameCount > INT32_MAX / 2) return false;
    return context_->run(input, int(frameCount), output);
}

bool SampleRateConverter::flush(std::vector<float>& output) {
    return context_->run(nullptr, 0, output);
}

}  // namespace vorlane
