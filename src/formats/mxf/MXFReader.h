// The small status holder that drives the essence outputs of an MXF file: the outputs to feed,
// the time range to read and whether reading is under way or completed.
#pragma once

#include <memory>
#include <vector>

#include "platform/CMTime.h"

namespace vorlane {

// What the reader needs of an essence output (the track outputs implement it).
class MXFReaderOutput {
  public:
    virtual ~MXFReaderOutput() = default;
    // True once the output has handed out its last sample.
    virtual bool finished() const = 0;
};

enum MXFReaderStatus : int32_t {
    MXFReaderStatusUnknown = 0,
    MXFReaderStatusReading = 1,
    MXFReaderStatusCompleted = 2,
};

class MXFReader {
  public:
    MXFReader() = default;

    const std::vector<std::shared_ptr<MXFReaderOutput>>& outputs() const { return outputs_; }
    // A missing output is ignored.
    void addOutput(std::shared_ptr<MXFReaderOutput> output);

    void startReading() { readerStatus_ = MXFReaderStatusReading; }
    // While reading: completed (and kept so) once every output has finished.
    MXFReaderStatus status();
    MXFReaderStatus readerStatus() const { return readerStatus_; }

    CMTimeRange timeRange() const { return timeRange_; }
    void setTimeRange(CMTimeRange timeRange) { timeRange_ = timeRange; }

  private:
    std::vector<std::shared_ptr<MXFReaderOutput>> outputs_;
    CMTimeRange timeRange_ = kCMTimeRangeInvalid;
    MXFReaderStatus readerStatus_ = MXFReaderStatusUnknown;
};

}  // namespace vorlane
