// Reads arbitrary bytes as the start of an AVCHD stream: the video payload of its 192-byte
// units, the parameter sets made into a decoder record, and the camera metadata; the bytes are
// also walked as camera metadata directly.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "formats/asset/AVCCExtractor.h"
#include "formats/asset/AVCHDFile.h"
#include "platform/FileReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto reader = vorlane::FileReader::fromBuffer(std::span(data, size));
    const auto file = std::make_shared<vorlane::AVCHDFile>("fuzz.MTS");
    const auto video = file->addTrackWithMediaType(vorlane::MediaTrackTypeVideo, 0x1011);
    video->setVideoFrameRate(25);
    file->h264SEIExtractionWithData(std::span(data, size));
    const auto payload = vorlane::AVCHDFile::readMTSVideoPayload(
        *reader, vorlane::AVCHDFile::kVideoPayloadSearchSize);
    if (!payload) return 0;
    if (const auto record = vorlane::AVCHDFile::avcCDataWithPayload(*payload)) {
        vorlane::AVCCExtractor extractor(*record, video);
        extractor.extractVideoSizeAndFrameRate();
        extractor.extractH264ProfileAndLevel();
    }
    if (const auto camera = vorlane::AVCHDFile::seiDataWithPayload(*payload))
        file->h264SEIExtractionWithData(*camera);
    file->updateReadableInfo();
    file->extendedMetaDescription(1);
    return 0;
}
