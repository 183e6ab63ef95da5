// The RIFF/RF64 chunk reader over arbitrary bytes: the chunk scan, payload reads at the start,
// middle and end of every chunk, and the `fmt ` record and duration.
#include <cstdint>
#include <cstdlib>

#include "formats/wave/RiffFile.h"
#include "platform/ByteOrder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    auto file = vorlane::RiffFile::fromReader(vorlane::FileReader::fromBuffer({data, size}));
    if (!file) return 0;
    for (const auto& chunk : file->chunks()) {
        // Nothing listed may reach past the bytes given.
        if (chunk.payloadOffset + chunk.availableSize > size) std::abort();
        if (chunk.availableSize > chunk.size) std::abort();
        const auto head = file->readPayload(chunk, 0, 64);
        const auto middle = file->readPayload(chunk, chunk.availableSize / 2, 16);
        const auto tail = file->readPayload(chunk, chunk.availableSize);
        if (!head || !middle || !tail || !tail->empty()) std::abort();
        if (file->readPayload(chunk, chunk.availableSize + 1)) std::abort();
    }
    file->chunkData(vorlane::fourCC("bext"));
    file->waveFormat();
    file->duration();
    return 0;
}
