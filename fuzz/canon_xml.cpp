// Canon clip documents over arbitrary bytes.
#include <cstdint>
#include <memory>

#include "formats/camera_xml/CanonXMLExtractor.h"
#include "media/MediaFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vorlane;
    auto owner = std::make_shared<MediaFile>("/card/CONTENTS/CLIPS001/AA0012_01.MXF");
    MediaFile& file = *owner;
    auto extractor = CanonXMLExtractor::extractorWithData({data, size}, file);
    if (!extractor) return 0;
    extractor->isVideoClipMeta();
    extractor->extractDeviceInfo();
    CanonXMLExtractor::xmlURLForMediaFile(file);
    file.uniqueDeviceID();
    return 0;
}
