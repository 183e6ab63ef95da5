// The output of a muxer on an AtomicFileWriter: the muxer writes and seeks as in a file, and the
// destination appears only on commit(). The bytes a muxer writes after markTrailer() (the movie
// header of a QuickTime file) are also kept, so that a field the muxer cannot be asked for can be
// corrected afterwards. Private to src/platform/.
#pragma once

extern "C" {
#include <libavformat/avio.h>
}

#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/AtomicFileWriter.h"

namespace vorlane {

class AtomicOutput {
  public:
    // Nothing when the destination cannot be written (failure() says why).
    static std::unique_ptr<AtomicOutput> create(const std::filesystem::path& destination,
                                                std::string& failure);
    ~AtomicOutput();
    AtomicOutput(const AtomicOutput&) = delete;
    AtomicOutput& operator=(const AtomicOutput&) = delete;

    AVIOContext* io() const { return io_; }
    // A write failed because the device is full.
    bool diskFull() const { return diskFull_; }
    // Why the last write failed; empty when none did.
    const std::string& writeFailure() const { return writeFailure_; }

    // From here on the written bytes are kept (see trailer()).
    void markTrailer();
    // The bytes written at or after the mark, as they stand in the file, and where they start.
    const std::vector<uint8_t>& trailer() const { return trailer_; }
    uint64_t trailerOffset() const { return trailerOffset_; }
    // Replaces bytes already written (within the kept trailer); false when that fails.
    bool overwrite(uint64_t offset, std::span<const uint8_t> bytes);

    // Flushes the muxer's buffer and renames the file into place; false when anything failed.
    bool commit();

  private:
    explicit AtomicOutput(std::unique_ptr<AtomicFileWriter> writer);
    void keep(std::span<const uint8_t> bytes);
    static int writePacket(void* opaque, uint8_t* buffer, int size);
    static int64_t seek(void* opaque, int64_t offset, int whence);

    std::unique_ptr<AtomicFileWriter> writer_;
    AVIOContext* io_ = nullptr;
    uint64_t length_ = 0;
    bool diskFull_ = false;
    std::string writeFailure_;
    bool keeping_ = false;
    uint64_t trailerOffset_ = 0;
    std::vector<uint8_t> trailer_;
};

}  // namespace vorlane
