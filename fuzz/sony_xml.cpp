// Sony clip documents and card indexes over arbitrary bytes: every extraction runs whatever the
// document's kind, on a clip with 29.97 video.
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "formats/camera_xml/SonyXMLExtractor.h"
#include "media/MediaFile.h"
#include "media/MediaTrack.h"
#include "media/MediaTypes.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vorlane;
    auto owner = std::make_shared<MediaFile>("/card/XDROOT/Clip/C0001.MXF");
    MediaFile& file = *owner;
    file.addTrackWithMediaType(MediaTrackTypeVideo, 1)->setVideoFrameRate(30000.0 / 1001.0);
    auto extractor = SonyXMLExtractor::extractorWithData({data, size}, file);
    if (!extractor) return 0;
    extractor->isProfessionalDiscMeta();
    extractor->isMediaProfileMeta();
    extractor->extractDeviceInfo();
    extractor->extractCreationDate();
    extractor->extractTimecodeAndVideoRate();
    extractor->extractRelevantURLs();
    if (file.fileTimecodeCount() > 1) std::abort();
    file.uniqueDeviceID();
    return 0;
}
