// Panasonic clip documents over arbitrary bytes, on a clip with a video track.
#include <cstdint>
#include <memory>

#include "formats/camera_xml/PanaXMLExtractor.h"
#include "media/MediaFile.h"
#include "media/MediaTypes.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vorlane;
    auto owner = std::make_shared<MediaFile>("/card/PRIVATE/PANA_GRP/001RAAAA/AVCLIP/PANA0001.MP4");
    MediaFile& file = *owner;
    file.addTrackWithMediaType(MediaTrackTypeVideo, 1);
    auto extractor = PanaXMLExtractor::extractorWithData({data, size}, file);
    if (!extractor) return 0;
    extractor->isSemiProClipMeta();
    extractor->extractDeviceInfo();
    extractor->parseClipInfo();
    file.uniqueDeviceID();
    return 0;
}
