#include "formats/wave/RiffWriter.h"

#include <algorithm>
#include <array>

#include "platform/AtomicFileWriter.h"
#include "platform/ByteOrder.h"
#include "platform/Log.h"

namespace vorlane {
namespace {

constexpr uint32_t kUnknownSize32 = 0xFFFFFFFF;
constexpr size_t kCopyBlock = 1 << 20;

// One chunk of the result: copied from the source or given by the caller.
struct OutputChunk {
    uint32_t id = 0;
    uint64_t size = 0;
    const RiffChunk* source = nullptr;
    const std::vector<uint8_t>* payload = nullptr;
};

bool isGiven(uint32_t id, const std::vector<RiffChunkPayload>& chunks) {
    return std::any_of(chunks.begin(), chunks.end(), [id](const auto& c) { return c.id == id; });
}

// Source chunks in order without `ds64`; given chunks in the place of the first source chunk of
// their id when it lies before `data`, all others right before `data`.
std::vector<OutputChunk> layout(const RiffFile& source,
                                const std::vector<RiffChunkPayload>& chunks) {
    std::vector<OutputChunk> result;
    std::vector<bool> placed(chunks.size(), false);
    auto place = [&](bool all, uint32_t id) {
        for (size_t i = 0; i < chunks.size(); ++i) {
            if (placed[i] || (!all && chunks[i].id != id)) continue;
            placed[i] = true;
            result.push_back({chunks[i].id, chunks[i].payload.size(), nullptr, &chunks[i].payload});
        }
    };
    bool dataSeen = false;
    for (const RiffChunk& chunk : source.chunks()) {
        if (chunk.id == fourCC("ds64")) continue;
        if (chunk.id == fourCC("data") && !dataSeen) {
            place(true, 0);
            dataSeen = true;
        }
        if (isGiven(chunk.id, chunks)) {
            if (!dataSeen) place(false, chunk.id);
            continue;
        }
        result.push_back({chunk.id, chunk.size, &chunk, nullptr});
    }
    place(true, 0);
    return result;
}

uint64_t paddedLength(uint64_t size) {
    return 8 + size + (size & 1);
}

class Output {
  public:
    Output(RiffFile& source, AtomicFileWriter& writer) : source_(source), writer_(writer) {}

    bool write(std::span<const uint8_t> bytes) { return writer_.write(bytes); }

    bool writeChunkHeader(uint32_t id, uint32_t size32) {
        uint8_t header[8];
        writeBE32(header, id);
        writeLE32(header + 4, size32);
        return write(header);
    }

    // Copies source bytes; holes of a sparse source stay holes.
    bool copy(uint64_t offset, uint64_t length) {
        FileReader& reader = source_.reader();
        const uint64_t end = offset + length;
        while (offset < end) {
            const uint64_t data = std::min(reader.nextDataOffset(offset), end);
            if (data > offset) {
                writer_.skip(data - offset);
                offset = data;
                continue;
            }
            uint64_t stretchEnd = std::min(reader.nextHoleOffset(offset), end);
            if (stretchEnd <= offset) stretchEnd = end;
            while (offset < stretchEnd) {
                const size_t count = size_t(std::min<uint64_t>(kCopyBlock, stretchEnd - offset));
                if (!reader.readAt(offset, buffer_.data(), count)) return false;
                if (!write({buffer_.data(), count})) return false;
                offset += count;
            }
        }
        return true;
    }

