// The R3D header reader over arbitrary bytes: the first block of either version, the metadata
// directory, the index block at the end and the walk over the clip's blocks.
#include <cstdint>
#include <cstdlib>

#include "platform/FileReader.h"
#include "platform/red/R3DHeader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    auto reader = vorlane::FileReader::fromBuffer({data, size});
    const auto header = vorlane::R3DHeaderReader::read(*reader);
    if (header) {
        header->frameRate();
        header->metadataValue("start_timecode");
        // Items are read whole from the first two blocks, never more than the source holds.
        size_t text = 0;
        for (const auto& [key, value] : header->metadata)
            text += value.size();
        if (text > size * 16) std::abort();
    }
    return 0;
}
