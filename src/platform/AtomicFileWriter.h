// Writes a file so that the destination either appears complete or not at all: the bytes go to a
// temporary file in the destination's folder, which commit() renames over the destination. A
// writer destroyed without a successful commit removes its temporary file.
//
// A destination that is a symbolic link is written through: the temporary file goes beside the
// link's final target and replaces that, so the link stays. Replacing a file keeps its permission
// bits (and, where the system allows, its owner and group). Folders, device nodes, FIFOs and
// sockets are never replaced: create() refuses them.
//
// Temporary names are ".NAME.<process>-<n>.part", with NAME shortened where the file system's
// name limit asks for it. The file stays locked while its writer lives and is removed when the
// program ends on SIGINT, SIGTERM or SIGHUP (RemovalOnSignal). Creating a writer removes the
// temporary files of earlier writers to the same destination whose program has ended (killed,
// or the machine went down).
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "platform/RemovalOnSignal.h"

namespace vorlane {

class AtomicFileWriter {
  public:
    // Creates the temporary file; nullptr when the destination cannot be written (lastFailure()
    // says why).
    static std::unique_ptr<AtomicFileWriter> create(const std::filesystem::path& destination);
    // Why a file cannot be written at the destination, found the way create() finds it (a
    // temporary file is made and removed again); nothing when it can.
    static std::optional<std::string> destinationProblem(const std::filesystem::path& destination);
    // Why the last create(), write() or commit() on this thread failed: "no such folder /x",
    // "it is a FIFO (named pipe), not a file", or the system's reason ("no space left on device").
    static const std::string& lastFailure();

    ~AtomicFileWriter();
    AtomicFileWriter(const AtomicFileWriter&) = delete;
    AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

    // Appends bytes; false once any write has failed.
    bool write(std::span<const uint8_t> bytes);
    // Appends zero bytes without writing them (a hole in the file).
    void skip(uint64_t length) { position_ += length; }
    // Moves the write position back or forth (a container's header rewritten at its end); the
    // file keeps the longest length written.
    void seek(uint64_t position);
    uint64_t position() const { return position_; }

    // Sets the length, flushes to disk and renames over the destination; false (temporary file
    // removed, destination untouched) when anything failed.
    bool commit();

    const std::filesystem::path& temporaryPath() const { return temporaryPath_; }

  private:
    AtomicFileWriter(std::filesystem::path target, std::filesystem::path temporaryPath);
    void discard();
    bool fail(int error);

    int fd_ = -1;
    std::filesystem::path target_;
    std::filesystem::path temporaryPath_;
    RemovalOnSignal removal_;
    uint64_t position_ = 0;
    uint64_t length_ = 0;  // the end of the file before the last seek()
    bool failed_ = false;
};

}  // namespace vorlane
