// The Canon raw clip reader over arbitrary bytes: the movie atom's tracks (track, media and
// handler headers, the first sample duration) and the camera blocks of its `uuid` atom.
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "formats/quicktime/QtAtomReader.h"
#include "formats/raw/CRMFile.h"
#include "platform/ByteOrder.h"
#include "platform/Log.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool quiet = (vorlane::Log::setStandardErrorEnabled(false), true);
    (void)quiet;
    auto reader =
        vorlane::QtAtomReader::initWithReader(vorlane::FileReader::fromBuffer({data, size}));
    auto file = std::make_shared<vorlane::CRMFile>("fuzz.crm");
    file->analyzeAtoms(*reader);
    for (const auto& track : file->videoTracks()) {
        if (track->fourCC() != vorlane::fourCC("CRAW")) std::abort();
    }
    file->updateReadableInfo();
    file->metaDescription(0);
    return 0;
}
