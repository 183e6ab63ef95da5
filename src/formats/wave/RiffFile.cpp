#include "formats/wave/RiffFile.h"

#include <algorithm>

#include "platform/ByteOrder.h"

namespace vorlane {
namespace {

constexpr uint32_t kUnknownSize32 = 0xFFFFFFFF;
constexpr uint64_t kDs64FixedSize = 28;  // RIFF size, data size, sample count, table length
constexpr uint64_t kDs64EntrySize = 12;  // chunk id, 64-bit size

// Chunk ids are four printable ASCII characters, the first not a blank. Anything else means the
// scan has lost step with the file (garbage, zero fill, a wrong size before it).
bool isChunkId(uint32_t id) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        const uint32_t c = (id >> shift) & 0xff;
        if (c < 0x20 || c > 0x7e) return false;
    }
    return (id >> 24) != ' ';
}

}  // namespace

std::unique_ptr<RiffFile> RiffFile::open(const std::filesystem::path& path) {
    auto reader = FileReader::open(path);
    if (!reader) return nullptr;
    return fromReader(std::move(reader));
}

std::unique_ptr<RiffFile> RiffFile::fromReader(std::unique_ptr<FileReader> reader) {
    if (!reader) return nullptr;
    std::unique_ptr<RiffFile> file(new RiffFile(std::move(reader)));
    if (!file->readHeader()) return nullptr;
    file->scan();
    return file;
}

bool RiffFile::readHeader() {
    uint8_t header[12];
    if (!reader_->readAt(0, header, sizeof header)) return false;
    const uint32_t id = readBE32(header);
    if (id == fourCC("RIFF")) {
        kind_ = RiffKind::RIFF;
    } else if (id == fourCC("RF64")) {
        kind_ = RiffKind::RF64;
    } else if (id == fourCC("BW64")) {
        kind_ = RiffKind::BW64;
    } else {
        return false;
    }
    const uint32_t riffSize = readLE32(header + 4);
    if (kind_ == RiffKind::RIFF || riffSize != kUnknownSize32) riffEnd_ = 8 + uint64_t(riffSize);
    formType_ = readBE32(header + 8);
    return true;
}

void RiffFile::scan() {
    const uint64_t end = reader_->size();
    uint64_t position = 12;
    while (end - position >= 8) {
        // Past the RIFF's declared end only whole, well-formed chunks count (a stale RIFF size);
        // anything else there is trailing bytes, not damage.
        const bool insideRiff = !riffEnd_ || position < *riffEnd_;
        uint8_t header[8];
        if (!reader_->readAt(position, header, sizeof header)) {
            damaged_ = true;
            break;
        }
        const uint32_t id = readBE32(header);
        if (!isChunkId(id) || chunks_.size() >= kMaxChunks) {
            damaged_ = damaged_ || insideRiff;
            break;
        }
        RiffChunk chunk;
        chunk.id = id;
        chunk.headerOffset = position;
        chunk.payloadOffset = position + 8;
        const uint64_t room = end - chunk.payloadOffset;
        bool unknown = false;
        chunk.size = resolvedSize(id, readLE32(header + 4), unknown);
        if (unknown) chunk.size = room;
        chunk.availableSize = std::min(chunk.size, room);
        chunk.truncated = chunk.size > room;
        if (chunk.truncated && !insideRiff) break;
        chunk.paddedSize =
            chunk.truncated ? chunk.availableSize : nextHeaderOffset(chunk) - chunk.payloadOffset;
        chunks_.push_back(chunk);
        if (id == fourCC("ds64") && kind_ != RiffKind::RIFF && !dataSize64_) readDs64(chunk);
        if (chunk.truncated) {
            damaged_ = true;
            break;
        }
        position = chunk.payloadOffset + chunk.paddedSize;
    }
}

uint64_t RiffFile::resolvedSize(uint32_t id, uint32_t size32, bool& unknown) {
    if (size32 != kUnknownSize32) return size32;
    if (kind_ != RiffKind::RIFF) {
        if (id == fourCC("data") && dataSize64_) return *dataSize64_;
        for (auto& entry : sizeTable_) {
            if (entry.id == id && !entry.used) {
                entry.used = true;
                return entry.size;
            }
        }
    }
    unknown = id == fourCC("data");
    return size32;
}

