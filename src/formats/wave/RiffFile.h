// The chunk list of a RIFF file (WAVE and other forms), including the 64-bit variants RF64 and
// BW64 whose sizes live in a `ds64` chunk. This is the audio-file chunk layer the WAV reader and
// writer build on: opening scans chunk headers only (never audio data), and payload reads are
// bounded by what the file really holds. No size in the file is trusted: a chunk claiming more
// than the file holds keeps the part that exists and is marked truncated; odd-sized chunks are
// accepted with and without their pad byte; a `data` chunk of unknown size (0xFFFFFFFF in plain
// RIFF, or RF64 without `ds64`) takes the rest of the file.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <vector>

#include "platform/FileReader.h"

namespace vorlane {

enum class RiffKind { RIFF, RF64, BW64 };

struct RiffChunk {
    uint32_t id = 0;             // four-character code, first character in the high byte
    uint64_t headerOffset = 0;   // offset of the 8-byte chunk header
    uint64_t payloadOffset = 0;  // headerOffset + 8
    uint64_t size = 0;           // payload size as declared (resolved through `ds64` in RF64)
    uint64_t availableSize = 0;  // the part of the payload the file holds
    uint64_t paddedSize = 0;  // payload start to the next header: size plus the pad byte if present
    bool truncated = false;   // the declared size runs past the end of the file
};

// The leading fields of a `fmt ` chunk; the extensible fields are 0 unless the chunk has them.
struct WaveFormat {
    uint16_t formatTag = 0;  // 1 PCM, 3 IEEE float, 0xFFFE extensible
    uint16_t channels = 0;
    uint32_t sampleRate = 0;
    uint32_t bytesPerSecond = 0;
    uint16_t blockAlign = 0;  // bytes per sample frame
    uint16_t bitsPerSample = 0;
    uint16_t validBitsPerSample = 0;
    uint32_t channelMask = 0;
    uint16_t subFormatTag = 0;  // the format tag inside the extensible sub-format GUID
};

class RiffFile {
  public:
    static constexpr uint16_t kFormatPCM = 1;
    static constexpr uint16_t kFormatExtensible = 0xFFFE;
    // At most this many chunks are listed; more ends the scan as damaged.
    static constexpr size_t kMaxChunks = 65536;

    // Opens and scans a file; nullptr when it cannot be opened or does not start with a RIFF,
    // RF64 or BW64 header.
    static std::unique_ptr<RiffFile> open(const std::filesystem::path& path);
    static std::unique_ptr<RiffFile> fromReader(std::unique_ptr<FileReader> reader);

    RiffKind kind() const { return kind_; }
    uint32_t formType() const { return formType_; }  // fourCC("WAVE") for WAV files
    uint64_t fileSize() const { return reader_->size(); }
    FileReader& reader() { return *reader_; }

    // The chunks in file order (`ds64` included).
    const std::vector<RiffChunk>& chunks() const { return chunks_; }
    // The first chunk with that id, or nullptr.
    const RiffChunk* findChunk(uint32_t id) const;
    // True when the scan ended early: an unreadable or garbage header, or a chunk running past
    // the end of the file, inside the RIFF's declared extent.
    bool damaged() const { return damaged_; }

    // Up to `length` payload bytes from `offset` on, cut at what the file holds; nothing when the
    // offset lies past the available payload or the read fails.
    std::optional<std::vector<uint8_t>> readPayload(const RiffChunk& chunk, uint64_t offset = 0,
                                                    uint64_t length = UINT64_MAX);
    // The whole available payload of the first chunk with that id; nothing when there is none.
    std::optional<std::vector<uint8_t>> chunkData(uint32_t id);

    // The `fmt ` record; nothing without a `fmt ` chunk of at least 16 bytes.
    std::optional<WaveFormat> waveFormat();
    // Whole sample frames in the available part of `data`; nothing without `fmt ` (with a
    // non-zero block align and sample rate) and `data`.
    std::optional<uint64_t> sampleFrameCount();
    // The same in seconds.
    std::optional<double> duration();

  private:
    explicit RiffFile(std::unique_ptr<FileReader> reader) : reader_(std::move(reader)) {}
    bool readHeader();
    void scan();
    uint64_t resolvedSize(uint32_t id, uint32_t size32, bool& unknown);
    void readDs64(const RiffChunk& chunk);
    uint64_t nextHeaderOffset(const RiffChunk& chunk);

    struct TableEntry {
        uint32_t id;
        uint64_t size;
        bool used;
    };

    std::unique_ptr<FileReader> reader_;
    RiffKind kind_ = RiffKind::RIFF;
    uint32_t formType_ = 0;
    std::optional<uint64_t> riffEnd_;  // 8 + the declared RIFF size, when known
    std::optional<uint64_t> dataSize64_;
    std::vector<TableEntry> sizeTable_;
    std::vector<RiffChunk> chunks_;
    bool damaged_ = false;
};

}  // namespace vorlane
