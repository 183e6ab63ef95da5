// A new WAVE file of 32-bit float sound, written piece by piece as it comes (an excerpt of the
// player's sound). Up to two channels the format is IEEE float; more channels use the extensible
// format with no speaker positions, for the channels are tracks side by side, not a surround
// layout. A file too large for 32-bit sizes becomes RF64 (the header keeps room for its `ds64`
// chunk). The file is written to a temporary name in the destination's folder and appears at the
// destination only when commit() succeeds.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>

#include "platform/AtomicFileWriter.h"

namespace vorlane {

class FloatWaveWriter {
  public:
    // Nothing when the destination cannot be written or the layout is not one a WAVE file can
    // state; failure() says why.
    static std::unique_ptr<FloatWaveWriter> create(const std::filesystem::path& destination,
                                                   int channelCount, int32_t sampleRate);
    // Why the last create(), append() or commit() on this thread failed.
    static const std::string& failure();

    // Appends interleaved frames (whole frames only); false once a write has failed.
    bool append(std::span<const float> samples);
    // Completes the header and renames the file into place; false (destination untouched) when
    // anything failed.
    bool commit();

    int64_t frameCount() const { return frames_; }

  private:
    FloatWaveWriter(std::unique_ptr<AtomicFileWriter> file, int channelCount, int32_t sampleRate);
    bool writeHeader();

    std::unique_ptr<AtomicFileWriter> file_;
    int channels_;
    int32_t rate_;
    int64_t frames_ = 0;
};

}  // namespace vorlane