  private:
    RiffFile& source_;
    AtomicFileWriter& writer_;
    std::vector<uint8_t> buffer_ = std::vector<uint8_t>(kCopyBlock);
};

std::vector<uint8_t> ds64Payload(uint64_t riffSize, uint64_t dataSize, uint64_t sampleCount,
                                 const std::vector<OutputChunk>& table) {
    std::vector<uint8_t> payload(28 + 12 * table.size());
    writeLE64(payload.data(), riffSize);
    writeLE64(payload.data() + 8, dataSize);
    writeLE64(payload.data() + 16, sampleCount);
    writeLE32(payload.data() + 24, uint32_t(table.size()));
    for (size_t i = 0; i < table.size(); ++i) {
        writeBE32(payload.data() + 28 + 12 * i, table[i].id);
        writeLE64(payload.data() + 32 + 12 * i, table[i].size);
    }
    return payload;
}

}  // namespace

bool RiffWriter::writeFileWithChunks(const std::filesystem::path& source,
                                     const std::filesystem::path& destination,
                                     const std::vector<RiffChunkPayload>& chunks) {
    auto file = RiffFile::open(source);
    if (!file) {
        Log::writef("RiffWriter: Cannot read %s", source.c_str());
        return false;
    }
    return writeFileWithChunks(*file, destination, chunks);
}

bool RiffWriter::writeFileWithChunks(RiffFile& source, const std::filesystem::path& destination,
                                     const std::vector<RiffChunkPayload>& chunks) {
    if (source.damaged()) {
        Log::writef("RiffWriter: Source is damaged or truncated, not copied to %s",
                    destination.c_str());
        return false;
    }
    const std::vector<OutputChunk> outputChunks = layout(source, chunks);

    uint64_t body = 4;  // form type
    bool needs64 = false;
    uint64_t dataSize = 0;
    bool dataFound = false;
    std::vector<OutputChunk> table;  // chunks other than `data` too large for 32 bits
    for (const auto& chunk : outputChunks) {
        body += paddedLength(chunk.size);
        needs64 = needs64 || chunk.size > kMaxSize32;
        if (chunk.id == fourCC("data") && !dataFound) {
            dataFound = true;
            dataSize = chunk.size;
        } else if (chunk.size > kMaxSize32) {
            table.push_back(chunk);
        }
    }
    needs64 = needs64 || body > kMaxSize32;

    auto writer = AtomicFileWriter::create(destination);
    if (!writer) {
        Log::writef("RiffWriter: Cannot create a file beside %s", destination.c_str());
        return false;
    }
    Output output(source, *writer);
    bool ok = true;
    uint8_t header[12];
    if (needs64) {
        const auto format = source.waveFormat();
        const uint64_t frames = format && format->blockAlign ? dataSize / format->blockAlign : 0;
        auto ds64 = ds64Payload(0, dataSize, frames, table);
        body += paddedLength(ds64.size());
        writeLE64(ds64.data(), body);
        writeBE32(header, source.kind() == RiffKind::BW64 ? fourCC("BW64") : fourCC("RF64"));
        writeLE32(header + 4, kUnknownSize32);
        writeBE32(header + 8, source.formType());
        ok = output.write(header) &&
             output.writeChunkHeader(fourCC("ds64"), uint32_t(ds64.size())) && output.write(ds64);
    } else {
        writeBE32(header, fourCC("RIFF"));
        writeLE32(header + 4, uint32_t(body));
        writeBE32(header + 8, source.formType());
        ok = output.write(header);
    }

    dataFound = false;
    for (const auto& chunk : outputChunks) {
        if (!ok) break;
        const bool isData = chunk.id == fourCC("data") && !dataFound;
        dataFound = dataFound || isData;
        const bool sizeInDs64 = needs64 && (isData || chunk.size > kMaxSize32);
        ok = output.writeChunkHeader(chunk.id, sizeInDs64 ? kUnknownSize32 : uint32_t(chunk.size));
        if (ok && chunk.payload) ok = output.write(*chunk.payload);
        if (ok && chunk.source) ok = output.copy(chunk.source->payloadOffset, chunk.size);
        const uint8_t pad = 0;
        if (ok && (chunk.size & 1)) ok = output.write({&pad, 1});
    }
    if (!ok || !writer->commit()) {
        Log::writef("RiffWriter: Writing %s failed", destination.c_str());
        return false;
    }
    return true;
}

}  // namespace vorlane
