// Reads the atom structure of a QuickTime or MPEG-4 file: an index of the top-level atoms built
// from their headers alone (seeking over payloads, so a multi-gigabyte file costs a few small
// reads), one atom's payload loaded on request, and the walk over sub-atoms. No size in the file
// is trusted: loads are cut at the end of the file, the index ends at a header it cannot use,
// and tree walks stop at a fixed depth. AtomSeekError, raised by reads past a payload, is caught
// at this reader's boundary (parseAtoms) and logged; callers see a clean failure.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "formats/quicktime/Atom.h"
#include "formats/quicktime/AtomHeader.h"
#include "platform/FileReader.h"

namespace vorlane {

class QtAtomReader {
  public:
    // Caps against hostile files: top-level atoms indexed, and nesting levels walked.
    static constexpr size_t kMaxTopLevelAtoms = 1000000;
    static constexpr int kMaxAtomDepth = 16;

    // Opens and indexes a file; nullptr when it cannot be opened.
    static std::unique_ptr<QtAtomReader> initWithURL(const std::filesystem::path& url);
    // The same over any source (bytes in memory for fuzzing).
    static std::unique_ptr<QtAtomReader> initWithReader(std::unique_ptr<FileReader> reader);

    uint64_t fileSize() const { return fileSize_; }
    // The open file, for its read statistics; nullptr after close().
    const FileReader* fileHandle() const { return fileHandle_.get(); }

    // The top-level atoms in file order. An atom whose size field is 0 extends to the end of the
    // file; an atom running past the end keeps its claimed size and is the last one indexed.
    const std::vector<AtomHeader>& atomHeaders() const { return atomHeaders_; }
    std::vector<AtomHeader> atomHeadersWithType(uint32_t type) const;

    // The payload of the first top-level atom of that type; nothing when there is none.
    std::optional<Atom> loadAtomWithType(uint32_t type);
    // The payload of an indexed atom, cut at the end of the file; nothing when it is empty,
    // cannot be read or holds more than `maxLength` bytes.
    std::optional<Atom> loadAtomForHeader(const AtomHeader& header,
                                          uint64_t maxLength = UINT64_MAX);
    // The headers of the atoms inside an atom, read from the file without loading its payload:
    // from `offset` bytes into the payload to the atom's end (or the file's end, when that comes
    // first). A child whose size field is 0 runs to that end; a child running past that end is
    // cut there and ends the list, as does one that cannot be read or is smaller than its
    // header.
    std::vector<AtomHeader> childHeaders(const AtomHeader& parent, uint64_t offset = 0);

    void close() { fileHandle_.reset(); }

    // Runs a parse over loaded atoms. An AtomSeekError inside ends it: the error is logged with
    // `context` and the answer is false.
    static bool parseAtoms(const std::string& context, const std::function<void()>& parse);

    // Where the children of a container atom start in its payload (after a version and flags
    // word for an MPEG-4 style `meta`, after the entry count of `stsd` and `dref`); nothing for
    // atoms that do not hold atoms.
    static std::optional<uint64_t> childrenOffset(const Atom& atom);

    // The whole atom tree in file order: every top-level atom, and below each container its
    // children, down to kMaxAtomDepth. Each entry is an atom's type, payload size and depth.
    struct TreeEntry {
        uint32_t type;
        uint64_t size;
        int depth;
    };
    struct Tree {
        std::vector<TreeEntry> entries;
        bool complete = true;  // false when a container was damaged or nested too deep
    };
    Tree atomTree();

  private:
    explicit QtAtomReader(std::unique_ptr<FileReader> reader);
    void indexTopLevelAtoms();
    // The header at `position`, with the end of the enclosing range for a size field of 0;
    // nothing when fewer than a header's bytes are left or they cannot be read.
    std::optional<AtomHeader> headerAt(uint64_t position, uint64_t end);
    void walkChildren(Atom& parent, int depth, Tree& tree);

    std::unique_ptr<FileReader> fileHandle_;
    uint64_t fileSize_ = 0;
    std::vector<AtomHeader> atomHeaders_;
};

}  // namespace vorlane
