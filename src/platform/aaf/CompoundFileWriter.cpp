#include "platform/aaf/CompoundFileWriter.h"

#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-outfile.h>
#include <gsf/gsf-output-memory.h>
#include <gsf/gsf-utils.h>

#include <cctype>
#include <cstring>
#include <mutex>
#include <vector>

namespace vorlane::aaf {
namespace {

constexpr unsigned kSectorSize = 4096;
constexpr unsigned kMiniSectorSize = 64;
// Where the header keeps its class ID, its sector shift, its count of allocation-table (FAT)
// sectors, the first sector of its extended FAT list and the first 109 FAT sector numbers.
constexpr size_t kHeaderClassIDOffset = 8;
constexpr size_t kHeaderSectorShiftOffset = 0x1e;
constexpr size_t kHeaderFATCountOffset = 0x2c;
constexpr size_t kHeaderExtendedFATOffset = 0x44;
constexpr size_t kHeaderFATListOffset = 0x4c;
constexpr uint32_t kHeaderFATListLength = 109;
constexpr uint32_t kEndOfChain = 0xfffffffe;

uint32_t readLE32(const Bytes& bytes, size_t at) {
    return uint32_t(bytes[at]) | uint32_t(bytes[at + 1]) << 8 | uint32_t(bytes[at + 2]) << 16 |
           uint32_t(bytes[at + 3]) << 24;
}

// libgsf (1.14.50) sizes the allocation table of a 4 KB-sector document as if the header took
// 512 bytes: past 128 entries it lists one FAT sector more than it writes, so the document ends
// before its last FAT sector. That sector only holds entries for sectors beyond the document, all
// free; it is appended here. False for any other shortfall.
bool completeAllocationTable(Bytes& document) {
    const size_t sectorSize = size_t(1) << document[kHeaderSectorShiftOffset];
    const uint32_t fatSectors = readLE32(document, kHeaderFATCountOffset);
    if (readLE32(document, kHeaderExtendedFATOffset) != kEndOfChain ||
        fatSectors > kHeaderFATListLength)
        return true;  // documents of this size are not written here
    size_t sectors = document.size() / sectorSize - 1;
    for (uint32_t index = 0; index < fatSectors; ++index) {
        const uint32_t sector = readLE32(document, kHeaderFATListOffset + 4 * index);
        if (sector < sectors) continue;
        if (sector != sectors) return false;
        document.insert(document.end(), sectorSize, 0xff);
        ++sectors;
    }
    return document.size() % sectorSize == 0;
}

void initializeLibrary() {
    static std::once_flag once;
    std::call_once(once, [] { gsf_init(); });
}

}  // namespace

struct CompoundFileWriter::State {
    AUID signature;
    GsfOutput* sink = nullptr;
    // The open storages, the root first.
    std::vector<GsfOutfile*> storages;
    bool failed = false;

    ~State() {
        // A document abandoned half-way: close what is open so libgsf frees it.
        for (auto it = storages.rbegin(); it != storages.rend(); ++it) {
            if (!gsf_output_is_closed(GSF_OUTPUT(*it))) gsf_output_close(GSF_OUTPUT(*it));
            g_object_unref(*it);
        }
        if (sink) g_object_unref(sink);
    }
};

CompoundFileWriter::CompoundFileWriter(const AUID& signature, const AUID& rootClassID)
    : state_(std::make_unique<State>()) {
    initializeLibrary();
    state_->signature = signature;
    state_->sink = gsf_output_memory_new();
    GsfOutfile* root = gsf_outfile_msole_new_full(state_->sink, kSectorSize, kMiniSectorSize);
    if (!root) {
        state_->failed = true;
        return;
    }
    state_->storages.push_back(root);
    const auto id = rootClassID.storedBytes();
    if (!gsf_outfile_msole_set_class_id(GSF_OUTFILE_MSOLE(root), id.data())) state_->failed = true;
}

CompoundFileWriter::~CompoundFileWriter() = default;

void CompoundFileWriter::beginStorage(const std::string& name, const AUID& classID) {
    if (state_->failed || state_->storages.empty()) {
        state_->failed = true;
        return;
    }
    GsfOutput* child = gsf_outfile_new_child(state_->storages.back(), name.c_str(), TRUE);
    if (!child) {
        state_->failed = true;
        return;
    }
    state_->storages.push_back(GSF_OUTFILE(child));
    const auto id = classID.storedBytes();
    if (!gsf_outfile_msole_set_class_id(GSF_OUTFILE_MSOLE(child), id.data())) state_->failed = true;
}

void CompoundFileWriter::endStorage() {
    if (state_->storages.size() < 2) {
        state_->failed = true;
        return;
    }
    GsfOutfile* storage = state_->storages.back();
    state_->storages.pop_back();
    if (!gsf_output_close(GSF_OUTPUT(storage))) state_->failed = true;
    g_object_unref(storage);
}

void CompoundFileWriter::writeStream(const std::string& name, std::span<const uint8_t> bytes) {
    if (state_->failed || state_->storages.empty()) {
        state_->failed = true;
        return;
    }
    GsfOutput* stream = gsf_outfile_new_child(state_->storages.back(), name.c_str(), FALSE);
    if (!stream) {
        state_->failed = true;
        return;
    }
    if (!bytes.empty() && !gsf_output_write(stream, bytes.size(), bytes.data()))
        state_->failed = true;
    if (!gsf_output_close(stream)) state_->failed = true;
    g_object_unref(stream);
}

bool CompoundFileWriter::directoryOrderBefore(const std::string& left, const std::string& right) {
    if (left.size() != right.size()) return left.size() < right.size();
    for (size_t at = 0; at < left.size(); ++at) {
        const int a = std::toupper(static_cast<unsigned char>(left[at]));
        const int b = std::toupper(static_cast<unsigned char>(right[at]));
        if (a != b) return a < b;
    }
    return false;
}

std::optional<Bytes> CompoundFileWriter::finish() {
    if (state_->storages.size() != 1) state_->failed = true;
    if (state_->failed) return std::nullopt;
    // Closing the root writes the directory and allocation tables and closes the sink.
    GsfOutfile* root = state_->storages.back();
    state_->storages.clear();
    const bool closed = gsf_output_close(GSF_OUTPUT(root));
    g_object_unref(root);
    if (!closed) return std::nullopt;
    GsfOutputMemory* memory = GSF_OUTPUT_MEMORY(state_->sink);
    const guint8* data = gsf_output_memory_get_bytes(memory);
    const gsf_off_t size = gsf_output_size(state_->sink);
    if (!data || size < gsf_off_t(kSectorSize)) return std::nullopt;
    Bytes document(data, data + size);
    if (!completeAllocationTable(document)) return std::nullopt;
    const auto signature = state_->signature.storedBytes();
    std::memcpy(document.data() + kHeaderClassIDOffset, signature.data(), signature.size());
    return document;
}

}  // namespace vorlane::aaf
