// Writes a new RIFF file from an existing one with some chunks replaced or added (a new `bext`
// and `iXML` for a WAV file, say). Every other chunk and the audio data are copied byte for byte;
// replaced and added chunks stand before `data`. A result too large for 32-bit sizes becomes
// RF64 with a `ds64` chunk. The output goes to a temporary file in the destination's folder and
// is renamed into place only when complete, so the destination is never left half-written and
// the source is never touched (the destination may be the source itself: it is then replaced).
#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

#include "formats/wave/RiffFile.h"

namespace vorlane {

struct RiffChunkPayload {
    uint32_t id;
    std::vector<uint8_t> payload;
};

class RiffWriter {
  public:
    // Each given chunk replaces all of the source's chunks with its id, in the place of the first
    // of them when that lies before `data`, otherwise it is added right before `data` (or at the
    // end without `data`). False when the source cannot be read whole (a damaged scan or a
    // truncated chunk), the destination cannot be written, or a read or write fails midway; the
    // destination is then as it was before.
    static bool writeFileWithChunks(RiffFile& source, const std::filesystem::path& destination,
                                    const std::vector<RiffChunkPayload>& chunks);
    static bool writeFileWithChunks(const std::filesystem::path& source,
                                    const std::filesystem::path& destination,
                                    const std::vector<RiffChunkPayload>& chunks);

    // The largest size a 32-bit RIFF size field can state (0xFFFFFFFF means "see ds64").
    static constexpr uint64_t kMaxSize32 = 0xFFFFFFFE;
};

}  // namespace vorlane
