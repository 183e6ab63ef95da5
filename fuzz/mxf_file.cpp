// Fuzzes the whole MXF file analysis over arbitrary bytes: partitions, header metadata, index
// segments, the material package's tracks followed to source packages and descriptors, codec
// names and sizes, the start timecode, and the readable summaries and information texts made
// from the result; then every picture and sound track's edit units read through the index tables
// (offsets, delta entries, clip-wrapped cuts) as their essence output hands them out, and the
// QuickTime reference movie made of them.
#include <cstdint>
#include <span>

#include "formats/mxf/MXFFile.h"
#include "formats/mxf/MXFReferenceMovie.h"
#include "formats/mxf/MXFTrackOutput.h"
#include "media/MediaTrack.h"
#include "platform/FileReader.h"
#include "platform/Log.h"
#include "timecode/TCHelper.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vorlane;
    static const bool quiet = [] {
        Log::setStandardErrorEnabled(false);
        return true;
    }();
    (void)quiet;
    // A path where no clip XML can be found beside the "file".
    auto file = MXFFile::fileWithReader("/nonexistent/vorlane-fuzz/C0001.MXF",
                                        FileReader::fromBuffer(std::span(data, size)), 4);
    if (!file->analyzeMXF()) return 0;
    file->setAnalyzingFinished();
    (void)file->metaDescription(1);
    if (const auto timecode = file->fileTimecode()) {
        (void)timecode->timecodeString(TCOptionWrap24h);
        (void)timecode->description();
    }
    for (const auto& track : file->tracks()) {
        if (track->type() != MediaTrackTypeVideo && track->type() != MediaTrackTypeAudio) continue;
        auto output = MXFTrackOutput::outputWithMediaTrack(
            *track, false, FileReader::fromBuffer(std::span(data, size)));
        for (int units = 0; output && units < 64 && output->nextSampleBuffer(); ++units) {
        }
    }
    const auto openReader = [&] { return FileReader::fromBuffer(std::span(data, size)); };
    if (const auto movie = MXFReferenceMovie::movieOfFile(*file, openReader, size))
        (void)movie->movieBytes();
    return 0;
}