void RiffFile::readDs64(const RiffChunk& chunk) {
    const auto bytes = readPayload(chunk, 0, kDs64FixedSize);
    if (!bytes || bytes->size() < 24) return;
    riffEnd_ = 8 + std::min(readLE64(bytes->data()), UINT64_MAX - 8);
    dataSize64_ = readLE64(bytes->data() + 8);
    if (bytes->size() < kDs64FixedSize) return;
    // The table lists sizes of other chunks too large for their 32-bit field; its claimed length
    // is cut at what the payload holds.
    const uint64_t claimed = readLE32(bytes->data() + 24);
    const uint64_t room = (chunk.availableSize - kDs64FixedSize) / kDs64EntrySize;
    const uint64_t count = std::min(claimed, room);
    if (count == 0) return;
    const auto table = readPayload(chunk, kDs64FixedSize, count * kDs64EntrySize);
    if (!table) return;
    for (uint64_t i = 0; i < count; ++i) {
        const uint8_t* entry = table->data() + i * kDs64EntrySize;
        sizeTable_.push_back({readBE32(entry), readLE64(entry + 4), false});
    }
}

// Odd-sized chunks are followed by a pad byte, but some writers leave it out: take whichever
// position holds a plausible chunk header (a chunk id and a size that fits in the file). When
// both do, a zero byte decides for padding, anything else for a forgotten pad byte.
uint64_t RiffFile::nextHeaderOffset(const RiffChunk& chunk) {
    const uint64_t payloadEnd = chunk.payloadOffset + chunk.size;
    const uint64_t fileEnd = reader_->size();
    if (chunk.size % 2 == 0 || payloadEnd >= fileEnd) return payloadEnd;
    const uint64_t room = fileEnd - payloadEnd;
    if (room < 9) return payloadEnd + 1;
    uint8_t bytes[9];
    if (!reader_->readAt(payloadEnd, bytes, sizeof bytes)) return payloadEnd + 1;
    auto plausible = [&](const uint8_t* header, uint64_t headerRoom) {
        const uint32_t size = readLE32(header + 4);
        return isChunkId(readBE32(header)) && (size == kUnknownSize32 || size <= headerRoom - 8);
    };
    const bool padded = plausible(bytes + 1, room - 1);
    const bool unpadded = plausible(bytes, room);
    return (unpadded && (!padded || bytes[0] != 0)) ? payloadEnd : payloadEnd + 1;
}

const RiffChunk* RiffFile::findChunk(uint32_t id) const {
    for (const auto& chunk : chunks_) {
        if (chunk.id == id) return &chunk;
    }
    return nullptr;
}

std::optional<std::vector<uint8_t>> RiffFile::readPayload(const RiffChunk& chunk, uint64_t offset,
                                                          uint64_t length) {
    if (offset > chunk.availableSize) return std::nullopt;
    const uint64_t count = std::min(length, chunk.availableSize - offset);
    if (count > SIZE_MAX || offset > UINT64_MAX - chunk.payloadOffset) return std::nullopt;
    return reader_->readBytes(chunk.payloadOffset + offset, size_t(count));
}

std::optional<std::vector<uint8_t>> RiffFile::chunkData(uint32_t id) {
    const RiffChunk* chunk = findChunk(id);
    if (!chunk) return std::nullopt;
    return readPayload(*chunk);
}

std::optional<WaveFormat> RiffFile::waveFormat() {
    const RiffChunk* chunk = findChunk(fourCC("fmt "));
    if (!chunk) return std::nullopt;
    const auto bytes = readPayload(*chunk, 0, 40);
    if (!bytes || bytes->size() < 16) return std::nullopt;
    const uint8_t* p = bytes->data();
    WaveFormat format;
    format.formatTag = readLE16(p);
    format.channels = readLE16(p + 2);
    format.sampleRate = readLE32(p + 4);
    format.bytesPerSecond = readLE32(p + 8);
    format.blockAlign = readLE16(p + 12);
    format.bitsPerSample = readLE16(p + 14);
    if (format.formatTag == kFormatExtensible && bytes->size() >= 40) {
        format.validBitsPerSample = readLE16(p + 18);
        format.channelMask = readLE32(p + 20);
        format.subFormatTag = readLE16(p + 24);
    }
    return format;
}

std::optional<uint64_t> RiffFile::sampleFrameCount() {
    const auto format = waveFormat();
    const RiffChunk* data = findChunk(fourCC("data"));
    if (!format || !data || format->blockAlign == 0 || format->sampleRate == 0) {
        return std::nullopt;
    }
    return data->availableSize / format->blockAlign;
}

std::optional<double> RiffFile::duration() {
    const auto frames = sampleFrameCount();
    if (!frames) return std::nullopt;
    return double(*frames) / double(waveFormat()->sampleRate);
}

}  // namespace vorlane
