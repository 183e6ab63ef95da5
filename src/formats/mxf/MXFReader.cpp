#include "formats/mxf/MXFReader.h"

#include <algorithm>

namespace vorlane {

void MXFReader::addOutput(std::shared_ptr<MXFReaderOutput> output) {
    if (output) outputs_.push_back(std::move(output));
}

MXFReaderStatus MXFReader::status() {
    if (readerStatus_ != MXFReaderStatusReading) return readerStatus_;
    const bool allFinished = std::all_of(outputs_.begin(), outputs_.end(),
                                         [](const auto& output) { return output->finished(); });
    if (allFinished) readerStatus_ = MXFReaderStatusCompleted;
    return readerStatus_;
}

}  // namespace vorlane
