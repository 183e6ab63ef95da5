#include "formats/wave/FloatWaveWriter.h"

#include <cstring>
#include <vector>

#include "platform/ByteOrder.h"

namespace vorlane {
namespace {

constexpr uint16_t kFormatFloat = 3;
constexpr uint16_t kFormatExtensible = 0xFFFE;
constexpr uint32_t kMaxSize32 = 0xFFFFFFFE;
constexpr uint32_t kDs64Size = 28;  // RIFF size, data size, frame count, empty chunk table
constexpr int kMaxChannels = 65535;

// KSDATAFORMAT_SUBTYPE_IEEE_FLOAT as stored in a file.
constexpr uint8_t kFloatSubformat[16] = {0x03, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                                         0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

std::string& lastFailure() {
    thread_local std::string text;
    return text;
}

class ChunkBytes {
  public:
    void id(const char (&code)[5]) { bytes_.insert(bytes_.end(), code, code + 4); }
    void u16(uint16_t value) {
        uint8_t raw[2];
        writeLE16(raw, value);
        bytes_.insert(bytes_.end(), raw, raw + 2);
    }
    void u32(uint32_t value) {
        uint8_t raw[4];
        writeLE32(raw, value);
        bytes_.insert(bytes_.end(), raw, raw + 4);
    }
    void u64(uint64_t value) {
        u32(uint32_t(value));
        u32(uint32_t(value >> 32));
    }
    void raw(const uint8_t* data, size_t size) { bytes_.insert(bytes_.end(), data, data + size); }
    const std::vector<uint8_t>& bytes() const { return bytes_; }

  private:
    std::vector<uint8_t> bytes_;
};

uint32_t size32(uint64_t size) {
    return size > kMaxSize32 ? 0xFFFFFFFF : uint32_t(size);
}

}  // namespace

std::unique_ptr<FloatWaveWriter> FloatWaveWriter::create(const std::filesystem::path& destination,
                                                         int channelCount, int32_t sampleRate) {
    if (channelCount <= 0 || channelCount > kMaxChannels || sampleRate <= 0 ||
        uint64_t(sampleRate) * uint64_t(channelCount) * 4 > UINT32_MAX) {
        lastFailure() = "a WAVE file cannot hold that many channels at that rate";
        return nullptr;
    }
    auto file = AtomicFileWriter::create(destination);
    if (!file) {
        lastFailure() = AtomicFileWriter::lastFailure();
        return nullptr;
    }
    std::unique_ptr<FloatWaveWriter> writer(
        new FloatWaveWriter(std::move(file), channelCount, sampleRate));
    if (!writer->writeHeader()) {
        lastFailure() = AtomicFileWriter::lastFailure();
        return nullptr;
    }
    return writer;
}

const std::string& FloatWaveWriter::failure() {
    return lastFailure();
}

FloatWaveWriter::FloatWaveWriter(std::unique_ptr<AtomicFileWriter> file, int channelCount,
                                 int32_t sampleRate)
    : file_(std::move(file)), channels_(channelCount), rate_(sampleRate) {}

// The header as it stands for the frames written so far; before the first frame and for files
// within 32-bit sizes the `ds64` room is a JUNK chunk.
bool FloatWaveWriter::writeHeader() {
    const bool extensible = channels_ > 2;
    const uint32_t formatSize = extensible ? 40 : 18;
    const uint64_t blockAlign = uint64_t(channels_) * 4;
    const uint64_t dataSize = uint64_t(frames_) * blockAlign;
    const uint64_t riffSize = 4 + (8 + kDs64Size) + (8 + formatSize) + (8 + 4) + 8 + dataSize;
    const bool large = riffSize > kMaxSize32;

    ChunkBytes header;
    header.id(large ? "RF64" : "RIFF");
    header.u32(size32(riffSize));
    header.id("WAVE");
    header.id(large ? "ds64" : "JUNK");
    header.u32(kDs64Size);
    header.u64(large ? riffSize : 0);
    header.u64(large ? dataSize : 0);
    header.u64(large ? uint64_t(frames_) : 0);
    header.u32(0);
    header.id("fmt ");
    header.u32(formatSize);
    header.u16(extensible ? kFormatExtensible : kFormatFloat);
    header.u16(uint16_t(channels_));
    header.u32(uint32_t(rate_));
    header.u32(uint32_t(uint64_t(rate_) * blockAlign));
    header.u16(uint16_t(blockAlign));
    header.u16(32);
    header.u16(extensible ? 22 : 0);
    if (extensible) {
        header.u16(32);  // valid bits
        header.u32(0);   // no speaker positions
        header.raw(kFloatSubformat, sizeof kFloatSubformat);
    }
    header.id("fact");
    header.u32(4);
    header.u32(large ? 0xFFFFFFFF : uint32_t(frames_));
    header.id("data");
    header.u32(size32(dataSize));
    file_->seek(0);
    return file_->write(header.bytes());
}

bool FloatWaveWriter::append(std::span<const float> samples) {
    std::vector<uint8_t> bytes(samples.size() * 4);
    for (size_t index = 0; index < samples.size(); ++index) {
        uint32_t bits = 0;
        std::memcpy(&bits, &samples[index], 4);
        writeLE32(&bytes[index * 4], bits);
    }
    frames_ += int64_t(samples.size() / size_t(channels_));
    if (file_->write(bytes)) return true;
    lastFailure() = AtomicFileWriter::lastFailure();
    return false;
}

bool FloatWaveWriter::commit() {
    const uint64_t end = file_->position();
    if (writeHeader()) {
        file_->seek(end);
        if (file_->commit()) return true;
    }
    lastFailure() = AtomicFileWriter::lastFailure();
    return false;
}

}  // namespace vorlane
