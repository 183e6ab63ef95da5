// The TIFF/DNG tag reader over arbitrary bytes: header, first IFD, one sub-IFD, every kept tag's
// value (truncated tables, offsets past the end, counts that would need gigabytes, directories
// that point at themselves), and the texts made from the values.
#include <cstdint>
#include <cstdlib>

#include "formats/dng/DNGImage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    auto image = vorlane::DNGImage::initWithData({data, size});
    image->readMetadata();
    // Two directories at most, each read once with each kept tag's value at most once.
    const uint64_t perDirectory = 2 + 65535 * 12 + 36 * vorlane::DNGImage::kMaxValueBytes;
    if (image->bytesRead() > 8 + 2 * perDirectory) std::abort();
    for (const auto& [name, value] : image->imageFileDirectory()) {
        value.description();
        value.doubleValue();
        value.integerValue();
    }
    image->dngVersion();
    image->isCinemaDNG();
    return 0;
}
