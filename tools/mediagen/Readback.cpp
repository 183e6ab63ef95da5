#include "mediagen/Readback.h"

#include <ltc.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "platform/ByteOrder.h"
#include "platform/Process.h"

namespace vorlane::mediagen {
namespace {

struct DecoderDeleter {
    void operator()(LTCDecoder* decoder) const { ltc_decoder_free(decoder); }
};

}  // namespace

std::vector<DecodedLtcFrame> decodeLtcWithLibltc(const Samples& samples, int sampleRate,
                                                 double fps) {
    std::vector<DecodedLtcFrame> frames;
    if (sampleRate <= 0 || !(fps > 0.0)) return frames;
    std::unique_ptr<LTCDecoder, DecoderDeleter> decoder(
        ltc_decoder_create(int(std::lround(sampleRate / fps)), 32));
    if (!decoder) return frames;
    constexpr size_t block = 1024;
    std::vector<float> chunk(block);
    for (size_t start = 0; start < samples.size(); start += block) {
        const size_t count = std::min(block, samples.size() - start);
        std::memcpy(chunk.data(), samples.data() + start, count * sizeof(float));
        ltc_decoder_write_float(decoder.get(), chunk.data(), count, ltc_off_t(start));
        LTCFrameExt frame;
        while (ltc_decoder_read(decoder.get(), &frame) > 0) {
            SMPTETimecode label{};
            ltc_frame_to_time(&label, &frame.ltc, 0);
            frames.push_back({{label.hours, label.mins, label.secs, label.frame},
                              frame.ltc.dfbit != 0,
                              frame.reverse != 0,
                              uint32_t(ltc_frame_get_user_bits(&frame.ltc)),
                              frame.off_start,
                              frame.off_end});
        }
    }
    return frames;
}

std::optional<std::vector<Samples>> decodeAudioWithFfmpeg(const std::filesystem::path& path,
                                                          int audioStream) {
    const std::string stream = "a:" + std::to_string(audioStream);
    const auto probe =
        runProcess({"ffprobe", "-v", "error", "-select_streams", stream, "-show_entries",
                    "stream=channels", "-of", "csv=p=0", path.string()});
    if (!probe || probe->exitStatus != 0) return std::nullopt;
    const int channels = std::atoi(probe->standardOutput.c_str());
    if (channels <= 0) return std::nullopt;
    const auto decoded =
        runProcess({"ffmpeg", "-nostdin", "-v", "error", "-i", path.string(), "-map", "0:" + stream,
                    "-f", "f32le", "-c:a", "pcm_f32le", "-"});
    if (!decoded || decoded->exitStatus != 0) return std::nullopt;
    const auto* bytes = reinterpret_cast<const uint8_t*>(decoded->standardOutput.data());
    const size_t frames = decoded->standardOutput.size() / (4 * size_t(channels));
    std::vector<Samples> result(size_t(channels), Samples(frames, 0.0f));
    for (size_t i = 0; i < frames; ++i)
        for (size_t c = 0; c < size_t(channels); ++c)
            result[c][i] = std::bit_cast<float>(readLE32(bytes + (i * size_t(channels) + c) * 4));
    return result;
}

}  // namespace vorlane::mediagen
