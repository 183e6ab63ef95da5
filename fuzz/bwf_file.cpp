// The Broadcast WAV reader over arbitrary bytes: the chunk scan, `fmt `, the `bext` record with
// its originator, date and description lines, iXML parsing, the timecode, and the information
// texts that print the stored record and the iXML document again.
#include <cstdint>
#include <cstdlib>

#include "formats/wave/BWFFile.h"
#include "formats/wave/RiffFile.h"
#include "platform/FileReader.h"
#include "platform/Log.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool quiet = (vorlane::Log::setStandardErrorEnabled(false), true);
    (void)quiet;
    auto riff = vorlane::RiffFile::fromReader(vorlane::FileReader::fromBuffer({data, size}));
    if (!riff) return 0;
    auto file = std::make_shared<vorlane::BWFFile>("fuzz.wav");
    file->analyzeRiffFile(*riff);
    // One audio track at most, and a timecode only beside it.
    if (file->audioTrackCount() > 1 || (file->hasTimecode() && !file->hasAudio())) std::abort();
    const auto bext = file->metaDataValue(vorlane::kBWFbext);
    if (bext && (!bext->bytes() || bext->bytes()->size() != 858)) std::abort();
    file->updateReadableInfo();
    file->metaDescription(0);
    file->metaDescription(1);
    file->uniqueDeviceID();
    return 0;
}
