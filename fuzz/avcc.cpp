// Reads arbitrary bytes as an H.264 decoder configuration record, as an Annex B stream whose
// parameter sets make one, and as a sequence parameter set.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "formats/asset/AVCCExtractor.h"
#include "media/MediaTrack.h"
#include "media/MediaTypes.h"

namespace {

void describe(const vorlane::MetadataBytes& record) {
    auto track = std::make_shared<vorlane::MediaTrack>(vorlane::MediaTrackTypeVideo);
    vorlane::AVCCExtractor extractor(record, track);
    extractor.extractVideoSizeAndFrameRate();
    extractor.extractH264ProfileAndLevel();
    volatile size_t sink = extractor.pictureParameterSet().size();
    sink = sink + size_t(track->videoSize().width + track->videoSize().height);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> bytes(data, size);
    describe(vorlane::MetadataBytes(bytes.begin(), bytes.end()));
    if (const auto record = vorlane::AVCCExtractor::avcCDataWithAnnexB(bytes)) describe(*record);
    if (const auto sps = vorlane::parseSequenceParameterSet(bytes)) {
        volatile double sink = sps->frameRate() + sps->width() + sps->height();
        (void)sink;
    }
    return 0;
}
