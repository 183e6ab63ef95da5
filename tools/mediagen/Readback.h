// Reading generated media back through independent tools: libltc's decoder and the ffmpeg
// program, so that tests compare the generator (and the engine) with a second opinion.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>

#include "mediagen/Signals.h"
#include "mediagen/Timecode.h"

namespace vorlane::mediagen {

struct DecodedLtcFrame {
    Timecode timecode;
    bool dropFrame = false;
    bool reversed = false;
    uint32_t userBits = 0;
    int64_t startSample = 0;  // where libltc saw the frame begin
    int64_t endSample = 0;
};

// Every frame libltc's decoder finds in the samples, `fps` telling it the expected rate.
std::vector<DecodedLtcFrame> decodeLtcWithLibltc(const Samples& samples, int sampleRate,
                                                 double fps);

// The channels of one audio stream (0 = the file's first) decoded by ffmpeg at the stream's own
// sample rate; nothing when ffmpeg cannot read it.
std::optional<std::vector<Samples>> decodeAudioWithFfmpeg(const std::filesystem::path& path,
                                                          int audioStream = 0);

}  // namespace vorlane::mediagen
