// The QuickTime reader's metadata over arbitrary atom bytes: user-data items, metadata keys, the
// embedded XML document, and the camera parsers and the XAVC S timecode on what they yield.
// Damage must end the reading cleanly (AtomSeekError caught inside), and nothing loaded may
// exceed what the input holds.
#include <cstdint>
#include <cstdlib>

#include "formats/quicktime/QtMetadataReader.h"
#include "formats/quicktime/QuicktimeFile.h"
#include "media/MediaTrack.h"
#include "media/MediaTypes.h"
#include "platform/ByteOrder.h"
#include "platform/Log.h"

namespace {

std::unique_ptr<vorlane::QtAtomReader> readerOf(const uint8_t* data, size_t size) {
    return vorlane::QtAtomReader::initWithReader(vorlane::FileReader::fromBuffer({data, size}));
}

size_t itemBytes(const std::vector<vorlane::MetadataItem>& items) {
    size_t total = 0;
    for (const auto& item : items)
        if (item.dataValue) total += item.dataValue->size();
    return total;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vorlane;
    static const bool quiet = (Log::setStandardErrorEnabled(false), true);
    (void)quiet;

    auto reader = readerOf(data, size);
    QtMetadataReader metadata(*reader);
    const auto items = metadata.metadataItems();
    if (itemBytes(items) > size) std::abort();
    for (const uint32_t brand : {fourCC("XAVC"), fourCC("mp42"), fourCC("qt  ")}) {
        const auto xml = metadata.xmlMetaForFileType(brand);
        if (xml && xml->size() > size) std::abort();
    }

    // Every top-level atom read as user data and as a `meta` atom, whatever its type.
    for (const auto& header : reader->atomHeaders()) {
        auto atom = reader->loadAtomForHeader(header);
        if (!atom) continue;
        std::vector<MetadataItem> found;
        QtAtomReader::parseAtoms("fuzz", [&] {
            QtMetadataReader::appendUserDataItems(*atom, kMetadataFormatISOUserData, found);
        });
        QtAtomReader::parseAtoms("fuzz",
                                 [&] { QtMetadataReader::appendMetadataKeyItems(*atom, found); });
        if (itemBytes(found) > size) std::abort();
    }

    // The camera parsers, as for an MPEG-4 clip with 29.97 video.
    auto file = std::make_shared<QuicktimeFile>("/fuzz/C0001.MP4");
    file->setFileContainerType(MediaFileContainerMP4);
    file->addTrackWithMediaType(MediaTrackTypeVideo, 1)->setVideoFrameRate(30000.0 / 1001.0);
    file->analyzeMetadataOfAtoms(readerOf(data, size));
    if (file->fileTimecodeCount() > 1) std::abort();
    file->extendedMetaDescription(1);
    return 0;
}
