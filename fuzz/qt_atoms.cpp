// The QuickTime atom reader over arbitrary bytes: the top-level index, loads, the whole tree
// walk, and the cursor reads of every loaded atom (each read past a payload must raise
// AtomSeekError, never touch memory outside it).
#include <cstdint>
#include <cstdlib>

#include "formats/quicktime/QtAtomReader.h"
#include "platform/Log.h"

namespace {

// Exercises the cursor reads the camera readers use, from a position the data chooses.
void readAround(vorlane::Atom atom) {
    vorlane::QtAtomReader::parseAtoms("fuzz", [&] {
        if (atom.size() == 0) return;
        atom.seekAbsolute(atom.data()[0] % (atom.size() + 1));
        atom.readString();
        atom.readUnit8();
        atom.readFlags();
        atom.readUint16();
        atom.readFourCC();
        atom.readDataWithLength(atom.readUnit32() & 0xffff);
    });
    vorlane::QtAtomReader::parseAtoms("fuzz", [&] { atom.subAtomsWithType(0, 16); });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool quiet = (vorlane::Log::setStandardErrorEnabled(false), true);
    (void)quiet;
    auto reader =
        vorlane::QtAtomReader::initWithReader(vorlane::FileReader::fromBuffer({data, size}));
    uint64_t loaded = 0;
    for (const auto& header : reader->atomHeaders()) {
        if (auto atom = reader->loadAtomForHeader(header)) {
            loaded += atom->size();
            readAround(*atom);
        }
    }
    // Loads never allocate more than the file holds, atom by atom.
    if (loaded > size) std::abort();
    const auto tree = reader->atomTree();
    for (const auto& entry : tree.entries) {
        if (entry.depth > vorlane::QtAtomReader::kMaxAtomDepth) std::abort();
    }
    reader->close();
    return 0;
}
